// The fitness memo: a program is known by exactly what development reads of it, the memo
// forgets what is no longer met, rests where programs seldom recur, and threads share it.

#include "ZEL/FitnessMemo.h"
#include "FuzzySet/Random.h"
#include "ZEL/ZELAgentPopulation.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {
TZEL Program(std::initializer_list<TFuzzyBlock> Blocks) {
  TZEL z;
  for (TFuzzyBlock b : Blocks)
    z.Add(b);
  return z;
}

TZEL RandomProgram(TRandom& R, int Blocks) {
  TZEL z;
  for (int i = 0; i < Blocks; ++i) {
    TFuzzyBlock b{RandomInt(R, 0, 15), RandomInt(R, 0, 15), RandomInt(R, 0, 7), RandomInt(R, 0, 7),
                  RandomInt(R, 0, 15)};
    z.Add(b);
  }
  return z;
}

// The fitness the tests note for a program: any value 0..255 that differs between programs.
std::int32_t FitnessOf(const TProgramKey& Key) {
  return static_cast<std::int32_t>(Key.Hash % 251);
}
} // namespace

TEST(FitnessMemo, KeysTellApartWhatDevelopmentTellsApart) {
  const TFuzzyBlock zero{}, a{3, 4, 5, 6, 7}, b{15, 15, 7, 7, 15};
  TFitnessMemo memo(10, 32);
  const TZEL ab = Program({a, b});
  memo.Insert(TProgramKey(ab, 2), 42);
  EXPECT_EQ(memo.Find(TProgramKey(Program({a, b}), 2)), 42);
  // Only the blocks developed count: the program's length caps the count asked for, and
  // blocks beyond the count are not read.
  EXPECT_EQ(memo.Find(TProgramKey(ab, 5)), 42);
  EXPECT_EQ(memo.Find(TProgramKey(Program({a, b, zero}), 2)), 42);
  // A trailing all-zero block is a block all the same; order matters; one field matters.
  EXPECT_EQ(memo.Find(TProgramKey(Program({a, b, zero}), 3)), -1);
  EXPECT_EQ(memo.Find(TProgramKey(Program({b, a}), 2)), -1);
  EXPECT_EQ(memo.Find(TProgramKey(Program({a, TFuzzyBlock{15, 15, 7, 7, 14}}), 2)), -1);
  EXPECT_EQ(memo.Find(TProgramKey(ab, 1)), -1);
  EXPECT_EQ(memo.Find(TProgramKey(ab, 0)), -1);

  // Every field of every block of a 32-block program, across the words the codes share.
  TRandom r(5);
  const TZEL full = RandomProgram(r, 32);
  memo.Insert(TProgramKey(full, 32), 7);
  for (int i = 0; i < 32; ++i)
    for (int field = 0; field < 5; ++field) {
      TZEL changed;
      for (int k = 0; k < 32; ++k) {
        TFuzzyBlock blk = full.Block(k);
        if (k == i) {
          std::int32_t* f[] = {&blk.Shape, &blk.Position, &blk.Spread, &blk.Periods, &blk.Operator};
          *f[field] ^= field == 2 || field == 3 ? 4 : 8; // the field's highest bit
        }
        changed.Add(blk);
      }
      ASSERT_EQ(memo.Find(TProgramKey(changed, 32)), -1) << "block " << i << " field " << field;
    }
  EXPECT_EQ(memo.Find(TProgramKey(full, 32)), 7);

  // Two programs whose hashes agree are still told apart.
  TProgramKey forged(Program({b, b}), 2);
  forged.Hash = TProgramKey(ab, 2).Hash;
  EXPECT_EQ(memo.Find(forged), -1);
  // Nor does a trailing all-zero block go unseen when the hashes agree.
  TProgramKey longer(Program({a, b, zero}), 3);
  longer.Hash = TProgramKey(ab, 2).Hash;
  EXPECT_EQ(memo.Find(longer), -1);
  // A memo made for fewer blocks keeps no longer programs.
  TFitnessMemo small(10, 1);
  small.Insert(TProgramKey(ab, 2), 9);
  EXPECT_EQ(small.Find(TProgramKey(ab, 2)), -1);
}

TEST(FitnessMemo, ProgramsInUseStayKnownOthersAreForgotten) {
  TRandom r(11);
  TFitnessMemo memo(100, 8);
  const int fill = memo.Capacity() * 3 / 5 + 1; // enough to start a new table
  const TProgramKey kept(RandomProgram(r, 8), 8), dropped(RandomProgram(r, 8), 8);
  memo.Insert(kept, 1);
  memo.Insert(dropped, 2);
  for (int round = 0; round < 6; ++round) {
    memo.Reserve(fill);
    ASSERT_EQ(memo.Find(kept), 1) << round;
  }
  EXPECT_EQ(memo.Find(dropped), -1);
  // However many programs pass through, each table keeps its size; a crowded one leaves
  // programs unnoted rather than growing.
  int found = 0;
  const int passing = 20 * memo.Capacity();
  for (int i = 0; i < passing; ++i) {
    if (i % 100 == 0) {
      if (i > 0) memo.Tell(100, 0);
      memo.Reserve(100);
    }
    const TProgramKey k(RandomProgram(r, 8), 8);
    memo.Insert(k, FitnessOf(k));
    const std::int32_t f = memo.Find(k);
    ASSERT_TRUE(f == -1 || f == FitnessOf(k));
    found += f == FitnessOf(k);
  }
  EXPECT_GT(found, passing * 99 / 100);
  // Passes of many scorings but few lookups (most fitness carried over) fill the tables by
  // their lookups only: a program met once stays known for many such passes.
  TFitnessMemo settled(100, 8);
  const TProgramKey once(RandomProgram(r, 8), 8);
  settled.Insert(once, 4);
  for (int pass = 0; pass < 40; ++pass) {
    settled.Reserve(100);
    for (int i = 0; i < 5; ++i) {
      const TProgramKey k(RandomProgram(r, 8), 8);
      if (settled.Find(k) < 0) settled.Insert(k, FitnessOf(k));
    }
    settled.Tell(5, 0);
  }
  EXPECT_EQ(settled.Find(once), 4);
  TFitnessMemo crowded(1, 8);
  int noted = 0;
  for (int i = 0; i < 4 * crowded.Capacity(); ++i) {
    const TProgramKey k(RandomProgram(r, 8), 8);
    crowded.Insert(k, 3);
    noted += crowded.Find(k) == 3;
  }
  EXPECT_GT(noted, crowded.Capacity() / 2);
  EXPECT_LE(noted, crowded.Capacity());
}

