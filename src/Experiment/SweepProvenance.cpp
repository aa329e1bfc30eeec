#include "Experiment/SweepProvenance.h"

#include "Experiment/FileText.h"
#include "Experiment/SweepRun.h"

#include <boost/uuid/detail/sha1.hpp>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <random>
#include <set>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace fs = std::filesystem;
using TJson = nlohmann::ordered_json;

namespace {

const char* const Program = "zelworld-cli";

TJson CommandJson(const TSweepCommandRecord& R, const std::string& PlanSha1) {
  TJson j;
  j["program"] = Program;
  j["version"] = SweepProgramVersion();
  j["command"] = R.Command;
  j["arguments"] = R.Arguments;
  j["start"] = R.Start;
  j["end"] = R.End;
  j["host"] = R.Host;
  if (R.Command == "run") {
    j["workers"] = R.Workers;
    j["shard"] = R.Shard;
  }
  j["plan_sha1"] = PlanSha1;
  if (!R.Error.empty()) j["error"] = R.Error;
  return j;
}

// A part's name: the command, its start and where it ran, so that no two commands share one.
std::string PartName(const TSweepCommandRecord& R) {
  // The process id alone does not tell shards apart where every process has the same one
  // (WebAssembly under Node), nor does the start, to the millisecond.
  char tag[9];
  std::snprintf(tag, sizeof tag, "%08x", static_cast<unsigned>(std::random_device{}()));
  std::string name =
      R.Command + "-" + R.Start + "-" + R.Host + "-" + std::to_string(getpid()) + "-" + tag;
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '.' && c != '_') c = '_';
  return name + ".json";
}

fs::path PartsFolder(const fs::path& Dir) {
  return Dir / "provenance";
}

// Shards that end together gather the record one after another: each waits for the folder
// of parts, so that none is refused the whole record because another shard is writing it.
class TGatherTurn {
public:
  explicit TGatherTurn(const fs::path& Folder)
      : File(open(Folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (File >= 0)
      while (flock(File, LOCK_EX) != 0 && errno == EINTR) {
      }
  }
  ~TGatherTurn() {
    if (File >= 0) close(File);
  }
  TGatherTurn(const TGatherTurn&) = delete;
  TGatherTurn& operator=(const TGatherTurn&) = delete;

private:
  int File;
};

std::string JsonText(const TJson& J) {
  // Arguments are bytes as typed; what is not UTF-8 is replaced rather than refused.
  return J.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

// The names of the parts in Folder: the JSON files, not the temporary ones.
std::set<std::string> PartNames(const fs::path& Folder) {
  std::set<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(Folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.ends_with(".json") && name[0] != '.') names.insert(name);
  }
  return names;
}

// The whole record of the parts Names, runs and aggregates in the order they started.
TJson GatherParts(const fs::path& Dir, const std::set<std::string>& Names, const std::string& PlanSha1) {
  TJson plan;
  std::vector<std::pair<std::string, TJson>> runs, aggregates;
  for (const std::string& name : Names) {
    TJson part;
    try {
      part = TJson::parse(ReadSweepFile(PartsFolder(Dir) / name));
    } catch (const std::exception&) {
      continue; // not one of ours
    }
    if (!part.is_object()) continue;
    if (name == "plan.json") {
      plan = part;
      continue;
    }
    const std::string command = part.value("command", "");
    if (command == "run") runs.emplace_back(part.value("start", "") + name, part);
    if (command == "aggregate") aggregates.emplace_back(part.value("start", "") + name, part);
  }
  TJson whole;
  whole["program"] = Program;
  whole["version"] = SweepProgramVersion();
  whole["plan_sha1"] = PlanSha1;
  whole["plan"] = plan;
  for (auto* list : {&runs, &aggregates}) {
    std::sort(list->begin(), list->end(), [](const auto& A, const auto& B) { return A.first < B.first; });
    TJson array = TJson::array();
    for (auto& [key, part] : *list)
      array.push_back(std::move(part));
    whole[list == &runs ? "runs" : "aggregates"] = std::move(array);
  }
  return whole;
}

} // namespace

std::string Sha1Hex(const std::string& Text) {
  boost::uuids::detail::sha1 sha;
  sha.process_bytes(Text.data(), Text.size());
  unsigned int digest[5];
  sha.get_digest(digest);
  char hex[41];
  for (int i = 0; i < 5; ++i)
    std::snprintf(hex + 8 * i, 9, "%08x", digest[i]);
  return std::string(hex, 40);
}

std::string HostName() {
  std::array<char, 256> name{};
  if (gethostname(name.data(), name.size() - 1) != 0) return "unknown";
  return name.data();
}

std::string UtcTimestamp() {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t seconds = system_clock::to_time_t(now);
  const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[80];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900, utc.tm_mon + 1,
                utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, static_cast<int>(ms));
  return text;
}

fs::path PlanRecordPath(const fs::path& PlanFile) {
  fs::path p = PlanFile;
  p += ".provenance.json";
  return p;
}

void WritePlanRecord(const fs::path& PlanFile, const std::string& PlanText,
                     const TSweepCommandRecord& Record) {
  WriteWholeFile(PlanRecordPath(PlanFile).string(), JsonText(CommandJson(Record, Sha1Hex(PlanText))));
}

std::string KeepPlanRecord(const fs::path& PlanFile, const std::string& PlanText, const fs::path& Dir) {
  const fs::path path = PlanRecordPath(PlanFile);
  std::error_code ec;
  if (!fs::exists(path, ec)) return "";
  TJson record;
  try {
    record = TJson::parse(ReadSweepFile(path));
  } catch (const std::exception& e) {
    return path.string() + " is not the record of a plan (" + e.what() +
           "); it is left out of the sweep's record";
  }
  if (!record.is_object() || record.value("plan_sha1", "") != Sha1Hex(PlanText))
    return path.string() + " belongs to another version of the plan; it is left out of the sweep's record";
  fs::create_directories(PartsFolder(Dir), ec);
  const TGatherTurn turn(PartsFolder(Dir));
  WriteWholeFile((PartsFolder(Dir) / "plan.json").string(), JsonText(record));
  return "";
}

void RecordSweepCommand(const fs::path& Dir, const TSweepCommandRecord& Record) {
  const std::string planSha1 = Sha1Hex(ReadSweepFile(SweepPlanPath(Dir)));
  std::error_code ec;
  fs::create_directories(PartsFolder(Dir), ec);
  if (ec)
    throw std::runtime_error("Cannot create folder '" + PartsFolder(Dir).string() + "': " + ec.message());
  WriteWholeFile((PartsFolder(Dir) / PartName(Record)).string(), JsonText(CommandJson(Record, planSha1)));

  // The whole record, gathered from the parts. Where the file system has no locks (WebAssembly
  // under Node), shards may gather at once: each gathers again until no part has come while it
  // gathered, so that the last record written holds every part written before it.
  for (int attempt = 0; attempt < 100; ++attempt) {
    const TGatherTurn turn(PartsFolder(Dir));
    const std::set<std::string> names = PartNames(PartsFolder(Dir));
    WriteWholeFile((Dir / "provenance.json").string(), JsonText(GatherParts(Dir, names, planSha1)));
    if (PartNames(PartsFolder(Dir)) == names) break;
  }
}
