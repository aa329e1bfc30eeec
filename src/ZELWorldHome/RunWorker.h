#pragma once
// The run loop on a thread of its own, so that the window stays alive. The worker keeps the
// thread, the gate that pauses, steps, slows and stops the loop, and the posting of the
// loop's records to the window; the report is written by its own observer on the thread.
// The worker never touches a widget. Its thread is started with the first run and waits for
// the next one after each, so that starting a run costs the window no thread.

#include "Experiment/Experiment.h"
#include "Experiment/Report.h"
#include "Experiment/RunLoop.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// What the worker has done since the window last took it.
struct TRunUpdate {
  // Set once, as soon as the environment is built.
  std::optional<TFuzzySet> Environment;
  std::vector<TGenerationRecord> Generations;
  std::vector<TRunRecord> Runs;
  // The best agent so far, developed and measured; sent a few times a second at most.
  std::optional<TDevelopment> BestSoFar;
  // Set once, at the end: the outcome, or the message of the error that ended the run.
  bool Finished = false;
  bool Stopped = false;
  std::optional<TOutcome> Outcome;
  std::string Error;

  bool Empty() const {
    return !Environment && Generations.empty() && Runs.empty() && !BestSoFar && !Finished;
  }
};

class TRunWorker {
public:
  // Wake is called on the worker's thread whenever an update becomes waiting, so that the
  // window can come and take it; it must only post, never touch a widget. A run's first
  // updates wake nobody: the window looks at its first frame of its own accord (the end of
  // the run, or its waiting for the user, wakes the window all the same).
  explicit TRunWorker(std::function<void()> Wake);
  // Stops the run after its current generation, waits for it and ends the thread.
  ~TRunWorker();
  TRunWorker(const TRunWorker&) = delete;
  TRunWorker& operator=(const TRunWorker&) = delete;

  // Begins the experiment and runs it to its last generation, reporting to Report. With
  // StartPaused the run waits after generation 0 (before the first run of a batch).
  void StartRun(std::unique_ptr<TExperiment> Experiment, std::unique_ptr<TReportWriter> Report,
                bool StartPaused);
  // Runs a thawed experiment (TExperiment::Thaw) its generations on from the generation
  // reached; the report has its header and the lines of the new generations.
  void ContinueRun(std::unique_ptr<TExperiment> Thawed, std::unique_ptr<TReportWriter> Report,
                   bool StartPaused);
  void StartBatch(std::unique_ptr<TBatch> Batch, std::unique_ptr<TReportWriter> Report, bool StartPaused);

  // The population of the last single run (begun or continued), while that run waits for
  // the user or after it has ended; none while it works, after a batch, or after a run that
  // failed.
  std::optional<TFrozenPopulation> Freeze() const;
  // Whether Freeze would give a population now.
  bool CanFreeze() const;

  // The run controls; they may be used from any thread.
  void Pause();
  void Resume();
  // One generation (one run of a batch) while paused.
  void Step();
  // Ends the run after the current generation (between runs in a batch).
  void Stop();
  // Generations (runs of a batch) a second; 0 for as fast as possible.
  void SetSpeed(int PerSecond);

  TRunUpdate TakeUpdate();
  // The waiting update holds the end of the run.
  bool EndWaiting() const;
  bool NothingWaiting() const;
  // Paused with no step asked for, or ended: nothing happens until someone acts.
  bool Waiting() const;
  // Waits until the run has ended.
  void Join();

private:
  // The loop's gate: waits as the controls say, then goes on or stops.
  TGateAnswer Gate();
  // The observer that posts the loop's records to the window.
  TRunObserver Poster(const TExperiment& E);
  // Adds to the waiting update under the lock and wakes the window if it was empty.
  void Post(const std::function<void(TRunUpdate&)>& Add);
  // The best agent so far, developed, a few times a second at most.
  std::optional<TDevelopment> BestSnapshot(const TExperiment& E);
  void Launch(std::function<void()> Body, bool StartPaused);
  void StartSingle(std::unique_ptr<TExperiment> Experiment, std::unique_ptr<TReportWriter> Report,
                   bool StartPaused, bool Thawed);
  bool FreezableLocked() const;
  // The thread's loop: each run handed over by Launch, until the worker is destroyed.
  void Serve();

  std::function<void()> Wake;
  mutable std::mutex Lock;
  std::condition_variable Changed;
  TRunUpdate Pending;
  bool Paused = false, StopAsked = false, Blocked = false, Ended = true;
  // The window will take the waiting update without being woken.
  bool WindowLooks = false;
  // The run handed to the thread and not yet begun; the thread is to end.
  std::function<void()> Job;
  bool Quit = false;
  int StepsAsked = 0;
  int Speed = 0;
  std::chrono::steady_clock::time_point NextDue{}, LastSnapshot{};
  // Kept after the run, so that its population can still be frozen.
  std::shared_ptr<TExperiment> LastExperiment;
  bool Failed = false;
  std::thread Thread;
};
