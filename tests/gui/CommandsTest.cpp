#include "GuiTestSupport.h"

#include "FuzzySet/Random.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QToolButton>

#include <gtest/gtest.h>

#include <filesystem>

namespace {
std::string Text(const QLabel* L) {
  return L->text().toStdString();
}

// Expects the list window, labels, chart and picture to show the engine's run.
void ExpectResultsShown(TWindows& W, TEngineRun& Engine, std::size_t Entries, int G) {
  ASSERT_TRUE(W.Dialogs.Errors.empty()) << W.Dialogs.Errors.front();
  EXPECT_TRUE(W.List.isVisible());
  ASSERT_EQ(Engine.BestList.size(), Entries);
  ASSERT_EQ(W.List.Count(), static_cast<int>(Entries));
  for (int i = 0; i < W.List.Count(); ++i)
    EXPECT_EQ(W.List.Entry(i), Engine.BestList[static_cast<std::size_t>(i)]);

  TFuzzySet developed;
  Engine.BestAll.Develop(developed);
  ExpectAgentShown(W.Home, developed, Engine.BestAll.Fitness);
  EXPECT_EQ(Text(W.Home.GenLabel), std::to_string(G));

  for (int s = 0; s < 2; ++s) {
    const QList<QPointF> points = W.Home.EvolChart->Series(s)->points();
    const std::vector<double>& expected = Engine.Chart.Series[static_cast<std::size_t>(s)];
    ASSERT_EQ(points.size(), static_cast<qsizetype>(expected.size()));
    for (qsizetype i = 0; i < points.size(); ++i) {
      EXPECT_EQ(points[i].x(), static_cast<double>(i));
      EXPECT_EQ(points[i].y(), expected[static_cast<std::size_t>(i)]);
    }
  }
  EXPECT_EQ(W.Home.EvolChart->BottomAxis()->titleText().toStdString(), Engine.Chart.AxisTitle);
  EXPECT_EQ(W.Home.EvolChart->BottomAxis()->max(), Engine.Chart.AxisMax);
  EXPECT_TRUE(W.Home.EvolProgressBar->isVisible());
}
} // namespace

TEST(StartCommand, RunsTheEngineAsCalledDirectlyAndShowsItsResults) {
  TWindows w;
  TScratchDir dir;
  TExperiment e;
  e.Rates = true;
  e.PCrossover = 0.7;
  e.ApplyTo(w.Home);
  const std::string report = dir.File("run.txt");
  w.Dialogs.Answers = {report};
  bool listHiddenDuringRun = false;
  w.Dialogs.OnMessage = [&] { listHiddenDuringRun = !w.List.isVisible(); };
  w.List.show();
  Rng::SetClock(Rng::CounterClock(4711));
  w.Home.StartToolButton->click();

  ASSERT_EQ(w.Dialogs.Shown.size(), 1u);
  EXPECT_EQ(w.Dialogs.Shown[0].Title, "Results File");
  EXPECT_EQ(w.Dialogs.Shown[0].Filter, "text files|*.txt|bitmap files|*.bmp|all files|*.*");
  EXPECT_EQ(w.Dialogs.Shown[0].FilterIndex, 0);
  EXPECT_TRUE(w.Dialogs.Shown[0].OverwritePrompt);
  EXPECT_EQ(w.Dialogs.Messages, std::vector<std::string>{"Your Report on file " + report});
  EXPECT_TRUE(listHiddenDuringRun);

  TEngineRun engine;
  RunEngine(e, 4711, false, dir.File("engine.txt"), engine);
  EXPECT_FALSE(engine.Report.empty());
  EXPECT_EQ(ReadFile(report), engine.Report);
  ExpectResultsShown(w, engine, static_cast<std::size_t>(e.Generations) + 1, e.Generations);
}

