// The two windows driven through their controls, with scripted dialogs, against the
// engine's own run of the same experiment.

#include "Display/Headless.h"
#include "Experiment/Experiment.h"
#include "Experiment/RunDriver.h"
#include "FuzzySet/Random.h"
#include "ZEL/ReportFormat.h"
#include "ZELList/ZELList.h"
#include "ZELWorldHome/ZELWorldHome.h"

#include <QButtonGroup>
#include <QCheckBox>
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
#include <iterator>
#include <random>

namespace {
// Answers the save dialog from a queue (empty: cancel) and records the boxes shown.
class TScriptedDialogs final : public TDialogService {
public:
  bool ExecuteSaveDialog(TSaveDialog& Dialog) override {
    if (Answers.empty()) return false;
    Dialog.FileName = Answers.front();
    Answers.pop_front();
    return true;
  }
  void ShowMessage(const std::string& Text) override { Messages.push_back(Text); }
  void ShowError(const std::string& Text) override { Errors.push_back(Text); }
  std::deque<std::string> Answers;
  std::vector<std::string> Messages, Errors;
};

struct TWindows {
  TWindows() {
    Home.SetListForm(&List);
    Home.show();
  }
  TScriptedDialogs Dialogs;
  TZELWorldHomeForm Home{&Dialogs};
  TZELListForm List{[this](const std::string& Text, int First) { Home.ShowProgram(Text, First); }};
};

struct TScratchDir {
  std::filesystem::path Path =
      std::filesystem::temp_directory_path() / ("zelworld-gui-" + std::to_string(std::random_device()()));
  TScratchDir() { std::filesystem::create_directories(Path); }
  ~TScratchDir() { std::filesystem::remove_all(Path); }
  std::string File(const std::string& Name) const { return (Path / Name).string(); }
};

template <class TWidget> std::string Text(const TWidget* W) {
  return W->text().toStdString();
}

std::string ReadFile(const std::string& FileName) {
  std::ifstream in(FileName, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int CountPixels(const QImage& Image, QRgb Colour) {
  int count = 0;
  for (int y = 0; y < Image.height(); ++y)
    for (int x = 0; x < Image.width(); ++x)
      if ((Image.pixel(x, y) & 0xFFFFFFu) == (Colour & 0xFFFFFFu)) ++count;
  return count;
}

// Expects Developed drawn in red over the blue environment, with its measures and
// Fitness in the result labels in their formats.
void ExpectAgentShown(const TZELWorldHomeForm& Home, const TFuzzySet& Developed, int Fitness) {
  const TFuzzySet& env = Home.EnvironmentSet;
  EXPECT_EQ(Home.DevelopedSet.Values(), Developed.Values());
  EXPECT_EQ(Text(Home.CardinalityLabel), FormatReal(Developed.Cardinality(), 8, 2));
  EXPECT_EQ(Text(Home.SubSethoodLabel), FormatReal(Developed.Subsethood(env), 8, 2));
  EXPECT_EQ(Text(Home.HammingLabel), FormatReal(Developed.HammingDistance(env), 8, 2));
  EXPECT_EQ(Text(Home.FitnessLabel), FormatInt(Fitness, 10));
  EXPECT_GT(CountPixels(Home.FSImage->Picture(), qRgb(255, 0, 0)), 0);
  EXPECT_GT(CountPixels(Home.FSImage->Picture(), qRgb(0, 0, 255)), 0);
}

// The settings of one experiment, set through the window's controls.
struct TWindowExperiment {
  int PopSize = 10, Generations = 4, Elements = 40, Blocks = 4, Reproduction = 2;
  double PCrossover = 1.0, PMutation = 0.0001, PNoise = 0.0001;
  bool Rates = false, RandomEnvironment = false;
  void ApplyTo(TZELWorldHomeForm& Home) const {
    Home.PopSpinEdit->setValue(PopSize);
    Home.GenSpinEdit->setValue(Generations);
    Home.XElementsSpinEdit->setValue(Elements);
    Home.NBlocksSpinEdit->setValue(Blocks);
    Home.SetReprodItemIndex(Reproduction);
    Home.RatesCheckBox->setChecked(Rates); // Unchecking resets the crossover text.
    Home.PCrossEdit->setText(QString::number(PCrossover));
    Home.pmutEdit->setText(QString::number(PMutation));
    Home.pnoiseEdit->setText(QString::number(PNoise));
    Home.RandomFitCheckBox->setChecked(RandomEnvironment);
  }
};

// What the engine produces for the experiment when called directly with headless displays.
struct TEngineRun {
  TEngineRun(const TWindowExperiment& E, std::uint32_t Seed, bool Batch, const std::string& FileName) {
    TRandom random;
    random.SetClock(Rng::CounterClock(Seed));
    TExperimentSettings s;
    s.PopSize = E.PopSize;
    s.Generations = E.Generations;
    s.Elements = E.Elements;
    s.Blocks = E.Blocks;
    s.ReproductionType = E.Reproduction;
    s.PCrossover = E.PCrossover;
    s.PMutation = E.PMutation;
    s.PNoise = E.PNoise;
    s.RatesSelection = E.Rates;
    s.RandomEnvironment = E.RandomEnvironment;
    THeadlessProgress progress;
    THeadlessImage image(100, 50);
    THeadlessMessageBox messages;
    const TRunDisplays displays{progress, Chart, image, BestList, messages, {}};
    if (Batch) {
      TBatch batch(s, random);
      BestAll = ::RunBatch(batch, FileName, displays).Last.BestAll;
      Environment = batch.Experiment().Environment();
    } else {
      TExperiment experiment(s, random);
      BestAll = ::Run(experiment, FileName, displays).BestAll;
      Environment = experiment.Environment();
    }
    Report = ReadFile(FileName);
  }
  std::string Report;
  TStringList BestList;
  THeadlessChart Chart;
  TFuzzySet Environment;
  TZELAgent BestAll;
};

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
    for (qsizetype i = 0; i < points.size(); ++i)
      EXPECT_EQ(points[i], QPointF(static_cast<double>(i), expected[static_cast<std::size_t>(i)]));
  }
}

void DoubleClick(TWindows& W, int Row) {
  W.List.ZELListBox->setCurrentRow(Row);
  emit W.List.ZELListBox->itemDoubleClicked(W.List.ZELListBox->item(Row));
}

// Expects Program, developed with the given block count, shown against the current environment.
void ExpectProgramShown(TWindows& W, const std::string& Program, int Blocks) {
  TRandom scratch;
  TZELAgent agent(scratch, Blocks, W.Home.EnvironmentSet.Count(), false);
  agent.ZEL.FromText(Program);
  TFuzzySet set;
  agent.Develop(set);
  ExpectAgentShown(W.Home, set, FitnessFromHamming(set.HammingDistance(W.Home.EnvironmentSet), set.Count()));
}
} // namespace

