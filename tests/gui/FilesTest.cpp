// The window's files: settings saved and opened, populations frozen, thawed and continued,
// environments loaded, and bad files, each against the engine or zelworld-cli.

#include "WindowKit.h"

#include "Experiment/Develop.h"
#include "Experiment/ExperimentFile.h"
#include "Experiment/PopulationFile.h"

#include <QLineSeries>

#include <cstdlib>

namespace {
// Runs zelworld-cli with Arguments; its exit status.
int Cli(const std::string& Arguments) {
  return std::system((std::string(ZELWORLD_CLI) + " " + Arguments + " >/dev/null 2>&1").c_str());
}

std::vector<std::string> Slice(const std::vector<std::string>& Lines, std::size_t From, std::size_t To) {
  return {Lines.begin() + static_cast<long>(From), Lines.begin() + static_cast<long>(To)};
}

// Degrees 0..100 in a pattern of their own, as an environment file.
std::string EnvironmentJson(int Count, int Step) {
  std::ostringstream text;
  text << "{\"degrees\": [";
  for (int i = 0; i < Count; ++i)
    text << (i > 0 ? ", " : "") << (i * Step) % 101;
  text << "]}\n";
  return text.str();
}

// Everything a file command could change in the main window, as text, with the picture.
struct TWindowState {
  std::string Text;
  QImage Picture;
  friend bool operator==(const TWindowState&, const TWindowState&) = default;
};

TWindowState StateOf(TWindows& W) {
  TWindowState s;
  std::ostringstream out;
  for (QWidget* w : W.Home.findChildren<QWidget*>()) {
    const std::string name = w->objectName().toStdString();
    if (name.empty() || name == "StatusPanel1") continue;
    out << name << (w->isEnabled() ? " on " : " off ");
    if (auto* edit = dynamic_cast<QLineEdit*>(w)) out << edit->text().toStdString();
    if (auto* label = dynamic_cast<QLabel*>(w)) out << label->text().toStdString();
    if (auto* spin = dynamic_cast<QSpinBox*>(w)) out << spin->value();
    if (auto* slider = dynamic_cast<QSlider*>(w)) out << slider->value();
    if (auto* button = dynamic_cast<QAbstractButton*>(w)) out << button->isChecked();
    out << "\n";
  }
  for (QAction* a : W.Home.findChildren<QAction*>())
    out << a->objectName().toStdString() << (a->isEnabled() ? " on\n" : " off\n");
  for (int i = 0; i < 2; ++i)
    out << "series " << W.Chart().Series(i)->count() << "\n";
  out << "list " << W.List.isVisible() << " " << W.List.Count() << "\n";
  for (const TFuzzySet* set : {&W.Home.Environment(), &W.Home.Developed()})
    for (std::int32_t v : set->Values())
      out << v << ",";
  if (W.Home.LoadedEnvironment())
    for (std::int32_t v : W.Home.LoadedEnvironment()->Values())
      out << v << ";";
  s.Text = out.str();
  s.Picture = W.Picture();
  return s;
}
} // namespace

TEST(ExperimentFiles, SavedSettingsOpenInANewWindowAndRunTheSameExperiment) {
  TScratchDir dir;
  const TWindowExperiment e{.PopSize = 12,
                            .Generations = 5,
                            .Elements = 33,
                            .Blocks = 3,
                            .Reproduction = 0,
                            .PCrossover = 0.7,
                            .PMutation = 0.0123,
                            .PNoise = 0.0005,
                            .Rates = true,
                            .RandomEnvironment = true};
  TWindows a;
  e.ApplyTo(a);
  a.SetText("SeedEdit", "31337");
  a.Trigger("SaveSettingsAction", dir.File("settings.json"));
  const TExperimentFile saved = LoadExperimentFile(dir.File("settings.json"));
  EXPECT_EQ(saved.Settings, e.Settings());
  EXPECT_EQ(saved.Seed, std::optional<std::uint32_t>(31337));
  EXPECT_FALSE(saved.Environment);

  TWindows b;
  b.Trigger("OpenSettingsAction", dir.File("settings.json"));
  ASSERT_TRUE(b.Dialogs.Errors.empty()) << b.Dialogs.Errors.front();
  // Every control as in the window that saved it: values, track bars, what is enabled.
  EXPECT_EQ(StateOf(b).Text, StateOf(a).Text);
  EXPECT_EQ(b.Text("PCrossEdit") + " " + b.Text("pmutEdit") + " " + b.Text("pnoiseEdit") + " " +
                b.Text("SeedEdit"),
            "0.7 0.0123 0.0005 31337");

  // Both windows, run from their own seed boxes, write the engine's report.
  for (TWindows* w : {&a, &b}) {
    w->Dialogs.Answers = {dir.File("run.txt")};
    w->Click("StartToolButton");
    w->Home.WaitForRun();
    EXPECT_EQ(ReadFile(dir.File("run.txt")), TEngineRun(e, 31337, false, dir.File("engine.txt")).Report);
  }

  // An environment of one's own goes into the file and comes back loaded; a file without
  // one, or without a seed, brings back the built-in environment and the time of day.
  WriteFile(dir.File("env.json"), EnvironmentJson(21, 7));
  a.Trigger("LoadEnvironmentAction", dir.File("env.json"));
  a.SetText("SeedEdit", "");
  a.Trigger("SaveSettingsAction", dir.File("own.json"));
  b.Trigger("OpenSettingsAction", dir.File("own.json"));
  ASSERT_TRUE(b.Home.LoadedEnvironment());
  EXPECT_EQ(StateOf(b).Text, StateOf(a).Text); // the loaded environment among them
  EXPECT_EQ(b.Find<QSpinBox>("XElementsSpinEdit")->value(), 21);
  EXPECT_FALSE(b.Find<QWidget>("XElementsSpinEdit")->isEnabled());
  b.Trigger("OpenSettingsAction", dir.File("settings.json"));
  EXPECT_FALSE(b.Home.LoadedEnvironment());
  EXPECT_TRUE(b.Find<QWidget>("XElementsSpinEdit")->isEnabled());
  EXPECT_TRUE(b.Dialogs.Errors.empty());
}

