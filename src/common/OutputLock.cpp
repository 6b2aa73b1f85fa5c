#include "common/OutputLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/FileIdentity.h"

namespace quill {
namespace {

// What a lock file holds; only a file that holds it is ever removed, so a
// file of the user's that happens to have the name is left alone.
constexpr char kMark[] = "Quill output lock\n";

bool HoldsMark(int fd) {
  char text[sizeof kMark] = {};
  const ssize_t n = ::pread(fd, text, sizeof kMark - 1, 0);
  return n == static_cast<ssize_t>(sizeof kMark - 1) && std::memcmp(text, kMark, n) == 0;
}

}  // namespace

std::string OutputLock::LockName(const std::string& path) {
  const std::string target = FollowLinks(path);
  return BesideName(target.empty() ? path : target, ".lock");
}

bool OutputLock::Acquire(const std::string& path) {
  Release();
  struct stat st;
  if (::stat(path.c_str(), &st) == 0 && (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode))) return true;
  const std::string name = LockName(path);
  // A run that ends releases by removing the file before letting the lock
  // go: a file locked here that is no longer the one under the name was
  // released meanwhile, and the lock is taken again on the new one.
  for (int attempt = 0; attempt < 100; ++attempt) {
    const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) return true;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const bool busy = errno == EWOULDBLOCK;
      ::close(fd);
      return !busy;
    }
    struct stat held, named;
    if (::fstat(fd, &held) == 0 && ::stat(name.c_str(), &named) == 0 &&
        held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
      if (held.st_size == 0) {
        [[maybe_unused]] const ssize_t w = ::write(fd, kMark, sizeof kMark - 1);
      }
      fd_ = fd;
      name_ = name;
      return true;
    }
    ::close(fd);
  }
  return false;
}

void OutputLock::Release() {
  if (fd_ < 0) return;
  // Only the lock file itself: never a file that has replaced it meanwhile.
  struct stat held, named;
  if (HoldsMark(fd_) && ::fstat(fd_, &held) == 0 && ::stat(name_.c_str(), &named) == 0 &&
      held.st_dev == named.st_dev && held.st_ino == named.st_ino)
    ::unlink(name_.c_str());
  ::close(fd_);
  fd_ = -1;
  name_.clear();
}

OutputLock::~OutputLock() {
  Release();
}

}  // namespace quill
