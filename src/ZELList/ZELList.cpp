#include "ZELList/ZELList.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include <algorithm>

namespace {
constexpr int NumberRole = Qt::UserRole;
constexpr int LineHeight = 16;

// Paints an entry's number in a grey gutter to the left of its program, so that the
// entry's text stays the program alone.
class TNumberedDelegate final : public QStyledItemDelegate {
public:
  using QStyledItemDelegate::QStyledItemDelegate;

  static int Gutter(const QFontMetrics& Metrics) { return Metrics.horizontalAdvance("0000") + 10; }

  void paint(QPainter* Painter, const QStyleOptionViewItem& Option, const QModelIndex& Index) const override {
    const int gutter = Gutter(Option.fontMetrics);
    QStyleOptionViewItem text = Option;
    text.rect.setLeft(Option.rect.left() + gutter);
    QStyledItemDelegate::paint(Painter, text, Index);
    Painter->save();
    Painter->setPen(Option.palette.color(QPalette::Disabled, QPalette::Text));
    const QRect number(Option.rect.left(), Option.rect.top(), gutter - 6, Option.rect.height());
    Painter->drawText(number, Qt::AlignRight | Qt::AlignVCenter, Index.data(NumberRole).toString());
    Painter->restore();
  }

  QSize sizeHint(const QStyleOptionViewItem& Option, const QModelIndex& Index) const override {
    const QSize text = QStyledItemDelegate::sizeHint(Option, Index);
    return {text.width() + Gutter(Option.fontMetrics), LineHeight};
  }
};

// The program in lines of eight blocks, for the tooltip.
QString Wrapped(const QString& Text) {
  QStringList lines;
  for (qsizetype i = 0; i < Text.size(); i += 40)
    lines << Text.mid(i, 40);
  return lines.join('\n');
}
} // namespace

TZELListForm::TZELListForm(QWidget* Parent) : QWidget(Parent, Qt::Window) {
  setObjectName("ZELListForm");
  setWindowTitle("Best ZEL by Generation");
  resize(340, 262);
  ZELListBox = new QListWidget;
  ZELListBox->setObjectName("ZELListBox");
  ZELListBox->setSelectionMode(QAbstractItemView::SingleSelection);
  ZELListBox->setSortingEnabled(false);
  ZELListBox->setUniformItemSizes(true);
  ZELListBox->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  ZELListBox->setItemDelegate(new TNumberedDelegate(ZELListBox));
  ZELListBox->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  ZELListBox->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  ZELListBox->setWordWrap(false);
  ZELListBox->setTextElideMode(Qt::ElideNone);
  ZELListBox->setToolTip("Double-click a program to develop it again and show it in the main window; "
                         "Ctrl+C copies it.");
  auto* copy = new QAction("Copy Program", ZELListBox);
  copy->setObjectName("CopyProgramAction");
  copy->setShortcut(QKeySequence::Copy);
  copy->setShortcutContext(Qt::WidgetShortcut);
  connect(copy, &QAction::triggered, this, [this] { CopySelected(); });
  ZELListBox->addAction(copy);
  ZELListBox->setContextMenuPolicy(Qt::ActionsContextMenu);
  ZELListBox->viewport()->installEventFilter(this);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(ZELListBox);
  connect(ZELListBox, &QListWidget::itemDoubleClicked, this, &TZELListForm::ZELListBoxDblClick);
}

void TZELListForm::SetNumbering(TUnit NewUnit, int NewFirst) {
  Unit = NewUnit;
  First = Unit == TUnit::Run ? 1 : NewFirst;
}

void TZELListForm::Clear() {
  ZELListBox->clear();
}

void TZELListForm::Append(const std::string& Text) {
  const QString program = QString::fromStdString(Text);
  const int number = First + Count();
  auto* item = new QListWidgetItem(program);
  item->setData(NumberRole, number);
  item->setToolTip(QString(Unit == TUnit::Run ? "Run %1\n" : "Generation %1\n").arg(number) +
                   Wrapped(program));
  ZELListBox->addItem(item);
}

int TZELListForm::Count() const {
  return ZELListBox->count();
}

std::string TZELListForm::Entry(int Index) const {
  const QListWidgetItem* item = ZELListBox->item(Index);
  return item != nullptr ? item->text().toStdString() : std::string();
}

void TZELListForm::FitToEntries() {
  // The font is of fixed width: the longest program is the widest.
  const QFontMetrics metrics(ZELListBox->font());
  qsizetype longest = 0;
  for (int i = 0; i < Count(); ++i)
    longest = std::max(longest, ZELListBox->item(i)->text().size());
  const int widest = metrics.horizontalAdvance(QString(longest, QChar('0')));
  // The gutter, the text's margins in its item, the vertical scroll bar and the frames.
  const int scrollBar = ZELListBox->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, ZELListBox);
  int wanted = TNumberedDelegate::Gutter(metrics) + widest + 16 + scrollBar + 2 * ZELListBox->frameWidth();
  if (const QScreen* screen = this->screen())
    wanted = std::min(wanted, screen->availableGeometry().width() - (frameGeometry().width() - width()));
  if (wanted > width()) resize(wanted, height());
}

void TZELListForm::CopySelected() {
  const QList<QListWidgetItem*> selected = ZELListBox->selectedItems();
  if (!selected.isEmpty()) QApplication::clipboard()->setText(selected.first()->text());
}

bool TZELListForm::eventFilter(QObject* Watched, QEvent* Event) {
  // A double-click beside the entries selects nothing and shows that.
  if (Watched == ZELListBox->viewport() && Event->type() == QEvent::MouseButtonDblClick &&
      ZELListBox->itemAt(static_cast<QMouseEvent*>(Event)->position().toPoint()) == nullptr) {
    ZELListBox->clearSelection();
    ZELListBoxDblClick();
    return true;
  }
  return QWidget::eventFilter(Watched, Event);
}

void TZELListForm::ZELListBoxDblClick() {
  const QList<QListWidgetItem*> selected = ZELListBox->selectedItems();
  const QString text = selected.isEmpty() ? QString() : selected.first()->text();
  // An entry that repeats an earlier one names the generation that found it first.
  int position = -1;
  for (int i = 0; i < Count() && position < 0; ++i)
    if (ZELListBox->item(i)->text() == text) position = i;
  // A continued run's entries name their generations.
  emit programChosen(text, position < 0 || Unit == TUnit::Run ? position : First + position);
}
