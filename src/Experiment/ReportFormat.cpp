#include "Experiment/ReportFormat.h"

#include "ZEL/SignalsHeld.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

std::string FormatInt(long long Value, int Width) {
  std::string s = std::to_string(Value);
  if (static_cast<int>(s.size()) < Width) s.insert(0, static_cast<std::size_t>(Width) - s.size(), ' ');
  return s;
}

std::string FormatReal(double Value, int Width, int Decimals) {
  std::string body;
  if (!std::isfinite(Value)) {
    body = std::isnan(Value) ? "NAN" : (Value < 0 ? "-INF" : "INF");
  } else {
    // 18 significant digits, correctly rounded, ties to even: d.ddddddddddddddddde±x
    char buf[40];
    char* const end =
        std::to_chars(buf, buf + sizeof buf, std::fabs(Value), std::chars_format::scientific, 17).ptr;
    std::uint64_t digits = 0;
    const char* p = buf;
    for (; p != end && *p != 'e'; ++p)
      if (*p != '.') digits = digits * 10 + static_cast<std::uint64_t>(*p - '0');
    int exponent = 0;
    std::from_chars(p + (p[1] == '+' ? 2 : 1), end, exponent);
    // |Value| = digits * 10^(exponent - 17); scale by 10^Decimals and round half away from zero.
    const int shift = exponent - 17 + Decimals;
    std::string scaled;
    if (shift >= 0) {
      scaled = std::to_string(digits) + std::string(static_cast<std::size_t>(shift), '0');
    } else if (shift >= -19) {
      std::uint64_t div = 1;
      for (int i = 0; i < -shift; ++i)
        div *= 10;
      std::uint64_t q = digits / div;
      const std::uint64_t rem = digits % div;
      if (rem >= div - rem) ++q;
      scaled = std::to_string(q);
    } else {
      scaled = "0";
    }
    if (scaled.size() < static_cast<std::size_t>(Decimals) + 1)
      scaled.insert(0, static_cast<std::size_t>(Decimals) + 1 - scaled.size(), '0');
    if (Decimals > 0) {
      const std::size_t point = scaled.size() - static_cast<std::size_t>(Decimals);
      scaled = scaled.substr(0, point) + '.' + scaled.substr(point);
    }
    const bool zero = scaled.find_first_not_of("0.") == std::string::npos;
    body = std::move(scaled);
    if (Value < 0 && !zero) body.insert(body.begin(), '-');
  }
  if (static_cast<int>(body.size()) < Width)
    body.insert(0, static_cast<std::size_t>(Width) - body.size(), ' ');
  return body;
}

std::string ShortestReal(double Value) {
  std::array<char, 32> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), Value);
  return std::string(buffer.data(), result.ptr);
}

double ProbabilityInRange(double P, double Fallback) {
  return (P >= 0.0 && P <= 1.0) ? P : Fallback;
}

