#include "ZELWorldHome/RunToolBar.h"

#include "Experiment/CommandText.h"
#include "ZELWorldHome/ControlKit.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QToolButton>

#include <algorithm>
#include <array>
#include <stdexcept>
#include <string>
#include <utility>

namespace {
// The speeds a run can follow, in generations (runs of a batch) a second; 0 is as fast as possible.
const std::array<std::pair<const char*, int>, 6> Speeds{{{"As fast as possible", 0},
                                                         {"100 a second", 100},
                                                         {"30 a second", 30},
                                                         {"10 a second", 10},
                                                         {"3 a second", 3},
                                                         {"1 a second", 1}}};
} // namespace

TRunToolBar::TRunToolBar(QAction* CopyCommand, QAction* ClearRuns, QWidget* Parent)
    : QToolBar("Run", Parent) {
  setObjectName("RunToolBar");
  setMovable(false);
  Pause = NewAction(this, "PauseAction", "Pause",
                    "Pauses the run after the current generation; checked before a start, the run "
                    "waits after generation 0.");
  Pause->setCheckable(true);
  connect(Pause, &QAction::triggered, this, [this] { emit pauseToggled(Pause->isChecked()); });
  StepOne =
      NewAction(this, "StepAction", "Step", "Runs one more generation (one run of a batch) while paused.");
  connect(StepOne, &QAction::triggered, this, &TRunToolBar::stepAsked);
  StopRun = NewAction(this, "StopAction", "Stop",
                      "Ends the run after the current generation (a batch after the current run).");
  connect(StopRun, &QAction::triggered, this, &TRunToolBar::stopAsked);
  SetShortcut(Pause, QKeySequence(Qt::CTRL | Qt::Key_P));
  SetShortcut(StepOne, QKeySequence(Qt::CTRL | Qt::Key_N));
  SetShortcut(StopRun, QKeySequence(Qt::CTRL | Qt::Key_Period));

  QToolButton* pauseButton = NewToolButton("PauseToolButton", Pause, 60);
  // Room for the caption it takes while checked.
  const QFontMetrics metrics = pauseButton->fontMetrics();
  pauseButton->setMinimumWidth(std::max(60, pauseButton->sizeHint().width() +
                                                metrics.horizontalAdvance("Resume") -
                                                metrics.horizontalAdvance("Pause")));
  QToolButton* stepButton = NewToolButton("StepToolButton", StepOne, 40);
  QToolButton* stopButton = NewToolButton("StopToolButton", StopRun, 40);
  SpeedComboBox = new QComboBox;
  SpeedComboBox->setObjectName("SpeedComboBox");
  SpeedComboBox->setToolTip("How fast a run goes: slow it down to watch selection at work.");
  for (const auto& [caption, perSecond] : Speeds)
    SpeedComboBox->addItem(caption, perSecond);
  connect(SpeedComboBox, &QComboBox::currentIndexChanged, this, [this] { emit speedChanged(Speed()); });
  SeedEdit = new QLineEdit;
  SeedEdit->setObjectName("SeedEdit");
  SeedEdit->setFixedWidth(90);
  SeedEdit->setPlaceholderText("time of day");
  SeedEdit->setToolTip("Seed of the random generator, 0..4294967295; empty for the time of day. The "
                       "same seed and settings repeat a run exactly.");
  addWidget(pauseButton);
  addWidget(stepButton);
  addWidget(stopButton);
  addWidget(SpeedComboBox);
  addSeparator();
  addWidget(NewLabel("SeedCaption", " Seed: "));
  addWidget(SeedEdit);
  addWidget(NewToolButton("CopyCommandToolButton", CopyCommand));
  addSeparator();
  addWidget(NewToolButton("ClearRunsToolButton", ClearRuns));
}

bool TRunToolBar::Paused() const {
  return Pause->isChecked();
}

int TRunToolBar::Speed() const {
  return SpeedComboBox->currentData().toInt();
}

std::uint32_t TRunToolBar::Seed() const {
  return SeedFromText(SeedEdit->text().trimmed().toStdString());
}

bool TRunToolBar::SeedGiven() const {
  return !SeedEdit->text().trimmed().isEmpty();
}

void TRunToolBar::SetSeed(const QString& Text) {
  SeedEdit->setText(Text);
}

void TRunToolBar::ShowRunState(bool ShownRunning) {
  const bool paused = Pause->isChecked();
  Pause->setText(paused ? "Resume" : "Pause");
  StepOne->setEnabled(ShownRunning && paused);
  StopRun->setEnabled(ShownRunning);
}
