#include "GuiTestSupport.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QSplitter>
#include <QToolButton>

#include <gtest/gtest.h>

#include <filesystem>

namespace {
std::string Text(const QLabel* L) {
  return L->text().toStdString();
}
std::string Text(const QLineEdit* E) {
  return E->text().toStdString();
}

// Range, value, enabled state and tool tip of the spin edits and track bars, and the edit boxes beside the
// bars.
struct TControlState {
  const char* Name;
  int Min, Max, Value;
  bool Enabled;
  const char* Edit;
  const char* Text;
  const char* Label;
};

void ExpectControl(const TZELWorldHomeForm& Home, const TControlState& C) {
  const auto* range = Home.findChild<QAbstractSlider*>(C.Name);
  const auto* spin = Home.findChild<QSpinBox*>(C.Name);
  ASSERT_TRUE(range || spin) << C.Name;
  const QWidget* control = range ? static_cast<const QWidget*>(range) : spin;
  EXPECT_EQ(range ? range->minimum() : spin->minimum(), C.Min) << C.Name;
  EXPECT_EQ(range ? range->maximum() : spin->maximum(), C.Max) << C.Name;
  EXPECT_EQ(range ? range->value() : spin->value(), C.Value) << C.Name;
  EXPECT_EQ(control->isEnabled(), C.Enabled) << C.Name;
  EXPECT_FALSE(control->toolTip().isEmpty()) << C.Name;
  if (C.Edit == nullptr) return;
  const auto* edit = Home.findChild<QLineEdit*>(C.Edit);
  ASSERT_NE(edit, nullptr) << C.Edit;
  EXPECT_EQ(edit->text().toStdString(), C.Text);
  EXPECT_EQ(edit->isEnabled(), C.Enabled) << C.Edit;
  EXPECT_FALSE(edit->toolTip().isEmpty()) << C.Edit;
  EXPECT_EQ(Home.findChild<QLabel*>(C.Label)->isEnabled(), C.Enabled) << C.Label;
}
} // namespace

TEST(MainWindow, StartsWithItsControlsInTheirInitialState) {
  TWindows w;
  const TZELWorldHomeForm& home = w.Home;
  EXPECT_EQ(home.windowTitle().toStdString(), "ZEL World");
  EXPECT_EQ(w.List.windowTitle().toStdString(), "Best ZEL by Generation");
  EXPECT_FALSE(w.List.isVisible());
  EXPECT_EQ(w.List.Count(), 0);

  for (const char* name :
       {"StartToolButton", "BatchToolButton", "SaveImageToolButton", "SaveGraphToolButton", "ZELToolBar",
        "StatusBar1", "EvolProgressBar", "FSControlsPanel", "ReproductionPanel", "GAPanel", "GroupBox1",
        "ImagePanel", "GraphSplitter", "EvolChart", "FSImage"})
    EXPECT_NE(home.findChild<QWidget*>(name), nullptr) << name;
  const std::vector<TControlState> controls{
      {"PopSpinEdit", 2, 1000, 100, true, nullptr, nullptr, nullptr},
      {"GenSpinEdit", 1, 1000, 100, true, nullptr, nullptr, nullptr},
      {"XElementsSpinEdit", 1, 2048, 100, true, nullptr, nullptr, nullptr},
      {"NBlocksSpinEdit", 1, 32, 8, true, nullptr, nullptr, nullptr},
      {"pmutTrackBar", 0, 7, 1, true, "pmutEdit", "0.0001", "Label7"},
      {"pnoiseTrackBar", 0, 7, 1, false, "pnoiseEdit", "0.0001", "Label8"},
      {"PCrossTrackBar", 0, 10, 10, false, "PCrossEdit", "1.0", "Label10"}};
  for (const TControlState& c : controls)
    ExpectControl(home, c);

  EXPECT_EQ(home.ReprodItemIndex(), 1);
  EXPECT_EQ(home.ReprodButtons->button(0)->text().toStdString(), "Phenotpe (ZEL)");
  EXPECT_FALSE(home.RandomFitCheckBox->isChecked());
  EXPECT_FALSE(home.RatesCheckBox->isChecked());
  for (const char* name : {"ReprodRadioGroup", "RandomFitCheckBox", "RatesCheckBox"})
    EXPECT_FALSE(home.findChild<QWidget*>(name)->toolTip().isEmpty()) << name;

  for (const QLabel* label : {home.CardinalityLabel, home.SubSethoodLabel, home.HammingLabel})
    EXPECT_EQ(Text(label), "0.0");
  EXPECT_EQ(Text(home.FitnessLabel) + Text(home.GenLabel), "00");
  EXPECT_FALSE(home.EvolProgressBar->isVisible());
  EXPECT_FALSE(Text(home.StatusPanel0).empty());
  EXPECT_EQ(home.StatusText(), "");
  EXPECT_EQ(home.EvolChart->Series(1)->name().toStdString(), "w/ Genotype");
  EXPECT_EQ(home.EvolChart->Series(1)->pen().color(), QColor(0, 128, 255));
  EXPECT_EQ(home.EvolChart->LeftAxis()->max(), 100);
  EXPECT_TRUE(home.FSImage->Picture().isNull());
}

