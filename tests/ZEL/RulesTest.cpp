// The small rules the generation step rests on, each worked out by hand: fitness from a
// distance, the size of the elite, and the point of the rates wheel.

#include "FuzzySet/FuzzySet.h"
#include "ZEL/ZELAgent.h"
#include "ZEL/ZELAgentPopulation.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

// Fitness rounds the normalised distance to a double before dividing: three elements whose
// degrees differ by 40 in all have H = 0.4 and H / 3 = 0.1333..., which as a double lies just
// below the third, so 5 / d is just above 37.5 and rounds to 38 (kept in extended
// precision it would be just below, giving 37).
TEST(Rules, FitnessOfANormalisedDistanceRoundedToDouble) {
  TFuzzySet developed, environment;
  for (int d : {50, 50, 50})
    developed.Add(d);
  for (int d : {90, 50, 50})
    environment.Add(d);
  EXPECT_EQ(developed.HammingDistance(environment), 0.4);
  TZELAgent agent;
  agent.Evaluate(developed, environment);
  EXPECT_EQ(agent.Fitness, 38);
  EXPECT_EQ(FitnessFromHamming(0.4, 3), 38);
  EXPECT_EQ(FitnessFromHamming(0.15, 3), 100); // exactly 0.05: fitness is 100
  EXPECT_EQ(FitnessFromHamming(1.0, 4), 20);
}

TEST(Rules, EliteSizeRoundsToNearest) {
  // Truncated, 8 agents would keep 1 and 13 would keep 2.
  const std::vector<std::pair<int, int>> cases = {{2, 1},  {7, 1},  {8, 2},    {12, 2},
                                                  {13, 3}, {17, 3}, {100, 20}, {1000, 200}};
  for (const auto& [count, elite] : cases)
    EXPECT_EQ(EliteSize(count), elite) << count;
}

TEST(Rules, TheWheelTakesTheFirstRunningSumThatReachesThePoint) {
  // Fitness 50, 30, 20: running sums 50, 80, 100.
  const std::vector<std::int64_t> sums = {50, 80, 100};
  EXPECT_EQ(WheelIndex(sums, 0.0), 0);
  EXPECT_EQ(WheelIndex(sums, 50.0), 0); // a point on a sum belongs to that agent
  EXPECT_EQ(WheelIndex(sums, 50.5), 1);
  EXPECT_EQ(WheelIndex(sums, 80.0), 1);
  EXPECT_EQ(WheelIndex(sums, 99.9), 2);
  EXPECT_EQ(WheelPoint(0.5, 100), 50.0);
  EXPECT_EQ(WheelPoint(0.8, 100), 80.0);
  // A tie in the middle of a run of equal sums: the first of them.
  EXPECT_EQ(WheelIndex({10, 10, 10, 20}, 10.0), 0);
  EXPECT_EQ(WheelIndex({10, 10, 10, 20}, 10.5), 3);
  // A point beyond the last sum (a sum short of the whole) takes the last agent.
  EXPECT_EQ(WheelIndex(sums, 100.5), 2);
  // Sums of every length, against a walk from the first: bisection finds the same agent.
  for (std::size_t n = 1; n <= 9; ++n) {
    std::vector<std::int64_t> running;
    for (std::size_t i = 0; i < n; ++i)
      running.push_back(static_cast<std::int64_t>(5 * (i / 2 + 1)));
    for (double point = 0; point <= 5.0 * static_cast<double>(n) + 1; point += 2.5) {
      std::size_t walked = 0;
      while (walked + 1 < n && static_cast<double>(running[walked]) < point)
        ++walked;
      EXPECT_EQ(WheelIndex(running, point), static_cast<int>(walked)) << n << " " << point;
    }
  }
}
