// Stopping a long run cleanly on SIGINT or SIGTERM.
//
// While an InterruptGuard lives, the first SIGINT or SIGTERM is only
// recorded: the run asks InterruptSignal() at its safe points (between
// generations), saves what it must and ends. A second signal ends the process
// at once with status 128 + the signal's number, after removing the
// temporary file of an atomic write in progress (see AtomicFile.h), so that
// every file on disk is either its previous complete content or its new one.
#pragma once

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

}  // namespace quill
