#pragma once
// The one loop that steps an experiment: a run from its beginning, a run continued from a
// thawed population, or a batch of runs. Every front-end drives its runs through it. The
// loop tells its observers what happens (the start, every generation of a run, every run of
// a batch, the end), and asks its gate before every generation (every run of a batch)
// whether to go on, wait or stop.

#include "Experiment/Experiment.h"

#include <functional>
#include <string>
#include <vector>

// The start of a run or batch, once the population and the environment exist.
struct TRunStart {
  // The settings as the run uses them.
  const TExperimentSettings& Settings;
  const TFuzzySet& Environment;
  bool Batch = false;
  // The generation the run starts from: that of a thawed population, else 0.
  int FirstGeneration = 0;
  // The last generation of a run; the number of runs of a batch.
  int Last = 0;
};

// The end of a run or batch, complete or stopped early.
struct TRunEnd {
  bool Stopped = false;
  // The closing line of one stopped early ("Stopped after generation 42 of 100", "Stopped
  // after run 3 of 10"); empty when it ran to its end.
  std::string StopLine;
  // The best agent so far, developed and measured; after a batch, that of its last run.
  const TOutcome& Outcome;
  // The batch's averages, when a batch did at least one run; else none.
  const TBatchOutcome* Batch = nullptr;
};

// Receives what the loop does; any of its parts may be left empty. A run tells the record of
// its first generation (generation 0, none for a continued run) right after its start, and
// one record for each generation after it; a batch tells one record for each run.
struct TRunObserver {
  std::function<void(const TRunStart&)> Began;
  std::function<void(const TGenerationRecord&)> Generation;
  std::function<void(const TRunRecord&)> Run;
  std::function<void(const TRunEnd&)> Ended;
};

// What the gate answers before each generation (each run of a batch).
enum class TGateAnswer {
  Go,
  // Not now: the loop returns, and goes on when it is run again.
  Wait,
  // End the run after the generation done, with its stop line.
  Stop
};
using TGate = std::function<TGateAnswer()>;

class TRunLoop {
public:
  // A run from its beginning, or (Continued) a run of an experiment thawed before
  // (TExperiment::Thaw), whose generation reached was told by the run that froze it.
  TRunLoop(TExperiment& Experiment, bool Continued, std::vector<TRunObserver> Observers);
  TRunLoop(TBatch& Batch, std::vector<TRunObserver> Observers);

  // Begins (without asking the gate) if it has not yet, then steps as long as the gate says
  // go on. True once the run has ended; false when the gate said wait (run again to go on).
  // Without a gate the run goes to its end.
  bool Run(const TGate& Gate = {});
  bool Ended() const { return FState == TState::Ended; }
  // After the end: the best agent so far.
  const TOutcome& Outcome() const { return FOutcome; }

private:
  enum class TState { New, Running, Ended };
  void Begin();
  void Advance();
  void End(bool Stopped);
  bool UnitsDone() const;
  template <typename Part, typename Value> void Tell(Part Member, const Value& V) const;

  TExperiment& FExperiment;
  TBatch* FBatch = nullptr;
  bool FContinued = false;
  std::vector<TRunObserver> FObservers;
  TState FState = TState::New;
  TOutcome FOutcome;
  TBatchOutcome FBatchOutcome;
};
