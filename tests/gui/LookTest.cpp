// How the window reads: the picture drawn at its real size, earlier runs told apart in the
// chart's legend, tool bars that never cut a caption, labels and progress that follow a run,
// probability boxes, bad values named before any dialog, the list window's width, shortcuts.

#include "WindowKit.h"

#include <QApplication>
#include <QMenu>
#include <QProgressBar>
#include <QScrollBar>
#include <QStatusBar>
#include <QToolBar>

#include <algorithm>
#include <cmath>

namespace {
bool Bluish(QRgb P) {
  return qBlue(P) > 150 && qRed(P) < 150 && qGreen(P) < 150;
}

// The environment's curve in the picture: the columns and rows its bluish pixels span inside Area.
struct TExtent {
  int Left = 1 << 30, Right = -1, Top = 1 << 30, Bottom = -1, Blended = 0;
};
TExtent BlueExtent(const QImage& Image, const QRectF& Area) {
  TExtent e;
  const double ratio = Image.devicePixelRatio();
  for (int y = static_cast<int>(Area.top() * ratio) - 2; y <= static_cast<int>(Area.bottom() * ratio) + 2;
       ++y)
    for (int x = 0; x < Image.width(); ++x) {
      const QRgb p = Image.pixel(x, y);
      if (!Bluish(p)) continue;
      e.Left = std::min(e.Left, x);
      e.Right = std::max(e.Right, x);
      e.Top = std::min(e.Top, y);
      e.Bottom = std::max(e.Bottom, y);
      // Antialiased: the edges of a line blend into the white.
      if ((p & 0xFFFFFFu) != 0x0000FFu) ++e.Blended;
    }
  return e;
}

QRgb RenderedAt(TEvolChart& Chart, QPointF Value, QLineSeries* Series) {
  const QPointF at = Chart.chart()->mapToPosition(Value, Series);
  return Chart.RenderImage().pixel(at.toPoint());
}
} // namespace

TEST(Picture, DrawnAtItsRealSizeOverTheWholeWidthWithALegendAndSavedAsShown) {
  TWindows w;
  TScratchDir dir;
  auto& image = *w.Find<TFSImage>("FSImage");
  struct TCase {
    QSize Window;
    int Elements;
  };
  QSize savedBefore;
  for (const TCase& c : {TCase{{813, 615}, 100}, TCase{{1600, 1000}, 2048}}) {
    w.Home.resize(c.Window);
    TWindowExperiment{.PopSize = 4, .Generations = 1, .Elements = c.Elements, .Blocks = 2}.ApplyTo(w);
    RunInWindow(w, "StartToolButton", 3, dir.File("r"));
    QApplication::processEvents();
    const QImage& picture = w.Picture();
    ASSERT_EQ(picture.size(), image.size() * image.devicePixelRatio()) << c.Elements;
    const QRectF area = image.CurveArea();
    // The curves take the picture but for the room of the axes and the legend.
    EXPECT_GT(area.width(), image.width() - 90);
    EXPECT_GT(area.height(), image.height() - 90);
    const TExtent blue = BlueExtent(picture, area);
    EXPECT_LE(blue.Left, area.left() + 2) << c.Elements;
    EXPECT_GE(blue.Right, area.right() - 2) << c.Elements;
    const std::vector<std::int32_t> degrees = w.Home.Environment().Values();
    const double highest = *std::max_element(degrees.begin(), degrees.end());
    const double lowest = *std::min_element(degrees.begin(), degrees.end());
    EXPECT_NEAR(blue.Top, area.top() + area.height() * (100 - highest) / 100, 2.5) << c.Elements;
    EXPECT_NEAR(blue.Bottom, area.top() + area.height() * (100 - lowest) / 100, 2.5) << c.Elements;
    EXPECT_GT(blue.Blended, 0);
    // A thin grey frame around the curves.
    const QRgb frame =
        picture.pixel(static_cast<int>(image.Frame().left()), static_cast<int>(area.center().y()));
    EXPECT_TRUE(qRed(frame) == qGreen(frame) && qGreen(frame) == qBlue(frame) && qRed(frame) < 200) << frame;
    // The legend names both curves in their colours, above the frame.
    ASSERT_EQ(image.Shown().size(), 2u);
    EXPECT_EQ(image.Shown()[0].Name, "Environment");
    EXPECT_EQ(image.Shown()[1].Name, "Best developed set");
    const QImage legend = picture.copy(0, 0, picture.width(), static_cast<int>(image.Frame().top()));
    EXPECT_GT(CountPixels(legend, qRgb(0, 0, 255)), 0);
    EXPECT_GT(CountPixels(legend, qRgb(255, 0, 0)), 0);

    // Save Image writes what is shown, at the size shown.
    w.Dialogs.Answers = {dir.File("picture.bmp")};
    w.Click("SaveImageToolButton");
    const QImage saved(QString::fromStdString(dir.File("picture.bmp")), "BMP");
    EXPECT_EQ(saved.size(), picture.size());
    EXPECT_EQ(saved.convertToFormat(QImage::Format_RGB32), picture.convertToFormat(QImage::Format_RGB32));
    EXPECT_NE(saved.size(), savedBefore);
    savedBefore = saved.size();
  }
  // Resized, the picture is drawn anew at the new size.
  w.Home.resize(813, 615);
  QApplication::processEvents();
  EXPECT_EQ(w.Picture().size(), image.size());
  EXPECT_LE(BlueExtent(w.Picture(), image.CurveArea()).Right, image.width());
  EXPECT_GE(BlueExtent(w.Picture(), image.CurveArea()).Right, image.CurveArea().right() - 2);
}

