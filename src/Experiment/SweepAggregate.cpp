#include "Experiment/SweepAggregate.h"

#include "Experiment/SweepRun.h"
#include "Experiment/SweepStatistics.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <string_view>

namespace fs = std::filesystem;

namespace {

// A measure of the run files: its name in the tables, its column in a run file, and its
// possible values (Hi < 0: bounded by the run's settings, see Bounds).
struct TMeasure {
  const char* Name;
  const char* Column;
  bool Whole;
  double Lo, Hi;
};
const std::array<TMeasure, 7> Measures = {{
    {"best_fitness", "MaxGen", true, 5, 100},
    {"avg_fitness", "avg_fitness", false, 5, 100},
    {"min_fitness", "min_fitness", true, 5, 100},
    {"best_so_far", "best_so_far", true, 5, 100},
    {"genotype_percent", "w/ Genotype", true, 0, 100},
    {"distinct_programs", "distinct_programs", true, 1, -1},
    {"mean_hamming", "mean_hamming", false, 0, -1},
}};
enum TMeasureIndex : std::size_t { Best, Average, Minimum, BestSoFar, Genotype, Distinct, Hamming };
// The measures in the order of a run file's columns after x.
constexpr std::array<std::size_t, 7> FileOrder = {Best,      Genotype, Average, Minimum,
                                                  BestSoFar, Distinct, Hamming};

// The columns that the run files of earlier versions had.
const char* const OlderResultTail = ",x,MaxGen,w/ Genotype";

std::string At(const std::string& Source, int Line, std::size_t Column, const std::string& Name) {
  return Source + ":" + std::to_string(Line) + ":" + std::to_string(Column + 1) + " (" + Name + "): ";
}

bool ReadNumber(std::string_view Text, double& Value) {
  const auto [end, ec] =
      std::from_chars(Text.data(), Text.data() + Text.size(), Value, std::chars_format::general);
  return !Text.empty() && ec == std::errc{} && end == Text.data() + Text.size() && std::isfinite(Value);
}

std::string Number(double Value) {
  return SweepNumber(Value);
}

std::string Quote(std::string_view Text) {
  return "'" + std::string(Text) + "'";
}

// The rows of a CSV text as fields that point into it (or into Storage, for a text with
// quotes), each with its line number.
struct TRows {
  std::vector<int> Lines;
  std::vector<std::vector<std::string_view>> Fields;
  std::vector<TCsvRow> Storage;
};
TRows SplitRows(const std::string& Text, const std::string& Source) {
  TRows rows;
  if (Text.find('"') != std::string::npos || Text.starts_with("\xEF\xBB\xBF")) {
    rows.Storage = ReadCsv(Text, Source);
    for (const TCsvRow& row : rows.Storage) {
      rows.Lines.push_back(row.Line);
      rows.Fields.emplace_back(row.Fields.begin(), row.Fields.end());
    }
    return rows;
  }
  // Without quotes a field is what lies between commas; this path reads the files that
  // sweep run writes, tens of thousands of them, quickly.
  std::string_view rest = Text;
  for (int line = 1; !rest.empty(); ++line) {
    const std::size_t end = rest.find('\n');
    std::string_view text = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    if (text.ends_with('\r')) text.remove_suffix(1);
    if (text.empty()) continue;
    std::vector<std::string_view> fields;
    for (std::size_t start = 0;;) {
      const std::size_t comma = text.find(',', start);
      fields.push_back(
          text.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
      if (comma == std::string_view::npos) break;
      start = comma + 1;
    }
    rows.Lines.push_back(line);
    rows.Fields.push_back(std::move(fields));
  }
  return rows;
}

std::vector<std::string> HeaderFields(const std::string& Header) {
  return ReadCsv(Header, "header")[0].Fields;
}

struct TCondition {
  const TSweepRun* First = nullptr;
  int Planned = 0;
  int Generations() const { return First->Settings.Generations; }
  // [measure][generation][run], for the measures of the tables.
  std::vector<std::vector<std::vector<double>>> Values;
  int Runs() const { return Values.empty() || Values[0].empty() ? 0 : static_cast<int>(Values[0][0].size()); }
};

// runs, planned, mean, sd, median, ci_low, ci_high; what a summary lacks stays empty.
std::string SummaryFields(const TSummary& S, int Planned) {
  std::string text = std::to_string(S.N) + "," + std::to_string(Planned) + ",";
  if (S.N == 0) return text + ",,,,";
  text += Number(S.Mean) + ",";
  text.append(S.HasSpread ? Number(S.Sd) : "").append(",").append(Number(S.Median)).append(",");
  return text + (S.HasSpread ? Number(S.Low) + "," + Number(S.High) : ",");
}

std::string Optional(bool Has, double Value) {
  return Has ? Number(Value) : "";
}

// One pair of conditions compared on one measure.
struct TComparison {
  std::size_t Measure = 0;
  std::size_t A = 0, B = 0;
  TSummary Sa, Sb;
  TWelch Welch;
  TMannWhitney Mw;
  bool HasA12 = false;
  double A12 = 0;
  std::optional<double> G;
  bool HasBoot = false;
  std::pair<double, double> Boot;
  double WelchHolm = 0, MwHolm = 0;
};

std::string Fixed(double Value, int Decimals) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", Decimals, Value);
  return buffer;
}

std::string PValue(double P) {
  if (P < 0.0001) return "< 0.0001";
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.2g", P);
  return buffer;
}

std::string Padded(const std::string& Text, std::size_t Width, bool Right = false) {
  if (Text.size() >= Width) return Text;
  return Right ? std::string(Width - Text.size(), ' ') + Text : Text + std::string(Width - Text.size(), ' ');
}

// Significance level of the clear differences in the summary.
constexpr double ClearLevel = 0.05;

} // namespace

