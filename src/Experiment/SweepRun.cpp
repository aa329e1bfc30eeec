#include "Experiment/SweepRun.h"

#include "Experiment/FileText.h"
#include "FuzzySet/Cpu.h"
#include "ZEL/FitnessMemo.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
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

namespace {

// A program's 18-bit block code: shape, position, spread, periods, operator.
std::uint64_t BlockCode(const TFuzzyBlock& B) {
  return static_cast<std::uint64_t>((B.Shape << 14) | (B.Position << 10) | (B.Spread << 7) |
                                    (B.Periods << 4) | B.Operator);
}

// A carry-save adder: the sum of three bit vectors as a carry vector High and a sum vector Low.
void CarrySave(std::uint64_t& High, std::uint64_t& Low, std::uint64_t A, std::uint64_t B, std::uint64_t C) {
  const std::uint64_t u = A ^ B;
  High = (A & B) | (u & C);
  Low = u ^ C;
}

// Adds the bit vector X, of weight 2^Level, into the bit-sliced counters Slices.
void AddSliced(std::uint64_t* Slices, std::size_t Level, std::uint64_t X) {
  for (std::uint64_t* slice = Slices + Level; X; ++slice) {
    const std::uint64_t carry = *slice & X;
    *slice ^= X;
    X = carry;
  }
}

// The sums over bit positions of c and of c², from the bit-sliced counts of Words words of
// Depth slices each: c = sum over k of 2^k s_k, so both follow from the popcounts of the
// slices and of their pairwise ANDs.
[[gnu::always_inline]] inline void SumSlicesIn(const std::uint64_t* Slices, std::size_t Words,
                                               std::size_t Depth, long long& Sum, long long& Squares) {
  for (std::size_t w = 0; w < Words; ++w) {
    const std::uint64_t* s = Slices + w * Depth;
    for (std::size_t k = 0; k < Depth; ++k) {
      Sum += static_cast<long long>(std::popcount(s[k])) << k;
      Squares += static_cast<long long>(std::popcount(s[k])) << (2 * k);
      for (std::size_t l = k + 1; l < Depth; ++l)
        Squares += static_cast<long long>(std::popcount(s[k] & s[l])) << (k + l + 1);
    }
  }
}
void SumSlices(const std::uint64_t* Slices, std::size_t Words, std::size_t Depth, long long& Sum,
               long long& Squares) {
  SumSlicesIn(Slices, Words, Depth, Sum, Squares);
}
#if defined(__x86_64__) && defined(__GNUC__)
// With the processor's own popcount (every processor of the vector kernels has it).
__attribute__((target("popcnt"))) void SumSlicesPopcnt(const std::uint64_t* Slices, std::size_t Words,
                                                       std::size_t Depth, long long& Sum,
                                                       long long& Squares) {
  SumSlicesIn(Slices, Words, Depth, Sum, Squares);
}
#endif

} // namespace

