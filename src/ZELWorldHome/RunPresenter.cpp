#include "ZELWorldHome/RunPresenter.h"

#include "Experiment/ReportFormat.h"
#include "ZELList/ZELList.h"
#include "ZELWorldHome/ControlKit.h"
#include "ZELWorldHome/DialogService.h"
#include "ZELWorldHome/QtDisplay.h"
#include "ZELWorldHome/ResultsPanel.h"

#include <QEventLoop>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <array>
#include <ctime>
#include <stdexcept>

namespace {
// A run shows itself at most this often.
constexpr auto ShowInterval = std::chrono::milliseconds(33);
// And so seldom that its frames take at most this share of the window's time: a frame that cost
// more than a twentieth of the interval (a long chart, a large window) spaces out the next one.
constexpr int ShowShare = 20;

// The processor time of the calling thread.
std::chrono::nanoseconds ThreadTime() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
}
} // namespace

TRunPresenter::TRunPresenter(TResultsPanel& Results, TEvolProgressBar& Progress, TZELListForm& List,
                             TDialogService& Dialogs, QWidget& Window)
    : Results(Results), Progress(Progress), List(List), Dialogs(Dialogs), Window(Window) {
  ShowTimer = new QTimer(this);
  ShowTimer->setObjectName("ShowTimer");
  ShowTimer->setSingleShot(true);
  connect(ShowTimer, &QTimer::timeout, this, &TRunPresenter::ShowWorkerUpdate);
  // The worker only posts; the update is taken and shown on this thread.
  Worker = std::make_unique<TRunWorker>([this] {
    QMetaObject::invokeMethod(
        this, [this] { WorkerWoke(); }, Qt::QueuedConnection);
  });
}

TRunPresenter::~TRunPresenter() {
  Worker.reset();
}

void TRunPresenter::StartRun(std::unique_ptr<TExperiment> Experiment, std::unique_ptr<TReportWriter> Report,
                             TShownRun Run, bool StartPaused, int Speed) {
  ShowStart(*Experiment, std::move(Run), StartPaused, Speed);
  Worker->StartRun(std::move(Experiment), std::move(Report), StartPaused);
}

void TRunPresenter::ContinueRun(std::unique_ptr<TExperiment> Thawed, std::unique_ptr<TReportWriter> Report,
                                TShownRun Run, bool StartPaused, int Speed) {
  ShowStart(*Thawed, std::move(Run), StartPaused, Speed);
  Worker->ContinueRun(std::move(Thawed), std::move(Report), StartPaused);
}

void TRunPresenter::StartBatch(std::unique_ptr<TBatch> Batch, std::unique_ptr<TReportWriter> Report,
                               TShownRun Run, bool StartPaused, int Speed) {
  ShowStart(Batch->Experiment(), std::move(Run), StartPaused, Speed);
  Worker->StartBatch(std::move(Batch), std::move(Report), StartPaused);
}

void TRunPresenter::ShowStart(const TExperiment& E, TShownRun Run, bool StartPaused, int Speed) {
  const TObserved observed(*this, TShowPart::Start);
  if (RunActive) throw std::logic_error("An experiment is already running");
  TPendingStart start;
  for (const TCorrection& c : E.Corrections())
    start.Status += (start.Status.empty() ? "" : "; ") + c.Parameter + " " + ShortestReal(c.Given) +
                    " is outside 0..1; the run uses " + ShortestReal(c.Used);
  start.SeedText = Run.SeedText;
  Current = std::move(Run);
  BestTexts.clear();
  Paused = StartPaused;
  // The window shows the start with the run's first frame, a frame's time from now (or with
  // its outcome, if it is over by then), so that a short run is painted once, at its end.
  PendingStart = std::move(start);
  LastShown = std::chrono::steady_clock::now();
  ShowEvery = ShowInterval;
  LastShownCost = ThreadTime();
  ShowTimer->start(ShowInterval);
  Worker->SetSpeed(Speed);
  SetRunning(true);
}

