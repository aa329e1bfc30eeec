#pragma once
// The files and the standard output that zelworld-cli writes. Every output is checked and
// opened before any work starts, so a bad path fails at once and touches nothing; files
// written as a whole replace the older file only once they are complete.

#include "Experiment/FileText.h"
#include "Experiment/ReportFormat.h"
#include "Experiment/RunObservers.h"

#include <optional>
#include <ostream>
#include <string>

namespace ZelCli {

struct TRunSettings;

// True when the two names lead to one file: equal after resolving links and "..", or, for
// files that exist, one file under two names (a hard link, a bind mount).
bool SameFile(const std::string& A, const std::string& B);

// Writes Text to the standard output and flushes it; a failure raises std::runtime_error
// "cannot write standard output: <reason>".
void WriteOut(std::ostream& Out, const std::string& Text);
// Raises the same error when an earlier write to Out failed.
void CheckOut(std::ostream& Out);

// What a run or batch writes, checked and held before it starts: the report can be created
// and is not being written by another process; the best list, the series, the metadata and
// the population to save have their temporary files, and their names are held against other
// ZELWorld processes (an existing file by its lock, a missing one by an empty file that goes
// again if the command fails). Dropped without their commits, they leave the older files as
// they were.
class TRunOutputs {
public:
  explicit TRunOutputs(const TRunSettings& Settings);
  // The report for the run's report writer; taken once.
  TReportFile TakeReport();
  // After the run, in this order: the population, the best list and the series, the record.
  void CommitPopulation(const std::string& Text);
  void Commit(const TBestList& BestList, const TSeries& Series);
  void CommitMetadata(const std::string& Text);
  bool WantsMetadata() const { return Metadata.has_value(); }
  bool WantsBestList() const { return BestList.has_value(); }
  bool WantsSeries() const { return Series.has_value(); }

private:
  std::optional<TReportFile> Report;
  std::optional<TWholeFileOutput> BestList, Series, Metadata, Population;
};

} // namespace ZelCli