TDiversity PopulationDiversity(const TZELAgentPopulation& Population) {
  // Measured at every generation of every run of a sweep, so it is made cheap: each program
  // packed into 64-bit words as the fitness memo keys it (every field a half byte, sixteen to
  // a word, a missing block as fields of 0; spread and periods have three bits, so their
  // fourth is 0 in every program and the half bytes differ exactly where the 18-bit block
  // codes do), the ones of every bit position counted over all agents at once in bit-sliced
  // counters fed by carry-save adders, and the distinct programs found with a hash table of
  // the keys. PopulationDiversityLiteral is the definition.
  TDiversity d;
  const int n = Population.Count();
  if (n == 0) return d;
  thread_local std::vector<TProgramKey> keys;
  thread_local std::vector<std::uint64_t> slices;
  thread_local std::vector<int> table;
  keys.clear();
  // The distinct programs by open addressing over a table of at least twice n places; keys of
  // equal hashes are compared whole (block count and words), so the count is exact.
  const std::size_t size = std::bit_ceil(2 * static_cast<std::size_t>(n));
  table.assign(size, -1);
  int blocks = 0;
  for (int a = 0; a < n; ++a) {
    const TZEL& program = Population.Agent(a).ZEL;
    // Neighbours often carry one program (the children of a settled run): its key again, and
    // the table has it already.
    if (a > 0 && keys.back().Blocks == program.Count()) {
      const TZEL& before = Population.Agent(a - 1).ZEL;
      if (std::memcmp(program.Data(), before.Data(),
                      static_cast<std::size_t>(program.Count()) * sizeof(TFuzzyBlock)) == 0) {
        keys.push_back(keys.back());
        continue;
      }
    }
    const TProgramKey& key = keys.emplace_back(program, program.Count());
    // A field out of range has no half byte (no program holds one: blocks are valid).
    if (key.Blocks < 0) return PopulationDiversityLiteral(Population);
    blocks = std::max(blocks, program.Count());
    for (std::size_t i = key.Hash & (size - 1);; i = (i + 1) & (size - 1)) {
      if (table[i] < 0) {
        table[i] = a;
        ++d.DistinctPrograms;
        break;
      }
      if (keys[static_cast<std::size_t>(table[i])] == key) break;
    }
  }
  const std::size_t words =
      static_cast<std::size_t>(5 * blocks + TProgramKey::FieldsPerWord - 1) / TProgramKey::FieldsPerWord;

  // Over all pairs, a bit that c agents have set differs in c (n - c) of them. Slice k of a
  // word holds bit k of the count of every bit position; eight agents at a time are summed
  // by carry-save adders first (ones, twos and fours carried on, eights added).
  const std::size_t depth = static_cast<std::size_t>(std::bit_width(static_cast<unsigned>(n)));
  slices.assign(words * depth, 0);
  for (std::size_t w = 0; w < words; ++w) {
    std::uint64_t* s = &slices[w * depth];
    const auto x = [&](int A) { return keys[static_cast<std::size_t>(A)].Words[w]; };
    std::uint64_t ones = 0, twos = 0, fours = 0, twosA, twosB, foursA, foursB, eights;
    int a = 0;
    for (; a + 8 <= n; a += 8) {
      CarrySave(twosA, ones, ones, x(a), x(a + 1));
      CarrySave(twosB, ones, ones, x(a + 2), x(a + 3));
      CarrySave(foursA, twos, twos, twosA, twosB);
      CarrySave(twosA, ones, ones, x(a + 4), x(a + 5));
      CarrySave(twosB, ones, ones, x(a + 6), x(a + 7));
      CarrySave(foursB, twos, twos, twosA, twosB);
      CarrySave(eights, fours, fours, foursA, foursB);
      AddSliced(s, 3, eights);
    }
    for (; a < n; ++a)
      AddSliced(s, 0, x(a));
    AddSliced(s, 0, ones);
    AddSliced(s, 1, twos);
    AddSliced(s, 2, fours);
  }
  // The sum over bit positions of c (n - c) is n sum(c) - sum(c²).
  long long sum = 0, squares = 0;
#if defined(__x86_64__) && defined(__GNUC__)
  if (Cpu::Level() != Cpu::TLevel::Baseline)
    SumSlicesPopcnt(slices.data(), words, depth, sum, squares);
  else
#endif
    SumSlices(slices.data(), words, depth, sum, squares);
  const double differing = static_cast<double>(static_cast<long long>(n) * sum - squares);
  d.MeanHamming = n > 1 ? differing / (static_cast<double>(n) * (n - 1) / 2) : 0;
  return d;
}

TDiversity PopulationDiversityLiteral(const TZELAgentPopulation& Population) {
  // Every pair of agents, block by block and bit by bit; the programs' texts, compared.
  TDiversity d;
  const int n = Population.Count();
  std::set<std::string> texts;
  double differing = 0;
  for (int a = 0; a < n; ++a) {
    const TZEL& x = Population.Agent(a).ZEL;
    texts.insert(x.ToText());
    for (int b = a + 1; b < n; ++b) {
      const TZEL& y = Population.Agent(b).ZEL;
      for (int j = 0; j < std::max(x.Count(), y.Count()); ++j) {
        const std::uint64_t cx = j < x.Count() ? BlockCode(x.Block(j)) : 0;
        const std::uint64_t cy = j < y.Count() ? BlockCode(y.Block(j)) : 0;
        for (int bit = 0; bit < 18; ++bit)
          differing += ((cx >> bit) & 1u) != ((cy >> bit) & 1u);
      }
    }
  }
  d.DistinctPrograms = static_cast<int>(texts.size());
  d.MeanHamming = n > 1 ? differing / (static_cast<double>(n) * (n - 1) / 2) : 0;
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

bool SweepResultMissing(const fs::path& Path) {
  std::error_code ec;
  const fs::file_status status = fs::symlink_status(Path, ec);
  if (!fs::exists(status)) return true;
  // A result is written whole under its name, without waiting for the disk: after a crash of
  // the system it may be there but empty. Anything else that is there is read, and refused
  // by the reader if it is no result.
  return fs::is_regular_file(status) && fs::file_size(Path, ec) == 0 && !ec;
}

std::string ReadSweepFile(const fs::path& Path, const TInputKind& Kind) {
  try {
    return ReadWholeFile(Kind, Path.string());
  } catch (const TFileError& e) {
    throw TSweepError(e.what());
  }
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
  if (kept && ReadSweepFile(planPath, SweepPlanInput) != planText)
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
    if (!SweepResultMissing(SweepResultPath(Dir, Plan.Runs[i].RunId)))
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
