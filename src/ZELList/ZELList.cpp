#include "ZELList/ZELList.h"

#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

TZELListForm::TZELListForm(TShowProgram Show, QWidget* Parent)
    : QWidget(Parent, Qt::Window), ShowProgram(std::move(Show)) {
  setObjectName("ZELListForm");
  setWindowTitle("Best ZEL by Generation");
  resize(340, 262);
  ZELListBox = new QListWidget;
  ZELListBox->setObjectName("ZELListBox");
  ZELListBox->setSelectionMode(QAbstractItemView::SingleSelection);
  ZELListBox->setSortingEnabled(false);
  ZELListBox->setUniformItemSizes(true);
  ZELListBox->setToolTip("Double-click a program to develop it again and show it in the main window.");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(ZELListBox);
  connect(ZELListBox, &QListWidget::itemDoubleClicked, this, [this] { ZELListBoxDblClick(ZELListBox); });
}

void TZELListForm::Clear() {
  ZELListBox->clear();
}

void TZELListForm::Append(const std::string& Text) {
  auto* item = new QListWidgetItem(QString::fromStdString(Text));
  item->setSizeHint(QSize(0, 16));
  ZELListBox->addItem(item);
}

int TZELListForm::Count() const {
  return ZELListBox->count();
}

std::string TZELListForm::Entry(int Index) const {
  const QListWidgetItem* item = ZELListBox->item(Index);
  return item != nullptr ? item->text().toStdString() : std::string();
}

void TZELListForm::ZELListBoxDblClick(QObject*) {
  const QList<QListWidgetItem*> selected = ZELListBox->selectedItems();
  const std::string text = selected.isEmpty() ? std::string() : selected.first()->text().toStdString();
  // An entry that repeats an earlier one names the generation that found it first.
  int position = -1;
  for (int i = 0; i < Count() && position < 0; ++i)
    if (Entry(i) == text) position = i;
  ShowProgram(text, position);
}
