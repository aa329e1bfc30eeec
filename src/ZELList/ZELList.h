#pragma once
// The list of the best programs of the last experiment; a double-click on an entry
// develops that program again and shows it in the main window.

#include <QWidget>

#include <functional>
#include <string>

class QListWidget;

class TZELListForm final : public QWidget {
public:
  // Shows a program: its text (empty when none is selected) and the first entry that holds it.
  using TShowProgram = std::function<void(const std::string& Text, int FirstIndex)>;
  explicit TZELListForm(TShowProgram ShowProgram, QWidget* Parent = nullptr);

  void Clear();
  void Append(const std::string& Text);
  int Count() const;
  std::string Entry(int Index) const;

  void ZELListBoxDblClick(QObject* Sender);

  QListWidget* ZELListBox;

private:
  TShowProgram ShowProgram;
};
