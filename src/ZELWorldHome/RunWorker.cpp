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

void TRunWorker::StartRun(std::unique_ptr<TExperiment> Experiment, std::unique_ptr<TReportWriter> Report,
                          bool StartPaused) {
  StartSingle(std::move(Experiment), std::move(Report), StartPaused, false);
}

void TRunWorker::ContinueRun(std::unique_ptr<TExperiment> Thawed, std::unique_ptr<TReportWriter> Report,
                             bool StartPaused) {
  StartSingle(std::move(Thawed), std::move(Report), StartPaused, true);
}

void TRunWorker::StartSingle(std::unique_ptr<TExperiment> Experiment, std::unique_ptr<TReportWriter> Report,
                             bool StartPaused, bool Thawed) {
  Join();
  std::shared_ptr<TExperiment> e(std::move(Experiment));
  std::shared_ptr<TReportWriter> r(std::move(Report));
  std::shared_ptr<TExperiment> replaced;
  {
    std::lock_guard<std::mutex> guard(Lock);
    replaced = std::exchange(LastExperiment, e);
  }
  // The experiment replaced is let go on the worker's thread.
  Launch(
      [this, e, r, Thawed, replaced]() mutable {
        replaced.reset();
        TRunLoop(*e, Thawed, {r->Observer(), Poster(*e)}).Run([this] { return Gate(); });
      },
      StartPaused);
}

void TRunWorker::StartBatch(std::unique_ptr<TBatch> Batch, std::unique_ptr<TReportWriter> Report,
                            bool StartPaused) {
  Join();
  std::shared_ptr<TExperiment> replaced;
  {
    std::lock_guard<std::mutex> guard(Lock);
    replaced = std::exchange(LastExperiment, nullptr);
  }
  std::shared_ptr<TBatch> b(std::move(Batch));
  std::shared_ptr<TReportWriter> r(std::move(Report));
  Launch(
      [this, b, r, replaced]() mutable {
        replaced.reset();
        TRunLoop(*b, {r->Observer(), Poster(b->Experiment())}).Run([this] { return Gate(); });
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

TRunObserver TRunWorker::Poster(const TExperiment& E) {
  TRunObserver o;
  o.Began = [this](const TRunStart& S) { Post([&](TRunUpdate& U) { U.Environment = S.Environment; }); };
  // The record of the generation a run begins with comes before any best so far is shown.
  o.Generation = [this, &E](const TGenerationRecord& R) {
    std::optional<TDevelopment> best;
    if (R.Generation > E.FirstGeneration()) best = BestSnapshot(E);
    Post([&](TRunUpdate& U) {
      U.Generations.push_back(R);
      if (best) U.BestSoFar = std::move(best);
    });
  };
  o.Run = [this, &E](const TRunRecord& R) {
    std::optional<TDevelopment> best = BestSnapshot(E);
    Post([&](TRunUpdate& U) {
      U.Runs.push_back(R);
      if (best) U.BestSoFar = std::move(best);
    });
  };
  o.Ended = [this](const TRunEnd& End) {
    Post([&](TRunUpdate& U) {
      U.Finished = true;
      U.Stopped = End.Stopped;
      U.Outcome = End.Outcome;
    });
  };
  return o;
}

TGateAnswer TRunWorker::Gate() {
  std::unique_lock<std::mutex> guard(Lock);
  for (;;) {
    if (StopAsked) return TGateAnswer::Stop;
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
  return TGateAnswer::Go;
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
