// Forced into every translation unit of the fuzz build (-include).
//
// clang 14 with a newer libstdc++ has no std::source_location: the library
// provides it only when the compiler has __builtin_source_location, which
// arrived in clang 15. clang 14 does have the older builtins, so the fuzz
// build supplies the class from them (constexpr: clang 14 rejects a consteval
// function in a default argument). The product build is untouched.
#pragma once

#include <version>

#if defined(__cplusplus) && !defined(__cpp_lib_source_location)
#include <cstdint>
#include <source_location>

namespace std {
struct source_location {
  static constexpr source_location current(std::uint_least32_t line = __builtin_LINE(),
                                           std::uint_least32_t column = __builtin_COLUMN(),
                                           const char* file = __builtin_FILE(),
                                           const char* function = __builtin_FUNCTION()) noexcept {
    source_location where;
    where.line_ = line;
    where.column_ = column;
    where.file_ = file;
    where.function_ = function;
    return where;
  }
  constexpr source_location() noexcept = default;
  constexpr std::uint_least32_t line() const noexcept { return line_; }
  constexpr std::uint_least32_t column() const noexcept { return column_; }
  constexpr const char* file_name() const noexcept { return file_; }
  constexpr const char* function_name() const noexcept { return function_; }

 private:
  std::uint_least32_t line_ = 0;
  std::uint_least32_t column_ = 0;
  const char* file_ = "";
  const char* function_ = "";
};
}  // namespace std
#endif
