#include "ZEL/ZELAgentPopulation.h"

#include "FuzzySet/Extended.h"
#include "FuzzySet/Random.h"
#include "ZEL/Developer.h"
#include "ZEL/FitnessMemo.h"
#include "ZEL/WorkerPool.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <numeric>
#include <thread>
#include <utility>

namespace {
// Makes A an agent of the population's shape that draws nothing: it only receives children,
// whose breeding overwrites everything that is ever read of it.
void MakeBlank(TZELAgent& A, const TZELAgent& Shape) {
  A.BlockCount = Shape.BlockCount;
  A.Elements = Shape.Elements;
  A.Genotype = Shape.Genotype;
  A.Fitness = 0;
  A.ZEL.Clear();
  A.Chromosome.BitCount = Shape.Chromosome.BitCount;
  A.Chromosome.ZeroBytes(Shape.Chromosome.Bits.size());
}
std::unique_ptr<TZELAgent> BlankAgent(const TZELAgent& Shape) {
  auto a = std::make_unique<TZELAgent>();
  MakeBlank(*a, Shape);
  return a;
}
} // namespace

TZELAgentPopulation::TZELAgentPopulation() = default;

TZELAgentPopulation::TZELAgentPopulation(TRandom& R, int PopSize, int BlockCount, int Elements,
                                         TReproduction NewReproduction) {
  Create(R, PopSize, BlockCount, Elements, NewReproduction);
}

TZELAgentPopulation::~TZELAgentPopulation() = default;

void TZELAgentPopulation::Create(TRandom& R, int PopSize, int BlockCount, int Elements,
                                 TReproduction NewReproduction) {
  Clear();
  static_cast<TPopulationStatistics&>(*this) = {};
  Reproduction = NewReproduction;
  const int programOnly = Reproduction == TReproduction::Phenotype  ? PopSize
                          : Reproduction == TReproduction::Genotype ? 0
                                                                    : PopSize / 2;
  for (int i = 0; i < PopSize; ++i)
    Agents.push_back(std::make_unique<TZELAgent>(R, BlockCount, Elements, i >= programOnly));
  const bool holderGenotype = Reproduction != TReproduction::Phenotype;
  GenBest.Create(R, BlockCount, Elements, holderGenotype);
  BestAll.Create(R, BlockCount, Elements, holderGenotype);
}

void TZELAgentPopulation::Clear() {
  Agents.clear();
  Nursery.clear();
  Known = false;
}

void TZELAgentPopulation::SizeRows() {
  FitnessAt.resize(Agents.size());
  GenotypeAt.resize(Agents.size());
}

void TZELAgentPopulation::Scored(std::size_t Position, TZELAgent& A, std::int32_t Fitness, bool Kept) {
  // An agent kept from the last generation mostly keeps its fitness, and every thread has
  // just read it as a parent: writing the same value again would take its line from them.
  // (A child's is written whatever it was: the test would be a branch taken at random.)
  if (!Kept || A.Fitness != Fitness) A.Fitness = Fitness;
  FitnessAt[Position] = Fitness;
  GenotypeAt[Position] = A.Genotype;
}

TPopulationState TZELAgentPopulation::State() const {
  TPopulationState s{*this, {}};
  s.Agents.reserve(Agents.size());
  for (const auto& a : Agents)
    s.Agents.push_back(*a);
  return s;
}

void TZELAgentPopulation::Restore(const TPopulationState& State, TReproduction NewReproduction) {
  Clear();
  for (const TZELAgent& a : State.Agents)
    Agents.push_back(std::make_unique<TZELAgent>(a));
  static_cast<TPopulationStatistics&>(*this) = State;
  Reproduction = NewReproduction;
}

namespace {
// Below this much work a generation (agents x elements x blocks), threads cost more in
// waking and waiting than they save: the automatic choice then works on the calling thread.
constexpr std::int64_t ThreadedWork = std::int64_t{1} << 22;

bool Uniform(const std::vector<std::unique_ptr<TZELAgent>>& Agents, int Elements) {
  return std::all_of(Agents.begin(), Agents.end(),
                     [Elements](const auto& a) { return a->Elements == Elements; });
}
} // namespace