TEST(MainWindow, TrackBarsWriteTheirFixedTextsAndEditsDoNotMoveThem) {
  TWindows w;
  const std::vector<std::string> scale{"0.0", "0.0001", "0.0005", "0.001", "0.005", "0.01", "0.05", "0.1"};
  for (int p = 7; p >= 0; --p) {
    w.Home.pmutTrackBar->setValue(p);
    w.Home.pnoiseTrackBar->setValue(p);
    EXPECT_EQ(Text(w.Home.pmutEdit), scale[static_cast<std::size_t>(p)]);
    EXPECT_EQ(Text(w.Home.pnoiseEdit), scale[static_cast<std::size_t>(p)]);
  }
  for (int p = 0; p <= 10; ++p) {
    w.Home.PCrossTrackBar->setValue(p);
    EXPECT_EQ(Text(w.Home.PCrossEdit), p == 10 ? "1.0" : "0." + std::to_string(p));
  }
  w.Home.pmutEdit->setText("0.3");
  EXPECT_EQ(w.Home.pmutTrackBar->value(), 0);
}

TEST(MainWindow, RatesSelectionTogglesCrossoverAndResetsItWhenUnchecked) {
  TWindows w;
  TZELWorldHomeForm& home = w.Home;
  home.RatesCheckBox->click();
  EXPECT_TRUE(home.PCrossTrackBar->isEnabled() && home.PCrossEdit->isEnabled() && home.Label10->isEnabled());
  home.PCrossTrackBar->setValue(3);
  home.PCrossEdit->setText("0.77");
  home.RatesCheckBox->click();
  EXPECT_FALSE(home.PCrossTrackBar->isEnabled() || home.PCrossEdit->isEnabled() || home.Label10->isEnabled());
  EXPECT_EQ(home.PCrossTrackBar->value(), 10);
  EXPECT_EQ(Text(home.PCrossEdit), "1.0");
}

TEST(MainWindow, ReproductionChoiceEnablesTheProbabilitiesItUses) {
  TWindows w;
  TZELWorldHomeForm& home = w.Home;
  home.pmutEdit->setText("0.02");
  home.ReprodButtons->button(0)->click();
  EXPECT_FALSE(home.pmutTrackBar->isEnabled() || home.pmutEdit->isEnabled() || home.Label7->isEnabled());
  EXPECT_TRUE(home.pnoiseTrackBar->isEnabled() && home.pnoiseEdit->isEnabled() && home.Label8->isEnabled());
  EXPECT_EQ(Text(home.pmutEdit), "0.02");
  home.ReprodButtons->button(2)->click();
  EXPECT_TRUE(home.pmutEdit->isEnabled() && home.pnoiseEdit->isEnabled());
  home.ReprodButtons->button(1)->click();
  EXPECT_TRUE(home.pmutEdit->isEnabled());
  EXPECT_FALSE(home.pnoiseEdit->isEnabled() || home.Label8->isEnabled());
  EXPECT_EQ(home.ReprodItemIndex(), 1);
}

