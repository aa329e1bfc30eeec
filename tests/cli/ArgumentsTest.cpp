// Command lines as users get them wrong: a value left out, an option twice, a stray
// argument, options before the subcommand, and texts that would garble a terminal.

#include "CliTestSupport.h"
#include "cli/Messages.h"

#include <gtest/gtest.h>

namespace {
struct TSubcommand {
  std::string Name;
  std::vector<std::string> ValueOptions, Flags;
};

const std::vector<std::string> RunValues = {"--pop-size", "--generations",  "--elements",    "--seed",
                                            "--blocks",   "--reproduction", "--p-crossover", "--p-mutation",
                                            "--p-noise",  "--report",       "--best-list",   "--series",
                                            "--threads"};
const std::vector<TSubcommand> Subcommands = {
    {"run", RunValues, {"--random-environment", "--rates-selection", "--help", "-h"}},
    {"batch", RunValues, {"--random-environment", "--rates-selection", "--help", "-h"}},
    {"environment", {"--elements", "--seed"}, {"--random-environment", "--json", "--help", "-h"}},
    {"develop",
     {"--program", "--elements", "--seed", "--blocks"},
     {"--random-environment", "--json", "--help"}},
};

void ExpectUsageError(const std::string& Args, const std::vector<std::string>& Named) {
  const TCliResult r = RunCli(Args);
  EXPECT_EQ(r.Code, 2) << Args;
  EXPECT_EQ(r.Out, "") << Args;
  EXPECT_EQ(r.Err.rfind("zelworld-cli: error: ", 0), 0u) << r.Err;
  EXPECT_EQ(r.Err.find('\n'), r.Err.size() - 1) << "one line: " << r.Err;
  for (const std::string& name : Named)
    EXPECT_NE(r.Err.find(name), std::string::npos) << Args << " -> " << r.Err;
}
} // namespace

TEST(Arguments, AValueOptionFollowedByAnyOptionIsAMissingValue) {
  TScratchDir dir;
  for (const TSubcommand& sub : Subcommands) {
    std::vector<std::string> every = sub.ValueOptions;
    every.insert(every.end(), sub.Flags.begin(), sub.Flags.end());
    every.push_back("--version");
    for (const std::string& option : sub.ValueOptions) {
      for (const std::string& next : every)
        ExpectUsageError(sub.Name + " " + option + " " + next, {option, next});
      ExpectUsageError(sub.Name + " " + option, {option, "needs a value"});
    }
  }
  // Written with '=', a value that looks like an option is what the user meant.
  const std::string name = dir / "--series";
  EXPECT_EQ(RunCli("run --pop-size 4 --generations 1 --seed 1 --report=" + name).Code, 0);
  EXPECT_TRUE(std::filesystem::exists(name));
}

TEST(Arguments, RepeatedStrayAndMisplacedArgumentsAreNamedInWords) {
  ExpectUsageError("run --report r --seed 1 --seed 2", {"--seed is given more than once"});
  ExpectUsageError("environment --elements 3 --elements=4", {"--elements is given more than once"});
  ExpectUsageError("run --report r --pop-size 3 4", {"'4'", "belongs to no option"});
  ExpectUsageError("run --report r --pop-size --generations 3", {"--pop-size", "--generations"});
  ExpectUsageError("--seed 1 run --report r",
                   {"--seed comes before the subcommand", "zelworld-cli run --seed"});
  ExpectUsageError("run --report r --json", {"--json is not an option of run"});
  ExpectUsageError("walk", {"'walk' is not a subcommand"});
  // A flag too, though repeating it would change nothing.
  ExpectUsageError("environment --elements 3 --seed 1 --json --json", {"--json is given more than once"});
  ExpectUsageError("run --report r --rates-selection --rates-selection",
                   {"--rates-selection is given more than once"});
}

TEST(Arguments, MessagesStayOnOneLineAndShowWhatTheUserTyped) {
  // Control characters, escape sequences and invalid bytes are shown escaped.
  EXPECT_EQ(ZelCli::Escape("a\nb\r\t\\"), "a\\nb\\r\\t\\\\");
  EXPECT_EQ(ZelCli::Escape("\x1b[31mred\x7f"), "\\x1B[31mred\\x7F");
  EXPECT_EQ(ZelCli::Escape("\xc2\x9b"
                           "1m \xc2\xa0"),
            "\\xC2\\x9B1m \xc2\xa0")
      << "C1 controls, not NBSP";
  EXPECT_EQ(ZelCli::Escape("\xff\xc3"), "\\xFF\\xC3");
  EXPECT_EQ(ZelCli::Escape("\xc0\xaf \xed\xa0\x80 \xf4\x90\x80\x80"),
            "\\xC0\\xAF \\xED\\xA0\\x80 \\xF4\\x90\\x80\\x80")
      << "overlong form, surrogate, beyond U+10FFFF";
  EXPECT_EQ(ZelCli::Escape("Grüße 世界 🙂"), "Grüße 世界 🙂");
  EXPECT_EQ(ZelCli::CharacterCount("Grüße\xff"), 6u);

  // Through the command line: characters are counted and quoted whole.
  const std::vector<const char*> argv = {"zelworld-cli", "develop",         "--elements", "5",
                                         "--program",    "AB\xc3\x84\n\x1b"};
  std::ostringstream out, err;
  EXPECT_EQ(ZelCli::Main(static_cast<int>(argv.size()), argv.data(), {out, err, false}), 2);
  EXPECT_EQ(err.str(),
            "zelworld-cli: error: --program: '\xc3\x84', character 3 of 'AB\xc3\x84\\n\\x1B', is not a "
            "hexadecimal digit\n");
}
