#pragma once
// The aggregate of a sweep: per condition, measure and generation, the number of runs and
// their mean, standard deviation, median and 95% intervals of the mean; and a table that
// compares the conditions at their last generation. Runs without a result are counted and
// named, never averaged over as if they were there.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

struct TAggregateOptions {
  // Resamples of the percentile bootstrap; 0 for none.
  int Bootstrap = 0;
  // The bootstrap's seed: a fixed default, so that the aggregate is reproducible.
  std::uint32_t BootstrapSeed = 1;
};

struct TSweepAggregate {
  std::string Table;      // aggregate.csv
  std::string Comparison; // comparison.csv
  int Planned = 0;
  std::vector<std::string> Missing; // the run_ids without a result, in the plan's order
};

// The measures of a run's series, as the aggregate names them: the generation's best
// fitness (the chart's MaxGen) and the percentage of genotype agents (w/ Genotype).
inline constexpr const char* BestFitnessMeasure = "best_fitness";
inline constexpr const char* GenotypeMeasure = "genotype_percent";

// Reads DIR/plan.csv and DIR/runs/*.csv. A result that does not belong to the plan's line
// (other settings, a wrong header, generations missing) throws TSweepError naming the file,
// the line and the column.
TSweepAggregate AggregateSweep(const std::filesystem::path& Dir, const TAggregateOptions& Options);

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
// Reads an aggregate table (aggregate.csv) back; Source names it in messages.
std::vector<TAggregateCurve> ReadSweepAggregate(const std::string& Text, const std::string& Source);