int MemoHitShare(int Elements, int Blocks) {
  // Rough costs in nanoseconds, from zel_bench: a development and its distance, and a key and
  // its lookup. The memo pays where one lookup in (development / lookup) finds its program.
  const double development = 40.0 + static_cast<double>(Elements) * Blocks / 80.0;
  const double lookup = 15.0 + Blocks;
  return static_cast<int>(std::clamp(development / lookup, 2.0, 64.0));
}

void TZELAgentPopulation::PreparePool() {
  int threads = ThreadCount;
#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)
  // A WebAssembly build without threads works on the calling thread, whatever was asked.
  threads = 1;
#endif
  if (threads <= 0 && !Agents.empty() &&
      static_cast<std::int64_t>(Agents.size()) * Agents[0]->Elements * Agents[0]->BlockCount < ThreadedWork)
    threads = 1;
  if (Pool && Pool->Wanted() == threads) return;
  Pool = std::make_unique<TWorkerPool>(threads);
  Choice.Reset();
}

void TZELAgentPopulation::RunPass(const std::function<void(int, int)>& Job) {
  if (PassParts > 1)
    Pool->Run(Job);
  else if (KeepAwake)
    Pool->Run([&Job](int Part, int) {
      if (Part == 0) Job(0, 1);
    });
  else
    Job(0, 1);
}

bool TZELAgentPopulation::PrepareEvaluation(int Elements, const TFuzzySet& Environment, int Scorings) {
  const bool kept = Developer && Developer->Serves(Elements, Environment);
  if (!kept) {
    Developer = std::make_unique<TDeveloper>(Elements, Environment);
    // Fitness against another environment or set size says nothing here.
    Memo.reset();
  }
  const int blocks = Agents.empty() ? 1 : Agents[0]->BlockCount;
  if (!Memo || !Memo->Fits(Count(), blocks)) {
    Memo = std::make_unique<TFitnessMemo>(Count(), blocks);
    Memo->SetHitShare(MemoHitShare(Elements, blocks));
  }
  Memo->Reserve(Scorings);
  PreparePool();
  if (Parts.size() < static_cast<std::size_t>(Pool->Size()))
    Parts.resize(static_cast<std::size_t>(Pool->Size()));
  return kept;
}

std::int32_t TZELAgentPopulation::Score(const TZELAgent& A, int Part) {
  TPart& part = Parts[static_cast<std::size_t>(Part)];
  ++part.Counts.Scorings;
  if (!Memo->InUse()) return Developer->Evaluate(A, part.Scratch);
  const TProgramKey key(A.ZEL, A.BlockCount);
  ++part.Counts.Lookups;
  std::int32_t fitness = Memo->Find(key);
  if (fitness >= 0) {
    ++part.Counts.Hits;
    return fitness;
  }
  fitness = Developer->Evaluate(A, part.Scratch);
  Memo->Insert(key, fitness);
  return fitness;
}

std::int32_t TZELAgentPopulation::Carry(std::int32_t Fitness, int Part) {
  TPart& part = Parts[static_cast<std::size_t>(Part)];
  ++part.Counts.Scorings;
  ++part.Counts.Carried;
  return Fitness;
}

std::int32_t TZELAgentPopulation::ScoreChild(const TZELAgent& Child, const TZELAgent& A, const TZELAgent& B,
                                             bool Inherit, int Part) {
  // Most children of a settled population are a copy of a parent: comparing a few bytes of
  // chromosome saves the key and the lookup.
  if (Inherit)
    for (const TZELAgent* parent : {&A, &B})
      if (Child.SameGenotypeAs(*parent)) return Carry(parent->Fitness, Part);
  return Score(Child, Part);
}

void TZELAgentPopulation::EndScoring() {
  TMemoCounts pass;
  for (TPart& p : Parts) {
    pass.Scorings += std::exchange(p.Counts.Scorings, 0);
    pass.Carried += std::exchange(p.Counts.Carried, 0);
    pass.Lookups += std::exchange(p.Counts.Lookups, 0);
    pass.Hits += std::exchange(p.Counts.Hits, 0);
  }
  Memo->Tell(pass.Lookups, pass.Hits);
  MemoTotals.Scorings += pass.Scorings;
  MemoTotals.Carried += pass.Carried;
  MemoTotals.Lookups += pass.Lookups;
  MemoTotals.Hits += pass.Hits;
}

