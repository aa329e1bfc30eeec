#include "ZEL/ThreadChoice.h"

#include <algorithm>

void TThreadChoice::Tell(std::int64_t Time) {
  BeforeLast = Last;
  Last = Time;
  if (Phase == TPhase::Trial) {
    if (Step >= TrialSteps - 2) Tried = Tried < 0 ? Time : std::min(Tried, Time);
    if (++Step < TrialSteps) return;
    const std::int64_t all = KeepAll ? Kept : Tried, alone = KeepAll ? Tried : Kept;
    const bool keepAll = 10 * alone >= 9 * all;
    if (keepAll && 10 * alone >= 14 * all)
      Stretch = LongestStretch;
    else if (Stretch > 0 && keepAll == KeepAll)
      Stretch = std::min(2 * Stretch, LongestStretch);
    else
      Stretch = FirstStretch;
    KeepAll = keepAll;
    Phase = TPhase::Keep;
    Step = 0;
    return;
  }
  // The first steps meet cold caches and a memo still filling, and develop far more programs
  // than later ones (at the largest settings under the elite, ten times as long a step in the
  // first 50): where development is most of a step, the pool's threads are worth their cost.
  if (++Step < (Phase == TPhase::First ? FirstSteps : Stretch)) return;
  Kept = std::min(Last, BeforeLast < 0 ? Last : BeforeLast);
  Tried = -1;
  Phase = TPhase::Trial;
  Step = 0;
}
