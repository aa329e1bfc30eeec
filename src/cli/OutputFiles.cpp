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
  TReportFile::CheckWritable(Settings.Report);
  if (!Settings.BestList.empty()) BestList.emplace(Settings.BestList);
  if (!Settings.Series.empty()) Series.emplace(Settings.Series);
  // The metadata and the frozen population are written after the run, as whole files; a
  // path that cannot take them fails now, before any work.
  for (const std::string* name : {&Settings.Files.Given.Metadata, &Settings.Files.Given.SavePopulation})
    if (!name->empty()) TWholeFileOutput check(*name);
}

void TRunOutputs::Commit(const TBestList& List, const TSeries& Points) {
  if (BestList) BestList->Commit(List.Text());
  if (Series) Series->Commit(Points.Csv());
}

} // namespace ZelCli
