#include "common/Fingerprint.h"

#include <cstdio>
#include <fstream>
#include <vector>

namespace quill {
namespace {

constexpr std::uint64_t kOffsetBasis = 14695981039346656037ull;
constexpr std::uint64_t kPrime = 1099511628211ull;

std::uint64_t Mix(std::uint64_t hash, const char* bytes, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) {
    hash ^= static_cast<unsigned char>(bytes[i]);
    hash *= kPrime;
  }
  return hash;
}

}  // namespace

std::uint64_t Fingerprint(std::string_view bytes) {
  return Mix(kOffsetBasis, bytes.data(), bytes.size());
}

std::optional<std::uint64_t> FileFingerprint(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::uint64_t hash = kOffsetBasis;
  std::vector<char> buffer(1 << 16);
  while (in) {
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    hash = Mix(hash, buffer.data(), static_cast<std::size_t>(in.gcount()));
  }
  if (in.bad()) return std::nullopt;
  return hash;
}

std::string FingerprintText(std::uint64_t fingerprint) {
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(fingerprint));
  return text;
}

}  // namespace quill
