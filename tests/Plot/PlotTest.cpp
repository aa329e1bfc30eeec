// The figure of a sweep: a panel per measure with the curves and bands of the conditions,
// a colour and line style per condition, a legend that stays whole; and zelworld-plot
// writing PNG, SVG and PDF headless, or refusing what it cannot use with a message.

#include "Experiment/FileText.h"
#include "Experiment/SweepRun.h"
#include "Plot/SweepChart.h"

#include "../ScratchDir.h"
#include <QApplication>
#include <QAreaSeries>
#include <QImage>
#include <QLineSeries>
#include <QValueAxis>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace {
// Two conditions differing in blocks, three generations; condition b has one run only.
const std::string Aggregate =
    "condition,blocks,measure,generation,runs,planned,mean,sd,median,ci_low,ci_high\n"
    "a,2,best_fitness,0,3,3,30,10,30,20,40\n"
    "a,2,best_fitness,1,3,3,40,10,40,30,50\n"
    "a,2,best_fitness,2,3,3,50,10,50,45,55\n"
    "a,2,genotype_percent,0,3,3,100,0,100,100,100\n"
    "a,2,genotype_percent,1,3,3,100,0,100,100,100\n"
    "a,2,genotype_percent,2,3,3,100,0,100,100,100\n"
    "b,3,best_fitness,0,1,3,25,,25,,\n"
    "b,3,best_fitness,1,1,3,35,,35,,\n"
    "b,3,best_fitness,2,1,3,45,,45,,\n"
    "b,3,genotype_percent,0,0,3,,,,,\n"
    "b,3,genotype_percent,1,0,3,,,,,\n"
    "b,3,genotype_percent,2,0,3,,,,,\n";

// Count conditions with long names, one measure, two generations.
std::string ManyConditions(int Count) {
  std::string text = "condition,measure,generation,runs,planned,mean,sd,median,ci_low,ci_high\n";
  for (int c = 0; c < Count; ++c)
    for (int g = 0; g < 2; ++g)
      text += "reproduction=both rates-selection=1 p-mutation=0.00" + std::to_string(c) +
              " p-noise=0.001 pop-size=500,best_fitness," + std::to_string(g) + ",3,3," +
              std::to_string(20 + c + g) + ",1,20,19,21\n";
  return text;
}