void TRunPresenter::ShowPendingStart(bool Outcome) {
  if (!PendingStart) return;
  // Shown with the outcome, the start is part of the outcome's display.
  const TObserved observed(*this, Outcome ? TShowPart::Outcome : TShowPart::Start);
  const TPendingStart start = std::move(*PendingStart);
  PendingStart.reset();
  // A run shown only by its outcome leaves the list window up for the outcome to fill.
  if (!Outcome) List.hide();
  emit statusChanged(ToQString(start.Status));
  Results.BeginRun(Current.Settings, Current.Seed, Current.Batch, Current.FirstGeneration);
  // Until the run has a best agent, the labels show none.
  Results.ResetMeasures(Current.FirstGeneration);
  emit seedShown(ToQString(start.SeedText));
  Progress.setVisible(true);
  Progress.setMinimum(1);
  Progress.setMaximum(Current.Batch ? BatchRunCount : Current.FirstGeneration + Current.Settings.Generations);
  if (Current.Batch) Progress.SetPosition(1);
  if (!Outcome) ShowProgress(Current.Batch ? 0 : Current.FirstGeneration);
  if (!Outcome) ShowControlsOff(true);
}

void TRunPresenter::SetRunning(bool Running) {
  const TObserved observed(*this, TShowPart::Controls);
  RunActive = Running;
  // While a run works only the run controls answer. The panels and the commands are turned
  // off, and Stop and Step on, with the run's first frame: a run over before then changes no
  // control. Until then the panels take no input and the commands do nothing.
  if (!Running) ShowControlsOff(false);
  emit runningChanged(Running);
}

void TRunPresenter::ShowControlsOff(bool Off) {
  if (ControlsOff == Off) return;
  ControlsOff = Off;
  emit controlsShownOff(Off);
}

void TRunPresenter::SetPaused(bool Pause) {
  Paused = Pause;
  if (Pause)
    Worker->Pause();
  else
    Worker->Resume();
}

void TRunPresenter::Step() {
  if (RunActive) Worker->Step();
}

void TRunPresenter::Stop() {
  if (RunActive) Worker->Stop();
}

void TRunPresenter::SetSpeed(int PerSecond) {
  Worker->SetSpeed(PerSecond);
}

void TRunPresenter::StopAndWait() {
  if (!RunActive) return;
  Worker->Stop();
  Worker->Join();
}

std::optional<TFrozenPopulation> TRunPresenter::Freeze() const {
  if (Current.Batch) return std::nullopt;
  return Worker->Freeze();
}

bool TRunPresenter::HasPopulation() const {
  return RunActive ? !Current.Batch && Paused : Worker->CanFreeze();
}

void TRunPresenter::WorkerWoke() {
  if (!RunActive) return;
  const auto since = std::chrono::steady_clock::now() - LastShown;
  // The end of a run is shown at once; everything else waits for its turn.
  if (since >= ShowEvery || Worker->EndWaiting()) {
    ShowWorkerUpdate();
  } else if (!ShowTimer->isActive()) {
    ShowTimer->start(std::chrono::duration_cast<std::chrono::milliseconds>(ShowEvery - since));
  }
}

void TRunPresenter::ShowWorkerUpdate() {
  ShowTimer->stop();
  if (!RunActive) return;
  LastShown = std::chrono::steady_clock::now();
  // What the window's thread spent since the frame before: that frame, painted and laid out.
  const auto spent = ThreadTime() - LastShownCost;
  LastShownCost += spent;
  ShowEvery = std::max<std::chrono::steady_clock::duration>(ShowInterval, spent * ShowShare);
  TRunUpdate update = Worker->TakeUpdate();
  ShowPendingStart(update.Finished && update.Error.empty());
  ShowRecords(update);
  if (update.Finished) FinishRun(update);
  if (IdleLoop != nullptr && Idle()) IdleLoop->quit();
}