TEST(BatchCommand, RunsTenRunsAsTheEngineDoesAndListsTen) {
  TWindows w;
  TScratchDir dir;
  TExperiment e;
  e.PopSize = 6;
  e.Generations = 2;
  e.Elements = 30;
  e.Blocks = 3;
  e.Reproduction = 0;
  e.RandomEnvironment = true;
  e.ApplyTo(w.Home);
  const std::string report = dir.File("batch");
  w.Dialogs.Answers = {report};
  Rng::SetClock(Rng::CounterClock(99));
  w.Home.BatchToolButton->click();

  TEngineRun engine;
  RunEngine(e, 99, true, dir.File("engine.txt"), engine);
  EXPECT_EQ(ReadFile(report), engine.Report);
  EXPECT_EQ(w.Home.EnvironmentSet.Values(), engine.Environment.Values());
  ExpectResultsShown(w, engine, 10, e.Generations);
}

TEST(StartCommand, CancelledDialogChangesNothing) {
  TWindows w;
  w.Dialogs.Answers = {std::nullopt};
  w.Home.StartToolButton->click();
  EXPECT_EQ(w.Dialogs.Shown.size(), 1u);
  EXPECT_TRUE(w.Dialogs.Errors.empty() && w.Dialogs.Messages.empty());
  EXPECT_TRUE(w.Home.FSImage->Picture().isNull());
  EXPECT_EQ(w.Home.EnvironmentSet.Count(), 0);
  EXPECT_EQ(Text(w.Home.GenLabel), "0");
  EXPECT_FALSE(w.List.isVisible());
}

TEST(StartCommand, BadProbabilityTextEndsTheCommandAfterTheEnvironmentIsDrawn) {
  TWindows w;
  TScratchDir dir;
  TExperiment e;
  e.ApplyTo(w.Home);
  w.Home.pnoiseEdit->setText("0,5");
  w.Home.PCrossEdit->setText("1.0x");
  const std::string report = dir.File("bad.txt");
  w.Dialogs.Answers = {report};
  w.Home.StartToolButton->click();
  ASSERT_EQ(w.Dialogs.Errors, std::vector<std::string>{"'1.0x' is not a valid floating point value"});
  EXPECT_FALSE(std::filesystem::exists(report));
  EXPECT_FALSE(w.List.isVisible());
  EXPECT_EQ(w.Home.EnvironmentSet.Count(), e.Elements);
  EXPECT_GT(CountPixels(w.Home.FSImage->Picture(), qRgb(0, 0, 255)), 0);
  EXPECT_EQ(CountPixels(w.Home.FSImage->Picture(), qRgb(255, 0, 0)), 0);
  EXPECT_EQ(Text(w.Home.FitnessLabel), "0");

  w.Home.PCrossEdit->setText("1.0");
  w.Dialogs.Answers = {report};
  w.Home.BatchToolButton->click();
  ASSERT_EQ(w.Dialogs.Errors.size(), 2u);
  EXPECT_EQ(w.Dialogs.Errors[1], "'0,5' is not a valid floating point value");
}

TEST(StartCommand, UnwritableReportIsReportedAndTheProgramGoesOn) {
  TWindows w;
  TScratchDir dir;
  TExperiment e;
  e.Generations = 1;
  e.ApplyTo(w.Home);
  const std::string unwritable = dir.File("no-such-folder/run.txt");
  const std::string report = dir.File("run.txt");
  w.Dialogs.Answers = {unwritable, report};
  w.Home.StartToolButton->click();
  ASSERT_EQ(w.Dialogs.Errors.size(), 1u);
  EXPECT_NE(w.Dialogs.Errors[0].find(unwritable), std::string::npos) << w.Dialogs.Errors[0];
  EXPECT_TRUE(w.Dialogs.Messages.empty());
  EXPECT_FALSE(w.List.isVisible());

  w.Home.StartToolButton->click();
  EXPECT_EQ(w.Dialogs.Errors.size(), 1u);
  EXPECT_TRUE(std::filesystem::exists(report));
  EXPECT_EQ(w.List.Count(), 2);
  EXPECT_EQ(Text(w.Home.GenLabel), "1");
}
