#pragma once
// What zelworld-cli writes besides the files of a run: the plain and JSON forms of a fuzzy
// set and its measures, and the progress bar on a terminal.

#include "Experiment/Develop.h"
#include "Experiment/RunLoop.h"
#include "FuzzySet/FuzzySet.h"

#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>

namespace ZelCli {

std::string EnvironmentJson(const TFuzzySet& Set);
std::string EnvironmentPlain(const TFuzzySet& Set);
std::string DevelopJson(const TFuzzySet& Set, const TMeasures& M);
// The window's label formats: measures in 8 characters with 2 decimals, fitness in 10.
std::string DevelopPlain(const TFuzzySet& Set, const TMeasures& M);

// "[####......] " What "  m:ss": a bar of Done steps out of Max, then the elapsed time.
std::string ProgressBarLine(int Done, int Max, const std::string& What, std::chrono::seconds Elapsed);

// Draws the run's progress on one terminal line, an observer of the run loop that redraws
// it at the start and after every generation (every run of a batch).
class TProgressPrinter {
public:
  enum class TUnit { Generation, Run };
  explicit TProgressPrinter(std::ostream& Err);
  TRunObserver Observer();
  // Clears the line; later repaints are ignored.
  void Finish();
  // The line for a position, without the carriage return; exposed for the tests.
  static std::string Line(TUnit Unit, int Position, int Max, std::chrono::seconds Elapsed);

private:
  void Repaint(int Position);
  std::ostream& Err;
  TUnit Unit = TUnit::Generation;
  int Max = 0;
  std::chrono::steady_clock::time_point Start;
  bool Drawn = false;
  bool Finished = false;
};

} // namespace ZelCli
