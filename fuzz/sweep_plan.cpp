// libFuzzer target: the files of a sweep that come from outside (written by hand, by
// another tool, or edited): plans, run files and aggregate tables. Any input must end in a
// value or a TSweepError, never in a crash; a plan read back must be written and read
// again unchanged.

#include "Experiment/SweepAggregate.h"
#include "Experiment/SweepPlan.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  const std::string text(reinterpret_cast<const char*>(Data), Size);
  try {
    const TSweepPlan plan = ParseSweepPlan(text, "plan.csv");
    const std::string csv = SweepPlanCsv(plan);
    if (SweepPlanCsv(ParseSweepPlan(csv, "again.csv")) != csv) __builtin_trap();
    (void)InertFactorWarnings(plan);
  } catch (const TSweepError&) {
  }
  try {
    // As the result of the line that the seed corpus's run file claims to be.
    TSweepRun run{"c1-s1", "base", 1, {}};
    run.Settings.Generations = 2;
    run.Settings.PopSize = 10;
    (void)ReadSweepResult(text, "c1-s1.csv", run);
  } catch (const TSweepError&) {
  }
  try {
    (void)ReadSweepAggregate(text, "aggregate.csv");
  } catch (const TSweepError&) {
  }
  return 0;
}