const std::vector<std::string>& SweepMeasureNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> v;
    for (const TMeasure& m : Measures)
      v.push_back(m.Name);
    return v;
  }();
  return names;
}

TRunSeries ReadSweepResult(const std::string& Text, const std::string& Source, const TSweepRun& Run) {
  static const std::vector<std::string> header = HeaderFields(SweepResultHeader());
  const TRows rows = SplitRows(Text, Source);
  if (rows.Fields.empty() ||
      !std::equal(rows.Fields[0].begin(), rows.Fields[0].end(), header.begin(), header.end())) {
    const std::string older =
        SweepResultHeader().substr(0, SweepResultHeader().find(",x,")) + OlderResultTail;
    if (const std::vector<std::string> fields = HeaderFields(older);
        !rows.Fields.empty() &&
        std::equal(rows.Fields[0].begin(), rows.Fields[0].end(), fields.begin(), fields.end()))
      throw TSweepError(
          Source + ":1: a result of an earlier version of ZELWorld, without the columns avg_fitness, "
                   "min_fitness, best_so_far, distinct_programs, mean_hamming and program_version; delete "
                   "it and run `sweep run` again, which makes the missing results");
    throw TSweepError(Source + ":1: the header is not that of a sweep's result: " + SweepResultHeader());
  }
  std::vector<std::string> expected = {Run.RunId, Run.Condition, std::to_string(Run.Seed)};
  for (const std::string& p : SweepParameterNames())
    expected.push_back(SweepParameterText(Run.Settings, p));
  const std::size_t generations = static_cast<std::size_t>(Run.Settings.Generations) + 1;
  if (rows.Fields.size() - 1 != generations)
    throw TSweepError(Source + ": " + std::to_string(rows.Fields.size() - 1) +
                      " generations, the plan's line asks for " + std::to_string(generations));

  TRunSeries series;
  series.Measures.assign(Measures.size(), {});
  for (auto& m : series.Measures)
    m.reserve(generations);
  const std::size_t x = expected.size();
  for (std::size_t r = 1; r < rows.Fields.size(); ++r) {
    const std::vector<std::string_view>& row = rows.Fields[r];
    const int line = rows.Lines[r];
    const auto fail = [&](std::size_t Column, const std::string& What) {
      throw TSweepError(At(Source, line, Column, header[Column]) + What);
    };
    if (row.size() != header.size())
      throw TSweepError(Source + ":" + std::to_string(line) + ": " + std::to_string(row.size()) +
                        " fields, but the header has " + std::to_string(header.size()));
    for (std::size_t c = 0; c < x; ++c)
      if (row[c] != expected[c]) fail(c, Quote(row[c]) + ", but the plan has " + Quote(expected[c]));
    if (row[x] != std::to_string(r - 1)) fail(x, Quote(row[x]) + ", expected " + std::to_string(r - 1));
    std::array<double, Measures.size()> v{};
    for (std::size_t k = 0; k < FileOrder.size(); ++k) {
      const std::size_t c = x + 1 + k, m = FileOrder[k];
      const TMeasure& measure = Measures[m];
      double& value = v[m];
      if (!ReadNumber(row[c], value)) fail(c, Quote(row[c]) + " is not a number");
      double hi = measure.Hi;
      if (m == Distinct) hi = Run.Settings.PopSize;
      if (m == Hamming) hi = 18.0 * Run.Settings.Blocks;
      if (value < measure.Lo || value > hi)
        fail(c, Quote(row[c]) + " is outside " + Number(measure.Lo) + ".." + Number(hi));
      if (measure.Whole && value != std::floor(value)) fail(c, Quote(row[c]) + " is not a whole number");
    }
    // The fitness measures of one generation agree with each other and with the ones before.
    const auto column = [&](std::size_t M) {
      return x + 1 +
             static_cast<std::size_t>(std::find(FileOrder.begin(), FileOrder.end(), M) - FileOrder.begin());
    };
    if (v[Minimum] > v[Best])
      fail(column(Minimum), Quote(row[column(Minimum)]) + " is above the best fitness");
    if (v[Average] < v[Minimum] || v[Average] > v[Best])
      fail(column(Average), Quote(row[column(Average)]) + " is not between the lowest and the best fitness");
    const double bestSoFar = r == 1 ? v[Best] : std::max(series.Measures[BestSoFar].back(), v[Best]);
    if (v[BestSoFar] != bestSoFar)
      fail(column(BestSoFar),
           Quote(row[column(BestSoFar)]) + ", but the best fitness so far is " + Number(bestSoFar));
    const std::size_t last = header.size() - 1;
    if (row[last].empty()) fail(last, "the version is empty");
    if (r == 1) series.Version = std::string(row[last]);
    if (row[last] != series.Version)
      fail(last, Quote(row[last]) + " is not the version of the file's first row, " + Quote(series.Version));
    for (std::size_t m = 0; m < Measures.size(); ++m)
      series.Measures[m].push_back(v[m]);
  }
  return series;
}

