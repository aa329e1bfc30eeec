// The experiment commands on the worker: results as the engine's own, the seed box and the
// copied command line against zelworld-cli, the run controls and the run worker.

#include "WindowKit.h"

#include "Experiment/CommandText.h"
#include "ZELWorldHome/RunWorker.h"

#include <QApplication>
#include <QClipboard>
#include <QLineSeries>
#include <QSpinBox>
#include <QTest>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {
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
  ExpectAgentShown(W, developed, Engine.BestAll.Fitness);
  EXPECT_EQ(W.Text("GenLabel"), std::to_string(G));
  for (int s = 0; s < 2; ++s) {
    const QList<QPointF> points = W.Chart().Series(s)->points();
    const std::vector<double>& expected = Engine.Chart.Series[static_cast<std::size_t>(s)];
    ASSERT_EQ(points.size(), static_cast<qsizetype>(expected.size()));
    for (qsizetype i = 0; i < points.size(); ++i)
      EXPECT_EQ(points[i], QPointF(static_cast<double>(i), expected[static_cast<std::size_t>(i)]));
  }
}

// Runs the copied command line with the real zelworld-cli, its report sent to Report.
void RunCopiedCommand(const std::string& Copied, const std::string& WindowReport, const std::string& Report) {
  std::string line = Copied;
  const std::string program = "zelworld-cli ";
  ASSERT_EQ(line.rfind(program, 0), 0u) << line;
  line.replace(0, program.size(), std::string(ZELWORLD_CLI) + " ");
  const std::size_t at = line.find(WindowReport);
  ASSERT_NE(at, std::string::npos) << line;
  line.replace(at, WindowReport.size(), Report);
  ASSERT_EQ(std::system((line + " >/dev/null 2>&1").c_str()), 0) << line;
}
} // namespace

TEST(Commands, RunAndBatchWithASeedMatchTheEngineAndTheCopiedCommandLine) {
  TWindows w;
  TScratchDir dir;
  const TWindowExperiment single{.PCrossover = 0.7, .Rates = true};
  single.ApplyTo(w);
  RunInWindow(w, "StartToolButton", 4711, dir.File("run.txt"));
  EXPECT_EQ(w.Dialogs.Messages, std::vector<std::string>{"Your Report on file " + dir.File("run.txt")});
  TEngineRun engine(single, 4711, false, dir.File("engine.txt"));
  EXPECT_FALSE(engine.Report.empty());
  EXPECT_EQ(ReadFile(dir.File("run.txt")), engine.Report);
  ExpectResultsShown(w, engine, static_cast<std::size_t>(single.Generations) + 1, single.Generations);
  EXPECT_NE(w.Text("SeedUsedLabel").find("4711"), std::string::npos);
  w.Click("CopyCommandToolButton");
  const std::string copied = QApplication::clipboard()->text().toStdString();
  EXPECT_EQ(copied, w.Home.CommandLine());
  RunCopiedCommand(copied, dir.File("run.txt"), dir.File("cli.txt"));
  EXPECT_EQ(ReadFile(dir.File("cli.txt")), engine.Report);

  // A batch in the same windows replaces everything the run showed; an empty seed box
  // takes the time of day, and the copied line still repeats the batch.
  const TWindowExperiment batch{.PopSize = 6,
                                .Generations = 2,
                                .Elements = 30,
                                .Blocks = 3,
                                .Reproduction = 0,
                                .RandomEnvironment = true};
  batch.ApplyTo(w);
  w.SetText("SeedEdit", "");
  w.Dialogs.Answers = {dir.File("batch report")};
  w.Click("BatchToolButton");
  w.Home.WaitForRun();
  const std::string batchLine = w.Home.CommandLine();
  const std::size_t seedAt = batchLine.find("--seed ") + 7;
  const auto seed = static_cast<std::uint32_t>(std::stoul(batchLine.substr(seedAt)));
  EXPECT_NE(w.Text("SeedUsedLabel").find(std::to_string(seed)), std::string::npos);
  TEngineRun batchEngine(batch, seed, true, dir.File("engine.txt"));
  EXPECT_EQ(ReadFile(dir.File("batch report")), batchEngine.Report);
  EXPECT_EQ(w.Home.Environment().Values(), batchEngine.Environment.Values());
  ExpectResultsShown(w, batchEngine, 10, batch.Generations);
  RunCopiedCommand(batchLine, ShellQuoted(dir.File("batch report")), ShellQuoted(dir.File("cli batch.txt")));
  EXPECT_EQ(ReadFile(dir.File("cli batch.txt")), batchEngine.Report);
}

