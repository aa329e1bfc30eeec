// The choice between a pool's threads and the calling thread alone, made from the steps' times:
// which way it tries when, what it keeps, and that a population left to choose gives exactly
// what one thread gives while it switches between the two.

#include "ZEL/ThreadChoice.h"
#include "ZEL/ZELAgentPopulation.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {
// The ways (A: all threads, 1: alone) of Steps steps on a machine whose steps take
// Time(step, all), as a string.
std::string Ways(TThreadChoice& C, int Steps, const std::function<std::int64_t(int, bool)>& Time) {
  std::string ways;
  for (int s = 0; s < Steps; ++s) {
    const bool all = C.UseAll();
    ways += all ? 'A' : '1';
    C.Tell(Time(s, all));
  }
  return ways;
}

std::string Repeat(char C, int N) {
  return std::string(static_cast<std::size_t>(N), C);
}
} // namespace

TEST(ThreadChoice, TriesBothWaysAndKeepsTheFaster) {
  const int first = TThreadChoice::FirstSteps;
  // Alone faster (cores far apart): the first steps, a trial of three steps alone, then
  // stretches alone of 64, 128, ... steps up to the longest, each after a trial on all the
  // threads.
  TThreadChoice c;
  const auto far = [](int, bool All) -> std::int64_t { return All ? 190 : 120; };
  std::string expected = Repeat('A', first) + "111";
  for (int stretch : {64, 128, 256, 512, 1024, 1024})
    expected += Repeat('1', stretch) + "AAA";
  EXPECT_EQ(Ways(c, static_cast<int>(expected.size()), far), expected);

  // Then the cores come closer: after the stretch alone, all the threads win the trial and are
  // kept, for a short stretch first; then alone is tried again.
  const auto closer = [](int, bool All) -> std::int64_t { return All ? 100 : 120; };
  EXPECT_EQ(Ways(c, 1024 + 3 + 64 + 3 + 128, closer),
            Repeat('1', 1024) + "AAA" + Repeat('A', 64) + "111" + Repeat('A', 128));
  // Faster by far, all the threads are kept for the longest stretch at once.
  c.Reset();
  const auto close = [](int, bool All) -> std::int64_t { return All ? 100 : 140; };
  EXPECT_EQ(Ways(c, first + 3 + 1024 + 3, close), Repeat('A', first) + "111" + Repeat('A', 1024) + "111");

  // Alone must be a tenth faster to be kept.
  const int steps = first + 3 + 64;
  const std::string keptAll = Repeat('A', first) + "111" + Repeat('A', 64);
  const std::string keptAlone = Repeat('A', first) + "111" + Repeat('1', 64);
  c.Reset();
  EXPECT_EQ(Ways(c, steps, [](int, bool All) -> std::int64_t { return All ? 100 : 91; }), keptAll);
  c.Reset();
  EXPECT_EQ(Ways(c, steps, [](int, bool All) -> std::int64_t { return All ? 100 : 89; }), keptAlone);
  // One step held up (by the system, say) decides nothing, before the trial or in it; nor does
  // the trial's first step, which fetches what the other threads held. A step that would count
  // decides the trial if it is fast enough.
  for (int odd : {first - 2, first - 1, first, first + 1, first + 2})
    for (std::int64_t time : {100000, 1}) {
      const auto machine = [=](int Step, bool All) -> std::int64_t {
        if (Step == odd) return time;
        return All ? 80 : 120;
      };
      c.Reset();
      EXPECT_EQ(Ways(c, steps, machine), time == 1 && odd > first ? keptAlone : keptAll)
          << odd << ' ' << time;
    }
}

// A population left to choose its threads switches between the pool and the calling thread in
// every trial (its second and third steps run alone), whatever the times: each step must give
// what one thread gives. The work (64 agents of 32 blocks over 2048 elements) is just what the
// automatic choice shares among threads; on a machine of one core the pool has one thread and
// there is nothing to choose.
TEST(ThreadChoice, PopulationSwitchingThreadsMatchesOneThread) {
  for (int type = 0; type <= 2; ++type)
    for (bool rates : {false, true}) {
      TRandom r1(500u + static_cast<unsigned>(type)), r2(500u + static_cast<unsigned>(type));
      TZELAgentPopulation chosen(r1, 64, 32, 2048, TReproduction(type));
      TZELAgentPopulation single(r2, 64, 32, 2048, TReproduction(type));
      chosen.SetThreads(0);
      single.SetThreads(1);
      TFuzzySet env;
      env.MakeEnvironment(r1, 2048, true);
      r2.SetSeed(r1.GetSeed());
      chosen.Evaluate(env);
      single.Evaluate(env);
      const TZELAgentPopulation &a = chosen, &b = single;
      for (int g = 0; g < TThreadChoice::FirstSteps + 8; ++g) {
        chosen.NextGeneration(r1, rates, {0.9, 0.01, 0.05}, &env);
        single.NextGeneration(r2, rates, {0.9, 0.01, 0.05}, &env);
        ASSERT_EQ(r1.GetSeed(), r2.GetSeed());
        for (int i = 0; i < a.Count(); ++i) {
          ASSERT_EQ(a.Agent(i).ZEL, b.Agent(i).ZEL) << "type " << type << " rates " << rates << " step " << g;
          ASSERT_EQ(a.Agent(i).Chromosome, b.Agent(i).Chromosome);
          ASSERT_EQ(a.Agent(i).Fitness, b.Agent(i).Fitness) << "agent " << i << " step " << g;
        }
        chosen.UpdateStatistics();
        single.UpdateStatistics();
        ASSERT_EQ(chosen.FitnessSum, single.FitnessSum);
      }
    }
}
