// What showing a run costs, at the window's default settings (or another number of
// generations): the processor time of the window's thread from the click until the run is
// shown and idle (the run itself works on other threads), against the processor time of the
// same run of the engine alone with nothing shown. Processor times, unlike the wall-clock
// times also printed, hold on a machine shared with other work.
// Usage: gui_bench [repetitions] [generations] [population]. Runs offscreen unless a display is set;
// BENCH_NO_LIST=1 leaves the list window out.

#include "Display/Headless.h"
#include "Experiment/RunDriver.h"
#include "ZELList/ZELList.h"
#include "ZELWorldHome/ZELWorldHome.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QSpinBox>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

namespace {
using TClock = std::chrono::steady_clock;

// Accepts every save dialog with one file name and lets every message pass.
class TBenchDialogs final : public TDialogService {
public:
  explicit TBenchDialogs(std::string Name) : Name(std::move(Name)) {}
  bool ExecuteSaveDialog(TSaveDialog& Dialog) override {
    Dialog.FileName = Name;
    return true;
  }
  void ShowMessage(const std::string&) override {}
  void ShowError(const std::string& Text) override {
    std::fprintf(stderr, "error: %s\n", Text.c_str());
    std::exit(1);
  }

private:
  std::string Name;
};

double Median(std::vector<double> Values) {
  std::sort(Values.begin(), Values.end());
  return Values[Values.size() / 2];
}

double Seconds(TClock::time_point Start) {
  return std::chrono::duration<double>(TClock::now() - Start).count();
}

double CpuSeconds(clockid_t Clock) {
  timespec t{};
  clock_gettime(Clock, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}
} // namespace

int main(int argc, char** argv) {
  if (std::getenv("DISPLAY") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication application(argc, argv);
  const int repetitions = argc > 1 ? std::atoi(argv[1]) : 40;
  const int generations = argc > 2 ? std::atoi(argv[2]) : 100;
  const int population = argc > 3 ? std::atoi(argv[3]) : 100;
  const std::string report = (std::filesystem::temp_directory_path() / "zelworld-gui-bench.txt").string();

  TBenchDialogs dialogs(report);
  TZELWorldHomeForm home(&dialogs);
  TZELListForm list([&home](const std::string& Text, int First) { home.ShowProgram(Text, First); });
  if (std::getenv("BENCH_NO_LIST") == nullptr) home.SetListForm(&list);
  home.show();
  home.findChild<QSpinBox*>("GenSpinEdit")->setValue(generations);
  home.findChild<QSpinBox*>("PopSpinEdit")->setValue(population);
  TExperimentSettings settings;
  settings.Generations = generations;
  settings.PopSize = population;

  std::vector<double> alone, shown, aloneCpu, shownCpu;
  for (int i = 0; i < repetitions; ++i) {
    const std::uint32_t seed = 1000 + static_cast<std::uint32_t>(i);
    {
      TRandom random;
      random.SetClock(Rng::CounterClock(seed));
      THeadlessProgress bar;
      THeadlessChart chart;
      THeadlessImage image;
      THeadlessMessageBox messages;
      TStringList best;
      const auto start = TClock::now();
      const double cpu = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
      TExperiment experiment(settings, random);
      Run(experiment, report, {bar, chart, image, best, messages, {}});
      aloneCpu.push_back(CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpu);
      alone.push_back(Seconds(start));
    }
    home.findChild<QLineEdit*>("SeedEdit")->setText(QString::number(seed));
    const auto start = TClock::now();
    const double cpu = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    home.findChild<QAbstractButton*>("StartToolButton")->click();
    home.WaitForRun();
    // Whatever the last records asked to repaint is painted too.
    QApplication::processEvents();
    shownCpu.push_back(CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - cpu);
    shown.push_back(Seconds(start));
  }
  std::filesystem::remove(report);
  const double a = Median(alone), s = Median(shown), ac = Median(aloneCpu), sc = Median(shownCpu);
  std::printf("run of %d generations, population %d, other settings default, median of %d (%s)\n",
              generations, population, repetitions,
              std::getenv("DISPLAY") != nullptr ? "X display" : "offscreen");
  std::printf("  engine alone, nothing shown:   %8.2f ms processor  %8.2f ms wall clock\n", ac * 1000,
              a * 1000);
  std::printf("  window's thread, showing it:   %8.2f ms processor  (%.1f%% of the run's)\n", sc * 1000,
              sc / ac * 100);
  std::printf("  in the window, click to shown:                       %8.2f ms wall clock\n", s * 1000);
  return 0;
}
