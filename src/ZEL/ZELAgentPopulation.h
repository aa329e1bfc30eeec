#pragma once
// The population of one run: its agents, their statistics, selection and the
// generation step.

#include "FuzzySet/FuzzySet.h"
#include "FuzzySet/Random.h"
#include "ZEL/ThreadChoice.h"
#include "ZEL/ZELAgent.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// How agents reproduce: program-only agents ("Phenotpe (ZEL)") copy and recombine their
// programs, genotype agents their chromosomes; Both starts with half of each.
enum class TReproduction : std::int32_t { Phenotype = 0, Genotype = 1, Both = 2 };

// The share of the population kept as elite.
inline constexpr double EliteFraction = 0.2;

// The number of elite agents of a population of Count: Count x 0.2 rounded half to
// even, at least 1 (and at most Count).
int EliteSize(int Count);
// The point of the rates wheel that one real draw R picks: R x FitnessSum as a double.
double WheelPoint(double R, std::int32_t FitnessSum);
// The first index whose running fitness sum (as a double) reaches Point; the last index
// when none does.
int WheelIndex(const std::vector<std::int64_t>& RunningSums, double Point);
// The indices of the agents in a stable sort by fitness, highest first, into Order.
void ByFitness(const std::vector<std::int32_t>& Fitness, std::vector<int>& Order);

// How few of its lookups the fitness memo may answer and still pay, as one in this many, for
// programs of Blocks blocks over Elements elements: a development weighed against a lookup.
int MemoHitShare(int Elements, int Blocks);

class TDeveloper;
class TFitnessMemo;
class TWorkerPool;

// The agents a population scored, those whose fitness carried over (a genotype elite agent's
// own, or that of a parent whose chromosome a child carries), those it looked up in its
// fitness memo (while the memo was in use), and those the memo knew.
struct TMemoCounts {
  std::int64_t Scorings = 0;
  std::int64_t Carried = 0;
  std::int64_t Lookups = 0;
  std::int64_t Hits = 0;
};

// A population's statistics and its best agents.
struct TPopulationStatistics {
  double AvgFitness = 0;
  std::int32_t GenFitMax = 0;
  std::int32_t GenFitMin = 0;
  std::int32_t MaxFitAll = 0;
  std::int32_t FitnessSum = 0;
  TZELAgent GenBest;
  TZELAgent BestAll;
};

// What a population is between two generation steps, as plain data: its agents, their
// statistics and its best agents. Saved and restored, it goes on exactly.
struct TPopulationState : TPopulationStatistics {
  std::vector<TZELAgent> Agents;
};

class TZELAgentPopulation : public TPopulationStatistics {
public:
  TZELAgentPopulation();
  TZELAgentPopulation(TRandom& R, int PopSize, int BlockCount, int Elements, TReproduction Reproduction);
  ~TZELAgentPopulation();
  TZELAgentPopulation(const TZELAgentPopulation&) = delete;
  TZELAgentPopulation& operator=(const TZELAgentPopulation&) = delete;

  int Count() const { return static_cast<int>(Agents.size()); }
  // An agent handed out for change: the population reads its fitness and kind from it again.
  TZELAgent& Agent(int Index) {
    Known = false;
    return *Agents[static_cast<std::size_t>(Index)];
  }
  const TZELAgent& Agent(int Index) const { return *Agents[static_cast<std::size_t>(Index)]; }

  // PopSize new agents of the kinds the reproduction asks for, then GenBest and BestAll; with
  // Both the first half program-only, the rest genotype.
  void Create(TRandom& R, int PopSize, int BlockCount, int Elements, TReproduction NewReproduction);
  // Frees every agent of the list; GenBest and BestAll stay.
  void Clear();
  TPopulationState State() const;
  // Takes the state's agents, statistics and best agents as they are; draws nothing.
  void Restore(const TPopulationState& State, TReproduction NewReproduction);
  // Develops every agent and sets its fitness against Environment.
  void Evaluate(const TFuzzySet& Environment);
  void UpdateStatistics();
  int GenotypeRatio() const;
  // Selection and breeding. With an environment, the new generation is evaluated against it
  // in the same pass, as Evaluate(*Environment) after the step would.
  void NextGeneration(TRandom& R, bool RatesSelection, const TBreedingProbabilities& P,
                      const TFuzzySet* Environment = nullptr);

  // Threads used by breeding and evaluation (0: all cores, where the work is large enough to
  // gain from them, and for each generation step only while they prove faster than one). The
  // number of threads never changes a result.
  void SetThreads(int Threads);
  // The scorings of this population so far.
  TMemoCounts MemoCounts() const { return MemoTotals; }

