#pragma once
// Whole files read and written at once, and the error of a file that cannot be used: it
// names the file, the place in it and what is wrong there.

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

// The file's bytes; a file that cannot be read raises TFileError naming Kind ("population
// file") and the file.
std::string ReadWholeFile(const std::string& Kind, const std::string& FileName);
// A file replaced as a whole. The text goes to a temporary file in the same folder, which
// takes the file's name only once it is complete, so a failure at any point leaves an
// older file as it was. A FIFO, a terminal or a device is written directly instead, since
// renaming over it would replace it.
class TWholeFileOutput {
public:
  // Creates the temporary file at once; a path that cannot be written raises
  // std::runtime_error naming it. With Sync the text is on the disk before it takes the
  // file's name; without, a crash of the system (not of the program) may leave it empty.
  explicit TWholeFileOutput(const std::string& FileName, bool Sync = true);
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
  bool Sync = true;
};

// Replaces the file by Text as a whole (TWholeFileOutput). Every whole-file output goes
// through here; a failure raises std::runtime_error naming the file.
void WriteWholeFile(const std::string& FileName, const std::string& Text);
