// Replaces the global operator new with one that counts calls, so that a test
// can check that a stretch of code allocates nothing:
//   const long before = AllocationCount(); ...; EXPECT_EQ(AllocationCount(), before);
// Include it in exactly one source file of a test program: the replacement
// operators are program-wide.
#pragma once

#include <cstdlib>
#include <new>

namespace quill_test {
inline long g_allocations = 0;
}  // namespace quill_test

inline long AllocationCount() {
  return quill_test::g_allocations;
}

void* operator new(std::size_t size) {
  ++quill_test::g_allocations;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
