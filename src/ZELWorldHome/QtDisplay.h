#pragma once
// The progress bar that follows a run, the writing of bitmaps, and the window's dialogs.

#include "ZELWorldHome/DialogService.h"

#include <QAbstractFileIconProvider>
#include <QFileDialog>
#include <QImage>
#include <QProgressBar>
#include <QWidget>

#include <memory>
#include <string>

// The progress bar, with a text that says how far a run has come ("generation 42 of 100").
// A new position or text is painted with the window's next frame.
class TEvolProgressBar final : public QProgressBar {
public:
  explicit TEvolProgressBar(QWidget* Parent = nullptr);
  // A position outside the range is brought to the nearer bound.
  void SetPosition(int Position);
  // The text in the bar; empty shows none.
  void SetText(const QString& Text);
  QString text() const override { return Shown; }

private:
  QString Shown;
};

// Writes Image as a BMP file under exactly FileName; raises std::runtime_error naming the file on failure.
void SaveBitmap(const QImage& Image, const std::string& FileName);

// Icons and types told from a file's kind alone. The toolkit's own provider guesses the
// type of an unknown file from its contents, and reading a device file (say under /proc)
// can block the dialog for good.
class TPlainIconProvider final : public QAbstractFileIconProvider {
public:
  QIcon icon(IconType Type) const override;
  QIcon icon(const QFileInfo& Info) const override;
  QString type(const QFileInfo& Info) const override;
};
TPlainIconProvider& PlainIcons();

// The save dialog set up as Dialog says.
std::unique_ptr<QFileDialog> NewSaveDialog(QWidget* Owner, const TSaveDialog& Dialog);

// The dialogs of a person at the screen.
class TQtDialogService final : public TDialogService {
public:
  explicit TQtDialogService(QWidget* Owner) : Owner(Owner) {}
  bool ExecuteSaveDialog(TSaveDialog& Dialog) override;
  bool ExecuteOpenDialog(TOpenDialog& Dialog) override;
  void ShowMessage(const std::string& Text) override;
  void ShowError(const std::string& Text) override;

private:
  QWidget* Owner;
};
