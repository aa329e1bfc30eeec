#include "Experiment/SweepRun.h"

#include "Experiment/FileText.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <mutex>
#include <numeric>
#include <set>
#include <stdexcept>
#include <system_error>
#include <thread>

#ifndef ZEL_VERSION
#define ZEL_VERSION "unknown"
#endif

namespace fs = std::filesystem;

std::string SweepProgramVersion() {
  return ZEL_VERSION;
}

TDiversity PopulationDiversity(const TZELAgentPopulation& Population) {
  TDiversity d;
  const int n = Population.Count();
  if (n == 0) return d;
  int blocks = 0;
  for (int a = 0; a < n; ++a)
    blocks = std::max(blocks, Population.Agent(a).ZEL.Count());
  const std::size_t width = static_cast<std::size_t>(blocks);

  // Each program as its block codes (a missing block as code 0), and per block position and
  // field a histogram of the field's values, from which the bits' counts follow.
  constexpr std::array<int, 5> FieldBits = {4, 4, 3, 3, 4};
  std::vector<std::uint32_t> codes(static_cast<std::size_t>(n) * width, 0);
  std::vector<std::array<std::array<int, 16>, 5>> histogram(width);
  for (int a = 0; a < n; ++a) {
    const TZEL& program = Population.Agent(a).ZEL;
    for (std::size_t j = 0; j < width; ++j) {
      std::array<std::int32_t, 5> fields{};
      if (static_cast<int>(j) < program.Count()) {
        const TFuzzyBlock& b = program.Block(static_cast<int>(j));
        fields = {b.Shape, b.Position, b.Spread, b.Periods, b.Operator};
      }
      std::uint32_t code = 0;
      for (std::size_t f = 0; f < fields.size(); ++f) {
        ++histogram[j][f][static_cast<std::size_t>(fields[f])];
        code = (code << FieldBits[f]) | static_cast<std::uint32_t>(fields[f]);
      }
      codes[static_cast<std::size_t>(a) * width + j] = code;
    }
  }

  // Over all pairs, a bit that c agents have set differs in c (n - c) of them.
  double differing = 0;
  for (const auto& fields : histogram)
    for (std::size_t f = 0; f < fields.size(); ++f)
      for (int bit = 0; bit < FieldBits[f]; ++bit) {
        long long ones = 0;
        for (std::size_t v = 0; v < fields[f].size(); ++v)
          if ((v >> bit) & 1u) ones += fields[f][v];
        differing += static_cast<double>(ones * (n - ones));
      }
  d.MeanHamming = n > 1 ? differing / (static_cast<double>(n) * (n - 1) / 2) : 0;

  std::vector<int> order(static_cast<std::size_t>(n));
  std::iota(order.begin(), order.end(), 0);
  const auto program = [&](int A) { return codes.begin() + static_cast<std::ptrdiff_t>(A * width); };
  const auto w = static_cast<std::ptrdiff_t>(width);
  std::sort(order.begin(), order.end(), [&](int A, int B) {
    return std::lexicographical_compare(program(A), program(A) + w, program(B), program(B) + w);
  });
  d.DistinctPrograms = 1;
  for (std::size_t i = 1; i < order.size(); ++i)
    if (!std::equal(program(order[i]), program(order[i]) + w, program(order[i - 1]))) ++d.DistinctPrograms;
  return d;
}

void RunSweepLine(const TSweepRun& Run, TSweepResultWriter* Result, std::vector<TRunObserver> Observers) {
  TRandom random;
  random.SetClock(Rng::CounterClock(Run.Seed));
  TExperiment experiment(Run.Settings, random);
  // The sweep's workers are the parallelism; a run inside one stays on its thread.
  experiment.SetThreads(1);
  if (Result) Observers.insert(Observers.begin(), Result->Observer(experiment));
  TRunLoop(experiment, false, std::move(Observers)).Run();
}

TSweepResultWriter::TSweepResultWriter(const TSweepRun& Run, fs::path Path)
    : FUsed(Run), FPath(std::move(Path)) {
  FGenerations.reserve(static_cast<std::size_t>(Run.Settings.Generations) + 1);
}

TRunObserver TSweepResultWriter::Observer(const TExperiment& Experiment) {
  TRunObserver o;
  o.Began = [this](const TRunStart& S) { FUsed.Settings = S.Settings; };
  o.Generation = [this, &Experiment](const TGenerationRecord& R) {
    FGenerations.push_back({R.Fitness, R.GenotypeRatio, R.AvgFitness, R.GenFitMin, R.MaxFitAll,
                            PopulationDiversity(Experiment.Population())});
  };
  // A sweep is made again from its plan, so its many small files are not each forced to
  // the disk: the rename alone keeps a result file whole or absent.
  o.Ended = [this](const TRunEnd&) {
    if (!FPath.empty()) TWholeFileOutput(FPath.string(), false).Commit(SweepResultCsv(FUsed, FGenerations));
  };
  return o;
}

