#pragma once
// Signals held back on the calling thread while an object lives, then the thread's mask as it
// was. A thread started meanwhile starts with them held back.

#include <csignal>
#include <pthread.h>

class TSignalsHeld {
public:
  enum class TWhich {
    All,   // every signal: two calls made under it are never parted by a handler on this thread
    Ending // those a person or the system sends a process to end it: SIGINT, SIGTERM, SIGHUP, SIGQUIT
  };
  explicit TSignalsHeld(TWhich Which) {
    sigset_t held;
    if (Which == TWhich::All) {
      sigfillset(&held);
    } else {
      sigemptyset(&held);
      for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
        sigaddset(&held, signal);
    }
    pthread_sigmask(SIG_BLOCK, &held, &Before);
  }
  ~TSignalsHeld() { pthread_sigmask(SIG_SETMASK, &Before, nullptr); }
  TSignalsHeld(const TSignalsHeld&) = delete;
  TSignalsHeld& operator=(const TSignalsHeld&) = delete;

private:
  sigset_t Before;
};
