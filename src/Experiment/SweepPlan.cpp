#include "Experiment/SweepPlan.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <map>
#include <string_view>

namespace {

// A parameter of the settings: an integer in a range, a flag, a probability, or (none of
// these) the reproduction kind.
struct TParameter {
  const char* Name;
  int TExperimentSettings::*Int = nullptr;
  TIntRange Range{0, 0};
  bool TExperimentSettings::*Flag = nullptr;
  double TExperimentSettings::*Real = nullptr;
  bool IsReproduction() const { return !Int && !Flag && !Real; }
};

using S = TExperimentSettings;
const std::array<TParameter, 10> Parameters = {{
    {"pop-size", &S::PopSize, S::PopSizeRange},
    {"generations", &S::Generations, S::GenerationsRange},
    {"elements", &S::Elements, S::ElementsRange},
    {"blocks", &S::Blocks, S::BlocksRange},
    {"reproduction", nullptr, {0, 0}},
    {"random-environment", nullptr, {0, 0}, &S::RandomEnvironment},
    {"rates-selection", nullptr, {0, 0}, &S::RatesSelection},
    {"p-crossover", nullptr, {0, 0}, nullptr, &S::PCrossover},
    {"p-mutation", nullptr, {0, 0}, nullptr, &S::PMutation},
    {"p-noise", nullptr, {0, 0}, nullptr, &S::PNoise},
}};
const char* const RunIdColumn = "run_id";
const char* const ConditionColumn = "condition";
const char* const SeedColumn = "seed";

const TParameter& ParameterNamed(const std::string& Name) {
  for (const TParameter& p : Parameters)
    if (Name == p.Name) return p;
  throw std::invalid_argument("'" + Name + "' is not a parameter; the parameters are " + [] {
    std::string list;
    for (const TParameter& p : Parameters)
      list.append(list.empty() ? "" : ", ").append(p.Name);
    return list;
  }());
}

std::string Quoted(const std::string& Text) {
  return "'" + Text + "'";
}

long long ReadInteger(const std::string& Text, long long Lo, long long Hi) {
  std::string_view s = Text;
  if (s.size() > 1 && s[0] == '+' && s[1] != '-') s.remove_prefix(1);
  long long value = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (s.empty() || ec == std::errc::invalid_argument || end != s.data() + s.size())
    throw std::invalid_argument(Quoted(Text) + " is not an integer");
  if (ec == std::errc::result_out_of_range || value < Lo || value > Hi)
    throw std::invalid_argument(Text + " is outside " + std::to_string(Lo) + ".." + std::to_string(Hi));
  return value;
}

std::string Where(const std::string& Source, int Line, std::size_t Column, const std::string& Name) {
  return Source + ":" + std::to_string(Line) + ":" + std::to_string(Column + 1) + " (" + Name + "): ";
}

// A run_id names its result file, so it stays within letters, digits, '.', '_' and '-'.
void CheckRunId(const std::string& Id) {
  if (Id.empty()) throw std::invalid_argument("the run_id is empty");
  if (Id[0] == '.') throw std::invalid_argument(Quoted(Id) + " begins with '.'");
  for (char c : Id)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '_' && c != '-')
      throw std::invalid_argument(Quoted(Id) + " has '" + std::string(1, c) +
                                  "'; a run_id takes letters, digits, '.', '_' and '-'");
}

// The plan's name of a probability that the settings corrected.
std::string ParameterOfCorrection(const TCorrection& C) {
  if (C.Parameter == "PCrossover") return "p-crossover";
  if (C.Parameter == "PMutation") return "p-mutation";
  return "p-noise";
}

} // namespace

std::string SweepNumber(double Value) {
  // Plain decimals (0.0001, not 1e-04) unless they grow long.
  std::array<char, 400> buffer{};
  auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), Value, std::chars_format::fixed);
  if (result.ptr - buffer.data() > 24)
    result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), Value);
  return std::string(buffer.data(), result.ptr);
}