std::string SweepResultHeader() {
  std::string header = "run_id,condition,seed";
  for (const std::string& p : SweepParameterNames())
    AppendCsv(header, p);
  return header + ",x,MaxGen,w/ Genotype,avg_fitness,min_fitness,best_so_far,distinct_programs,mean_hamming,"
                  "program_version";
}

std::string SweepResultCsv(const TSweepRun& Run, const std::vector<TSweepGeneration>& Generations) {
  std::string settings = CsvField(Run.RunId) + "," + CsvField(Run.Condition) + "," + std::to_string(Run.Seed);
  for (const std::string& p : SweepParameterNames())
    AppendCsv(settings, SweepParameterText(Run.Settings, p));
  const std::string version = CsvField(SweepProgramVersion());
  std::string text = SweepResultHeader() + "\n";
  text.reserve(text.size() + Generations.size() * (settings.size() + version.size() + 48));
  for (std::size_t i = 0; i < Generations.size(); ++i) {
    const TSweepGeneration& g = Generations[i];
    text.append(settings).append(",").append(std::to_string(i));
    for (const double v : {static_cast<double>(g.Best), static_cast<double>(g.Genotype), g.Average,
                           static_cast<double>(g.Minimum), static_cast<double>(g.BestSoFar),
                           static_cast<double>(g.Diversity.DistinctPrograms), g.Diversity.MeanHamming})
      text.append(",").append(SweepNumber(v));
    text.append(",").append(version).append("\n");
  }
  return text;
}

fs::path SweepPlanPath(const fs::path& Dir) {
  return Dir / "plan.csv";
}

fs::path SweepResultPath(const fs::path& Dir, const std::string& RunId) {
  return Dir / "runs" / (RunId + ".csv");
}

std::string ReadSweepFile(const fs::path& Path) {
  std::FILE* file = std::fopen(Path.c_str(), "rb");
  if (!file) throw TSweepError("Cannot read file '" + Path.string() + "': " + std::strerror(errno));
  std::string text;
  char buffer[65536];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
    text.append(buffer, n);
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) throw TSweepError("Cannot read file '" + Path.string() + "'");
  return text;
}

std::vector<std::string> ForeignResults(const TSweepPlan& Plan, const fs::path& Dir) {
  std::set<std::string> ids;
  for (const TSweepRun& run : Plan.Runs)
    ids.insert(run.RunId + ".csv");
  std::vector<std::string> foreign;
  std::error_code ec;
  for (fs::directory_iterator it(Dir / "runs", ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    // Temporary files of the whole-file writer begin with '.'; a run_id never does.
    if (name.size() > 4 && name.ends_with(".csv") && name[0] != '.' && !ids.contains(name))
      foreign.push_back(name);
  }
  std::sort(foreign.begin(), foreign.end());
  return foreign;
}

TSweepRunResult RunSweep(const TSweepPlan& Plan, const fs::path& Dir, const TSweepRunOptions& Options) {
  if (Options.Shards < 1 || Options.Shard < 0 || Options.Shard >= Options.Shards)
    throw std::invalid_argument("shard " + std::to_string(Options.Shard) + "/" +
                                std::to_string(Options.Shards) + " does not exist");
  // The plan is kept beside its results; results of another plan are never mixed in, and a
  // folder that holds another plan is refused before anything is made in it.
  const std::string planText = SweepPlanCsv(Plan);
  const fs::path planPath = SweepPlanPath(Dir);
  std::error_code ec;
  const bool kept = fs::exists(planPath, ec);
  if (kept && ReadSweepFile(planPath) != planText)
    throw TSweepError("'" + Dir.string() + "' holds the results of another plan (its plan.csv differs); " +
                      "choose another output folder");
  fs::create_directories(Dir / "runs", ec);
  if (ec) throw std::runtime_error("Cannot create folder '" + (Dir / "runs").string() + "': " + ec.message());
  if (!kept) WriteWholeFile(planPath.string(), planText);

  TSweepRunResult result;
  TSweepProgress& progress = result.Progress;
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
        TSweepResultWriter writer(run, SweepResultPath(Dir, run.RunId));
        RunSweepLine(run, &writer);
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
  std::string refusal;
  for (int j = 1; j < jobs; ++j) {
    try {
      workers.emplace_back(work);
    } catch (const std::system_error& e) {
      refusal = e.code().message();
      break; // go on with the threads the system grants
    }
  }
  result.Workers = static_cast<int>(workers.size()) + 1;
  if (result.Workers < jobs && Options.Shortfall) {
    const std::lock_guard guard(lock);
    Options.Shortfall(result.Workers, jobs, refusal);
  }
  work();
  for (std::thread& w : workers)
    w.join();
  if (failure) std::rethrow_exception(failure);
  return result;
}
