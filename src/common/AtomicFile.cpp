#include "common/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <system_error>

#include "common/FileIdentity.h"

namespace quill {
namespace {

// The names of the temporary files being written, for a signal handler: a
// name is entered before its file is made and taken out once the file is
// renamed or removed. Slots come in chunks that are never freed, linked by
// atomic pointers, so a handler can walk them at any moment.
struct PendingChunk {
  static constexpr int kSlots = 64;
  std::atomic<const char*> names[kSlots] = {};
  std::atomic<PendingChunk*> next{nullptr};
};
PendingChunk g_first_chunk;
std::mutex g_chunks_mutex;

std::deque<PendingChunk>& MoreChunks() {
  static std::deque<PendingChunk> chunks;
  return chunks;
}

void EnterPending(const char* name) {
  std::lock_guard<std::mutex> lock(g_chunks_mutex);
  PendingChunk* chunk = &g_first_chunk;
  for (;;) {
    for (auto& slot : chunk->names) {
      if (slot.load() == nullptr) {
        slot.store(name);
        return;
      }
    }
    PendingChunk* next = chunk->next.load();
    if (next == nullptr) {
      next = &MoreChunks().emplace_back();
      chunk->next.store(next);
    }
    chunk = next;
  }
}

void LeavePending(const char* name) {
  std::lock_guard<std::mutex> lock(g_chunks_mutex);
  for (PendingChunk* chunk = &g_first_chunk; chunk != nullptr; chunk = chunk->next.load()) {
    for (auto& slot : chunk->names) {
      if (slot.load() == name) {
        slot.store(nullptr);
        return;
      }
    }
  }
}

// Syncs the file (or folder) at `path` to disk.
bool Sync(const std::string& path, bool folder) {
  const int fd = ::open(path.c_str(), folder ? O_RDONLY | O_DIRECTORY : O_RDONLY);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

bool IsSpecial(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode));
}

// Writes the whole of file `from` into the FIFO or device `to`.
bool CopyInto(const std::string& from, const std::string& to) {
  const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  const int out = ::open(to.c_str(), O_WRONLY | O_CLOEXEC);
  bool ok = out >= 0;
  char buffer[65536];
  while (ok) {
    const ssize_t n = ::read(in, buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      ok = errno == EINTR;
      continue;
    }
    for (ssize_t done = 0; ok && done < n;) {
      const ssize_t w = ::write(out, buffer + done, static_cast<std::size_t>(n - done));
      if (w < 0) {
        ok = errno == EINTR;
      } else {
        done += w;
      }
    }
  }
  if (out >= 0 && ::close(out) != 0) ok = false;
  ::close(in);
  return ok;
}

}  // namespace

const char* PendingTemporaryFile() {
  for (PendingChunk* chunk = &g_first_chunk; chunk != nullptr; chunk = chunk->next.load()) {
    for (auto& slot : chunk->names) {
      if (const char* name = slot.load()) return name;
    }
  }
  return nullptr;
}

void RemovePendingTemporaryFiles() {
  for (PendingChunk* chunk = &g_first_chunk; chunk != nullptr; chunk = chunk->next.load()) {
    for (auto& slot : chunk->names) {
      if (const char* name = slot.load()) ::unlink(name);
    }
  }
}

AtomicFile::AtomicFile(std::string destination) : destination_(std::move(destination)) {}

AtomicFile::~AtomicFile() {
  Discard();
}

std::string AtomicFile::Unwritable(const std::string& path) {
  const std::string target = FollowLinks(path);
  if (target.empty()) return "its links form a loop";
  struct stat st;
  if (::stat(target.c_str(), &st) == 0) {
    if (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode)) return {};
    if (S_ISDIR(st.st_mode)) return "it is a folder";
    if (S_ISBLK(st.st_mode)) return "it is a block device";
    if (S_ISSOCK(st.st_mode)) return "it is a socket";
  }
  if (std::filesystem::path(target).filename().string().size() > LongestName())
    return "its name is longer than the system allows";
  return {};
}

bool AtomicFile::Reserve() {
  Discard();
  if (!Unwritable(destination_).empty()) return false;
  in_place_ = IsSpecial(destination_);
  // Each name is entered before its file is made, so that a handler (in any
  // thread) never misses a file made, and taken out when none was.
  if (in_place_) {
    // Gathered where temporary files go: a device's folder is no place for it.
    std::error_code ec;
    temp_ = (std::filesystem::temp_directory_path(ec) / "quill-XXXXXX").string();
    EnterPending(temp_.c_str());
    const int fd = ::mkstemp(temp_.data());
    if (fd < 0) {
      LeavePending(temp_.c_str());
      return false;
    }
    ::close(fd);
    pending_ = true;
    return true;
  }
  target_ = FollowLinks(destination_);
  // O_EXCL creates the file only where no file of that name exists.
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    temp_ = TempName(target_, attempt);
    EnterPending(temp_.c_str());
    errno = 0;
    const int fd = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      ::close(fd);
      pending_ = true;
      return true;
    }
    const int error = errno;
    LeavePending(temp_.c_str());
    if (error != EEXIST) return false;
  }
  return false;
}

std::string AtomicFile::TempName(const std::string& target, int attempt) {
  return BesideName(target, ".tmp" + (attempt > 0 ? std::to_string(attempt) : std::string()));
}

void AtomicFile::RemoveLeftovers(const std::string& destination,
                                 const std::vector<std::string>& keep) {
  const std::string target = FollowLinks(destination);
  if (target.empty()) return;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    const std::string name = TempName(target, attempt);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(name, ec)) continue;
    bool kept = false;
    for (const std::string& file : keep)
      kept = kept || (!file.empty() && SameFile(name, file));
    if (!kept) std::filesystem::remove(name, ec);
  }
}

bool AtomicFile::Commit() {
  if (!pending_) return false;
  if (in_place_) {
    const bool ok = CopyInto(temp_, destination_);
    Discard();
    return ok;
  }
  if (!Sync(temp_, false)) {
    Discard();
    return false;
  }
  std::error_code ec;
  std::filesystem::rename(temp_, target_, ec);
  if (ec) {
    Discard();
    return false;
  }
  pending_ = false;
  LeavePending(temp_.c_str());
  // The rename itself reaches the disk with the folder's entry.
  const std::filesystem::path folder = std::filesystem::path(target_).parent_path();
  Sync(folder.empty() ? std::string(".") : folder.string(), true);
  return true;
}

void AtomicFile::Discard() {
  if (!pending_) return;
  std::remove(temp_.c_str());
  LeavePending(temp_.c_str());
  pending_ = false;
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
