#include "Experiment/EnvironmentFile.h"

#include "Experiment/ExperimentSettings.h"
#include "Experiment/JsonReader.h"

TJson EnvironmentJsonValue(const TFuzzySet& Set) {
  return TJson{{"degrees", Set.Values()}};
}

TFuzzySet ReadDegrees(const TJsonPlace& Place, bool Strict) {
  if (Strict) Place.OnlyKeys({"degrees"});
  const TJsonPlace degrees = Place.At("degrees");
  const auto range = TExperimentSettings::ElementsRange;
  const std::size_t n = degrees.Size(static_cast<std::size_t>(range.Lo), static_cast<std::size_t>(range.Hi));
  TFuzzySet set;
  for (std::size_t i = 0; i < n; ++i)
    set.Add(static_cast<std::int32_t>(degrees.At(i).Int(0, 100)));
  return set;
}

TFuzzySet ReadEnvironmentText(const std::string& Text, const std::string& FileName) {
  const TJsonSource source(EnvironmentFileKind, FileName, Text);
  return ReadDegrees(TJsonPlace::Root(source), false);
}

TFuzzySet LoadEnvironmentFile(const std::string& FileName) {
  return ReadEnvironmentText(ReadWholeFile(EnvironmentInput, FileName), FileName);
}

std::string EnvironmentText(const TFuzzySet& Environment) {
  return EnvironmentJsonValue(Environment).dump() + "\n";
}

void SaveEnvironmentFile(const std::string& FileName, const TFuzzySet& Environment) {
  WriteWholeFile(FileName, EnvironmentText(Environment));
}
