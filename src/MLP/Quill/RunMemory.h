// Whether a run can fit in the machine's memory, decided before training.
//
// A population of two billion individuals would otherwise fill memory until
// the kernel ends the process. RunMemoryNeed is a lower bound of what a run
// allocates once training starts (never more than it really takes, so that
// no run that fits is refused); the limits are the machine's physical memory
// and swap, and the address-space and data-segment limits of the process
// when they are set.
#pragma once

#include <cstdint>
#include <optional>

// What the process may still use, in bytes; nothing where there is no limit.
struct MemoryLimits {
  std::optional<std::uint64_t> physical;       // memory plus swap, less what the process holds
  std::optional<std::uint64_t> address_space;  // RLIMIT_AS less the address space in use
  std::optional<std::uint64_t> data;           // RLIMIT_DATA less the data segment in use

  // The limits of this process now.
  static MemoryLimits OfThisProcess();
};

// The least memory a run of `population` individuals of `genes` genes
// allocates for its populations: at every moment at least two copies of
// every individual's genes are held (the population and the image it is
// evaluated from, or the population and the one bred from it), and each
// individual costs a few hundred bytes besides its genes.
std::uint64_t RunMemoryNeed(std::int64_t population, std::int64_t genes);

// True when `need` bytes fit within every limit.
bool FitsInMemory(std::uint64_t need, const MemoryLimits& limits);
