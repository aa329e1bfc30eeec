#include "Experiment/PopulationFile.h"

#include "Experiment/JsonReader.h"
#include "Experiment/ReportFormat.h"
#include "FuzzySet/Extended.h"

#include <algorithm>
#include <cctype>

namespace {
const char* const GenotypeKind = "genotype";
const char* const ProgramKind = "phenotype";

// One character per bit, bit 0 first.
std::string BitText(const TChromosome& C) {
  std::string s(static_cast<std::size_t>(std::max(C.BitCount, 0)), '0');
  for (std::int32_t i = 0; i < C.BitCount; ++i)
    if (C.GetBit(i)) s[static_cast<std::size_t>(i)] = '1';
  return s;
}

TJson AgentJson(const TZELAgent& A) {
  return TJson{{"kind", A.Genotype ? GenotypeKind : ProgramKind},
               {"fitness", A.Fitness},
               {"chromosome", BitText(A.Chromosome)},
               {"program", A.ZEL.ToText()}};
}

TZELAgent ReadAgent(const TJsonPlace& P, const TExperimentSettings& S) {
  P.OnlyKeys({"kind", "fitness", "chromosome", "program"});
  TZELAgent a;
  a.BlockCount = S.Blocks;
  a.Elements = S.Elements;
  const TJsonPlace kind = P.At("kind");
  const std::string k = kind.String();
  if (k != GenotypeKind && k != ProgramKind)
    kind.Fail("\"" + k + "\" is not one of \"" + GenotypeKind + "\", \"" + ProgramKind + "\"");
  a.Genotype = k == GenotypeKind;
  // Every agent of a frozen population has been evaluated.
  a.Fitness = static_cast<std::int32_t>(P.At("fitness").Int(5, 100));

  const TJsonPlace chromosome = P.At("chromosome");
  const std::string bits = chromosome.String();
  const std::size_t want = static_cast<std::size_t>(BitsPerBlock * S.Blocks);
  if (bits.size() != want)
    chromosome.Fail(std::to_string(bits.size()) + " bits where " + std::to_string(want) + " (" +
                    std::to_string(BitsPerBlock) + " per block) are expected");
  a.Chromosome.BitCount = static_cast<std::int32_t>(want);
  a.Chromosome.Bits.assign((want + 7) / 8, 0);
  for (std::size_t i = 0; i < want; ++i) {
    if (bits[i] != '0' && bits[i] != '1')
      chromosome.Fail("character " + std::to_string(i) + " is not 0 or 1");
    a.Chromosome.SetBit(static_cast<std::int32_t>(i), bits[i] == '1');
  }

  const TJsonPlace program = P.At("program");
  const std::string text = program.String();
  if (text.size() != static_cast<std::size_t>(5 * S.Blocks))
    program.Fail(std::to_string(text.size()) + " characters where " + std::to_string(5 * S.Blocks) +
                 " (five per block) are expected");
  for (std::size_t b = 0; b < text.size(); b += 5) {
    const std::string group = text.substr(b, 5);
    if (!std::all_of(group.begin(), group.end(),
                     [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); }))
      program.Fail("block " + std::to_string(b / 5) + " '" + group + "' is not five hexadecimal digits");
    TFuzzyBlock block{HexCharToInt(group[0]), HexCharToInt(group[1]), HexCharToInt(group[2]),
                      HexCharToInt(group[3]), HexCharToInt(group[4])};
    if (!block.IsValid())
      program.Fail("block " + std::to_string(b / 5) + " '" + group + "' has a field out of range");
    a.ZEL.Add(block);
  }
  if (a.Genotype) {
    TZELAgent decoded = a;
    decoded.Decode();
    if (!(decoded.ZEL == a.ZEL))
      program.Fail("the program of a genotype agent differs from the decoding of its chromosome, " +
                   decoded.ZEL.ToText());
  }
  return a;
}
// The stored fitness must be the one the program scores against the population's environment:
// selection and the reports believe it.
void CheckScore(const TJsonPlace& Agent, std::int32_t Stored, std::int32_t Scored) {
  if (Stored != Scored)
    Agent.At("fitness").Fail("stored " + std::to_string(Stored) + ", the program scores " +
                             std::to_string(Scored));
}

// Every agent, and the two best ones after them, scored as a generation is scored, by the
// engine's development on this thread: about the work of one generation, less than reading the
// file's text.
void CheckScores(const TJsonPlace& Root, const TFrozenPopulation& F) {
  TPopulationState all;
  all.Agents = F.Agents;
  all.Agents.push_back(F.GenBest);
  all.Agents.push_back(F.BestAll);
  TZELAgentPopulation population;
  population.SetThreads(1);
  population.Restore(all, F.Settings.Reproduction);
  population.Evaluate(F.Environment);
  const std::size_t agents = F.Agents.size();
  for (std::size_t i = 0; i < all.Agents.size(); ++i)
    CheckScore(i < agents ? Root.At("agents").At(i) : Root.At(i == agents ? "gen-best" : "best-all"),
               all.Agents[i].Fitness, population.Agent(static_cast<int>(i)).Fitness);
}
} // namespace

std::string PopulationText(const TFrozenPopulation& F) {
  TJson agents = TJson::array();
  for (const TZELAgent& a : F.Agents)
    agents.push_back(AgentJson(a));
  const TJson doc = {{"format", PopulationFormat},
                     {"version", PopulationFileVersion},
                     {"settings", SettingsJson(F.Settings)},
                     {"generation", F.Generation},
                     {"random-seed", F.RandomSeed},
                     {"environment", EnvironmentJsonValue(F.Environment)},
                     {"statistics",
                      {{"avg-fitness", F.AvgFitness},
                       {"gen-fit-max", F.GenFitMax},
                       {"gen-fit-min", F.GenFitMin},
                       {"max-fit-all", F.MaxFitAll},
                       {"fitness-sum", F.FitnessSum}}},
                     {"gen-best", AgentJson(F.GenBest)},
                     {"best-all", AgentJson(F.BestAll)},
                     {"agents", agents}};
  return JsonText(doc);
}