TEST(Commands, TheMessageNamingTheReportComesOverTheEnvironmentAlone) {
  TWindows w;
  TScratchDir dir;
  TWindowExperiment{.Generations = 2}.ApplyTo(w);
  int red = -1, blue = -1;
  w.Dialogs.OnMessage = [&] {
    red = CountPixels(w.Picture(), qRgb(255, 0, 0));
    blue = CountPixels(w.Picture(), qRgb(0, 0, 255));
  };
  // Each command's message, the later ones after an agent was drawn; the agent comes after it.
  for (const char* command : {"StartToolButton", "StartToolButton", "BatchToolButton"}) {
    RunInWindow(w, command, 5, dir.File("r.txt"));
    EXPECT_EQ(red, 0) << command;
    EXPECT_GT(blue, 0) << command;
    EXPECT_GT(CountPixels(w.Picture(), qRgb(255, 0, 0)), 0) << command;
  }
}

TEST(Commands, ErrorsEndTheCommandAndTheProgramGoesOn) {
  TWindows w;
  TScratchDir dir;
  TWindowExperiment{.Generations = 1}.ApplyTo(w);
  // A report that cannot be made ends the command; the window shows nothing of a run.
  const std::string unwritable = dir.File("no-such-folder/run.txt");
  w.Dialogs.Answers = {unwritable};
  w.Click("StartToolButton");
  w.Home.WaitForRun();
  ASSERT_EQ(w.Dialogs.Errors.size(), 1u);
  EXPECT_NE(w.Dialogs.Errors[0].find(unwritable), std::string::npos) << w.Dialogs.Errors[0];
  EXPECT_NE(w.Dialogs.Errors[0].find("No such file or directory"), std::string::npos) << w.Dialogs.Errors[0];
  EXPECT_TRUE(w.Dialogs.Messages.empty());
  EXPECT_FALSE(w.List.isVisible());
  EXPECT_FALSE(w.Home.Running());

  // A seed that is not a number ends the command before the dialog.
  const int dialogs = w.Dialogs.Shown;
  w.SetText("SeedEdit", "4294967296");
  w.Click("StartToolButton");
  ASSERT_EQ(w.Dialogs.Errors.size(), 2u);
  EXPECT_NE(w.Dialogs.Errors[1].find("Seed: '4294967296'"), std::string::npos) << w.Dialogs.Errors[1];
  EXPECT_EQ(w.Dialogs.Shown, dialogs);

  // A corrected probability is named in the status bar.
  w.SetText("SeedEdit", "5");
  w.Click("RatesCheckBox");
  w.SetText("PCrossEdit", "1.5");
  w.Dialogs.Answers = {dir.File("run.txt")};
  w.Click("StartToolButton");
  w.Home.WaitForRun();
  EXPECT_EQ(w.Dialogs.Errors.size(), 2u);
  EXPECT_EQ(w.Text("StatusPanel1"), "PCrossover 1.5 is outside 0..1; the run uses 1");
  EXPECT_EQ(w.List.Count(), 2);
}

TEST(RunControls, StopAfterKGenerationsAndStepsGiveTheUninterruptedReport) {
  TWindows w;
  TScratchDir dir;
  const TWindowExperiment e{.Generations = 6};
  e.ApplyTo(w);
  TEngineRun engine(e, 77, false, dir.File("engine.txt"));
  const std::vector<std::string> full = Lines(engine.Report);
  const std::size_t header = full.size() - 7; // the lines before generation 0

  // Checked before the start, Pause holds the run after generation 0; Step adds one.
  w.Click("PauseToolButton");
  RunInWindow(w, "StartToolButton", 77, dir.File("stopped.txt"));
  EXPECT_TRUE(w.Home.Running());
  EXPECT_EQ(w.Chart().Series(0)->count(), 1);
  EXPECT_FALSE(w.Find<QWidget>("PopSpinEdit")->isEnabled());
  EXPECT_FALSE(w.Find<QAbstractButton>("StartToolButton")->isEnabled());
  EXPECT_TRUE(w.Find<QAbstractButton>("StepToolButton")->isEnabled());
  const int k = 2;
  for (int i = 1; i <= k; ++i) {
    w.Click("StepToolButton");
    w.Home.WaitForRun();
    EXPECT_EQ(w.Chart().Series(0)->count(), i + 1);
    EXPECT_EQ(w.Text("GenLabel"), std::to_string(i));
  }
  w.Click("StopToolButton");
  w.Home.WaitForRun();
  EXPECT_FALSE(w.Home.Running());
  std::vector<std::string> stopped = Lines(ReadFile(dir.File("stopped.txt")));
  ASSERT_EQ(stopped.size(), header + k + 2);
  EXPECT_EQ(stopped.back(), "Stopped after generation 2 of 6\r");
  stopped.pop_back();
  EXPECT_EQ(stopped,
            std::vector<std::string>(full.begin(), full.begin() + static_cast<long>(header + k + 1)));
  EXPECT_EQ(w.List.Count(), k + 1);
  EXPECT_EQ(w.Text("GenLabel"), std::to_string(k));
  EXPECT_EQ(w.Text("StatusPanel1"), "Stopped after generation 2 of 6");
  EXPECT_TRUE(w.Find<QWidget>("PopSpinEdit")->isEnabled());

  // Paused, stepped twice, resumed: the report of the run left alone.
  RunInWindow(w, "StartToolButton", 77, dir.File("stepped.txt"));
  w.Click("StepToolButton");
  w.Click("StepToolButton");
  w.Home.WaitForRun();
  EXPECT_EQ(w.Chart().Series(0)->count(), 3);
  w.Click("PauseToolButton");
  w.Home.WaitForRun();
  EXPECT_EQ(ReadFile(dir.File("stepped.txt")), engine.Report);
  EXPECT_EQ(w.List.Count(), e.Generations + 1);
  EXPECT_EQ(w.Text("StatusPanel1"), "");
}

