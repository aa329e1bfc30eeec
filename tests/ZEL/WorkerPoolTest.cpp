// The worker pool when the system refuses threads: it goes on with those it has.

#include "ZEL/WorkerPool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <new>
#include <pthread.h>
#include <system_error>

namespace {
// Starts Allowed threads, then fails as the system does under a process limit (or, with
// Other, as an allocation would).
TWorkerPool::TThreadStarter FailingAfter(int Allowed, bool Other = false) {
  auto started = std::make_shared<int>(0);
  return [=](std::function<void()> Body) {
    if (*started == Allowed) {
      if (Other) throw std::bad_alloc();
      throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    }
    ++*started;
    return std::thread(std::move(Body));
  };
}

struct THandler {
  THandler() {
    TWorkerPool::SetShortfallHandler([this](int S, int W, const std::string& R) {
      Started = S;
      Wanted = W;
      Reason = R;
    });
  }
  ~THandler() { TWorkerPool::SetShortfallHandler({}); }
  int Started = 0, Wanted = 0;
  std::string Reason;
};
} // namespace

TEST(WorkerPool, RefusedThreadsLeaveAPoolOfThoseStartedThatDoesEveryPart) {
#ifdef __EMSCRIPTEN__
  GTEST_SKIP() << "this build has no threads: every pool works on the calling thread";
#endif
  for (int allowed : {0, 1, 2}) {
    THandler handler;
    TWorkerPool pool(4, FailingAfter(allowed));
    EXPECT_EQ(pool.Size(), allowed + 1);
    EXPECT_EQ(handler.Started, allowed + 1);
    EXPECT_EQ(handler.Wanted, 4);
    EXPECT_EQ(handler.Reason, std::make_error_code(std::errc::resource_unavailable_try_again).message());
    for (int round = 0; round < 3; ++round) {
      std::vector<std::atomic<int>> calls(static_cast<std::size_t>(pool.Size()));
      pool.Run([&](int Part, int Parts) {
        EXPECT_EQ(Parts, pool.Size());
        ++calls[static_cast<std::size_t>(Part)];
      });
      for (const auto& c : calls)
        EXPECT_EQ(c.load(), 1) << "allowed " << allowed;
    }
  }
  // A pool that gets every thread says nothing.
  THandler handler;
  TWorkerPool full(3, FailingAfter(2));
  EXPECT_EQ(full.Size(), 3);
  EXPECT_EQ(handler.Wanted, 0);
}

TEST(WorkerPool, AnyOtherFailureJoinsTheStartedThreadsAndPassesOn) {
#ifdef __EMSCRIPTEN__
  GTEST_SKIP() << "this build has no threads: every pool works on the calling thread";
#endif
  EXPECT_THROW(TWorkerPool(4, FailingAfter(2, true)), std::bad_alloc);
}

// The workers leave the signals that end a process to the threads that were there before
// them, the caller's among them.
TEST(WorkerPool, WorkersLeaveEndingSignalsToTheCaller) {
#ifdef __EMSCRIPTEN__
  GTEST_SKIP() << "this build has no threads";
#endif
  TWorkerPool pool(3);
  ASSERT_EQ(pool.Size(), 3);
  std::atomic<int> held[3] = {-1, -1, -1};
  pool.Run([&](int Part, int) {
    sigset_t now;
    pthread_sigmask(SIG_BLOCK, nullptr, &now);
    held[Part] = sigismember(&now, SIGINT) + sigismember(&now, SIGTERM);
  });
  EXPECT_EQ(held[0], 0) << "the caller's own mask is as it was";
  EXPECT_EQ(held[1], 2);
  EXPECT_EQ(held[2], 2);
}
