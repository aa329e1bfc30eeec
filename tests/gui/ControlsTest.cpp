// The main window's controls and displays, and the list window, driven through the
// controls themselves.

#include "WindowKit.h"

#include "Display/MemoryImage.h"
#include "Experiment/Picture.h"

#include <QApplication>
#include <QClipboard>
#include <QGraphicsTextItem>
#include <QTest>
#include <QValueAxis>

TEST(MainWindow, ControlHandlers) {
  TWindows w;
  const std::vector<std::string> scale{"0.0", "0.0001", "0.0005", "0.001", "0.005", "0.01", "0.05", "0.1"};
  auto* pmut = w.Find<QSlider>("pmutTrackBar");
  auto* pnoise = w.Find<QSlider>("pnoiseTrackBar");
  auto* pcross = w.Find<QSlider>("PCrossTrackBar");
  for (int p = 7; p >= 0; --p) {
    pmut->setValue(p);
    pnoise->setValue(p);
    EXPECT_EQ(w.Text("pmutEdit") + " " + w.Text("pnoiseEdit"), scale[p] + " " + scale[p]);
  }
  for (int p = 0; p <= 10; ++p) {
    pcross->setValue(p);
    EXPECT_EQ(w.Text("PCrossEdit"), p == 10 ? "1.0" : "0." + std::to_string(p));
  }
  // The rates and reproduction choices enable the probabilities they use.
  const auto enabled = [&](std::initializer_list<const char*> Names) {
    std::string states;
    for (const char* name : Names)
      states += w.Find<QWidget>(name)->isEnabled() ? '1' : '0';
    return states;
  };
  w.Click("RatesCheckBox");
  EXPECT_EQ(enabled({"PCrossTrackBar", "PCrossEdit", "Label10"}), "111");
  pcross->setValue(3);
  w.SetText("PCrossEdit", "0.77");
  w.Click("RatesCheckBox");
  EXPECT_EQ(enabled({"PCrossTrackBar", "PCrossEdit", "Label10"}), "000");
  EXPECT_EQ(pcross->value(), 10);
  EXPECT_EQ(w.Text("PCrossEdit"), "1.0");

  w.SetReproduction(0);
  EXPECT_EQ(enabled({"pmutTrackBar", "pmutEdit", "Label7", "pnoiseTrackBar", "pnoiseEdit", "Label8"}),
            "000111");
  w.SetReproduction(2);
  EXPECT_EQ(enabled({"pmutEdit", "pnoiseEdit"}), "11");
  w.SetReproduction(1);
  EXPECT_EQ(enabled({"pmutEdit", "pnoiseEdit", "Label8"}), "100");
}

TEST(MainWindow, TypedSpinValuesPastEitherBoundComeToTheNearerBound) {
  TWindows w;
  struct TCase {
    const char* Name;
    const char* Typed;
    int Expected;
  };
  for (const TCase& c :
       {TCase{"PopSpinEdit", "5000", 1000}, TCase{"PopSpinEdit", "1", 2}, TCase{"GenSpinEdit", "1001", 1000},
        TCase{"GenSpinEdit", "0", 1}, TCase{"XElementsSpinEdit", "3000", 2048},
        TCase{"XElementsSpinEdit", "-7", 1}, TCase{"NBlocksSpinEdit", "99", 32},
        TCase{"NBlocksSpinEdit", "0", 1}, TCase{"NBlocksSpinEdit", "", 1}}) {
    auto* spin = w.Find<QSpinBox>(c.Name);
    spin->setValue(spin->minimum() + 1);
    spin->selectAll();
    QTest::keyClick(spin, Qt::Key_Delete);
    QTest::keyClicks(spin, c.Typed);
    EXPECT_EQ(spin->text(), c.Typed) << c.Name; // No keystroke is dropped.
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(spin, &out);
    EXPECT_EQ(spin->value(), c.Expected) << c.Name << " " << c.Typed;
    EXPECT_EQ(spin->text().toInt(), c.Expected) << c.Name << " " << c.Typed;
  }
}

