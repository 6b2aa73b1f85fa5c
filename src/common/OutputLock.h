// An advisory lock on a file a run writes for the whole of the run, so that
// a second run on the same log, checkpoint or destination is refused before
// it writes anything.
//
// Outputs are replaced by rename, so a lock on the file itself would not
// outlive the first write. The lock is taken instead on a lock file beside
// the output ("NAME.lock"), made when missing and removed when the lock is
// released. The lock is the kernel's (flock): a run that is killed loses it
// at once and never blocks the next one; the file it leaves is taken over
// and removed by the next run. FIFOs and devices take no lock.
#pragma once

#include <string>

namespace quill {

class OutputLock {
 public:
  OutputLock() = default;
  // Releases the lock.
  ~OutputLock();
  OutputLock(const OutputLock&) = delete;
  OutputLock& operator=(const OutputLock&) = delete;

  // Takes the lock of the output `path` (its links followed); false when
  // another process holds it. True without a lock for a FIFO or device, and
  // when no lock file can be made (a folder that cannot be written: the
  // write itself is refused then).
  bool Acquire(const std::string& path);
  // Removes the lock file and lets the lock go.
  void Release();

  // The lock file of the output `path`.
  static std::string LockName(const std::string& path);

 private:
  int fd_ = -1;
  std::string name_;
};

}  // namespace quill
