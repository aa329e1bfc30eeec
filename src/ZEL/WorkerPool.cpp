#include "ZEL/WorkerPool.h"

TWorkerPool::TWorkerPool(int Threads) {
  if (Threads <= 0) Threads = static_cast<int>(std::thread::hardware_concurrency());
  if (Threads <= 0) Threads = 1;
  for (int part = 1; part < Threads; ++part)
    Workers.emplace_back([this, part] { Work(part); });
}

TWorkerPool::~TWorkerPool() {
  {
    std::lock_guard<std::mutex> lock(Mutex);
    Stopping = true;
  }
  Start.notify_all();
  for (std::thread& t : Workers)
    t.join();
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
