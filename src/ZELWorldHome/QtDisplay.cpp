#include "ZELWorldHome/QtDisplay.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QStyle>

#include <stdexcept>

namespace {
QString ToQString(const std::string& S) {
  return QString::fromStdString(S);
}

// "text files|*.txt|bitmap files|*.bmp" becomes {"text files (*.txt)", "bitmap files (*.bmp)"}.
QStringList NameFilters(const std::string& Filter) {
  const QStringList parts = ToQString(Filter).split('|');
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
    filters << parts[i] + " (" + parts[i + 1] + ")";
  return filters;
}

} // namespace

TEvolProgressBar::TEvolProgressBar(QWidget* Parent) : QProgressBar(Parent) {
  setRange(0, 100);
  setValue(0);
  setTextVisible(true);
  setAlignment(Qt::AlignCenter);
  // As high as its text needs.
  setFixedHeight(fontMetrics().height() + 4);
  setVisible(false);
}

void TEvolProgressBar::SetText(const QString& Text) {
  if (Text == Shown) return;
  Shown = Text;
  update();
}

void TEvolProgressBar::SetPosition(int Position) {
  // QProgressBar ignores a value outside its range; the drivers count on the nearer bound.
  if (Position > maximum()) Position = maximum();
  if (Position < minimum()) Position = minimum();
  if (Position == value()) return;
  // QProgressBar paints a new value at once, and with it everything else waiting to be
  // painted in the window; the window's next frame serves.
  setUpdatesEnabled(false);
  setValue(Position);
  setUpdatesEnabled(true);
}

void SaveBitmap(const QImage& Image, const std::string& FileName) {
  // Opened here rather than by QImage, which says only that it failed, not why.
  QFile file(ToQString(FileName));
  const auto fail = [&](const QString& Reason) {
    throw std::runtime_error("Cannot write the image file '" + FileName + "': " + Reason.toStdString());
  };
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) fail(file.errorString());
  // The format is given, so a name without the .bmp extension is written as it is.
  if (!Image.save(&file, "BMP"))
    fail(file.error() != QFileDevice::NoError ? file.errorString() : "write failed");
  file.close();
  if (file.error() != QFileDevice::NoError) fail(file.errorString());
}

QString TPlainIconProvider::type(const QFileInfo& Info) const {
  if (Info.isDir()) return "Folder";
  if (Info.isSymLink()) return "Link";
  return "File";
}

QIcon TPlainIconProvider::icon(IconType Type) const {
  const bool folder = Type == Folder || Type == Computer || Type == Desktop || Type == Trashcan;
  return QApplication::style()->standardIcon(folder ? QStyle::SP_DirIcon : QStyle::SP_FileIcon);
}

QIcon TPlainIconProvider::icon(const QFileInfo& Info) const {
  return icon(Info.isDir() ? Folder : File);
}

std::unique_ptr<QFileDialog> NewSaveDialog(QWidget* Owner, const TSaveDialog& Dialog) {
  auto dialog = std::make_unique<QFileDialog>(Owner, ToQString(Dialog.Title), QDir::currentPath());
  // The dialog of our own, whose icons and types come from names alone.
  dialog->setOption(QFileDialog::DontUseNativeDialog, true);
  dialog->setIconProvider(&PlainIcons());
  dialog->setAcceptMode(QFileDialog::AcceptSave);
  dialog->setFileMode(QFileDialog::AnyFile);
  const QStringList filters = NameFilters(Dialog.Filter);
  dialog->setNameFilters(filters);
  if (Dialog.FilterIndex >= 0 && Dialog.FilterIndex < filters.size())
    dialog->selectNameFilter(filters[Dialog.FilterIndex]);
  dialog->setOption(QFileDialog::DontConfirmOverwrite, !Dialog.OverwritePrompt);
  dialog->setSizeGripEnabled(true);
  return dialog;
}

TPlainIconProvider& PlainIcons() {
  static TPlainIconProvider provider;
  return provider;
}

bool TQtDialogService::ExecuteSaveDialog(TSaveDialog& Dialog) {
  const std::unique_ptr<QFileDialog> dialog = NewSaveDialog(Owner, Dialog);
  if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return false;
  Dialog.FileName = dialog->selectedFiles().first().toStdString();
  return true;
}

bool TQtDialogService::ExecuteOpenDialog(TOpenDialog& Dialog) {
  QFileDialog dialog(Owner, ToQString(Dialog.Title), QDir::currentPath());
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setIconProvider(&PlainIcons());
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters(NameFilters(Dialog.Filter));
  dialog.setSizeGripEnabled(true);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  Dialog.FileName = dialog.selectedFiles().first().toStdString();
  return true;
}

void TQtDialogService::ShowMessage(const std::string& Text) {
  QMessageBox::information(Owner, "ZEL World", ToQString(Text));
}

void TQtDialogService::ShowError(const std::string& Text) {
  QMessageBox::critical(Owner, "ZEL World", ToQString(Text));
}