void TZELAgentPopulation::Evaluate(const TFuzzySet& Environment) {
  if (Agents.empty()) return;
  const int n = Agents[0]->Elements;
  Known = false;
  if (!Uniform(Agents, n)) {
    TFuzzySet developed;
    for (auto& a : Agents) {
      a->Develop(developed);
      a->Evaluate(developed, Environment);
    }
    return;
  }
  PrepareEvaluation(n, Environment, Count());
  SizeRows();
  // Evaluation draws no random numbers: the agents are shared out among the threads.
  Pool->Run([this](int Part, int Parts) {
    for (std::size_t i = static_cast<std::size_t>(Part); i < Agents.size();
         i += static_cast<std::size_t>(Parts))
      Scored(i, *Agents[i], Score(*Agents[i], Part));
  });
  EndScoring();
  Known = true;
}

void TZELAgentPopulation::UpdateStatistics() {
  if (Agents.empty()) return;
  // Summed in locals, which the compiler keeps in registers (the members might share memory
  // with the rows, as far as it knows).
  std::int32_t sum = FitnessOf(0), most = sum, least = sum;
  std::size_t best = 0;
  for (std::size_t i = 1; i < Agents.size(); ++i) {
    const std::int32_t f = FitnessOf(i);
    sum += f;
    // The last of several equally fit agents becomes GenBest.
    if (f >= most) {
      most = f;
      best = i;
    }
    least = std::min(least, f);
  }
  FitnessSum = sum;
  GenFitMax = most;
  GenFitMin = least;
  GenBest.Assign(*Agents[best]);
  AvgFitness = Extended::ToDouble(TExtended(FitnessSum) / TExtended(Count()));
  if (GenFitMax > MaxFitAll) {
    BestAll.Assign(GenBest);
    MaxFitAll = GenFitMax;
  }
}

int TZELAgentPopulation::GenotypeRatio() const {
  if (Agents.empty()) return 0;
  const auto g = Known
                     ? std::count(GenotypeAt.begin(), GenotypeAt.end(), std::uint8_t{1})
                     : std::count_if(Agents.begin(), Agents.end(), [](const auto& a) { return a->Genotype; });
  const TExtended share = TExtended(g) / TExtended(Count());
  return static_cast<int>(Extended::Round(share * TExtended(100)));
}

double WheelPoint(double R, std::int32_t FitnessSum) {
  // R = seed / 2^32 has 32 significant bits: a product with a sum below 2^21 is exact in a
  // double, as it is in the extended format (and then rounded to a double unchanged).
  if (FitnessSum > -(1 << 21) && FitnessSum < (1 << 21)) return R * static_cast<double>(FitnessSum);
  return Extended::ToDouble(TExtended(R) * TExtended(FitnessSum));
}

int WheelIndex(const std::vector<std::int64_t>& RunningSums, double Point) {
  // The first index of the walk, found by bisection (the sums never decrease), without
  // branching on the comparisons: the points are random, a branch would guess wrong half the
  // time. (Written as a choice, the step became a branch, and its wrong guesses were a
  // twentieth of a run under rates selection at the largest settings.)
  const std::int64_t* first = RunningSums.data();
  std::size_t count = RunningSums.size();
  if (Point > -9.0e15 && Point < 9.0e15) {
    // An integer sum below 2^53 reaches the point exactly when it reaches the point's ceiling.
    auto target = static_cast<std::int64_t>(Point); // toward zero, then up to the ceiling
    if (static_cast<double>(target) < Point) ++target;
    while (count > 1) {
      const std::size_t half = count / 2;
      first += half & (std::size_t{0} - static_cast<std::size_t>(first[half - 1] < target));
      count -= half;
    }
    if (count == 1 && *first < target) ++first;
  } else {
    while (count > 1) {
      const std::size_t half = count / 2;
      first = static_cast<double>(first[half - 1]) < Point ? first + half : first;
      count -= half;
    }
    if (count == 1 && static_cast<double>(*first) < Point) ++first;
  }
  const auto index = static_cast<int>(first - RunningSums.data());
  return index == static_cast<int>(RunningSums.size()) ? index - 1 : index;
}