const std::vector<std::string>& SweepParameterNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> v;
    for (const TParameter& p : Parameters)
      v.push_back(p.Name);
    return v;
  }();
  return names;
}

bool IsSweepParameter(const std::string& Name) {
  return std::any_of(Parameters.begin(), Parameters.end(),
                     [&](const TParameter& p) { return Name == p.Name; });
}

void SetSweepParameter(TExperimentSettings& Settings, const std::string& Parameter, const std::string& Text) {
  const TParameter& p = ParameterNamed(Parameter);
  if (p.IsReproduction()) {
    const auto kind = ParseReproduction(Text, true);
    if (!kind) throw std::invalid_argument(Quoted(Text) + " is not one of " + ReproductionNameList());
    Settings.Reproduction = *kind;
    return;
  }
  if (p.Int) {
    Settings.*p.Int = static_cast<int>(ReadInteger(Text, p.Range.Lo, p.Range.Hi));
  } else if (p.Flag) {
    if (Text != "0" && Text != "1") throw std::invalid_argument(Quoted(Text) + " is not 0 or 1");
    Settings.*p.Flag = Text == "1";
  } else {
    std::string_view s = Text;
    if (s.size() > 1 && s[0] == '+' && s[1] != '-') s.remove_prefix(1);
    double value = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value, std::chars_format::general);
    if (ec != std::errc{} || end != s.data() + s.size() || !std::isfinite(value))
      throw std::invalid_argument(Quoted(Text) + " is not a finite number");
    Settings.*p.Real = value;
  }
}

std::string SweepParameterText(const TExperimentSettings& Settings, const std::string& Parameter) {
  const TParameter& p = ParameterNamed(Parameter);
  if (p.IsReproduction()) return ReproductionName(Settings.Reproduction);
  if (p.Int) return std::to_string(Settings.*p.Int);
  if (p.Flag) return Settings.*p.Flag ? "1" : "0";
  return SweepNumber(Settings.*p.Real);
}

std::vector<TCsvRow> ReadCsv(const std::string& Text, const std::string& Source) {
  std::vector<TCsvRow> rows;
  std::size_t i = Text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
  int line = 1;
  const auto atLineEnd = [&](std::size_t At) {
    return At >= Text.size() || Text[At] == '\n' ||
           (Text[At] == '\r' && (At + 1 == Text.size() || Text[At + 1] == '\n'));
  };
  while (i < Text.size()) {
    TCsvRow row{line, {}};
    bool quotedAny = false;
    for (;;) {
      std::string field;
      if (Text[i] == '"') {
        quotedAny = true;
        for (++i;; ++i) {
          if (i >= Text.size())
            throw TSweepError(Source + ":" + std::to_string(row.Line) + ": a quoted field is not closed");
          if (Text[i] == '"') {
            if (i + 1 < Text.size() && Text[i + 1] == '"') {
              field += Text[++i];
              continue;
            }
            ++i;
            break;
          }
          if (Text[i] == '\n') ++line;
          field += Text[i];
        }
        if (i < Text.size() && Text[i] != ',' && !atLineEnd(i))
          throw TSweepError(Source + ":" + std::to_string(line) + ": text follows a closing quote");
      } else {
        while (i < Text.size() && Text[i] != ',' && !atLineEnd(i))
          field += Text[i++];
      }
      row.Fields.push_back(std::move(field));
      if (i < Text.size() && Text[i] == ',') {
        ++i;
        if (i == Text.size()) row.Fields.emplace_back();
        if (i < Text.size()) continue;
      }
      break;
    }
    if (i < Text.size() && Text[i] == '\r') ++i;
    if (i < Text.size() && Text[i] == '\n') ++i, ++line;
    const bool blank = row.Fields.size() == 1 && row.Fields[0].empty() && !quotedAny;
    if (!blank) rows.push_back(std::move(row));
  }
  return rows;
}