namespace {
[[noreturn]] void ReportError(const char* What, const std::string& Name, int Error,
                              const char* Reason = nullptr) {
  throw std::runtime_error(std::string(What) + " '" + Name + "': " +
                           (Reason  ? Reason
                            : Error ? std::strerror(Error)
                                    : "I/O error"));
}

// The lock marks a report being written; it goes with the descriptor when that is closed.
// A file system that has no locks is written without one.
void LockOrRefuse(int File, const std::string& Name) {
  if (flock(File, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK) return;
  close(File);
  ReportError("Cannot write report file", Name, 0, "another process is writing it");
}
} // namespace

TReportFile::TReportFile(const std::string& FileName) : Name(FileName) {
  Open();
}

TReportFile::TReportFile(const std::string& FileName, TDeferred) : Name(FileName), Deferred(true) {}

TReportFile TReportFile::Claim(const std::string& FileName) {
  struct stat status {};
  if (stat(FileName.c_str(), &status) != 0 || S_ISREG(status.st_mode)) return TReportFile(FileName);
  if (S_ISDIR(status.st_mode)) ReportError("Cannot create report file", FileName, EISDIR);
  if (access(FileName.c_str(), W_OK) != 0) ReportError("Cannot create report file", FileName, errno);
  return TReportFile(FileName, TDeferred{});
}

TReportFile::TReportFile(TReportFile&& Other) noexcept
    : Name(std::move(Other.Name)), File(Other.File), Deferred(Other.Deferred), Regular(Other.Regular),
      Created(Other.Created), Emptied(Other.Emptied), Written(Other.Written),
      Leftover(std::move(Other.Leftover)) {
  Other.File = -1;
  Other.Deferred = false;
}

void TReportFile::Open() {
  Deferred = false;
  // Opened without truncating, so that a report locked by another process keeps its lines.
  // Watched before it is made, so that a signal never leaves it behind empty.
  Leftover.WatchWhileEmpty(Name);
  File = open(Name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  int error = errno;
  Created = File >= 0;
  if (Created) {
    Leftover.Identify(File);
  } else {
    Leftover.Forget();
    if (error == EEXIST) File = open(Name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    error = errno;
  }
  if (File < 0) Fail("Cannot create report file", error);
  struct stat status {};
  Regular = fstat(File, &status) == 0 && S_ISREG(status.st_mode);
  if (!Regular) {
    Leftover.Forget();
    return;
  }
  if (flock(File, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
    Release();
    ReportError("Cannot write report file", Name, 0, "another process is writing it");
  }
  // Emptied with its first line (or at its close), so that a run that fails before it writes
  // anything leaves the report it would have replaced as it was. A file made here is empty.
  Emptied = Created;
}

void TReportFile::Release() {
  if (File >= 0) {
    if (Created && Written == 0) {
      // Made by this object and never written: the failed run leaves nothing behind.
      struct stat mine {
      }, now{};
      if (fstat(File, &mine) == 0 && stat(Name.c_str(), &now) == 0 && mine.st_dev == now.st_dev &&
          mine.st_ino == now.st_ino && now.st_size == 0)
        unlink(Name.c_str());
    }
    close(File);
  }
  File = -1;
  Leftover.Forget();
}

void TReportFile::Empty() {
  if (ftruncate(File, 0) != 0) {
    const int error = errno;
    Release();
    Fail("Cannot create report file", error);
  }
  Emptied = true;
}

TReportFile::~TReportFile() {
  Release();
}

void TReportFile::CheckWritable(const std::string& FileName) {
  struct stat status {};
  if (stat(FileName.c_str(), &status) != 0) {
    if (errno != ENOENT) ReportError("Cannot create report file", FileName, errno);
    const int file = open(FileName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (file < 0) ReportError("Cannot create report file", FileName, errno);
    close(file);
    unlink(FileName.c_str());
    return;
  }
  if (S_ISDIR(status.st_mode)) ReportError("Cannot create report file", FileName, EISDIR);
  // Opening a FIFO would wait for a reader, and the reader would see the file end.
  if (!S_ISREG(status.st_mode)) {
    if (access(FileName.c_str(), W_OK) != 0) ReportError("Cannot create report file", FileName, errno);
    return;
  }
  const int file = open(FileName.c_str(), O_WRONLY | O_CLOEXEC);
  if (file < 0) ReportError("Cannot create report file", FileName, errno);
  LockOrRefuse(file, FileName);
  close(file);
}

void TReportFile::WriteLine(const std::string& Line) {
  Write(Line + "\r\n");
}

void TReportFile::WriteLines(const std::vector<std::string>& Lines) {
  if (Lines.empty()) return;
  std::string text;
  for (const std::string& line : Lines)
    text.append(line).append("\r\n");
  Write(text);
}

void TReportFile::Write(const std::string& Text) {
  if (Deferred) Open();
  if (File < 0) Fail("Cannot write report file", EBADF);
  if (Emptied) {
    Put(Text);
    return;
  }
  // The first lines replace what the file held: the file is cut to their length, not to
  // nothing, and they are written over its start. Some file systems (ext4) write a file cut
  // to nothing back to the disk when it is closed, a tenth of a millisecond or more at every
  // run; a cut to any other length is left to the system's own time. No signal taken on this
  // thread comes between the cut and the lines (and the engine's worker threads leave the
  // signals that end a process to the threads that were there before them).
  const TSignalsHeld held(TSignalsHeld::TWhich::All);
  if (ftruncate(File, static_cast<off_t>(Text.size())) != 0) {
    const int error = errno;
    Release();
    Fail("Cannot create report file", error);
  }
  Emptied = true;
  Put(Text);
}

void TReportFile::Put(const std::string& Out) {
  std::size_t done = 0;
  while (done < Out.size()) {
    const ssize_t n = write(File, Out.data() + done, Out.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int error = n < 0 ? errno : EIO;
      // Take the cut line back, so the file ends with the last complete one (a first write that
      // failed takes back the cut made for it too).
      const bool whole = !Regular || ftruncate(File, static_cast<off_t>(Written)) == 0;
      Release();
      Fail(whole ? "Cannot write report file" : "Cannot write report file (its last line is cut)", error);
    }
    done += static_cast<std::size_t>(n);
  }
  Written += static_cast<long long>(Out.size());
  // Written to, the report stays whatever happens.
  Leftover.Forget();
}

void TReportFile::Close() {
  if (Deferred) Open();
  if (File < 0) return;
  if (!Emptied) Empty();
  // A report closed whole stays, even without a line.
  Created = false;
  Leftover.Forget();
  const int rc = close(File);
  const int error = errno;
  File = -1;
  if (rc != 0) Fail("Cannot close report file", error);
}

void TReportFile::Fail(const char* What, int Error) {
  ReportError(What, Name, Error);
}
