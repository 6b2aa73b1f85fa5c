#include "common/FileIdentity.h"

#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

namespace quill {
namespace {

// The number of links a chain may have, as the kernel counts them.
constexpr int kMostLinks = 40;

bool IsSpecial(const struct stat& st) {
  return S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode);
}

// `path` with its links and "." ".." resolved as far as the folders exist.
std::string Resolved(const std::string& path) {
  const std::string end = FollowLinks(path);
  if (end.empty()) return path;
  std::error_code ec;
  const std::filesystem::path resolved = std::filesystem::weakly_canonical(end, ec);
  return ec ? end : resolved.string();
}

}  // namespace

std::size_t LongestName() {
#ifdef NAME_MAX
  return NAME_MAX;
#else
  return 255;
#endif
}

std::string FollowLinks(const std::string& path) {
  std::string current = path;
  for (int hop = 0; hop <= kMostLinks; ++hop) {
    struct stat st;
    if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
    // The size a link reports is only a hint (those under /proc report 64):
    // the buffer grows until the whole target fits.
    std::vector<char> buffer(static_cast<std::size_t>(st.st_size) + 256);
    ssize_t n = ::readlink(current.c_str(), buffer.data(), buffer.size());
    while (n >= 0 && static_cast<std::size_t>(n) == buffer.size() && buffer.size() < (1u << 20)) {
      buffer.resize(buffer.size() * 2);
      n = ::readlink(current.c_str(), buffer.data(), buffer.size());
    }
    if (n < 0 || static_cast<std::size_t>(n) == buffer.size()) return {};
    const std::filesystem::path target(std::string(buffer.data(), static_cast<std::size_t>(n)));
    current = target.is_absolute()
                  ? target.string()
                  : (std::filesystem::path(current).parent_path() / target).string();
  }
  return {};
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  const bool has_a = ::stat(a.c_str(), &sa) == 0;
  const bool has_b = ::stat(b.c_str(), &sb) == 0;
  if (has_a && has_b) {
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino && !IsSpecial(sa);
  }
  if (has_a || has_b) return false;
  return Resolved(a) == Resolved(b);
}

std::string BesideName(const std::string& file, const std::string& suffix) {
  const std::filesystem::path path(file);
  const std::string name = path.filename().string();
  if (name.size() + suffix.size() <= LongestName()) return file + suffix;
  // FNV-1a over the whole name: names that share the kept stem still differ.
  std::uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : name) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
  const std::size_t room = LongestName() - suffix.size() - 17;
  const std::string shorter = name.substr(0, room) + "~" + hex + suffix;
  return (path.parent_path() / shorter).string();
}

}  // namespace quill
