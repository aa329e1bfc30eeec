#pragma once
// A fixed set of worker threads that run one indexed job at a time. Used only for work
// that draws no random numbers, so the number of threads never changes a result.

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TWorkerPool {
public:
  // Starts one thread running Body; throws std::system_error when the system refuses it.
  using TThreadStarter = std::function<std::thread(std::function<void()> Body)>;
  // Told how many threads a pool has (the caller's included) when it wanted more.
  using TShortfallHandler = std::function<void(int Started, int Wanted, const std::string& Reason)>;

  // Threads <= 0: one per core. Threads the system refuses are not an error: the pool
  // goes on with those it has, at the least the caller's own, and says so to the
  // shortfall handler. The starter is replaceable for tests.
  explicit TWorkerPool(int Threads, const TThreadStarter& Starter = {});
  ~TWorkerPool();
  TWorkerPool(const TWorkerPool&) = delete;
  TWorkerPool& operator=(const TWorkerPool&) = delete;

  int Size() const { return static_cast<int>(Workers.size()) + 1; }
  // The number of threads asked for when the pool was made (<= 0: one per core).
  int Wanted() const { return Asked; }
  // Calls Job(part, Size()) for part = 0 .. Size() - 1, the caller's thread taking part 0,
  // and returns when every part is done. An exception of a part is rethrown here.
  void Run(const std::function<void(int Part, int Parts)>& Job);

  // One handler for the process; the engine itself prints nothing. Empty: nobody is told.
  static void SetShortfallHandler(TShortfallHandler Handler);

private:
  void Work(int Part);
  void Stop();
  std::vector<std::thread> Workers;
  int Asked = 0;
  std::mutex Mutex;
  std::condition_variable Start, Done;
  const std::function<void(int, int)>* Current = nullptr;
  // Changed under the mutex, read without it while a thread waits briefly before sleeping.
  std::atomic<unsigned long long> Generation{0};
  std::atomic<int> Pending{0};
  std::atomic<bool> Stopping{false};
  std::exception_ptr Error;
};
