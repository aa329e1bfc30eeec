#include "cli/SweepCommand.h"

#include "Experiment/FileText.h"
#include "Experiment/SweepRun.h"
#include "cli/Output.h"

#include <array>
#include <cstdio>
#include <iostream>

namespace ZelCli {

namespace {

void PlanCommand(const TSweepSettings& S, TConsole Console) {
  const std::string text = SweepPlanCsv(S.NewPlan);
  if (S.PlanOut.empty()) {
    Console.Out << text << std::flush;
    return;
  }
  WriteWholeFile(S.PlanOut, text);
  Console.Out << S.PlanOut << ": " << S.NewPlan.Runs.size() << " runs, " << S.NewPlan.Conditions().size()
              << (S.NewPlan.Conditions().size() == 1 ? " condition\n" : " conditions\n") << std::flush;
}

void RunSweepCommand(const TSweepSettings& S, TConsole Console) {
  // The whole plan is read and checked before the first run starts.
  const TSweepPlan plan = ParseSweepPlan(ReadWholeFile(S.Plan), S.Plan);
  TSweepRunOptions options;
  options.Jobs = S.Jobs;
  options.Shard = S.Shard;
  options.Shards = S.Shards;
  const auto start = std::chrono::steady_clock::now();
  auto drawn = start - std::chrono::hours(1);
  bool shown = false;
  if (Console.ErrIsTerminal)
    options.Progress = [&](const TSweepProgress& P) {
      // A run can take milliseconds: the line is redrawn at most ten times a second.
      const auto now = std::chrono::steady_clock::now();
      if (now - drawn < std::chrono::milliseconds(100) && P.Skipped + P.Done < P.Total) return;
      drawn = now;
      shown = true;
      Console.Err << '\r'
                  << SweepProgressLine(P, std::chrono::duration_cast<std::chrono::seconds>(now - start))
                  << "\x1b[K" << std::flush;
    };
  const auto clear = [&] {
    if (shown) Console.Err << "\r\x1b[K" << std::flush;
  };
  TSweepProgress done;
  try {
    done = RunSweep(plan, S.Dir, options);
  } catch (...) {
    clear();
    throw;
  }
  clear();
  Console.Out << "Ran " << done.Done << " of " << done.Total << " runs (" << done.Skipped
              << " had results already); results in " << (std::filesystem::path(S.Dir) / "runs").string()
              << "\n"
              << std::flush;
}

void AggregateCommand(const TSweepSettings& S, TConsole Console) {
  const TSweepAggregate a = AggregateSweep(S.Dir, S.Aggregate);
  if (!a.Missing.empty()) {
    std::string names;
    const std::size_t shown = std::min<std::size_t>(a.Missing.size(), 10);
    for (std::size_t i = 0; i < shown; ++i)
      names.append(i ? ", " : "").append(a.Missing[i]);
    if (shown < a.Missing.size()) names += ", and " + std::to_string(a.Missing.size() - shown) + " more";
    Console.Err << "zelworld-cli: warning: " << a.Missing.size() << " of " << a.Planned
                << " runs have no result and are left out: " << names << "\n";
  }
  const std::filesystem::path dir = S.Dir;
  WriteWholeFile(dir / "aggregate.csv", a.Table);
  WriteWholeFile(dir / "comparison.csv", a.Comparison);
  Console.Out << "Aggregate of " << a.Planned - static_cast<int>(a.Missing.size()) << " of " << a.Planned
              << " runs on file " << (dir / "aggregate.csv").string()
              << ", the last generation compared on file " << (dir / "comparison.csv").string() << "\n"
              << std::flush;
}

} // namespace

std::string SweepProgressLine(const TSweepProgress& P, std::chrono::seconds Elapsed) {
  const int finished = P.Skipped + P.Done;
  std::string what = "run " + std::to_string(finished) + "/" + std::to_string(P.Total);
  if (P.Skipped > 0) what += " (" + std::to_string(P.Skipped) + " done before)";
  return ProgressBarLine(finished, P.Total, what, Elapsed);
}

void SweepCommand(const TSweepSettings& S, TConsole Console) {
  switch (S.Action) {
  case TSweepAction::Plan:
    PlanCommand(S, Console);
    break;
  case TSweepAction::Run:
    RunSweepCommand(S, Console);
    break;
  case TSweepAction::Aggregate:
    AggregateCommand(S, Console);
    break;
  }
}

} // namespace ZelCli
