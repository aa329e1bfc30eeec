#pragma once
// The list of the best programs of the last experiment, one line per generation (per run
// of a batch) with its number beside the program. A double-click on an entry says which
// program was chosen; the program can be copied.

#include <QString>
#include <QWidget>

#include <string>

class QListWidget;

class TZELListForm final : public QWidget {
  Q_OBJECT

public:
  explicit TZELListForm(QWidget* Parent = nullptr);

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
  // Widens the window to show its longest program whole, as far as the screen allows.
  void FitToEntries();

signals:
  // A double-click chose Program (empty when the click selected nothing); Number is the
  // generation (or the run counted from 0) of the first entry that holds it, -1 for none.
  void programChosen(const QString& Program, int Number);

protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;

private slots:
  void ZELListBoxDblClick();

private:
  QListWidget* ZELListBox;
  TUnit Unit = TUnit::Generation;
  int First = 0;
};