TSweepAggregate AggregateSweep(const fs::path& Dir, const TAggregateOptions& Options) {
  std::vector<std::size_t> measures;
  for (const std::string& name : Options.Measures) {
    const auto it =
        std::find_if(Measures.begin(), Measures.end(), [&](const TMeasure& M) { return name == M.Name; });
    if (it == Measures.end()) {
      std::string known;
      for (const TMeasure& m : Measures)
        known.append(known.empty() ? "" : ", ").append(m.Name);
      throw std::invalid_argument("--measure: '" + name + "' is not a measure; the measures are " + known);
    }
    const std::size_t index = static_cast<std::size_t>(it - Measures.begin());
    if (std::find(measures.begin(), measures.end(), index) == measures.end()) measures.push_back(index);
  }
  if (measures.empty())
    for (std::size_t m = 0; m < Measures.size(); ++m)
      measures.push_back(m);

  const fs::path planPath = SweepPlanPath(Dir);
  if (!fs::exists(planPath))
    throw TSweepError("'" + Dir.string() + "' has no plan.csv: it is not the output folder of a sweep run");
  const TSweepPlan plan = ParseSweepPlan(ReadSweepFile(planPath, SweepPlanInput), planPath.string());

  TSweepAggregate result;
  result.Foreign = ForeignResults(plan, Dir);
  const std::vector<std::string> names = plan.Conditions();
  std::vector<TCondition> conditions(names.size());
  for (const TSweepRun& run : plan.Runs) {
    TCondition& c = conditions[static_cast<std::size_t>(std::find(names.begin(), names.end(), run.Condition) -
                                                        names.begin())];
    if (!c.First) {
      c.First = &run;
      c.Values.assign(measures.size(),
                      std::vector<std::vector<double>>(static_cast<std::size_t>(c.Generations()) + 1));
    }
    ++c.Planned;
    ++result.Planned;
    const fs::path path = SweepResultPath(Dir, run.RunId);
    if (SweepResultMissing(path)) {
      result.Missing.push_back(run.RunId);
      continue;
    }
    const TRunSeries series = ReadSweepResult(ReadSweepFile(path, SweepResultInput), path.string(), run);
    if (series.Version != SweepProgramVersion())
      result.OtherVersions.push_back(path.filename().string() + " (" + series.Version + ")");
    for (std::size_t k = 0; k < measures.size(); ++k)
      for (std::size_t g = 0; g < c.Values[k].size(); ++g)
        c.Values[k][g].push_back(series.Measures[measures[k]][g]);
  }

  // The generation compared of each condition.
  std::vector<int> compared;
  for (std::size_t i = 0; i < conditions.size(); ++i) {
    const int last = conditions[i].Generations();
    if (Options.AtGeneration && *Options.AtGeneration > last)
      throw TSweepError("--at-generation " + std::to_string(*Options.AtGeneration) + ": condition '" +
                        names[i] + "' runs to generation " + std::to_string(last));
    compared.push_back(Options.AtGeneration.value_or(last));
  }

  // The settings that differ between conditions name them in the tables and the plot.
  std::vector<std::string> varied;
  for (const std::string& p : SweepParameterNames())
    for (const TCondition& c : conditions)
      if (SweepParameterText(c.First->Settings, p) != SweepParameterText(conditions[0].First->Settings, p)) {
        varied.push_back(p);
        break;
      }
  const auto prefix = [&](std::size_t Index) {
    std::string text = CsvField(names[Index]);
    for (const std::string& p : varied)
      AppendCsv(text, SweepParameterText(conditions[Index].First->Settings, p));
    return text;
  };
  std::string columns = "condition";
  for (const std::string& p : varied)
    AppendCsv(columns, p);
  columns += ",measure,generation,runs,planned,mean,sd,median,ci_low,ci_high";

  const bool bootstrap = Options.Bootstrap > 0;
  result.Table = columns + (bootstrap ? ",boot_low,boot_high" : "") + "\n";
  for (std::size_t i = 0; i < conditions.size(); ++i) {
    const TCondition& c = conditions[i];
    const int n = c.Runs();
    // Each condition's resamples come from the fixed seed alone, so that one condition's
    // interval does not depend on the others.
    TRandom random(Options.BootstrapSeed);
    const bool resample = bootstrap && n >= 2;
    const TBootstrap boot(resample ? n : 1, resample ? Options.Bootstrap : 0, random);
    const std::string head = prefix(i) + ",";
    for (std::size_t k = 0; k < measures.size(); ++k) {
      for (int g = 0; g <= c.Generations(); ++g) {
        const std::vector<double>& values = c.Values[k][static_cast<std::size_t>(g)];
        std::string row = head + Measures[measures[k]].Name + "," + std::to_string(g) + "," +
                          SummaryFields(Summarise(values), c.Planned);
        if (bootstrap) {
          if (resample) {
            const auto [lo, hi] = boot.Interval(values);
            row.append(",").append(Number(lo)).append(",").append(Number(hi));
          } else {
            row += ",,";
          }
        }
        result.Table += row + "\n";
      }
    }
  }

  // The pairs compared: every pair, or those that differ in one factor.
  const std::vector<std::vector<std::string>> factors = SweepFactors(plan);
  const auto differing = [&](std::size_t A, std::size_t B) {
    std::vector<std::string> differ;
    for (const std::vector<std::string>& factor : factors)
      if (SweepParameterText(conditions[A].First->Settings, factor[0]) !=
          SweepParameterText(conditions[B].First->Settings, factor[0])) {
        std::string name;
        for (const std::string& p : factor)
          name.append(name.empty() ? "" : "+").append(p);
        differ.push_back(name);
      }
    return differ;
  };
  const bool oneFactor = Options.Pairs == TComparedPairs::OneFactor ||
                         (Options.Pairs == TComparedPairs::Default && conditions.size() > 10);
  std::vector<std::pair<std::size_t, std::size_t>> pairs;
  for (std::size_t a = 0; a < conditions.size(); ++a)
    for (std::size_t b = a + 1; b < conditions.size(); ++b)
      if (!oneFactor || differing(a, b).size() == 1) pairs.emplace_back(a, b);

  std::vector<TComparison> comparisons;
  for (std::size_t k = 0; k < measures.size(); ++k) {
    const std::size_t first = comparisons.size();
    for (const auto& [a, b] : pairs) {
      const std::vector<double>& va = conditions[a].Values[k][static_cast<std::size_t>(compared[a])];
      const std::vector<double>& vb = conditions[b].Values[k][static_cast<std::size_t>(compared[b])];
      TComparison c;
      c.Measure = k;
      c.A = a;
      c.B = b;
      c.Sa = Summarise(va);
      c.Sb = Summarise(vb);
      c.Welch = WelchTest(c.Sa, c.Sb);
      c.Mw = MannWhitneyTest(va, vb);
      c.HasA12 = !va.empty() && !vb.empty();
      if (c.HasA12) c.A12 = VarghaDelaneyA12(va, vb);
      c.G = HedgesG(c.Sa, c.Sb);
      if (bootstrap && va.size() >= 2 && vb.size() >= 2) {
        // Each pair resamples its two conditions from the fixed seed, one after the other.
        TRandom random(Options.BootstrapSeed);
        const TBootstrap ba(static_cast<int>(va.size()), Options.Bootstrap, random);
        const TBootstrap bb(static_cast<int>(vb.size()), Options.Bootstrap, random);
        std::vector<double> diffs = ba.Means(va);
        const std::vector<double> mb = bb.Means(vb);
        for (std::size_t r = 0; r < diffs.size(); ++r)
          diffs[r] -= mb[r];
        c.HasBoot = true;
        c.Boot = PercentileInterval(std::move(diffs));
      }
      comparisons.push_back(c);
    }
    // Holm's adjustment within the family of this measure's comparisons, for each test.
    for (const bool welch : {true, false}) {
      std::vector<double> p;
      std::vector<std::size_t> at;
      for (std::size_t i = first; i < comparisons.size(); ++i) {
        const TComparison& c = comparisons[i];
        if (welch ? c.Welch.Defined : c.Mw.HasP) {
          p.push_back(welch ? c.Welch.P : c.Mw.P);
          at.push_back(i);
        }
      }
      const std::vector<double> adjusted = HolmAdjust(p);
      for (std::size_t j = 0; j < at.size(); ++j)
        (welch ? comparisons[at[j]].WelchHolm : comparisons[at[j]].MwHolm) = adjusted[j];
    }
  }

  result.Comparison =
      "measure,condition_a,condition_b,differs_in,generation_a,generation_b,n_a,n_b,mean_a,mean_b,"
      "sd_a,sd_b,diff,diff_low,diff_high,welch_t,welch_df,welch_p,welch_p_holm,mw_u,mw_method,"
      "mw_p,mw_p_holm,a12,hedges_g";
  result.Comparison += bootstrap ? ",boot_low,boot_high\n" : "\n";
  for (const TComparison& c : comparisons) {
    std::string differ;
    for (const std::string& f : differing(c.A, c.B))
      differ.append(differ.empty() ? "" : ";").append(f);
    const bool both = c.Sa.N > 0 && c.Sb.N > 0;
    const TWelch& w = c.Welch;
    std::string row = Measures[measures[c.Measure]].Name;
    AppendCsv(row, names[c.A]);
    AppendCsv(row, names[c.B]);
    AppendCsv(row, differ);
    row += "," + std::to_string(compared[c.A]) + "," + std::to_string(compared[c.B]) + "," +
           std::to_string(c.Sa.N) + "," + std::to_string(c.Sb.N) + "," + Optional(c.Sa.N > 0, c.Sa.Mean) +
           "," + Optional(c.Sb.N > 0, c.Sb.Mean) + "," + Optional(c.Sa.HasSpread, c.Sa.Sd) + "," +
           Optional(c.Sb.HasSpread, c.Sb.Sd) + "," + Optional(both, w.Diff) + "," +
           Optional(w.Defined, w.Low) + "," + Optional(w.Defined, w.High) + "," + Optional(w.Defined, w.T) +
           "," + Optional(w.Defined, w.Df) + "," + Optional(w.Defined, w.P) + "," +
           Optional(w.Defined, c.WelchHolm) + "," + Optional(both, c.Mw.U) + "," +
           (both ? (c.Mw.Exact ? "exact" : "normal") : "") + "," + Optional(c.Mw.HasP, c.Mw.P) + "," +
           Optional(c.Mw.HasP, c.MwHolm) + "," + Optional(c.HasA12, c.A12) + "," +
           Optional(c.G.has_value(), c.G.value_or(0));
    if (bootstrap) row += "," + Optional(c.HasBoot, c.Boot.first) + "," + Optional(c.HasBoot, c.Boot.second);
    result.Comparison += row + "\n";
  }

  // The summary for a person: the first measure asked for (best fitness unless named).
  const std::size_t shown = 0;
  const bool sameGeneration =
      std::all_of(compared.begin(), compared.end(), [&](int G) { return G == compared[0]; });
  std::string& text = result.Summary;
  text = std::string(Measures[measures[shown]].Name) +
         (sameGeneration ? " at generation " + std::to_string(compared[0])
                         : " at each condition's last generation") +
         ": mean of the runs with its 95% interval\n";
  std::size_t width = 9;
  for (const std::string& name : names)
    width = std::max(width, name.size());
  text += "  " + Padded("condition", width) + "   runs     mean   95% interval\n";
  for (std::size_t i = 0; i < conditions.size(); ++i) {
    const TSummary s = Summarise(conditions[i].Values[shown][static_cast<std::size_t>(compared[i])]);
    text += "  " + Padded(names[i], width) + " " +
            Padded(std::to_string(s.N) + "/" + std::to_string(conditions[i].Planned), 7, true) + " " +
            Padded(s.N > 0 ? Fixed(s.Mean, 2) : "-", 8, true) + "   " +
            (s.HasSpread ? Fixed(s.Low, 2) + " .. " + Fixed(s.High, 2) : "-") + "\n";
  }
  // A pair that differs in one factor is told by that factor's values, the settings they
  // share after it; any other pair by the names of both conditions.
  const auto PairText = [&](std::size_t Hi, std::size_t Lo) {
    const std::vector<std::string> differ = differing(Hi, Lo);
    if (differ.size() != 1) return names[Hi] + " > " + names[Lo];
    std::string factor, shared;
    for (const std::vector<std::string>& f : factors) {
      std::string hi, lo, name;
      for (const std::string& p : f) {
        name.append(name.empty() ? "" : "+").append(p);
        hi.append(hi.empty() ? "" : ":").append(SweepParameterText(conditions[Hi].First->Settings, p));
        lo.append(lo.empty() ? "" : ":").append(SweepParameterText(conditions[Lo].First->Settings, p));
      }
      if (name == differ[0])
        factor = name + " " + hi + " > " + lo;
      else
        for (const std::string& p : f)
          shared.append(shared.empty() ? "" : " ")
              .append(p)
              .append("=")
              .append(SweepParameterText(conditions[Hi].First->Settings, p));
    }
    return factor + (shared.empty() ? "" : " (" + shared + ")");
  };
  std::string clear;
  int clearCount = 0, pairCount = 0;
  for (const TComparison& c : comparisons) {
    if (c.Measure != shown) continue;
    ++pairCount;
    if (!c.Welch.Defined || !c.Mw.HasP || c.WelchHolm >= ClearLevel || c.MwHolm >= ClearLevel) continue;
    ++clearCount;
    const bool aAbove = c.Welch.Diff > 0;
    const std::size_t hi = aAbove ? c.A : c.B, lo = aAbove ? c.B : c.A;
    const double sign = aAbove ? 1 : -1;
    const double a12 = aAbove ? c.A12 : 1 - c.A12;
    clear += "  " + PairText(hi, lo) + ": ";
    clear += "+" + Fixed(sign * c.Welch.Diff, 2) + " (" + Fixed(aAbove ? c.Welch.Low : -c.Welch.High, 2) +
             " .. " + Fixed(aAbove ? c.Welch.High : -c.Welch.Low, 2) + "), Holm p " +
             PValue(std::max(c.WelchHolm, c.MwHolm)) + ", A12 " + Fixed(a12, 2) +
             (c.G ? ", g " + Fixed(sign * *c.G, 2) : "") + "\n";
  }
  if (pairCount == 0) {
    text += "No pair of conditions to compare.\n";
  } else {
    text += "Clear differences (Holm-adjusted p < 0.05 in Welch's t test and in the Mann-Whitney test): " +
            std::to_string(clearCount) + " of " + std::to_string(pairCount) +
            (pairCount == 1 ? " pair" : " pairs") + (oneFactor ? " that differ in one factor" : "") +
            (clearCount ? ":\n" + clear : "\n");
  }
  return result;
}

