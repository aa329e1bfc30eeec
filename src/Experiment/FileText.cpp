#include "Experiment/FileText.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

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
  std::FILE* file = std::fopen(FileName.c_str(), "rb");
  if (!file) throw TFileError(Kind, FileName, "", std::string("cannot be opened: ") + std::strerror(errno));
  std::string text;
  char buffer[65536];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
    text.append(buffer, got);
  const bool failed = std::ferror(file) != 0;
  const int saved = errno;
  std::fclose(file);
  if (failed) throw TFileError(Kind, FileName, "", std::string("cannot be read: ") + std::strerror(saved));
  return text;
}

void WriteWholeFile(const std::string& FileName, const std::string& Text) {
  auto fail = [&](const char* What) {
    throw std::runtime_error(std::string(What) + " '" + FileName + "': " + std::strerror(errno));
  };
  // Binary mode keeps the line ends as they are.
  std::FILE* file = std::fopen(FileName.c_str(), "wb");
  if (!file) fail("Cannot create file");
  const bool written = std::fwrite(Text.data(), 1, Text.size(), file) == Text.size();
  const int saved = errno;
  if (std::fclose(file) != 0 || !written) {
    if (!written) errno = saved;
    fail("Cannot write file");
  }
}
