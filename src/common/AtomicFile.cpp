#include "common/AtomicFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace quill {
namespace {

// The name of the temporary file being written, for a signal handler: set
// when it is created, cleared once it is renamed or removed.
char g_pending[4096];
std::atomic<bool> g_has_pending{false};

void SetPending(const std::string& name) {
  if (name.size() >= sizeof g_pending) return;
  g_has_pending.store(false);
  std::memcpy(g_pending, name.c_str(), name.size() + 1);
  g_has_pending.store(true);
}

void ClearPending(const std::string& name) {
  if (g_has_pending.load() && name == g_pending) g_has_pending.store(false);
}

// Syncs the file (or folder) at `path` to disk.
bool Sync(const std::string& path, bool folder) {
  const int fd = ::open(path.c_str(), folder ? O_RDONLY | O_DIRECTORY : O_RDONLY);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

}  // namespace

const char* PendingTemporaryFile() {
  return g_has_pending.load() ? g_pending : nullptr;
}

AtomicFile::AtomicFile(std::string destination) : destination_(std::move(destination)) {}

AtomicFile::~AtomicFile() {
  Discard();
}

bool AtomicFile::Reserve() {
  Discard();
  // "x" creates the file only where no file of that name exists.
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    std::string name = TempName(destination_, attempt);
    // Named before it exists, so that a handler never misses a file made.
    SetPending(name);
    errno = 0;
    std::FILE* reserved = std::fopen(name.c_str(), "wx");
    if (reserved != nullptr) {
      std::fclose(reserved);
      temp_ = std::move(name);
      pending_ = true;
      return true;
    }
    ClearPending(name);
    if (errno != EEXIST) return false;
  }
  return false;
}

std::string AtomicFile::TempName(const std::string& destination, int attempt) {
  return destination + ".tmp" + (attempt > 0 ? std::to_string(attempt) : std::string());
}

void AtomicFile::RemoveLeftovers(const std::string& destination,
                                 const std::vector<std::string>& keep) {
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    const std::string name = TempName(destination, attempt);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(name, ec)) continue;
    bool kept = false;
    for (const std::string& file : keep)
      kept = kept || std::filesystem::equivalent(name, file, ec);
    if (!kept) std::filesystem::remove(name, ec);
  }
}

bool AtomicFile::Commit() {
  if (!pending_) return false;
  std::error_code ec;
  if (!Sync(temp_, false)) {
    Discard();
    return false;
  }
  std::filesystem::rename(temp_, destination_, ec);
  if (ec) {
    Discard();
    return false;
  }
  pending_ = false;
  ClearPending(temp_);
  // The rename itself reaches the disk with the folder's entry.
  const std::filesystem::path folder = std::filesystem::path(destination_).parent_path();
  Sync(folder.empty() ? std::string(".") : folder.string(), true);
  return true;
}

void AtomicFile::Discard() {
  if (!pending_) return;
  std::remove(temp_.c_str());
  pending_ = false;
  ClearPending(temp_);
}

bool WriteFileAtomically(const std::string& path, const std::function<void(std::ostream&)>& write) {
  AtomicFile file(path);
  if (!file.Reserve()) return false;
  bool written = false;
  {
    std::ofstream out(file.TempPath(), std::ios::out | std::ios::trunc | std::ios::binary);
    if (out) {
      write(out);  // an exception removes the temporary with `file`
      out.flush();
      out.close();
      written = !out.fail();
    }
  }
  return written && file.Commit();
}

}  // namespace quill
