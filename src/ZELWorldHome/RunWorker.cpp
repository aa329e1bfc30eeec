#include "ZELWorldHome/RunWorker.h"

#include <exception>
#include <system_error>
#include <utility>

namespace {
using TClock = std::chrono::steady_clock;
// The picture and the labels need no more than this to follow a run smoothly.
constexpr auto SnapshotInterval = std::chrono::milliseconds(33);
} // namespace

TRunWorker::TRunWorker(std::function<void()> WakeWindow) : Wake(std::move(WakeWindow)) {}

TRunWorker::~TRunWorker() {
  Stop();
  {
    std::lock_guard<std::mutex> guard(Lock);
    Quit = true;
  }
  Changed.notify_all();
  if (Thread.joinable()) Thread.join();
}

void TRunWorker::Launch(std::function<void()> Body, bool StartPaused) {
  Join();
  {
    std::lock_guard<std::mutex> guard(Lock);
    Pending = {};
    Paused = StartPaused;
    StopAsked = Blocked = Ended = Failed = false;
    WindowLooks = true;
    StepsAsked = 0;
    NextDue = LastSnapshot = TClock::time_point{};
    Job = std::move(Body);
  }
  Changed.notify_all();
  if (Thread.joinable()) return;
  try {
    Thread = std::thread([this] { Serve(); });
  } catch (const std::system_error& e) {
    // The run ends before it begins, with a message; the window must not wait for it.
    std::function<void()> dropped;
    {
      std::lock_guard<std::mutex> guard(Lock);
      dropped = std::exchange(Job, nullptr);
      Ended = Failed = true;
    }
    dropped = nullptr;
    Post([&](TRunUpdate& U) {
      U.Finished = true;
      U.Error = std::string("Cannot start the run: the system refused a thread (") + e.what() + ")";
    });
  }
}

void TRunWorker::Serve() {
  std::unique_lock<std::mutex> guard(Lock);
  for (;;) {
    Changed.wait(guard, [this] { return Quit || Job; });
    if (!Job) return;
    std::function<void()> body = std::move(Job);
    Job = nullptr;
    guard.unlock();
    try {
      body();
    } catch (const std::exception& e) {
      // The report keeps what was written before; the window reports the error.
      {
        std::lock_guard<std::mutex> failed(Lock);
        Failed = true;
      }
      Post([&](TRunUpdate& U) {
        U.Finished = true;
        U.Error = e.what();
      });
    }
    // What the run held (its report, an experiment it replaced) goes here, not on the window's thread.
    body = nullptr;
    guard.lock();
    Ended = true;
    Changed.notify_all();
  }
}

void TRunWorker::StartRun(std::unique_ptr<TExperiment> Experiment, std::unique_ptr<TRunReport> Report,
                          bool StartPaused) {
  StartSingle(std::move(Experiment), std::move(Report), StartPaused, false);
}

void TRunWorker::ContinueRun(std::unique_ptr<TExperiment> Thawed, std::unique_ptr<TRunReport> Report,
                             bool StartPaused) {
  StartSingle(std::move(Thawed), std::move(Report), StartPaused, true);
}

void TRunWorker::StartSingle(std::unique_ptr<TExperiment> Experiment, std::unique_ptr<TRunReport> Report,
                             bool StartPaused, bool Thawed) {
  Join();
  std::shared_ptr<TExperiment> e(std::move(Experiment));
  std::shared_ptr<TRunReport> r(std::move(Report));
  std::shared_ptr<TExperiment> replaced;
  {
    std::lock_guard<std::mutex> guard(Lock);
    replaced = std::exchange(LastExperiment, e);
  }
  // The experiment replaced is let go on the worker's thread.
  Launch(
      [this, e, r, Thawed, replaced]() mutable {
        replaced.reset();
        RunBody(*e, *r, Thawed);
      },
      StartPaused);
}

void TRunWorker::StartBatch(std::unique_ptr<TBatch> Batch, std::unique_ptr<TBatchReport> Report,
                            bool StartPaused) {
  Join();
  std::shared_ptr<TExperiment> replaced;
  {
    std::lock_guard<std::mutex> guard(Lock);
    replaced = std::exchange(LastExperiment, nullptr);
  }
  std::shared_ptr<TBatch> b(std::move(Batch));
  std::shared_ptr<TBatchReport> r(std::move(Report));
  Launch(
      [this, b, r, replaced]() mutable {
        replaced.reset();
        BatchBody(*b, *r);
      },
      StartPaused);
}

bool TRunWorker::FreezableLocked() const {
  // Blocked in the gate or ended, the worker touches the experiment no more while the lock
  // is held: it needs the lock to leave the gate.
  return LastExperiment && !Failed && (Ended || Blocked);
}

std::optional<TFrozenPopulation> TRunWorker::Freeze() const {
  std::lock_guard<std::mutex> guard(Lock);
  if (!FreezableLocked()) return std::nullopt;
  return LastExperiment->Freeze();
}

bool TRunWorker::CanFreeze() const {
  std::lock_guard<std::mutex> guard(Lock);
  return FreezableLocked();
}

