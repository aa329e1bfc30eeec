// What showing a run costs, at the window's default settings (or another number of
// generations): the processor time of the window's thread from the click until the run is
// shown and idle (the run itself works on other threads), against the processor time of the
// same run of the engine alone with nothing shown. Processor times, unlike the wall-clock
// times also printed, hold on a machine shared with other work.
//
// The window's time is split in two:
//  (a) showing the run while it works: the click (the experiment built, its report opened,
//      the worker handed the run), the records passed from the worker, the live frames, the
//      controls turned off and on again, and the event loop until the outcome arrives. This
//      is what the window adds to a run by showing it live; the window keeps it within a
//      tenth of the engine's time at the default settings.
//  (b) the single final display of the outcome (the last records, chart, picture, list,
//      labels, progress bar, the seed used and the status bar, with the events that display
//      posts), which the window shows at the end of any run, threaded or not. A paint behind
//      one of these widgets (a tool bar under the seed label) counts with them.
// Every figure is the mean of the middle half of the repetitions. A first run, not counted,
// warms the window up (fonts, the list window's first showing).
//
// Usage: gui_bench [repetitions] [generations] [population]. Runs offscreen unless a display is set.
// For counts that timing noise cannot blur:
//   valgrind --tool=callgrind --separate-threads=yes --toggle-collect='*ShowOneRun*' gui_bench 5
// (the window's thread), or --toggle-collect='*RunEngineAlone*' for the engine.

#include "Experiment/Report.h"
#include "Experiment/RunLoop.h"
#include "Experiment/RunObservers.h"
#include "ZELList/ZELList.h"
#include "ZELWorldHome/ZELWorldHome.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QPaintEvent>
#include <QSpinBox>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace {
using TClock = std::chrono::steady_clock;
using TPart = TRunPresenter::TShowPart;

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

double Seconds(TClock::time_point Start) {
  return std::chrono::duration<double>(TClock::now() - Start).count();
}

