#include "cli/Commands.h"

#include "Display/Headless.h"
#include "FuzzySet/FuzzySet.h"
#include "FuzzySet/Random.h"
#include "ZEL/ZELAgent.h"
#include "ZEL/ZELAgentPopulation.h"
#include "cli/Output.h"

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

} // namespace

void RunCommand(const TRunSettings& S, bool Batch, TConsole Console) {
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
  messages.OnMessage = [&](const std::string& Text) {
    printer.Finish();
    Console.Out << Text << "\n" << std::flush;
  };

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

  // Written only after the run, so a failed run leaves earlier files as they were.
  if (!S.BestList.empty()) WriteTextFile(S.BestList, BestListText(bestList));
  if (!S.Series.empty()) WriteTextFile(S.Series, SeriesCsv(chart));
}

void EnvironmentCommand(const TEnvironmentSettings& S, TConsole Console) {
  SeedGenerator(S.World, Console);
  TFuzzySet environment;
  environment.MakeEnvironment(S.World.Elements, S.World.RandomEnvironment);
  Console.Out << (S.Json ? EnvironmentJson(environment) : EnvironmentPlain(environment)) << std::flush;
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
  Console.Out << (S.Json ? DevelopJson(developed, m) : DevelopPlain(developed, m)) << std::flush;
}

int Main(int Argc, const char* const* Argv, TConsole Console) {
  TCommandLine line;
  try {
    line = ParseCommandLine(Argc, Argv);
  } catch (const TUsageError& e) {
    Console.Err << Program << ": error: " << e.what() << "\n";
    return 2;
  }
  for (const std::string& warning : line.Warnings)
    Console.Err << Program << ": warning: " << warning << "\n";
  try {
    switch (line.Command) {
    case TCommand::Help:
      Console.Out << line.HelpText << std::flush;
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
  } catch (const std::exception& e) {
    Console.Err << Program << ": error: " << e.what() << "\n";
    return 1;
  }
  return 0;
}

} // namespace ZelCli
