#pragma once
// Whether the generation steps of a run are worth sharing among a pool's threads, learned from
// the steps themselves. Where passing agents from core to core is slow (cores far apart, or
// those of a virtual machine that its host places anew now and then), a short step spends more
// on it than the other threads save: under the elite, a step of 1000 genotype agents of 32
// blocks took 0.18-0.21 ms on the two threads of such a machine and 0.10-0.15 ms on one (and
// 0.07 ms on two while its cores were close).
//
// The first steps use all the threads. Then, now and then, three steps are made the other way
// than the one in use, and the faster way is kept for a stretch of steps. Each way counts its
// faster of two steps: the last two before the trial, and the last two of the trial (the
// first step after a change fetches what the other threads' caches held, or waits for them to
// wake), so that one step the system held up decides nothing. The calling thread alone is
// kept only when it is a tenth faster. The stretch doubles while the same way wins, up to a
// limit, and is short again when the other wins; all the threads, winning by far (alone
// taking 1.4 times as long), are kept for the longest stretch at once. Through a trial alone
// the pool's threads are kept awake, so that going back costs nothing; through a stretch
// alone they sleep. The threads never change a result, only the time.

#include <cstdint>

class TThreadChoice {
public:
  static constexpr int FirstSteps = 64;
  static constexpr int TrialSteps = 3;
  static constexpr int FirstStretch = 64;
  static constexpr int LongestStretch = 1024;

  // Whether the coming step should use all the threads.
  bool UseAll() const { return Phase == TPhase::Trial ? !KeepAll : KeepAll; }
  // Whether the pool's threads should be kept awake through the coming step when it does not
  // use them.
  bool KeepAwake() const { return Phase == TPhase::Trial; }
  // How long the step took (in any one unit), made the way UseAll() said.
  void Tell(std::int64_t Time);
  // Back to the first step, as a new pool needs.
  void Reset() { *this = TThreadChoice(); }

private:
  enum class TPhase { First, Keep, Trial };
  TPhase Phase = TPhase::First;
  bool KeepAll = true;
  int Step = 0;    // within the first steps, the stretch or the trial
  int Stretch = 0; // of the way kept; 0 before the first trial's end
  // The last two steps' times, and the kept way's faster of its last two before the trial.
  std::int64_t Last = -1, BeforeLast = -1, Kept = -1;
  // The trial's faster of its last two steps.
  std::int64_t Tried = -1;
};
