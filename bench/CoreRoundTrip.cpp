// How long a cache line takes to go from one core to another and back: two threads, each held
// to one of the first two processors this process may use, hand a counter to each other.
// Prints the median of several rounds in nanoseconds, or says why it could not measure.
// On a virtual machine the figure tells where the host has placed the two cores for now (on
// the development machine about 55 ns when close, 330 ns when far apart), which decides what
// a second thread is worth to a short generation step.

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace {
bool HoldTo(int Cpu) {
  cpu_set_t set;
  CPU_ZERO(&set);
  CPU_SET(Cpu, &set);
  return pthread_setaffinity_np(pthread_self(), sizeof set, &set) == 0;
}
} // namespace

int main() {
  cpu_set_t allowed;
  CPU_ZERO(&allowed);
  if (sched_getaffinity(0, sizeof allowed, &allowed) != 0) {
    std::fprintf(stderr, "core_round_trip: the processors this process may use are unknown\n");
    return 1;
  }
  std::vector<int> cpus;
  for (int c = 0; c < CPU_SETSIZE && cpus.size() < 2; ++c)
    if (CPU_ISSET(c, &allowed)) cpus.push_back(c);
  if (cpus.size() < 2) {
    std::fprintf(stderr, "core_round_trip: this process may use one processor only\n");
    return 1;
  }
  alignas(64) static std::atomic<int> turn{0};
  constexpr int trips = 20000, rounds = 7;
  std::vector<double> ns;
  for (int r = 0; r < rounds; ++r) {
    turn.store(0);
    bool held = true;
    std::thread other([&] {
      held = HoldTo(cpus[1]);
      for (int i = 0; i < trips; ++i) {
        while (turn.load(std::memory_order_acquire) != 2 * i + 1) {
        }
        turn.store(2 * i + 2, std::memory_order_release);
      }
    });
    const bool mine = HoldTo(cpus[0]);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < trips; ++i) {
      turn.store(2 * i + 1, std::memory_order_release);
      while (turn.load(std::memory_order_acquire) != 2 * i + 2) {
      }
    }
    const auto end = std::chrono::steady_clock::now();
    other.join();
    if (!mine || !held) {
      std::fprintf(stderr, "core_round_trip: a thread could not be held to its processor\n");
      return 1;
    }
    ns.push_back(std::chrono::duration<double, std::nano>(end - start).count() / trips);
  }
  std::sort(ns.begin(), ns.end());
  std::printf("%.0f\n", ns[ns.size() / 2]);
  return 0;
}
