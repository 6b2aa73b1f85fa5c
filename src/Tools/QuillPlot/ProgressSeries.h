// Reading training progress: the series Quill prints ("generation error
// [fitness]" per line) or a run log (comment lines, a header row naming the
// columns, then one row per generation).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quill::tools {

struct Series {
  std::string label;
  std::vector<long> generations;
  std::vector<double> errors;
  // The validation error of the run whose training error the series before
  // it holds.
  bool validation = false;
};

// The header name of a run log's validation error column.
inline constexpr const char* kValidationColumn = "validation_error";

struct Progress {
  std::vector<Series> series;
  // The name the last header gave the column read, or empty.
  std::string column_name;
};

// Reads progress text (`name` is used in messages and labels). A line whose
// first field (fields are separated by blanks, tabs or commas) is a whole
// number is a data line: that number is the generation, and the field
// `column` names holds the value, which must be a finite number. `column` is
// a field number counting from 1 (the generation is field 1) or the name a
// header row gives it (a line whose first field is "generation"); empty reads
// field 2 and, when the header has a validation_error column, that column as
// a second series of each run (an empty validation field is no point). Other
// lines (comments, empty lines) are skipped. A generation that is not above
// the one before starts another run. Throws ToolError
// "<name>:<line>: <reason>" (also for a line holding a NUL byte, which no
// text holds), and when no data line is found; UsageError for a column number
// below 2. The text of a file is read with ReadTextInput
// (Tools/QuillData/CsvReader.h), which bounds it.
Progress ReadProgress(std::string_view text, const std::string& name,
                      const std::string& column = {});

// The training series of ReadProgress for field `column`.
std::vector<Series> ParseProgress(std::string_view text, const std::string& name, int column = 2);

}  // namespace quill::tools
