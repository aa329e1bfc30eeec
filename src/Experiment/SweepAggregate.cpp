#include "Experiment/SweepAggregate.h"

#include "Experiment/SweepPlan.h"
#include "Experiment/SweepRun.h"
#include "Experiment/SweepStatistics.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

namespace fs = std::filesystem;

namespace {

constexpr std::array<const char*, 2> Measures = {BestFitnessMeasure, GenotypeMeasure};
// A run's two series, each one value per generation.
using TSeries = std::array<std::vector<double>, 2>;

std::string At(const std::string& Source, int Line, std::size_t Column, const std::string& Name) {
  return Source + ":" + std::to_string(Line) + ":" + std::to_string(Column + 1) + " (" + Name + "): ";
}

bool ReadNumber(const std::string& Text, double& Value) {
  const auto [end, ec] =
      std::from_chars(Text.data(), Text.data() + Text.size(), Value, std::chars_format::general);
  return !Text.empty() && ec == std::errc{} && end == Text.data() + Text.size() && std::isfinite(Value);
}

// The series of one result file, checked against the plan's line it claims to be.
TSeries ReadResult(const fs::path& Path, const TSweepRun& Run) {
  const std::string source = Path.string();
  const std::vector<TCsvRow> rows = ReadCsv(ReadWholeFile(Path), source);
  const std::vector<std::string> header = ReadCsv(SweepResultHeader(), source)[0].Fields;
  if (rows.empty() || rows[0].Fields != header)
    throw TSweepError(source + ":1: the header is not that of a sweep's result: " + SweepResultHeader());
  std::vector<std::string> expected = {Run.RunId, Run.Condition, std::to_string(Run.Seed)};
  for (const std::string& p : SweepParameterNames())
    expected.push_back(SweepParameterText(Run.Settings, p));
  const std::size_t generations = static_cast<std::size_t>(Run.Settings.Generations) + 1;
  if (rows.size() - 1 != generations)
    throw TSweepError(source + ": " + std::to_string(rows.size() - 1) +
                      " generations, the plan's line asks for " + std::to_string(generations));
  TSeries series;
  for (std::size_t r = 1; r < rows.size(); ++r) {
    const TCsvRow& row = rows[r];
    if (row.Fields.size() != header.size())
      throw TSweepError(source + ":" + std::to_string(row.Line) + ": " + std::to_string(row.Fields.size()) +
                        " fields, but the header has " + std::to_string(header.size()));
    for (std::size_t c = 0; c < expected.size(); ++c)
      if (row.Fields[c] != expected[c])
        throw TSweepError(At(source, row.Line, c, header[c]) + "'" + row.Fields[c] + "', but the plan has '" +
                          expected[c] + "'");
    const std::size_t x = expected.size();
    if (row.Fields[x] != std::to_string(r - 1))
      throw TSweepError(At(source, row.Line, x, header[x]) + "'" + row.Fields[x] + "', expected " +
                        std::to_string(r - 1));
    for (std::size_t m = 0; m < series.size(); ++m) {
      double value = 0;
      if (!ReadNumber(row.Fields[x + 1 + m], value))
        throw TSweepError(At(source, row.Line, x + 1 + m, header[x + 1 + m]) + "'" + row.Fields[x + 1 + m] +
                          "' is not a number");
      series[m].push_back(value);
    }
  }
  return series;
}

struct TCondition {
  const TSweepRun* First = nullptr;
  int Planned = 0;
  std::vector<TSeries> Runs;
  int Generations() const { return First->Settings.Generations; }
  std::vector<double> Values(std::size_t Measure, int Generation) const {
    std::vector<double> values;
    for (const TSeries& run : Runs)
      values.push_back(run[Measure][static_cast<std::size_t>(Generation)]);
    return values;
  }
};

std::string Number(double Value) {
  return SweepNumber(Value);
}

// runs, planned, mean, sd, median, ci_low, ci_high; what a summary lacks stays empty.
std::string SummaryFields(const TSummary& S, int Planned) {
  std::string text = std::to_string(S.N) + "," + std::to_string(Planned) + ",";
  if (S.N == 0) return text + ",,,,";
  text += Number(S.Mean) + ",";
  text.append(S.HasSpread ? Number(S.Sd) : "").append(",").append(Number(S.Median)).append(",");
  return text + (S.HasSpread ? Number(S.Low) + "," + Number(S.High) : ",");
}

// Welch's interval of the difference of two means.
std::string DifferenceFields(const TSummary& S, const TSummary& Base) {
  if (S.N == 0 || Base.N == 0) return ",,";
  const double diff = S.Mean - Base.Mean;
  if (!S.HasSpread || !Base.HasSpread) return Number(diff) + ",,";
  const double a = S.Sd * S.Sd / S.N, b = Base.Sd * Base.Sd / Base.N;
  const double se = std::sqrt(a + b);
  if (se == 0) return Number(diff) + "," + Number(diff) + "," + Number(diff);
  // The degrees of freedom are rounded down, which widens the interval a little.
  const double df = (a + b) * (a + b) / (a * a / (S.N - 1) + b * b / (Base.N - 1));
  const double half = StudentT975(static_cast<int>(std::floor(df))) * se;
  return Number(diff) + "," + Number(diff - half) + "," + Number(diff + half);
}

} // namespace

