// Stopping a long run cleanly on SIGINT or SIGTERM.
//
// While an InterruptGuard lives, the first SIGINT or SIGTERM is only
// recorded: the run asks InterruptSignal() at its safe points (between
// generations), saves what it must and ends. A second signal ends the process
// at once with status 128 + the signal's number, after removing the
// temporary files of the atomic writes in progress (see AtomicFile.h), so
// that every file on disk is either its previous complete content or its new
// one.
//
// Programs without safe points (the companion programs) use AbandonOnSignal
// instead: any signal ends them at once, every temporary removed, and
// SignalHold keeps signals back while a group of files is moved into place.
#pragma once

#include <signal.h>

namespace quill {

class InterruptGuard {
 public:
  // Installs the handlers and forgets any signal recorded before.
  InterruptGuard();
  // Restores the handlers that were installed before.
  ~InterruptGuard();
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;
};

// The first signal received while a guard lives (SIGINT or SIGTERM), or 0.
int InterruptSignal();

// From now on the first signal too ends the process at once (status 128 +
// the signal), after writing `message` on standard error and removing the
// temporary file of a write in progress. For runs that cannot reach their
// next safe point once a signal came (a run over several processes that has
// lost one). `message` must live as long as the process.
void InterruptEndsAtOnce(const char* message);

// While it lives, SIGINT and SIGTERM end the process at once with status
// 128 + the signal, after removing every temporary file being written and
// writing `message` (if not null) on standard error. Restores the handlers
// that were installed before when it goes. `message` must outlive the guard.
class AbandonOnSignal {
 public:
  explicit AbandonOnSignal(const char* message);
  ~AbandonOnSignal();
  AbandonOnSignal(const AbandonOnSignal&) = delete;
  AbandonOnSignal& operator=(const AbandonOnSignal&) = delete;

 private:
  const char* previous_message_;
  struct sigaction previous_int_;
  struct sigaction previous_term_;
};

// Holds SIGINT and SIGTERM back in this thread while it lives; one that came
// meanwhile is delivered when it goes. For steps that must complete once
// begun (moving a group of written files into place).
class SignalHold {
 public:
  SignalHold();
  ~SignalHold();
  SignalHold(const SignalHold&) = delete;
  SignalHold& operator=(const SignalHold&) = delete;

 private:
  sigset_t previous_;
};

}  // namespace quill
