#pragma once
// An agent: a development program (phenotype) and the chromosome that encodes
// one, a fitness, and the flag that says through which of the two it reproduces.

#include "FuzzySet/FuzzySet.h"
#include "ZEL/Chromosome.h"
#include "ZEL/ZEL.h"

#include <cstdint>

inline constexpr int BitsPerBlock = 18;
// The normalised distance at or below which fitness is 100, and the numerator of the fitness formula.
inline constexpr double FitnessThreshold = 0.05;
inline constexpr double FitnessNumerator = 5.0;

// The probabilities of a breeding as a run uses them, each within 0..1: crossover cuts at a
// random point, mutation flips a chromosome bit as it is copied, noise changes a program
// block as it is copied.
struct TBreedingProbabilities {
  double Crossover = 1.0;
  double Mutation = 0.0001;
  double Noise = 0.0001;
};

// Fitness for a Hamming distance H over a developed set of Count elements:
// 100 when H / Count <= 0.05, otherwise 5 / (H / Count) rounded half to even.
std::int32_t FitnessFromHamming(double H, int Count);

// Each agent on cache lines of its own: threads write different agents at once.
class alignas(64) TZELAgent {
public:
  TChromosome Chromosome;
  TZEL ZEL;
  std::int32_t Fitness = 0;
  std::int32_t BlockCount = 1;
  std::int32_t Elements = 0;
  bool Genotype = false;

  TZELAgent() = default;
  // A new agent with a random chromosome (18 x BlockCount draws) decoded into its program.
  TZELAgent(TRandom& R, std::int32_t NewBlockCount, std::int32_t NewElements, bool NewGenotype) {
    Create(R, NewBlockCount, NewElements, NewGenotype);
  }
  void Create(TRandom& R, std::int32_t NewBlockCount, std::int32_t NewElements, bool NewGenotype);
  // Number of real draws that Create makes for a block count.
  static std::uint64_t CreateDraws(std::int32_t BlockCount);
  void Assign(const TZELAgent& Source) { *this = Source; }
  void Decode();
  // Develops the program into FS: N elements at 50, then every block in order. A
  // program with fewer than BlockCount blocks develops the blocks it has.
  void Develop(TFuzzySet& FS) const;
  void Evaluate(const TFuzzySet& Developed, const TFuzzySet& Environment);
  void MutateFrom(TRandom& R, const TZELAgent& Source, double PMutation, double PNoise);
  // Advances R exactly as A.Breed(R, B, ...) would, breeding nothing: the draws that decide
  // how many draws follow are made, the others skipped in constant time.
  static void SkipBreed(TRandom& R, const TZELAgent& A, const TZELAgent& B, const TBreedingProbabilities& P);
  // What SkipBreed reads of a parent: its kind and the lengths of its program and chromosome,
  // which a shuffle of its program leaves as they are.
  struct TParentShape {
    bool Genotype = false;
    int Blocks = 0;
    int Bits = 0;
  };
  TParentShape ParentShape() const { return {Genotype, ZEL.Count(), Chromosome.BitCount}; }
  static void SkipBreed(TRandom& R, const TParentShape& A, const TParentShape& B,
                        const TBreedingProbabilities& P);
  // Whether this genotype agent carries the chromosome of Other, a genotype agent of its
  // shape, and so Other's program too (a genotype agent's program is its chromosome decoded).
  bool SameGenotypeAs(const TZELAgent& Other) const;
  // This agent is the first parent; the children's contents are overwritten.
  void Breed(TRandom& R, const TZELAgent& Parent2, TZELAgent& Child1, TZELAgent& Child2,
             const TBreedingProbabilities& P) const;

private:
  // Whether Other has this agent's block count, a program of as many blocks and a chromosome
  // of as many bits.
  bool Consistent(const TZELAgent& Other) const;
  // Decode() of a chromosome that is bits 0 .. Cut of Head's and the rest of Tail's (Cut -1:
  // anything else), taking the blocks wholly on one side from that parent's program.
  void DecodeCrossed(const TZELAgent& Head, const TZELAgent& Tail, std::int32_t Cut);
};

// The element range Lo..Hi that a block covers in a set of N elements.
struct TBlockRange {
  int Lo, Hi;
};
TBlockRange BlockRange(const TFuzzyBlock& Block, int N);
// Reads block B of a chromosome (bits 18B .. 18B + 17, the first bit of a field the most significant).
TFuzzyBlock DecodeBlock(const TChromosome& Chromosome, int B);
// Bits 18B .. 18B + 17 of a chromosome as the low bits of an integer (bit 18B lowest), and
// the block those bits encode.
std::uint32_t BlockWindow(const TChromosome& Chromosome, int B);
TFuzzyBlock DecodeWindow(std::uint32_t Window);
