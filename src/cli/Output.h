#pragma once
// What zelworld-cli writes: the shortest round-trip form of doubles, the best-list and
// series files, the plain and JSON forms of a fuzzy set and its measures, and the
// progress bar on a terminal.

#include "Display/Headless.h"
#include "Experiment/Develop.h"
#include "FuzzySet/FuzzySet.h"

#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>

namespace ZelCli {

// The shortest text that reads back to the same double (63, not 63.0).
std::string ShortestReal(double Value);

// One entry per line, each line ending in LF.
std::string BestListText(const TStringList& BestList);
// Header "x,MaxGen,w/ Genotype", then one row per chart point, x counting from FirstX.
std::string SeriesCsv(const THeadlessChart& Chart, int FirstX = 0);

std::string EnvironmentJson(const TFuzzySet& Set);
std::string EnvironmentPlain(const TFuzzySet& Set);
std::string DevelopJson(const TFuzzySet& Set, const TMeasures& M);
// The window's label formats: measures in 8 characters with 2 decimals, fitness in 10.
std::string DevelopPlain(const TFuzzySet& Set, const TMeasures& M);

// "[####......] " What "  m:ss": a bar of Done steps out of Max, then the elapsed time.
std::string ProgressBarLine(int Done, int Max, const std::string& What, std::chrono::seconds Elapsed);

// Draws the run's progress on one terminal line, redrawn at every repaint of the
// driver's progress indicator.
class TProgressPrinter {
public:
  enum class TUnit { Generation, Run };
  TProgressPrinter(std::ostream& Err, TUnit Unit);
  void Repaint(const THeadlessProgress& Bar);
  // Clears the line; later repaints are ignored.
  void Finish();
  // The line for a position, without the carriage return; exposed for the tests.
  static std::string Line(TUnit Unit, int Position, int Max, std::chrono::seconds Elapsed);

private:
  std::ostream& Err;
  TUnit Unit;
  std::chrono::steady_clock::time_point Start;
  bool Drawn = false;
  bool Finished = false;
};

} // namespace ZelCli