int Plot(const std::string& Args, const std::string& Err) {
  const int status = std::system((std::string(ZELWORLD_PLOT) + " " + Args + " >/dev/null 2>" + Err).c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<QLineSeries*> Means(QChart* Chart) {
  std::vector<QLineSeries*> means;
  for (QAbstractSeries* s : Chart->series())
    if (auto* line = qobject_cast<QLineSeries*>(s)) means.push_back(line);
  return means;
}
} // namespace

TEST(SweepChart, APanelPerMeasureWithCurvesOverBandsAndOneStyleACondition) {
  const std::unique_ptr<TSweepFigure> figure(
      new TSweepFigure(ReadSweepAggregate(Aggregate, "aggregate.csv"), TSweepChartOptions{}));
  ASSERT_EQ(figure->Panels().size(), 2u);
  QChart* best = figure->Panels()[0];
  EXPECT_EQ(best->title(), "Best fitness");
  const std::vector<QLineSeries*> means = Means(best);
  ASSERT_EQ(means.size(), 2u);
  EXPECT_EQ(means[0]->name(), "blocks=2");
  EXPECT_EQ(means[1]->name(), "blocks=3");
  EXPECT_EQ(means[0]->at(2), QPointF(2, 50));
  auto* band = qobject_cast<QAreaSeries*>(best->series()[0]);
  ASSERT_NE(band, nullptr);
  EXPECT_EQ(band->upperSeries()->at(1), QPointF(1, 50));
  EXPECT_EQ(band->lowerSeries()->at(2), QPointF(2, 45));
  // One run: the band is the mean itself.
  EXPECT_EQ(qobject_cast<QAreaSeries*>(best->series()[1])->upperSeries()->at(1), QPointF(1, 35));
  EXPECT_NE(means[0]->pen().color(), means[1]->pen().color());
  // b's genotype curve has no run: one curve in the second panel, a's colour as in the first.
  const std::vector<QLineSeries*> genotype = Means(figure->Panels()[1]);
  ASSERT_EQ(genotype.size(), 1u);
  EXPECT_EQ(genotype[0]->pen(), means[0]->pen());
  // The y axis is the measure's, fitted to the bands; readable text.
  auto* y = qobject_cast<QValueAxis*>(best->axes(Qt::Vertical)[0]);
  EXPECT_EQ(y->titleText(), "fitness");
  EXPECT_LE(y->max(), 60);
  EXPECT_GE(y->min(), 10);
  EXPECT_GE(y->labelsFont().pixelSize(), 11);
  EXPECT_GE(best->titleFont().pixelSize(), 11);

  TSweepChartOptions options;
  options.Measures = {"genotype_percent"};
  options.Conditions = {"a"};
  options.YLabel = "share";
  options.YLim = std::make_pair(-10.0, 110.0);
  options.FontPixels = 20;
  const std::unique_ptr<TSweepFigure> one(new TSweepFigure(ReadSweepAggregate(Aggregate, "a.csv"), options));
  ASSERT_EQ(one->Panels().size(), 1u);
  y = qobject_cast<QValueAxis*>(one->Panels()[0]->axes(Qt::Vertical)[0]);
  EXPECT_EQ(y->titleText(), "share");
  EXPECT_EQ(y->min(), -10);
  EXPECT_EQ(y->max(), 110);
  EXPECT_EQ(y->labelsFont().pixelSize(), 20);
  EXPECT_EQ(one->LegendEntries().size(), 1u);
  for (const auto& [bad, message] : std::vector<std::pair<TSweepChartOptions, std::string>>{
           {{{"min_fitness"}, {}, "t", "", std::nullopt, 13}, "the aggregate has no curve of min_fitness"},
           {{{}, {"c"}, "t", "", std::nullopt, 13},
            "'c' is not a condition of the aggregate (nor a number 1..2)"},
           {{{"genotype_percent"}, {"2"}, "t", "", std::nullopt, 13},
            "the conditions chosen have no curve"}}) {
    try {
      TSweepFigure(ReadSweepAggregate(Aggregate, "a.csv"), bad);
      ADD_FAILURE() << message;
    } catch (const std::invalid_argument& e) {
      EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
    }
  }
}

TEST(SweepChart, BeyondTenConditionsStylesStayDistinctAndTheLegendStaysWhole) {
  const std::unique_ptr<TSweepFigure> figure(
      new TSweepFigure(ReadSweepAggregate(ManyConditions(30), "many.csv"), TSweepChartOptions{}));
  std::set<std::pair<QRgb, int>> styles;
  for (const auto& [label, pen] : figure->LegendEntries())
    styles.emplace(pen.color().rgb(), static_cast<int>(pen.style()));
  EXPECT_EQ(styles.size(), 30u);
  // At its default size the legend lies whole within the figure, below the panels.
  const QSize size = figure->DefaultSize();
  figure->resize(size);
  const QRectF legend = figure->LegendRect();
  EXPECT_GE(legend.top(), figure->Panels()[0]->geometry().bottom() - 0.5);
  EXPECT_LE(legend.bottom(), size.height());
  EXPECT_GT(legend.height(), 0);
  // Squeezed to 400 pixels it grows taller, still whole.
  const QSize narrow = figure->DefaultSize(400);
  figure->resize(narrow);
  EXPECT_GT(figure->LegendRect().height(), legend.height());
  EXPECT_LE(figure->LegendRect().bottom(), narrow.height());
  EXPECT_LE(figure->LegendRect().right(), narrow.width());
}

TEST(SweepChart, PlotWritesPngSvgAndPdfHeadlessAndRefusesWhatItCannotUse) {
  const TScratchDir dir;
  WriteWholeFile(dir / "aggregate.csv", Aggregate);
  ASSERT_EQ(
      Plot(dir / "aggregate.csv --out " + (dir / "chart.png") + " --width 640 --height 400", dir / "err"), 0)
      << ReadSweepFile(dir / "err");
  const QImage png(QString::fromStdString(dir / "chart.png"), "PNG");
  ASSERT_FALSE(png.isNull());
  EXPECT_EQ(png.size(), QSize(640, 400));
  // Not a blank page: the first condition's colour is there.
  const std::unique_ptr<TSweepFigure> figure(
      new TSweepFigure(ReadSweepAggregate(Aggregate, "aggregate.csv"), TSweepChartOptions{}));
  const QColor first = figure->LegendEntries()[0].second.color();
  bool found = false;
  for (int y = 0; y < png.height() && !found; ++y)
    for (int x = 0; x < png.width() && !found; ++x)
      found = png.pixelColor(x, y) == first;
  EXPECT_TRUE(found);

  // The SVG holds the legend's whole text, also of 30 long names.
  WriteWholeFile(dir / "many.csv", ManyConditions(30));
  ASSERT_EQ(Plot(dir / "many.csv --out " + (dir / "chart.svg") + " --title 'Thirty conditions'", dir / "err"),
            0)
      << ReadSweepFile(dir / "err");
  QXmlStreamReader svg(QByteArray::fromStdString(ReadSweepFile(dir / "chart.svg")));
  QString root, text;
  while (!svg.atEnd()) {
    const auto token = svg.readNext();
    if (token == QXmlStreamReader::StartElement && root.isEmpty()) root = svg.name().toString();
    if (token == QXmlStreamReader::Characters) text += svg.text().toString() + " ";
  }
  EXPECT_FALSE(svg.hasError()) << svg.errorString().toStdString();
  EXPECT_EQ(root, "svg");
  EXPECT_TRUE(text.contains("Thirty conditions"));
  for (int c = 0; c < 30; ++c)
    EXPECT_TRUE(text.contains("p-mutation=0.00" + QString::number(c) + " p-noise=0.001 pop-size=500")) << c;

  ASSERT_EQ(Plot(dir / "aggregate.csv --out " + (dir / "chart.pdf") + " --measure best_fitness", dir / "err"),
            0)
      << ReadSweepFile(dir / "err");
  EXPECT_EQ(ReadSweepFile(dir / "chart.pdf").substr(0, 5), "%PDF-");

  // Refused with exit 2 and nothing written: an unknown type, a file that is no aggregate,
  // options that ask for what is not there; a file that cannot be written exits 1.
  const std::vector<std::tuple<std::string, int, std::string>> bad = {
      {"aggregate.csv --out " + (dir / "x.jpg"), 2, "does not end in .png, .svg or .pdf"},
      {"missing.csv --out " + (dir / "x.png"), 2, "missing.csv"},
      {"comparison.csv --out " + (dir / "x.png"), 2, "comparison.csv:1: the column 'generation' is missing"},
      {"bad.csv --out " + (dir / "x.png"), 2, "bad.csv:2:4 (mean): 'x' is not a number"},
      {"aggregate.csv --out " + (dir / "x.png") + " --measure fitness", 2,
       "--measure: 'fitness' is not a measure"},
      {"aggregate.csv --out " + (dir / "x.png") + " --conditions z", 2, "'z' is not a condition"},
      {"aggregate.csv --out " + (dir / "x.png") + " --ylim 5", 2, "--ylim: '5' is not LOW,HIGH"},
      {"aggregate.csv --out " + (dir / "x.png") + " --font-size 2", 2, "--font-size: '2'"},
      {"aggregate.csv", 2, "--out is required"},
      {"aggregate.csv --out /no/such/folder/x.png", 1, "Cannot write file '/no/such/folder/x.png'"},
  };
  WriteWholeFile(dir / "bad.csv",
                 "condition,measure,generation,mean,ci_low,ci_high\na,best_fitness,0,x,1,2\n");
  WriteWholeFile(dir / "comparison.csv", "measure,condition_a,condition_b,mean_a\nbest_fitness,a,b,3\n");
  for (const auto& [args, code, message] : bad) {
    const std::string full = (args.find('/') == 0 ? "" : dir.Path + "/") + args;
    EXPECT_EQ(Plot(full, dir / "err"), code) << args;
    EXPECT_NE(ReadSweepFile(dir / "err").find(message), std::string::npos)
        << args << ": " << ReadSweepFile(dir / "err");
    EXPECT_FALSE(fs::exists(dir / "x.png") || fs::exists(dir / "x.jpg")) << args;
  }
}

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication application(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