std::string CsvField(const std::string& Text) {
  if (Text.find_first_of(",\"\r\n") == std::string::npos) return Text;
  std::string quoted = "\"";
  for (char c : Text)
    quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

void AppendCsv(std::string& Row, const std::string& Field) {
  Row += ',';
  Row += CsvField(Field);
}

std::vector<std::string> TSweepPlan::Conditions() const {
  std::vector<std::string> conditions;
  for (const TSweepRun& run : Runs)
    if (std::find(conditions.begin(), conditions.end(), run.Condition) == conditions.end())
      conditions.push_back(run.Condition);
  return conditions;
}

TSweepPlan ParseSweepPlan(const std::string& Text, const std::string& Source) {
  const std::vector<TCsvRow> rows = ReadCsv(Text, Source);
  if (rows.empty()) throw TSweepError(Source + ": the plan is empty; its first line names the columns");
  const std::vector<std::string>& header = rows[0].Fields;
  for (std::size_t c = 0; c < header.size(); ++c) {
    const std::string& name = header[c];
    const std::string where =
        Source + ":" + std::to_string(rows[0].Line) + ":" + std::to_string(c + 1) + ": ";
    if (name != RunIdColumn && name != ConditionColumn && name != SeedColumn && !IsSweepParameter(name)) {
      std::string known = std::string(RunIdColumn) + ", " + ConditionColumn + ", " + SeedColumn;
      for (const std::string& p : SweepParameterNames())
        known += ", " + p;
      throw TSweepError(where + "unknown column '" + name + "'; the columns are " + known);
    }
    if (std::find(header.begin(), header.begin() + static_cast<std::ptrdiff_t>(c), name) !=
        header.begin() + static_cast<std::ptrdiff_t>(c))
      throw TSweepError(where + "the column '" + name + "' appears twice");
  }
  for (const char* required : {RunIdColumn, ConditionColumn, SeedColumn})
    if (std::find(header.begin(), header.end(), required) == header.end())
      throw TSweepError(Source + ":" + std::to_string(rows[0].Line) + ": the column '" + required +
                        "' is missing");
  if (rows.size() == 1) throw TSweepError(Source + ": the plan has no runs");

  TSweepPlan plan;
  // A corrected value is told once, at its first line: (column, value) -> line, lines.
  std::map<std::pair<std::size_t, std::string>, std::pair<int, int>> corrected;
  std::vector<std::pair<std::size_t, std::string>> correctedOrder;
  std::map<std::string, int> runIdLine;
  std::map<std::string, std::pair<int, std::size_t>> conditionRun; // condition: its first line and run
  for (std::size_t r = 1; r < rows.size(); ++r) {
    const TCsvRow& row = rows[r];
    if (row.Fields.size() != header.size())
      throw TSweepError(Source + ":" + std::to_string(row.Line) + ": " + std::to_string(row.Fields.size()) +
                        " fields, but the header has " + std::to_string(header.size()));
    TSweepRun run;
    for (std::size_t c = 0; c < header.size(); ++c) {
      const std::string& name = header[c];
      const std::string& value = row.Fields[c];
      try {
        if (name == RunIdColumn) {
          CheckRunId(value);
          run.RunId = value;
        } else if (name == ConditionColumn) {
          if (value.empty()) throw std::invalid_argument("the condition is empty");
          run.Condition = value;
        } else if (name == SeedColumn) {
          run.Seed =
              static_cast<std::uint32_t>(ReadInteger(value, 0, std::numeric_limits<std::uint32_t>::max()));
        } else {
          SetSweepParameter(run.Settings, name, value);
        }
      } catch (const std::invalid_argument& e) {
        throw TSweepError(Where(Source, row.Line, c, name) + e.what());
      }
    }
    const auto column = [&](const std::string& Name) {
      return static_cast<std::size_t>(std::find(header.begin(), header.end(), Name) - header.begin());
    };
    for (const TCorrection& c : run.Settings.Normalise()) {
      const std::string name = ParameterOfCorrection(c);
      const auto key = std::make_pair(column(name), row.Fields[column(name)]);
      const auto [at, fresh] = corrected.emplace(key, std::make_pair(row.Line, 0));
      if (fresh) correctedOrder.push_back(key);
      ++at->second.second;
    }
    const auto [id, fresh] = runIdLine.emplace(run.RunId, row.Line);
    if (!fresh)
      throw TSweepError(Where(Source, row.Line, column(RunIdColumn), RunIdColumn) + Quoted(run.RunId) +
                        " is already the run_id of line " + std::to_string(id->second));
    const auto [first, added] =
        conditionRun.emplace(run.Condition, std::make_pair(row.Line, plan.Runs.size()));
    if (!added) {
      const TExperimentSettings& other = plan.Runs[first->second.second].Settings;
      for (const std::string& p : SweepParameterNames())
        if (SweepParameterText(run.Settings, p) != SweepParameterText(other, p)) {
          const std::size_t c = column(p);
          throw TSweepError((c < header.size() ? Where(Source, row.Line, c, p)
                                               : Source + ":" + std::to_string(row.Line) + ": ") +
                            "condition " + Quoted(run.Condition) + " has " + SweepParameterText(other, p) +
                            " at line " + std::to_string(first->second.first) + ", here " +
                            SweepParameterText(run.Settings, p));
        }
    }
    plan.Runs.push_back(std::move(run));
  }
  for (const auto& key : correctedOrder) {
    const auto [line, lines] = corrected.at(key);
    TExperimentSettings probe;
    SetSweepParameter(probe, header[key.first], key.second);
    probe.Normalise();
    plan.Warnings.push_back(Where(Source, line, key.first, header[key.first]) + key.second +
                            " is outside 0..1; the runs use " + SweepParameterText(probe, header[key.first]) +
                            (lines > 1 ? " (on " + std::to_string(lines) + " lines)" : ""));
  }
  return plan;
}

std::string SweepPlanCsv(const TSweepPlan& Plan) {
  std::string text = std::string(RunIdColumn) + "," + ConditionColumn + "," + SeedColumn;
  for (const std::string& p : SweepParameterNames())
    AppendCsv(text, p);
  text += "\n";
  for (const TSweepRun& run : Plan.Runs) {
    text += CsvField(run.RunId) + "," + CsvField(run.Condition) + "," + std::to_string(run.Seed);
    for (const std::string& p : SweepParameterNames())
      AppendCsv(text, SweepParameterText(run.Settings, p));
    text += "\n";
  }
  return text;
}

std::vector<std::vector<std::string>> SweepFactors(const TSweepPlan& Plan) {
  // Each condition's settings, and per parameter the partition of the conditions by its
  // value (the index of the first condition with the same value); parameters with the same
  // partition change together.
  std::vector<const TExperimentSettings*> conditions;
  for (const std::string& name : Plan.Conditions())
    for (const TSweepRun& run : Plan.Runs)
      if (run.Condition == name) {
        conditions.push_back(&run.Settings);
        break;
      }
  std::vector<std::pair<std::vector<std::size_t>, std::vector<std::string>>> factors;
  for (const std::string& p : SweepParameterNames()) {
    std::vector<std::string> texts;
    std::vector<std::size_t> partition;
    for (const TExperimentSettings* s : conditions) {
      texts.push_back(SweepParameterText(*s, p));
      partition.push_back(
          static_cast<std::size_t>(std::find(texts.begin(), texts.end(), texts.back()) - texts.begin()));
    }
    if (std::all_of(partition.begin(), partition.end(), [](std::size_t i) { return i == 0; })) continue;
    const auto same =
        std::find_if(factors.begin(), factors.end(), [&](const auto& F) { return F.first == partition; });
    if (same != factors.end())
      same->second.push_back(p);
    else
      factors.push_back({partition, {p}});
  }
  std::vector<std::vector<std::string>> result;
  for (auto& f : factors)
    result.push_back(std::move(f.second));
  return result;
}

std::vector<std::string> InertFactorWarnings(const TSweepPlan& Plan) {
  static const std::string CrossoverUnderElite = "under elite selection the window fixes it at 1.0";
  // Why a parameter cannot act in a condition; empty where it acts.
  const auto inert = [](const std::string& Parameter, const TExperimentSettings& S) -> std::string {
    if (Parameter == "p-mutation" && S.Reproduction == TReproduction::Phenotype)
      return "program-only agents do not mutate, they take noise";
    if (Parameter == "p-noise" && S.Reproduction == TReproduction::Genotype)
      return "genotype agents take no noise, they mutate";
    if (Parameter == "p-crossover" && !S.RatesSelection) return CrossoverUnderElite;
    return "";
  };
  std::vector<std::string> warnings;
  const std::vector<std::string> names = Plan.Conditions();
  for (const std::vector<std::string>& factor : SweepFactors(Plan)) {
    std::vector<std::string> where, why;
    for (const std::string& name : names) {
      const auto run = std::find_if(Plan.Runs.begin(), Plan.Runs.end(),
                                    [&](const TSweepRun& R) { return R.Condition == name; });
      std::vector<std::string> reasons;
      for (const std::string& p : factor)
        reasons.push_back(inert(p, run->Settings));
      if (std::any_of(reasons.begin(), reasons.end(), [](const std::string& R) { return R.empty(); }))
        continue;
      where.push_back("'" + name + "'");
      for (const std::string& r : reasons)
        if (std::find(why.begin(), why.end(), r) == why.end()) why.push_back(r);
    }
    if (where.empty()) continue;
    std::string factorName, conditions, reasons;
    for (const std::string& p : factor)
      factorName.append(factorName.empty() ? "" : ",").append(p);
    const std::size_t shown = std::min<std::size_t>(where.size(), 10);
    for (std::size_t i = 0; i < shown; ++i)
      conditions.append(i ? ", " : "").append(where[i]);
    if (shown < where.size()) conditions += " and " + std::to_string(where.size() - shown) + " more";
    for (const std::string& r : why)
      reasons.append(reasons.empty() ? "" : "; ").append(r);
    const std::string count =
        std::to_string(where.size()) + " of " + std::to_string(names.size()) + " conditions";
    if (why.size() == 1 && why[0] == CrossoverUnderElite)
      warnings.push_back(
          factorName + " is varied under elite selection in " + count +
          ", where the window fixes it at 1.0 (the command line applies it, so the window cannot "
          "repeat these runs): " +
          conditions);
    else
      warnings.push_back(factorName + " is varied but cannot act in " + count + " (" + reasons +
                         "): " + conditions);
  }
  return warnings;
}

TSweepPlan MakeSweepPlan(const TSweepDesign& Design) {
  TExperimentSettings base;
  std::vector<std::string> named, warnings;
  const auto nameOnce = [&](const std::string& Option, const std::string& Parameter) {
    try {
      ParameterNamed(Parameter);
    } catch (const std::invalid_argument& e) {
      throw std::invalid_argument(Option + ": " + e.what());
    }
    if (std::find(named.begin(), named.end(), Parameter) != named.end())
      throw std::invalid_argument(Option + ": " + Parameter + " is already set or varied");
    named.push_back(Parameter);
  };
  // Sets Value, corrected as a run corrects it; the text of the value used.
  const auto set = [&](TExperimentSettings& Settings, const std::string& Option, const std::string& Parameter,
                       const std::string& Value) {
    try {
      SetSweepParameter(Settings, Parameter, Value);
    } catch (const std::invalid_argument& e) {
      throw std::invalid_argument(Option + " " + Parameter + ": " + e.what());
    }
    const std::string given = SweepParameterText(Settings, Parameter);
    Settings.Normalise();
    const std::string used = SweepParameterText(Settings, Parameter);
    if (used != given) {
      const std::string warning =
          Option + " " + Parameter + ": " + Value + " is outside 0..1; the runs use " + used;
      if (std::find(warnings.begin(), warnings.end(), warning) == warnings.end()) warnings.push_back(warning);
    }
    return used;
  };
  for (const auto& [parameter, value] : Design.Set) {
    nameOnce("--set", parameter);
    set(base, "--set", parameter, value);
  }
  // Each factor's levels, as the texts of the values used, checked once.
  std::vector<std::vector<std::vector<std::string>>> levels;
  for (const TSweepFactor& factor : Design.Vary) {
    if (factor.Parameters.empty()) throw std::invalid_argument("--vary: no parameter");
    std::string factorName;
    for (const std::string& p : factor.Parameters) {
      nameOnce("--vary", p);
      factorName.append(factorName.empty() ? "" : ",").append(p);
    }
    if (factor.Levels.empty()) throw std::invalid_argument("--vary " + factorName + ": no values");
    std::vector<std::vector<std::string>> texts;
    for (const std::vector<std::string>& level : factor.Levels) {
      if (level.size() != factor.Parameters.size()) {
        std::string given;
        for (const std::string& v : level)
          given.append(given.empty() ? "" : ":").append(v);
        throw std::invalid_argument(
            "--vary " + factorName + ": '" + given + "' has " + std::to_string(level.size()) +
            (level.size() == 1 ? " value" : " values") + ", one for each of the " +
            std::to_string(factor.Parameters.size()) + " parameters is needed (V1:V2:...)");
      }
      TExperimentSettings probe = base;
      std::vector<std::string> used;
      bool corrected = false;
      for (std::size_t p = 0; p < level.size(); ++p) {
        TExperimentSettings given = probe;
        used.push_back(set(probe, "--vary", factor.Parameters[p], level[p]));
        SetSweepParameter(given, factor.Parameters[p], level[p]);
        corrected = corrected || used.back() != SweepParameterText(given, factor.Parameters[p]);
      }
      if (std::find(texts.begin(), texts.end(), used) != texts.end()) {
        std::string given;
        for (const std::string& v : level)
          given.append(given.empty() ? "" : ":").append(v);
        throw std::invalid_argument(
            "--vary " + factorName + ": " + given +
            (corrected ? " is corrected into a value given already" : " is given twice"));
      }
      texts.push_back(std::move(used));
    }
    levels.push_back(std::move(texts));
  }
  if (Design.Seeds < 1) throw std::invalid_argument("--seeds: at least one seed is needed");
  if (static_cast<std::uint64_t>(Design.FirstSeed) + static_cast<std::uint64_t>(Design.Seeds) - 1 >
      std::numeric_limits<std::uint32_t>::max())
    throw std::invalid_argument("--first-seed " + std::to_string(Design.FirstSeed) + " with --seeds " +
                                std::to_string(Design.Seeds) + " goes past the last seed 4294967295");

  std::size_t conditions = 1;
  for (const auto& l : levels)
    conditions *= l.size();
  const std::size_t width = std::to_string(conditions).size();
  TSweepPlan plan;
  for (std::size_t k = 0; k < conditions; ++k) {
    TExperimentSettings settings = base;
    std::string name;
    // The first factor is the slowest to change.
    std::size_t rest = k, stride = conditions;
    for (std::size_t f = 0; f < levels.size(); ++f) {
      stride /= levels[f].size();
      const std::vector<std::string>& level = levels[f][rest / stride];
      rest %= stride;
      for (std::size_t p = 0; p < level.size(); ++p) {
        SetSweepParameter(settings, Design.Vary[f].Parameters[p], level[p]);
        name.append(name.empty() ? "" : " ")
            .append(Design.Vary[f].Parameters[p])
            .append("=")
            .append(level[p]);
      }
    }
    if (name.empty()) name = "base";
    std::string number = std::to_string(k + 1);
    number.insert(0, width - number.size(), '0');
    for (int s = 0; s < Design.Seeds; ++s) {
      const std::uint32_t seed = Design.FirstSeed + static_cast<std::uint32_t>(s);
      plan.Runs.push_back({"c" + number + "-s" + std::to_string(seed), name, seed, settings});
    }
  }
  plan.Warnings = std::move(warnings);
  for (std::string& w : InertFactorWarnings(plan))
    plan.Warnings.push_back(std::move(w));
  return plan;
}