TEST(Chart, ThreeEarlierRunsFadedInHuesAndDashesOfTheirOwnNamedWholeInTheLegendAndAClearAction) {
  TWindows w;
  TScratchDir dir;
  TWindowExperiment e{.Generations = 6};
  e.ApplyTo(w);
  TEvolChart& chart = w.Chart();
  EXPECT_FALSE(w.Find<QAbstractButton>("ClearRunsToolButton")->isEnabled());
  RunInWindow(w, "StartToolButton", 1, dir.File("r"));
  const QList<QPointF> first = chart.Series(0)->points();
  RunInWindow(w, "StartToolButton", 2, dir.File("r"));
  ASSERT_EQ(chart.EarlierRunCount(), 1);
  EXPECT_EQ(chart.EarlierRun(0)->name(), "seed 1");
  EXPECT_EQ(chart.EarlierRun(0)->points(), first);
  w.Find<QSpinBox>("PopSpinEdit")->setValue(20);
  RunInWindow(w, "StartToolButton", 3, dir.File("r"));
  w.Find<QSpinBox>("PopSpinEdit")->setValue(10);
  w.Click("RatesCheckBox");
  RunInWindow(w, "StartToolButton", 4, dir.File("r"));
  chart.resize(640, 300);
  QApplication::processEvents();

  // Two runs that differ from this one alike are told apart by their seeds.
  ASSERT_EQ(chart.EarlierRunCount(), 3);
  EXPECT_EQ(chart.EarlierRun(0)->name(), "elite, pop 20");
  EXPECT_EQ(chart.EarlierRun(1)->name(), "elite, seed 2");
  EXPECT_EQ(chart.EarlierRun(2)->name(), "elite, seed 1");
  const auto& legend = chart.Legend();
  ASSERT_EQ(legend.size(), 5u);
  EXPECT_EQ(legend[0].Shown, "MaxGen");
  EXPECT_EQ(legend[1].Shown, "w/ Genotype");
  const QImage rendered = chart.RenderImage();
  std::vector<QRgb> hues;
  std::vector<Qt::PenStyle> dashes;
  for (std::size_t i = 0; i < legend.size(); ++i) {
    const auto& entry = legend[i];
    EXPECT_TRUE(entry.Box.intersects(QRectF(QPointF(0, 0), QSizeF(chart.size()))));
    // The line beside the name as the curve is drawn: count the gaps along it.
    const int y = static_cast<int>(std::round(entry.Box.center().y()));
    int gaps = 0;
    bool inked = false;
    for (int x = static_cast<int>(entry.Box.left()) + 1; x < static_cast<int>(entry.Box.left()) + 29; ++x) {
      const bool ink = (rendered.pixel(x, y) & 0xFFFFFFu) != 0xFFFFFFu;
      if (inked && !ink) ++gaps;
      inked = ink;
    }
    if (i < 2) {
      EXPECT_EQ(gaps, 0) << i;
      continue;
    }
    EXPECT_GE(gaps, 2) << "an earlier run's legend line shows its dashes " << i;
    EXPECT_NE(entry.Pen.style(), Qt::SolidLine);
    EXPECT_EQ(entry.Pen, chart.EarlierRun(static_cast<int>(i) - 2)->pen());
    EXPECT_NE(entry.ToolTip.indexOf(chart.EarlierRun(static_cast<int>(i) - 2)->name()), -1);
    hues.push_back(entry.Pen.color().rgb());
    dashes.push_back(entry.Pen.style());
  }
  std::sort(hues.begin(), hues.end());
  std::sort(dashes.begin(), dashes.end());
  EXPECT_EQ(std::unique(hues.begin(), hues.end()), hues.end());
  EXPECT_EQ(std::unique(dashes.begin(), dashes.end()), dashes.end());
  for (QRgb hue : hues)
    for (QColor current : {chart.Series(0)->pen().color(), chart.Series(1)->pen().color()})
      EXPECT_NE(hue, current.rgb());

  // No band around the chart: a thin frame, white within it.
  EXPECT_EQ(rendered.pixel(3, rendered.height() / 2) & 0xFFFFFFu, 0xFFFFFFu);

  // Too narrow for a name, the legend shortens it and its tooltip keeps it whole.
  chart.resize(100, 300);
  QApplication::processEvents();
  const auto& narrow = chart.Legend();
  ASSERT_EQ(narrow.size(), 5u);
  EXPECT_NE(narrow[2].Shown, chart.EarlierRun(0)->name());
  EXPECT_TRUE(narrow[2].Shown.contains(QChar(0x2026)));
  EXPECT_NE(narrow[2].ToolTip.indexOf(chart.EarlierRun(0)->name()), -1);
  for (const auto& entry : narrow)
    EXPECT_LE(entry.Box.right(), chart.width());

  // A fourth pushes out the oldest; newest first, each named by its own values where it
  // differs from the current run, the older ones fainter.
  RunInWindow(w, "StartToolButton", 5, dir.File("r"));
  ASSERT_EQ(chart.EarlierRunCount(), 3);
  EXPECT_EQ(chart.EarlierRun(0)->name(), "seed 4");
  EXPECT_EQ(chart.EarlierRun(1)->name(), "elite, pop 20");
  EXPECT_EQ(chart.EarlierRun(2)->name(), "elite");
  EXPECT_LT(chart.EarlierRun(2)->pen().color().alpha(), chart.EarlierRun(0)->pen().color().alpha());
  EXPECT_EQ(chart.chart()->series().size(), 5);
  w.Click("ClearRunsToolButton");
  EXPECT_EQ(chart.EarlierRunCount(), 0);
  EXPECT_EQ(chart.chart()->series().size(), 2);
  EXPECT_EQ(chart.Series(0)->count(), 7);
  // A batch counts runs, not generations: the runs before it are not its to compare with.
  RunInWindow(w, "StartToolButton", 6, dir.File("r"));
  RunInWindow(w, "BatchToolButton", 7, dir.File("r"));
  EXPECT_EQ(chart.EarlierRunCount(), 0);
}

