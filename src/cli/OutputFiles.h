#pragma once
// The files and the standard output that zelworld-cli writes. Every output is checked and
// opened before any work starts, so a bad path fails at once and touches nothing; files
// written as a whole replace the older file only once they are complete.

#include "Display/Headless.h"

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

// A file replaced as a whole. The text goes to a temporary file in the same folder, which
// takes the file's name only once it is complete, so a failure at any point leaves an
// older file as it was. A FIFO, a terminal or a device is written directly instead, since
// renaming over it would replace it.
class TWholeFileOutput {
public:
  // Creates the temporary file at once; a path that cannot be written raises
  // std::runtime_error naming it.
  explicit TWholeFileOutput(const std::string& FileName);
  // Removes the temporary file unless Commit has put it in place.
  ~TWholeFileOutput();
  TWholeFileOutput(const TWholeFileOutput&) = delete;
  TWholeFileOutput& operator=(const TWholeFileOutput&) = delete;
  void Commit(const std::string& Text);

private:
  [[noreturn]] void Fail(const char* What, int Error);
  void Discard();
  std::string Name;
  // Where the file goes; a symbolic link is followed, so that the link stays.
  std::string Target;
  std::string Temporary;
  int File = -1;
};

// What a run or batch writes, checked before it starts: the report can be created and is not
// being written by another process; the best list and the series have their temporary files.
class TRunOutputs {
public:
  explicit TRunOutputs(const TRunSettings& Settings);
  // After the run: puts the best list and the series in place.
  void Commit(const TStringList& BestList, const THeadlessChart& Chart);

private:
  std::optional<TWholeFileOutput> BestList, Series;
};

} // namespace ZelCli
