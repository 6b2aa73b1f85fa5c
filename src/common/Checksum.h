// A 64-bit checksum of bytes, computed in one pass or piece by piece, so
// that a file can carry the checksum of its own content and a reader can
// tell an altered or torn copy from the one that was written.
//
// Every step is a bijection of the state, so a change confined to one 8-byte
// word (in particular any change of a single byte, or of a single bit) always
// changes the checksum; other changes go unnoticed with a chance of about
// 2^-64. Not a cryptographic hash: it detects damage, not tampering. The
// value depends only on the bytes, never on the machine (words are read as
// little-endian), and runs at several bytes per cycle.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quill {

class Checksum {
 public:
  Checksum();

  // Adds `bytes` after those added before.
  void Update(std::string_view bytes);
  // The checksum of every byte added so far; more may be added afterwards.
  std::uint64_t Value() const;

  // The checksum of `bytes`.
  static std::uint64_t Of(std::string_view bytes);

 private:
  static constexpr std::size_t kBlock = 32;  // four lanes of one word

  void Block(const unsigned char* bytes);

  std::uint64_t lanes_[4];
  std::uint64_t length_ = 0;
  unsigned char pending_[kBlock];
  std::size_t pending_size_ = 0;
};

}  // namespace quill