void TRunWorker::RunBody(TExperiment& E, TRunReport& Report, bool Thawed) {
  // A thawed experiment's generation reached was reported by the run that froze it.
  const TGenerationRecord first = Thawed ? TGenerationRecord{} : E.Begin();
  Post([&](TRunUpdate& U) { U.Environment = E.Environment(); });
  Report.WriteHeader(E.Settings());
  if (!Thawed) {
    Report.WriteGeneration(first);
    Post([&](TRunUpdate& U) { U.Generations.push_back(first); });
  }
  const bool stopped = StepUntilDone([&] { return E.Done(); },
                                     [&] {
                                       const TGenerationRecord r = E.Step();
                                       Report.WriteGeneration(r);
                                       std::optional<TDevelopment> best = BestSnapshot(E);
                                       Post([&](TRunUpdate& U) {
                                         U.Generations.push_back(r);
                                         if (best) U.BestSoFar = std::move(best);
                                       });
                                     });
  // A continued run counts its generations on from the one it started from.
  if (stopped) Report.WriteStopped(E.Generation(), E.FirstGeneration() + E.Settings().Generations);
  Report.Close();
  TOutcome outcome = E.Finish();
  Post([&](TRunUpdate& U) {
    U.Finished = true;
    U.Stopped = stopped;
    U.Outcome = std::move(outcome);
  });
}

void TRunWorker::BatchBody(TBatch& B, TBatchReport& Report) {
  B.Begin();
  Post([&](TRunUpdate& U) { U.Environment = B.Experiment().Environment(); });
  Report.WriteHeader(B.Experiment().Settings());
  const bool stopped = StepUntilDone([&] { return B.Done(); },
                                     [&] {
                                       const TRunRecord r = B.StepRun();
                                       Report.WriteRun(r);
                                       std::optional<TDevelopment> best = BestSnapshot(B.Experiment());
                                       Post([&](TRunUpdate& U) {
                                         U.Runs.push_back(r);
                                         if (best) U.BestSoFar = std::move(best);
                                       });
                                     });
  TBatchOutcome outcome = B.Finish();
  // A batch stopped before its first run has no averages to give.
  if (B.Runs() > 0) Report.WriteFooter(outcome);
  if (stopped) Report.WriteStopped(B.Runs());
  Report.Close();
  Post([&](TRunUpdate& U) {
    U.Finished = true;
    U.Stopped = stopped;
    U.Outcome = std::move(outcome.Last);
  });
}

bool TRunWorker::StepUntilDone(const std::function<bool()>& Done, const std::function<void()>& StepOnce) {
  while (!Done()) {
    if (!Gate()) return true;
    StepOnce();
  }
  return false;
}

bool TRunWorker::Gate() {
  std::unique_lock<std::mutex> guard(Lock);
  for (;;) {
    if (StopAsked) return false;
    if (Paused) {
      if (StepsAsked > 0) {
        --StepsAsked;
        break;
      }
      Blocked = true;
      // The window learns that the run now waits for the user.
      const bool wasEmpty = Pending.Empty();
      guard.unlock();
      if (wasEmpty && Wake) Wake();
      guard.lock();
      Changed.wait(guard, [this] { return StopAsked || !Paused || StepsAsked > 0; });
      Blocked = false;
      continue;
    }
    if (Speed > 0 && TClock::now() < NextDue) {
      Changed.wait_until(guard, NextDue);
      continue;
    }
    break;
  }
  if (Speed > 0) NextDue = TClock::now() + std::chrono::microseconds(1000000 / Speed);
  return true;
}

void TRunWorker::Post(const std::function<void(TRunUpdate&)>& Add) {
  bool wake = false;
  {
    std::lock_guard<std::mutex> guard(Lock);
    wake = Pending.Empty() && !WindowLooks;
    Add(Pending);
    // The end is shown at once, not at the window's next turn.
    wake = wake || Pending.Finished;
  }
  if (wake && Wake) Wake();
}

std::optional<TDevelopment> TRunWorker::BestSnapshot(const TExperiment& E) {
  const auto now = TClock::now();
  if (now - LastSnapshot < SnapshotInterval) return std::nullopt;
  LastSnapshot = now;
  return DevelopAgent(E.Population().BestAll, E.Environment());
}

TRunUpdate TRunWorker::TakeUpdate() {
  std::lock_guard<std::mutex> guard(Lock);
  TRunUpdate taken = std::move(Pending);
  Pending = {};
  WindowLooks = false;
  return taken;
}

bool TRunWorker::EndWaiting() const {
  std::lock_guard<std::mutex> guard(Lock);
  return Pending.Finished;
}

bool TRunWorker::NothingWaiting() const {
  std::lock_guard<std::mutex> guard(Lock);
  return Pending.Empty();
}

void TRunWorker::Pause() {
  std::lock_guard<std::mutex> guard(Lock);
  Paused = true;
}

void TRunWorker::Resume() {
  {
    std::lock_guard<std::mutex> guard(Lock);
    Paused = false;
    StepsAsked = 0;
  }
  Changed.notify_all();
}

void TRunWorker::Step() {
  {
    std::lock_guard<std::mutex> guard(Lock);
    if (Paused) ++StepsAsked;
  }
  Changed.notify_all();
}

void TRunWorker::Stop() {
  {
    std::lock_guard<std::mutex> guard(Lock);
    StopAsked = true;
  }
  Changed.notify_all();
}

void TRunWorker::SetSpeed(int PerSecond) {
  {
    std::lock_guard<std::mutex> guard(Lock);
    Speed = PerSecond > 0 ? PerSecond : 0;
    NextDue = TClock::now() +
              (Speed > 0 ? std::chrono::microseconds(1000000 / Speed) : std::chrono::microseconds(0));
  }
  Changed.notify_all();
}

bool TRunWorker::Waiting() const {
  std::lock_guard<std::mutex> guard(Lock);
  return Ended || (Blocked && StepsAsked == 0 && Paused && !StopAsked);
}

void TRunWorker::Join() {
  std::unique_lock<std::mutex> guard(Lock);
  Changed.wait(guard, [this] { return Ended; });
}
