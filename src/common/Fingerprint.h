// Content fingerprints: a 64-bit FNV-1a hash of bytes, so that a saved run
// can tell whether the files and settings it continues from are the ones it
// was saved with. Not a cryptographic hash: it detects changes, not tampering.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quill {

// The fingerprint of `bytes`.
std::uint64_t Fingerprint(std::string_view bytes);
// The fingerprint of the whole content of the file at `path`, or nothing
// when it cannot be read.
std::optional<std::uint64_t> FileFingerprint(const std::string& path);
// The fingerprint as 16 lower-case hexadecimal digits.
std::string FingerprintText(std::uint64_t fingerprint);

}  // namespace quill
