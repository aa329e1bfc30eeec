#pragma once
// Shared by the command-line tests: zelworld-cli in-process and as the real binary, and
// scratch folders.

#include "cli/Commands.h"

#include "../ScratchDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <vector>

// Runs Command through the shell; its exit status, or -1 when it did not exit.
int ShellStatus(const std::string& Command);

// Starts the real binary in a child limited to Limit processes of its user (root is exempt
// from the limit, so a root test runs the child as nobody), its standard output and error in
// the files out and err of Dir, and waits at most a minute. Returns the exit status, or -1
// when the child had to be killed.
int RunLimited(const TScratchDir& Dir, unsigned long Limit, const std::vector<std::string>& Args);

struct TCliResult {
  int Code = 0;
  std::string Out, Err;
};

// Runs zelworld-cli in-process on the given streams; the arguments are separated by spaces.
inline int RunCli(const std::string& Args, std::ostream& Out, std::ostream& Err) {
  std::vector<std::string> words = {"zelworld-cli"};
  std::istringstream in(Args);
  for (std::string word; in >> word;)
    words.push_back(word);
  std::vector<const char*> argv;
  for (const std::string& word : words)
    argv.push_back(word.c_str());
  return ZelCli::Main(static_cast<int>(argv.size()), argv.data(), {Out, Err, false});
}

inline TCliResult RunCli(const std::string& Args) {
  std::ostringstream out, err;
  const int code = RunCli(Args, out, err);
  return {code, out.str(), err.str()};
}

// Runs the real binary through the shell; Redirect is appended to the command line, and
// without one standard output and error go to files in Dir.
inline TCliResult RunBinary(const TScratchDir& Dir, const std::string& Args,
                            const std::string& Redirect = "") {
  const std::string streams = Redirect.empty() ? " >'" + (Dir / "out") + "'" : " " + Redirect;
  const std::string command =
      std::string("'") + ZELWORLD_CLI + "' " + Args + streams + " 2>'" + (Dir / "err") + "'";
  std::filesystem::remove(Dir / "out");
  return TCliResult{ShellStatus(command), ReadFile(Dir / "out"), ReadFile(Dir / "err")};
}