TEST(Commands, StartAndThenBatchRunTheEngineAsCalledDirectlyAndShowItsResults) {
  TWindows w;
  TScratchDir dir;
  const TWindowExperiment single{.PCrossover = 0.7, .Rates = true};
  single.ApplyTo(w.Home);
  w.Dialogs.Answers = {dir.File("run.txt")};
  w.Home.Random.SetClock(Rng::CounterClock(4711));
  w.Home.StartToolButton->click();
  EXPECT_EQ(w.Dialogs.Messages, std::vector<std::string>{"Your Report on file " + dir.File("run.txt")});
  TEngineRun engine(single, 4711, false, dir.File("engine.txt"));
  EXPECT_FALSE(engine.Report.empty());
  EXPECT_EQ(ReadFile(dir.File("run.txt")), engine.Report);
  ExpectResultsShown(w, engine, static_cast<std::size_t>(single.Generations) + 1, single.Generations);

  // A batch in the same windows replaces everything the run showed.
  const TWindowExperiment batch{.PopSize = 6,
                                .Generations = 2,
                                .Elements = 30,
                                .Blocks = 3,
                                .Reproduction = 0,
                                .RandomEnvironment = true};
  batch.ApplyTo(w.Home);
  w.Dialogs.Answers = {dir.File("batch")};
  w.Home.Random.SetClock(Rng::CounterClock(99));
  w.Home.BatchToolButton->click();
  TEngineRun batchEngine(batch, 99, true, dir.File("engine.txt"));
  EXPECT_EQ(ReadFile(dir.File("batch")), batchEngine.Report);
  EXPECT_EQ(w.Home.EnvironmentSet.Values(), batchEngine.Environment.Values());
  ExpectResultsShown(w, batchEngine, 10, batch.Generations);
}