TEST(MainWindow, BottomAxisLabelsStandAtIntegersAndReadTheirPosition) {
  TWindows w;
  TEvolChart& chart = w.Chart();
  QChart* c = chart.chart();
  for (int max : {1, 3, 9, 10, 100, 1000}) {
    chart.SetBottomAxisRange(0, max);
    chart.resize(600, 300);
    QApplication::processEvents();
    const QRectF plot = c->plotArea();
    const double perUnit = plot.width() / max;
    int labels = 0;
    for (QGraphicsItem* item : c->scene()->items()) {
      auto* text = dynamic_cast<QGraphicsTextItem*>(item);
      if (text == nullptr || !text->isVisible()) continue;
      const QRectF box = text->sceneBoundingRect();
      if (box.top() < plot.bottom() || box.top() > plot.bottom() + 30) continue; // bottom-axis labels only
      bool number = false;
      const int value = text->toPlainText().toInt(&number);
      if (!number) continue;
      ++labels;
      // The label stands at its own value, and that value is a whole number of the range.
      EXPECT_NEAR((box.center().x() - plot.left()) / perUnit, value, 0.5 * 1.0 / perUnit + 0.5)
          << "range 0.." << max << " label " << value;
      EXPECT_GE(value, 0);
      EXPECT_LE(value, max);
    }
    EXPECT_GE(labels, 2) << "range 0.." << max;
    EXPECT_LE(labels, 11) << "range 0.." << max;
    EXPECT_EQ(chart.BottomAxis()->tickAnchor(), 0);
    EXPECT_EQ(std::fmod(chart.BottomAxis()->tickInterval(), 1.0), 0) << max;
  }
}

TEST(MainWindow, PictureOfMoreElementsThanPixelsSpreadsOverTheWidth) {
  TRandom random;
  TFuzzySet set;
  set.MakeEnvironment(random, 2048, false);
  TMemoryImage spread(300, 100);
  DrawSet(set, spread, clBlue, true);
  ASSERT_EQ(spread.Steps.size(), 2048u);
  EXPECT_EQ(spread.Steps.front().X, 0);
  EXPECT_EQ(spread.Steps.back().X, 300);
  EXPECT_EQ(spread.Steps[1024].X, 150);
  // Where the step is at least one pixel the picture is Draw's own.
  set.MakeEnvironment(random, 301, false);
  TMemoryImage literal(300, 100), drawn(300, 100);
  set.Draw(literal, clBlue, true);
  DrawSet(set, drawn, clBlue, true);
  ASSERT_EQ(drawn.Steps.size(), literal.Steps.size());
  for (std::size_t i = 0; i < drawn.Steps.size(); ++i)
    EXPECT_EQ(drawn.Steps[i].X * 1000 + drawn.Steps[i].Y, literal.Steps[i].X * 1000 + literal.Steps[i].Y);
}

TEST(MainWindow, SaveImageAndSaveGraphWriteBitmapsOrSayWhyNot) {
  TWindows w;
  TScratchDir dir;
  const std::string image = dir.File("picture"), chart = dir.File("chart.img");
  w.Dialogs.Answers = {image}; // Nothing drawn yet: no dialog, no file, and the status bar says so.
  w.Click("SaveImageToolButton");
  EXPECT_EQ(w.Dialogs.Shown, 0);
  EXPECT_FALSE(std::filesystem::exists(image));
  EXPECT_EQ(w.Text("StatusPanel1"), "Nothing is drawn yet, so there is no image to save");

  TWindowExperiment{.Generations = 1}.ApplyTo(w);
  RunInWindow(w, "StartToolButton", 1, dir.File("r"));
  w.Dialogs.Answers = {image, chart};
  w.Click("SaveImageToolButton");
  w.Click("SaveGraphToolButton");
  EXPECT_TRUE(w.Dialogs.Errors.empty());
  EXPECT_EQ(QImage(QString::fromStdString(image), "BMP").size(), w.Picture().size());
  EXPECT_EQ(QImage(QString::fromStdString(chart), "BMP").size(), w.Chart().size());

  const std::string unwritable = dir.File("missing/chart.bmp");
  w.Dialogs.Answers = {unwritable};
  w.Click("SaveGraphToolButton");
  ASSERT_EQ(w.Dialogs.Errors.size(), 1u);
  EXPECT_NE(w.Dialogs.Errors[0].find(unwritable), std::string::npos);
  EXPECT_NE(w.Dialogs.Errors[0].find("No such file or directory"), std::string::npos) << w.Dialogs.Errors[0];
}

