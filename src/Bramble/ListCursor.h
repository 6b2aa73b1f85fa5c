// The cursor rules of an indexed list, for the lists kept in arrays
// (MetaChrom, Chromosome): the cursor is the 1-based position of the entry
// most recently located, 0 when the list is empty. IndexedList applies the
// same rules to its linked nodes.
#pragma once

#include <cstdint>

namespace list_cursor {

// After appending to a list of `length_before` entries: an empty list's
// cursor lands on the new entry; otherwise it stays.
inline std::int32_t AfterAppend(std::int32_t cursor, std::int32_t length_before) {
  return length_before == 0 ? 1 : cursor;
}

// After inserting in front of `position` (1..length): a cursor behind it
// keeps its entry, one place up. Inserting at a later position locates that
// position first, so the cursor ends on the new entry there.
inline std::int32_t AfterInsert(std::int32_t cursor, std::int32_t position) {
  if (position != 1) return position;
  return cursor > 1 ? cursor + 1 : cursor;
}

// After removing `position` from a list of `length_before` entries: a removal
// in the middle leaves the cursor on the position before it; one at either
// end keeps the cursor on its entry, or moves it to the new end when it was
// on the removed entry.
inline std::int32_t AfterRemove(std::int32_t cursor, std::int32_t position,
                                std::int32_t length_before) {
  if (length_before == 1) return 0;
  if (position == 1) return cursor == 1 ? 1 : cursor - 1;
  if (position == length_before) return cursor == length_before ? length_before - 1 : cursor;
  return position - 1;
}

}  // namespace list_cursor
