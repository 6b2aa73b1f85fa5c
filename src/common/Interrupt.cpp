#include "common/Interrupt.h"

#include <pthread.h>
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
  RemovePendingTemporaryFiles();
  ::_exit(128 + signal);
}

const char* volatile g_abandon_message = nullptr;

extern "C" void OnSignalAbandon(int signal) {
  // Only async-signal-safe calls here.
  if (const char* message = g_abandon_message) {
    std::size_t length = 0;
    while (message[length] != '\0')
      ++length;
    [[maybe_unused]] const ssize_t written = ::write(2, message, length);
  }
  RemovePendingTemporaryFiles();
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

AbandonOnSignal::AbandonOnSignal(const char* message) : previous_message_(g_abandon_message) {
  g_abandon_message = message;
  struct sigaction action = {};
  action.sa_handler = OnSignalAbandon;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  // A signal the program was started to ignore (a background job of a
  // script) stays ignored.
  sigaction(SIGINT, nullptr, &previous_int_);
  sigaction(SIGTERM, nullptr, &previous_term_);
  if (previous_int_.sa_handler != SIG_IGN) sigaction(SIGINT, &action, nullptr);
  if (previous_term_.sa_handler != SIG_IGN) sigaction(SIGTERM, &action, nullptr);
}

AbandonOnSignal::~AbandonOnSignal() {
  sigaction(SIGINT, &previous_int_, nullptr);
  sigaction(SIGTERM, &previous_term_, nullptr);
  g_abandon_message = previous_message_;
}

SignalHold::SignalHold() {
  sigset_t held;
  sigemptyset(&held);
  sigaddset(&held, SIGINT);
  sigaddset(&held, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &held, &previous_);
}

SignalHold::~SignalHold() {
  pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

}  // namespace quill
