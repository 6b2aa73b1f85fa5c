// Case-insensitive comparison used for every key, keyword and name.
#pragma once

namespace quill {

// Compares the upper-cased bytes of `a` and `b` as unsigned values.
// Returns -1, 0 or 1. Both texts must be NUL-terminated.
int strcasecmp(const char* a, const char* b);

}  // namespace quill