TEST(Freezer, TwentyFrozenThawedAndContinuedTwentyEqualFortyAtOnce) {
  TScratchDir dir;
  const TWindowExperiment e{
      .PopSize = 13, .Generations = 20, .PCrossover = 0.7, .PMutation = 0.01, .PNoise = 0.01, .Rates = true};
  TWindowExperiment whole = e;
  whole.Generations = 40;
  TEngineRun engine(whole, 99, false, dir.File("whole.txt"));
  const std::vector<std::string> full = Lines(engine.Report);
  const std::size_t header = full.size() - 41;
  {
    TWindows a;
    e.ApplyTo(a);
    EXPECT_FALSE(a.Home.findChild<QAction*>("FreezeAction")->isEnabled());
    RunInWindow(a, "StartToolButton", 99, dir.File("first.txt"));
    a.Trigger("FreezeAction", dir.File("frozen.json"));
    // The last run's population goes on in its own window just as a thawed one does.
    a.Trigger("ContinueAction", dir.File("same window.txt"));
    EXPECT_TRUE(a.Dialogs.Errors.empty());
  }
  const TFrozenPopulation frozen = LoadPopulationFile(dir.File("frozen.json"));
  EXPECT_EQ(frozen.Generation, 20);

  TWindows b;
  b.Trigger("ThawAction", dir.File("frozen.json"));
  ASSERT_TRUE(b.Dialogs.Errors.empty()) << b.Dialogs.Errors.front();
  EXPECT_EQ(b.Find<QSpinBox>("PopSpinEdit")->value(), 13);
  EXPECT_EQ(b.Find<QSpinBox>("XElementsSpinEdit")->value(), 40);
  EXPECT_EQ(b.Find<QSpinBox>("NBlocksSpinEdit")->value(), 4);
  EXPECT_TRUE(b.Find<QRadioButton>("ReprodRadioGroupItem2")->isChecked());
  EXPECT_EQ(b.Text("PCrossEdit") + " " + b.Text("pmutEdit"), "0.7 0.01");
  EXPECT_EQ(b.Text("GenLabel"), "20");
  EXPECT_EQ(b.Home.Environment().Values(), frozen.Environment.Values());
  ExpectAgentShown(b, DevelopAgent(frozen.BestAll, frozen.Environment).Developed, frozen.BestAll.Fitness);
  EXPECT_EQ(b.Chart().Series(0)->count(), 0);
  EXPECT_FALSE(b.List.isVisible());

  b.Trigger("ContinueAction", dir.File("continued.txt"));
  ASSERT_TRUE(b.Dialogs.Errors.empty()) << b.Dialogs.Errors.front();
  const std::vector<std::string> first = Lines(ReadFile(dir.File("first.txt")));
  const std::vector<std::string> continued = Lines(ReadFile(dir.File("continued.txt")));
  ASSERT_EQ(continued.size(), header + 20);
  EXPECT_EQ(Slice(continued, 0, header), Slice(first, 0, header));
  EXPECT_EQ(Slice(continued, header, continued.size()), Slice(full, header + 21, full.size()));
  EXPECT_EQ(ReadFile(dir.File("same window.txt")), ReadFile(dir.File("continued.txt")));

  // The list, the chart and the labels go on from generation 21.
  ASSERT_EQ(b.List.Count(), 20);
  for (int i = 0; i < 20; ++i)
    EXPECT_EQ(b.List.Entry(i), engine.BestList[static_cast<std::size_t>(21 + i)]);
  EXPECT_EQ(b.ListBox().item(0)->data(Qt::UserRole).toInt(), 21);
  EXPECT_EQ(b.Chart().Series(0)->at(0), QPointF(21, engine.Chart.Series[0][21]));
  EXPECT_EQ(b.Text("GenLabel"), "40");
  TFuzzySet developed;
  engine.BestAll.Develop(developed);
  ExpectAgentShown(b, developed, engine.BestAll.Fitness);
  EXPECT_EQ(b.Home.CommandLine(), "");
}