void TRunPresenter::ShowRecords(TRunUpdate& U) {
  // The outcome, shown next, draws the picture and sets the bar and the labels itself; the
  // records that come with it are part of its display.
  const bool outcomeFollows = U.Finished && U.Error.empty();
  const TObserved observed(*this, outcomeFollows ? TShowPart::Outcome : TShowPart::Records);
  // Until the best so far is drawn over it, and while the message naming the report waits,
  // the picture shows the environment alone.
  if (U.Environment) Results.ShowEnvironment(std::move(*U.Environment));
  std::array<std::vector<double>, 2> points;
  for (TGenerationRecord& r : U.Generations) {
    points[0].push_back(r.Fitness);
    points[1].push_back(r.GenotypeRatio);
    BestTexts.push_back(std::move(r.BestText));
  }
  for (TRunRecord& r : U.Runs) {
    points[0].push_back(r.Fitness);
    points[1].push_back(r.GenotypeRatio);
    BestTexts.push_back(std::move(r.BestText));
  }
  Results.AppendPoints(points[0], points[1]);
  if (outcomeFollows) return;
  // Generation 0 leaves the bar where it was; every later generation (every run) moves it.
  if (!U.Generations.empty() && U.Generations.back().Generation > 0)
    Progress.SetPosition(U.Generations.back().Generation);
  if (!U.Runs.empty()) Progress.SetPosition(U.Runs.back().Run + 1);
  if (!U.Generations.empty()) {
    Results.ShowGeneration(U.Generations.back().Generation);
    ShowProgress(U.Generations.back().Generation);
  }
  if (!U.Runs.empty()) {
    Results.ShowGeneration(U.Runs.back().Run);
    ShowProgress(U.Runs.back().Run);
  }
  if (U.BestSoFar) Results.ShowBestSoFar(std::move(*U.BestSoFar));
}

void TRunPresenter::FinishRun(TRunUpdate& U) {
  Worker->Join();
  SetRunning(false);
  const TObserved observed(*this, TShowPart::Outcome);
  if (!U.Error.empty()) {
    // The report keeps what was written before the failure; the list stays hidden.
    List.hide();
    Dialogs.ShowError(U.Error);
    return;
  }
  const TOutcome& outcome = *U.Outcome;
  if (U.Stopped) {
    const std::string where =
        Current.Batch
            ? "after run " + std::to_string(BestTexts.size()) + " of " + std::to_string(BatchRunCount)
            : "after generation " + std::to_string(outcome.Generations) + " of " +
                  std::to_string(Current.FirstGeneration + Current.Settings.Generations);
    emit statusChanged(ToQString("Stopped " + where));
  }
  // While the message waits, the bar shows how far the run came.
  const int done = Current.Batch ? static_cast<int>(BestTexts.size()) : outcome.Generations;
  Progress.SetPosition(done);
  Progress.SetText(Current.Batch ? QString("run %1 of %2").arg(done).arg(BatchRunCount)
                                 : QString("generation %1 of %2")
                                       .arg(done)
                                       .arg(Current.FirstGeneration + Current.Settings.Generations));
  Dialogs.ShowMessage("Your Report on file " + Current.FileName);
  Progress.SetPosition(1);
  Progress.SetText("");
  List.Clear();
  List.SetNumbering(Current.Batch ? TZELListForm::TUnit::Run : TZELListForm::TUnit::Generation,
                    Current.FirstGeneration > 0 ? Current.FirstGeneration + 1 : 0);
  for (const std::string& text : BestTexts)
    List.Append(text);
  List.FitToEntries();
  // The first time beside the main window rather than over it.
  if (!ListPlaced) List.move(Window.frameGeometry().topRight() + QPoint(8, 0));
  ListPlaced = true;
  // A list left up by a run shown only by its outcome comes to the front, as it does when
  // shown again after a run that hid it.
  if (List.isVisible())
    List.raise();
  else
    List.show();
  // A stopped or continued run shows the generation it reached; a batch always completes its runs.
  Results.ShowDevelopment(outcome.Best, Current.Batch || (!U.Stopped && Current.FirstGeneration == 0)
                                            ? Current.Settings.Generations
                                            : outcome.Generations);
}

void TRunPresenter::ShowProgress(int Done) {
  // A batch names the run at work, a run the generation reached.
  const int last = Current.FirstGeneration + Current.Settings.Generations;
  Progress.SetText(Current.Batch
                       ? QString("run %1 of %2").arg(std::min(Done + 1, BatchRunCount)).arg(BatchRunCount)
                       : QString("generation %1 of %2").arg(Done).arg(last));
}

bool TRunPresenter::Idle() const {
  return !RunActive || (Worker->Waiting() && Worker->NothingWaiting() && !ShowTimer->isActive());
}

void TRunPresenter::WaitForRun() {
  while (!Idle()) {
    QEventLoop loop;
    IdleLoop = &loop;
    // A paused run that has posted nothing new is found idle by looking again. A run that
    // is not paused wakes the window with its end.
    if (Paused) QTimer::singleShot(20, &loop, &QEventLoop::quit);
    loop.exec();
    IdleLoop = nullptr;
  }
}
