// zelworld-cli sweep in-process: usage errors, a small sweep planned, run and aggregated
// in one go, in shards and resumed after results were lost, bad plans and results refused
// with exit 2 before any file changes, results of another plan never mixed in, the
// sweep's record, and workers that the system refuses told about.

#include "CliRun.h"
#include "Experiment/FileText.h"
#include "Experiment/SweepProvenance.h"
#include "Experiment/SweepRun.h"
#include "cli/Commands.h"
#include "cli/SweepCommand.h"

#include "../ScratchDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace ZelCli;
using CliTest::TCliResult;
namespace fs = std::filesystem;

namespace {
TCliResult Sweep(const std::string& Args) {
  return CliTest::RunCli("sweep " + Args);
}

std::string Read(const std::string& Path) {
  return ReadSweepFile(Path);
}

} // namespace

TEST(SweepCli, UsageErrorsExitTwoNamingTheOption) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", "A subcommand is required"},
      {"plan --vary pop-size", "--vary: 'pop-size' is not of the form OPTION=VALUE"},
      {"plan --set rates-selection=yes", "--set rates-selection: 'yes' is not 0 or 1"},
      {"plan --seeds 0", "--seeds: 0 is outside 1..100000"},
      {"plan --vary reproduction=phenotype,both --vary p-mutation=0.1,0.2 --strict",
       "--strict: p-mutation is varied but cannot act in 2 of 4 conditions"},
      {"plan --set p-noise=2 --strict", "--strict: --set p-noise: 2 is outside 0..1; the runs use 0"},
      {"run p.csv", "--out is required"},
      {"run p.csv --out d --shard 3/3", "--shard: 3 is outside 0..2"},
      {"run p.csv --out d --shard 1", "--shard: '1' is not of the form I/N"},
      {"run p.csv --out d --jobs -1", "--jobs: -1 is outside 0..1024"},
      {"aggregate d --bootstrap x", "--bootstrap: 'x' is not an integer"},
      {"aggregate d --measure best,avg_fitness",
       "--measure: 'best' is not a measure; the measures are best_fitness,"},
      {"aggregate d --at-generation 1001", "--at-generation: 1001 is outside 0..1000"},
      {"aggregate d --pairs some", "--pairs: 'some' is not all or one-factor"},
  };
  for (const auto& [args, message] : cases) {
    const TCliResult r = Sweep(args);
    EXPECT_EQ(r.Code, 2) << args;
    EXPECT_NE(r.Err.find(message), std::string::npos) << args << "\n" << r.Err;
  }
}

