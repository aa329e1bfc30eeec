#pragma once
// Number formats and line output of the run reports.

#include <cstdio>
#include <string>

// An integer right-aligned in a field of at least Width characters (never cut).
std::string FormatInt(long long Value, int Width = 0);
// Fixed-point with Decimals digits after the point, right-aligned in at least Width characters.
// The double is first rounded to 18 significant digits; that decimal is then rounded half
// away from zero at the last printed digit (12.25 gives 12.3).
std::string FormatReal(double Value, int Width, int Decimals);
// A probability outside the closed interval [0, 1] replaced by Fallback.
double ProbabilityInRange(double P, double Fallback);

// A report file written line by line with CR LF line ends, each line flushed at once,
// so that a run stopped early leaves every finished line on disk. A file that cannot be
// created or written raises std::runtime_error naming the file and the reason.
class TReportFile {
public:
  explicit TReportFile(const std::string& FileName);
  ~TReportFile();
  TReportFile(const TReportFile&) = delete;
  TReportFile& operator=(const TReportFile&) = delete;
  void WriteLine(const std::string& Line);
  void Close();

private:
  [[noreturn]] void Fail(const char* What, int Error);
  std::string Name;
  std::FILE* File = nullptr;
};
