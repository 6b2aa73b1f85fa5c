// Numbers as text in the shortest form that reads back to the same value,
// bit for bit for floats and doubles (std::to_chars); integers in decimal.
#pragma once

#include <charconv>
#include <string>

namespace quill {

template <class T>
std::string ShortestText(T value) {
  char buffer[64];
  const std::to_chars_result r = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, r.ptr);
}

}  // namespace quill
