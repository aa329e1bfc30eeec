// The sweep chart: curves and bands of an aggregate, one colour a condition; and zelworld-plot writing a PNG
// and a valid SVG headless, or failing with a message that names what was wrong.

#include "Experiment/FileText.h"
#include "Experiment/SweepRun.h"
#include "Plot/SweepChart.h"

#include "../ScratchDir.h"
#include <QApplication>
#include <QAreaSeries>
#include <QImage>
#include <QLineSeries>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
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

int Plot(const std::string& Args, const std::string& Err) {
  const int status = std::system((std::string(ZELWORLD_PLOT) + " " + Args + " >/dev/null 2>" + Err).c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
} // namespace

TEST(SweepChart, MeanCurvesOverBandsOneColourACondition) {
  const std::unique_ptr<QChart> chart(BuildSweepChart(ReadSweepAggregate(Aggregate, "aggregate.csv")));
  std::vector<QLineSeries*> means;
  std::vector<QAreaSeries*> bands;
  for (QAbstractSeries* s : chart->series()) {
    if (auto* line = qobject_cast<QLineSeries*>(s)) means.push_back(line);
    if (auto* area = qobject_cast<QAreaSeries*>(s)) bands.push_back(area);
  }
  // b's genotype curve has no run, so three curves.
  ASSERT_EQ(means.size(), 3u);
  ASSERT_EQ(bands.size(), 3u);
  EXPECT_EQ(means[0]->name(), "blocks=2");
  EXPECT_EQ(means[2]->name(), "blocks=3");
  EXPECT_EQ(means[0]->at(2), QPointF(2, 50));
  EXPECT_EQ(bands[0]->upperSeries()->at(1), QPointF(1, 50));
  EXPECT_EQ(bands[0]->lowerSeries()->at(2), QPointF(2, 45));
  // One run: the band is the mean itself.
  EXPECT_EQ(bands[2]->upperSeries()->at(1), QPointF(1, 35));
  EXPECT_EQ(means[0]->pen().color(), means[1]->pen().color());
  EXPECT_NE(means[0]->pen().color(), means[2]->pen().color());
  EXPECT_NE(means[1]->pen().style(), means[0]->pen().style());

  TSweepChartOptions genotype;
  genotype.Measure = "genotype_percent";
  const std::unique_ptr<QChart> one(BuildSweepChart(ReadSweepAggregate(Aggregate, "a.csv"), genotype));
  EXPECT_EQ(one->series().size(), 2);
}

TEST(SweepChart, PlotWritesPngAndSvgHeadlessAndNamesWhatIsWrong) {
  const TScratchDir dir;
  WriteWholeFile(dir / "aggregate.csv", Aggregate);
  ASSERT_EQ(
      Plot(dir / "aggregate.csv --out " + (dir / "chart.png") + " --width 640 --height 400", dir / "err"), 0)
      << ReadWholeFile(dir / "err");
  const QImage png(QString::fromStdString(dir / "chart.png"), "PNG");
  ASSERT_FALSE(png.isNull());
  EXPECT_EQ(png.size(), QSize(640, 400));
  // Not a blank page: the first condition's colour is there.
  bool red = false;
  for (int y = 0; y < png.height() && !red; ++y)
    for (int x = 0; x < png.width() && !red; ++x)
      red = png.pixelColor(x, y) == QColor(220, 30, 30);
  EXPECT_TRUE(red);

  ASSERT_EQ(Plot(dir / "aggregate.csv --out " + (dir / "chart.svg"), dir / "err"), 0)
      << ReadWholeFile(dir / "err");
  QXmlStreamReader svg(QByteArray::fromStdString(ReadWholeFile(dir / "chart.svg")));
  int paths = 0;
  QString root;
  while (!svg.atEnd())
    if (svg.readNext() == QXmlStreamReader::StartElement) {
      if (root.isEmpty()) root = svg.name().toString();
      paths += svg.name() == QLatin1String("path") || svg.name() == QLatin1String("polyline");
    }
  EXPECT_FALSE(svg.hasError()) << svg.errorString().toStdString();
  EXPECT_EQ(root, "svg");
  EXPECT_GT(paths, 3);

  EXPECT_EQ(Plot(dir / "missing.csv --out " + (dir / "x.png"), dir / "err"), 1);
  EXPECT_NE(ReadWholeFile(dir / "err").find("missing.csv"), std::string::npos);
  WriteWholeFile(dir / "bad.csv",
                 "condition,measure,generation,mean,ci_low,ci_high\na,best_fitness,0,x,1,2\n");
  EXPECT_EQ(Plot(dir / "bad.csv --out " + (dir / "x.png"), dir / "err"), 1);
  EXPECT_NE(ReadWholeFile(dir / "err").find("bad.csv:2:4 (mean): 'x' is not a number"), std::string::npos)
      << ReadWholeFile(dir / "err");
  EXPECT_EQ(Plot(dir / "aggregate.csv --out /no/such/folder/x.png", dir / "err"), 1);
  EXPECT_NE(ReadWholeFile(dir / "err").find("Cannot write file '/no/such/folder/x.png'"), std::string::npos);
  EXPECT_EQ(Plot(dir / "aggregate.csv", dir / "err"), 2);
  EXPECT_NE(ReadWholeFile(dir / "err").find("--out is required"), std::string::npos);
}

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication application(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
