// "Open Sweep Results…": a sweep's aggregate shown in a window of its own, and a file
// that is no aggregate refused without one.

#include "WindowKit.h"

#include "Plot/SweepChart.h"

#include <QChart>

#include <cstdlib>

namespace {
void Cli(const std::string& Args) {
  const std::string command = std::string("'") + ZELWORLD_CLI + "' " + Args + " >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

TSweepFigureView* SweepView(TWindows& W) {
  return W.Home.findChild<TSweepFigureView*>("SweepChartView");
}
} // namespace

TEST(SweepResults, AnAggregateOpensInAChartOfItsOwnAndABadFileOpensNothing) {
  TWindows w;
  TScratchDir dir;
  const std::string plan = dir.File("plan.csv"), out = dir.File("sweep");
  Cli("sweep plan --vary rates-selection=0,1 --set pop-size=6 --set generations=4 --set elements=20 "
      "--set blocks=2 --seeds 3 --out '" +
      plan + "'");
  Cli("sweep run '" + plan + "' --out '" + out + "' --jobs 1");
  Cli("sweep aggregate '" + out + "'");

  const std::string bad = dir.File("not-an-aggregate.csv");
  std::ofstream(bad) << "x,MaxGen,w/ Genotype\n0,12,100\n";
  w.Dialogs.Answers = {bad};
  w.Home.findChild<QAction*>("OpenSweepAction")->trigger();
  ASSERT_EQ(w.Dialogs.Errors.size(), 1u);
  EXPECT_NE(w.Dialogs.Errors[0].find(bad), std::string::npos) << w.Dialogs.Errors[0];
  EXPECT_EQ(SweepView(w), nullptr);

  w.Dialogs.Answers = {out + "/aggregate.csv"};
  w.Home.findChild<QAction*>("OpenSweepAction")->trigger();
  EXPECT_EQ(w.Dialogs.Errors.size(), 1u);
  TSweepFigureView* view = SweepView(w);
  ASSERT_NE(view, nullptr);
  EXPECT_TRUE(view->isVisible());
  // The figure of zelworld-plot: a panel per measure, each with two conditions' mean curves
  // over their bands, and the legend naming both.
  ASSERT_EQ(view->Figure()->Panels().size(), SweepMeasureNames().size());
  EXPECT_EQ(view->Figure()->Panels()[0]->series().size(), 4);
  EXPECT_EQ(view->Figure()->LegendEntries().size(), 2u);
  EXPECT_NE(view->windowTitle().toStdString().find("aggregate.csv"), std::string::npos);
}
