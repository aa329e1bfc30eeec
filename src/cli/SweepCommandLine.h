#pragma once
// The options of `zelworld-cli sweep plan|run|aggregate`, read into plain settings.

#include "Experiment/SweepAggregate.h"
#include "Experiment/SweepPlan.h"

#include <memory>
#include <string>

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
  // run: the plan file, the output folder, the workers and the shard.
  std::string Plan;
  std::string Dir; // also the folder that aggregate reads
  int Jobs = 0;
  int Shard = 0, Shards = 1;
  // aggregate
  TAggregateOptions Aggregate;
};

// Adds the subcommand "sweep" with its three subcommands to App, and reads what was given.
class TSweepOptions {
public:
  explicit TSweepOptions(CLI::App& App);
  ~TSweepOptions();
  TSweepOptions(const TSweepOptions&) = delete;
  TSweepOptions& operator=(const TSweepOptions&) = delete;
  // After parsing, when "sweep" was chosen. Throws TUsageError.
  TSweepSettings Read() const;

private:
  struct TImpl;
  std::unique_ptr<TImpl> Impl;
};

} // namespace ZelCli