TFrozenPopulation ReadPopulationText(const std::string& Text, const std::string& FileName) {
  const TJsonSource source(PopulationFileKind, FileName, Text);
  const TJsonPlace root = TJsonPlace::Root(source);
  root.OnlyKeys({"format", "version", "settings", "generation", "random-seed", "environment", "statistics",
                 "gen-best", "best-all", "agents"});
  CheckFormat(root, PopulationFormat, PopulationFileVersion);
  TFrozenPopulation f;
  TExperimentSettings& s = f.Settings;
  ReadSettings(root.At("settings"), s, true);
  f.Generation = static_cast<int>(root.At("generation").Int(0, 2147483647LL - 1000));
  f.RandomSeed = static_cast<std::uint32_t>(root.At("random-seed").Int(0, 4294967295LL));
  const TJsonPlace environment = root.At("environment");
  f.Environment = ReadDegrees(environment, true);
  if (f.Environment.Count() != s.Elements)
    environment.At("degrees").Fail(std::to_string(f.Environment.Count()) +
                                   " degrees where /settings/elements is " + std::to_string(s.Elements));

  const TJsonPlace agents = root.At("agents");
  const auto size = static_cast<std::size_t>(s.PopSize);
  if (agents.Size(0, 1000000) != size)
    agents.Fail(std::to_string(agents.Size(0, 1000000)) + " agents where /settings/pop-size is " +
                std::to_string(s.PopSize));
  for (std::size_t i = 0; i < size; ++i)
    f.Agents.push_back(ReadAgent(agents.At(i), s));
  f.GenBest = ReadAgent(root.At("gen-best"), s);
  f.BestAll = ReadAgent(root.At("best-all"), s);
  CheckScores(root, f);

  const TJsonPlace stats = root.At("statistics");
  stats.OnlyKeys({"avg-fitness", "gen-fit-max", "gen-fit-min", "max-fit-all", "fitness-sum"});
  f.AvgFitness = stats.At("avg-fitness").Real();
  f.GenFitMax = static_cast<std::int32_t>(stats.At("gen-fit-max").Int(5, 100));
  f.GenFitMin = static_cast<std::int32_t>(stats.At("gen-fit-min").Int(5, 100));
  f.MaxFitAll = static_cast<std::int32_t>(stats.At("max-fit-all").Int(5, 100));
  f.FitnessSum = static_cast<std::int32_t>(stats.At("fitness-sum").Int(0, 100000));
  // The statistics are those of the agents: the wheel of the next generation rests on them.
  std::int32_t sum = 0, most = 0, least = 100;
  for (const TZELAgent& a : f.Agents) {
    sum += a.Fitness;
    most = std::max(most, a.Fitness);
    least = std::min(least, a.Fitness);
  }
  auto agree = [&](const char* Key, std::int32_t Stored, std::int32_t Computed) {
    if (Stored != Computed)
      stats.At(Key).Fail(std::to_string(Stored) + " where the agents give " + std::to_string(Computed));
  };
  agree("fitness-sum", f.FitnessSum, sum);
  agree("gen-fit-max", f.GenFitMax, most);
  agree("gen-fit-min", f.GenFitMin, least);
  const double average = Extended::ToDouble(TExtended(sum) / TExtended(s.PopSize));
  if (f.AvgFitness != average)
    stats.At("avg-fitness")
        .Fail(ShortestReal(f.AvgFitness) + " where the agents give " + ShortestReal(average));
  if (f.MaxFitAll < f.GenFitMax)
    stats.At("max-fit-all")
        .Fail(std::to_string(f.MaxFitAll) + " is below /statistics/gen-fit-max " +
              std::to_string(f.GenFitMax));
  if (f.BestAll.Fitness != f.MaxFitAll)
    root.At("best-all")
        .At("fitness")
        .Fail(std::to_string(f.BestAll.Fitness) + " where /statistics/max-fit-all is " +
              std::to_string(f.MaxFitAll));
  if (f.GenBest.Fitness != f.GenFitMax)
    root.At("gen-best")
        .At("fitness")
        .Fail(std::to_string(f.GenBest.Fitness) + " where /statistics/gen-fit-max is " +
              std::to_string(f.GenFitMax));
  // The generation's best is the last of its fittest agents.
  std::size_t fittest = 0;
  for (std::size_t i = 0; i < f.Agents.size(); ++i)
    if (f.Agents[i].Fitness == most) fittest = i;
  const TZELAgent& best = f.Agents[fittest];
  if (best.Genotype != f.GenBest.Genotype || !(best.ZEL == f.GenBest.ZEL) ||
      BitText(best.Chromosome) != BitText(f.GenBest.Chromosome))
    root.At("gen-best")
        .Fail("differs from /agents/" + std::to_string(fittest) +
              ", the last of the fittest agents, which is the generation's best");
  return f;
}

TFrozenPopulation LoadPopulationFile(const std::string& FileName) {
  return ReadPopulationText(ReadWholeFile(PopulationInput, FileName), FileName);
}

void SavePopulationFile(const std::string& FileName, const TFrozenPopulation& Frozen) {
  WriteWholeFile(FileName, PopulationText(Frozen));
}