double CpuSeconds(clockid_t Clock) {
  timespec t{};
  clock_gettime(Clock, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double ThreadCpu() {
  return CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
}

// The mean of the middle half: steadier than the mean, and, unlike medians, the parts of a
// sum still add up to nearly the sum.
double MiddleMean(std::vector<double> Values) {
  std::sort(Values.begin(), Values.end());
  const std::size_t from = Values.size() / 4, to = Values.size() - Values.size() / 4;
  double sum = 0;
  for (std::size_t i = from; i < to; ++i)
    sum += Values[i];
  return sum / static_cast<double>(to - from);
}

// Where the window's thread spends its time while one run is shown.
enum TBucket {
  Click,         // the click itself, less the parts below that it holds
  Start,         // chart cleared, axes and labels set, earlier runs kept
  Records,       // records taken from the worker: chart points, labels, picture
  Controls,      // controls turned off and on again
  LivePaint,     // painting while the run works
  ControlsPaint, // after the run: repainting the controls turned on again
  Outcome,       // the final display: chart readied, list, picture, labels
  OutcomePaint,  // painting the chart, picture, labels, list and progress bar at the end
  OutcomeFlush,  // the final frame's own cost beside its widgets' painting
  LiveLayout,    // laying widgets out again while the run works
  OutcomeLayout, // laying widgets out again for the outcome
  LiveLoop,      // the event loop before the outcome: wake-ups, timers, posted events
  OutcomeLoop,   // the event loop from the outcome on: the events its display posts
  BucketCount
};

class TMeter {
public:
  std::array<double, BucketCount> Cost{};
  bool On = false;
  // The outcome is being shown: what is painted from now on is the final frame.
  bool Final = false;

  void Begin() {
    Cost = {};
    On = true;
    Final = false;
    Stack.assign(1, Click);
    Mark = BeginCpu = ThreadCpu();
    MarkPainted = Painted;
  }
  void EndClick() {
    Charge();
    Stack.clear();
  }
  // What no part claims is the event loop's, before the outcome began or from then on.
  void End() {
    Charge();
    On = false;
    const double claimed = Claimed();
    if (!Final) {
      FinalCpu = Mark;
      ClaimedAtFinal = claimed;
    }
    Cost[LiveLoop] = std::max(0.0, (FinalCpu - BeginCpu) - ClaimedAtFinal);
    Cost[OutcomeLoop] = std::max(0.0, (Mark - FinalCpu) - (claimed - ClaimedAtFinal));
  }
  void Enter(TPart Part) {
    Charge();
    static constexpr std::array<TBucket, 4> buckets{Start, Records, Controls, Outcome};
    Stack.push_back(buckets[static_cast<std::size_t>(Part)]);
    if (Part == TPart::Outcome && !Final) {
      Final = true;
      FinalCpu = Mark;
      ClaimedAtFinal = Claimed();
    }
  }
  void Leave() {
    Charge();
    if (!Stack.empty()) Stack.pop_back();
  }
  // Painting, charged apart from the part it happens in.
  void AddPainted(TBucket Bucket, double Seconds) {
    Cost[Bucket] += Seconds;
    Painted += Seconds;
  }

private:
  void Charge() {
    const double now = ThreadCpu();
    if (!Stack.empty()) Cost[Stack.back()] += (now - Mark) - (Painted - MarkPainted);
    Mark = now;
    MarkPainted = Painted;
  }
  double Claimed() const {
    double sum = 0;
    for (std::size_t b = 0; b < LiveLoop; ++b)
      sum += Cost[b];
    return sum;
  }
  std::vector<TBucket> Stack;
  double Mark = 0, Painted = 0, MarkPainted = 0;
  double BeginCpu = 0, FinalCpu = 0, ClaimedAtFinal = 0;
};

// Times the painting of every widget and the frames that hold it.
class TBenchApplication final : public QApplication {
public:
  using QApplication::QApplication;
  TMeter Meter;
  // Frames and queued calls begun, whether measured or not.
  int Frames = 0;
  std::vector<const QWidget*> OutcomeWidgets;

  // With BENCH_DETAIL set: the processor time of each outermost event by its type, painting included.
  std::map<std::string, double> ByEvent;
  // And the processor time of painting each widget, live and at the end.
  std::map<std::string, double> ByWidget;
  static std::string Name(const QObject* Object) {
    const std::string own = Object->objectName().isEmpty() ? std::string(Object->metaObject()->className())
                                                           : Object->objectName().toStdString();
    // A viewport or a scroll bar is named by the view it belongs to.
    const QObject* parent = Object->parent();
    if (parent != nullptr && (Object->objectName().isEmpty() || own.rfind("qt_", 0) == 0))
      return Name(parent) + "/" + own;
    return own;
  }
  bool Detail = std::getenv("BENCH_DETAIL") != nullptr;

  bool notify(QObject* Receiver, QEvent* Event) override {
    if (Event->type() == QEvent::UpdateRequest || Event->type() == QEvent::MetaCall) ++Frames;
    if (!Meter.On) return QApplication::notify(Receiver, Event);
    const QEvent::Type type = Event->type();
    if (Detail && Depth == 0) {
      ++Depth;
      // Named before it is sent: an event may delete its receiver.
      const std::string key = std::to_string(type) + " " + Name(Receiver);
      const double start = ThreadCpu();
      const bool result = notify(Receiver, Event);
      ByEvent[key] += ThreadCpu() - start;
      --Depth;
      return result;
    }
    if (type == QEvent::Paint && !InPaint) {
      InPaint = true;
      const double start = ThreadCpu();
      const bool result = QApplication::notify(Receiver, Event);
      const double spent = ThreadCpu() - start;
      InPaint = false;
      if (Detail) ByWidget[std::string(Meter.Final ? "final " : "live ") + Name(Receiver)] += spent;
      const bool outcome = IsOutcome(Receiver) || BehindOutcome(Receiver, *static_cast<QPaintEvent*>(Event));
      Meter.AddPainted(!Meter.Final ? LivePaint : outcome ? OutcomePaint : ControlsPaint, spent);
      return result;
    }
    // A view lays its items out on a timer of its own.
    if (type == QEvent::Timer && Meter.Final && !InLayout && !InPaint && IsOutcome(Receiver))
      return Timed(Receiver, Event, InLayout, OutcomeLayout);
    if (type == QEvent::LayoutRequest && !InLayout && !InPaint)
      return Timed(Receiver, Event, InLayout, Meter.Final ? OutcomeLayout : LiveLayout);
    if (type == QEvent::UpdateRequest && !InFrame && !InPaint)
      return Timed(Receiver, Event, InFrame, Meter.Final ? OutcomeFlush : LivePaint);
    return QApplication::notify(Receiver, Event);
  }

  double PaintedSoFar() const {
    return Meter.Cost[LivePaint] + Meter.Cost[ControlsPaint] + Meter.Cost[OutcomePaint] +
           Meter.Cost[OutcomeFlush] + Meter.Cost[LiveLayout] + Meter.Cost[OutcomeLayout];
  }

private:
  // Sends an event and charges its time, less the painting it holds, to Bucket.
  bool Timed(QObject* Receiver, QEvent* Event, bool& Within, TBucket Bucket) {
    Within = true;
    const double start = ThreadCpu();
    const double painted = PaintedSoFar();
    const bool result = QApplication::notify(Receiver, Event);
    Meter.AddPainted(Bucket, ThreadCpu() - start - (PaintedSoFar() - painted));
    Within = false;
    return result;
  }
  bool IsOutcome(const QObject* Receiver) const {
    const auto* widget = qobject_cast<const QWidget*>(Receiver);
    return widget != nullptr &&
           std::any_of(OutcomeWidgets.begin(), OutcomeWidgets.end(),
                       [&](const QWidget* w) { return w == widget || w->isAncestorOf(widget); });
  }
  // A widget painted only where an outcome widget lies over it (the background of a label
  // whose text changed) is painted for the outcome.
  bool BehindOutcome(const QObject* Receiver, const QPaintEvent& Paint) const {
    const auto* widget = qobject_cast<const QWidget*>(Receiver);
    if (widget == nullptr) return false;
    QRegion outcome;
    for (const QWidget* w : OutcomeWidgets)
      if (w->isVisible() && widget->isAncestorOf(w))
        outcome += QRect(w->mapTo(widget, QPoint(0, 0)), w->size());
    return !outcome.isEmpty() && (Paint.region() - outcome).isEmpty();
  }
  bool InPaint = false, InFrame = false, InLayout = false;
  int Depth = 0;
};

// The parts of (a) and of (b), as printed.
struct TPrinted {
  TBucket Bucket;
  const char* What;
};
constexpr std::array<TPrinted, 8> RunningParts{{{Click, "click: worker started, menu commands off"},
                                                {Start, "start shown: chart cleared, earlier run kept, axes"},
                                                {Records, "records passed from the worker"},
                                                {LivePaint, "live frames painted"},
                                                {LiveLayout, "widgets laid out again"},
                                                {Controls, "controls turned off and on"},
                                                {ControlsPaint, "controls repainted at the end"},
                                                {LiveLoop, "event loop, wake-ups, timers"}}};
constexpr std::array<TPrinted, 5> OutcomeParts{
    {{Outcome, "last records, chart readied, list, picture, labels"},
     {OutcomePaint, "chart, picture, labels, list, bar painted"},
     {OutcomeFlush, "the final frame beside its widgets"},
     {OutcomeLayout, "chart, list, labels, seed laid out again"},
     {OutcomeLoop, "event loop: the events the display posts"}}};

// The final display of the outcome, of the parts measured.
double OutcomeCost(const std::array<double, BucketCount>& Cost) {
  double sum = 0;
  for (const TPrinted& p : OutcomeParts)
    sum += Cost[p.Bucket];
  return sum;
}

struct TShown {
  double Cpu = 0, Wall = 0;
};

// One run of the engine alone, nothing shown; its processor and wall-clock time.
[[gnu::noinline]] TShown RunEngineAlone(const TExperimentSettings& Settings, std::uint32_t Seed,
                                        const std::string& Report) {
  TRandom random;
  random.SetClock(Rng::CounterClock(Seed));
  TBestList best;
  TSeries series;
  const auto start = TClock::now();
  const double cpu = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
  TExperiment experiment(Settings, random);
  TReportWriter report(Report);
  TRunLoop(experiment, false, {report.Observer(), best.Observer(), series.Observer()}).Run();
  return {CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpu, Seconds(start)};
}

// Processes events until a turn paints nothing: whatever was asked to be repainted is
// painted, with what that leads to (a view lays its items out at its next turn, and paints
// them at the turn after).
void Settle(TBenchApplication& App) {
  for (int turn = 0; turn < 10; ++turn) {
    const double painted = App.PaintedSoFar();
    const int frames = App.Frames;
    QApplication::processEvents();
    if (App.PaintedSoFar() == painted && App.Frames == frames) break;
  }
}

// One run in the window, from the click until it is shown and idle: the processor time of
// the window's thread and the wall-clock time.
[[gnu::noinline]] TShown ShowOneRun(TBenchApplication& App, TZELWorldHomeForm& Home) {
  // The seed typed into its box is painted before the click.
  Settle(App);
  const auto start = TClock::now();
  const double cpu = ThreadCpu();
  App.Meter.Begin();
  Home.findChild<QAbstractButton*>("StartToolButton")->click();
  App.Meter.EndClick();
  Home.WaitForRun();
  Settle(App);
  App.Meter.End();
  return {ThreadCpu() - cpu, Seconds(start)};
}
} // namespace

int main(int argc, char** argv) {
  if (std::getenv("DISPLAY") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 0);
  TBenchApplication application(argc, argv);
  const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 40;
  const int generations = argc > 2 ? std::atoi(argv[2]) : 100;
  const int population = argc > 3 ? std::atoi(argv[3]) : 100;
  const std::string report = (std::filesystem::temp_directory_path() / "zelworld-gui-bench.txt").string();

  TBenchDialogs dialogs(report);
  TZELWorldHomeForm home(&dialogs);
  home.show();
  home.findChild<QSpinBox*>("GenSpinEdit")->setValue(generations);
  home.findChild<QSpinBox*>("PopSpinEdit")->setValue(population);
  TExperimentSettings settings;
  settings.Generations = generations;
  settings.PopSize = population;

  application.OutcomeWidgets = {home.findChild<QWidget*>("EvolChart"),
                                home.findChild<QWidget*>("FSImage"),
                                home.findChild<QWidget*>("GroupBox1"),
                                home.findChild<QWidget*>("EvolProgressBar"),
                                home.findChild<QWidget*>("SeedUsedLabel"),
                                home.findChild<QWidget*>("StatusBar1"),
                                &home.ListForm()};
  home.Presenter().SetShowObserver([&application](TPart Part, bool Begins) {
    if (!application.Meter.On) return;
    if (Begins)
      application.Meter.Enter(Part);
    else
      application.Meter.Leave();
  });

  std::vector<double> alone, aloneCpu, shown, shownCpu, shownRunning, shownOutcome;
  std::array<std::vector<double>, BucketCount> parts;
  for (int i = -1; i < repetitions; ++i) {
    const std::uint32_t seed = 1000 + static_cast<std::uint32_t>(std::max(i, 0));
    const TShown engine = RunEngineAlone(settings, seed, report);
    home.findChild<QLineEdit*>("SeedEdit")->setText(QString::number(seed));
    const TShown window = ShowOneRun(application, home);
    if (i < 0) continue;
    aloneCpu.push_back(engine.Cpu);
    alone.push_back(engine.Wall);
    shownCpu.push_back(window.Cpu);
    // What the window spent beside the outcome's display, run by run.
    shownOutcome.push_back(OutcomeCost(application.Meter.Cost));
    shownRunning.push_back(window.Cpu - shownOutcome.back());
    shown.push_back(window.Wall);
    for (std::size_t b = 0; b < parts.size(); ++b)
      parts[b].push_back(application.Meter.Cost[b]);
  }
  std::filesystem::remove(report);

  std::array<double, BucketCount> part{};
  for (std::size_t b = 0; b < parts.size(); ++b)
    part[b] = MiddleMean(parts[b]);
  const double engine = MiddleMean(aloneCpu), total = MiddleMean(shownCpu);
  const double outcome = MiddleMean(shownOutcome);
  // Whatever the meter missed (the click's own first instants, the last turn) counts against (a).
  const double running = MiddleMean(shownRunning);
  const auto line = [engine](const char* What, double Seconds) {
    std::printf("  %-52s %8.3f ms  %6.1f%%\n", What, Seconds * 1000, Seconds / engine * 100);
  };

  std::printf("run of %d generations, population %d, other settings default, %d repetitions (%s)\n",
              generations, population, repetitions,
              std::getenv("DISPLAY") != nullptr ? "X display" : "offscreen");
  std::printf("  processor time, mean of the middle half                  ms     of the engine's\n");
  line("engine alone, nothing shown", engine);
  line("window's thread, click to shown and idle", total);
  line("(a) while the run works", running);
  for (const TPrinted& p : RunningParts)
    line(("    " + std::string(p.What)).c_str(), part[p.Bucket]);
  line("(b) final display of the outcome", outcome);
  for (const TPrinted& p : OutcomeParts)
    line(("    " + std::string(p.What)).c_str(), part[p.Bucket]);
  std::printf("  wall clock, mean of the middle half\n");
  std::printf("  %-52s %8.3f ms\n", "engine alone", MiddleMean(alone) * 1000);
  std::printf("  %-52s %8.3f ms\n", "in the window, click to shown and idle", MiddleMean(shown) * 1000);
  for (const auto& [widget, seconds] : application.ByWidget)
    std::printf("  paint %-40s %8.3f ms a run\n", widget.c_str(), seconds * 1000 / (repetitions + 1));
  for (const auto& [type, seconds] : application.ByEvent)
    std::printf("  event %-40s %8.3f ms a run\n", type.c_str(), seconds * 1000 / (repetitions + 1));
  return 0;
}
