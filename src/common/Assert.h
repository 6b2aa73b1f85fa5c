// Program-wide assertion for internal faults.
//
// A failed assertion writes "Assertion failed: <expression>, file <unit>, line <n>"
// on standard error and aborts. Assertions mark bugs in our own code; input
// errors are reported with messages and exit status 1 instead.
//
// Each source file names its unit once, before using QUILL_ASSERT:
//   namespace { constexpr const char* kSourceUnit = "Bramble/Bramble10"; }
// The unit is the path of the source within src/ without its extension.
#pragma once

namespace quill {

// Writes the assertion message on standard error and aborts the process.
[[noreturn]] void AssertionFailed(const char* expression, const char* unit, int line);

}  // namespace quill

// Asserts `expr`, printing the expression as written.
#define QUILL_ASSERT(expr) QUILL_ASSERT_UNIT(expr, kSourceUnit)

// Asserts `expr`, naming the unit explicitly (for use in headers).
#define QUILL_ASSERT_UNIT(expr, unit) \
  ((expr) ? static_cast<void>(0) : ::quill::AssertionFailed(#expr, unit, __LINE__))

// Asserts `expr` but prints `text` as the expression, for the few checks whose
// printed form differs from the C++ that tests them.
#define QUILL_ASSERT_TEXT(expr, text) \
  ((expr) ? static_cast<void>(0) : ::quill::AssertionFailed(text, kSourceUnit, __LINE__))
