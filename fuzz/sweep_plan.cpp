// libFuzzer target: sweep plans and aggregate tables, the two files of a sweep that come
// from outside (written by hand or by another tool). Any input must end in a plan, a table
// or a TSweepError, never in a crash.

#include "Experiment/SweepAggregate.h"
#include "Experiment/SweepPlan.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  const std::string text(reinterpret_cast<const char*>(Data), Size);
  try {
    // What is read back must be written and read again unchanged.
    const TSweepPlan plan = ParseSweepPlan(text, "plan.csv");
    const std::string csv = SweepPlanCsv(plan);
    if (SweepPlanCsv(ParseSweepPlan(csv, "again.csv")) != csv) __builtin_trap();
  } catch (const TSweepError&) {
  }
  try {
    (void)ReadSweepAggregate(text, "aggregate.csv");
  } catch (const TSweepError&) {
  }
  return 0;
}