TEST(FitnessMemo, RestsWhereProgramsSeldomRecur) {
  TFitnessMemo memo(10, 8);
  // The first pass only fills the memo; a pass of few hits then rests it for one pass, the
  // next such for two, and so on; a pass of enough hits shortens the rest again.
  EXPECT_TRUE(memo.InUse());
  memo.Tell(100, 0);
  EXPECT_TRUE(memo.InUse());
  std::vector<bool> use;
  for (int pass = 0; pass < 12; ++pass) {
    memo.Tell(memo.InUse() ? 100 : 0, 0);
    use.push_back(memo.InUse());
  }
  EXPECT_EQ(use, (std::vector<bool>{false, true, true, false, false, true, true, false, false, false, false,
                                    true}));
  memo.Tell(100, 0); // the pass after a rest is not judged
  memo.Tell(100, 20);
  EXPECT_TRUE(memo.InUse());
  memo.Tell(100, 19);
  EXPECT_FALSE(memo.InUse());
  memo.Tell(0, 0);
  EXPECT_TRUE(memo.InUse());
}

// Threads look up and note overlapping programs at once: every answer is the program's own.
TEST(FitnessMemo, SharedByThreads) {
#ifdef __EMSCRIPTEN__
  GTEST_SKIP() << "this build has no threads";
#endif
  TRandom r(23);
  std::vector<TProgramKey> keys;
  for (int i = 0; i < 3000; ++i)
    keys.emplace_back(RandomProgram(r, 1 + i % 32), 32);
  TFitnessMemo memo(1000, 32);
  std::atomic<int> wrong{0}, hits{0};
  for (int round = 0; round < 3; ++round) {
    memo.Reserve(2000);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
      threads.emplace_back([&, t] {
        for (int i = 0; i < 1000; ++i) {
          const TProgramKey& k = keys[static_cast<std::size_t>((i * 7 + t * 331 + round * 500) % 3000)];
          const std::int32_t f = memo.Find(k);
          if (f >= 0) {
            ++hits;
            if (f != FitnessOf(k)) ++wrong;
          } else {
            memo.Insert(k, FitnessOf(k));
          }
        }
      });
    for (std::thread& t : threads)
      t.join();
    memo.Tell(4000, hits);
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_GT(hits, 1000);
}

// A population scores against the environment it is given: a new environment of the same
// size is never answered from what the memo knew of the old one, nor from the fitness that
// the parents had in it; an agent handed out for change is scored again, whatever its
// fitness says. Without mutation most children copy a parent; with it some differ from one
// in a single bit, the last of a chromosome among them (six blocks leave half a byte unused).
TEST(FitnessMemo, PopulationForgetsAnotherEnvironment) {
  for (int threads : {1, 2})
    for (double mutation : {0.0, 0.01}) {
      TRandom r(31);
      TZELAgentPopulation p(r, 40, 6, 64, TReproduction::Genotype);
      const TZELAgentPopulation& scored = p; // read without handing agents out for change
      p.SetThreads(threads);
      TFuzzySet fixed, random;
      fixed.MakeEnvironment(r, 64, false);
      random.MakeEnvironment(r, 64, true);
      p.Evaluate(fixed);
      int round = 0;
      for (const TFuzzySet* env : {&fixed, &random, &fixed}) {
        // The step into a new environment follows one scored in the old.
        for (int g = 0; g < 4; ++g) {
          p.UpdateStatistics();
          p.NextGeneration(r, false, {1.0, mutation, 0.0}, env);
          if (round == 2 && g == 1)
            for (int i = 0; i < p.Count(); ++i)
              p.Agent(i).Fitness = 255;
        }
        TFuzzySet developed;
        for (int i = 0; i < p.Count(); ++i) {
          TZELAgent literal = scored.Agent(i);
          literal.Develop(developed);
          literal.Evaluate(developed, *env);
          ASSERT_EQ(scored.Agent(i).Fitness, literal.Fitness)
              << "threads " << threads << " mutation " << mutation << " agent " << i;
        }
        ++round;
      }
      // The elite's children repeat programs: some took a parent's fitness.
      EXPECT_GT(p.MemoCounts().Carried, 0);
    }
}
