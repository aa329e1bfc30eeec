#pragma once
// Running zelworld-cli in-process, and the files a test works with.

#include "cli/Commands.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <stdlib.h>

namespace CliTest {
struct TCliResult {
  int Code = 0;
  std::string Out, Err;
};

// Runs zelworld-cli in-process; the arguments are separated by spaces.
inline TCliResult RunCli(const std::string& Args) {
  std::vector<std::string> words = {"zelworld-cli"};
  std::istringstream in(Args);
  for (std::string word; in >> word;)
    words.push_back(word);
  std::vector<const char*> argv;
  for (const std::string& word : words)
    argv.push_back(word.c_str());
  std::ostringstream out, err;
  const int code = ZelCli::Main(static_cast<int>(argv.size()), argv.data(), {out, err, false});
  return {code, out.str(), err.str()};
}

inline std::string ReadFile(const std::filesystem::path& Path) {
  std::ostringstream text;
  text << std::ifstream(Path, std::ios::binary).rdbuf();
  return text.str();
}

// A fresh folder for one test, removed afterwards.
struct TScratchDir {
  TScratchDir() : Path((std::filesystem::temp_directory_path() / "zelcli-XXXXXX").string()) {
    if (!mkdtemp(Path.data())) throw std::runtime_error("cannot create " + Path);
  }
  ~TScratchDir() { std::filesystem::remove_all(Path, Error); }
  std::string operator/(const std::string& Name) const { return Path + "/" + Name; }
  std::string Path;
  std::error_code Error;
};

} // namespace CliTest
