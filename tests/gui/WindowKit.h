#pragma once
// What the window tests share: the two windows with scripted dialogs, controls found by
// their object names, and the engine's own run of an experiment to compare with.

#include "Experiment/Experiment.h"
#include "Experiment/Report.h"
#include "Experiment/ReportFormat.h"
#include "Experiment/RunLoop.h"
#include "Experiment/RunObservers.h"
#include "FuzzySet/Random.h"
#include "ZELList/ZELList.h"
#include "ZELWorldHome/EvolChart.h"
#include "ZELWorldHome/FSImage.h"
#include "ZELWorldHome/QtDisplay.h"
#include "ZELWorldHome/ZELWorldHome.h"

#include "../ScratchDir.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QToolButton>

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

// Answers the save and open dialogs from one queue (empty: cancel) and records the boxes shown.
class TScriptedDialogs final : public TDialogService {
public:
  bool ExecuteSaveDialog(TSaveDialog& Dialog) override { return Answer(Dialog.FileName); }
  bool ExecuteOpenDialog(TOpenDialog& Dialog) override { return Answer(Dialog.FileName); }
  bool Answer(std::string& FileName) {
    ++Shown;
    if (Answers.empty()) return false;
    FileName = Answers.front();
    Answers.pop_front();
    return true;
  }
  void ShowMessage(const std::string& Text) override {
    Messages.push_back(Text);
    if (OnMessage) OnMessage();
  }
  void ShowError(const std::string& Text) override { Errors.push_back(Text); }
  std::deque<std::string> Answers;
  // Called while a message is shown, as the user would see the window then.
  std::function<void()> OnMessage;
  std::vector<std::string> Messages, Errors;
  int Shown = 0;
};

struct TWindows {
  TWindows() { Home.show(); }
  // A control of the main window (or the list window) by its object name.
  template <class T> T* Find(const char* Name) {
    QWidget* w = Home.findChild<QWidget*>(Name);
    if (w == nullptr) w = List.findChild<QWidget*>(Name);
    auto* found = dynamic_cast<T*>(w);
    EXPECT_NE(found, nullptr) << Name;
    return found;
  }
  std::string Text(const char* Name) {
    if (auto* label = Home.findChild<QLabel*>(Name)) return label->text().toStdString();
    return Find<QLineEdit>(Name)->text().toStdString();
  }
  void SetText(const char* Name, const std::string& Text) {
    Find<QLineEdit>(Name)->setText(QString::fromStdString(Text));
  }
  void Click(const char* Name) { Find<QAbstractButton>(Name)->click(); }
  // Triggers a menu command by its action's object name.
  void Trigger(const char* Name) {
    auto* action = Home.findChild<QAction*>(Name);
    ASSERT_NE(action, nullptr) << Name;
    action->trigger();
  }
  // A command that shows one dialog, answered with FileName.
  void Trigger(const char* Name, const std::string& FileName) {
    Dialogs.Answers = {FileName};
    Trigger(Name);
    Home.WaitForRun();
  }
  void SetReproduction(int Item) { Find<QRadioButton>(ItemName(Item).c_str())->click(); }
  static std::string ItemName(int Item) { return "ReprodRadioGroupItem" + std::to_string(Item); }
  TEvolChart& Chart() { return *Find<TEvolChart>("EvolChart"); }
  const QImage& Picture() { return Find<TFSImage>("FSImage")->Picture(); }
  QListWidget& ListBox() { return *Find<QListWidget>("ZELListBox"); }

  TScriptedDialogs Dialogs;
  TZELWorldHomeForm Home{&Dialogs};
  TZELListForm& List = Home.ListForm();
};

