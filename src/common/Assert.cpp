#include "common/Assert.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>

namespace quill {

void AssertionFailed(const char* expression, const char* unit, int line) {
  // Progress already printed must not be lost behind the abort.
  std::cout.flush();
  std::fprintf(stderr, "Assertion failed: %s, file %s, line %d\n", expression, unit, line);
  std::fflush(stderr);
  std::abort();
}

}  // namespace quill
