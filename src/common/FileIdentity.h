// Telling files apart by what they are, not by how they are spelt.
//
// Two names are the same file when they reach the same device and inode
// (through links, "." and "..", hard links); a file that does not exist yet
// is known by the path its links resolve to. Outputs are checked against
// inputs and against each other with SameFile before anything is written.
#pragma once

#include <string>

namespace quill {

// The path a chain of symbolic links starting at `path` ends at (`path`
// itself when it is no link); a relative link is taken from its own folder.
// The end may not exist yet (a dangling link). Empty when the chain is a loop
// or longer than the system follows.
std::string FollowLinks(const std::string& path);

// Whether `a` and `b` name the same regular file: the same device and inode
// when both exist, the same resolved path when neither does. FIFOs and
// devices are never the same file (reading and writing one destroys nothing).
bool SameFile(const std::string& a, const std::string& b);

// A name for a companion of `file` in its folder: `file` + `suffix`, or, when
// that would pass the longest name the system allows, a shortened stem of
// the name with a hash of the whole, so that every file has its own. Always
// the same for the same arguments.
std::string BesideName(const std::string& file, const std::string& suffix);

// The longest file name (one path component) this system takes.
std::size_t LongestName();

}  // namespace quill
