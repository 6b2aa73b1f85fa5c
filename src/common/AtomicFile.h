// A file that is written whole or not at all.
//
// The content goes to a new temporary file beside the destination
// ("NAME.tmp", or "NAME.tmp1" ... when that name is taken), which replaces the
// destination only when Commit succeeds. Until then the destination keeps
// what it held (or stays absent), and a temporary that was never committed is
// removed when the object goes, so a failed write leaves no partial file.
// The temporary is made only where no file of its name exists, so nothing
// else is ever overwritten by it.
#pragma once

#include <string>

namespace quill {

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
  // Moves the temporary over the destination; false (and the temporary
  // removed) when that fails.
  bool Commit();
  // Removes the temporary, if any, and leaves the destination as it was.
  void Discard();

 private:
  std::string destination_;
  std::string temp_;
  bool pending_ = false;
};

}  // namespace quill