std::vector<TAggregateCurve> ReadSweepAggregate(const std::string& Text, const std::string& Source) {
  const std::vector<TCsvRow> rows = ReadCsv(Text, Source);
  if (rows.empty())
    throw TSweepError(Source + ": the file is empty; an aggregate.csv of sweep aggregate is needed");
  const std::vector<std::string>& header = rows[0].Fields;
  const auto column = [&](const char* Name) {
    const auto it = std::find(header.begin(), header.end(), Name);
    if (it == header.end())
      throw TSweepError(Source + ":1: the column '" + std::string(Name) +
                        "' is missing: this is not an aggregate.csv of sweep aggregate");
    return static_cast<std::size_t>(it - header.begin());
  };
  const std::size_t measure = column("measure"), generation = column("generation"), mean = column("mean"),
                    low = column("ci_low"), high = column("ci_high");
  if (column("condition") != 0)
    throw TSweepError(Source + ":1: the first column is not 'condition': this is not an aggregate.csv");
  std::vector<TAggregateCurve> curves;
  for (std::size_t r = 1; r < rows.size(); ++r) {
    const TCsvRow& row = rows[r];
    if (row.Fields.size() != header.size())
      throw TSweepError(Source + ":" + std::to_string(row.Line) + ": " + std::to_string(row.Fields.size()) +
                        " fields, but the header has " + std::to_string(header.size()));
    if (row.Fields[mean].empty()) continue; // no run of this condition has a result
    std::string label;
    for (std::size_t c = 1; c < measure; ++c)
      label.append(label.empty() ? "" : " ").append(header[c]).append("=").append(row.Fields[c]);
    if (label.empty()) label = row.Fields[0];
    if (curves.empty() || curves.back().Condition != row.Fields[0] ||
        curves.back().Measure != row.Fields[measure])
      curves.push_back({row.Fields[0], label, row.Fields[measure], {}, {}, {}, {}});
    TAggregateCurve& curve = curves.back();
    std::array<double, 4> v{};
    const std::array<std::size_t, 4> at = {generation, mean, low, high};
    for (std::size_t k = 0; k < at.size(); ++k) {
      const std::string& field = row.Fields[at[k]];
      if (k >= 2 && field.empty()) {
        v[k] = v[1]; // one run: no interval, the band is the mean
      } else if (!ReadNumber(field, v[k])) {
        throw TSweepError(At(Source, row.Line, at[k], header[at[k]]) + "'" + field + "' is not a number");
      }
    }
    curve.Generation.push_back(v[0]);
    curve.Mean.push_back(v[1]);
    curve.Low.push_back(v[2]);
    curve.High.push_back(v[3]);
  }
  return curves;
}
