// Files written whole or not at all.
//
// The content goes to a new temporary file beside the destination
// ("NAME.tmp", or "NAME.tmp1" ... "NAME.tmp99" when that name is taken: the
// temporary is made only where no file of its name exists, so nothing else is
// ever overwritten by it), which is flushed, synced to disk and then renamed
// over the destination. Until then the destination keeps what it held (or
// stays absent), and a temporary that was never committed is removed, so a
// failed write leaves no partial file. The name of the temporary being
// written is kept where a signal handler can read it (PendingTemporaryFile),
// so that a process ended in the middle of a write can remove it first.
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
  // that does not exist or cannot be written, say).
  bool Reserve();
  // Where to write the content. REQUIRES: Reserve() returned true.
  const std::string& TempPath() const { return temp_; }
  const std::string& Destination() const { return destination_; }
  // Syncs the temporary to disk and moves it over the destination; false
  // (and the temporary removed) when that fails.
  bool Commit();
  // Removes the temporary, if any, and leaves the destination as it was.
  void Discard();

  // Removes the temporary files a process ended in the middle of a write to
  // `destination` left behind, except any that is one of the files `keep`
  // (a file the caller reads that happens to have such a name).
  static void RemoveLeftovers(const std::string& destination,
                              const std::vector<std::string>& keep = {});

 private:
  // The name of temporary number `attempt` beside `destination`.
  static std::string TempName(const std::string& destination, int attempt);
  static constexpr int kAttempts = 100;

  std::string destination_;
  std::string temp_;
  bool pending_ = false;
};

// Writes `path` with the content `write` puts into the stream. Returns false,
// leaving `path` as it was and removing the temporary file, when the file
// cannot be created, written, synced or renamed. An exception thrown by
// `write` propagates after the temporary file is removed.
bool WriteFileAtomically(const std::string& path, const std::function<void(std::ostream&)>& write);

// The temporary file being written at this moment, or null. Safe to call from
// a signal handler.
const char* PendingTemporaryFile();

}  // namespace quill
