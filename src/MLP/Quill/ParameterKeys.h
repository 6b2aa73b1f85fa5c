// The keys of the parameter file: one table that everything knowing the keys
// reads.
//
// Each row is one key: its name, the kind and range of its value, its default,
// whether it shapes the run's course (a resumed run must then match the
// checkpoint), its help text, the rule that reads its value, and the rule
// that gives its value back as text. The parameter-file reader, `Quill
// --help`, the parameter check (`Quill --check`), the run log's comment lines
// and the checkpoint's settings all walk this table, so a new key is a new
// row here plus the code that uses its value. Every row must have both rules:
// the table does not compile without them.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

struct QuillParameters;
class ParameterReader;

// What a key's value is, for the help and for programs that set keys from
// other values (the check's advice, the Python module).
enum class KeyKind {
  kPath,      // one word naming a file
  kPaths,     // one word naming a file, repeated once per data class
  kInteger,   // a 32-bit integer (base prefixes allowed)
  kReal,      // a real stored as a 32-bit float
  kDouble,    // a real stored as a double
  kWord,      // one of a few words
  kIntegers,  // a list of integers
};

struct ParameterKey {
  const char* name;  // as written in messages, e.g. "#DataClasses"
  KeyKind kind;
  const char* value;     // what the value is, for the help: "integer >= 1"
  const char* fallback;  // the default, for the help: "10.0", "required", "none"
  // The range a value is sensible in (the check reports values outside it);
  // both bounds are inclusive, and an absent bound does not limit.
  std::optional<double> lowest;
  std::optional<double> highest;
  // A resumed run must have the same value as the checkpoint it continues.
  bool shapes_run;
  // The run log lists the key's value among the run's parameters.
  bool logged;
  const char* description;  // one line for the help: what it sets
  // Reads the key's value, after its separator, into the parameters;
  // returns the message for a value that cannot be taken.
  std::optional<std::string> (*read)(const ParameterKey& key, ParameterReader& reader,
                                     QuillParameters& params);
  // The key's values as the parameter file takes them back, one per entry
  // (several for a repeated key); none when the key is absent or does not
  // apply.
  std::vector<std::string> (*values)(const QuillParameters& params);
};

// Every key, in the order the help, the run log and the checkpoint list them.
std::span<const ParameterKey> ParameterKeys();

// The row of `name` (any letter case), or null when no key has that name.
const ParameterKey* FindParameterKey(const std::string& name);

// The key's value as one text: its values joined by spaces, or "none" when
// it has none. Settings compared against a checkpoint are compared in this
// form.
std::string KeyValueText(const ParameterKey& key, const QuillParameters& params);
