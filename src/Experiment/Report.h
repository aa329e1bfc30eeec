#pragma once
// The run and batch reports, written from the records of the run loop as they come: line by
// line, each line flushed, CR LF line ends.

#include "Experiment/Experiment.h"
#include "Experiment/ReportFormat.h"
#include "Experiment/RunLoop.h"

#include <string>

// The mode title of the reports.
std::string ModeTitle(TReproduction Reproduction, bool RatesSelection);

// The lines of the reports, without line ends.
std::string GenerationLine(const TGenerationRecord& Record);
std::string RunLine(const TRunRecord& Record);
// The averages line of a batch report.
std::string AveragesLine(const TBatchOutcome& Outcome);

// What a front-end says once a report is complete: "Your Report on file " and its name.
std::string ReportClosingMessage(const std::string& FileName);

// The report of a run, a continued run or a batch, written by an observer of the run loop:
// the header at the start, a line per generation (per run of a batch), at the end a batch's
// averages and the stop line of a run stopped early, and then the file is closed.
class TReportWriter {
public:
  // Creates the report file, or takes the one there (emptied by its first line).
  explicit TReportWriter(const std::string& FileName);
  // Takes a report claimed before the run (TReportFile::Claim).
  explicit TReportWriter(TReportFile&& File);
  TRunObserver Observer();

private:
  void WriteHeader(const TRunStart& Start);
  void WriteEnd(const TRunEnd& End);
  TReportFile File;
};
