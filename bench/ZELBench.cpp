// Speed of development, evaluation and the generation step, at small and at the largest settings.

#include "Experiment/Experiment.h"
#include "FuzzySet/Random.h"
#include "ZEL/Developer.h"
#include "ZEL/ZELAgentPopulation.h"

#include <benchmark/benchmark.h>

namespace {
TRandom Rand;
} // namespace

namespace {
// Arguments: population size, elements, blocks.
void Develop(benchmark::State& State) {
  Rand.SetSeed(1);
  TZELAgent agent(Rand, static_cast<int>(State.range(1)), static_cast<int>(State.range(0)), true);
  TFuzzySet fs;
  for (auto _ : State) {
    agent.Develop(fs);
    benchmark::DoNotOptimize(fs.Values().data());
  }
}
BENCHMARK(Develop)->Args({100, 8})->Args({2048, 32});

// The same developments through the shape tables and byte vectors that evaluation uses.
void DevelopFast(benchmark::State& State) {
  Rand.SetSeed(1);
  const int n = static_cast<int>(State.range(0));
  TZELAgent agent(Rand, static_cast<int>(State.range(1)), n, true);
  TFuzzySet env;
  env.MakeEnvironment(Rand, n, false);
  const TDeveloper developer(n, env);
  // On a 64-byte boundary, as evaluation develops.
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(n + TDeveloper::Padding + 64));
  std::uint8_t* out = buffer.data() + (64 - reinterpret_cast<std::uintptr_t>(buffer.data()) % 64) % 64;
  for (auto _ : State) {
    developer.Develop(agent.ZEL, agent.BlockCount, out);
    benchmark::DoNotOptimize(out);
  }
}
BENCHMARK(DevelopFast)->Args({100, 8})->Args({2048, 32});

// The same, over the programs of a whole population in turn, as a generation meets them:
// the rows of the shape tables come from wherever they are, not from the nearest cache.
void DevelopMany(benchmark::State& State) {
  Rand.SetSeed(1);
  const int n = static_cast<int>(State.range(0));
  std::vector<TZELAgent> agents;
  for (int i = 0; i < 1000; ++i)
    agents.emplace_back(Rand, static_cast<int>(State.range(1)), n, true);
  TFuzzySet env;
  env.MakeEnvironment(Rand, n, false);
  const TDeveloper developer(n, env);
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(n + TDeveloper::Padding + 64));
  std::uint8_t* out = buffer.data() + (64 - reinterpret_cast<std::uintptr_t>(buffer.data()) % 64) % 64;
  std::size_t next = 0;
  for (auto _ : State) {
    const TZELAgent& agent = agents[next];
    next = next + 1 == agents.size() ? 0 : next + 1;
    developer.Develop(agent.ZEL, agent.BlockCount, out);
    benchmark::DoNotOptimize(out);
  }
}
BENCHMARK(DevelopMany)->Args({2048, 32});

void Evaluate(benchmark::State& State) {
  Rand.SetSeed(1);
  const int n = static_cast<int>(State.range(1));
  TZELAgentPopulation pop(Rand, static_cast<int>(State.range(0)), static_cast<int>(State.range(2)), n,
                          TReproduction::Genotype);
  TFuzzySet env;
  env.MakeEnvironment(Rand, n, false);
  for (auto _ : State)
    pop.Evaluate(env);
  State.SetItemsProcessed(State.iterations() * State.range(0));
}
BENCHMARK(Evaluate)->Args({100, 100, 8})->Args({1000, 2048, 32})->Unit(benchmark::kMicrosecond);

// Arguments: population size, elements, blocks, reproduction type, rates selection.
void GenerationStep(benchmark::State& State) {
  Rand.SetSeed(1);
  const int n = static_cast<int>(State.range(1));
  TZELAgentPopulation pop(Rand, static_cast<int>(State.range(0)), static_cast<int>(State.range(2)), n,
                          TReproduction(State.range(3)));
  TFuzzySet env;
  env.MakeEnvironment(Rand, n, false);
  pop.Evaluate(env);
  pop.UpdateStatistics();
  for (auto _ : State) {
    pop.NextGeneration(Rand, State.range(4) != 0, {1.0, 0.0001, 0.0001}, &env);
    pop.UpdateStatistics();
  }
}
BENCHMARK(GenerationStep)
    ->Args({100, 100, 8, 1, 0})
    ->Args({1000, 2048, 32, 0, 0})
    ->Args({1000, 2048, 32, 0, 1})
    ->Args({1000, 2048, 32, 1, 0})
    ->Args({1000, 2048, 32, 1, 1})
    ->Args({1000, 2048, 32, 2, 0})
    ->Args({1000, 2048, 32, 2, 1})
    ->Unit(benchmark::kMicrosecond);

// Whole runs as `zelworld-cli run --seed 7` makes them, on one thread: how often the fitness
// memo knew a program's fitness. Arguments: population size, generations, elements, blocks,
// reproduction type, rates selection.
void MemoHits(benchmark::State& State) {
  TExperimentSettings s;
  s.PopSize = static_cast<int>(State.range(0));
  s.Generations = static_cast<int>(State.range(1));
  s.Elements = static_cast<int>(State.range(2));
  s.Blocks = static_cast<int>(State.range(3));
  s.Reproduction = TReproduction(State.range(4));
  s.RatesSelection = State.range(5) != 0;
  TMemoCounts counts;
  for (auto _ : State) {
    TRandom random;
    random.SetClock(Rng::CounterClock(7));
    TExperiment run(s, random);
    run.SetThreads(1);
    run.Begin();
    while (!run.Done())
      run.Step();
    counts = run.Population().MemoCounts();
  }
  // The share of the memo's lookups that it answered, and of all scorings (the memo rests
  // where programs seldom recur); and the share of scorings whose fitness carried over from a
  // parent or the agent's own (a genotype agent kept or copied), with no lookup.
  State.counters["lookups_answered"] =
      counts.Lookups > 0 ? static_cast<double>(counts.Hits) / static_cast<double>(counts.Lookups) : 0;
  State.counters["scorings_answered"] =
      counts.Scorings > 0 ? static_cast<double>(counts.Hits) / static_cast<double>(counts.Scorings) : 0;
  State.counters["scorings_carried"] =
      counts.Scorings > 0 ? static_cast<double>(counts.Carried) / static_cast<double>(counts.Scorings) : 0;
}
BENCHMARK(MemoHits)
    ->ArgsProduct({{100}, {100}, {100}, {8}, {0, 1, 2}, {0, 1}})
    ->ArgsProduct({{1000}, {1000}, {2048}, {32}, {0, 1, 2}, {0, 1}})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
} // namespace
