#include "common/Clock.h"

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

}  // namespace

std::int64_t CurrentTimeSeconds() {
  return g_clock != nullptr ? g_clock() : SystemClock();
}

ClockFunction SetClock(ClockFunction clock) {
  ClockFunction previous = g_clock;
  g_clock = clock;
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
