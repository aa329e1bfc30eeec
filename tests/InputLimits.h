#pragma once
// The input reader's limits and pipe wait set small for one test, and the usual ones back at
// its end.

#include "Experiment/FileText.h"

#include <chrono>
#include <cstddef>

struct TTestLimits {
  TTestLimits(std::size_t Bytes, std::chrono::milliseconds Wait) {
    SetInputLimitForTests(Bytes);
    SetPipeWaitForTests(Wait);
  }
  ~TTestLimits() {
    SetInputLimitForTests(0);
    SetPipeWaitForTests(std::chrono::milliseconds(0));
  }
};
