#include "Experiment/FileText.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <stdexcept>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
std::string Describe(const std::string& Kind, const std::string& FileName, const std::string& Place,
                     const std::string& What) {
  std::string text = Kind + " '" + FileName + "'";
  if (!Place.empty()) text += Place[0] == '/' ? ", at " + Place : ", " + Place;
  return text + ": " + What;
}
} // namespace

TFileError::TFileError(const std::string& Kind, const std::string& File, const std::string& P,
                       const std::string& What)
    : std::runtime_error(Describe(Kind, File, P, What)), FileName(File), Place(P) {}

namespace {
std::atomic<std::size_t> LimitForTests{0};
std::atomic<long long> PipeWaitForTests{0};

[[noreturn]] void TooLarge(const TInputKind& Kind, const std::string& FileName, std::size_t Limit,
                           const std::string& What) {
  throw TFileError(Kind.Name, FileName, "", What + " than the limit of " + ByteSizeText(Limit));
}

// Closes the descriptor on every way out.
struct TDescriptor {
  int File = -1;
  ~TDescriptor() {
    if (File >= 0) close(File);
  }
};

std::string Seconds(std::chrono::milliseconds Wait) {
  const long long ms = Wait.count();
  return ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms";
}
} // namespace

std::string ByteSizeText(std::size_t Bytes) {
  if (Bytes >= MiB && Bytes % MiB == 0) return std::to_string(Bytes / MiB) + " MiB";
  if (Bytes >= KiB && Bytes % KiB == 0) return std::to_string(Bytes / KiB) + " KiB";
  return std::to_string(Bytes) + (Bytes == 1 ? " byte" : " bytes");
}

std::chrono::milliseconds PipeWait() {
  const long long wait = PipeWaitForTests.load();
  return std::chrono::milliseconds(wait > 0 ? wait : 5000);
}

void SetInputLimitForTests(std::size_t Bytes) {
  LimitForTests = Bytes;
}

void SetPipeWaitForTests(std::chrono::milliseconds Wait) {
  PipeWaitForTests = Wait.count();
}

std::string ReadWholeFile(const TInputKind& Kind, const std::string& FileName) {
  const std::size_t limit = LimitForTests.load() > 0 ? LimitForTests.load() : Kind.Limit;
  auto fail = [&](const std::string& What) { throw TFileError(Kind.Name, FileName, "", What); };
  // A device such as /dev/zero would never end, and opening one may act on it; a folder has
  // no text. They are refused before they are opened.
  struct stat status {};
  if (stat(FileName.c_str(), &status) != 0) fail(std::string("cannot be opened: ") + std::strerror(errno));
  if (S_ISDIR(status.st_mode)) fail("is a folder");
  if (!S_ISREG(status.st_mode) && !S_ISFIFO(status.st_mode)) fail("is neither a file nor a pipe");
  // Without waiting for a writer: a pipe is watched for a bounded time instead.
  TDescriptor file{open(FileName.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)};
  if (file.File < 0) fail(std::string("cannot be opened: ") + std::strerror(errno));
  // What was opened is what was looked at, not something put in its place meanwhile.
  struct stat opened {};
  if (fstat(file.File, &opened) != 0 || (opened.st_mode & S_IFMT) != (status.st_mode & S_IFMT))
    fail("changed while it was opened");
  const bool pipe = S_ISFIFO(opened.st_mode);
  // Refused from its size, before a byte is read.
  if (!pipe && static_cast<std::uintmax_t>(opened.st_size) > limit)
    TooLarge(Kind, FileName, limit, "is " + std::to_string(opened.st_size) + " bytes, more");

  std::string text;
  if (!pipe) text.reserve(static_cast<std::size_t>(opened.st_size) + 1);
  const auto wait = PipeWait();
  char buffer[65536];
  for (;;) {
    if (pipe) {
      // No writer yet, or one that has stopped writing without closing the pipe.
      pollfd ready{file.File, POLLIN, 0};
      const int n = poll(&ready, 1, static_cast<int>(wait.count()));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) fail(std::string("cannot be read: ") + std::strerror(errno));
      if (n == 0)
        fail(text.empty() ? "is a pipe that nothing was written to in " + Seconds(wait)
                          : "is a pipe whose writer sent nothing more for " + Seconds(wait));
    }
    const ssize_t got = read(file.File, buffer, sizeof buffer);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      fail(std::string("cannot be read: ") + std::strerror(errno));
    }
    text.append(buffer, static_cast<std::size_t>(got));
    if (text.size() > limit)
      TooLarge(Kind, FileName, limit, pipe ? "sends more" : "grew while it was read to more");
  }
  return text;
}