TEST(Chart, TheBestFitnessLineLiesOverTheGenotypeLine) {
  TWindows w;
  TScratchDir dir;
  WriteFile(dir.File("zeros.json"), "{\"degrees\":[0,0,0]}");
  w.Trigger("LoadEnvironmentAction", dir.File("zeros.json"));
  w.SetReproduction(1);
  RunInWindow(w, "StartToolButton", 1, dir.File("r"));
  TEvolChart& chart = w.Chart();
  const QList<QPointF> best = chart.Series(0)->points(), genotype = chart.Series(1)->points();
  qsizetype both = -1;
  for (qsizetype i = 0; i < best.size() && both < 0; ++i)
    if (best[i].y() == 100 && genotype[i].y() == 100) both = i;
  ASSERT_GE(both, 0) << "the run never has a best fitness of 100";
  const QRgb at = RenderedAt(chart, best[both], chart.Series(0));
  EXPECT_GT(qRed(at), 200) << std::hex << at;
  EXPECT_LT(qBlue(at), 120) << std::hex << at;
}

TEST(RunToolBar, NeverCutsACaptionAndTheSeedUsedStandsInTheStatusBar) {
  TWindows w;
  TScratchDir dir;
  TWindowExperiment{.Generations = 3}.ApplyTo(w);
  RunInWindow(w, "StartToolButton", 7, dir.File("r"));
  w.Dialogs.Answers = {dir.File("c")};
  w.Trigger("ContinueAction");
  w.Home.WaitForRun();
  EXPECT_EQ(w.Text("SeedUsedLabel"), "Continued from generation 3");
  auto* seedUsed = w.Find<QWidget>("SeedUsedLabel");
  EXPECT_TRUE(w.Home.statusBar()->isAncestorOf(seedUsed));
  for (int width : {813, 571, 420}) {
    w.Home.resize(width, 600);
    QApplication::processEvents();
    int shown = 0;
    for (const char* bar : {"ZELToolBar", "RunToolBar"})
      for (QToolButton* button : w.Home.findChild<QToolBar*>(bar)->findChildren<QToolButton*>()) {
        if (!button->isVisible() || button->objectName().isEmpty()) continue;
        ++shown;
        EXPECT_GE(button->width(), button->sizeHint().width())
            << button->objectName().toStdString() << " at " << width;
      }
    EXPECT_GE(shown, 3) << width;
  }
}

