#include "Experiment/ExperimentFile.h"

#include "Experiment/JsonReader.h"

#include <array>

namespace {
TReproduction ReadReproduction(const TJsonPlace& P) {
  const std::string name = P.String();
  if (const auto kind = ParseReproduction(name, false)) return *kind;
  P.Fail("\"" + name + "\" is not one of \"phenotype\", \"genotype\", \"both\"");
}

int ReadInt(const TJsonPlace& P, TIntRange Range) {
  return static_cast<int>(P.Int(Range.Lo, Range.Hi));
}
} // namespace

TJson SettingsJson(const TExperimentSettings& S) {
  return TJson{{"reproduction", ReproductionName(S.Reproduction)},
               {"rates-selection", S.RatesSelection},
               {"random-environment", S.RandomEnvironment},
               {"pop-size", S.PopSize},
               {"generations", S.Generations},
               {"elements", S.Elements},
               {"blocks", S.Blocks},
               {"p-crossover", S.PCrossover},
               {"p-mutation", S.PMutation},
               {"p-noise", S.PNoise}};
}

void ReadSettings(const TJsonPlace& P, TExperimentSettings& S, bool Complete) {
  P.OnlyKeys({"reproduction", "rates-selection", "random-environment", "pop-size", "generations", "elements",
              "blocks", "p-crossover", "p-mutation", "p-noise"});
  auto member = [&](const char* Key) { return Complete ? std::optional(P.At(Key)) : P.Find(Key); };
  if (auto m = member("reproduction")) S.Reproduction = ReadReproduction(*m);
  if (auto m = member("rates-selection")) S.RatesSelection = m->Bool();
  if (auto m = member("random-environment")) S.RandomEnvironment = m->Bool();
  if (auto m = member("pop-size")) S.PopSize = ReadInt(*m, TExperimentSettings::PopSizeRange);
  if (auto m = member("generations")) S.Generations = ReadInt(*m, TExperimentSettings::GenerationsRange);
  if (auto m = member("elements")) S.Elements = ReadInt(*m, TExperimentSettings::ElementsRange);
  if (auto m = member("blocks")) S.Blocks = ReadInt(*m, TExperimentSettings::BlocksRange);
  // A probability outside 0..1 is allowed, as on the command line; the run replaces it.
  if (auto m = member("p-crossover")) S.PCrossover = m->Real();
  if (auto m = member("p-mutation")) S.PMutation = m->Real();
  if (auto m = member("p-noise")) S.PNoise = m->Real();
}

std::string ExperimentText(const TExperimentFile& F, const TRunMetadata* Run) {
  TJson doc = {{"format", ExperimentFormat}, {"version", ExperimentFileVersion}};
  doc["settings"] = SettingsJson(F.Settings);
  if (F.Seed) doc["seed"] = *F.Seed;
  if (F.Environment) doc["environment"] = EnvironmentJsonValue(*F.Environment);
  if (Run) {
    TJson outputs = TJson::object();
    for (const auto& [role, name] : Run->Outputs)
      outputs[role] = name;
    TJson run = {{"program", Run->Program}, {"version", Run->Version}, {"command", Run->Command},
                 {"threads", Run->Threads}, {"start", Run->Start},     {"end", Run->End},
                 {"outputs", outputs}};
    if (!F.ContinuedFrom.empty())
      run["continued-from"] = {{"population", F.ContinuedFrom}, {"generation", Run->ContinuedGeneration}};
    doc["run"] = run;
  }
  return JsonText(doc);
}

TExperimentFile ReadExperimentText(const std::string& Text, const std::string& FileName) {
  const TJsonSource source(ExperimentFileKind, FileName, Text);
  const TJsonPlace root = TJsonPlace::Root(source);
  root.OnlyKeys({"format", "version", "settings", "seed", "environment", "run"});
  CheckFormat(root, ExperimentFormat, ExperimentFileVersion);
  TExperimentFile f;
  ReadSettings(root.At("settings"), f.Settings, false);
  if (auto seed = root.Find("seed")) f.Seed = static_cast<std::uint32_t>(seed->Int(0, 4294967295LL));
  if (auto environment = root.Find("environment")) {
    f.Environment = ReadDegrees(*environment, true);
    const TJsonPlace settings = root.At("settings");
    if (settings.Find("elements") && f.Settings.Elements != f.Environment->Count())
      environment->At("degrees").Fail(std::to_string(f.Environment->Count()) +
                                      " degrees where /settings/elements is " +
                                      std::to_string(f.Settings.Elements));
    if (f.Settings.RandomEnvironment)
      environment->Fail(
          "an environment of one's own where /settings/random-environment asks for a random one");
    f.Settings.Elements = f.Environment->Count();
  }
  if (auto run = root.Find("run"))
    if (auto from = run->Find("continued-from")) f.ContinuedFrom = from->At("population").String();
  return f;
}

TExperimentFile LoadExperimentFile(const std::string& FileName) {
  return ReadExperimentText(ReadWholeFile(ExperimentInput, FileName), FileName);
}

void SaveExperimentFile(const std::string& FileName, const TExperimentFile& File) {
  WriteWholeFile(FileName, ExperimentText(File));
}
