#pragma once
// The run and batch reports, written from the settings and the records as they come:
// line by line, each line flushed, CR LF line ends.

#include "Experiment/Experiment.h"
#include "ZEL/ReportFormat.h"

#include <string>

// The mode title of the reports; empty for a reproduction type outside 0..2.
std::string ModeTitle(int ReproductionType, bool RatesSelection);

// The lines of the reports, without line ends.
std::string GenerationLine(const TGenerationRecord& Record);
std::string RunLine(const TRunRecord& Record);
// The averages line of a batch report.
std::string AveragesLine(const TBatchOutcome& Outcome);

class TRunReport {
public:
  // Creates (or empties) the report file.
  explicit TRunReport(const std::string& FileName);
  void WriteHeader(const TExperimentSettings& Settings);
  void WriteGeneration(const TGenerationRecord& Record);
  // The closing line of a run ended early, after the last generation written.
  void WriteStopped(int Generation, int Generations);
  void Close() { File.Close(); }

private:
  TReportFile File;
};

class TBatchReport {
public:
  explicit TBatchReport(const std::string& FileName);
  void WriteHeader(const TExperimentSettings& Settings);
  void WriteRun(const TRunRecord& Record);
  void WriteFooter(const TBatchOutcome& Outcome);
  void WriteStopped(int Runs);
  void Close() { File.Close(); }

private:
  TReportFile File;
};
