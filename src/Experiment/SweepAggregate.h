#pragma once
// The aggregate of a sweep: per condition, measure and generation, the number of runs and
// their mean, standard deviation, median and 95% intervals of the mean; and the comparisons
// of the conditions, pair by pair, at their last generation (or another one): Welch's t
// test, the Mann-Whitney test, the A12 and Hedges' g effect sizes, and Holm's adjustment
// for the many comparisons. Runs without a result are counted and named, never averaged
// over as if they were there; a result that holds an impossible value is refused.

#include "Experiment/SweepPlan.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// The measures of a run file, as the aggregate names them, in the order of its tables:
// best_fitness (the generation's best, the series' MaxGen), avg_fitness, min_fitness,
// best_so_far, genotype_percent (the series' w/ Genotype), distinct_programs, mean_hamming.
const std::vector<std::string>& SweepMeasureNames();
inline constexpr const char* BestFitnessMeasure = "best_fitness";
inline constexpr const char* GenotypeMeasure = "genotype_percent";

enum class TComparedPairs {
  Default,  // every pair up to 10 conditions, else those that differ in one factor
  All,      // every pair of conditions
  OneFactor // the pairs that differ in exactly one factor (SweepFactors)
};

struct TAggregateOptions {
  // Resamples of the percentile bootstrap; 0 for none.
  int Bootstrap = 0;
  // The bootstrap's seed: a fixed default, so that the aggregate is reproducible.
  std::uint32_t BootstrapSeed = 1;
  // The measures of the tables; all when empty. Names are checked (std::invalid_argument).
  std::vector<std::string> Measures;
  // The generation compared; each condition's last when none.
  std::optional<int> AtGeneration;
  TComparedPairs Pairs = TComparedPairs::Default;
};

struct TSweepAggregate {
  std::string Table;      // aggregate.csv
  std::string Comparison; // comparison.csv
  std::string Summary;    // a table for a person: the conditions and the clear differences
  int Planned = 0;
  std::vector<std::string> Missing; // the run_ids without a result, in the plan's order
  // The files in runs/ that the plan does not name, left out.
  std::vector<std::string> Foreign;
  // The result files written by another version of the program, as "FILE (VERSION)".
  std::vector<std::string> OtherVersions;
};

// Reads DIR/plan.csv and DIR/runs/*.csv. A result that does not belong to the plan's line
// (other settings, a wrong header, generations missing) or holds an impossible value throws
// TSweepError naming the file, the line and the column; so does an --at-generation that a
// condition does not reach.
TSweepAggregate AggregateSweep(const std::filesystem::path& Dir, const TAggregateOptions& Options);

// One run file's measures (in the order of SweepMeasureNames), a value per generation, and
// the version that wrote it. Text is checked against Run, the plan's line it claims to be.
struct TRunSeries {
  std::vector<std::vector<double>> Measures;
  std::string Version;
};
TRunSeries ReadSweepResult(const std::string& Text, const std::string& Source, const TSweepRun& Run);

// One mean curve of an aggregate table, with its band (the t interval; where there is none,
// the band is the mean itself).
struct TAggregateCurve {
  std::string Condition;
  // The varied settings ("reproduction=both rates-selection=1"), or the condition's name
  // when nothing varies between the conditions.
  std::string Label;
  std::string Measure;
  std::vector<double> Generation, Mean, Low, High;
};
// Reads an aggregate table (aggregate.csv) back; Source names it in messages. A file that is
// not an aggregate table throws TSweepError.
std::vector<TAggregateCurve> ReadSweepAggregate(const std::string& Text, const std::string& Source);