TSweepAggregate AggregateSweep(const fs::path& Dir, const TAggregateOptions& Options) {
  const fs::path planPath = SweepPlanPath(Dir);
  if (!fs::exists(planPath))
    throw TSweepError("'" + Dir.string() + "' has no plan.csv: it is not the output folder of a sweep run");
  const TSweepPlan plan = ParseSweepPlan(ReadWholeFile(planPath), planPath.string());

  TSweepAggregate result;
  const std::vector<std::string> names = plan.Conditions();
  std::vector<TCondition> conditions(names.size());
  for (const TSweepRun& run : plan.Runs) {
    TCondition& c = conditions[static_cast<std::size_t>(std::find(names.begin(), names.end(), run.Condition) -
                                                        names.begin())];
    if (!c.First) c.First = &run;
    ++c.Planned;
    ++result.Planned;
    const fs::path path = SweepResultPath(Dir, run.RunId);
    if (fs::exists(path))
      c.Runs.push_back(ReadResult(path, run));
    else
      result.Missing.push_back(run.RunId);
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
  result.Comparison = columns + ",diff,diff_low,diff_high\n";
  std::array<TSummary, Measures.size()> baseline;
  for (std::size_t i = 0; i < conditions.size(); ++i) {
    const TCondition& c = conditions[i];
    const int n = static_cast<int>(c.Runs.size());
    // Each condition's resamples come from the fixed seed alone, so that one condition's
    // interval does not depend on the others.
    TRandom random(Options.BootstrapSeed);
    const bool resample = bootstrap && n >= 2;
    const TBootstrap boot(resample ? n : 1, resample ? Options.Bootstrap : 0, random);
    for (std::size_t m = 0; m < Measures.size(); ++m) {
      for (int g = 0; g <= c.Generations(); ++g) {
        const std::vector<double> values = c.Values(m, g);
        const TSummary s = Summarise(values);
        std::string row =
            prefix(i) + "," + Measures[m] + "," + std::to_string(g) + "," + SummaryFields(s, c.Planned);
        if (bootstrap) {
          if (resample) {
            const auto [lo, hi] = boot.Interval(values);
            AppendCsv(row, Number(lo));
            AppendCsv(row, Number(hi));
          } else {
            row += ",,";
          }
        }
        result.Table += row + "\n";
        if (g == c.Generations()) {
          if (i == 0) baseline[m] = s;
          result.Comparison += prefix(i) + "," + Measures[m] + "," + std::to_string(g) + "," +
                               SummaryFields(s, c.Planned) + "," +
                               (i == 0 ? std::string(",,") : DifferenceFields(s, baseline[m])) + "\n";
        }
      }
    }
  }
  return result;
}

std::vector<TAggregateCurve> ReadSweepAggregate(const std::string& Text, const std::string& Source) {
  const std::vector<TCsvRow> rows = ReadCsv(Text, Source);
  if (rows.empty()) throw TSweepError(Source + ": the file is empty");
  const std::vector<std::string>& header = rows[0].Fields;
  const auto column = [&](const char* Name) {
    const auto it = std::find(header.begin(), header.end(), Name);
    if (it == header.end())
      throw TSweepError(Source + ":1: the column '" + std::string(Name) +
                        "' is missing; is it an aggregate.csv?");
    return static_cast<std::size_t>(it - header.begin());
  };
  const std::size_t measure = column("measure"), generation = column("generation"), mean = column("mean"),
                    low = column("ci_low"), high = column("ci_high");
  if (column("condition") != 0) throw TSweepError(Source + ":1: the first column is not 'condition'");
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