TEST(SweepCli, OneProcessShardsAndResumeGiveTheSameResultsAndAggregate) {
  const TScratchDir dir;
  const std::string plan = dir / "plan.csv";
  TCliResult r = Sweep("plan --vary reproduction=phenotype,both --set pop-size=12 --set generations=8 --set "
                       "elements=30 --set blocks=3 --seeds 3 --first-seed 5 --out " +
                       plan);
  ASSERT_EQ(r.Code, 0) << r.Err;
  EXPECT_EQ(r.Out, plan + ": 6 runs, 2 conditions\n");

  r = Sweep("run " + plan + " --out " + (dir / "whole") + " --jobs 2");
  ASSERT_EQ(r.Code, 0) << r.Err;
  EXPECT_EQ(r.Out, "Ran 6 of 6 runs (0 had results already); results in " + (dir / "whole/runs") + "\n");
  for (int shard = 0; shard < 4; ++shard)
    ASSERT_EQ(Sweep("run " + plan + " --out " + (dir / "shards") + " --jobs 1 --shard " +
                    std::to_string(shard) + "/4")
                  .Code,
              0);
  // Interrupted: two results lost, one left empty by a crash of the system; the rerun makes
  // exactly those three.
  ASSERT_EQ(Sweep("run " + plan + " --out " + (dir / "resumed")).Code, 0);
  fs::remove(dir / "resumed/runs/c1-s6.csv");
  fs::remove(dir / "resumed/runs/c2-s7.csv");
  fs::resize_file(dir / "resumed/runs/c2-s5.csv", 0);
  r = Sweep("run " + plan + " --out " + (dir / "resumed") + " --jobs 2");
  ASSERT_EQ(r.Code, 0) << r.Err;
  EXPECT_EQ(r.Out.substr(0, 40), "Ran 3 of 6 runs (3 had results already);");

  const std::vector<std::string> runs = {"c1-s5.csv", "c1-s6.csv", "c1-s7.csv",
                                         "c2-s5.csv", "c2-s6.csv", "c2-s7.csv"};
  for (const char* sweep : {"whole", "shards", "resumed"}) {
    EXPECT_EQ(Listing(dir / sweep + "/runs"), runs) << sweep;
    r = Sweep("aggregate " + (dir / sweep) + " --bootstrap 100");
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(r.Err, "");
  }
  // The summary for a person, then where the tables are.
  EXPECT_NE(r.Out.find("best_fitness at generation 8: mean of the runs with its 95% interval\n"),
            std::string::npos)
      << r.Out;
  EXPECT_NE(r.Out.find("\n  reproduction=phenotype     3/3    23.33   19.54 .. 27.13\n"), std::string::npos)
      << r.Out;
  EXPECT_NE(r.Out.find("Aggregate of 6 of 6 runs on file " + (dir / "resumed/aggregate.csv") +
                       ", the comparisons on file " + (dir / "resumed/comparison.csv") + "\n"),
            std::string::npos);
  for (const std::string& file : {std::string("aggregate.csv"), std::string("comparison.csv")}) {
    const std::string whole = Read(dir / "whole/" + file);
    EXPECT_EQ(Read(dir / "shards/" + file), whole) << file;
    EXPECT_EQ(Read(dir / "resumed/" + file), whole) << file;
  }
  for (const std::string& run : runs)
    EXPECT_EQ(Read(dir / "shards/runs/" + run), Read(dir / "whole/runs/" + run)) << run;

  // A result that is not one is refused with exit 2, and nothing is written; a missing one
  // is reported, not averaged over.
  const std::string table = Read(dir / "whole/aggregate.csv");
  WriteWholeFile(dir / "whole/runs/c1-s5.csv", "kept");
  fs::remove(dir / "whole/runs/c2-s6.csv");
  fs::remove(dir / "whole/runs/c2-s7.csv");
  r = Sweep("aggregate " + (dir / "whole"));
  EXPECT_EQ(r.Code, 2);
  EXPECT_NE(r.Err.find("c1-s5.csv:1: the header is not that of a sweep's result"), std::string::npos)
      << r.Err;
  EXPECT_EQ(Read(dir / "whole/aggregate.csv"), table);
  fs::remove(dir / "whole/runs/c1-s5.csv");
  r = Sweep("aggregate " + (dir / "whole"));
  EXPECT_EQ(r.Code, 0);
  EXPECT_EQ(r.Err,
            "zelworld-cli: warning: 3 of 6 runs have no result and are left out: c1-s5, c2-s6, c2-s7\n");
  EXPECT_NE(Read(dir / "whole/aggregate.csv").find("\nreproduction=both,both,best_fitness,8,1,3,"),
            std::string::npos);
}

TEST(SweepCli, BadPlansAndForeignFoldersAreRefusedBeforeAnyRunAndStrayResultsNamed) {
  const TScratchDir dir;
  const std::string plan = dir / "plan.csv";
  WriteWholeFile(plan, "run_id,condition,seed,generations\n"
                       "a,c,1,3\n"
                       "b,c,2,3\n"
                       "c,c,3,zero\n");
  TCliResult r = Sweep("run " + plan + " --out " + (dir / "out"));
  EXPECT_EQ(r.Code, 2);
  EXPECT_EQ(r.Err, "zelworld-cli: error: " + plan + ":4:4 (generations): 'zero' is not an integer\n");
  EXPECT_FALSE(fs::exists(dir / "out"));
  r = Sweep("run " + (dir / "none.csv") + " --out " + (dir / "out"));
  EXPECT_EQ(r.Code, 2);
  EXPECT_NE(r.Err.find("none.csv"), std::string::npos);

  // A corrected probability of a plan written by hand is told, and recorded as used.
  WriteWholeFile(plan, "run_id,condition,seed,generations,p-mutation\na,c,1,3,2\n");
  r = Sweep("run " + plan + " --out " + (dir / "out"));
  ASSERT_EQ(r.Code, 0) << r.Err;
  EXPECT_EQ(r.Err,
            "zelworld-cli: warning: " + plan + ":2:5 (p-mutation): 2 is outside 0..1; the runs use 0\n");
  EXPECT_NE(Read(dir / "out/runs/a.csv").find("\na,c,1,100,3,100,8,genotype,0,0,1,0,0.0001,0,"),
            std::string::npos);

  // Another plan into the same folder: refused, and no runs/ made where there was none.
  fs::remove_all(dir / "out/runs");
  WriteWholeFile(plan, "run_id,condition,seed,generations\na,c,1,4\n");
  r = Sweep("run " + plan + " --out " + (dir / "out"));
  EXPECT_EQ(r.Code, 2);
  EXPECT_NE(r.Err.find("holds the results of another plan"), std::string::npos) << r.Err;
  EXPECT_FALSE(fs::exists(dir / "out/runs"));
  EXPECT_EQ(Sweep("aggregate " + (dir / "nowhere")).Code, 2);

  // Results in runs/ that the plan does not name are named by run and by aggregate.
  ASSERT_EQ(Sweep("run " + plan + " --out " + (dir / "next")).Code, 0);
  WriteWholeFile(dir / "next/runs/z-old.csv", "x");
  r = Sweep("run " + plan + " --out " + (dir / "next"));
  EXPECT_EQ(r.Code, 0);
  EXPECT_NE(
      r.Err.find("holds 1 file that the plan does not name, which sweep aggregate leaves out: z-old.csv"),
      std::string::npos)
      << r.Err;
  r = Sweep("aggregate " + (dir / "next"));
  EXPECT_EQ(r.Code, 0);
  EXPECT_EQ(r.Err,
            "zelworld-cli: warning: 1 file in runs/ is not named by the plan and left out: z-old.csv\n");

  EXPECT_EQ(SweepProgressLine({40, 3, 9}, std::chrono::seconds(65)),
            "[#########.....................] run 12/40 (3 done before)  1:05");
}

