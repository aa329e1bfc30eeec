#include "Experiment/FileText.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <stdexcept>
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

std::string ReadWholeFile(const std::string& Kind, const std::string& FileName) {
  // A device such as /dev/zero would never end, a folder has no text: only files and pipes
  // are read, and no more than any file of ours can hold.
  constexpr std::size_t Limit = std::size_t{256} << 20;
  struct stat status {};
  if (stat(FileName.c_str(), &status) == 0 && !S_ISREG(status.st_mode) && !S_ISFIFO(status.st_mode))
    throw TFileError(Kind, FileName, "", S_ISDIR(status.st_mode) ? "is a folder" : "is not a file");
  std::FILE* file = std::fopen(FileName.c_str(), "rb");
  if (!file) throw TFileError(Kind, FileName, "", std::string("cannot be opened: ") + std::strerror(errno));
  std::string text;
  char buffer[65536];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
    text.append(buffer, got);
    if (text.size() > Limit) {
      std::fclose(file);
      throw TFileError(Kind, FileName, "", "is larger than 256 MiB");
    }
  }
  const bool failed = std::ferror(file) != 0;
  const int saved = errno;
  std::fclose(file);
  if (failed) throw TFileError(Kind, FileName, "", std::string("cannot be read: ") + std::strerror(saved));
  return text;
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

} // namespace

TWholeFileOutput::TWholeFileOutput(const std::string& FileName, bool SyncFirst)
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
  } else {
    // A link to a file not yet written has no canonical path; it is followed by hand.
    for (int hops = 0; hops < 40 && lstat(Target.c_str(), &status) == 0 && S_ISLNK(status.st_mode); ++hops) {
      std::error_code ec;
      const std::filesystem::path link = std::filesystem::read_symlink(Target, ec);
      if (ec) break;
      Target = (link.is_absolute() ? link : std::filesystem::path(Target).parent_path() / link).string();
    }
  }
  // Hidden, beside the target, so that the rename stays within one file system.
  const std::filesystem::path target(Target);
  std::string hidden = target.filename().string();
  hidden.insert(0, 1, '.');
  hidden.append(".XXXXXX");
  Temporary = (target.parent_path() / hidden).string();
  File = mkostemp(Temporary.data(), O_CLOEXEC);
  if (File < 0) {
    const int error = errno;
    Temporary.clear();
    Fail("Cannot create file", error);
  }
}

TWholeFileOutput::~TWholeFileOutput() {
  Discard();
}

void TWholeFileOutput::Discard() {
  if (File >= 0) close(File);
  File = -1;
  if (!Temporary.empty()) unlink(Temporary.c_str());
  Temporary.clear();
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
  if (rename(Temporary.c_str(), Target.c_str()) != 0) Fail("Cannot write file", errno);
  Temporary.clear();
}

void TWholeFileOutput::Fail(const char* What, int Error) {
  Discard();
  throw std::runtime_error(std::string(What) + " '" + Name + "': " + std::strerror(Error));
}

void WriteWholeFile(const std::string& FileName, const std::string& Text) {
  TWholeFileOutput(FileName).Commit(Text);
}