TEST(RunControls, ARunJustBegunTakesNoInputUntilItsControlsShowOffAndAShortOneLeavesTheListUp) {
  TWindows w;
  TScratchDir dir;
  const TWindowExperiment e{.Generations = 3};
  e.ApplyTo(w);
  auto* pop = w.Find<QSpinBox>("PopSpinEdit");
  // Before the run's first frame the controls do not look disabled yet, but hold back input,
  // and a second Start does nothing, not even its dialog.
  w.Click("PauseToolButton");
  w.SetText("SeedEdit", "3");
  w.Dialogs.Answers = {dir.File("held.txt")};
  w.Click("StartToolButton");
  ASSERT_TRUE(w.Home.Running());
  const int dialogs = w.Dialogs.Shown;
  QTest::keyClick(pop, Qt::Key_Up);
  QTest::mouseClick(w.Find<QCheckBox>("RatesCheckBox"), Qt::LeftButton);
  w.Click("StartToolButton");
  w.Click("BatchToolButton");
  // Nor do the menu commands that would change the settings or the population.
  for (const char* name : {"OpenSettingsAction", "ThawAction", "LoadEnvironmentAction"})
    w.Home.findChild<QAction*>(name)->trigger();
  EXPECT_EQ(pop->value(), e.PopSize);
  EXPECT_FALSE(w.Find<QCheckBox>("RatesCheckBox")->isChecked());
  EXPECT_EQ(w.Dialogs.Shown, dialogs);
  EXPECT_FALSE(w.Find<QAbstractButton>("StopToolButton")->isEnabled());
  w.Home.WaitForRun();
  // The first frame turns the controls off and Stop and Step on.
  EXPECT_FALSE(pop->isEnabled());
  EXPECT_FALSE(w.Home.findChild<QAction*>("OpenSettingsAction")->isEnabled());
  EXPECT_TRUE(w.Find<QAbstractButton>("StopToolButton")->isEnabled());
  EXPECT_TRUE(w.Find<QAbstractButton>("StepToolButton")->isEnabled());
  EXPECT_TRUE(w.Dialogs.Errors.empty());
  w.Click("StopToolButton");
  w.Home.WaitForRun();
  EXPECT_TRUE(w.List.isVisible());
  EXPECT_EQ(w.List.Count(), 1);

  // A run over before its first frame keeps the list window up and fills it anew, and turns
  // no control off or on; the controls take input again after it.
  w.Click("PauseToolButton");
  int turned = 0;
  QObject watcher;
  for (const char* name :
       {"StartAction", "BatchAction", "SaveImageAction", "SaveGraphAction", "OpenSettingsAction",
        "ThawAction", "LoadEnvironmentAction", "StopAction", "StepAction", "FreezeAction", "ContinueAction"})
    QObject::connect(w.Home.findChild<QAction*>(name), &QAction::enabledChanged, &watcher,
                     [&turned] { ++turned; });
  RunInWindow(w, "StartToolButton", 3, dir.File("short.txt"));
  EXPECT_EQ(turned, 0);
  EXPECT_TRUE(w.List.isVisible());
  EXPECT_EQ(w.List.Count(), e.Generations + 1);
  EXPECT_EQ(w.Chart().Series(0)->count(), e.Generations + 1);
  QTest::keyClick(pop, Qt::Key_Up);
  EXPECT_EQ(pop->value(), e.PopSize + 1);
}

