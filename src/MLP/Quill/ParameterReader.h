// Reading a parameter file word by word: what the key table's reading rules
// use, and what the parameter check learns from a reading.
//
// The rules are the file's long-standing ones: a word equal to a key (any
// letter case) is followed by one separator character, any non-whitespace
// character, and then its value; every other word is skipped on its own; a
// number is read up to the first character that does not belong to it, and
// the rest of its word is then skipped as a word. The reader can also record
// what it met (ReadEvent), so that the check can show where a file is read
// differently from what its writer probably meant; recording changes nothing
// in how the file is read.
#pragma once

#include <cstdint>
#include <ios>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

struct ParameterKey;

// One thing the reader met, at a byte offset of the file.
struct ReadEvent {
  enum class Kind {
    kKey,            // a key (text: the word as written)
    kSkipped,        // a word that is not a key, skipped (text: the word)
    kSeparator,      // the separator after a key (text: the character)
    kPartialNumber,  // a number read only up to `text` (the value as read);
                     // the rest of its word follows as a skipped word
  };
  Kind kind;
  std::int64_t at;   // offset of the word, separator or number
  std::int64_t end;  // offset just after what was read of it
  std::string text;
  const ParameterKey* key = nullptr;  // the key read, or whose value this is
};

class ParameterReader {
 public:
  // Reads from `in`; when `events` is given, records what it meets there.
  ParameterReader(std::istream& in, std::vector<ReadEvent>* events);
  ~ParameterReader();
  ParameterReader(const ParameterReader&) = delete;
  ParameterReader& operator=(const ParameterReader&) = delete;

  // The next word; false at the end of the stream.
  bool NextWord(std::string& word);
  // Records that `word` (just read) is the key `key`, or was skipped.
  void KeyFound(const std::string& word, const ParameterKey& key);
  void WordSkipped(const std::string& word);

  // Reads the separator after `key`: the next non-whitespace character,
  // whatever it is.
  bool Separator(const ParameterKey& key);
  // Each reads one value of `key` and returns "Invalid or missing value for
  // <key>" when it cannot. Integers take base prefixes (010 is 8, 0x10 is
  // 16); reals beyond the float range are kept as plus or minus the largest
  // float; doubles must be finite.
  std::optional<std::string> Integer(const ParameterKey& key, std::int32_t& value);
  std::optional<std::string> Real(const ParameterKey& key, float& value);
  std::optional<std::string> Double(const ParameterKey& key, double& value);
  // One word of at most `limit` characters ("<key> longer than <limit>
  // characters" beyond it).
  std::optional<std::string> Word(const ParameterKey& key, std::size_t limit, std::string& word);
  // One integer of a list; false when none can be read.
  bool ListInteger(const ParameterKey& key, std::int32_t& value);

  // What the reading rules remember between keys.
  bool data_classes_given = false;
  bool features_read = false;

  // "Invalid or missing value for <key>".
  static std::string BadValue(const ParameterKey& key);

  bool Failed() const;

 private:
  void Record(ReadEvent::Kind kind, std::int64_t at, std::string text, const ParameterKey* key,
              std::int64_t end = -1);
  std::int64_t Offset();
  // After a number was read: records a number whose word goes on.
  void CheckNumberEnd(const ParameterKey& key, std::int64_t at, const std::string& text);

  std::istream& in_;
  std::vector<ReadEvent>* events_;
  std::int64_t word_at_ = 0;
  std::ios_base::fmtflags flags_;
};
