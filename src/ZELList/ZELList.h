#pragma once
// The list of the best programs of the last experiment, one line per generation (per run
// of a batch) with its number beside the program. A double-click on an entry develops that
// program again and shows it in the main window; the program can be copied.

#include <QWidget>

#include <functional>
#include <string>

class QListWidget;

class TZELListForm final : public QWidget {
public:
  // Shows a program: its text (empty when none is selected) and the first entry that holds it.
  using TShowProgram = std::function<void(const std::string& Text, int FirstIndex)>;
  explicit TZELListForm(TShowProgram ShowProgram, QWidget* Parent = nullptr);

  // What the entries count: generations from First (0, or on from the generation a
  // continued run started from), or the runs of a batch from 1.
  enum class TUnit { Generation, Run };
  void SetNumbering(TUnit Unit, int First = 0);
  void Clear();
  void Append(const std::string& Text);
  int Count() const;
  std::string Entry(int Index) const;
  // Puts the selected program on the clipboard; nothing when none is selected.
  void CopySelected();

protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
  void ZELListBoxDblClick(QObject* Sender);

  QListWidget* ZELListBox;
  TShowProgram ShowProgram;
  TUnit Unit = TUnit::Generation;
  int First = 0;
};
