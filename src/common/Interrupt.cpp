#include "common/Interrupt.h"

#include <unistd.h>

#include <csignal>

#include "common/AtomicFile.h"

namespace quill {
namespace {

volatile std::sig_atomic_t g_signal = 0;
struct sigaction g_previous_int;
struct sigaction g_previous_term;

extern "C" void OnSignal(int signal) {
  if (g_signal == 0) {
    g_signal = signal;
    return;
  }
  // Only async-signal-safe calls from here on.
  if (const char* temp = PendingTemporaryFile()) ::unlink(temp);
  ::_exit(128 + signal);
}

}  // namespace

InterruptGuard::InterruptGuard() {
  g_signal = 0;
  struct sigaction action = {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  // Reads and writes interrupted by the signal go on.
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, &g_previous_int);
  sigaction(SIGTERM, &action, &g_previous_term);
}

InterruptGuard::~InterruptGuard() {
  sigaction(SIGINT, &g_previous_int, nullptr);
  sigaction(SIGTERM, &g_previous_term, nullptr);
}

int InterruptSignal() {
  return g_signal;
}

}  // namespace quill