TEST(Freezer, APausedRunFrozenGoesOnUndisturbedAndItsPopulationContinuesLikeTheCli) {
  TScratchDir dir;
  TWindows w;
  const TWindowExperiment e{.Generations = 6};
  e.ApplyTo(w);
  const TEngineRun engine(e, 77, false, dir.File("engine.txt"));
  w.Click("PauseToolButton");
  RunInWindow(w, "StartToolButton", 77, dir.File("run.txt"));
  w.Click("StepToolButton");
  w.Home.WaitForRun();
  w.Click("StepToolButton");
  w.Home.WaitForRun();
  EXPECT_FALSE(w.Home.findChild<QAction*>("ContinueAction")->isEnabled());
  w.Trigger("FreezeAction", dir.File("paused.json"));
  ASSERT_TRUE(w.Dialogs.Errors.empty()) << w.Dialogs.Errors.front();
  EXPECT_EQ(LoadPopulationFile(dir.File("paused.json")).Generation, 2);
  w.Click("PauseToolButton");
  w.Home.WaitForRun();
  EXPECT_EQ(ReadFile(dir.File("run.txt")), engine.Report);

  TWindows b;
  b.Trigger("ThawAction", dir.File("paused.json"));
  b.Find<QSpinBox>("GenSpinEdit")->setValue(4);
  b.Trigger("ContinueAction", dir.File("continued.txt"));
  ASSERT_EQ(Cli("run --load-population " + dir.File("paused.json") + " --generations 4 --report " +
                dir.File("cli.txt")),
            0);
  EXPECT_EQ(ReadFile(dir.File("continued.txt")), ReadFile(dir.File("cli.txt")));
  const std::vector<std::string> full = Lines(engine.Report),
                                 continued = Lines(ReadFile(dir.File("cli.txt")));
  EXPECT_EQ(Slice(continued, continued.size() - 4, continued.size()),
            Slice(full, full.size() - 4, full.size()));

  // Paused beforehand, a continued run waits before its first generation; stopped, it names
  // the generation it reached of those it was to reach.
  b.Trigger("ThawAction", dir.File("paused.json"));
  EXPECT_EQ(b.Find<QSpinBox>("GenSpinEdit")->value(), 6);
  b.Find<QSpinBox>("GenSpinEdit")->setValue(4);
  b.Click("PauseToolButton");
  b.Trigger("ContinueAction", dir.File("stopped.txt"));
  EXPECT_TRUE(b.Home.Running());
  b.Click("StepToolButton");
  b.Home.WaitForRun();
  b.Click("StopToolButton");
  b.Home.WaitForRun();
  const std::vector<std::string> stopped = Lines(ReadFile(dir.File("stopped.txt")));
  ASSERT_EQ(stopped.size(), continued.size() - 2);
  EXPECT_EQ(stopped.back(), "Stopped after generation 3 of 6\r");
  EXPECT_EQ(stopped[stopped.size() - 2], continued[continued.size() - 4]);
  EXPECT_EQ(b.Text("StatusPanel1"), "Stopped after generation 3 of 6");
}