TEST(MainWindow, SpinEditTextThatIsNotAnIntegerReadsAsTheMinimum) {
  TWindows w;
  auto* edit = w.Home.PopSpinEdit->findChild<QLineEdit*>();
  ASSERT_NE(edit, nullptr);
  edit->setText("");
  EXPECT_EQ(TZELWorldHomeForm::SpinValue(w.Home.PopSpinEdit), 2);
  edit->setText("1");
  EXPECT_EQ(TZELWorldHomeForm::SpinValue(w.Home.PopSpinEdit), 2);
  edit->setText("57");
  EXPECT_EQ(TZELWorldHomeForm::SpinValue(w.Home.PopSpinEdit), 57);
}

TEST(MainWindow, ResizingGivesTheChartHalfThePanelWhereverTheSplitterWas) {
  TWindows w;
  EXPECT_EQ(w.Home.EvolChart->height(), w.Home.ImagePanel->height() / 2);
  w.Home.GraphSplitter->setSizes({50, 400});
  ASSERT_NE(w.Home.EvolChart->height(), w.Home.ImagePanel->height() / 2);
  w.Home.resize(900, 701);
  Settle();
  EXPECT_EQ(w.Home.EvolChart->height(), w.Home.ImagePanel->height() / 2);
}

TEST(MainWindow, SaveImageAndSaveGraphWriteBitmapsUnderTheNameAsEntered) {
  TWindows w;
  TScratchDir dir;
  TZELWorldHomeForm& home = w.Home;
  const std::string image = dir.File("picture"), chart = dir.File("chart.img");

  // Nothing drawn yet: no file and no complaint.
  w.Dialogs.Answers = {image};
  home.SaveImageToolButton->click();
  EXPECT_FALSE(std::filesystem::exists(image));
  ASSERT_EQ(w.Dialogs.Shown.size(), 1u);
  EXPECT_EQ(w.Dialogs.Shown[0].Title, "Save Solution Image");
  EXPECT_EQ(w.Dialogs.Shown[0].FilterIndex, 1);
  EXPECT_EQ(home.SaveDialog1.Title, "Results File");
  EXPECT_EQ(home.SaveDialog1.FilterIndex, 0);

  home.EnvironmentSet.MakeEnvironment(100, false);
  home.EnvironmentSet.Draw(*home.FSImage, clBlue, true);
  const QSize drawn = home.FSImage->Picture().size();
  home.resize(1000, 750);
  Settle();
  ASSERT_NE(home.FSImage->size(), drawn);
  w.Dialogs.Answers = {image, chart};
  home.SaveImageToolButton->click();
  home.SaveGraphToolButton->click();
  ASSERT_EQ(w.Dialogs.Shown.size(), 3u);
  EXPECT_EQ(w.Dialogs.Shown[2].Title, "Save Chart Image");
  EXPECT_EQ(w.Dialogs.Shown[2].FilterIndex, 1);
  EXPECT_EQ(home.SaveDialog1.Title, "Results File");
  EXPECT_TRUE(w.Dialogs.Errors.empty());

  const QImage savedImage(QString::fromStdString(image), "BMP");
  EXPECT_EQ(savedImage.size(), drawn);
  EXPECT_GT(CountPixels(savedImage, qRgb(0, 0, 255)), 0);
  const QImage savedChart(QString::fromStdString(chart), "BMP");
  EXPECT_EQ(savedChart.size(), home.EvolChart->size());
  EXPECT_EQ(ReadFile(chart).substr(0, 2), "BM");
  EXPECT_FALSE(std::filesystem::exists(chart + ".bmp"));

  // Cancelled: nothing written.
  w.Dialogs.Answers = {std::nullopt};
  home.SaveGraphToolButton->click();
  EXPECT_EQ(home.SaveDialog1.Title, "Results File");

  const std::string unwritable = dir.File("missing/chart.bmp");
  w.Dialogs.Answers = {unwritable};
  home.SaveGraphToolButton->click();
  ASSERT_EQ(w.Dialogs.Errors.size(), 1u);
  EXPECT_NE(w.Dialogs.Errors[0].find(unwritable), std::string::npos);
}
