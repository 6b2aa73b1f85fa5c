#include "common/AtomicFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace quill {
namespace {

// The name of the temporary file being written, for a signal handler: set
// before the file is created, cleared once it is renamed or removed.
char g_pending[4096];
std::atomic<bool> g_has_pending{false};

void SetPending(const std::string& name) {
  if (name.size() >= sizeof g_pending) return;
  std::memcpy(g_pending, name.c_str(), name.size() + 1);
  g_has_pending.store(true);
}

void ClearPending() {
  g_has_pending.store(false);
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

bool WriteFileAtomically(const std::string& path, const std::function<void(std::ostream&)>& write) {
  std::string temp;
  for (int attempt = 0;; ++attempt) {
    temp = path + ".tmp" + (attempt > 0 ? std::to_string(attempt) : std::string());
    SetPending(temp);
    errno = 0;
    // "x": only where no file of that name exists.
    std::FILE* reserved = std::fopen(temp.c_str(), "wx");
    if (reserved != nullptr) {
      std::fclose(reserved);
      break;
    }
    ClearPending();
    if (errno != EEXIST || attempt == 99) return false;
  }
  auto discard = [&] {
    std::remove(temp.c_str());
    ClearPending();
  };

  bool written = false;
  {
    std::ofstream out(temp, std::ios::out | std::ios::trunc | std::ios::binary);
    if (out) {
      try {
        write(out);
      } catch (...) {
        out.close();
        discard();
        throw;
      }
      out.flush();
      out.close();
      written = !out.fail();
    }
  }
  if (!written || !Sync(temp, false)) {
    discard();
    return false;
  }
  std::error_code ec;
  std::filesystem::rename(temp, path, ec);
  if (ec) {
    discard();
    return false;
  }
  ClearPending();
  // The rename itself reaches the disk with the folder's entry.
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  Sync(folder.empty() ? std::string(".") : folder.string(), true);
  return true;
}

}  // namespace quill
