// Files written whole or not at all, for every program.
//
// The destination is what its name leads to: a symbolic link is followed to
// the end of its chain, and the file there is replaced while the link stays.
// A regular file (or one that does not exist yet) is replaced whole: the
// content goes to a new temporary file beside it ("NAME.tmp", or "NAME.tmp1"
// ... "NAME.tmp99" when that name is taken; the temporary is made only where
// no file of its name exists, so nothing else is ever overwritten by it),
// which is flushed, synced to disk and then renamed over the destination.
// Until then the destination keeps what it held (or stays absent), and a
// temporary that was never committed is removed, so a failed write leaves no
// partial file. A FIFO or character device (a pipe, a terminal, /dev/null,
// /dev/stdout) is never replaced: the content is gathered in a temporary file
// of the system's temporary folder and written into it in place. Anything
// else (a folder, a block device, a socket) is refused.
//
// The names of the temporaries being written are kept where a signal handler
// can find them (RemovePendingTemporaryFiles), so that a process ended in the
// middle of a write can remove them first.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

namespace quill {

// One file to be replaced whole: Reserve, write TempPath, then Commit (or
// Discard, or let the object go). Several can be reserved and written before
// any is committed, so that a group of files appears only once all are
// written.
class AtomicFile {
 public:
  explicit AtomicFile(std::string destination);
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Creates the empty temporary file; false when none can be made (a folder
  // that does not exist or cannot be written, say) or the destination is
  // one that is never written (see Unwritable).
  bool Reserve();
  // Where to write the content. REQUIRES: Reserve() returned true.
  const std::string& TempPath() const { return temp_; }
  const std::string& Destination() const { return destination_; }
  // True when the destination is a FIFO or character device, which Commit
  // writes in place instead of replacing it. Known after Reserve().
  bool InPlace() const { return in_place_; }
  // Syncs the temporary to disk and moves it over the destination (or
  // copies it into a FIFO or device); false, the temporary removed, when
  // that fails.
  bool Commit();
  // Removes the temporary, if any, and leaves the destination as it was.
  void Discard();

  // Why a file can never be written at `path`, or empty: "it is a folder",
  // "it is a block device", "it is a socket", "its links form a loop", or
  // "its name is longer than the system allows".
  static std::string Unwritable(const std::string& path);

  // Removes the temporary files a process ended in the middle of a write to
  // `destination` left behind, except any that is one of the files `keep`
  // (a file the caller reads that happens to have such a name).
  static void RemoveLeftovers(const std::string& destination,
                              const std::vector<std::string>& keep = {});

 private:
  // The name of temporary number `attempt` beside `target`.
  static std::string TempName(const std::string& target, int attempt);
  static constexpr int kAttempts = 100;

  std::string destination_;  // as the caller named it
  std::string temp_;
  std::string target_;  // the file replaced: the end of the destination's links
  bool pending_ = false;
  bool in_place_ = false;
};

// Writes `path` with the content `write` puts into the stream. Returns false,
// leaving `path` as it was and removing the temporary file, when the file
// cannot be created, written, synced or renamed. An exception thrown by
// `write` propagates after the temporary file is removed.
bool WriteFileAtomically(const std::string& path, const std::function<void(std::ostream&)>& write);

// One of the temporary files being written at this moment, or null. Safe to
// call from a signal handler.
const char* PendingTemporaryFile();

// Removes every temporary file being written at this moment. Safe to call
// from a signal handler.
void RemovePendingTemporaryFiles();

}  // namespace quill
