#pragma once
// Number formats and line output of the run reports, and the shortest form of a double
// that the files and messages write.

#include "Experiment/FileText.h"

#include <string>
#include <vector>

// An integer right-aligned in a field of at least Width characters (never cut).
std::string FormatInt(long long Value, int Width = 0);
// Fixed-point with Decimals digits after the point, right-aligned in at least Width characters.
// The double is first rounded to 18 significant digits; that decimal is then rounded half
// away from zero at the last printed digit (12.25 gives 12.3).
std::string FormatReal(double Value, int Width, int Decimals);
// The shortest text that reads back to the same double (63, not 63.0; 0.0001 as 1e-04).
std::string ShortestReal(double Value);
// A probability outside the closed interval [0, 1] replaced by Fallback.
double ProbabilityInRange(double P, double Fallback);

// A report file written line by line with CR LF line ends, each line handed to the system
// at once, so that a run stopped early leaves every finished line on disk. A line that
// cannot be written whole is taken back, so the file always ends with a complete line.
// While a report is open it holds an advisory lock, and a report that another process
// holds is refused before anything in it is cut. A file that cannot be created or written
// raises std::runtime_error naming the file and the reason. A report that this object
// created and never wrote a line to goes again when the object ends (or a signal ends the
// process; see TLeftoverFile), so a run that fails before its first line leaves nothing.
class TReportFile {
public:
  explicit TReportFile(const std::string& FileName);
  // A report held from now on, before the run that writes it: a regular file (or a missing
  // one) is opened and locked now, a FIFO or a device only checked now and opened by the
  // first line, since opening a FIFO waits for its reader.
  static TReportFile Claim(const std::string& FileName);
  ~TReportFile();
  TReportFile(TReportFile&& Other) noexcept;
  TReportFile& operator=(TReportFile&&) = delete;
  TReportFile(const TReportFile&) = delete;
  TReportFile& operator=(const TReportFile&) = delete;
  void WriteLine(const std::string& Line);
  // The lines in one write: a reader never sees some of them without the others.
  void WriteLines(const std::vector<std::string>& Lines);
  void Close();
  // Raises the error that opening FileName would raise now, but leaves the file system as
  // it was: an existing file keeps its contents, a missing one is not left behind.
  static void CheckWritable(const std::string& FileName);

private:
  struct TDeferred {};
  TReportFile(const std::string& FileName, TDeferred);
  void Open();
  [[noreturn]] void Fail(const char* What, int Error);
  void Empty();
  // Writes whole lines, the first of them replacing what the file held.
  void Write(const std::string& Text);
  // Writes Out at the end of the file; on failure the file ends with its last whole line.
  void Put(const std::string& Out);
  void Release();
  std::string Name;
  int File = -1;
  // Opened by the first line.
  bool Deferred = false;
  // Only a regular file can be locked against a second writer and cut back to its last line.
  bool Regular = false;
  // Made by this object, and so removed again while nothing is written to it.
  bool Created = false;
  // A regular file is emptied when its first line is written, or when it is closed.
  bool Emptied = true;
  long long Written = 0;
  TLeftoverFile Leftover;
};
