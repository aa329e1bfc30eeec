#pragma once
// A fixed set of worker threads that run one indexed job at a time. Used only for work
// that draws no random numbers, so the number of threads never changes a result.

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class TWorkerPool {
public:
  // Threads <= 0: one per core.
  explicit TWorkerPool(int Threads);
  ~TWorkerPool();
  TWorkerPool(const TWorkerPool&) = delete;
  TWorkerPool& operator=(const TWorkerPool&) = delete;

  int Size() const { return static_cast<int>(Workers.size()) + 1; }
  // Calls Job(part, Size()) for part = 0 .. Size() - 1, the caller's thread taking part 0,
  // and returns when every part is done. An exception of a part is rethrown here.
  void Run(const std::function<void(int Part, int Parts)>& Job);

private:
  void Work(int Part);
  std::vector<std::thread> Workers;
  std::mutex Mutex;
  std::condition_variable Start, Done;
  const std::function<void(int, int)>* Current = nullptr;
  unsigned long long Generation = 0;
  int Pending = 0;
  bool Stopping = false;
  std::exception_ptr Error;
};
