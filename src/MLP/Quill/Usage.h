// The keys of the parameter file and the text of `Quill --help`.
//
// ParameterKeys is the one list of keys: the parameter-file reader
// recognises exactly these words (in any letter case) and the help prints
// each with its value and default. A new key goes into this table.
#pragma once

#include <string>
#include <vector>

struct ParameterKey {
  const char* name;         // as written in messages, e.g. "#DataClasses"
  const char* value;        // what the value is, e.g. "integer >= 1"
  const char* description;  // one line: what it sets, and its default
};

// Every parameter-file key, in the order the help lists them.
const std::vector<ParameterKey>& ParameterKeys();

// What `Quill --help` prints: usage, the parameter-file keys, an example.
std::string QuillHelp();

// What `Quill --version` prints: "Quill <version>" and a line end.
std::string QuillVersion();
