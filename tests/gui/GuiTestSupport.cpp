#include "GuiTestSupport.h"

#include "FuzzySet/Random.h"
#include "ZEL/ReportFormat.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>

bool TScriptedDialogs::ExecuteSaveDialog(TSaveDialog& Dialog) {
  Shown.push_back(Dialog);
  if (Answers.empty()) return false;
  const std::optional<std::string> answer = Answers.front();
  Answers.pop_front();
  if (!answer) return false;
  Dialog.FileName = *answer;
  return true;
}

void TScriptedDialogs::ShowMessage(const std::string& Text) {
  Messages.push_back(Text);
  if (OnMessage) OnMessage();
}

TWindows::TWindows() {
  Home.SetListForm(&List);
  Home.show();
  Settle();
}

void Settle() {
  for (int i = 0; i < 3; ++i)
    QApplication::processEvents();
}

TScratchDir::TScratchDir() {
  std::random_device random;
  Path = std::filesystem::temp_directory_path() / ("zelworld-gui-" + std::to_string(random()));
  std::filesystem::create_directories(Path);
}

TScratchDir::~TScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(Path, ignored);
}

std::string ReadFile(const std::string& FileName) {
  std::ifstream in(FileName, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

int CountPixels(const QImage& Image, QRgb Colour) {
  int count = 0;
  for (int y = 0; y < Image.height(); ++y)
    for (int x = 0; x < Image.width(); ++x)
      if ((Image.pixel(x, y) & 0xFFFFFFu) == (Colour & 0xFFFFFFu)) ++count;
  return count;
}

void TExperiment::ApplyTo(TZELWorldHomeForm& Home) const {
  Home.PopSpinEdit->setValue(PopSize);
  Home.GenSpinEdit->setValue(Generations);
  Home.XElementsSpinEdit->setValue(Elements);
  Home.NBlocksSpinEdit->setValue(Blocks);
  Home.SetReprodItemIndex(Reproduction);
  Home.PCrossEdit->setText(QString::number(PCrossover));
  Home.pmutEdit->setText(QString::number(PMutation));
  Home.pnoiseEdit->setText(QString::number(PNoise));
  Home.RatesCheckBox->setChecked(Rates);
  Home.RandomFitCheckBox->setChecked(RandomEnvironment);
}

void RunEngine(const TExperiment& E, std::uint32_t Seed, bool Batch, const std::string& FileName,
               TEngineRun& Out) {
  Rng::SetClock(Rng::CounterClock(Seed));
  Rng::Randomize();
  TZELAgentPopulation population(E.PopSize, E.Blocks, E.Elements, E.Reproduction);
  Out.Environment.MakeEnvironment(E.Elements, E.RandomEnvironment);
  THeadlessProgress progress;
  THeadlessImage image(100, 50);
  THeadlessMessageBox messages;
  if (Batch)
    population.RunBatch(E.PopSize, E.Blocks, E.Elements, E.Reproduction, E.Generations, E.PCrossover,
                        E.PMutation, E.PNoise, FileName, progress, Out.Environment, E.Rates, Out.Chart, image,
                        Out.BestList, messages);
  else
    population.Run(E.Generations, FileName, E.PCrossover, E.PMutation, E.PNoise, progress, Out.Environment,
                   E.Rates, Out.Chart, image, Out.BestList, messages);
  Out.Report = ReadFile(FileName);
  Out.BestAll = population.BestAll;
}

void ExpectAgentShown(const TZELWorldHomeForm& Home, const TFuzzySet& Developed, int Fitness) {
  const TFuzzySet& env = Home.EnvironmentSet;
  auto text = [](const QLabel* L) { return L->text().toStdString(); };
  EXPECT_EQ(Home.DevelopedSet.Values(), Developed.Values());
  EXPECT_EQ(text(Home.CardinalityLabel), FormatReal(Developed.Cardinality(), 8, 2));
  EXPECT_EQ(text(Home.SubSethoodLabel), FormatReal(Developed.Subsethood(env), 8, 2));
  EXPECT_EQ(text(Home.HammingLabel), FormatReal(Developed.HammingDistance(env), 8, 2));
  EXPECT_EQ(text(Home.CardinalityLabel).size(), 8u);
  EXPECT_EQ(text(Home.FitnessLabel), FormatInt(Fitness, 10));
  EXPECT_EQ(text(Home.FitnessLabel).size(), 10u);
  EXPECT_GT(CountPixels(Home.FSImage->Picture(), qRgb(255, 0, 0)), 0);
  EXPECT_GT(CountPixels(Home.FSImage->Picture(), qRgb(0, 0, 255)), 0);
}
