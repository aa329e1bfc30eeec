#pragma once
// The run tool bar: Pause (Resume), Step and Stop for the run that works, its speed, the
// seed box, and the buttons of two commands of the window that concern the last experiment.

#include <QToolBar>

#include <cstdint>

class QAction;
class QComboBox;
class QLineEdit;

class TRunToolBar final : public QToolBar {
  Q_OBJECT

public:
  // CopyCommand and ClearRuns are the window's commands that get a button here.
  TRunToolBar(QAction* CopyCommand, QAction* ClearRuns, QWidget* Parent = nullptr);

  QAction* PauseAction() const { return Pause; }
  QAction* StepAction() const { return StepOne; }
  QAction* StopAction() const { return StopRun; }
  bool Paused() const;
  // Generations (runs of a batch) a second; 0 for as fast as possible.
  int Speed() const;
  // The seed box: empty takes the time of day, else a number 0..4294967295; any other text
  // raises std::invalid_argument naming the box.
  std::uint32_t Seed() const;
  bool SeedGiven() const;
  void SetSeed(const QString& Text);
  QLineEdit* SeedBox() const { return SeedEdit; }
  // Step is on while a run shown running is paused, Stop while a run shows itself running;
  // Pause reads Resume while it is checked.
  void ShowRunState(bool ShownRunning);

signals:
  void pauseToggled(bool Paused);
  void stepAsked();
  void stopAsked();
  void speedChanged(int PerSecond);

private:
  QAction* Pause;
  QAction* StepOne;
  QAction* StopRun;
  QComboBox* SpeedComboBox;
  QLineEdit* SeedEdit;
};
