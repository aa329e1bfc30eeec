#pragma once
// The record of how a sweep was made: which program version planned, ran and aggregated it,
// with which command lines, when, where, on how many workers, and which plan (its SHA-1, as
// `sha1sum DIR/plan.csv` prints it). Each command adds a part of its own to DIR/provenance/,
// so that shards running at once on many machines never write one file together; the
// parts are gathered into DIR/provenance.json after every command.

#include <filesystem>
#include <string>
#include <vector>

struct TSweepCommandRecord {
  std::string Command; // "plan", "run" or "aggregate"
  std::vector<std::string> Arguments;
  std::string Start, End; // UTC, ISO 8601
  std::string Host;
  // run: the workers that ran and the shard ("I/N"); an error that stopped it.
  int Workers = 0;
  std::string Shard;
  std::string Error;
};

// The hexadecimal SHA-1 of Text.
std::string Sha1Hex(const std::string& Text);
std::string HostName();
// The time now, UTC, to the millisecond: 2024-05-01T12:00:00.000Z.
std::string UtcTimestamp();

// Beside a plan file written by `sweep plan`: FILE.provenance.json.
std::filesystem::path PlanRecordPath(const std::filesystem::path& PlanFile);
// The record of `sweep plan` that wrote PlanText into PlanFile.
void WritePlanRecord(const std::filesystem::path& PlanFile, const std::string& PlanText,
                     const TSweepCommandRecord& Record);
// Takes the record of the plan that made the plan file PlanFile (whose bytes are PlanText)
// into the sweep folder Dir, when there is one and it belongs to these bytes. Returns a
// warning when a record is there but cannot be taken, else "".
std::string KeepPlanRecord(const std::filesystem::path& PlanFile, const std::string& PlanText,
                           const std::filesystem::path& Dir);
// Adds the record of a run or aggregate command to Dir and gathers DIR/provenance.json anew.
void RecordSweepCommand(const std::filesystem::path& Dir, const TSweepCommandRecord& Record);
