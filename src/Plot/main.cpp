// zelworld-plot: the figure of a sweep's aggregate as a PNG, SVG or PDF file, without a
// screen.

#include "Plot/SweepChart.h"

#include <QApplication>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>

namespace {
const char* const Usage =
    "Usage: zelworld-plot AGGREGATE.csv --out FILE.png|FILE.svg|FILE.pdf [--measure M1,M2,...]\n"
    "                     [--conditions C1,C2,...] [--title TEXT] [--ylabel TEXT] [--ylim LOW,HIGH]\n"
    "                     [--font-size PIXELS] [--width PIXELS] [--height PIXELS]\n"
    "Draws the mean curves of a sweep's aggregate (zelworld-cli sweep aggregate) with their 95%\n"
    "confidence bands: one panel per measure (every measure of the aggregate unless --measure names\n"
    "some), one colour and line style per condition (--conditions: names or numbers from 1), one\n"
    "legend below. The file type follows the extension of --out.\n";

int Fail(const std::string& Message, int Status) {
  std::cerr << "zelworld-plot: error: " << Message << "\n";
  if (Status == 2 && Message.find("--") != std::string::npos) std::cerr << Usage;
  return Status;
}

bool ReadInt(const std::string& Text, int& Into, int Lo, int Hi) {
  const auto [end, ec] = std::from_chars(Text.data(), Text.data() + Text.size(), Into);
  return !Text.empty() && ec == std::errc{} && end == Text.data() + Text.size() && Into >= Lo && Into <= Hi;
}

bool ReadReal(const std::string& Text, double& Into) {
  const auto [end, ec] = std::from_chars(Text.data(), Text.data() + Text.size(), Into);
  return !Text.empty() && ec == std::errc{} && end == Text.data() + Text.size() && std::isfinite(Into);
}

std::vector<std::string> Split(const std::string& Text) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (std::size_t comma; (comma = Text.find(',', start)) != std::string::npos; start = comma + 1)
    parts.push_back(Text.substr(start, comma - start));
  parts.push_back(Text.substr(start));
  return parts;
}
} // namespace

int main(int argc, char** argv) {
  std::string input, output;
  TSweepChartOptions options;
  int width = 0, height = 0;
  std::vector<std::string> given;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << Usage;
      return 0;
    }
    const bool takesValue = arg == "--out" || arg == "--measure" || arg == "--width" || arg == "--height" ||
                            arg == "--title" || arg == "--ylabel" || arg == "--ylim" ||
                            arg == "--conditions" || arg == "--font-size";
    if (takesValue) {
      if (i + 1 >= argc) return Fail(arg + " needs a value", 2);
      if (std::find(given.begin(), given.end(), arg) != given.end()) return Fail(arg + " is given twice", 2);
      given.push_back(arg);
    }
    if (arg == "--out") {
      output = argv[++i];
    } else if (arg == "--measure") {
      options.Measures = Split(argv[++i]);
      for (const std::string& m : options.Measures)
        if (std::find(SweepMeasureNames().begin(), SweepMeasureNames().end(), m) ==
            SweepMeasureNames().end()) {
          std::string known;
          for (const std::string& name : SweepMeasureNames())
            known.append(known.empty() ? "" : ", ").append(name);
          return Fail("--measure: '" + m + "' is not a measure; the measures are " + known, 2);
        }
    } else if (arg == "--conditions") {
      options.Conditions = Split(argv[++i]);
    } else if (arg == "--width" || arg == "--height") {
      if (!ReadInt(argv[++i], arg == "--width" ? width : height, 100, 10000))
        return Fail(arg + ": '" + argv[i] + "' is not a whole number of pixels, 100..10000", 2);
    } else if (arg == "--font-size") {
      if (!ReadInt(argv[++i], options.FontPixels, 6, 72))
        return Fail("--font-size: '" + std::string(argv[i]) + "' is not a whole number of pixels, 6..72", 2);
    } else if (arg == "--title") {
      options.Title = QString::fromLocal8Bit(argv[++i]);
    } else if (arg == "--ylabel") {
      options.YLabel = QString::fromLocal8Bit(argv[++i]);
    } else if (arg == "--ylim") {
      const std::vector<std::string> range = Split(argv[++i]);
      double lo = 0, hi = 0;
      if (range.size() != 2 || !ReadReal(range[0], lo) || !ReadReal(range[1], hi) || !(lo < hi))
        return Fail("--ylim: '" + std::string(argv[i]) + "' is not LOW,HIGH with LOW below HIGH", 2);
      options.YLim = {lo, hi};
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
  if (!IsSweepFigureFile(output))
    return Fail("--out: '" + output + "' does not end in .png, .svg or .pdf, which say the file's type", 2);

  // A cluster node or a terminal has no screen; the figure needs none.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Without a desktop session Qt notes the missing runtime folder, which it does not need here.
  static QtMessageHandler defaultHandler = nullptr;
  defaultHandler =
      qInstallMessageHandler([](QtMsgType Type, const QMessageLogContext& Context, const QString& Text) {
        if (!Text.contains("XDG_RUNTIME_DIR")) defaultHandler(Type, Context, Text);
      });
  QApplication app(argc, argv);
  std::unique_ptr<TSweepFigure> figure;
  try {
    figure.reset(LoadSweepFigure(input, options));
  } catch (const std::exception& e) {
    // A file that is not an aggregate, or options that ask for what it lacks.
    return Fail(e.what(), 2);
  }
  QSize size = figure->DefaultSize(width > 0 ? width : 1000);
  if (height > 0) size.setHeight(height);
  try {
    SaveSweepFigure(*figure, output, size);
  } catch (const std::exception& e) {
    return Fail(e.what(), 1);
  }
  std::cout << "Chart of " << input << " on file " << output << "\n";
  return 0;
}
