#include "cli/SweepCommand.h"

#include "Experiment/FileText.h"
#include "Experiment/SweepProvenance.h"
#include "Experiment/SweepRun.h"
#include "cli/CommandLine.h"
#include "cli/Messages.h"
#include "cli/Output.h"

#include <array>
#include <cstdio>
#include <iostream>

namespace ZelCli {

namespace {

const char* const Program = "zelworld-cli";

void Warn(TConsole Console, const std::string& Warning) {
  Console.Err << Program << ": warning: " << Escape(Warning) << "\n" << std::flush;
}

// "a, b, c, and 7 more": at most ten names of a list.
std::string Names(const std::vector<std::string>& List) {
  std::string names;
  const std::size_t shown = std::min<std::size_t>(List.size(), 10);
  for (std::size_t i = 0; i < shown; ++i)
    names.append(i ? ", " : "").append(List[i]);
  if (shown < List.size()) names += ", and " + std::to_string(List.size() - shown) + " more";
  return names;
}

TSweepCommandRecord Record(const TSweepSettings& S, const char* Command) {
  TSweepCommandRecord r;
  r.Command = Command;
  r.Arguments = S.Arguments;
  r.Start = UtcTimestamp();
  r.Host = HostName();
  return r;
}

void PlanCommand(const TSweepSettings& S, TConsole Console) {
  const std::vector<std::string>& warnings = S.NewPlan.Warnings;
  if (S.Strict && !warnings.empty()) {
    std::string all;
    for (const std::string& w : warnings)
      all.append(all.empty() ? "" : "; ").append(w);
    throw TUsageError("--strict: " + all);
  }
  for (const std::string& w : warnings)
    Warn(Console, w);
  TSweepCommandRecord record = Record(S, "plan");
  const std::string text = SweepPlanCsv(S.NewPlan);
  if (S.PlanOut.empty()) {
    Console.Out << text << std::flush;
    return;
  }
  WriteWholeFile(S.PlanOut, text);
  record.End = UtcTimestamp();
  WritePlanRecord(S.PlanOut, text, record);
  Console.Out << S.PlanOut << ": " << S.NewPlan.Runs.size() << " runs, " << S.NewPlan.Conditions().size()
              << (S.NewPlan.Conditions().size() == 1 ? " condition\n" : " conditions\n") << std::flush;
}

void RunSweepCommand(const TSweepSettings& S, TConsole Console) {
  TSweepCommandRecord record = Record(S, "run");
  record.Shard = std::to_string(S.Shard) + "/" + std::to_string(S.Shards);
  // The whole plan is read and checked before the first run starts.
  const std::string planText = ReadSweepFile(S.Plan, SweepPlanInput);
  const TSweepPlan plan = ParseSweepPlan(planText, S.Plan);
  for (const std::string& w : plan.Warnings)
    Warn(Console, w);
  TSweepRunOptions options;
  options.Jobs = S.Jobs;
  options.Shard = S.Shard;
  options.Shards = S.Shards;
  const auto start = std::chrono::steady_clock::now();
  auto drawn = start - std::chrono::hours(1);
  bool shown = false;
  const auto clear = [&] {
    if (shown) Console.Err << "\r\x1b[K" << std::flush;
    shown = false;
  };
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
  options.Shortfall = [&](int Started, int Wanted, const std::string& Reason) {
    clear();
    Warn(Console, "could start only " + std::to_string(Started) + " of " + std::to_string(Wanted) +
                      " workers" + (Reason.empty() ? "" : " (" + Reason + ")") +
                      "; the results do not depend on their number");
  };
  TSweepRunResult done;
  const std::filesystem::path dir = S.Dir;
  try {
    done = RunSweep(plan, dir, options);
  } catch (const std::exception& e) {
    clear();
    // Results written before the failure stay; the record says what stopped the sweep.
    record.End = UtcTimestamp();
    record.Error = e.what();
    try {
      if (std::filesystem::exists(SweepPlanPath(dir)) &&
          ReadSweepFile(SweepPlanPath(dir), SweepPlanInput) == SweepPlanCsv(plan))
        RecordSweepCommand(dir, record);
    } catch (const std::exception&) {
      // The error that stopped the sweep is the one to tell.
    }
    throw;
  }
  clear();
  if (const std::string w = KeepPlanRecord(S.Plan, planText, dir); !w.empty()) Warn(Console, w);
  record.End = UtcTimestamp();
  record.Workers = done.Workers;
  RecordSweepCommand(dir, record);
  const std::vector<std::string> foreign = ForeignResults(plan, dir);
  if (!foreign.empty())
    Warn(Console, (dir / "runs").string() + " holds " + std::to_string(foreign.size()) +
                      (foreign.size() == 1 ? " file that the plan does not name"
                                           : " files that the plan does not name") +
                      ", which sweep aggregate leaves out: " + Names(foreign));
  const TSweepProgress& p = done.Progress;
  Console.Out << "Ran " << p.Done << " of " << p.Total << " runs (" << p.Skipped
              << " had results already); results in " << (dir / "runs").string() << "\n"
              << std::flush;
}

void AggregateCommand(const TSweepSettings& S, TConsole Console) {
  TSweepCommandRecord record = Record(S, "aggregate");
  const TSweepAggregate a = AggregateSweep(S.Dir, S.Aggregate);
  if (!a.Missing.empty())
    Warn(Console, std::to_string(a.Missing.size()) + " of " + std::to_string(a.Planned) +
                      " runs have no result and are left out: " + Names(a.Missing));
  if (!a.Foreign.empty())
    Warn(Console, std::to_string(a.Foreign.size()) +
                      (a.Foreign.size() == 1 ? " file in runs/ is" : " files in runs/ are") +
                      " not named by the plan and left out: " + Names(a.Foreign));
  if (!a.OtherVersions.empty())
    Warn(Console, std::to_string(a.OtherVersions.size()) + " of the results come from another version than " +
                      SweepProgramVersion() + ": " + Names(a.OtherVersions));
  const std::filesystem::path dir = S.Dir;
  WriteWholeFile(dir / "aggregate.csv", a.Table);
  WriteWholeFile(dir / "comparison.csv", a.Comparison);
  record.End = UtcTimestamp();
  RecordSweepCommand(dir, record);
  Console.Out << a.Summary << "Aggregate of " << a.Planned - static_cast<int>(a.Missing.size()) << " of "
              << a.Planned << " runs on file " << (dir / "aggregate.csv").string()
              << ", the comparisons on file " << (dir / "comparison.csv").string() << "\n"
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
  // A plan, a result or an aggregate that cannot be used is a fault of the input, like a
  // bad command line: exit status 2.
  try {
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
  } catch (const TSweepError& e) {
    throw TUsageError(e.what());
  } catch (const std::invalid_argument& e) {
    throw TUsageError(e.what());
  }
}

} // namespace ZelCli
