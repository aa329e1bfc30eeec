#pragma once
// Reading the project's JSON files: every value is taken through a place that knows its
// JSON pointer, so that whatever is wrong is reported with the file and where in it.

#include "Experiment/FileText.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>

// Members keep the order in which they are written.
using TJson = nlohmann::ordered_json;

// The document and the names the errors use.
struct TJsonSource {
  std::string Kind;
  std::string FileName;
  TJson Root;
  // Parses Text; what is not JSON raises TFileError with the line and column (a number out
  // of range, a member given twice or nesting deeper than 64 with the JSON pointer).
  TJsonSource(std::string Kind, std::string FileName, const std::string& Text);
  ~TJsonSource();
  TJsonSource(const TJsonSource&) = delete;
  TJsonSource& operator=(const TJsonSource&) = delete;
};

class TJsonPlace {
public:
  TJsonPlace(const TJsonSource& Source, const TJson& Value, std::string Pointer)
      : Source(Source), Value(Value), Pointer(std::move(Pointer)) {}
  static TJsonPlace Root(const TJsonSource& Source) { return {Source, Source.Root, ""}; }

  [[noreturn]] void Fail(const std::string& What) const;

  // An object's member; a missing one is an error.
  TJsonPlace At(const char* Key) const;
  std::optional<TJsonPlace> Find(const char* Key) const;
  // Rejects members other than Keys, naming the first stranger.
  void OnlyKeys(std::initializer_list<const char*> Keys) const;
  // An array's element.
  TJsonPlace At(std::size_t Index) const;
  // The number of elements of an array of Lo..Hi elements.
  std::size_t Size(std::size_t Lo, std::size_t Hi) const;

  long long Int(long long Lo, long long Hi) const;
  double Real() const;
  bool Bool() const;
  std::string String() const;

  const std::string& Where() const { return Pointer; }

private:
  const TJsonPlace& Expect(bool Ok, const char* Type) const;
  const TJsonSource& Source;
  const TJson& Value;
  std::string Pointer;
};

// The format and version lines that every file of the project begins with.
void CheckFormat(const TJsonPlace& Root, const char* Format, int Version);
// The text of a file: two-space indent, arrays of numbers on one line, UTF-8 (invalid bytes
// replaced).
std::string JsonText(const TJson& Document);

// The parts the three kinds of files share. Forward declared to keep this header light.
struct TExperimentSettings;
class TFuzzySet;

// The settings as an object of the run options' names ("pop-size": 100, ...).
TJson SettingsJson(const TExperimentSettings& Settings);
// Reads such an object onto Settings. Without Complete a member left out keeps its value.
void ReadSettings(const TJsonPlace& Place, TExperimentSettings& Settings, bool Complete);
// {"degrees": [...]}
TJson EnvironmentJsonValue(const TFuzzySet& Set);
// The degrees of such an object: integers 0..100, 1..2048 of them. Other members are
// allowed when Strict is false (the outputs of environment --json and develop --json).
TFuzzySet ReadDegrees(const TJsonPlace& Place, bool Strict);
