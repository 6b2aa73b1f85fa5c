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

  // Writes the text form.
  void Print(std::ostream& out) const;
  void Print() const;
  void PrintLine() const;
  std::string ToString() const;

 private:
  std::string head;
  std::vector<Entry> entries;  // entries[0 .. count-1] are in use
  int capacity;
  int count;
};

// (error :type `type`); the caller adds further pairs.
std::unique_ptr<TKQstructure> KQMakeError(const std::string& type);
bool KQParseBool(const std::string& text);
long KQParseInt(const std::string& text);
double KQParseReal(const std::string& text);
long KQToInt(const std::string& text);
double KQToReal(const std::string& text);
// Words 1 .. count-1, each followed by one space.
std::string KQJoinWords(int count, const char* const* words);

// Parser over a NUL-terminated text; the cursor advances.
std::string KQNextToken(const char*& cursor, const char* specials);
void KQCheckWord(char c);
std::unique_ptr<TKQstructure> KQParse(const char*& cursor);
std::unique_ptr<TKQstructure> KQParseMessage(const char*& cursor);