int EliteSize(int Count) {
  const int e = static_cast<int>(Extended::Round(TExtended(Count) * TExtended(EliteFraction)));
  return std::clamp(e, 1, std::max(Count, 1));
}

void ByFitness(const std::vector<std::int32_t>& Fitness, std::vector<int>& Order) {
  Order.resize(Fitness.size());
  const bool inRange =
      std::all_of(Fitness.begin(), Fitness.end(), [](std::int32_t F) { return F >= 0 && F <= 100; });
  if (!inRange) {
    std::iota(Order.begin(), Order.end(), 0);
    std::stable_sort(Order.begin(), Order.end(), [&Fitness](int a, int b) {
      return Fitness[static_cast<std::size_t>(a)] > Fitness[static_cast<std::size_t>(b)];
    });
    return;
  }
  // Fitness lies in 0..100: a counting sort, which keeps equal agents in their order. The
  // agents are taken as four quarters side by side, each with counts of its own: most agents
  // of a settled population share a few values, and with one count per value each step would
  // wait for the count the step before wrote. The last quarter takes the remainder.
  constexpr std::size_t parts = 4;
  const std::size_t n = Fitness.size(), quarter = n / parts;
  std::array<std::array<int, 101>, parts> start{}; // by 100 - fitness: the highest first
  // Visit(count, agent) for each agent, the quarters side by side, each quarter in order.
  auto walk = [&](auto Visit) {
    for (std::size_t i = 0; i < quarter; ++i)
      for (std::size_t p = 0; p < parts; ++p)
        Visit(start[p][static_cast<std::size_t>(100 - Fitness[p * quarter + i])], p * quarter + i);
    for (std::size_t i = parts * quarter; i < n; ++i)
      Visit(start[parts - 1][static_cast<std::size_t>(100 - Fitness[i])], i);
  };
  walk([](int& Count, std::size_t) { ++Count; });
  // Each value's agents in quarter order: the first quarter's before the second's, and so on.
  int sum = 0;
  for (std::size_t v = 0; v < 101; ++v)
    for (std::size_t p = 0; p < parts; ++p)
      sum += std::exchange(start[p][v], sum);
  walk([&Order](int& At, std::size_t Agent) {
    Order[static_cast<std::size_t>(At++)] = static_cast<int>(Agent);
  });
}

const std::vector<int>& TZELAgentPopulation::FitnessOrder() {
  if (Known) {
    ByFitness(FitnessAt, Order);
  } else {
    std::vector<std::int32_t> fitness(Agents.size());
    for (std::size_t i = 0; i < Agents.size(); ++i)
      fitness[i] = Agents[i]->Fitness;
    ByFitness(fitness, Order);
  }
  return Order;
}

void TZELAgentPopulation::NextGeneration(TRandom& R, bool RatesSelection, const TBreedingProbabilities& P,
                                         const TFuzzySet* Environment) {
  if (Agents.empty()) return;
  const int elements = Agents[0]->Elements;
  if (Environment != nullptr && !Uniform(Agents, elements)) {
    // Agents of several sizes are evaluated one by one, after the step.
    NextGeneration(R, RatesSelection, P);
    Evaluate(*Environment);
    return;
  }
  // The spare agent of the selection step, and the sink of a second child without a slot:
  // made blank again each step, with its draws, but whatever it holds is written over before it is read.
  R.Skip(TZELAgent::CreateDraws(BestAll.BlockCount));
  MakeBlank(Spare, BestAll);
  // The parents' fitness holds for the children that copy them when every agent was scored
  // as it is, against this environment.
  bool inherit = false;
  if (Environment != nullptr) {
    inherit = PrepareEvaluation(elements, *Environment, Count()) && Known;
    SizeRows();
  } else {
    PreparePool();
  }
  // Left to choose, the population times its steps: the selection and the breeding, whose
  // passing of agents between cores is what may make a second thread cost more than it saves.
  const bool choosing = ThreadCount <= 0 && Pool->Size() > 1;
  const bool all = !choosing || Choice.UseAll();
  PassParts = all ? Pool->Size() : 1;
  KeepAwake = choosing && Choice.KeepAwake();
  const auto start = std::chrono::steady_clock::now();
  // The selection reads the rows; the breeding writes them anew, position by position.
  if (RatesSelection)
    SelectByRates(R);
  else
    SelectElite(R);
  Known = false;
  Breed(R, RatesSelection, RatesSelection ? Nursery : Agents, RatesSelection ? 0 : EliteSize(Count()), P,
        Environment, inherit);
  if (RatesSelection) Agents.swap(Nursery);
  // Every position was scored in the step, or none.
  Known = Environment != nullptr;
  if (choosing)
    Choice.Tell(std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start)
                    .count());
}

