// Reading training progress: the series Quill prints ("generation error
// [fitness]" per line) or a run log holding the same columns.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quill::tools {

struct Series {
  std::string label;
  std::vector<long> generations;
  std::vector<double> errors;
};

// Reads progress text (`name` is used in messages and labels). A line whose
// first field (fields are separated by blanks, tabs or commas) is a whole
// number is a data line: that number is the generation and field `column`
// (counting from 1) the lowest error, which must be a finite number. Other
// lines (headings, comments, empty lines) are skipped. A generation that is
// not above the one before starts another run. Throws ToolError
// "<name>:<line>: <reason>" (also for a line holding a NUL byte, which no
// text holds), and when no data line is found. The text of a file is read
// with ReadTextInput (Tools/QuillData/CsvReader.h), which bounds it.
std::vector<Series> ParseProgress(std::string_view text, const std::string& name, int column = 2);

}  // namespace quill::tools
