#include "cli/OutputFiles.h"

#include "Experiment/ReportFormat.h"
#include "cli/CommandLine.h"
#include "cli/FileOptions.h"
#include "cli/Output.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace ZelCli {

namespace {

std::filesystem::path Resolved(const std::string& Path) {
  std::error_code ec;
  auto key = std::filesystem::weakly_canonical(std::filesystem::absolute(Path, ec), ec);
  return ec ? std::filesystem::path(Path).lexically_normal() : key;
}

[[noreturn]] void OutFailed(int Error) {
  throw std::runtime_error(std::string("cannot write standard output: ") +
                           (Error != 0 ? std::strerror(Error) : "write error"));
}

} // namespace

bool SameFile(const std::string& A, const std::string& B) {
  if (Resolved(A) == Resolved(B)) return true;
  std::error_code ec;
  return std::filesystem::equivalent(A, B, ec) && !ec;
}

void WriteOut(std::ostream& Out, const std::string& Text) {
  CheckOut(Out);
  errno = 0;
  Out << Text << std::flush;
  if (!Out) OutFailed(errno);
}

void CheckOut(std::ostream& Out) {
  if (Out) {
    errno = 0;
    Out.flush();
  }
  if (!Out) OutFailed(errno);
}

TRunOutputs::TRunOutputs(const TRunSettings& Settings) {
  Report.emplace(TReportFile::Claim(Settings.Report));
  const auto hold = [](std::optional<TWholeFileOutput>& Output, const std::string& Name) {
    if (!Name.empty()) Output.emplace(Name, true, true);
  };
  hold(BestList, Settings.BestList);
  hold(Series, Settings.Series);
  hold(Metadata, Settings.Files.Given.Metadata);
  hold(Population, Settings.Files.Given.SavePopulation);
}

TReportFile TRunOutputs::TakeReport() {
  TReportFile report(std::move(*Report));
  Report.reset();
  return report;
}

void TRunOutputs::CommitPopulation(const std::string& Text) {
  if (Population) Population->Commit(Text);
}

void TRunOutputs::Commit(const TBestList& List, const TSeries& Points) {
  if (BestList) BestList->Commit(List.Text());
  if (Series) Series->Commit(Points.Csv());
}

void TRunOutputs::CommitMetadata(const std::string& Text) {
  if (Metadata) Metadata->Commit(Text);
}

} // namespace ZelCli
