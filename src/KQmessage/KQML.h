// Nested named values in the style of KQML messages.
//
// A TKQstructure is a head word followed by pairs ":name value", where every
// value is again a structure; a structure without pairs is an atom standing
// for its head alone. Used for structured reports (file identification),
// parameter lists (error penalties) and exception payloads. Names are unique
// up to letter case. Text form: "(head :name value ...)" or "head".
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <vector>

class TKQstructure {
 public:
  // Thrown by the lookups and parsers when input does not fit. `report`
  // always has head "error" and a first pair "type".
  struct Error {
    explicit Error(const TKQstructure& r);
    // Takes over `r`. REQUIRES: r is not null.
    explicit Error(std::unique_ptr<TKQstructure> r);
    Error(const Error& other);
    Error& operator=(const Error& other);
    ~Error();
    std::unique_ptr<TKQstructure> report_ptr;
    const TKQstructure& report() const { return *report_ptr; }
  };

  struct Entry {
    std::string name;
    std::unique_ptr<TKQstructure> value;
  };

  // Head "unknown", 16 empty slots.
  TKQstructure();
  // Head `head`, 16 empty slots.
  explicit TKQstructure(const std::string& head);
  // Deep copies; the copy's capacity equals its count.
  TKQstructure(const TKQstructure& other);
  TKQstructure& operator=(const TKQstructure& other);
  ~TKQstructure();

  const std::string& Head() const { return head; }
  void SetHead(const std::string& text) { head = text; }
  int Count() const { return count; }
  int Capacity() const { return capacity; }
  // Entry at 0-based position i (0 <= i < Count()).
  const Entry& EntryAt(int i) const { return entries[static_cast<std::size_t>(i)]; }

  // Replaces the value of the entry whose name matches (ignoring case),
  // searching from the last; otherwise appends a new entry. REQUIRES: value.
  void Set(const std::string& name, std::unique_ptr<TKQstructure> value);
  void SetText(const std::string& name, const std::string& text);
  void SetInt(const std::string& name, long value);
  void SetReal(const std::string& name, double value);
  void SetBool(const std::string& name, bool value);

  // The value named `name`, or nullptr.
  TKQstructure* Find(const std::string& name) const;
  // The value named `name`; a missing name is an internal fault.
  TKQstructure* Get(const std::string& name) const;
  // The value named `name`; a missing name throws Error.
  TKQstructure* Require(const std::string& name) const;
  // Requires `name` and, unless `text` is empty, that its head equals `text`.
  void Expect(const std::string& name, const std::string& text) const;
  // Releases the first entry named `name`, moving the last entry into its slot.
  void Remove(const std::string& name);

  // Writes the text form on `out`.
  void Print(std::ostream& out) const;
  // Writes the text form on standard output.
  void Print() const;
  // Writes the text form and a line end on standard output.
  void PrintLine() const;
  // The text form.
  std::string ToString() const;

 private:
  std::string head;
  std::vector<Entry> entries;  // entries[0 .. count-1] are in use
  int capacity;
  int count;
};

// (error :type `type`); the caller adds further pairs.
std::unique_ptr<TKQstructure> KQMakeError(const std::string& type);
// True for "TRUE", false for "FALSE" (any case); otherwise throws
// (error :type type-error :expected boolean).
bool KQParseBool(const std::string& text);
// The decimal integer at the start of `text` (leading whitespace skipped,
// trailing characters ignored); throws (error :type invalid-message
// :integer-expected text) when there is none.
long KQParseInt(const std::string& text);
// The real number at the start of `text`; throws (error :type
// invalid-message :number-expected text) when there is none.
double KQParseReal(const std::string& text);
// As KQParseInt / KQParseReal, for texts the program itself produced: a text
// without a number is an internal fault.
long KQToInt(const std::string& text);
double KQToReal(const std::string& text);
// Words 1 .. count-1 (word 0 skipped), each followed by one space; empty when
// count <= 1.
std::string KQJoinWords(int count, const char* const* words);

// Parser over a NUL-terminated text; the cursor advances past what was read.
// Syntax errors are internal faults (assertions): the parser serves texts the
// program writes itself.

// Skips separators (every byte outside '!'..'~') and returns the next token:
// empty at the end of the text, one character of `specials`, or the longest
// run of other printable characters (a ':' inside a word does not end it).
std::string KQNextToken(const char*& cursor, const char* specials);
// Fails when `c`, the first character of a token that must be a word, is the
// end of the text or one of "():".
void KQCheckWord(char c);
// Parses one structure: a word (an atom) or "(head :name value ...)".
std::unique_ptr<TKQstructure> KQParse(const char*& cursor);
// KQParse, then requires that nothing but separators follows.
std::unique_ptr<TKQstructure> KQParseMessage(const char*& cursor);
