#include "common/Interrupt.h"

#include <unistd.h>

#include <csignal>
#include <cstddef>
#include <ctime>

#include "common/AtomicFile.h"

namespace quill {
namespace {

volatile std::sig_atomic_t g_signal = 0;
const char* volatile g_at_once = nullptr;
struct sigaction g_previous_int;
struct sigaction g_previous_term;

extern "C" void OnSignal(int signal) {
  const char* message = g_at_once;
  if (g_signal == 0 && message == nullptr) {
    g_signal = signal;
    return;
  }
  // Only async-signal-safe calls from here on.
  if (message != nullptr) {
    std::size_t length = 0;
    while (message[length] != '\0')
      ++length;
    [[maybe_unused]] const ssize_t written = ::write(2, message, length);
    // A launcher that is stopping the run forwards the message only while
    // the process lives: give it a moment to read it.
    const struct timespec moment = {0, 800000000};
    ::nanosleep(&moment, nullptr);
  }
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

void InterruptEndsAtOnce(const char* message) {
  g_at_once = message;
}

}  // namespace quill