TEST(RunDisplay, ARunBeginsWithItsLabelsResetAndTellsItsProgress) {
  TWindows w;
  TScratchDir dir;
  TWindowExperiment{.Generations = 5}.ApplyTo(w);
  RunInWindow(w, "StartToolButton", 1, dir.File("r"));
  ASSERT_NE(w.Text("FitnessLabel"), "0");
  auto* progress = w.Find<QProgressBar>("EvolProgressBar");

  w.Click("PauseToolButton");
  RunInWindow(w, "StartToolButton", 2, dir.File("r"));
  ASSERT_TRUE(w.Home.Running());
  EXPECT_EQ(w.Text("CardinalityLabel") + w.Text("SubSethoodLabel") + w.Text("HammingLabel"), "0.00.00.0");
  EXPECT_EQ(w.Text("FitnessLabel"), "0");
  EXPECT_EQ(w.Text("GenLabel"), "0");
  EXPECT_EQ(CountPixels(w.Picture(), qRgb(255, 0, 0)), 0);
  EXPECT_EQ(progress->text(), "generation 0 of 5");
  w.Click("StepToolButton");
  w.Home.WaitForRun();
  EXPECT_EQ(progress->text(), "generation 1 of 5");
  w.Click("StopToolButton");
  w.Home.WaitForRun();

  // A batch stops between runs, with the averages of the runs it did.
  RunInWindow(w, "BatchToolButton", 3, dir.File("b"));
  EXPECT_EQ(progress->text(), "run 1 of 10");
  w.Click("StepToolButton");
  w.Home.WaitForRun();
  EXPECT_EQ(progress->text(), "run 2 of 10");
  w.Click("StopToolButton");
  w.Home.WaitForRun();
  EXPECT_FALSE(w.Home.Running());
  const std::vector<std::string> batch = Lines(ReadFile(dir.File("b")));
  ASSERT_GE(batch.size(), 3u);
  EXPECT_EQ(batch[batch.size() - 3], "Fitness     Fraction w/ genotype      Gen with all Genotypes\r");
  EXPECT_EQ(batch.back(), "Stopped after run 1 of 10\r");
  EXPECT_EQ(w.List.Count(), 1);
}

TEST(ProbabilityBoxes, ShowTheirValueWholeAndMoveTheTrackBarToTheNearestPreset) {
  TWindows w;
  auto* pmut = w.Find<QSlider>("pmutTrackBar");
  auto* pcross = w.Find<QSlider>("PCrossTrackBar");
  for (const char* name : {"pmutEdit", "pnoiseEdit", "PCrossEdit"})
    for (const char* text : {"0.00077", "0.000123456789", "1.234567e-05"}) {
      auto* edit = w.Find<QLineEdit>(name);
      edit->setText(text);
      EXPECT_LE(edit->fontMetrics().horizontalAdvance(text) + 6, edit->width()) << name << " " << text;
    }
  struct TCase {
    QSlider* Bar;
    const char* Edit;
    const char* Typed;
    int Position;
  };
  for (const TCase& c :
       {TCase{pmut, "pmutEdit", "0.0003", 2}, TCase{pmut, "pmutEdit", "0.0002", 1},
        TCase{pmut, "pmutEdit", "0.00004", 0}, TCase{pmut, "pmutEdit", "0.00006", 1},
        TCase{pmut, "pmutEdit", "0.03", 6}, TCase{pmut, "pmutEdit", "2", 7}, TCase{pmut, "pmutEdit", "-1", 0},
        TCase{pmut, "pmutEdit", "not a number", 0}, TCase{pcross, "PCrossEdit", "0.34", 3},
        TCase{pcross, "PCrossEdit", "0.36", 4}, TCase{pcross, "PCrossEdit", "0.3x", 4}}) {
    w.SetText(c.Edit, c.Typed);
    EXPECT_EQ(c.Bar->value(), c.Position) << c.Typed;
    EXPECT_EQ(w.Text(c.Edit), c.Typed);
  }
}

