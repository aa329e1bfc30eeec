#pragma once
// The list of the best programs of the last experiment; a double-click on an entry
// develops that program again and shows it in the main window.

#include <QWidget>

#include <string>

class QListWidget;
class TZELWorldHomeForm;

class TZELListForm final : public QWidget {
public:
  explicit TZELListForm(TZELWorldHomeForm& Home, QWidget* Parent = nullptr);

  void Clear();
  void Append(const std::string& Text);
  int Count() const;
  std::string Entry(int Index) const;

  void ZELListBoxDblClick(QObject* Sender);

  QListWidget* ZELListBox;

private:
  TZELWorldHomeForm& Home;
};
