#include "Experiment/RunLoop.h"

#include "Experiment/ReportFormat.h"

TRunLoop::TRunLoop(TExperiment& Experiment, bool Continued, std::vector<TRunObserver> Observers)
    : FExperiment(Experiment), FContinued(Continued), FObservers(std::move(Observers)) {}

TRunLoop::TRunLoop(TBatch& Batch, std::vector<TRunObserver> Observers)
    : FExperiment(Batch.Experiment()), FBatch(&Batch), FObservers(std::move(Observers)) {}

template <typename Part, typename Value> void TRunLoop::Tell(Part Member, const Value& V) const {
  for (const TRunObserver& o : FObservers)
    if (o.*Member) (o.*Member)(V);
}

bool TRunLoop::Run(const TGate& Gate) {
  if (FState == TState::Ended) return true;
  if (FState == TState::New) Begin();
  while (!UnitsDone()) {
    switch (Gate ? Gate() : TGateAnswer::Go) {
    case TGateAnswer::Go:
      Advance();
      break;
    case TGateAnswer::Wait:
      return false;
    case TGateAnswer::Stop:
      End(true);
      return true;
    }
  }
  End(false);
  return true;
}

bool TRunLoop::UnitsDone() const {
  return FBatch ? FBatch->Done() : FExperiment.Done();
}

void TRunLoop::Begin() {
  FState = TState::Running;
  TGenerationRecord first;
  if (FBatch)
    FBatch->Begin();
  else if (!FContinued)
    first = FExperiment.Begin();
  const TExperimentSettings& s = FExperiment.Settings();
  const int last = FBatch ? BatchRunCount : FExperiment.FirstGeneration() + s.Generations;
  Tell(&TRunObserver::Began,
       TRunStart{s, FExperiment.Environment(), FBatch != nullptr, FExperiment.FirstGeneration(), last});
  if (!FBatch && !FContinued) Tell(&TRunObserver::Generation, first);
}

void TRunLoop::Advance() {
  if (!FBatch) {
    Tell(&TRunObserver::Generation, FExperiment.Step());
    return;
  }
  FBatch->BeginRun();
  while (!FExperiment.Done())
    FBatch->Note(FExperiment.Step());
  Tell(&TRunObserver::Run, FBatch->EndRun());
}

void TRunLoop::End(bool Stopped) {
  FState = TState::Ended;
  std::string stopLine;
  if (FBatch) {
    FBatchOutcome = FBatch->Finish();
    FOutcome = FBatchOutcome.Last;
    if (Stopped)
      stopLine = "Stopped after run " + FormatInt(FBatch->Runs()) + " of " + FormatInt(BatchRunCount);
  } else {
    FOutcome = FExperiment.Finish();
    // A continued run counts its generations on from the one it started from.
    if (Stopped)
      stopLine = "Stopped after generation " + FormatInt(FExperiment.Generation()) + " of " +
                 FormatInt(FExperiment.FirstGeneration() + FExperiment.Settings().Generations);
  }
  // A batch stopped before its first run has no averages to give.
  const TBatchOutcome* averages = FBatch && FBatch->Runs() > 0 ? &FBatchOutcome : nullptr;
  Tell(&TRunObserver::Ended, TRunEnd{Stopped, stopLine, FOutcome, averages});
}
