#include "FuzzySet/FuzzySet.h"

#include "FuzzySet/Extended.h"
#include "FuzzySet/Random.h"

#include <algorithm>
#include <cstddef>
#include <map>
#include <mutex>

namespace {
std::size_t At(int Index) {
  return static_cast<std::size_t>(Index);
}

// Membership of a degree, formed in extended precision.
TExtended Membership(std::int32_t Degree) {
  return TExtended(Degree) / TExtended(100);
}

// Every running sum of the measures is held as a double and rounded back after
// each extended-precision addition.
double AddTerm(double Sum, TExtended Term) {
  return Extended::ToDouble(TExtended(Sum) + Term);
}
} // namespace

int TFuzzySet::Add(std::int32_t Degree) {
  const TDegree d{Degree};
  if (!d.IsValid()) return -1;
  // The storage grows by exactly one slot per element.
  if (Degrees.size() == Degrees.capacity()) Degrees.reserve(Degrees.size() + 1);
  Degrees.push_back(Degree);
  return Count() - 1;
}

bool TFuzzySet::SetDegree(int Index, std::int32_t Degree) {
  if (Index < 0 || Index >= Count()) return false;
  Degrees[At(Index)] = Degree;
  return true;
}

std::int32_t TFuzzySet::GetDegree(int Index) const {
  if (Index < 0 || Index >= Count()) return -1;
  return Degrees[At(Index)];
}

void TFuzzySet::Clear() {
  Degrees.clear();
  Degrees.shrink_to_fit();
}

void TFuzzySet::Assign(const TFuzzySet& Source) {
  if (&Source == this) return;
  Clear();
  Degrees.reserve(Source.Degrees.size());
  for (const std::int32_t d : Source.Degrees)
    Add(d);
}

// Builds the element-wise combination of A and B over their common prefix in a temporary
// first, so that the set written to may be A or B.
template <typename Pick>
void TFuzzySet::CombineSets(const TFuzzySet& A, const TFuzzySet& B, Pick PickDegree) {
  TFuzzySet t;
  const int n = std::min(A.Count(), B.Count());
  t.Degrees.reserve(At(n));
  TDegree scratch;
  for (int i = 0; i < n; ++i) {
    PickDegree(scratch, TDegree{A.Degrees[At(i)]}, TDegree{B.Degrees[At(i)]});
    t.Add(scratch.Value);
  }
  Degrees = std::move(t.Degrees);
}

void TFuzzySet::Union(const TFuzzySet& A, const TFuzzySet& B) {
  CombineSets(A, B, [](TDegree& D, const TDegree& X, const TDegree& Y) { D.SetMax(X, Y); });
}

void TFuzzySet::Intersection(const TFuzzySet& A, const TFuzzySet& B) {
  CombineSets(A, B, [](TDegree& D, const TDegree& X, const TDegree& Y) { D.SetMin(X, Y); });
}

void TFuzzySet::ZeroAll() {
  std::fill(Degrees.begin(), Degrees.end(), 0);
}

void TFuzzySet::Randomize(TRandom& R, int N) {
  Clear();
  R.Randomize();
  if (N > 0) Degrees.reserve(At(N));
  for (int i = 0; i < N; ++i)
    Add(static_cast<std::int32_t>(R.RandomBelow(101)));
}

void TFuzzySet::Fill(int N, std::int32_t Degree) {
  Clear();
  if (N <= 0 || !TDegree{Degree}.IsValid()) return;
  Degrees.assign(At(N), Degree);
}

void TFuzzySet::SetStep(std::int32_t Head, std::int32_t Tail, int K) {
  if (K < 0 || K >= Count()) return;
  std::fill(Degrees.begin(), Degrees.begin() + K + 1, Head);
  std::fill(Degrees.begin() + K + 1, Degrees.end(), Tail);
}

double TFuzzySet::Cardinality() const {
  double sum = 0.0;
  for (const std::int32_t d : Degrees)
    sum = AddTerm(sum, Membership(d));
  return sum;
}

double TFuzzySet::HammingDistance(const TFuzzySet& B) const {
  const int n = std::min(Count(), B.Count());
  double sum = 0.0;
  for (int i = 0; i < n; ++i) {
    const TExtended diff = Membership(Degrees[At(i)]) - Membership(B.Degrees[At(i)]);
    sum = AddTerm(sum, diff < 0 ? -diff : diff);
  }
  return sum;
}

double TFuzzySet::Subsethood(const TFuzzySet& B) const {
  TFuzzySet t;
  t.Intersection(*this, B);
  const double c1 = t.Cardinality();
  const double c2 = Cardinality();
  if (c2 == 0.0) return 1.0;
  return Extended::ToDouble(TExtended(c1) / TExtended(c2));
}

bool TFuzzySet::ApplyBlock(int Shape, int Periods, int First, int Last, int Operator) {
  if (!(First >= 0 && First <= Last && Last < Count())) return false;
  if (Periods < 0 || Periods > 7) Periods = 0;
  if (Operator < 0 || Operator >= OperatorCount) Operator = 0;
  if (Shape < 0 || Shape >= ShapeCount) Shape = 0;
  const int n = Last - First + 1;
  const int l = n / (Periods + 1);
  // The bells (16 and its complement 17) are symmetric about their centre h: the value at
  // h + j is the one at h - j, each an exponential in extended precision, computed once.
  const bool bell = Shape >= 16;
  std::vector<std::int32_t> left;
  auto stretch = [&](int S, int E) {
    const int h = (E - S) / 2;
    if (bell) left.assign(static_cast<std::size_t>(h) + 1, 0);
    for (int x = S; x <= E; ++x) {
      const int d = x - S;
      const bool mirrored = bell && d > h && d <= 2 * h;
      const std::int32_t v =
          mirrored ? left[static_cast<std::size_t>(2 * h - d)] : ShapeValue(Shape, S, E, x);
      if (bell && d <= h) left[static_cast<std::size_t>(d)] = v;
      SetDegree(x, CombineDegrees(Operator, GetDegree(x), v));
    }
  };
  for (int p = 1; p <= Periods; ++p)
    stretch(First + (p - 1) * l, First + p * l - 1);
  // The last sub-range takes the remainder of the division.
  stretch(First + Periods * l, Last);
  return true;
}

void TFuzzySet::MakeEnvironment(TRandom& R, int N, bool Random) {
  if (Random) {
    Randomize(R, N);
    return;
  }
  // The fixed landscapes of every set size met so far in this process (as the shape tables
  // are kept): one depends on the element count alone, and the runs of a batch or a sweep ask
  // for the same one again and again.
  static std::mutex mutex;
  static std::map<int, std::vector<std::int32_t>> landscapes;
  const std::lock_guard<std::mutex> lock(mutex);
  auto [made, isNew] = landscapes.try_emplace(N);
  if (isNew) {
    MakeLandscape(N);
    made->second = Degrees;
  } else {
    Degrees = made->second;
  }
}

void TFuzzySet::MakeLandscape(int N) {
  Fill(N, 0);
  const int a = N / 3;
  SetStep(33, 0, a);
  const int b = 5 * N / 12;
  ApplyBlock(16, 0, N / 4, b, 0);
  ApplyBlock(16, 0, b, 11 * N / 12, 0);
  TFuzzySet t;
  t.Fill(N, 0);
  const int m = 2 * N / 3;
  t.SetStep(0, 66, m);
  Union(*this, t);
  t.ZeroAll();
  t.ApplyBlock(16, 0, a, m, 2);
  Union(*this, t);
}
