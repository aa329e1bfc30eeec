#pragma once
// Carrying out a sweep: each line of the plan is one run, alone on one thread, written to
// DIR/runs/<run_id>.csv through a temporary file and a rename, so that a result file is
// either complete or absent. Lines whose result exists are skipped, so a sweep that was
// stopped resumes where it stopped.

#include "Experiment/Experiment.h"
#include "Experiment/FileText.h"
#include "Experiment/RunLoop.h"
#include "Experiment/SweepPlan.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

// The version of the program, as run files and records of a sweep name it.
std::string SweepProgramVersion();

// How varied the programs of a population are: the number of distinct programs, and the
// mean Hamming distance over all pairs of agents between their programs, block by block in
// program order, each block an 18-bit code (4 bits shape, 4 position, 3 spread, 3 periods,
// 4 operator). It is the same for genotype and program-only agents, since every agent has a
// program; from 0 (all programs equal) up to 18 x blocks.
struct TDiversity {
  int DistinctPrograms = 0;
  double MeanHamming = 0;
};
TDiversity PopulationDiversity(const TZELAgentPopulation& Population);
// The same, pair by pair and bit by bit: the definition that the fast count is tested against.
TDiversity PopulationDiversityLiteral(const TZELAgentPopulation& Population);

// One generation of a run file.
struct TSweepGeneration {
  std::int32_t Best = 0;      // the generation's best fitness (the series' MaxGen)
  int Genotype = 0;           // the percentage of genotype agents (w/ Genotype)
  double Average = 0;         // the average fitness
  std::int32_t Minimum = 0;   // the lowest fitness
  std::int32_t BestSoFar = 0; // the best fitness of all generations so far
  TDiversity Diversity;
};

class TSweepResultWriter;
// Runs one line of a plan through the run loop on the calling thread, exactly as
// `zelworld-cli run` with the run's seed and settings runs it; Result (if any) keeps its
// result file, Observers see the run too.
void RunSweepLine(const TSweepRun& Run, TSweepResultWriter* Result, std::vector<TRunObserver> Observers = {});

// The result file of one run, kept by an observer of the run loop and written as a whole
// (SweepResultCsv) when the run ends; nothing is written when Path is empty.
class TSweepResultWriter {
public:
  TSweepResultWriter(const TSweepRun& Run, std::filesystem::path Path);
  // Observes a run of Experiment, whose population it measures at every generation.
  TRunObserver Observer(const TExperiment& Experiment);
  const std::vector<TSweepGeneration>& Generations() const { return FGenerations; }
  // The line as the run used it (a corrected probability as corrected).
  const TSweepRun& Used() const { return FUsed; }

private:
  TSweepRun FUsed;
  std::filesystem::path FPath;
  std::vector<TSweepGeneration> FGenerations;
};

// The result file of a run: run_id, condition, seed and the settings in front on every row,
// then the series of `zelworld-cli run --series` (x, MaxGen, w/ Genotype), then the other
// measures (avg_fitness, min_fitness, best_so_far, distinct_programs, mean_hamming) and
// the program's version.
std::string SweepResultHeader();
std::string SweepResultCsv(const TSweepRun& Run, const std::vector<TSweepGeneration>& Generations);

std::filesystem::path SweepPlanPath(const std::filesystem::path& Dir);
std::filesystem::path SweepResultPath(const std::filesystem::path& Dir, const std::string& RunId);

// Every file of a sweep that comes from outside (a plan, a result, an aggregate) is read
// here, as a whole, through the bounded reader of input files with the limit of its kind.
// A file that cannot be read, or is too large, raises TSweepError naming it.
std::string ReadSweepFile(const std::filesystem::path& Path, const TInputKind& Kind = SweepTableInput);

// True when a run's result is not there, or is an empty file (what a crash of the system can
// leave of a result written without waiting for the disk): the run is to be made.
bool SweepResultMissing(const std::filesystem::path& Path);

// The files in DIR/runs that look like results (NAME.csv) but whose NAME is no run_id of
// Plan, sorted by name.
std::vector<std::string> ForeignResults(const TSweepPlan& Plan, const std::filesystem::path& Dir);

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
  // Called once the workers run, when the system granted fewer than were asked for.
  std::function<void(int Started, int Wanted, const std::string& Reason)> Shortfall;
};

struct TSweepRunResult {
  TSweepProgress Progress;
  int Workers = 0; // the workers that ran (the calling thread is one)
};

// Keeps the plan in Dir (refusing a Dir that holds another plan before anything is created)
// and runs the lines of the shard whose results are missing. A failing run stops the sweep;
// finished results stay.
TSweepRunResult RunSweep(const TSweepPlan& Plan, const std::filesystem::path& Dir,
                         const TSweepRunOptions& Options);