// Each breeding starts at the seed the plan found for it, so they can be done in any order
// and on any thread: the children are the same, and so is every later draw.
void TZELAgentPopulation::Breed(TRandom& R, bool Rates, TAgentList& Target, int Unbred,
                                const TBreedingProbabilities& P, const TFuzzySet* Environment, bool Inherit) {
  const int n = Count();
  const int parents = Rates ? n : Unbred;
  const int breedings = (n - Unbred + 1) / 2;
  // The unbred agents are evaluated first (they need no plan), then the breedings.
  const int evaluations = Environment != nullptr ? Unbred : 0;
  const int tasks = evaluations + breedings;
  Breedings.resize(static_cast<std::size_t>(breedings));
  // The calling thread plans the breedings in order and says how many are planned; a thread
  // that takes a breeding not yet planned waits for it. Planning takes a small part of the
  // time of a breeding, so that the others seldom wait, and the planning is done while they breed.
  // The counters the threads share each on a cache line of its own, apart from each other and
  // from what the threads only read: a write to a line makes every other core fetch it again.
  alignas(64) std::atomic<int> planned{0};
  alignas(64) std::atomic<bool> abandoned{false};
  auto plan = [&] {
    try {
      for (int k = 0; k < breedings; ++k) {
        Breedings[static_cast<std::size_t>(k)] = PlanBreeding(R, Rates, Unbred + 2 * k, parents, P);
        planned.store(k + 1, std::memory_order_release);
      }
      // The agents that the copies of the population made under rates selection.
      if (Rates) R.Skip(static_cast<std::uint64_t>(n) * TZELAgent::CreateDraws(Agents[0]->BlockCount));
    } catch (...) {
      abandoned.store(true, std::memory_order_release);
      throw;
    }
  };
  // Waits until the breeding K is planned; false when it never will be.
  auto await = [&](int K) {
    while (planned.load(std::memory_order_acquire) <= K) {
      if (abandoned.load(std::memory_order_acquire)) return false;
#if defined(__x86_64__) || defined(__i386__)
      __builtin_ia32_pause();
#else
      std::this_thread::yield();
#endif
    }
    return true;
  };
  // Work is handed out in chunks as threads ask for it, each a share of what is left, so that
  // the chunks shrink towards the end and no thread waits long for another's last; and none
  // is large, so that a thread the system sets aside for a while holds up little. (One at a
  // time, the counter's line would pass from core to core about as often as a shuffle takes.)
  const int share = 4 * PassParts;
  // The next chunk of Total, counted in Next: First .. Last - 1; false when none is left.
  // A thread alone takes everything at once.
  auto takeOf = [share, parts = PassParts](std::atomic<int>& Next, int Total, int& First, int& Last) {
    const int largest = parts == 1 ? Total : std::max(1, Total / (16 * parts));
    int first = Next.load(std::memory_order_relaxed);
    for (;;) {
      if (first >= Total) return false;
      const int size = parts == 1 ? Total - first : std::clamp((Total - first) / share, 1, largest);
      if (Next.compare_exchange_weak(first, first + size, std::memory_order_relaxed)) {
        First = first;
        Last = first + size;
        return true;
      }
    }
  };
  alignas(64) std::atomic<int> next{0};
  auto take = [&](int& First, int& Last) { return takeOf(next, tasks, First, Last); };
  // The shuffles come first: breedings and evaluations read the shuffled programs. Each thread
  // takes shuffles while any are left, then waits for those the others took to be done.
  const int shuffles = static_cast<int>(Shuffles.size());
  alignas(64) std::atomic<int> nextShuffle{0};
  alignas(64) std::atomic<int> shufflesDone{0};
  // The unbred agents are parents too: breedings read them (their fitness among the rest)
  // while they are evaluated, so their new fitness is kept aside until every thread is done.
  std::vector<std::int32_t>& unbredFitness = UnbredFitness;
  unbredFitness.assign(static_cast<std::size_t>(evaluations), 0);
  // Each part reseeds a generator of its own for every task. One made within the loop would
  // be an object to destroy at every task, and where exceptions unwind through JavaScript
  // (WebAssembly) every call made while it lives would take a detour to make that possible.
  std::vector<TRandom>& generators = Generators;
  generators.resize(static_cast<std::size_t>(PassParts));
  RunPass([&](int Part, int) {
    if (Part == 0) plan();
    TRandom& random = generators[static_cast<std::size_t>(Part)];
    for (int first = 0, last = 0; takeOf(nextShuffle, shuffles, first, last);) {
      for (int s = first; s < last; ++s) {
        const TShuffle& shuffle = Shuffles[static_cast<std::size_t>(s)];
        random.SetSeed(shuffle.Seed);
        At(shuffle.Agent).ZEL.Shuffle(random);
      }
      shufflesDone.fetch_add(last - first, std::memory_order_release);
    }
    while (shufflesDone.load(std::memory_order_acquire) < shuffles)
      std::this_thread::yield();
    for (int first = 0, last = 0; take(first, last);) {
      for (int t = first; t < last; ++t) {
        if (t < evaluations) {
          // A genotype agent kept from the last generation is what it was when scored.
          const TZELAgent& kept = *Target[static_cast<std::size_t>(t)];
          unbredFitness[static_cast<std::size_t>(t)] =
              Inherit && kept.Genotype ? Carry(kept.Fitness, Part) : Score(kept, Part);
          continue;
        }
        const int k = t - evaluations;
        if (!await(k)) return;
        const TBreeding& b = Breedings[static_cast<std::size_t>(k)];
        random.SetSeed(b.Seed);
        TZELAgent& child1 = *Target[static_cast<std::size_t>(b.Child1)];
        TZELAgent& child2 = b.Child2 >= 0 ? *Target[static_cast<std::size_t>(b.Child2)] : Spare;
        const TZELAgent& a = At(b.A);
        const TZELAgent& parent2 = At(b.B);
        if (&Target == &Nursery) {
          // A program-only child keeps the chromosome of its slot, which in the copy of the
          // sorted population is that of the agent at the same position: so the nursery
          // carries nothing from one generation to the next. A child is program-only where its
          // parent (the first for the first child, the second for the second) is; a genotype
          // child's chromosome is written whole by the breeding.
          if (!a.Genotype) child1.Chromosome.Bits = At(b.Child1).Chromosome.Bits;
          if (b.Child2 >= 0 && !parent2.Genotype) child2.Chromosome.Bits = At(b.Child2).Chromosome.Bits;
        }
        a.Breed(random, parent2, child1, child2, P);
        if (Environment == nullptr) continue;
        Scored(static_cast<std::size_t>(b.Child1), child1, ScoreChild(child1, a, parent2, Inherit, Part));
        if (b.Child2 >= 0)
          Scored(static_cast<std::size_t>(b.Child2), child2, ScoreChild(child2, a, parent2, Inherit, Part));
      }
    }
  });
  for (std::size_t k = 0; k < unbredFitness.size(); ++k)
    Scored(k, *Target[k], unbredFitness[k], true);
  if (Environment != nullptr) EndScoring();
}

