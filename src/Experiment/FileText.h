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
// Replaces the file by Text. Every whole-file output goes through here; a failure raises
// std::runtime_error naming the file.
void WriteWholeFile(const std::string& FileName, const std::string& Text);
