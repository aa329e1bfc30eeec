#include "ZELList/ZELList.h"

#include "ZEL/ZELAgent.h"
#include "ZELWorldHome/ZELWorldHome.h"

#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

TZELListForm::TZELListForm(TZELWorldHomeForm& Home, QWidget* Parent)
    : QWidget(Parent, Qt::Window), Home(Home) {
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
  Home.GenLabel->setText(QString::number(position));
  if (selected.isEmpty()) {
    Home.SetStatusText("No program selected");
    return;
  }

  Home.DevelopedSet.Clear();
  const int blocks = TZELWorldHomeForm::SpinValue(Home.NBlocksSpinEdit);
  TZELAgent agent(blocks, TZELWorldHomeForm::SpinValue(Home.XElementsSpinEdit), false);
  agent.ZEL.FromText(text);
  agent.Develop(Home.DevelopedSet);
  Home.EnvironmentSet.Draw(*Home.FSImage, clBlue, true);
  Home.DevelopedSet.Draw(*Home.FSImage, clRed, false);
  Home.FSImage->repaint();
  Home.ShowMeasures();
  agent.Evaluate(Home.DevelopedSet, Home.EnvironmentSet);
  Home.ShowFitness(agent.Fitness);
  // A program shorter than the block count develops only the blocks it has; say so.
  const int developed = agent.ZEL.Count();
  Home.SetStatusText(developed < blocks ? "Developed " + std::to_string(developed) + " of " +
                                              std::to_string(blocks) + " blocks"
                                        : "");
  agent.FreeContents();
}
