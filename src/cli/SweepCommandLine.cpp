#include "cli/SweepCommandLine.h"

#include "cli/CommandLine.h"

#include <CLI/CLI.hpp>

namespace ZelCli {

struct TSweepOptions::TImpl {
  CLI::App* Plan = nullptr;
  CLI::App* Run = nullptr;
  std::vector<std::string> Vary, Set;
  std::string Seeds, FirstSeed, PlanOut;
  bool Strict = false;
  std::string PlanFile, RunDir, Jobs, Shard;
  std::string AggregateDir, Bootstrap, BootstrapSeed, Measure, AtGeneration, Pairs;
};

TSweepOptions::TSweepOptions(CLI::App& App) : Impl(std::make_unique<TImpl>()) {
  TImpl& o = *Impl;
  CLI::App* sweep = App.add_subcommand("sweep", "many runs over seeds and settings: plan, run, aggregate");
  sweep->require_subcommand(1);

  o.Plan =
      sweep->add_subcommand("plan", "write a plan: one run a line, the cross product of the varied values");
  o.Plan
      ->add_option("--vary", o.Vary,
                   "a parameter and its values, one condition each; linked parameters change together: "
                   "P1,P2=A1:A2,B1:B2 (any number)")
      ->type_name("OPTION=V1,V2,...")
      ->expected(1)
      ->take_all();
  o.Plan->add_option("--set", o.Set, "a fixed value of a parameter (any number)")
      ->type_name("OPTION=V")
      ->expected(1)
      ->take_all();
  o.Plan->add_option("--seeds", o.Seeds, "runs per condition, 1..100000 (default 10)")->type_name("K");
  o.Plan->add_option("--first-seed", o.FirstSeed, "the first seed of every condition (default 1)")
      ->type_name("S");
  o.Plan->add_option("--out", o.PlanOut, "the plan file (default: standard output)")->type_name("FILE");
  o.Plan->add_flag("--strict", o.Strict,
                   "refuse a plan that warns: a varied parameter that cannot act, a value the runs correct");

  o.Run = sweep->add_subcommand("run", "run every line of a plan whose result is missing");
  o.Run->add_option("PLAN", o.PlanFile, "the plan file")->required();
  o.Run->add_option("--out", o.RunDir, "the output folder: plan.csv and runs/<run_id>.csv")
      ->type_name("DIR")
      ->required();
  o.Run->add_option("--jobs", o.Jobs, "runs at a time, 0..1024 (default 0: one per core)")->type_name("N");
  o.Run->add_option("--shard", o.Shard, "only the lines whose index is I modulo N (from 0)")
      ->type_name("I/N");

  CLI::App* aggregate =
      sweep->add_subcommand("aggregate", "statistics over the runs of a sweep's output folder");
  aggregate->add_option("DIR", o.AggregateDir, "the output folder of sweep run")->required();
  aggregate
      ->add_option("--bootstrap", o.Bootstrap, "percentile bootstrap intervals from B resamples, 0..100000")
      ->type_name("B");
  aggregate->add_option("--bootstrap-seed", o.BootstrapSeed, "the bootstrap's seed (default 1)")
      ->type_name("S");
  aggregate
      ->add_option("--measure", o.Measure,
                   "the measures of the tables (default all): best_fitness, avg_fitness, min_fitness, "
                   "best_so_far, genotype_percent, distinct_programs, mean_hamming")
      ->type_name("M1,M2,...");
  aggregate
      ->add_option("--at-generation", o.AtGeneration,
                   "compare the conditions at generation G (default: the last)")
      ->type_name("G");
  aggregate
      ->add_option("--pairs", o.Pairs,
                   "the pairs compared: all, or one-factor (those that differ in one factor; the default "
                   "beyond 10 conditions)")
      ->type_name("all|one-factor");
}

TSweepOptions::~TSweepOptions() = default;

namespace {

// "OPTION=VALUE" split at the first '='.
std::pair<std::string, std::string> Assignment(const std::string& Option, const std::string& Text) {
  const std::size_t eq = Text.find('=');
  if (eq == std::string::npos || eq == 0)
    throw TUsageError(Option + ": '" + Text + "' is not of the form OPTION=VALUE");
  return {Text.substr(0, eq), Text.substr(eq + 1)};
}

std::vector<std::string> Split(const std::string& Text, char Separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (std::size_t at; (at = Text.find(Separator, start)) != std::string::npos; start = at + 1)
    parts.push_back(Text.substr(start, at - start));
  parts.push_back(Text.substr(start));
  return parts;
}

} // namespace

TSweepSettings TSweepOptions::Read(int Argc, const char* const* Argv) const {
  const TImpl& o = *Impl;
  TSweepSettings s;
  for (int i = 0; i < Argc; ++i)
    s.Arguments.emplace_back(Argv[i]);
  if (o.Plan->parsed()) {
    s.Action = TSweepAction::Plan;
    TSweepDesign design;
    for (const std::string& v : o.Vary) {
      const auto [parameters, values] = Assignment("--vary", v);
      TSweepFactor factor{Split(parameters, ','), {}};
      for (const std::string& level : Split(values, ','))
        factor.Levels.push_back(Split(level, ':'));
      design.Vary.push_back(std::move(factor));
    }
    for (const std::string& v : o.Set)
      design.Set.push_back(Assignment("--set", v));
    if (!o.Seeds.empty()) design.Seeds = static_cast<int>(ParseInteger("--seeds", o.Seeds, 1, 100000));
    if (!o.FirstSeed.empty())
      design.FirstSeed =
          static_cast<std::uint32_t>(ParseInteger("--first-seed", o.FirstSeed, 0, 4294967295LL));
    try {
      s.NewPlan = MakeSweepPlan(design);
    } catch (const std::invalid_argument& e) {
      throw TUsageError(e.what());
    }
    s.PlanOut = o.PlanOut;
    s.Strict = o.Strict;
  } else if (o.Run->parsed()) {
    s.Action = TSweepAction::Run;
    s.Plan = o.PlanFile;
    s.Dir = o.RunDir;
    if (s.Dir.empty()) throw TUsageError("--out: the folder name is empty");
    if (!o.Jobs.empty()) s.Jobs = static_cast<int>(ParseInteger("--jobs", o.Jobs, 0, 1024));
    if (!o.Shard.empty()) {
      const std::size_t slash = o.Shard.find('/');
      if (slash == std::string::npos) throw TUsageError("--shard: '" + o.Shard + "' is not of the form I/N");
      s.Shards = static_cast<int>(ParseInteger("--shard", o.Shard.substr(slash + 1), 1, 1000000));
      s.Shard = static_cast<int>(ParseInteger("--shard", o.Shard.substr(0, slash), 0, s.Shards - 1));
    }
  } else {
    s.Action = TSweepAction::Aggregate;
    s.Dir = o.AggregateDir;
    TAggregateOptions& a = s.Aggregate;
    if (!o.Bootstrap.empty())
      a.Bootstrap = static_cast<int>(ParseInteger("--bootstrap", o.Bootstrap, 0, 100000));
    if (!o.BootstrapSeed.empty())
      a.BootstrapSeed =
          static_cast<std::uint32_t>(ParseInteger("--bootstrap-seed", o.BootstrapSeed, 0, 4294967295LL));
    if (!o.Measure.empty()) {
      a.Measures = Split(o.Measure, ',');
      for (const std::string& m : a.Measures)
        if (std::find(SweepMeasureNames().begin(), SweepMeasureNames().end(), m) ==
            SweepMeasureNames().end()) {
          std::string known;
          for (const std::string& name : SweepMeasureNames())
            known.append(known.empty() ? "" : ", ").append(name);
          throw TUsageError("--measure: '" + m + "' is not a measure; the measures are " + known);
        }
    }
    if (!o.AtGeneration.empty())
      a.AtGeneration = static_cast<int>(ParseInteger("--at-generation", o.AtGeneration, 0, 1000));
    if (o.Pairs == "all")
      a.Pairs = TComparedPairs::All;
    else if (o.Pairs == "one-factor")
      a.Pairs = TComparedPairs::OneFactor;
    else if (!o.Pairs.empty())
      throw TUsageError("--pairs: '" + o.Pairs + "' is not all or one-factor");
  }
  return s;
}

} // namespace ZelCli
