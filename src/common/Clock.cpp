#include "common/Clock.h"

#include <chrono>
#include <ctime>

namespace quill {
namespace {

std::int64_t SystemClock() {
  return static_cast<std::int64_t>(std::time(nullptr));
}

ClockFunction g_clock = nullptr;
std::int64_t g_fixed_seconds = 0;

std::int64_t FixedClock() {
  return g_fixed_seconds;
}

double SystemSteadySeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

SteadyClockFunction g_steady = nullptr;

}  // namespace

std::int64_t CurrentTimeSeconds() {
  return g_clock != nullptr ? g_clock() : SystemClock();
}

ClockFunction SetClock(ClockFunction clock) {
  ClockFunction previous = g_clock;
  g_clock = clock;
  return previous;
}

double SteadySeconds() {
  return g_steady != nullptr ? g_steady() : SystemSteadySeconds();
}

SteadyClockFunction SetSteadyClock(SteadyClockFunction clock) {
  SteadyClockFunction previous = g_steady;
  g_steady = clock;
  return previous;
}

ScopedClock::ScopedClock(std::int64_t seconds)
    : previous_(g_clock), previous_fixed_(g_fixed_seconds) {
  g_fixed_seconds = seconds;
  g_clock = FixedClock;
}

ScopedClock::~ScopedClock() {
  g_clock = previous_;
  g_fixed_seconds = previous_fixed_;
}

}  // namespace quill