namespace {
// The files to remove on a signal, in slots that a signal handler can read without locks: a
// slot is taken (1) while its path is written, and watched (2) once it is complete. A path
// buffer, once allocated, stays with its slot, so the handler never reads freed memory.
struct TLeftoverSlot {
  std::atomic<int> State{0};
  char* Path = nullptr;
  bool WhileEmpty = false;
  // Set once the file is made; the inode is written last and read first, so a handler that
  // sees it also sees the device.
  std::atomic<std::uint64_t> Device{0}, Inode{0};
};
// Enough for a sweep's workers (at most 1024) and a command's outputs.
constexpr int LeftoverSlots = 2048;
constexpr std::size_t LeftoverPathSize = 4096;
TLeftoverSlot Leftovers[LeftoverSlots];

int WatchLeftover(const std::string& Path, bool WhileEmpty) {
  if (Path.size() >= LeftoverPathSize) return -1;
  for (int i = 0; i < LeftoverSlots; ++i) {
    TLeftoverSlot& slot = Leftovers[i];
    int free = 0;
    if (!slot.State.compare_exchange_strong(free, 1)) continue;
    if (slot.Path == nullptr) slot.Path = static_cast<char*>(std::malloc(LeftoverPathSize));
    if (slot.Path == nullptr) {
      slot.State = 0;
      return -1;
    }
    std::memcpy(slot.Path, Path.c_str(), Path.size() + 1);
    slot.WhileEmpty = WhileEmpty;
    slot.Inode = 0;
    slot.Device = 0;
    slot.State.store(2, std::memory_order_release);
    return i;
  }
  return -1;
}

extern "C" void RemoveLeftoversAndEnd(int Signal) {
  RemoveLeftoversNow();
  // The handler was installed to be reset on entry and not to block its own signal: raised
  // again, the signal now does what it would have done.
  raise(Signal);
}
} // namespace

void RemoveLeftoversNow() {
  for (TLeftoverSlot& slot : Leftovers) {
    if (slot.State.load(std::memory_order_acquire) != 2) continue;
    if (slot.WhileEmpty) {
      const std::uint64_t inode = slot.Inode.load(std::memory_order_acquire);
      struct stat now {};
      // Only an empty regular file can be one this process made: a FIFO or a device found
      // where a report was being created is the reader's, and stays.
      if (stat(slot.Path, &now) != 0 || !S_ISREG(now.st_mode) || now.st_size != 0) continue;
      if (inode != 0 && (now.st_ino != inode || now.st_dev != slot.Device.load(std::memory_order_relaxed)))
        continue;
    }
    unlink(slot.Path);
  }
}

void RemoveLeftoversOnSignals() {
  for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) {
    struct sigaction before {};
    if (sigaction(signal, nullptr, &before) != 0 || before.sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    action.sa_handler = RemoveLeftoversAndEnd;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND | SA_NODEFER;
    sigaction(signal, &action, nullptr);
  }
}

TLeftoverFile::TLeftoverFile(TLeftoverFile&& Other) noexcept : Slot(Other.Slot) {
  Other.Slot = -1;
}

TLeftoverFile& TLeftoverFile::operator=(TLeftoverFile&& Other) noexcept {
  if (this != &Other) {
    Forget();
    Slot = Other.Slot;
    Other.Slot = -1;
  }
  return *this;
}

void TLeftoverFile::Watch(const std::string& Path) {
  Forget();
  Slot = WatchLeftover(Path, false);
}

void TLeftoverFile::WatchWhileEmpty(const std::string& Path) {
  Forget();
  Slot = WatchLeftover(Path, true);
}

