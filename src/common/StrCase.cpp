#include "common/StrCase.h"

#include <cctype>

namespace quill {

int strcasecmp(const char* a, const char* b) {
  const auto* pa = reinterpret_cast<const unsigned char*>(a);
  const auto* pb = reinterpret_cast<const unsigned char*>(b);
  for (;; ++pa, ++pb) {
    const auto ca = static_cast<unsigned char>(std::toupper(*pa));
    const auto cb = static_cast<unsigned char>(std::toupper(*pb));
    if (ca != cb) return ca < cb ? -1 : 1;
    if (ca == 0) return 0;
  }
}

}  // namespace quill
