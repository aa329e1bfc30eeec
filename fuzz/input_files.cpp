// libFuzzer target: the reader that every input file goes through, over a regular file and
// over a pipe, and the loaders behind it. The first byte chooses the kind and the way, the
// second a limit (0: the kind's own). Whatever fits the limit is read exactly; whatever does
// not is a TFileError; what is read ends in a value or the parser's own error.

#include "Experiment/EnvironmentFile.h"
#include "Experiment/ExperimentFile.h"
#include "Experiment/FileText.h"
#include "Experiment/PopulationFile.h"
#include "Experiment/SweepAggregate.h"
#include "Experiment/SweepPlan.h"
#include "FuzzCheck.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {
const std::string& Folder() {
  static const std::string folder = [] {
    std::string name = "/tmp/zelfuzz-XXXXXX";
    FUZZ_CHECK(mkdtemp(name.data()) != nullptr);
    return name;
  }();
  return folder;
}

// Parses Text as a file of Kind; FromFile loads it through the file's own loader instead.
void Parse(int Kind, const std::string& Text, const std::string& Name, bool FromFile) {
  try {
    switch (Kind) {
    case 0:
      (void)(FromFile ? LoadExperimentFile(Name) : ReadExperimentText(Text, Name));
      break;
    case 1:
      (void)(FromFile ? LoadEnvironmentFile(Name) : ReadEnvironmentText(Text, Name));
      break;
    case 2:
      (void)(FromFile ? LoadPopulationFile(Name) : ReadPopulationText(Text, Name));
      break;
    case 3:
      (void)ParseSweepPlan(Text, Name);
      break;
    default:
      (void)ReadSweepAggregate(Text, Name);
      break;
    }
  } catch (const TFileError&) {
  } catch (const TSweepError&) {
  }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  if (Size < 2) return 0;
  static const TInputKind kinds[] = {ExperimentInput, EnvironmentInput, PopulationInput, SweepPlanInput,
                                     SweepResultInput};
  const int kind = Data[0] % 5;
  const bool pipe = (Data[0] / 5) % 2 == 1;
  const std::size_t limit = Data[1] == 0 ? kinds[kind].Limit : std::size_t{Data[1]} * 16;
  const std::string data(reinterpret_cast<const char*>(Data) + 2, Size - 2);
  SetInputLimitForTests(Data[1] == 0 ? 0 : limit);
  SetPipeWaitForTests(std::chrono::milliseconds(2000));

  std::string name = Folder() + "/input";
  int ends[2] = {-1, -1};
  if (pipe && data.size() < 60000) {
    // Written whole and closed before it is read: the pipe holds up to 64 KiB.
    FUZZ_CHECK(::pipe(ends) == 0);
    FUZZ_CHECK(write(ends[1], data.data(), data.size()) == static_cast<ssize_t>(data.size()));
    close(ends[1]);
    name = "/proc/self/fd/" + std::to_string(ends[0]);
  } else {
    const int file = open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    FUZZ_CHECK(file >= 0 && write(file, data.data(), data.size()) == static_cast<ssize_t>(data.size()));
    close(file);
  }

  std::string text;
  bool refused = false;
  try {
    text = ReadWholeFile(kinds[kind], name);
  } catch (const TFileError& e) {
    refused = true;
    FUZZ_CHECK(std::string(e.what()).find("more than the limit of " + ByteSizeText(limit)) != std::string::npos);
  }
  FUZZ_CHECK(refused == (data.size() > limit));
  FUZZ_CHECK(refused || text == data);
  if (ends[0] >= 0) close(ends[0]);
  if (!refused) Parse(kind, text, name, ends[0] < 0);
  SetInputLimitForTests(0);
  return 0;
}
