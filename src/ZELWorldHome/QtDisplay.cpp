#include "ZELWorldHome/QtDisplay.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGraphicsLayout>
#include <QMessageBox>
#include <QPainter>
#include <QPen>
#include <QStyle>

#include <stdexcept>

namespace {
QColor ToQColor(TColor C) {
  return QColor(C.R, C.G, C.B);
}

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

const QColor SurroundColor(148, 187, 226);
constexpr double YMargin = 2;

// The step between bottom-axis labels: 1, 2 or 5 times a power of ten, the smallest that
// keeps to about ten labels.
double LabelStep(double Length) {
  for (double power = 1;; power *= 10)
    for (double m : {1.0, 2.0, 5.0})
      if (Length / (m * power) <= 10) return m * power;
}
} // namespace

TEvolProgressBar::TEvolProgressBar(QWidget* Parent) : QProgressBar(Parent) {
  setRange(0, 100);
  setValue(0);
  setTextVisible(false);
  setFixedHeight(10);
  setVisible(false);
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

TEvolChart::TEvolChart(QWidget* Parent) : QChartView(Parent) {
  auto* chart = new QChart;
  chart->setTitle("Agent Evolution");
  QFont titleFont = chart->titleFont();
  titleFont.setBold(true);
  chart->setTitleFont(titleFont);
  chart->setBackgroundBrush(Qt::white);
  chart->setBackgroundRoundness(0);
  chart->setPlotAreaBackgroundBrush(Qt::white);
  chart->setPlotAreaBackgroundVisible(true);
  chart->legend()->setAlignment(Qt::AlignBottom);
  // Narrow margins: at the window's size the chart has a few hundred pixels, and its left axis
  // title needs the plot's whole height.
  chart->setMargins(QMargins(4, 4, 14, 0));
  chart->layout()->setContentsMargins(2, 2, 2, 2);

  AxisX = new QValueAxis;
  AxisX->setTitleText("Generations");
  AxisX->setTitleBrush(QColor(128, 0, 0));
  // Labels stand at whole numbers from 0 on, so that each reads the value at its position.
  AxisX->setTickType(QValueAxis::TicksDynamic);
  AxisX->setTickAnchor(0);
  AxisX->setLabelFormat("%.0f");
  SetBottomAxisRange(0, 100);
  AxisY = new QValueAxis;
  AxisY->setTitleText("Fitness/Ratio");
  AxisY->setTitleBrush(QColor(0, 0, 128));
  AxisY->setLabelFormat("%.0f");
  // A little room beyond 0 and 100, so that a curve along either bound stays clear of the frame.
  AxisY->setRange(-YMargin, 100 + YMargin);
  // Grid lines every 5; labels every 20 stay readable on a chart of a few hundred pixels.
  AxisY->setTickType(QValueAxis::TicksDynamic);
  AxisY->setTickAnchor(0);
  AxisY->setTickInterval(20);
  AxisY->setMinorTickCount(3);
  chart->addAxis(AxisX, Qt::AlignBottom);
  chart->addAxis(AxisY, Qt::AlignLeft);

  const std::array<const char*, 2> titles{"MaxGen", "w/ Genotype"};
  const std::array<QColor, 2> colours{QColor(255, 0, 0), QColor(0, 128, 255)};
  for (std::size_t i = 0; i < Lines.size(); ++i) {
    Lines[i] = new QLineSeries;
    Lines[i]->setName(titles[i]);
    Lines[i]->setPen(QPen(colours[i], 2));
    Lines[i]->setPointsVisible(false);
    Lines[i]->setPointLabelsVisible(false);
    chart->addSeries(Lines[i]);
    Lines[i]->attachAxis(AxisX);
    Lines[i]->attachAxis(AxisY);
  }
  setChart(chart);
  // A band of the surrounding colour frames the white chart.
  setViewportMargins(4, 4, 4, 4);
  QPalette frame = palette();
  frame.setColor(QPalette::Window, SurroundColor);
  setPalette(frame);
  setAutoFillBackground(true);
  setFrameShape(QFrame::NoFrame);
}

void TEvolChart::ClearSeries(int Series) {
  if (Series >= 0 && Series < static_cast<int>(Lines.size()))
    Lines[static_cast<std::size_t>(Series)]->clear();
}

void TEvolChart::AppendValues(int Series, const std::vector<double>& Values) {
  if (Series < 0 || Series >= static_cast<int>(Lines.size()) || Values.empty()) return;
  QLineSeries* line = Lines[static_cast<std::size_t>(Series)];
  // One replace redraws once; appending point by point redraws for every point.
  QList<QPointF> points = line->points();
  for (double v : Values)
    points.append(QPointF(FirstX + static_cast<double>(points.size()), v));
  line->replace(points);
}

void TEvolChart::SetBottomAxisRange(double Min, double Max) {
  AxisX->setTickInterval(LabelStep(Max - Min));
  AxisX->setRange(Min, Max);
}

bool TEvolChart::KeepEarlierRun() {
  if (Lines[0]->count() == 0) return false;
  auto* kept = new QLineSeries;
  kept->replace(Lines[0]->points());
  chart()->addSeries(kept);
  kept->attachAxis(AxisX);
  kept->attachAxis(AxisY);
  Earlier.insert(Earlier.begin(), kept);
  while (Earlier.size() > static_cast<std::size_t>(MaxEarlierRuns)) {
    chart()->removeSeries(Earlier.back());
    delete Earlier.back();
    Earlier.pop_back();
  }
  Fade();
  return true;
}

void TEvolChart::Fade() {
  // The older a run, the fainter its curve; the dashes tell the curves apart.
  const std::array<int, MaxEarlierRuns> alpha{150, 110, 80};
  const std::array<Qt::PenStyle, MaxEarlierRuns> style{Qt::SolidLine, Qt::DashLine, Qt::DotLine};
  for (std::size_t i = 0; i < Earlier.size(); ++i) {
    QPen pen(QColor(255, 0, 0, alpha[i]), 1.5);
    pen.setStyle(style[i]);
    Earlier[i]->setPen(pen);
  }
}

void TEvolChart::SetEarlierRunName(int Index, const std::string& Name) {
  if (Index >= 0 && Index < EarlierRunCount())
    Earlier[static_cast<std::size_t>(Index)]->setName(ToQString(Name));
}

void TEvolChart::ClearEarlierRuns() {
  for (QLineSeries* s : Earlier) {
    chart()->removeSeries(s);
    delete s;
  }
  Earlier.clear();
}

void TEvolChart::SetBottomAxisTitle(const std::string& Title) {
  AxisX->setTitleText(ToQString(Title));
}

QImage TEvolChart::RenderImage() {
  QImage image(size(), QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  render(&painter);
  return image;
}

TFSImage::TFSImage(QWidget* Parent) : QWidget(Parent) {
  setMinimumSize(1, 1);
}

int TFSImage::ClientWidth() const {
  return Bitmap.isNull() ? width() : Bitmap.width();
}

int TFSImage::ClientHeight() const {
  return Bitmap.isNull() ? height() : Bitmap.height();
}

QImage& TFSImage::Canvas() {
  if (Bitmap.isNull()) {
    Bitmap = QImage(std::max(width(), 1), std::max(height(), 1), QImage::Format_RGB32);
    Bitmap.fill(Qt::white);
  }
  return Bitmap;
}

void TFSImage::FillRect(int X1, int Y1, int X2, int Y2) {
  QPainter& painter = Drawing();
  if (X2 <= X1 || Y2 <= Y1) return;
  painter.fillRect(QRect(X1, Y1, X2 - X1, Y2 - Y1), ToQColor(Brush));
}

QPainter& TFSImage::Drawing() {
  // One painter for a whole curve: opening one per line costs more than the line.
  if (!Painter) Painter = std::make_unique<QPainter>(&Canvas());
  return *Painter;
}

void TFSImage::EndDrawing() const {
  Painter.reset();
}

const QImage& TFSImage::Picture() const {
  EndDrawing();
  return Bitmap;
}

void TFSImage::MoveTo(int X, int Y) {
  Canvas();
  PenX = X;
  PenY = Y;
}

void TFSImage::LineTo(int X, int Y) {
  QPainter& painter = Drawing();
  painter.setPen(QPen(ToQColor(Pen), 1));
  painter.drawLine(PenX, PenY, X, Y);
  PenX = X;
  PenY = Y;
}

void TFSImage::paintEvent(QPaintEvent*) {
  EndDrawing();
  if (Bitmap.isNull()) return;
  QPainter painter(this);
  painter.drawImage(rect(), Bitmap);
}

bool TFSImage::SaveToFile(const std::string& FileName) const {
  EndDrawing();
  if (Bitmap.isNull()) return false;
  SaveBitmap(Bitmap, FileName);
  return true;
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
