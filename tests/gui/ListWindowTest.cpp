#include "GuiTestSupport.h"

#include "FuzzySet/Random.h"

#include <QLabel>
#include <QListWidget>
#include <QSpinBox>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {
std::string Text(const QLabel* L) {
  return L->text().toStdString();
}

void DoubleClick(TWindows& W, int Row) {
  W.List.ZELListBox->setCurrentRow(Row);
  emit W.List.ZELListBox->itemDoubleClicked(W.List.ZELListBox->item(Row));
}

// The set that Text develops into with the given block count and elements.
TFuzzySet Developed(const std::string& Text, int Blocks, int Elements) {
  TZELAgent agent(Blocks, Elements, false);
  agent.ZEL.FromText(Text);
  TFuzzySet set;
  agent.Develop(set);
  return set;
}

void ExpectShown(TWindows& W, const TFuzzySet& Set) {
  ExpectAgentShown(W.Home, Set, FitnessFromHamming(Set.HammingDistance(W.Home.EnvironmentSet), Set.Count()));
}
} // namespace

TEST(ListWindow, DoubleClickAfterARunShowsTheListedProgram) {
  TWindows w;
  TScratchDir dir;
  TExperiment e;
  e.Generations = 3;
  e.ApplyTo(w.Home);
  w.Dialogs.Answers = {dir.File("run.txt")};
  w.Home.StartToolButton->click();
  ASSERT_EQ(w.List.Count(), 4);

  DoubleClick(w, 0);
  EXPECT_EQ(Text(w.Home.GenLabel), "0");
  ExpectShown(w, Developed(w.List.Entry(0), e.Blocks, e.Elements));
  EXPECT_EQ(w.Home.StatusText(), "");

  // Fewer blocks than the entry holds: only the first ones are developed.
  w.Home.NBlocksSpinEdit->setValue(2);
  DoubleClick(w, 3);
  int first = 0;
  while (w.List.Entry(first) != w.List.Entry(3))
    ++first;
  EXPECT_EQ(Text(w.Home.GenLabel), std::to_string(first));
  ExpectShown(w, Developed(w.List.Entry(3), 2, e.Elements));
  EXPECT_EQ(w.Home.DevelopedSet.Count(), e.Elements);
}

TEST(ListWindow, RepeatedEntryShowsTheFirstGenerationThatHadIt) {
  TWindows w;
  w.Home.EnvironmentSet.MakeEnvironment(100, false);
  for (const char* text : {"12345ABCDE", "00000FFFFF", "12345ABCDE"})
    w.List.Append(text);
  w.Home.NBlocksSpinEdit->setValue(2);
  DoubleClick(w, 2);
  EXPECT_EQ(Text(w.Home.GenLabel), "0");
  ExpectShown(w, Developed("12345ABCDE", 2, 100));
}

TEST(ListWindow, ShortProgramDevelopsTheBlocksItHasAndSaysSo) {
  TWindows w;
  w.Home.EnvironmentSet.MakeEnvironment(60, false);
  w.Home.XElementsSpinEdit->setValue(60);
  w.Home.NBlocksSpinEdit->setValue(8);
  w.List.Append("3A2418B310");
  DoubleClick(w, 0);
  EXPECT_EQ(w.Home.StatusText(), "Developed 2 of 8 blocks");
  ExpectShown(w, Developed("3A2418B310", 2, 60));

  // A full-length program clears the note again.
  w.Home.NBlocksSpinEdit->setValue(2);
  DoubleClick(w, 0);
  EXPECT_EQ(w.Home.StatusText(), "");
}

TEST(ListWindow, DoubleClickWithoutSelectionDrawsNothingAndShowsMinusOne) {
  TWindows w;
  w.Home.EnvironmentSet.MakeEnvironment(100, false);
  w.Home.EnvironmentSet.Draw(*w.Home.FSImage, clBlue, true);
  const QImage before = w.Home.FSImage->Picture().copy();
  w.List.Append("12345ABCDE");
  w.List.ZELListBox->clearSelection();
  const std::uint32_t seed = Rng::GetSeed();
  w.List.ZELListBoxDblClick(w.List.ZELListBox);
  EXPECT_EQ(Text(w.Home.GenLabel), "-1");
  EXPECT_EQ(w.Home.FSImage->Picture(), before);
  EXPECT_EQ(w.Home.DevelopedSet.Count(), 0);
  EXPECT_EQ(Rng::GetSeed(), seed);
}