TEST(Environments, ALoadedEnvironmentRunsAndContinuesAsTheCliDoes) {
  TScratchDir dir;
  TWindows w;
  const TWindowExperiment e{.Elements = 30};
  e.ApplyTo(w);
  WriteFile(dir.File("target.json"), EnvironmentJson(30, 13));
  WriteFile(dir.File("moved.json"), EnvironmentJson(30, 29));
  WriteFile(dir.File("small.json"), EnvironmentJson(25, 3));
  w.Find<QSpinBox>("XElementsSpinEdit")->setValue(12);
  w.Find<QCheckBox>("RandomFitCheckBox")->setChecked(true);
  w.Trigger("LoadEnvironmentAction", dir.File("target.json"));
  ASSERT_TRUE(w.Dialogs.Errors.empty()) << w.Dialogs.Errors.front();
  EXPECT_EQ(w.Find<QSpinBox>("XElementsSpinEdit")->value(), 30);
  EXPECT_FALSE(w.Find<QWidget>("XElementsSpinEdit")->isEnabled());
  EXPECT_FALSE(w.Find<QCheckBox>("RandomFitCheckBox")->isChecked());
  EXPECT_EQ(w.Home.Environment().Values(), w.Home.LoadedEnvironment()->Values());
  EXPECT_GT(CountPixels(w.Picture(), qRgb(0, 0, 255)), 0);

  const std::string options = " --pop-size 10 --generations 4 --blocks 4 --reproduction both";
  RunInWindow(w, "StartToolButton", 5, dir.File("run.txt"));
  ASSERT_EQ(Cli("run --seed 5" + options + " --environment " + dir.File("target.json") + " --report " +
                dir.File("cli.txt")),
            0);
  EXPECT_EQ(ReadFile(dir.File("run.txt")), ReadFile(dir.File("cli.txt")));
  EXPECT_NE(w.Home.CommandLine().find(" --environment " + dir.File("target.json")), std::string::npos);

  // The population continues under another target, as --environment does on the command line.
  w.Trigger("FreezeAction", dir.File("frozen.json"));
  w.Trigger("LoadEnvironmentAction", dir.File("moved.json"));
  w.Trigger("ContinueAction", dir.File("moved.txt"));
  ASSERT_EQ(Cli("run --load-population " + dir.File("frozen.json") + " --generations 4 --environment " +
                dir.File("moved.json") + " --report " + dir.File("cli-moved.txt")),
            0);
  EXPECT_EQ(ReadFile(dir.File("moved.txt")), ReadFile(dir.File("cli-moved.txt")));
  EXPECT_TRUE(w.Dialogs.Errors.empty());

  // What a continued run may not change is refused, naming the control.
  w.Trigger("LoadEnvironmentAction", dir.File("small.json"));
  w.Trigger("ContinueAction", dir.File("refused.txt"));
  ASSERT_EQ(w.Dialogs.Errors.size(), 1u);
  EXPECT_EQ(w.Dialogs.Errors[0], "FS Elements: 25 (the loaded environment of " + dir.File("small.json") +
                                     ") differs from the population's 30, which Continue keeps");
  w.Trigger("BuiltInEnvironmentAction");
  EXPECT_FALSE(w.Home.LoadedEnvironment());
  EXPECT_TRUE(w.Find<QWidget>("XElementsSpinEdit")->isEnabled());
  EXPECT_TRUE(w.Find<QWidget>("RandomFitCheckBox")->isEnabled());
  w.Find<QSpinBox>("XElementsSpinEdit")->setValue(30);
  w.Find<QSpinBox>("PopSpinEdit")->setValue(11);
  w.Trigger("ContinueAction", dir.File("refused.txt"));
  ASSERT_EQ(w.Dialogs.Errors.size(), 2u);
  EXPECT_EQ(w.Dialogs.Errors[1].rfind("Pop Size: 11 differs", 0), 0u) << w.Dialogs.Errors[1];
  w.Find<QSpinBox>("PopSpinEdit")->setValue(10);
  w.SetReproduction(1);
  w.Trigger("ContinueAction", dir.File("refused.txt"));
  ASSERT_EQ(w.Dialogs.Errors.size(), 3u);
  EXPECT_EQ(w.Dialogs.Errors[2],
            "Agent Reproduction: \"Genotype\" differs from the population's \"Both\", which Continue keeps");
  EXPECT_FALSE(std::filesystem::exists(dir.File("refused.txt")));
  w.SetReproduction(2);

  // Back on the built-in environment, a run is the engine's run on the fixed one.
  RunInWindow(w, "StartToolButton", 5, dir.File("fixed.txt"));
  EXPECT_EQ(ReadFile(dir.File("fixed.txt")), TEngineRun(e, 5, false, dir.File("engine.txt")).Report);
}