TEST(Commands, ErrorsEndTheCommandAndTheProgramGoesOn) {
  TWindows w;
  TScratchDir dir;
  TWindowExperiment{.Generations = 1}.ApplyTo(w.Home);
  w.Home.pnoiseEdit->setText("0,5");
  w.Home.PCrossEdit->setText("1.0x");
  const std::string unwritable = dir.File("no-such-folder/run.txt"), report = dir.File("run.txt");
  w.Dialogs.Answers = {report, report, unwritable, report};
  w.Home.StartToolButton->click();
  ASSERT_EQ(w.Dialogs.Errors, std::vector<std::string>{"'1.0x' is not a valid floating point value"});
  EXPECT_FALSE(std::filesystem::exists(report));
  EXPECT_FALSE(w.List.isVisible());
  w.Home.PCrossEdit->setText("1.0");
  w.Home.BatchToolButton->click();
  ASSERT_EQ(w.Dialogs.Errors.size(), 2u);
  EXPECT_EQ(w.Dialogs.Errors[1], "'0,5' is not a valid floating point value");

  w.Home.pnoiseEdit->setText("0.0001");
  w.Home.StartToolButton->click();
  ASSERT_EQ(w.Dialogs.Errors.size(), 3u);
  EXPECT_NE(w.Dialogs.Errors[2].find(unwritable), std::string::npos) << w.Dialogs.Errors[2];
  EXPECT_TRUE(w.Dialogs.Messages.empty());
  EXPECT_FALSE(w.List.isVisible());
  w.Home.StartToolButton->click();
  EXPECT_EQ(w.Dialogs.Errors.size(), 3u);
  EXPECT_TRUE(std::filesystem::exists(report));
  EXPECT_EQ(w.List.Count(), 2);
}

TEST(MainWindow, ControlHandlers) {
  TWindows w;
  const std::vector<std::string> scale{"0.0", "0.0001", "0.0005", "0.001", "0.005", "0.01", "0.05", "0.1"};
  for (int p = 7; p >= 0; --p) {
    w.Home.pmutTrackBar->setValue(p);
    w.Home.pnoiseTrackBar->setValue(p);
    EXPECT_EQ(Text(w.Home.pmutEdit) + " " + Text(w.Home.pnoiseEdit), scale[p] + " " + scale[p]);
  }
  for (int p = 0; p <= 10; ++p) {
    w.Home.PCrossTrackBar->setValue(p);
    EXPECT_EQ(Text(w.Home.PCrossEdit), p == 10 ? "1.0" : "0." + std::to_string(p));
  }
  w.Home.pmutEdit->setText("0.3");
  EXPECT_EQ(w.Home.pmutTrackBar->value(), 0);

  // The rates and reproduction choices enable the probabilities they use.
  TZELWorldHomeForm& home = w.Home;
  home.RatesCheckBox->click();
  EXPECT_TRUE(home.PCrossTrackBar->isEnabled() && home.PCrossEdit->isEnabled() && home.Label10->isEnabled());
  home.PCrossTrackBar->setValue(3);
  home.PCrossEdit->setText("0.77");
  home.RatesCheckBox->click();
  EXPECT_FALSE(home.PCrossTrackBar->isEnabled() || home.PCrossEdit->isEnabled() || home.Label10->isEnabled());
  EXPECT_EQ(home.PCrossTrackBar->value(), 10);
  EXPECT_EQ(Text(home.PCrossEdit), "1.0");

  home.ReprodButtons->button(0)->click();
  EXPECT_FALSE(home.pmutTrackBar->isEnabled() || home.pmutEdit->isEnabled() || home.Label7->isEnabled());
  EXPECT_TRUE(home.pnoiseTrackBar->isEnabled() && home.pnoiseEdit->isEnabled() && home.Label8->isEnabled());
  home.ReprodButtons->button(2)->click();
  EXPECT_TRUE(home.pmutEdit->isEnabled() && home.pnoiseEdit->isEnabled());
  home.ReprodButtons->button(1)->click();
  EXPECT_TRUE(home.pmutEdit->isEnabled());
  EXPECT_FALSE(home.pnoiseEdit->isEnabled() || home.Label8->isEnabled());
}

