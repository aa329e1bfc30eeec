#include "ZEL/WorkerPool.h"

#include "ZEL/SignalsHeld.h"

#include <chrono>
#include <system_error>

namespace {
std::mutex HandlerMutex;
TWorkerPool::TShortfallHandler ShortfallHandler;

// How long a thread that waits checks for its event before it sleeps: longer than the serial
// work between two generations' jobs at the largest settings (so that a worker is seldom
// woken from sleep within a run), short beside a generation, and bounded, so that an idle
// pool sleeps.
constexpr auto SpinTime = std::chrono::microseconds(200);

// After this much of it, a waiting thread offers its processor to others between looks: on a
// busy machine the thread it waits for may be the one that needs it. Not sooner: where a
// generation takes a fraction of a millisecond (programs scored from the memo), yielding
// after 20 us made two threads slower than one.
constexpr auto YieldAfter = std::chrono::microseconds(100);

// Whether Ready() comes true within the spin time.
template <typename TReady> bool SpinFor(TReady Ready) {
  const auto start = std::chrono::steady_clock::now();
  auto now = start;
  do {
    for (int i = 0; i < 16; ++i) {
      if (Ready()) return true;
#if defined(__x86_64__) || defined(__i386__)
      // Tells the processor this is a wait, so that a thread sharing its core runs at full speed.
      __builtin_ia32_pause();
#endif
    }
    now = std::chrono::steady_clock::now();
    if (now - start > YieldAfter) std::this_thread::yield();
  } while (now - start < SpinTime);
  return false;
}
} // namespace

void TWorkerPool::SetShortfallHandler(TShortfallHandler Handler) {
  std::lock_guard<std::mutex> lock(HandlerMutex);
  ShortfallHandler = std::move(Handler);
}

TWorkerPool::TWorkerPool(int Threads, const TThreadStarter& Starter) : Asked(Threads) {
  if (Threads <= 0) Threads = static_cast<int>(std::thread::hardware_concurrency());
  if (Threads <= 0) Threads = 1;
  Workers.reserve(static_cast<std::size_t>(Threads - 1));
  // Threads started with the signals that end a process held back leave them to the threads
  // that were there before (the one a command runs on): a caller that holds them back for a
  // moment (a report between its cut and its first lines) is then not ended by one taken on a
  // worker instead.
  const TSignalsHeld held(TSignalsHeld::TWhich::Ending);
  try {
    for (int part = 1; part < Threads; ++part) {
      std::function<void()> body = [this, part] { Work(part); };
      Workers.push_back(Starter ? Starter(std::move(body)) : std::thread(std::move(body)));
    }
  } catch (const std::system_error& e) {
    std::lock_guard<std::mutex> lock(HandlerMutex);
    if (ShortfallHandler) ShortfallHandler(Size(), Threads, e.code().message());
  } catch (...) {
    // The destructor does not run for a constructor that throws; the started threads
    // must not outlive the pool they wait in.
    Stop();
    throw;
  }
}

TWorkerPool::~TWorkerPool() {
  Stop();
}

void TWorkerPool::Stop() {
  {
    std::lock_guard<std::mutex> lock(Mutex);
    Stopping = true;
  }
  Start.notify_all();
  for (std::thread& t : Workers)
    t.join();
  Workers.clear();
}

void TWorkerPool::Run(const std::function<void(int, int)>& Job) {
  if (Workers.empty()) {
    Job(0, 1);
    return;
  }
  {
    std::lock_guard<std::mutex> lock(Mutex);
    Current = &Job;
    Pending = static_cast<int>(Workers.size());
    Error = nullptr;
    ++Generation;
  }
  Start.notify_all();
  std::exception_ptr own;
  try {
    Job(0, Size());
  } catch (...) {
    own = std::current_exception();
  }
  SpinFor([this] { return Pending.load(std::memory_order_acquire) == 0; });
  std::unique_lock<std::mutex> lock(Mutex);
  Done.wait(lock, [this] { return Pending == 0; });
  Current = nullptr;
  if (own) std::rethrow_exception(own);
  if (Error) std::rethrow_exception(Error);
}

void TWorkerPool::Work(int Part) {
  unsigned long long seen = 0;
  for (;;) {
    const std::function<void(int, int)>* job;
    {
      SpinFor([&] {
        return Stopping.load(std::memory_order_acquire) || Generation.load(std::memory_order_acquire) != seen;
      });
      std::unique_lock<std::mutex> lock(Mutex);
      Start.wait(lock, [&] { return Stopping || Generation != seen; });
      if (Stopping) return;
      seen = Generation;
      job = Current;
    }
    std::exception_ptr error;
    try {
      (*job)(Part, Size());
    } catch (...) {
      error = std::current_exception();
    }
    std::lock_guard<std::mutex> lock(Mutex);
    if (error && !Error) Error = error;
    if (--Pending == 0) Done.notify_one();
  }
}
