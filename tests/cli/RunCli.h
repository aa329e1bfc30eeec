#pragma once
// zelworld-cli run in-process, for the tests of its commands.

#include "cli/Commands.h"

#include <sstream>
#include <string>
#include <vector>

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
