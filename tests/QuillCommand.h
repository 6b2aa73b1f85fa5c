// The shell command that starts the Quill program in tests that run it.
//
// QUILL_RUN_PREFIX, when set, is put in front of the program: CI sets it to
// "valgrind --error-exitcode=99 --leak-check=full -q" so that every run of
// the program is checked for memory errors and leaks (a finding changes the
// exit status to 99 and adds the report to standard error, and the test
// fails).
#pragma once

#include <cstdlib>
#include <string>

inline std::string QuillCommand() {
  const char* prefix = std::getenv("QUILL_RUN_PREFIX");
  std::string command = prefix != nullptr ? std::string(prefix) + " " : std::string();
  return command + "'" + QUILL_BINARY + "'";
}
