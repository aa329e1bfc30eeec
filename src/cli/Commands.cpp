#include "cli/Commands.h"

#include "Experiment/Develop.h"
#include "Experiment/Experiment.h"
#include "Experiment/Report.h"
#include "Experiment/RunObservers.h"
#include "Experiment/SweepProvenance.h"
#include "FuzzySet/FuzzySet.h"
#include "FuzzySet/Random.h"
#include "ZEL/WorkerPool.h"
#include "cli/Messages.h"
#include "cli/Output.h"
#include "cli/OutputFiles.h"
#include "cli/SweepCommand.h"

#include <exception>
#include <new>

namespace ZelCli {

namespace {

const char* const Program = "zelworld-cli";

// A generator whose clock reads the seed first and one more at every later reading, so
// that the command can be repeated exactly from the seed it reports.
TRandom SeededGenerator(const std::optional<std::uint32_t>& Seed, TConsole Console,
                        std::optional<std::uint32_t>* Used = nullptr) {
  const std::uint32_t seed = Seed ? *Seed : Rng::TimeOfDayMilliseconds();
  if (!Seed) Console.Err << "seed: " << seed << "\n" << std::flush;
  if (Used) *Used = seed;
  TRandom random;
  random.SetClock(Rng::CounterClock(seed));
  return random;
}

// The environment of the world settings, built as a run builds it: seeded first.
TFuzzySet SeededEnvironment(const TWorldSettings& World, TRandom& Random) {
  Random.Randomize();
  TFuzzySet environment;
  environment.MakeEnvironment(Random, World.Elements, World.RandomEnvironment);
  return environment;
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
  // Read only for a record of the run: the system's time zone file is read with it.
  const std::string start = outputs.WantsMetadata() ? UtcTimestamp() : std::string();
  std::optional<std::uint32_t> seed;
  TRandom random = DrawsSeed(S) ? SeededGenerator(S.Seed, Console, &seed) : TRandom();
  TBestList bestList;
  TSeries series;
  TProgressPrinter printer(Console.Err);
  // Each generation's best text and chart point are kept only for a file that wants them.
  std::vector<TRunObserver> observers;
  if (outputs.WantsBestList()) observers.push_back(bestList.Observer());
  if (outputs.WantsSeries()) observers.push_back(series.Observer());
  if (Console.ErrIsTerminal) observers.push_back(printer.Observer());

  TExperimentSettings used;
  try {
    if (Batch) {
      TBatch batch(S.Experiment, random);
      batch.SetThreads(S.Threads);
      if (S.Files.OwnEnvironment) batch.SetEnvironment(*S.Files.OwnEnvironment);
      TReportWriter report(outputs.TakeReport());
      observers.insert(observers.begin(), report.Observer());
      TRunLoop(batch, std::move(observers)).Run();
      used = batch.Experiment().Settings();
    } else {
      TExperiment experiment(S.Experiment, random);
      experiment.SetThreads(S.Threads);
      RunOrContinue(experiment, S, seed.value_or(0), std::move(observers), outputs);
      used = experiment.Settings();
    }
  } catch (...) {
    printer.Finish();
    throw;
  }
  printer.Finish();

  // Put in place only after the run, so a failed run leaves earlier files as they were. The
  // closing message waits until the report is closed and every other file is in place.
  outputs.Commit(bestList, series);
  if (outputs.WantsMetadata())
    outputs.CommitMetadata(MetadataText(S, Batch ? "batch" : "run", used, seed, start));
  WriteOut(Console.Out, Escape(ReportClosingMessage(S.Report)) + "\n");
}

void EnvironmentCommand(const TEnvironmentSettings& S, TConsole Console) {
  TRandom random = SeededGenerator(S.World.Seed, Console);
  const TFuzzySet environment = SeededEnvironment(S.World, random);
  WriteOut(Console.Out, S.Json ? EnvironmentJson(environment) : EnvironmentPlain(environment));
}

void DevelopCommand(const TDevelopSettings& S, TConsole Console) {
  // An environment of one's own leaves nothing to the seed.
  TRandom random = S.OwnEnvironment ? TRandom() : SeededGenerator(S.World.Seed, Console);
  const TFuzzySet environment = S.OwnEnvironment ? *S.OwnEnvironment : SeededEnvironment(S.World, random);
  const TDevelopment d = DevelopProgram(random, S.Program, S.Blocks, S.World.Elements, environment);
  WriteOut(Console.Out,
           S.Json ? DevelopJson(d.Developed, d.Measures) : DevelopPlain(d.Developed, d.Measures));
}

int Main(int Argc, const char* const* Argv, TConsole Console) {
  TCommandLine line;
  // Files are read while the command line is, so a failure there may be one of the work.
  try {
    line = ParseCommandLine(Argc, Argv);
  } catch (const TUsageError& e) {
    Console.Err << Program << ": error: " << Escape(e.what()) << "\n";
    return 2;
  } catch (const std::bad_alloc&) {
    Console.Err << Program << ": error: out of memory while reading the command line's files\n";
    return 1;
  } catch (const std::exception& e) {
    Console.Err << Program << ": error: " << Escape(e.what()) << "\n";
    return 1;
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
    case TCommand::Sweep:
      SweepCommand(line.Sweep, Console);
      break;
    }
    CheckOut(Console.Out);
  } catch (const TUsageError& e) {
    // An input file found unusable while working counts as a bad command line.
    Console.Err << Program << ": error: " << Escape(e.what()) << "\n";
    return 2;
  } catch (const std::bad_alloc&) {
    Console.Err << Program << ": error: out of memory\n";
    return 1;
  } catch (const std::exception& e) {
    Console.Err << Program << ": error: " << Escape(e.what()) << "\n";
    return 1;
  }
  return 0;
}

} // namespace ZelCli
