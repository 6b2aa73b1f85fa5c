#include "Tools/QuillPlot/ProgressSeries.h"

#include <cerrno>
#include <cstdlib>

#include "Tools/Common/ToolSupport.h"
#include "Tools/QuillData/CsvReader.h"

namespace quill::tools {

namespace {

std::vector<std::string> Fields(std::string_view line) {
  std::vector<std::string> fields;
  std::string field;
  bool after_comma = false;
  for (char c : line) {
    if (c == ' ' || c == '\t' || c == '\r') {
      if (!field.empty()) fields.push_back(std::move(field));
      field.clear();
    } else if (c == ',') {
      if (!field.empty() || after_comma) fields.push_back(std::move(field));
      field.clear();
      after_comma = true;
      continue;
    } else {
      field += c;
    }
    if (c != ' ' && c != '\t') after_comma = false;
  }
  if (!field.empty()) fields.push_back(std::move(field));
  return fields;
}

bool WholeNumber(const std::string& text, long* value) {
  if (text.empty() || text.size() > 15 ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  *value = std::stol(text);
  return true;
}

}  // namespace

std::vector<Series> ParseProgress(std::string_view text, const std::string& name, int column) {
  if (column < 2) throw UsageError("the error column is 2 or above: column 1 is the generation");
  std::vector<Series> runs;
  long line_number = 0;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    ++line_number;
    auto fail = [&](const std::string& reason) {
      throw ToolError(name + ":" + std::to_string(line_number) + ": " + reason);
    };
    if (line.find('\0') != std::string_view::npos) fail("a NUL byte (not a text file)");
    const std::vector<std::string> fields = Fields(line);
    long generation = 0;
    if (fields.empty() || !WholeNumber(fields[0], &generation)) continue;
    if (fields.size() < static_cast<std::size_t>(column)) {
      fail("no field " + std::to_string(column) + " (the error) after the generation");
    }
    const std::optional<double> error =
        ParseCsvNumber(fields[static_cast<std::size_t>(column - 1)]);
    if (!error) {
      fail("the error '" + fields[static_cast<std::size_t>(column - 1)] +
           "' is not a finite number");
    }
    if (runs.empty() || generation <= runs.back().generations.back()) runs.emplace_back();
    runs.back().generations.push_back(generation);
    runs.back().errors.push_back(*error);
  }
  if (runs.empty()) throw ToolError(name + ": no progress lines (generation and error)");
  for (std::size_t i = 0; i < runs.size(); ++i) {
    runs[i].label = runs.size() == 1 ? name : name + " (run " + std::to_string(i + 1) + ")";
  }
  return runs;
}

}  // namespace quill::tools