TEST(SweepCli, TheSweepFolderRecordsVersionCommandsTimesHostWorkersAndThePlansHash) {
  const TScratchDir dir;
  const std::string plan = dir / "plan.csv";
  ASSERT_EQ(
      Sweep("plan --vary rates-selection=0,1 --set generations=2 --set pop-size=6 --seeds 2 --out " + plan)
          .Code,
      0);
  ASSERT_EQ(Sweep("run " + plan + " --out " + (dir / "out") + " --jobs 2 --shard 0/2").Code, 0);
  ASSERT_EQ(Sweep("run " + plan + " --out " + (dir / "out") + " --jobs 1 --shard 1/2").Code, 0);
  ASSERT_EQ(Sweep("aggregate " + (dir / "out")).Code, 0);
  const std::string record = Read(dir / "out/provenance.json");
  const std::string hash = Sha1Hex(Read(dir / "out/plan.csv"));
  EXPECT_EQ(hash, Sha1Hex(Read(plan)));
  for (const std::string& part : std::vector<std::string>{
           "\"version\": \"1.0\"", "\"plan_sha1\": \"" + hash + "\"", "\"command\": \"plan\"", "\"--vary\",",
           "\"command\": \"run\"", "\"shard\": \"1/2\"", "\"workers\": 1", "\"command\": \"aggregate\"",
           "\"host\": \"" + HostName() + "\"", "\"start\": \"20", "\"end\": \"20"})
    EXPECT_NE(record.find(part), std::string::npos) << part << "\n" << record;
  // Shard 0 ran on two workers where the system has threads (WebAssembly has none).
  const std::size_t shard = record.find("\"shard\": \"0/2\""), workers = record.rfind("\"workers\": ", shard);
  ASSERT_NE(workers, std::string::npos);
#ifdef ZEL_UNDER_EMULATOR
  EXPECT_TRUE(record[workers + 11] == '1' || record[workers + 11] == '2') << record;
#else
  EXPECT_EQ(record[workers + 11], '2') << record;
#endif
  EXPECT_EQ(Sha1Hex("abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
  // A plan edited after it was written keeps no record of the command that wrote it.
  WriteWholeFile(plan, Read(plan) + "\n");
  const TCliResult r = Sweep("run " + plan + " --out " + (dir / "out"));
  EXPECT_EQ(r.Code, 0);
  EXPECT_NE(r.Err.find("belongs to another version of the plan"), std::string::npos) << r.Err;
}

TEST(SweepCli, WorkersThatTheSystemRefusesAreToldAndTheResultsStayTheSame) {
#ifdef ZEL_UNDER_EMULATOR
  GTEST_SKIP() << "the emulator itself cannot start its threads under a process limit";
#endif
  TScratchDir dir;
  const std::string plan = dir / "plan.csv";
  ASSERT_EQ(Sweep("plan --set generations=3 --set pop-size=6 --seeds 4 --out " + plan).Code, 0);
  ASSERT_EQ(Sweep("run " + plan + " --out " + (dir / "free") + " --jobs 4").Code, 0);
  const int code = RunLimited(dir, 1, {"sweep", "run", plan, "--out", dir / "limited", "--jobs", "4"});
  ASSERT_EQ(code, 0) << Read(dir / "err");
  EXPECT_NE(Read(dir / "err").find("zelworld-cli: warning: could start only 1 of 4 workers"),
            std::string::npos)
      << Read(dir / "err");
  for (const std::string& run : Listing(dir / "free/runs"))
    EXPECT_EQ(Read(dir / "limited/runs/" + run), Read(dir / "free/runs/" + run)) << run;
}
