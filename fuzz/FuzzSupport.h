// Helpers shared by the fuzz targets.
//
// A target feeds one input to a reader and checks what the reader promises:
// it either accepts the input or ends with its own error, and what it accepts
// is consistent. A broken promise stops the run through FUZZ_CHECK, which
// libFuzzer reports as a crash and keeps the input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quillfuzz {

// Sends std::cout and std::cerr nowhere: every rejected input would print its
// message. Assertions and sanitizer reports write to file descriptor 2 and
// stay visible.
void SilenceStreams();

// A file or folder name private to this process in $TMPDIR (or /tmp);
// removed at exit.
std::string ScratchPath(const std::string& name);

// Creates or truncates `path` with exactly the given bytes.
void WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size);
void WriteFile(const std::string& path, const std::string& text);

// Prints what went wrong and aborts.
[[noreturn]] void Violation(const char* expression, const char* file, int line);

}  // namespace quillfuzz

#define FUZZ_CHECK(expr) \
  ((expr) ? static_cast<void>(0) : ::quillfuzz::Violation(#expr, __FILE__, __LINE__))
