#include "Tools/QuillPlot/ProgressSeries.h"

#include <algorithm>
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

// A field number of at most 9 digits, or 0.
long FieldNumber(const std::string& text) {
  long value = 0;
  if (text.size() > 9 || !WholeNumber(text, &value)) return 0;
  return value;
}

}  // namespace

Progress ReadProgress(std::string_view text, const std::string& name, const std::string& column) {
  const bool numbered =
      !column.empty() && column.find_first_not_of("0123456789") == std::string::npos;
  const long number = column.empty() ? 2 : numbered ? FieldNumber(column) : 0;
  if (numbered && number < 2) {
    throw UsageError("the error column is 2 or above: column 1 is the generation");
  }
  Progress progress;
  std::vector<std::string> header;
  // Field positions (counting from 0) of the value and of the validation
  // error; -1 where there is none.
  long at = number >= 2 ? number - 1 : -1;
  long validation_at = -1;
  std::vector<std::pair<Series, Series>> runs;
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
    if (fields.empty()) continue;
    if (!WholeNumber(fields[0], &generation)) {
      if (fields[0] != "generation") continue;
      header = fields;
      auto find = [&](const std::string& wanted) -> long {
        const auto it = std::find(header.begin(), header.end(), wanted);
        return it == header.end() ? -1 : static_cast<long>(it - header.begin());
      };
      if (number == 0) {
        at = find(column);
        if (at < 0) fail("the header has no column '" + column + "'");
      }
      validation_at = column.empty() ? find(kValidationColumn) : -1;
      if (at >= 0 && static_cast<std::size_t>(at) < header.size()) {
        progress.column_name = header[static_cast<std::size_t>(at)];
      }
      continue;
    }
    if (at < 0) fail("no header row names the column '" + column + "' before this line");
    if (fields.size() <= static_cast<std::size_t>(at)) {
      fail("no field " + std::to_string(at + 1) + " (the error) after the generation");
    }
    const std::string& field = fields[static_cast<std::size_t>(at)];
    const std::optional<double> error = ParseCsvNumber(field);
    if (!error) fail("the error '" + field + "' is not a finite number");
    if (runs.empty() || generation <= runs.back().first.generations.back()) runs.emplace_back();
    runs.back().first.generations.push_back(generation);
    runs.back().first.errors.push_back(*error);
    if (validation_at >= 0 && static_cast<std::size_t>(validation_at) < fields.size() &&
        !fields[static_cast<std::size_t>(validation_at)].empty()) {
      const std::string& v = fields[static_cast<std::size_t>(validation_at)];
      const std::optional<double> value = ParseCsvNumber(v);
      if (!value) fail("the validation error '" + v + "' is not a finite number");
      runs.back().second.generations.push_back(generation);
      runs.back().second.errors.push_back(*value);
    }
  }
  if (runs.empty()) throw ToolError(name + ": no progress lines (generation and error)");
  for (std::size_t i = 0; i < runs.size(); ++i) {
    Series& training = runs[i].first;
    training.label = runs.size() == 1 ? name : name + " (run " + std::to_string(i + 1) + ")";
    progress.series.push_back(training);
    if (!runs[i].second.errors.empty()) {
      Series& validation = runs[i].second;
      validation.label = training.label;
      validation.validation = true;
      progress.series.push_back(validation);
    }
  }
  return progress;
}

std::vector<Series> ParseProgress(std::string_view text, const std::string& name, int column) {
  if (column < 2) throw UsageError("the error column is 2 or above: column 1 is the generation");
  return ReadProgress(text, name, std::to_string(column)).series;
}

}  // namespace quill::tools
