#pragma once
// A sweep: many runs of the experiment, one a line of a plan, each with its own seed and
// settings. The plan is a CSV file: run_id, condition, seed and one column per parameter,
// named as the command line's options without their dashes.

#include "Experiment/ExperimentSettings.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

// A plan, a result or an aggregate that cannot be used; the message names the file and,
// where there is one, the line and the column.
class TSweepError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// The parameters a plan can set, in the order of the columns that `sweep plan` writes.
const std::vector<std::string>& SweepParameterNames();
bool IsSweepParameter(const std::string& Name);
// Reads Text as the value of Parameter into Settings, with the command line's rules (the
// flags take 0 or 1). Throws std::invalid_argument with the reason.
void SetSweepParameter(TExperimentSettings& Settings, const std::string& Parameter, const std::string& Text);
// The value of Parameter as a plan writes it: one text for every way of writing a value.
std::string SweepParameterText(const TExperimentSettings& Settings, const std::string& Parameter);

// The shortest text that reads back to the same double (63, not 63.0).
std::string SweepNumber(double Value);

// One line of a CSV file: its line number (from 1) and its fields.
struct TCsvRow {
  int Line = 0;
  std::vector<std::string> Fields;
};
// Fields separated by commas, optionally in double quotes ("" for a quote inside); LF or
// CR LF line ends; blank lines are left out. Throws TSweepError naming Source and the line.
std::vector<TCsvRow> ReadCsv(const std::string& Text, const std::string& Source);
// A field as written to a CSV file: quoted only when it has to be.
std::string CsvField(const std::string& Text);
// Appends a comma and the field to Row.
void AppendCsv(std::string& Row, const std::string& Field);

struct TSweepRun {
  std::string RunId;
  std::string Condition;
  std::uint32_t Seed = 0;
  TExperimentSettings Settings;
};

struct TSweepPlan {
  std::vector<TSweepRun> Runs;
  // What making or reading the plan corrected or found doubtful, one message each.
  std::vector<std::string> Warnings;
  // The conditions in the order of their first line.
  std::vector<std::string> Conditions() const;
};

// Reads and checks a whole plan before anything runs: unknown or repeated columns, values
// that do not parse or lie outside their range, a line with more or fewer fields than the
// header, a repeated run_id, a run_id that cannot name a file, and a condition whose lines
// differ in their settings are refused, naming Source, the line and the column. A
// probability outside 0..1 is corrected as a run corrects it, with a warning.
TSweepPlan ParseSweepPlan(const std::string& Text, const std::string& Source);

// The parameters whose values differ between the conditions of Plan, grouped into factors:
// parameters that always change together (p-mutation and p-noise varied as one rate) are
// one factor. In the order of the plan's columns.
std::vector<std::vector<std::string>> SweepFactors(const TSweepPlan& Plan);
// A warning for each factor that cannot act in some conditions, naming it and them: a
// factor acts where any of its parameters does, and p-mutation does not act where all agents
// are program-only, p-noise where all are genotype agents, and p-crossover (in the window's
// sense) under elite selection, where the window fixes it at 1.0.
std::vector<std::string> InertFactorWarnings(const TSweepPlan& Plan);
// The plan as CSV, every parameter in its own column.
std::string SweepPlanCsv(const TSweepPlan& Plan);

// One varied factor of a design: one parameter, or parameters linked so that they change
// together, and its levels, each a value for every parameter.
struct TSweepFactor {
  std::vector<std::string> Parameters;
  std::vector<std::vector<std::string>> Levels;
};

// What `sweep plan` is asked for: the cross product of the factors' levels, the first factor
// outermost, each condition repeated with the seeds FirstSeed .. FirstSeed+Seeds-1.
struct TSweepDesign {
  std::vector<TSweepFactor> Vary;
  std::vector<std::pair<std::string, std::string>> Set;
  int Seeds = 10;
  std::uint32_t FirstSeed = 1;
};
// Throws std::invalid_argument naming the option and the value that cannot be used. A
// probability outside 0..1 is corrected as a run corrects it; the plan's warnings say so,
// and name factors that cannot act in some conditions (InertFactorWarnings).
TSweepPlan MakeSweepPlan(const TSweepDesign& Design);
