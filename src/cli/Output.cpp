#include "cli/Output.h"

#include "Experiment/ReportFormat.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>

namespace ZelCli {

namespace {
std::string DegreeList(const TFuzzySet& Set, const char* Separator) {
  std::string text;
  for (std::int32_t d : Set.Values()) {
    if (!text.empty()) text += Separator;
    text += std::to_string(d);
  }
  return text;
}
} // namespace

std::string EnvironmentJson(const TFuzzySet& Set) {
  return "{\"degrees\": [" + DegreeList(Set, ", ") +
         "], \"cardinality\": " + ShortestReal(Set.Cardinality()) + "}\n";
}

std::string EnvironmentPlain(const TFuzzySet& Set) {
  return "Degrees: " + DegreeList(Set, ",") + "\nCardinality:" + FormatReal(Set.Cardinality(), 8, 2) + "\n";
}

std::string DevelopJson(const TFuzzySet& Set, const TMeasures& M) {
  return "{\"degrees\": [" + DegreeList(Set, ", ") + "], \"cardinality\": " + ShortestReal(M.Cardinality) +
         ", \"subsethood\": " + ShortestReal(M.Subsethood) + ", \"hamming\": " + ShortestReal(M.Hamming) +
         ", \"fitness\": " + std::to_string(M.Fitness) + "}\n";
}

std::string DevelopPlain(const TFuzzySet& Set, const TMeasures& M) {
  return "Degrees: " + DegreeList(Set, ",") + "\nCardinality:" + FormatReal(M.Cardinality, 8, 2) +
         "\nSubsethood: " + FormatReal(M.Subsethood, 8, 2) + "\nHamming:    " + FormatReal(M.Hamming, 8, 2) +
         "\nFitness:    " + FormatInt(M.Fitness, 10) + "\n";
}

TProgressPrinter::TProgressPrinter(std::ostream& E) : Err(E), Start(std::chrono::steady_clock::now()) {}

TRunObserver TProgressPrinter::Observer() {
  TRunObserver o;
  // A run's bar stands at the generation reached; a batch's at the run under way.
  o.Began = [this](const TRunStart& S) {
    Unit = S.Batch ? TUnit::Run : TUnit::Generation;
    Max = S.Last;
    Repaint(S.Batch ? 1 : S.FirstGeneration);
  };
  o.Generation = [this](const TGenerationRecord& R) {
    if (R.Generation > 0) Repaint(R.Generation);
  };
  o.Run = [this](const TRunRecord& R) { Repaint(R.Run + 1); };
  return o;
}

std::string TProgressPrinter::Line(TUnit Unit, int Position, int Max, std::chrono::seconds Elapsed) {
  // A run's bar stands at the generation reached; a batch's bar starts at 1 and
  // moves one step after each finished run.
  const int done = std::clamp(Unit == TUnit::Run ? Position - 1 : Position, 0, std::max(Max, 0));
  const int current = Unit == TUnit::Run ? std::clamp(Position, 1, std::max(Max, 1)) : done;
  return ProgressBarLine(done, Max,
                         (Unit == TUnit::Run ? "run " : "generation ") + std::to_string(current) + "/" +
                             std::to_string(Max),
                         Elapsed);
}

std::string ProgressBarLine(int Done, int Max, const std::string& What, std::chrono::seconds Elapsed) {
  constexpr int Width = 30;
  const int filled = Max > 0 ? Done * Width / Max : Width;
  const long long seconds = Elapsed.count();
  std::array<char, 32> clock{};
  std::snprintf(clock.data(), clock.size(), "%lld:%02lld", seconds / 60, seconds % 60);
  std::string line = "[";
  line.append(static_cast<std::size_t>(filled), '#');
  line.append(static_cast<std::size_t>(Width - filled), '.');
  return line + "] " + What + "  " + clock.data();
}

void TProgressPrinter::Repaint(int Position) {
  if (Finished) return;
  const auto elapsed =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - Start);
  Err << '\r' << Line(Unit, Position, Max, elapsed) << "\x1b[K" << std::flush;
  Drawn = true;
}

void TProgressPrinter::Finish() {
  if (Drawn && !Finished) Err << "\r\x1b[K" << std::flush;
  Finished = true;
}

} // namespace ZelCli
