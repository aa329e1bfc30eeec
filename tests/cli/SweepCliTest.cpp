// zelworld-cli sweep in-process: usage errors, a small sweep planned, run and aggregated
// in one go, in shards and resumed after results were lost, bad plans refused before any
// run, and results of another plan never mixed in.

#include "CliRun.h"
#include "Experiment/FileText.h"
#include "Experiment/SweepRun.h"
#include "cli/Commands.h"
#include "cli/SweepCommand.h"

#include "../ScratchDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

using namespace ZelCli;
using CliTest::TCliResult;
namespace fs = std::filesystem;

namespace {
TCliResult Sweep(const std::string& Args) {
  return CliTest::RunCli("sweep " + Args);
}

std::vector<std::string> Listing(const std::string& Dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(Dir))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}
} // namespace

TEST(SweepCli, UsageErrorsExitTwoNamingTheOption) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", "A subcommand is required"},
      {"plan --vary pop-size", "--vary: 'pop-size' is not of the form OPTION=VALUE"},
      {"plan --vary colour=1,2", "--vary: 'colour' is not a parameter"},
      {"plan --set rates-selection=yes", "--set rates-selection: 'yes' is not 0 or 1"},
      {"plan --seeds 0", "--seeds: 0 is outside 1..100000"},
      {"run p.csv", "--out is required"},
      {"run p.csv --out d --shard 3/3", "--shard: 3 is outside 0..2"},
      {"run p.csv --out d --shard 1", "--shard: '1' is not of the form I/N"},
      {"run p.csv --out d --jobs -1", "--jobs: -1 is outside 0..1024"},
      {"aggregate d --bootstrap x", "--bootstrap: 'x' is not an integer"},
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
  // Interrupted: two results lost; the rerun makes exactly those two.
  ASSERT_EQ(Sweep("run " + plan + " --out " + (dir / "resumed")).Code, 0);
  fs::remove(dir / "resumed/runs/c1-s6.csv");
  fs::remove(dir / "resumed/runs/c2-s7.csv");
  r = Sweep("run " + plan + " --out " + (dir / "resumed") + " --jobs 2");
  ASSERT_EQ(r.Code, 0) << r.Err;
  EXPECT_EQ(r.Out.substr(0, 40), "Ran 2 of 6 runs (4 had results already);");

  const std::vector<std::string> runs = {"c1-s5.csv", "c1-s6.csv", "c1-s7.csv",
                                         "c2-s5.csv", "c2-s6.csv", "c2-s7.csv"};
  for (const char* sweep : {"whole", "shards", "resumed"}) {
    EXPECT_EQ(Listing(dir / sweep + "/runs"), runs) << sweep;
    r = Sweep("aggregate " + (dir / sweep) + " --bootstrap 100");
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(r.Err, "");
  }
  for (const std::string& file : {std::string("aggregate.csv"), std::string("comparison.csv")}) {
    const std::string whole = ReadWholeFile(dir / "whole/" + file);
    EXPECT_EQ(ReadWholeFile(dir / "shards/" + file), whole) << file;
    EXPECT_EQ(ReadWholeFile(dir / "resumed/" + file), whole) << file;
  }
  for (const std::string& run : runs)
    EXPECT_EQ(ReadWholeFile(dir / "shards/runs/" + run), ReadWholeFile(dir / "whole/runs/" + run)) << run;

  // An existing result is not run again; a missing one is reported, not averaged over.
  WriteWholeFile(dir / "whole/runs/c1-s5.csv", "kept");
  fs::remove(dir / "whole/runs/c2-s6.csv");
  fs::remove(dir / "whole/runs/c2-s7.csv");
  r = Sweep("aggregate " + (dir / "whole"));
  EXPECT_EQ(r.Code, 1);
  EXPECT_NE(r.Err.find("c1-s5.csv:1: the header is not that of a sweep's result"), std::string::npos)
      << r.Err;
  fs::remove(dir / "whole/runs/c1-s5.csv");
  r = Sweep("aggregate " + (dir / "whole"));
  EXPECT_EQ(r.Code, 0);
  EXPECT_EQ(r.Err,
            "zelworld-cli: warning: 3 of 6 runs have no result and are left out: c1-s5, c2-s6, c2-s7\n");
  EXPECT_NE(ReadWholeFile(dir / "whole/aggregate.csv").find("\nreproduction=both,both,best_fitness,8,1,3,"),
            std::string::npos);
}

TEST(SweepCli, BadPlansAndForeignFoldersAreRefusedBeforeAnyRun) {
  const TScratchDir dir;
  const std::string plan = dir / "plan.csv";
  WriteWholeFile(plan, "run_id,condition,seed,generations\n"
                       "a,c,1,3\n"
                       "b,c,2,3\n"
                       "c,c,3,zero\n");
  TCliResult r = Sweep("run " + plan + " --out " + (dir / "out"));
  EXPECT_EQ(r.Code, 1);
  EXPECT_EQ(r.Err, "zelworld-cli: error: " + plan + ":4:4 (generations): 'zero' is not an integer\n");
  EXPECT_FALSE(fs::exists(dir / "out"));

  WriteWholeFile(plan, "run_id,condition,seed,generations\na,c,1,3\n");
  ASSERT_EQ(Sweep("run " + plan + " --out " + (dir / "out")).Code, 0);
  WriteWholeFile(plan, "run_id,condition,seed,generations\na,c,1,4\n");
  r = Sweep("run " + plan + " --out " + (dir / "out"));
  EXPECT_EQ(r.Code, 1);
  EXPECT_NE(r.Err.find("holds the results of another plan"), std::string::npos) << r.Err;
  EXPECT_EQ(Sweep("aggregate " + (dir / "nowhere")).Code, 1);

  EXPECT_EQ(SweepProgressLine({40, 3, 9}, std::chrono::seconds(65)),
            "[#########.....................] run 12/40 (3 done before)  1:05");
}