TZELAgentPopulation::TBreeding TZELAgentPopulation::PlanBreeding(TRandom& R, bool Rates, int J, int Parents,
                                                                 const TBreedingProbabilities& P) {
  int a = 0, b = 0;
  if (Rates) {
    a = WheelIndex(RunningSums, WheelPoint(R.Random(), FitnessSum));
    b = WheelIndex(RunningSums, WheelPoint(R.Random(), FitnessSum));
  } else {
    a = RandomInt(R, 0, Parents - 1);
    b = RandomInt(R, 0, Parents - 1);
  }
  const TBreeding plan{a, b, J, J < Count() - 1 ? J + 1 : -1, R.GetSeed()};
  TZELAgent::SkipBreed(R, ParentShapes[static_cast<std::size_t>(a)],
                       ParentShapes[static_cast<std::size_t>(b)], P);
  return plan;
}

// The selection step brought, for i = 0, 1, ..., the first of the fittest remaining agents to
// position i, shifting the others up: a stable sort by fitness, highest first. The agents are
// moved rather than copied, and the draws of the agents that the copying would have created
// (a second population of Count agents and its two holders, and the Count agents appended by
// each of the two population copies) are skipped over in the random sequence; those of the
// last Count agents after the breedings are planned.
void TZELAgentPopulation::SelectByRates(TRandom& R) {
  const int n = Count();
  const std::vector<int>& order = FitnessOrder();
  RunningSums.resize(static_cast<std::size_t>(n));
  std::int64_t sum = 0;
  for (int i = 0; i < n; ++i)
    RunningSums[static_cast<std::size_t>(i)] = sum +=
        FitnessOf(static_cast<std::size_t>(order[static_cast<std::size_t>(i)]));
  TAgentList sorted;
  sorted.reserve(static_cast<std::size_t>(n));
  for (const int k : order)
    sorted.push_back(std::move(Agents[static_cast<std::size_t>(k)]));
  Agents.swap(sorted);
  const std::uint64_t perAgent = TZELAgent::CreateDraws(Agents[0]->BlockCount);
  R.Skip(static_cast<std::uint64_t>(2 * n + 2) * perAgent);

  while (static_cast<int>(Nursery.size()) < n)
    Nursery.push_back(BlankAgent(*Agents[0]));
  Nursery.resize(static_cast<std::size_t>(n));
  ParentShapes.resize(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i)
    ParentShapes[static_cast<std::size_t>(i)] = At(i).ParentShape();
  Shuffles.clear();
}