TEST(BadFiles, EachLeavesTheWindowAsItWasWithAMessageNamingFileAndPlace) {
  TScratchDir dir;
  TWindows w;
  TWindowExperiment{.PopSize = 6, .Generations = 2, .Elements = 20, .Blocks = 2}.ApplyTo(w);
  WriteFile(dir.File("env.json"), EnvironmentJson(20, 11));
  w.Trigger("LoadEnvironmentAction", dir.File("env.json"));
  RunInWindow(w, "StartToolButton", 3, dir.File("run.txt"));
  w.Trigger("FreezeAction", dir.File("good.json"));
  const std::string good = ReadFile(dir.File("good.json"));
  ASSERT_TRUE(w.Dialogs.Errors.empty()) << w.Dialogs.Errors.front();

  // A population file with one fault put in, by replacing From with To.
  const auto spoiled = [&](const std::string& From, const std::string& To) {
    std::string text = good;
    const std::size_t at = text.find(From, text.find("\"agents\""));
    EXPECT_NE(at, std::string::npos) << From;
    return text.replace(at, From.size(), To);
  };
  const std::size_t bits = good.find("\"chromosome\": \"", good.find("\"agents\"")) + 15;
  struct TCase {
    const char* Action;
    std::string Name, Text, Place;
  };
  const std::vector<TCase> cases{
      {"OpenSettingsAction", "prose.json", "not JSON at all", "line 1, column 2"},
      {"OpenSettingsAction", "type.json",
       "{\"format\": \"zelworld experiment\", \"version\": 1, \"settings\": {\"pop-size\": \"ten\"}}",
       "/settings/pop-size"},
      {"LoadEnvironmentAction", "degree.json", "{\"degrees\": [0, 50, 101]}", "/degrees/2"},
      {"LoadEnvironmentAction", "missing.json", "", "cannot be opened"},
      {"ThawAction", "bits.json", std::string(good).erase(bits, 1), "/agents/0/chromosome"},
      {"ThawAction", "fit.json", spoiled("\"fitness\": ", "\"fitness\": 1"), "/agents/0/fitness"},
  };
  for (const TCase& c : cases) {
    if (c.Name != "missing.json") WriteFile(dir.File(c.Name), c.Text);
    const TWindowState before = StateOf(w);
    const std::size_t errors = w.Dialogs.Errors.size();
    w.Trigger(c.Action, dir.File(c.Name));
    ASSERT_EQ(w.Dialogs.Errors.size(), errors + 1) << c.Name;
    const std::string& error = w.Dialogs.Errors.back();
    const std::string quoted = std::string(1, '\'').append(dir.File(c.Name)).append(1, '\'');
    EXPECT_NE(error.find(quoted), std::string::npos) << error;
    EXPECT_NE(error.find(c.Place), std::string::npos) << error;
    EXPECT_TRUE(StateOf(w) == before) << c.Name;
  }
  // The good file thaws, which the same comparison notices.
  const TWindowState before = StateOf(w);
  w.Find<QSpinBox>("GenSpinEdit")->setValue(9);
  w.Trigger("ThawAction", dir.File("good.json"));
  EXPECT_EQ(w.Dialogs.Errors.size(), cases.size());
  EXPECT_FALSE(StateOf(w) == before);
}

TEST(Environments, RandomFitnessSetOtherwiseThanThePopulationHadItChangesItsEnvironmentAsTheCliDoes) {
  TScratchDir dir;
  TWindows w;
  TWindowExperiment{.Generations = 3}.ApplyTo(w);
  RunInWindow(w, "StartToolButton", 8, dir.File("first.txt"));
  w.Trigger("FreezeAction", dir.File("fixed.json"));
  const auto continued = [&](const char* Window, const std::string& Options) {
    w.Trigger("ContinueAction", dir.File(Window));
    EXPECT_TRUE(w.Dialogs.Errors.empty());
    const std::string cli = dir.File(std::string("cli-") + Window);
    EXPECT_EQ(Cli("run --generations 3 " + Options + " --report " + cli), 0) << Options;
    EXPECT_EQ(ReadFile(dir.File(Window)), ReadFile(cli)) << Options;
  };
  // Checked where the population had the fixed environment: a new random one from the seed box.
  w.Find<QCheckBox>("RandomFitCheckBox")->setChecked(true);
  w.SetText("SeedEdit", "7");
  continued("random.txt", "--load-population " + dir.File("fixed.json") + " --random-environment --seed 7");
  w.Trigger("FreezeAction", dir.File("random.json"));
  // Checked as the population had it: its own random environment stays.
  continued("kept.txt", "--load-population " + dir.File("random.json"));
  // Unchecked where it had a random one: the fixed environment.
  w.Trigger("ThawAction", dir.File("random.json"));
  EXPECT_TRUE(w.Find<QCheckBox>("RandomFitCheckBox")->isChecked());
  w.Find<QCheckBox>("RandomFitCheckBox")->setChecked(false);
  continued("back.txt", "--load-population " + dir.File("random.json") + " --fixed-environment");
}
