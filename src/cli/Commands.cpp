#include "cli/Commands.h"

#include "Display/Headless.h"
#include "FuzzySet/FuzzySet.h"
#include "FuzzySet/Random.h"
#include "ZEL/WorkerPool.h"
#include "ZEL/ZELAgent.h"
#include "ZEL/ZELAgentPopulation.h"
#include "cli/Messages.h"
#include "cli/Output.h"
#include "cli/OutputFiles.h"

#include <exception>

namespace ZelCli {

namespace {

const char* const Program = "zelworld-cli";

// Every reading of the clock after this one is known in advance, so the command can
// be repeated exactly from the seed it reports.
void SeedGenerator(const TWorldSettings& World, TConsole Console) {
  const std::uint32_t seed = World.Seed ? *World.Seed : Rng::TimeOfDayMilliseconds();
  if (!World.Seed) Console.Err << "seed: " << seed << "\n" << std::flush;
  Rng::SetClock(Rng::CounterClock(seed));
  Rng::Randomize();
}

// Told by the engine when the system refuses evaluation threads, while a command runs.
struct TShortfallNotice {
  explicit TShortfallNotice(TConsole Console) {
    TWorkerPool::SetShortfallHandler([Console](int Started, int Wanted, const std::string& Reason) {
      // On a line of its own, not after a progress bar drawn so far.
      if (Console.ErrIsTerminal) Console.Err << "\r\x1b[K";
      Console.Err << Program << ": warning: could start only " << Started << " of " << Wanted
                  << " evaluation threads (" << Reason << "); the results do not depend on their number\n";
    });
  }
  ~TShortfallNotice() { TWorkerPool::SetShortfallHandler({}); }
  TShortfallNotice(const TShortfallNotice&) = delete;
  TShortfallNotice& operator=(const TShortfallNotice&) = delete;
};

} // namespace

void RunCommand(const TRunSettings& S, bool Batch, TConsole Console) {
  TRunOutputs outputs(S);
  SeedGenerator(S.World, Console);
  TZELAgentPopulation population(S.PopSize, S.Blocks, S.World.Elements, S.ReproductionType);
  population.SetThreads(S.Threads);
  TFuzzySet environment;
  environment.MakeEnvironment(S.World.Elements, S.World.RandomEnvironment);

  THeadlessProgress bar;
  THeadlessChart chart;
  THeadlessImage image;
  THeadlessMessageBox messages;
  TStringList bestList;
  TProgressPrinter printer(Console.Err,
                           Batch ? TProgressPrinter::TUnit::Run : TProgressPrinter::TUnit::Generation);
  if (Console.ErrIsTerminal) bar.OnRepaint = [&](const THeadlessProgress& B) { printer.Repaint(B); };
  // The closing message waits until the report is closed and every other file is in place.
  std::string closing;
  messages.OnMessage = [&](const std::string& Text) { closing = Text; };

  try {
    if (Batch)
      population.RunBatch(S.PopSize, S.Blocks, S.World.Elements, S.ReproductionType, S.Generations,
                          S.PCrossover, S.PMutation, S.PNoise, S.Report, bar, environment, S.RatesSelection,
                          chart, image, bestList, messages);
    else
      population.Run(S.Generations, S.Report, S.PCrossover, S.PMutation, S.PNoise, bar, environment,
                     S.RatesSelection, chart, image, bestList, messages);
  } catch (...) {
    printer.Finish();
    throw;
  }
  printer.Finish();

  outputs.Commit(bestList, chart);
  WriteOut(Console.Out, Escape(closing) + "\n");
}

void EnvironmentCommand(const TEnvironmentSettings& S, TConsole Console) {
  SeedGenerator(S.World, Console);
  TFuzzySet environment;
  environment.MakeEnvironment(S.World.Elements, S.World.RandomEnvironment);
  WriteOut(Console.Out, S.Json ? EnvironmentJson(environment) : EnvironmentPlain(environment));
}

void DevelopCommand(const TDevelopSettings& S, TConsole Console) {
  SeedGenerator(S.World, Console);
  TFuzzySet environment;
  environment.MakeEnvironment(S.World.Elements, S.World.RandomEnvironment);
  // As the list window does: a temporary program-only agent whose random program
  // is replaced by the text.
  TZELAgent agent(S.Blocks, S.World.Elements, false);
  agent.ZEL.FromText(S.Program);
  TFuzzySet developed;
  agent.Develop(developed);
  TMeasures m;
  m.Cardinality = developed.Cardinality();
  m.Subsethood = developed.Subsethood(environment);
  m.Hamming = developed.HammingDistance(environment);
  agent.Evaluate(developed, environment);
  m.Fitness = agent.Fitness;
  WriteOut(Console.Out, S.Json ? DevelopJson(developed, m) : DevelopPlain(developed, m));
}

int Main(int Argc, const char* const* Argv, TConsole Console) {
  TCommandLine line;
  try {
    line = ParseCommandLine(Argc, Argv);
  } catch (const TUsageError& e) {
    Console.Err << Program << ": error: " << Escape(e.what()) << "\n";
    return 2;
  }
  for (const std::string& warning : line.Warnings)
    Console.Err << Program << ": warning: " << Escape(warning) << "\n";
  for (const std::string& note : line.Notes)
    Console.Err << Program << ": " << Escape(note) << "\n";
  const TShortfallNotice notice(Console);
  try {
    switch (line.Command) {
    case TCommand::Help:
      WriteOut(Console.Out, line.HelpText);
      break;
    case TCommand::Run:
    case TCommand::Batch:
      RunCommand(line.Run, line.Command == TCommand::Batch, Console);
      break;
    case TCommand::Environment:
      EnvironmentCommand(line.Environment, Console);
      break;
    case TCommand::Develop:
      DevelopCommand(line.Develop, Console);
      break;
    }
    CheckOut(Console.Out);
  } catch (const std::exception& e) {
    Console.Err << Program << ": error: " << Escape(e.what()) << "\n";
    return 1;
  }
  return 0;
}

} // namespace ZelCli