void TZELAgentPopulation::SelectElite(TRandom& R) {
  const int n = Count();
  const int e = EliteSize(n);

  // The E selection steps pick the first E agents of a stable sort by fitness, in that
  // order; the others keep their relative order behind them.
  const std::vector<int>& order = FitnessOrder();
  std::vector<char>& elite = EliteMarks;
  elite.assign(static_cast<std::size_t>(n), 0);
  TAgentList& next = Reordered;
  next.clear();
  next.reserve(static_cast<std::size_t>(n));
  ParentShapes.resize(static_cast<std::size_t>(e));
  // A program-only elite agent is shuffled: a shuffle of C blocks draws C - 1 times (the last
  // pick has no choice), so it is planned like a breeding and done with them.
  Shuffles.clear();
  for (int i = 0; i < e; ++i) {
    const auto k = static_cast<std::size_t>(order[static_cast<std::size_t>(i)]);
    elite[k] = 1;
    next.push_back(std::move(Agents[k]));
    ParentShapes[static_cast<std::size_t>(i)] = next.back()->ParentShape();
    if (next.back()->Genotype) continue;
    Shuffles.push_back({i, R.GetSeed()});
    R.Skip(static_cast<std::uint64_t>(std::max(next.back()->ZEL.Count() - 1, 0)));
  }
  for (std::size_t k = 0; k < Agents.size(); ++k)
    if (!elite[k]) next.push_back(std::move(Agents[k]));
  Agents.swap(next);
}

void TZELAgentPopulation::SetThreads(int Threads) {
  if (Threads == ThreadCount && Pool) return;
  ThreadCount = Threads;
  Pool.reset();
}
