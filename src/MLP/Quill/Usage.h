// The text of `Quill --help` and `Quill --version`.
#pragma once

#include <string>

#include "MLP/Quill/ParameterKeys.h"

// What `Quill --help` prints: usage, the parameter-file keys (from the key
// table, each with its value, what it sets and its default), an example.
std::string QuillHelp();

// What `Quill --version` prints: "Quill <version>" and a line end.
std::string QuillVersion();
