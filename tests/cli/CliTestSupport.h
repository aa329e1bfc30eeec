#pragma once
// Helpers shared by the command-line tests: a scratch folder, file reading and an
// in-process invocation of the command line.

#include <filesystem>
#include <string>
#include <vector>

struct TCliResult {
  int Code = 0;
  std::string Out, Err;
};

// Runs zelworld-cli in-process with Args (the program name is added).
TCliResult RunCli(std::vector<std::string> Args, bool ErrIsTerminal = false);

std::string ReadFile(const std::filesystem::path& Path);
void WriteFile(const std::filesystem::path& Path, const std::string& Text);

// A fresh folder for one test, removed afterwards.
class TScratchDir {
public:
  TScratchDir();
  ~TScratchDir();
  std::string operator/(const std::string& Name) const { return (Path / Name).string(); }
  std::filesystem::path Path;
};