TEST(MainWindow, TheSaveDialogTellsTypesFromNamesNotContents) {
  TScratchDir dir;
  const std::string file = dir.File("looks-like-a-pdf");
  std::ofstream(file) << "%PDF-1.4\n";
  TSaveDialog settings;
  const std::unique_ptr<QFileDialog> dialog = NewSaveDialog(nullptr, settings);
  ASSERT_NE(dialog->iconProvider(), nullptr);
  EXPECT_EQ(dialog->iconProvider()->type(QFileInfo(QString::fromStdString(file))), "File");
  EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));
}

namespace {
// A double-click as the mouse makes it: a click, then the second press.
void DoubleClickAt(QListWidget& Box, QPoint At) {
  QTest::mouseClick(Box.viewport(), Qt::LeftButton, {}, At);
  QTest::mouseDClick(Box.viewport(), Qt::LeftButton, {}, At);
}

void DoubleClick(TWindows& W, int Row) {
  QListWidget& box = W.ListBox();
  QApplication::processEvents(); // the entries are laid out
  DoubleClickAt(box, box.visualItemRect(box.item(Row)).center());
}

// Expects Program, developed with the given block count, shown against the current environment.
void ExpectProgramShown(TWindows& W, const std::string& Program, int Blocks) {
  TRandom scratch;
  TZELAgent agent(scratch, Blocks, W.Home.Environment().Count(), false);
  agent.ZEL.FromText(Program);
  TFuzzySet set;
  agent.Develop(set);
  ExpectAgentShown(W, set, FitnessFromHamming(set.HammingDistance(W.Home.Environment()), set.Count()));
}
} // namespace

TEST(ListWindow, ShortRepeatedUnselectedAndEmptyAreaDoubleClicks) {
  TWindows w;
  TScratchDir dir;
  TWindowExperiment{.Generations = 2, .Elements = 60, .Blocks = 8}.ApplyTo(w);
  RunInWindow(w, "StartToolButton", 12, dir.File("r"));
  w.List.Clear();
  for (const char* text : {"12345ABCDE", "3A2418B310", "12345ABCDE"})
    w.List.Append(text);
  DoubleClick(w, 1);
  EXPECT_EQ(w.Text("GenLabel"), "1");
  EXPECT_EQ(w.Text("StatusPanel1"), "Developed 2 of 8 blocks");
  ExpectProgramShown(w, "3A2418B310", 2);
  // Ctrl+C copies the program alone.
  QTest::keyClick(&w.ListBox(), Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), "3A2418B310");

  // A repeated entry names the first generation that had it; a full-length one clears the note.
  w.Find<QSpinBox>("NBlocksSpinEdit")->setValue(2);
  DoubleClick(w, 2);
  EXPECT_EQ(w.Text("GenLabel"), "0");
  EXPECT_EQ(w.Text("StatusPanel1"), "");
  ExpectProgramShown(w, "12345ABCDE", 2);

  // Beside the entries: nothing selected, -1, and the picture and the generator untouched.
  const QImage before = w.Picture().copy();
  const std::vector<std::int32_t> developed = w.Home.Developed().Values();
  const std::uint32_t seed = w.Home.Generator().GetSeed();
  QListWidget& box = w.ListBox();
  DoubleClickAt(box, QPoint(5, box.viewport()->height() - 3));
  EXPECT_TRUE(box.selectedItems().isEmpty());
  EXPECT_EQ(w.Text("GenLabel"), "-1");
  EXPECT_EQ(w.Picture(), before);
  EXPECT_EQ(w.Home.Developed().Values(), developed);
  EXPECT_EQ(w.Home.Generator().GetSeed(), seed);

  // Every command clears the note of the status bar.
  w.Find<QSpinBox>("NBlocksSpinEdit")->setValue(8);
  DoubleClick(w, 1);
  EXPECT_EQ(w.Text("StatusPanel1"), "Developed 2 of 8 blocks");
  RunInWindow(w, "StartToolButton", 13, dir.File("r"));
  EXPECT_EQ(w.Text("StatusPanel1"), "");
  EXPECT_EQ(w.List.Count(), 3);
  EXPECT_EQ(w.ListBox().item(2)->data(Qt::UserRole).toInt(), 2);
}
