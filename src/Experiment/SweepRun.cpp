#include "Experiment/SweepRun.h"

#include "Experiment/FileText.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

void RunSweepLine(const TSweepRun& Run, std::vector<TRunObserver> Observers) {
  TRandom random;
  random.SetClock(Rng::CounterClock(Run.Seed));
  TExperiment experiment(Run.Settings, random);
  // The sweep's workers are the parallelism; a run inside one stays on its thread.
  experiment.SetThreads(1);
  TRunLoop(experiment, false, std::move(Observers)).Run();
}

TSweepResultWriter::TSweepResultWriter(const TSweepRun& Run, fs::path Path)
    : FRun(Run), FPath(std::move(Path)) {
  FRecords.reserve(static_cast<std::size_t>(Run.Settings.Generations) + 1);
}

TRunObserver TSweepResultWriter::Observer() {
  TRunObserver o;
  o.Generation = [this](const TGenerationRecord& R) { FRecords.push_back(R); };
  // A sweep is made again from its plan, so its many small files are not each forced to
  // the disk: the rename alone keeps a result file whole or absent.
  o.Ended = [this](const TRunEnd&) {
    if (!FPath.empty()) TWholeFileOutput(FPath.string(), false).Commit(SweepResultCsv(FRun, FRecords));
  };
  return o;
}

std::string SweepResultHeader() {
  std::string header = "run_id,condition,seed";
  for (const std::string& p : SweepParameterNames())
    AppendCsv(header, p);
  return header + ",x,MaxGen,w/ Genotype";
}

std::string SweepResultCsv(const TSweepRun& Run, const std::vector<TGenerationRecord>& Records) {
  std::string settings = CsvField(Run.RunId) + "," + CsvField(Run.Condition) + "," + std::to_string(Run.Seed);
  for (const std::string& p : SweepParameterNames())
    AppendCsv(settings, SweepParameterText(Run.Settings, p));
  std::string text = SweepResultHeader() + "\n";
  text.reserve(Records.size() * (settings.size() + 16));
  for (std::size_t i = 0; i < Records.size(); ++i)
    text += settings + "," + std::to_string(i) + "," + SweepNumber(Records[i].Fitness) + "," +
            SweepNumber(Records[i].GenotypeRatio) + "\n";
  return text;
}

fs::path SweepPlanPath(const fs::path& Dir) {
  return Dir / "plan.csv";
}

fs::path SweepResultPath(const fs::path& Dir, const std::string& RunId) {
  return Dir / "runs" / (RunId + ".csv");
}

std::string ReadWholeFile(const fs::path& Path) {
  std::FILE* file = std::fopen(Path.c_str(), "rb");
  if (!file) throw std::runtime_error("Cannot read file '" + Path.string() + "': " + std::strerror(errno));
  std::string text;
  char buffer[65536];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
    text.append(buffer, n);
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) throw std::runtime_error("Cannot read file '" + Path.string() + "'");
  return text;
}

TSweepProgress RunSweep(const TSweepPlan& Plan, const fs::path& Dir, const TSweepRunOptions& Options) {
  if (Options.Shards < 1 || Options.Shard < 0 || Options.Shard >= Options.Shards)
    throw std::invalid_argument("shard " + std::to_string(Options.Shard) + "/" +
                                std::to_string(Options.Shards) + " does not exist");
  std::error_code ec;
  fs::create_directories(Dir / "runs", ec);
  if (ec) throw std::runtime_error("Cannot create folder '" + (Dir / "runs").string() + "': " + ec.message());

  // The plan is kept beside its results; results of another plan are never mixed in.
  const std::string planText = SweepPlanCsv(Plan);
  const fs::path planPath = SweepPlanPath(Dir);
  if (!fs::exists(planPath))
    WriteWholeFile(planPath.string(), planText);
  else if (ReadWholeFile(planPath) != planText)
    throw TSweepError("'" + Dir.string() + "' holds the results of another plan (its plan.csv differs); " +
                      "choose another output folder");

  TSweepProgress progress;
  std::vector<const TSweepRun*> pending;
  for (std::size_t i = 0; i < Plan.Runs.size(); ++i) {
    if (i % static_cast<std::size_t>(Options.Shards) != static_cast<std::size_t>(Options.Shard)) continue;
    ++progress.Total;
    if (fs::exists(SweepResultPath(Dir, Plan.Runs[i].RunId)))
      ++progress.Skipped;
    else
      pending.push_back(&Plan.Runs[i]);
  }
  if (Options.Progress) Options.Progress(progress);

  int jobs = Options.Jobs > 0 ? Options.Jobs : static_cast<int>(std::thread::hardware_concurrency());
  jobs = std::clamp(jobs, 1, std::max(1, static_cast<int>(pending.size())));
  std::atomic<std::size_t> next{0};
  std::atomic<bool> stop{false};
  std::mutex lock;
  std::exception_ptr failure;
  const auto work = [&] {
    while (!stop) {
      const std::size_t k = next++;
      if (k >= pending.size()) return;
      const TSweepRun& run = *pending[k];
      try {
        TSweepResultWriter result(run, SweepResultPath(Dir, run.RunId));
        RunSweepLine(run, {result.Observer()});
      } catch (...) {
        const std::lock_guard guard(lock);
        if (!failure) failure = std::current_exception();
        stop = true;
        return;
      }
      const std::lock_guard guard(lock);
      ++progress.Done;
      if (Options.Progress) Options.Progress(progress);
    }
  };
  // The calling thread is one of the workers, so one job starts no thread at all.
  std::vector<std::thread> workers;
  for (int j = 1; j < jobs; ++j) {
    try {
      workers.emplace_back(work);
    } catch (const std::system_error&) {
      break; // go on with the threads the system grants
    }
  }
  work();
  for (std::thread& w : workers)
    w.join();
  if (failure) std::rethrow_exception(failure);
  return progress;
}
