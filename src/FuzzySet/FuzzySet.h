#pragma once
// A fuzzy set: a row of elements, each with an integer membership degree 0..100
// that stands for the membership d/100 in every measure.

#include "Display/DisplayServices.h"
#include "FuzzySet/Random.h"

#include <cstdint>
#include <vector>

struct TDegree {
  std::int32_t Value = 0;

  bool IsValid() const { return Value >= 0 && Value <= 100; }
  void SetMax(const TDegree& A, const TDegree& B) { Value = A.Value > B.Value ? A.Value : B.Value; }
  void SetMin(const TDegree& A, const TDegree& B) { Value = A.Value < B.Value ? A.Value : B.Value; }
};

// Number of shapes (0..17) and degree operators (0..15) known to ApplyBlock.
inline constexpr int ShapeCount = 18;
inline constexpr int OperatorCount = 16;

// Degree of shape Shape at element X of the sub-range Start..End; an integer 0..100.
// A shape number outside 0..17 gives shape 0.
std::int32_t ShapeValue(int Shape, std::int32_t Start, std::int32_t End, std::int32_t X);
// Merges the current degree A with the shape degree B; an operator outside 0..15 gives 0.
std::int32_t CombineDegrees(int Operator, std::int32_t A, std::int32_t B);

class TFuzzySet {
public:
  int Count() const { return static_cast<int>(Degrees.size()); }

  int Add(std::int32_t Degree);
  bool SetDegree(int Index, std::int32_t Degree);
  std::int32_t GetDegree(int Index) const;
  void Clear();
  void Assign(const TFuzzySet& Source);
  void Union(const TFuzzySet& A, const TFuzzySet& B);
  void Intersection(const TFuzzySet& A, const TFuzzySet& B);
  void ZeroAll();
  // Clears the set, reseeds R from its clock, then appends N uniform random degrees 0..100.
  void Randomize(TRandom& R, int N);
  void Fill(int N, std::int32_t Degree);
  void SetStep(std::int32_t Head, std::int32_t Tail, int K);

  double Cardinality() const;
  // Degree to which this set is contained in B. The empty fuzzy set (cardinality 0)
  // is contained in every set, so its subsethood is 1.
  double Subsethood(const TFuzzySet& B) const;
  double HammingDistance(const TFuzzySet& B) const;

  bool ApplyBlock(int Shape, int Periods, int First, int Last, int Operator);
  void MakeEnvironment(TRandom& R, int N, bool Random);
  // Plots the degrees as a polyline on Image; with Clear the picture is first filled white.
  void Draw(TImageSurface& Image, TColor PenColor, bool Clear) const;

  const std::vector<std::int32_t>& Values() const { return Degrees; }

private:
  // The fixed landscape of N elements, made from its blocks.
  void MakeLandscape(int N);
  template <typename Pick> void CombineSets(const TFuzzySet& A, const TFuzzySet& B, Pick PickDegree);
  std::vector<std::int32_t> Degrees;
};
