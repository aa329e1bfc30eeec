// zelworld-plot: the chart of a sweep's aggregate as a PNG or SVG file, without a screen.

#include "Plot/SweepChart.h"

#include <QApplication>

#include <charconv>
#include <cstdlib>
#include <iostream>
#include <string>

namespace {
const char* const Usage =
    "Usage: zelworld-plot AGGREGATE.csv --out FILE.png|FILE.svg [--measure best_fitness|genotype_percent]\n"
    "                     [--width PIXELS] [--height PIXELS] [--title TEXT]\n"
    "Draws the mean curves of a sweep's aggregate (zelworld-cli sweep aggregate) with their 95%\n"
    "confidence bands, one colour a condition; both measures unless --measure names one.\n";

int Fail(const std::string& Message, int Status) {
  std::cerr << "zelworld-plot: error: " << Message << "\n";
  if (Status == 2) std::cerr << Usage;
  return Status;
}

bool ReadPixels(const std::string& Text, int& Into) {
  const auto [end, ec] = std::from_chars(Text.data(), Text.data() + Text.size(), Into);
  return !Text.empty() && ec == std::errc{} && end == Text.data() + Text.size() && Into >= 100 &&
         Into <= 10000;
}
} // namespace

int main(int argc, char** argv) {
  std::string input, output;
  TSweepChartOptions options;
  int width = 1000, height = 600;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << Usage;
      return 0;
    }
    const bool takesValue =
        arg == "--out" || arg == "--measure" || arg == "--width" || arg == "--height" || arg == "--title";
    if (takesValue && i + 1 >= argc) return Fail(arg + " needs a value", 2);
    if (arg == "--out") {
      output = argv[++i];
    } else if (arg == "--measure") {
      options.Measure = argv[++i];
      if (options.Measure != BestFitnessMeasure && options.Measure != GenotypeMeasure)
        return Fail("--measure: '" + options.Measure + "' is not best_fitness or genotype_percent", 2);
    } else if (arg == "--width" || arg == "--height") {
      if (!ReadPixels(argv[++i], arg == "--width" ? width : height))
        return Fail(arg + ": '" + argv[i] + "' is not a whole number of pixels, 100..10000", 2);
    } else if (arg == "--title") {
      options.Title = QString::fromLocal8Bit(argv[++i]);
    } else if (!arg.empty() && arg[0] == '-') {
      return Fail("unknown option " + arg, 2);
    } else if (input.empty()) {
      input = arg;
    } else {
      return Fail("one aggregate file only ('" + arg + "' is a second)", 2);
    }
  }
  if (input.empty()) return Fail("the aggregate file is missing", 2);
  if (output.empty()) return Fail("--out is required", 2);

  // A cluster node or a terminal has no screen; the chart needs none.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Without a desktop session Qt notes the missing runtime folder, which it does not need here.
  static QtMessageHandler defaultHandler = nullptr;
  defaultHandler =
      qInstallMessageHandler([](QtMsgType Type, const QMessageLogContext& Context, const QString& Text) {
        if (!Text.contains("XDG_RUNTIME_DIR")) defaultHandler(Type, Context, Text);
      });
  QApplication app(argc, argv);
  try {
    std::unique_ptr<QChart> chart(LoadSweepChart(input, options));
    SaveSweepChart(*chart, output, QSize(width, height));
  } catch (const std::exception& e) {
    return Fail(e.what(), 1);
  }
  std::cout << "Chart of " << input << " on file " << output << "\n";
  return 0;
}
