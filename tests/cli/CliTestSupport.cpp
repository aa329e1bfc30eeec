#include "CliTestSupport.h"

#include "cli/Commands.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <unistd.h>

TCliResult RunCli(std::vector<std::string> Args, bool ErrIsTerminal) {
  Args.insert(Args.begin(), "zelworld-cli");
  std::vector<const char*> argv;
  for (const std::string& a : Args)
    argv.push_back(a.c_str());
  std::ostringstream out, err;
  TCliResult r;
  r.Code = ZelCli::Main(static_cast<int>(argv.size()), argv.data(), {out, err, ErrIsTerminal});
  r.Out = out.str();
  r.Err = err.str();
  return r;
}

std::string ReadFile(const std::filesystem::path& Path) {
  std::ifstream in(Path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const std::filesystem::path& Path, const std::string& Text) {
  std::ofstream(Path, std::ios::binary) << Text;
}

TScratchDir::TScratchDir() {
  const auto* test = testing::UnitTest::GetInstance()->current_test_info();
  Path = std::filesystem::temp_directory_path() /
         ("zelcli-" + std::to_string(getpid()) + "-" + test->test_suite_name() + "-" + test->name());
  std::filesystem::remove_all(Path);
  std::filesystem::create_directories(Path);
}

TScratchDir::~TScratchDir() {
  std::error_code ec;
  std::filesystem::remove_all(Path, ec);
}