inline std::vector<std::string> Lines(const std::string& Text) {
  std::vector<std::string> lines;
  std::istringstream in(Text);
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

inline int CountPixels(const QImage& Image, QRgb Colour) {
  int count = 0;
  for (int y = 0; y < Image.height(); ++y)
    for (int x = 0; x < Image.width(); ++x)
      if ((Image.pixel(x, y) & 0xFFFFFFu) == (Colour & 0xFFFFFFu)) ++count;
  return count;
}

// The settings of one experiment, set through the window's controls.
struct TWindowExperiment {
  int PopSize = 10, Generations = 4, Elements = 40, Blocks = 4, Reproduction = 2;
  double PCrossover = 1.0, PMutation = 0.0001, PNoise = 0.0001;
  bool Rates = false, RandomEnvironment = false;
  void ApplyTo(TWindows& W) const {
    W.Find<QSpinBox>("PopSpinEdit")->setValue(PopSize);
    W.Find<QSpinBox>("GenSpinEdit")->setValue(Generations);
    W.Find<QSpinBox>("XElementsSpinEdit")->setValue(Elements);
    W.Find<QSpinBox>("NBlocksSpinEdit")->setValue(Blocks);
    W.SetReproduction(Reproduction);
    if (W.Find<QCheckBox>("RatesCheckBox")->isChecked() != Rates)
      W.Click("RatesCheckBox"); // Unchecking resets the crossover text.
    W.SetText("PCrossEdit", QString::number(PCrossover).toStdString());
    W.SetText("pmutEdit", QString::number(PMutation).toStdString());
    W.SetText("pnoiseEdit", QString::number(PNoise).toStdString());
    W.Find<QCheckBox>("RandomFitCheckBox")->setChecked(RandomEnvironment);
  }
  TExperimentSettings Settings() const {
    return {TReproduction(Reproduction),
            RandomEnvironment,
            Rates,
            PopSize,
            Generations,
            Elements,
            Blocks,
            PCrossover,
            PMutation,
            PNoise};
  }
};

// What the engine produces for the experiment when run by the run loop without a window.
struct TEngineRun {
  TEngineRun(const TWindowExperiment& E, std::uint32_t Seed, bool Batch, const std::string& FileName) {
    TRandom random;
    random.SetClock(Rng::CounterClock(Seed));
    TBestList best;
    TSeries series;
    {
      TReportWriter report(FileName);
      if (Batch) {
        TBatch batch(E.Settings(), random);
        TRunLoop loop(batch, {report.Observer(), best.Observer(), series.Observer()});
        loop.Run();
        BestAll = loop.Outcome().BestAll;
        Environment = batch.Experiment().Environment();
      } else {
        TExperiment experiment(E.Settings(), random);
        TRunLoop loop(experiment, false, {report.Observer(), best.Observer(), series.Observer()});
        loop.Run();
        BestAll = loop.Outcome().BestAll;
        Environment = experiment.Environment();
      }
    }
    Report = ReadFile(FileName);
    BestList = best.Texts();
    for (const TSeries::TPoint& p : series.Points()) {
      Chart.Series[0].push_back(p.MaxGen);
      Chart.Series[1].push_back(p.Genotype);
    }
  }
  std::string Report;
  std::vector<std::string> BestList;
  // The chart's two series, point by point.
  struct {
    std::array<std::vector<double>, 2> Series;
  } Chart;
  TFuzzySet Environment;
  TZELAgent BestAll;
};

// Starts a command with the seed box set and the dialog answering FileName, and waits for it.
inline void RunInWindow(TWindows& W, const char* Button, std::uint32_t Seed, const std::string& FileName) {
  W.SetText("SeedEdit", std::to_string(Seed));
  W.Dialogs.Answers = {FileName};
  W.Click(Button);
  W.Home.WaitForRun();
}

// Expects Developed drawn in red over the blue environment, with its measures and
// Fitness in the result labels in their formats.
inline void ExpectAgentShown(TWindows& W, const TFuzzySet& Developed, int Fitness) {
  const TFuzzySet& env = W.Home.Environment();
  EXPECT_EQ(W.Home.Developed().Values(), Developed.Values());
  EXPECT_EQ(W.Text("CardinalityLabel"), FormatReal(Developed.Cardinality(), 8, 2));
  EXPECT_EQ(W.Text("SubSethoodLabel"), FormatReal(Developed.Subsethood(env), 8, 2));
  EXPECT_EQ(W.Text("HammingLabel"), FormatReal(Developed.HammingDistance(env), 8, 2));
  EXPECT_EQ(W.Text("FitnessLabel"), FormatInt(Fitness, 10));
  EXPECT_GT(CountPixels(W.Picture(), qRgb(255, 0, 0)), 0);
  EXPECT_GT(CountPixels(W.Picture(), qRgb(0, 0, 255)), 0);
}
