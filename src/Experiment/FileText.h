#pragma once
// Whole files read and written at once, the error of a file that cannot be used (it names
// the file, the place in it and what is wrong there), and the files that a process ended by
// a signal must not leave behind.

#include <chrono>
#include <cstddef>
#include <stdexcept>
#include <string>

class TFileError : public std::runtime_error {
public:
  // Place: a JSON pointer such as /agents/3/chromosome, or "at line 3, column 7"; empty
  // when the document or the file as a whole is at fault.
  TFileError(const std::string& Kind, const std::string& FileName, const std::string& Place,
             const std::string& What);
  const std::string FileName, Place;
};

// What an input file is, for its messages, and the most it may hold: enough for the largest
// file of its kind written by hand with lavish spacing, far below what would strain the
// memory once parsed.
struct TInputKind {
  const char* Name;
  std::size_t Limit;
};
inline constexpr std::size_t KiB = 1024;
inline constexpr std::size_t MiB = 1024 * KiB;
// Settings, a seed, an environment of 2048 degrees and a run's record.
inline constexpr TInputKind ExperimentInput{"experiment file", 256 * KiB};
// 2048 degrees.
inline constexpr TInputKind EnvironmentInput{"environment file", 256 * KiB};
// 1000 agents of 32 blocks (about 830 bytes each as written) and their environment.
inline constexpr TInputKind PopulationInput{"population file", 4 * MiB};
// Hundreds of thousands of runs, about 100 bytes a line.
inline constexpr TInputKind SweepPlanInput{"sweep plan", 64 * MiB};
// One run's 1001 generations.
inline constexpr TInputKind SweepResultInput{"sweep result", 4 * MiB};
// Any other table of a sweep (an aggregate).
inline constexpr TInputKind SweepTableInput{"file", 64 * MiB};

// The file's bytes. Only a regular file or a pipe is read (a FIFO, or `<(...)` of a shell):
// a folder or a device is refused without being opened, a regular file larger than the
// kind's limit before it is read, a pipe as soon as it sends more. A pipe that sends nothing
// for PipeWait() (no program writes to it, or the program stalls) is given up. Every failure
// raises TFileError naming Kind and the file; running out of memory raises std::bad_alloc.
std::string ReadWholeFile(const TInputKind& Kind, const std::string& FileName);
// How long a pipe may stay silent: 5 s.
std::chrono::milliseconds PipeWait();
// For tests: every kind's limit replaced by Bytes, and the wait of a pipe by Wait; zero
// brings back the usual ones.
void SetInputLimitForTests(std::size_t Bytes);
void SetPipeWaitForTests(std::chrono::milliseconds Wait);
// "256 KiB", "4 MiB", "100 bytes".
std::string ByteSizeText(std::size_t Bytes);

// A file to remove should a signal end the process (RemoveLeftoversOnSignals): a temporary
// file, or a file created empty to hold an output's name, which is removed only while it is
// still empty (and, once identified, still that file). A file is watched before it is
// created, so that no signal finds it made and not yet watched. Watching ends with Forget
// or the object's end.
class TLeftoverFile {
public:
  TLeftoverFile() = default;
  ~TLeftoverFile() { Forget(); }
  TLeftoverFile(TLeftoverFile&& Other) noexcept;
  TLeftoverFile& operator=(TLeftoverFile&& Other) noexcept;
  TLeftoverFile(const TLeftoverFile&) = delete;
  TLeftoverFile& operator=(const TLeftoverFile&) = delete;
  void Watch(const std::string& Path);
  void WatchWhileEmpty(const std::string& Path);
  // The file watched while empty is the one open as File.
  void Identify(int File);
  void Forget();

private:
  int Slot = -1;
};
// On SIGINT, SIGTERM, SIGHUP, SIGQUIT and SIGPIPE: the watched files are removed, then the
// signal ends the process as it would have. A signal that is ignored (nohup) stays ignored.
void RemoveLeftoversOnSignals();
// What the handler does, without a signal (for tests).
void RemoveLeftoversNow();

// A file replaced as a whole. The text goes to a temporary file in the same folder, which
// takes the file's name only once it is complete, so a failure at any point leaves an
// older file as it was. A FIFO, a terminal or a device is written directly instead, since
// renaming over it would replace it.
//
// An existing file is held from the start with the advisory lock that a report takes while
// it is written, so that two ZELWorld processes never write one file: a file that another
// holds is refused at once ("another process is writing it"), and a file that another took
// meanwhile is not renamed over.
class TWholeFileOutput {
public:
  // Creates the temporary file at once; a path that cannot be written raises
  // std::runtime_error naming it. With Sync the text is on the disk before it takes the
  // file's name; without, a crash of the system (not of the program) may leave it empty.
  // With Claim a missing file is created empty at once and held too, until Commit replaces it
  // (or the output is dropped, which removes it again while it is empty).
  explicit TWholeFileOutput(const std::string& FileName, bool Sync = true, bool Claim = false);
  // Removes the temporary file unless Commit has put it in place.
  ~TWholeFileOutput();
  TWholeFileOutput(const TWholeFileOutput&) = delete;
  TWholeFileOutput& operator=(const TWholeFileOutput&) = delete;
  void Commit(const std::string& Text);

private:
  [[noreturn]] void Fail(const char* What, int Error);
  [[noreturn]] void Busy();
  void Hold();
  void Claim();
  void Discard();
  std::string Name;
  // Where the file goes; a symbolic link is followed, so that the link stays.
  std::string Target;
  std::string Temporary;
  int File = -1;
  // The descriptor that holds the lock on the target, or -1; Claimed when this output
  // created the target empty.
  int Lock = -1;
  bool Claimed = false;
  TLeftoverFile TemporaryLeftover, ClaimLeftover;
  bool Sync = true;
};

// Replaces the file by Text as a whole (TWholeFileOutput). Every whole-file output goes
// through here; a failure raises std::runtime_error naming the file.
void WriteWholeFile(const std::string& FileName, const std::string& Text);
