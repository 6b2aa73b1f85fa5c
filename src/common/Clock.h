// The calendar clock that seeds the generator once per run.
//
// Production code reads the system clock; tests install a fixed reading with
// ScopedClock so that whole runs are reproducible in-process.
#pragma once

#include <cstdint>

namespace quill {

using ClockFunction = std::int64_t (*)();

// Current calendar time in seconds, from the installed clock.
std::int64_t CurrentTimeSeconds();

// Installs `clock` (nullptr restores the system clock); returns the previous one.
ClockFunction SetClock(ClockFunction clock);

// Seconds on a steady clock (for measuring durations: time limits, rates),
// from the installed steady clock.
double SteadySeconds();
using SteadyClockFunction = double (*)();
// Installs `clock` as the steady clock (nullptr restores the system's);
// returns the previous one.
SteadyClockFunction SetSteadyClock(SteadyClockFunction clock);

// Installs a clock that always reads `seconds` for the lifetime of the object.
class ScopedClock {
 public:
  explicit ScopedClock(std::int64_t seconds);
  ~ScopedClock();
  ScopedClock(const ScopedClock&) = delete;
  ScopedClock& operator=(const ScopedClock&) = delete;

 private:
  ClockFunction previous_;
  std::int64_t previous_fixed_;
};

}  // namespace quill
