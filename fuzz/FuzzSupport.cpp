#include "FuzzSupport.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <streambuf>
#include <vector>

namespace quillfuzz {

namespace {

// A stream buffer that accepts and drops everything.
class NullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return traits_type::not_eof(c); }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

std::vector<std::string>& Scratch() {
  static std::vector<std::string> names;
  return names;
}

void RemoveScratch() {
  std::error_code ignored;
  for (const std::string& name : Scratch())
    std::filesystem::remove_all(name, ignored);
}

}  // namespace

void SilenceStreams() {
  static NullBuffer null;
  std::cout.rdbuf(&null);
  std::cerr.rdbuf(&null);
}

std::string ScratchPath(const std::string& name) {
  const char* dir = std::getenv("TMPDIR");
  std::string path = std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/quill_fuzz_" +
                     std::to_string(::getpid()) + "_" + name;
  if (Scratch().empty()) std::atexit(RemoveScratch);
  Scratch().push_back(path);
  return path;
}

void WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  if (!out) Violation("scratch file written", __FILE__, __LINE__);
}

void WriteFile(const std::string& path, const std::string& text) {
  WriteFile(path, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

void Violation(const char* expression, const char* file, int line) {
  std::fprintf(stderr, "Fuzz check failed: %s, %s:%d\n", expression, file, line);
  std::fflush(stderr);
  std::abort();
}

}  // namespace quillfuzz
