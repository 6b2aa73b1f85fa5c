#include "common/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace quill {

AtomicFile::AtomicFile(std::string destination) : destination_(std::move(destination)) {}

AtomicFile::~AtomicFile() {
  Discard();
}

bool AtomicFile::Reserve() {
  Discard();
  // "x" creates the file only where no file of that name exists.
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name =
        destination_ + ".tmp" + (attempt > 0 ? std::to_string(attempt) : std::string());
    errno = 0;
    std::FILE* reserved = std::fopen(name.c_str(), "wx");
    if (reserved != nullptr) {
      std::fclose(reserved);
      temp_ = std::move(name);
      pending_ = true;
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

bool AtomicFile::Commit() {
  if (!pending_) return false;
  std::error_code ec;
  std::filesystem::rename(temp_, destination_, ec);
  if (ec) {
    Discard();
    return false;
  }
  pending_ = false;
  return true;
}

void AtomicFile::Discard() {
  if (!pending_) return;
  std::remove(temp_.c_str());
  pending_ = false;
}

}  // namespace quill
