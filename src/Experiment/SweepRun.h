#pragma once
// Carrying out a sweep: each line of the plan is one run, alone on one thread, written to
// DIR/runs/<run_id>.csv through a temporary file and a rename, so that a result file is
// either complete or absent. Lines whose result exists are skipped, so a sweep that was
// stopped resumes where it stopped.

#include "Experiment/Experiment.h"
#include "Experiment/RunLoop.h"
#include "Experiment/SweepPlan.h"

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

// Runs one line of a plan through the run loop on the calling thread, exactly as
// `zelworld-cli run` with the run's seed and settings runs it.
void RunSweepLine(const TSweepRun& Run, std::vector<TRunObserver> Observers);

// The result file of one run, kept by an observer of the run loop and written as a whole
// (SweepResultCsv) when the run ends.
class TSweepResultWriter {
public:
  TSweepResultWriter(const TSweepRun& Run, std::filesystem::path Path);
  TRunObserver Observer();
  const std::vector<TGenerationRecord>& Records() const { return FRecords; }

private:
  const TSweepRun& FRun;
  std::filesystem::path FPath;
  std::vector<TGenerationRecord> FRecords;
};

// The result file of a run: the series of the window's chart (x, MaxGen, w/ Genotype)
// with the run's settings in front on every row.
std::string SweepResultHeader();
std::string SweepResultCsv(const TSweepRun& Run, const std::vector<TGenerationRecord>& Records);

std::filesystem::path SweepPlanPath(const std::filesystem::path& Dir);
std::filesystem::path SweepResultPath(const std::filesystem::path& Dir, const std::string& RunId);

std::string ReadWholeFile(const std::filesystem::path& Path);

struct TSweepProgress {
  int Total = 0;   // the lines of this shard
  int Skipped = 0; // their results existed already
  int Done = 0;    // run now, so far
};

struct TSweepRunOptions {
  int Jobs = 0; // 0: one worker per core
  // Only the lines whose index (from 0) is Shard modulo Shards.
  int Shard = 0;
  int Shards = 1;
  // Called after each finished run, one call at a time.
  std::function<void(const TSweepProgress&)> Progress;
};

// Keeps the plan in Dir (refusing a Dir that holds another plan) and runs the lines of the
// shard whose results are missing. A failing run stops the sweep; finished results stay.
TSweepProgress RunSweep(const TSweepPlan& Plan, const std::filesystem::path& Dir,
                        const TSweepRunOptions& Options);
