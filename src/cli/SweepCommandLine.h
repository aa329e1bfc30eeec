#pragma once
// The options of `zelworld-cli sweep plan|run|aggregate`, read into plain settings.

#include "Experiment/SweepAggregate.h"
#include "Experiment/SweepPlan.h"

#include <memory>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace ZelCli {

enum class TSweepAction { Plan, Run, Aggregate };

struct TSweepSettings {
  TSweepAction Action = TSweepAction::Plan;
  // plan: the plan made of what was varied and set, and where it goes (standard output
  // when empty).
  TSweepPlan NewPlan;
  std::string PlanOut;
  // A plan with warnings (a factor that cannot act, a corrected value) is refused.
  bool Strict = false;
  // run: the plan file, the output folder, the workers and the shard.
  std::string Plan;
  std::string Dir; // also the folder that aggregate reads
  int Jobs = 0;
  int Shard = 0, Shards = 1;
  // aggregate
  TAggregateOptions Aggregate;
  // The command line as given, for the sweep's record.
  std::vector<std::string> Arguments;
};

// Adds the subcommand "sweep" with its three subcommands to App, and reads what was given.
class TSweepOptions {
public:
  explicit TSweepOptions(CLI::App& App);
  ~TSweepOptions();
  TSweepOptions(const TSweepOptions&) = delete;
  TSweepOptions& operator=(const TSweepOptions&) = delete;
  // After parsing, when "sweep" was chosen; Argv is the command line, kept for the sweep's
  // record. Throws TUsageError.
  TSweepSettings Read(int Argc, const char* const* Argv) const;

private:
  struct TImpl;
  std::unique_ptr<TImpl> Impl;
};

} // namespace ZelCli