void TLeftoverFile::Identify(int File) {
  struct stat status {};
  if (Slot < 0 || fstat(File, &status) != 0) return;
  Leftovers[Slot].Device.store(status.st_dev, std::memory_order_relaxed);
  Leftovers[Slot].Inode.store(status.st_ino, std::memory_order_release);
}

void TLeftoverFile::Forget() {
  if (Slot >= 0) Leftovers[Slot].State.store(0, std::memory_order_release);
  Slot = -1;
}

namespace {
bool WriteAll(int File, const std::string& Text) {
  std::size_t done = 0;
  while (done < Text.size()) {
    const ssize_t n = write(File, Text.data() + done, Text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// /dev/stdout and its kin name a descriptor that this process already has open.
int InheritedDescriptor(const std::string& Name) {
  if (Name == "/dev/stdout") return 1;
  if (Name == "/dev/stderr") return 2;
  for (const std::string prefix : {"/dev/fd/", "/proc/self/fd/"}) {
    if (Name.rfind(prefix, 0) != 0 || Name.size() == prefix.size() || Name.size() > prefix.size() + 6)
      continue;
    if (Name.find_first_not_of("0123456789", prefix.size()) != std::string::npos) continue;
    return std::stoi(Name.substr(prefix.size()));
  }
  return -1;
}

// Six letters or digits that no other process is likely to choose at the same moment.
std::string RandomSuffix() {
  static std::atomic<std::uint64_t> counter{0};
  std::uint64_t x = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                    (static_cast<std::uint64_t>(getpid()) << 40) ^
                    (counter.fetch_add(1) * 0x9E3779B97F4A7C15ULL);
  // A mixing step, so that neighbouring inputs give unrelated names.
  x ^= x >> 33;
  x *= 0xFF51AFD7ED558CCDULL;
  x ^= x >> 33;
  static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::string suffix;
  for (int i = 0; i < 6; ++i, x /= 62)
    suffix += letters[x % 62];
  return suffix;
}

// A descriptor of Path that holds its lock, -1 where no lock can be had (a file that cannot
// be opened, a file system without locks), or -2 when another process holds it.
int HoldFile(const std::string& Path) {
  int file = open(Path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (file < 0) file = open(Path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (file < 0) return -1;
  if (flock(file, LOCK_EX | LOCK_NB) == 0) return file;
  const bool busy = errno == EWOULDBLOCK;
  close(file);
  return busy ? -2 : -1;
}

// True when Path and the open File are one file, still empty.
bool StillEmpty(const std::string& Path, int File) {
  struct stat mine {
  }, now{};
  return fstat(File, &mine) == 0 && stat(Path.c_str(), &now) == 0 && mine.st_dev == now.st_dev &&
         mine.st_ino == now.st_ino && now.st_size == 0;
}

} // namespace

TWholeFileOutput::TWholeFileOutput(const std::string& FileName, bool SyncFirst, bool ClaimMissing)
    : Name(FileName), Target(FileName), Sync(SyncFirst) {
  struct stat status {};
  if (stat(FileName.c_str(), &status) == 0) {
    if (S_ISDIR(status.st_mode)) Fail("Cannot create file", EISDIR);
    // /dev/stdout may stand for a regular file that the shell opened: it is written
    // through, as a FIFO or a device is, never renamed over.
    if (!S_ISREG(status.st_mode) || InheritedDescriptor(FileName) >= 0) {
      if (access(FileName.c_str(), W_OK) != 0) Fail("Cannot create file", errno);
      return;
    }
    std::error_code ec;
    const auto real = std::filesystem::canonical(FileName, ec);
    if (!ec) Target = real.string();
    Hold();
  } else {
    // A link to a file not yet written has no canonical path; it is followed by hand.
    for (int hops = 0; hops < 40 && lstat(Target.c_str(), &status) == 0 && S_ISLNK(status.st_mode); ++hops) {
      std::error_code ec;
      const std::filesystem::path link = std::filesystem::read_symlink(Target, ec);
      if (ec) break;
      Target = (link.is_absolute() ? link : std::filesystem::path(Target).parent_path() / link).string();
    }
    if (ClaimMissing) Claim();
  }
  // Hidden, beside the target, so that the rename stays within one file system.
  const std::filesystem::path target(Target);
  std::string hidden = target.filename().string();
  hidden.insert(0, 1, '.');
  hidden.push_back('.');
  const std::string base = (target.parent_path() / hidden).string();
  for (int attempt = 0; File < 0; ++attempt) {
    Temporary = base;
    Temporary += RandomSuffix();
    TemporaryLeftover.Watch(Temporary);
    File = open(Temporary.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (File >= 0) break;
    const int error = errno;
    TemporaryLeftover.Forget();
    if (error != EEXIST || attempt == 100) {
      Temporary.clear();
      Fail("Cannot create file", error);
    }
  }
}

void TWholeFileOutput::Hold() {
  Lock = HoldFile(Target);
  if (Lock == -2) {
    Lock = -1;
    Busy();
  }
}

void TWholeFileOutput::Claim() {
  ClaimLeftover.WatchWhileEmpty(Target);
  const int file = open(Target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (file < 0) {
    const int error = errno;
    ClaimLeftover.Forget();
    // Made meanwhile by another: held like any existing file.
    if (error == EEXIST) return Hold();
    Fail("Cannot create file", error);
  }
  Lock = file;
  Claimed = true;
  ClaimLeftover.Identify(Lock);
  if (flock(Lock, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) Busy();
}

TWholeFileOutput::~TWholeFileOutput() {
  Discard();
}

void TWholeFileOutput::Discard() {
  if (File >= 0) close(File);
  File = -1;
  if (!Temporary.empty()) unlink(Temporary.c_str());
  Temporary.clear();
  TemporaryLeftover.Forget();
  if (Lock >= 0) {
    // The file made to hold the name goes again, unless someone has written to it since.
    if (Claimed && StillEmpty(Target, Lock)) unlink(Target.c_str());
    close(Lock);
  }
  Lock = -1;
  Claimed = false;
  ClaimLeftover.Forget();
}

void TWholeFileOutput::Commit(const std::string& Text) {
  if (Temporary.empty()) {
    // Through the descriptor itself, so that its offset moves past the text.
    const int inherited = InheritedDescriptor(Target);
    if (inherited >= 0) {
      if (!WriteAll(inherited, Text)) Fail("Cannot write file", errno);
      return;
    }
    const int file = open(Target.c_str(), O_WRONLY | O_CLOEXEC);
    if (file < 0) Fail("Cannot write file", errno);
    const bool written = WriteAll(file, Text);
    const int error = errno;
    if (close(file) != 0 || !written) Fail("Cannot write file", written ? errno : error);
    return;
  }
  // The new file gets the permissions of the one it replaces, or those of a newly created file.
  struct stat status {};
  mode_t mode = 0;
  if (stat(Target.c_str(), &status) == 0) {
    mode = status.st_mode & 07777;
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }
  if (!WriteAll(File, Text) || fchmod(File, mode) != 0 || (Sync && fsync(File) != 0))
    Fail("Cannot write file", errno);
  const int file = File;
  File = -1;
  if (close(file) != 0) Fail("Cannot write file", errno);
  // A file that appeared since the start and that another process is writing stays its own.
  if (Lock < 0 && S_ISREG(status.st_mode)) {
    const int held = HoldFile(Target);
    if (held == -2) Busy();
    Lock = held;
  }
  if (rename(Temporary.c_str(), Target.c_str()) != 0) Fail("Cannot write file", errno);
  Temporary.clear();
  TemporaryLeftover.Forget();
  // The lock goes with the file that was replaced.
  ClaimLeftover.Forget();
  Claimed = false;
  if (Lock >= 0) close(Lock);
  Lock = -1;
}

void TWholeFileOutput::Fail(const char* What, int Error) {
  Discard();
  throw std::runtime_error(std::string(What) + " '" + Name + "': " + std::strerror(Error));
}

void TWholeFileOutput::Busy() {
  Discard();
  throw std::runtime_error("Cannot write file '" + Name + "': another process is writing it");
}

void WriteWholeFile(const std::string& FileName, const std::string& Text) {
  TWholeFileOutput(FileName).Commit(Text);
}
