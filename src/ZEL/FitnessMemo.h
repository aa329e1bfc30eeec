#pragma once
// The fitness of programs already scored, looked up by the blocks they develop, so that a
// program that many agents carry (the elite's children, survivors) is developed once.
//
// A memo serves one set size and one environment: its owner makes a new one when either
// changes. Within it, a program is known by exactly what development reads of it: the
// number of blocks developed and each of those blocks. A lookup compares all of that, so
// two programs whose hashes agree are never mistaken for one another.
//
// The threads of a generation step look up and insert at the same time without a lock: a
// slot is claimed by one compare-and-swap and published, key and fitness together, by one
// store; a slot being written is passed over. Memory is bounded: two tables of fixed size,
// the newer one taking insertions. When it would grow too full, the older one is emptied
// and becomes the newer; a program found in the older table is copied to the newer, so
// programs in use stay known while those no longer met are forgotten.

#include "ZEL/ZEL.h"

#include <atomic>
#include <cstdint>
#include <memory>

// What development reads of a program: its first Blocks blocks, each field a half byte.
struct TProgramKey {
  static constexpr int FieldsPerWord = 16;
  static constexpr int MaxWords = (5 * TZEL::MaxBlocks + FieldsPerWord - 1) / FieldsPerWord;

  // The first min(Blocks, program length) blocks of Program (none for Blocks < 1).
  TProgramKey(const TZEL& Program, int Blocks);

  int Blocks = 0;                     // -1: a program with a field out of range, never kept
  std::uint64_t Words[MaxWords] = {}; // the fields in order, two to a byte; unused bits 0
  std::uint64_t Hash = 0;

  // The same block count and the same fields.
  friend bool operator==(const TProgramKey& A, const TProgramKey& B);
};

// The first Count integers of Fields packed as a key packs its blocks' fields, without vector
// instructions (every instruction set gives these words); whether every field lies in 0..15.
bool PackKeyFieldsPortably(const std::int32_t* Fields, int Count, std::uint64_t* Words);

class TFitnessMemo {
public:
  // Each table has room for a few times Programs programs of up to Blocks blocks.
  TFitnessMemo(int Programs, int Blocks);
  ~TFitnessMemo();
  TFitnessMemo(const TFitnessMemo&) = delete;
  TFitnessMemo& operator=(const TFitnessMemo&) = delete;

  // Whether the memo was made for at least this many programs of this many blocks.
  bool Fits(int Programs, int Blocks) const;
  int MaxBlocks() const { return FMaxBlocks; }
  // Slots of each of the two tables.
  int Capacity() const { return static_cast<int>(Mask + 1); }

  // The fitness of Key's program, or -1 when it is unknown (or has more blocks than the memo
  // keeps). A program found only in the older table is copied to the newer one.
  std::int32_t Find(const TProgramKey& Key);
  // Notes Key's program's fitness. A fitness outside 0..255, a program of more blocks than
  // the memo keeps, or a table too crowded around the key's place leave it unnoted.
  void Insert(const TProgramKey& Key, std::int32_t Fitness);

  // Makes room for a pass of up to Programs lookups (each notes at most one program: a miss
  // that its owner then inserts, or one copied from the older table); called while no Find or
  // Insert runs.
  void Reserve(int Programs);

  // Whether looking programs up is worth its cost in the coming pass. Where programs seldom
  // recur, the keys, lookups and insertions cost more than the rare hits save: a pass in which
  // fewer than one lookup in Share (5 unless set; at most 64) found its program rests the memo
  // for a number of passes (1, 2, 4, ... up to 64), and it is tried again after them. Its
  // owner sets the share that pays, from what a development costs beside a lookup.
  bool InUse() const { return Resting == 0; }
  void SetHitShare(int Share);
  // What the lookups of a pass found, and how many there were (what the newer table may have
  // taken in); called after every pass, while no Find or Insert runs.
  void Tell(std::int64_t Lookups, std::int64_t Hits);

private:
  struct TTable {
    std::unique_ptr<std::atomic<std::uint64_t>[]> Tags;
    std::unique_ptr<std::uint64_t[]> Words; // Width words per slot
  };
  std::int32_t FindIn(const TTable& T, const TProgramKey& Key, std::uint64_t Tag) const;
  bool InsertIn(TTable& T, const TProgramKey& Key, std::uint64_t Tag, std::int32_t Fitness);
  void Empty(TTable& T);

  int FMaxBlocks;
  int Width; // words of a key of FMaxBlocks blocks
  std::uint64_t Mask;
  int Programs;
  TTable Tables[2];
  int Newer = 0;
  // Insertions into the newer table since it was emptied, at most: the lookups told since. (Not
  // the scorings reserved for: most scorings of a settled run under the elite carry a fitness
  // over without a lookup, and counting them emptied the tables every few passes, forgetting
  // programs still in use.)
  std::int64_t Filled = 0;
  // Passes left without lookups, and the length of the next rest; whether the coming pass
  // only fills the memo (as the first pass does).
  int Resting = 0;
  int Rest = 1;
  bool Refilling = true;
  std::int64_t HitShare = 5;
};