  TReproduction Reproduction = TReproduction::Phenotype;

private:
  using TAgentList = std::vector<std::unique_ptr<TZELAgent>>;
  TAgentList Agents;
  // Agents of the right shape that receive the children of a rates generation.
  TAgentList Nursery;
  int ThreadCount = 0;
  // Evaluation machinery, kept across generations and the runs of a batch.
  std::unique_ptr<TDeveloper> Developer;
  std::unique_ptr<TWorkerPool> Pool;
  // With the thread count left to the population, whether a step is shared among the pool's
  // threads; the number of parts of the current step's pass (1: the calling thread alone), and
  // whether a pass alone keeps the pool's threads awake.
  TThreadChoice Choice;
  int PassParts = 1;
  bool KeepAwake = false;
  // Runs Job as the current step's parts: on the pool, or alone.
  void RunPass(const std::function<void(int Part, int Parts)>& Job);
  // The fitness of programs scored against the developer's environment.
  std::unique_ptr<TFitnessMemo> Memo;
  // What each thread needs of its own: a buffer to develop into, and its counts of a pass.
  struct alignas(64) TPart {
    std::vector<std::uint8_t> Scratch;
    TMemoCounts Counts;
  };
  std::vector<TPart> Parts;
  TMemoCounts MemoTotals;
  // The fitness and kind of the agent at each position, written where the threads score the
  // agents, so that the passes over the whole population (statistics, selection) read two
  // rows rather than every agent (which another thread may have just written). Known after
  // an evaluation or a generation step that evaluates; not once an agent is handed out for
  // change, or after anything else that changes the agents.
  std::vector<std::int32_t> FitnessAt;
  std::vector<std::uint8_t> GenotypeAt;
  bool Known = false;
  std::int32_t FitnessOf(std::size_t Index) const {
    return Known ? FitnessAt[Index] : Agents[Index]->Fitness;
  }
  // Makes room in the rows for every agent.
  void SizeRows();
  // Gives A, at Position of the list being scored, its fitness, in the rows too; a Kept agent
  // (one kept from the last generation) is written only if its fitness changes.
  void Scored(std::size_t Position, TZELAgent& A, std::int32_t Fitness, bool Kept = false);
  // The agent at a position, for the population's own work, which keeps the rows in step.
  TZELAgent& At(int Index) { return *Agents[static_cast<std::size_t>(Index)]; }

  // One breeding of the step: parents A and B of the current agents, children in the target
  // list (-1: the spare), and the seed at which its draws begin.
  struct TBreeding {
    int A, B, Child1, Child2;
    std::uint32_t Seed;
  };
  std::vector<TBreeding> Breedings;
  // The elite agents whose programs are shuffled before any breeding, each from its seed.
  struct TShuffle {
    int Agent;
    std::uint32_t Seed;
  };
  std::vector<TShuffle> Shuffles;
  TZELAgent Spare;

  // What the planning of the breedings reads of the parents, taken before any thread changes
  // them; and, under rates selection, the running sums of their fitness.
  std::vector<TZELAgent::TParentShape> ParentShapes;
  std::vector<std::int64_t> RunningSums;

  // The agents' indices in a stable order by fitness, highest first (in Order).
  const std::vector<int>& FitnessOrder();
  // What a generation step works in, kept from one step to the next: the order by fitness,
  // the elite's marks and the agents in their new order (elite selection), the fitness of the
  // agents kept unbred, and a generator for each thread.
  std::vector<int> Order;
  std::vector<char> EliteMarks;
  TAgentList Reordered;
  std::vector<std::int32_t> UnbredFitness;
  std::vector<TRandom> Generators;
  // The selection steps, which leave the parents at the front of the agents (all of them
  // under rates selection, the elite else); the breedings are planned as they are bred.
  void SelectByRates(TRandom& R);
  void SelectElite(TRandom& R);
  // The breeding of children J and J + 1 (if there is one) from two of the first Parents
  // agents, and its draws skipped.
  TBreeding PlanBreeding(TRandom& R, bool Rates, int J, int Parents, const TBreedingProbabilities& P);
  // Plans the breedings (on the calling thread) and breeds the planned children into Target
  // (and evaluates them, and the first Unbred agents of Target, against Environment when
  // given), the other threads breeding each one as soon as it is planned. The pool (with an
  // environment, the evaluation) is made ready before. Inherit: the parents' fitness holds.
  void Breed(TRandom& R, bool Rates, TAgentList& Target, int Unbred, const TBreedingProbabilities& P,
             const TFuzzySet* Environment, bool Inherit);
  // The developer for Environment and agents of Elements elements, the pool and the scratch
  // buffers of its threads, made ready. Scorings is how many agents the pass will score.
  // Whether the developer was kept (the fitness that it gave the agents still holds).
  bool PrepareEvaluation(int Elements, const TFuzzySet& Environment, int Scorings);
  // Adds up the threads' counts of a pass and tells the memo how it did.
  void EndScoring();
  void PreparePool();
  // The fitness of A against the developer's environment, from the memo or developed on
  // the thread of Part.
  std::int32_t Score(const TZELAgent& A, int Part);
  // Fitness carried over from an agent scored before, counted as a scoring of Part.
  std::int32_t Carry(std::int32_t Fitness, int Part);
  // The fitness of a child of A and B: when it carries the chromosome of a parent whose
  // fitness holds in this pass (Inherit), that parent's, else scored.
  std::int32_t ScoreChild(const TZELAgent& Child, const TZELAgent& A, const TZELAgent& B, bool Inherit,
                          int Part);
};