TEST(MainWindow, SaveImageAndSaveGraphWriteBitmapsUnderTheNameAsEntered) {
  TWindows w;
  TScratchDir dir;
  TZELWorldHomeForm& home = w.Home;
  const std::string image = dir.File("picture"), chart = dir.File("chart.img");
  w.Dialogs.Answers = {image}; // Nothing drawn yet: no file and no complaint.
  home.SaveImageToolButton->click();
  EXPECT_FALSE(std::filesystem::exists(image));

  home.EnvironmentSet.MakeEnvironment(home.Random, 100, false);
  home.EnvironmentSet.Draw(*home.FSImage, clBlue, true);
  w.Dialogs.Answers = {image, chart};
  home.SaveImageToolButton->click();
  home.SaveGraphToolButton->click();
  EXPECT_TRUE(w.Dialogs.Errors.empty());
  EXPECT_EQ(home.SaveDialog1.Title, TSaveDialog::ResultsTitle); // The results dialog is itself again.
  EXPECT_EQ(home.SaveDialog1.FilterIndex, 0);
  const QImage savedImage(QString::fromStdString(image), "BMP");
  EXPECT_EQ(savedImage.size(), home.FSImage->Picture().size());
  EXPECT_GT(CountPixels(savedImage, qRgb(0, 0, 255)), 0);
  EXPECT_EQ(QImage(QString::fromStdString(chart), "BMP").size(), home.EvolChart->size());

  const std::string unwritable = dir.File("missing/chart.bmp");
  w.Dialogs.Answers = {unwritable};
  home.SaveGraphToolButton->click();
  ASSERT_EQ(w.Dialogs.Errors.size(), 1u);
  EXPECT_NE(w.Dialogs.Errors[0].find(unwritable), std::string::npos);
}

TEST(ListWindow, ShortRepeatedAndUnselectedEntries) {
  TWindows w;
  w.Home.EnvironmentSet.MakeEnvironment(w.Home.Random, 60, false);
  w.Home.XElementsSpinEdit->setValue(60);
  w.Home.NBlocksSpinEdit->setValue(8);
  for (const char* text : {"12345ABCDE", "3A2418B310", "12345ABCDE"})
    w.List.Append(text);
  DoubleClick(w, 1);
  EXPECT_EQ(Text(w.Home.GenLabel), "1");
  EXPECT_EQ(w.Home.StatusText(), "Developed 2 of 8 blocks");
  ExpectProgramShown(w, "3A2418B310", 2);

  // A repeated entry names the first generation that had it; a full-length one clears the note.
  w.Home.NBlocksSpinEdit->setValue(2);
  DoubleClick(w, 2);
  EXPECT_EQ(Text(w.Home.GenLabel), "0");
  EXPECT_EQ(w.Home.StatusText(), "");
  ExpectProgramShown(w, "12345ABCDE", 2);
  w.Home.NBlocksSpinEdit->setValue(1); // Fewer blocks than the entry holds: only the first ones develop.
  DoubleClick(w, 0);
  ExpectProgramShown(w, "12345ABCDE", 1);

  const QImage before = w.Home.FSImage->Picture().copy();
  const std::vector<std::int32_t> developed = w.Home.DevelopedSet.Values();
  w.List.ZELListBox->clearSelection();
  const std::uint32_t seed = w.Home.Random.GetSeed();
  w.List.ZELListBoxDblClick(w.List.ZELListBox);
  EXPECT_EQ(Text(w.Home.GenLabel), "-1");
  EXPECT_EQ(w.Home.FSImage->Picture(), before);
  EXPECT_EQ(w.Home.DevelopedSet.Values(), developed);
  EXPECT_EQ(w.Home.Random.GetSeed(), seed);
}
