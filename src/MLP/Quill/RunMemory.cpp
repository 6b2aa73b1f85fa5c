#include "MLP/Quill/RunMemory.h"

#include <sys/resource.h>
#include <sys/sysinfo.h>
#include <unistd.h>

#include <fstream>

namespace {

// Bytes per individual beside its genes, in each of the two copies: below
// what the objects of an individual and its record take.
constexpr std::uint64_t kPerIndividual = 128;
constexpr std::uint64_t kBytesPerGene = 4;

// `limit` less `used`, or 0 when the process holds more already.
std::uint64_t Left(std::uint64_t limit, std::uint64_t used) {
  return limit > used ? limit - used : 0;
}

// The limit of `resource`, or nothing when there is none.
std::optional<std::uint64_t> Limit(int resource) {
  struct rlimit limit {};
  if (::getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return std::nullopt;
  return static_cast<std::uint64_t>(limit.rlim_cur);
}

}  // namespace

MemoryLimits MemoryLimits::OfThisProcess() {
  // Pages of the address space, of resident memory and of the data segment.
  std::uint64_t size = 0, resident = 0, shared = 0, text = 0, library = 0, data = 0;
  std::ifstream statm("/proc/self/statm");
  statm >> size >> resident >> shared >> text >> library >> data;
  if (!statm) size = resident = data = 0;
  const long page_size = ::sysconf(_SC_PAGESIZE);
  const std::uint64_t page = page_size > 0 ? static_cast<std::uint64_t>(page_size) : 4096;

  MemoryLimits limits;
  struct sysinfo info {};
  if (::sysinfo(&info) == 0 && info.totalram > 0) {
    const std::uint64_t unit = info.mem_unit > 0 ? info.mem_unit : 1;
    const std::uint64_t total =
        (static_cast<std::uint64_t>(info.totalram) + static_cast<std::uint64_t>(info.totalswap)) *
        unit;
    limits.physical = Left(total, resident * page);
  }
  if (const auto as = Limit(RLIMIT_AS)) limits.address_space = Left(*as, size * page);
  if (const auto ds = Limit(RLIMIT_DATA)) limits.data = Left(*ds, data * page);
  return limits;
}

std::uint64_t RunMemoryNeed(std::int64_t population, std::int64_t genes) {
  const auto p = static_cast<std::uint64_t>(population > 0 ? population : 0);
  const auto g = static_cast<std::uint64_t>(genes > 0 ? genes : 0);
  std::uint64_t need = 0;
  if (__builtin_mul_overflow(p, 2 * (g * kBytesPerGene + kPerIndividual), &need)) return UINT64_MAX;
  return need;
}

bool FitsInMemory(std::uint64_t need, const MemoryLimits& limits) {
  for (const auto& limit : {limits.physical, limits.address_space, limits.data}) {
    if (limit && need > *limit) return false;
  }
  return true;
}