TEST(Errors, ABadProbabilityIsNamedByItsControlBeforeAnyDialog) {
  TWindows w;
  TScratchDir dir;
  TWindowExperiment{.Generations = 2}.ApplyTo(w);
  RunInWindow(w, "StartToolButton", 1, dir.File("r"));
  const int dialogs = w.Dialogs.Shown;
  // Of several bad boxes the first is named, in the order crossover, mutation, noise; each
  // command stops before its dialog.
  w.SetText("PCrossEdit", "1.0x");
  w.SetText("pmutEdit", "0.0x1");
  w.SetText("pnoiseEdit", "0,5");
  const std::vector<std::pair<const char*, std::string>> boxes = {{"PCrossEdit", "P Crossover: '1.0x'"},
                                                                  {"pmutEdit", "P Mutation: '0.0x1'"},
                                                                  {"pnoiseEdit", "P Noise: '0,5'"}};
  for (const auto& [box, named] : boxes) {
    for (const char* command : {"StartAction", "BatchAction", "ContinueAction", "SaveSettingsAction"}) {
      w.Dialogs.Answers = {dir.File("never")};
      w.Trigger(command);
      w.Home.WaitForRun();
      ASSERT_FALSE(w.Dialogs.Errors.empty()) << command;
      EXPECT_EQ(w.Dialogs.Errors.back(), named + " is not a valid floating point value") << command;
    }
    w.SetText(box, "0.5");
  }
  EXPECT_EQ(w.Dialogs.Errors.size(), 12u);
  EXPECT_EQ(w.Dialogs.Shown, dialogs);
  EXPECT_FALSE(std::filesystem::exists(dir.File("never")));
}

TEST(ListWindow, WideEnoughForItsLongestProgram) {
  TWindows w;
  TScratchDir dir;
  TWindowExperiment{.Generations = 2, .Blocks = 16}.ApplyTo(w);
  RunInWindow(w, "StartToolButton", 1, dir.File("r"));
  QApplication::processEvents();
  QListWidget& box = w.ListBox();
  ASSERT_EQ(w.List.Entry(0).size(), 80u);
  EXPECT_GE(w.List.width(), 340);
  EXPECT_EQ(box.horizontalScrollBar()->maximum(), 0) << "the programs need scrolling";
}

TEST(Shortcuts, StartBatchPauseStepAndStopHaveKeysShownInTheMenusAndTooltips) {
  TWindows w;
  auto* run = w.Home.findChild<QMenu*>("RunMenu");
  ASSERT_NE(run, nullptr);
  std::vector<QKeySequence> keys;
  for (const char* name : {"StartAction", "BatchAction", "PauseAction", "StepAction", "StopAction"}) {
    auto* action = w.Home.findChild<QAction*>(name);
    ASSERT_NE(action, nullptr) << name;
    EXPECT_FALSE(action->shortcut().isEmpty()) << name;
    EXPECT_TRUE(run->actions().contains(action)) << name;
    EXPECT_TRUE(action->toolTip().contains(action->shortcut().toString(QKeySequence::NativeText))) << name;
    keys.push_back(action->shortcut());
  }
  const QKeySequence start = w.Home.findChild<QAction*>("StartAction")->shortcut();
  EXPECT_TRUE(
      w.Find<QToolButton>("StartToolButton")->toolTip().contains(start.toString(QKeySequence::NativeText)));
  std::sort(keys.begin(), keys.end());
  EXPECT_EQ(std::unique(keys.begin(), keys.end()), keys.end());
}