TEST(RunWorker, ARunWakesTheWindowOnlyWhenItMustAndOneThreadServesEveryRun) {
  TScratchDir dir;
  std::mutex lock;
  std::vector<pid_t> wakers;
  const auto wakes = [&] {
    std::lock_guard<std::mutex> guard(lock);
    return wakers.size();
  };
  TRunWorker worker([&] {
    std::lock_guard<std::mutex> guard(lock);
    wakers.push_back(gettid());
  });
  TRandom random;
  TExperimentSettings settings;
  settings.PopSize = 10;
  settings.Generations = 5;
  settings.Elements = 40;
  settings.Blocks = 4;
  const auto start = [&](bool Paused) {
    worker.StartRun(std::make_unique<TExperiment>(settings, random),
                    std::make_unique<TReportWriter>(dir.File("r.txt")), Paused);
  };
  // The window looks at a run's first frame of its own accord: a short run wakes it once,
  // with its end.
  for (std::size_t run = 1; run <= 3; ++run) {
    start(false);
    worker.Join();
    EXPECT_EQ(wakes(), run);
    EXPECT_TRUE(worker.EndWaiting());
    const TRunUpdate update = worker.TakeUpdate();
    EXPECT_TRUE(update.Finished);
    EXPECT_EQ(update.Generations.size(), 6u);
  }
  // Paused after generation 0, the run leaves it for that frame; once the window has taken
  // it, the next generation wakes the window again, and so does the end.
  start(true);
  const auto waitFor = [&](const std::function<bool()>& Done) {
    while (!Done())
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  };
  waitFor([&] { return worker.Waiting(); });
  EXPECT_EQ(wakes(), 3u);
  EXPECT_EQ(worker.TakeUpdate().Generations.size(), 1u);
  worker.Step();
  waitFor([&] { return worker.Waiting() && !worker.NothingWaiting(); });
  EXPECT_EQ(wakes(), 4u);
  worker.Stop();
  worker.Join();
  EXPECT_EQ(wakes(), 5u);
  // Every wake came from one thread, not the test's own.
  for (pid_t waker : wakers)
    EXPECT_EQ(waker, wakers.front());
  EXPECT_NE(wakers.front(), gettid());
}

TEST(RunWorker, ARefusedThreadEndsTheRunWithAMessageAndLeavesTheOldReport) {
  TScratchDir dir;
  const std::string report = dir.File("old.txt");
  { std::ofstream(report) << "an older report\r\n"; }
  // In a child limited to one process of its user (root is exempt from the limit, so a root
  // test runs the child as nobody), the worker cannot start its thread.
  const passwd* nobody = getuid() == 0 ? getpwnam("nobody") : nullptr;
  if (nobody != nullptr) {
    ASSERT_EQ(chown(dir.Path.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    ASSERT_EQ(chown(report.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
  }
  const pid_t child = fork();
  if (child == 0) {
    if (nobody != nullptr && (setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0)) _exit(10);
    const rlimit limit{1, 1};
    if (setrlimit(RLIMIT_NPROC, &limit) != 0) _exit(11);
    std::atomic<int> wakes{0};
    // The child never returns into the test program.
    try {
      TRunWorker worker([&wakes] { ++wakes; });
      TRandom random;
      worker.StartRun(std::make_unique<TExperiment>(TExperimentSettings{}, random),
                      std::make_unique<TReportWriter>(report), false);
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
      while (!worker.EndWaiting() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      const TRunUpdate update = worker.TakeUpdate();
      if (!update.Finished) _exit(12);
      if (update.Error.find("Cannot start the run: the system refused a thread") != 0) _exit(13);
      if (wakes != 1) _exit(14);
      worker.Join();
    } catch (...) {
      _exit(15);
    }
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "10, 11: the limit could not be set; 12: no end (a hang); 13: the "
                                       "wrong message; 14: the window not woken once; 15: an exception";
  EXPECT_EQ(ReadFile(report), "an older report\r\n");
}

TEST(RunControls, ClosingTheWindowStopsTheRunAndClosesItsReport) {
  TScratchDir dir;
  {
    TWindows w;
    TWindowExperiment{.Generations = 50}.ApplyTo(w);
    w.Click("PauseToolButton");
    RunInWindow(w, "StartToolButton", 3, dir.File("closed.txt"));
    w.Home.close();
  }
  EXPECT_EQ(Lines(ReadFile(dir.File("closed.txt"))).back(), "Stopped after generation 0 of 50\r");
}
