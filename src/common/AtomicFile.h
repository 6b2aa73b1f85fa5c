// Writing a file whole or not at all.
//
// The content goes to a new file beside the destination (its name plus
// ".tmp", or ".tmp1" ... ".tmp99" when that exists: nothing existing is ever
// overwritten), which is flushed, synced to disk and then renamed over the
// destination, so the destination is at every moment either its previous
// complete content or the new complete content. The temporary file's name is
// kept where a signal handler can read it (PendingTemporaryFile), so that a
// process ended in the middle of a write can remove it first.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>

namespace quill {

// Writes `path` with the content `write` puts into the stream. Returns false,
// leaving `path` as it was and removing the temporary file, when the file
// cannot be created, written, synced or renamed. An exception thrown by
// `write` propagates after the temporary file is removed.
bool WriteFileAtomically(const std::string& path, const std::function<void(std::ostream&)>& write);

// The temporary file being written at this moment, or null. Safe to call from
// a signal handler.
const char* PendingTemporaryFile();

}  // namespace quill
