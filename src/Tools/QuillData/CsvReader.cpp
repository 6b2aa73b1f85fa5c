#include "Tools/QuillData/CsvReader.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>

#include "Tools/Common/ToolSupport.h"

namespace quill::tools {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// The name a column of a file without a header gets.
std::string NumberedColumn(std::size_t index) {
  return "column" + std::to_string(index + 1);
}

class CsvParser {
 public:
  CsvParser(std::string_view text, const std::string& name, char delimiter)
      : text_(text), name_(name), delimiter_(delimiter) {
    if (text_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;
  }

  // Skips `count` lines whatever they hold; false when the text has fewer.
  bool SkipLines(long count) {
    for (long k = 0; k < count; ++k) {
      while (pos_ < text_.size() && !AtLineEnd())
        ++pos_;
      if (pos_ >= text_.size()) return false;
      SkipLineEnd();
    }
    return true;
  }

  // Reads the next record; false at the end of the text. Blank lines are
  // skipped.
  bool Next(CsvTable::Row& row) {
    for (;;) {
      if (pos_ >= text_.size()) return false;
      row.line = line_;
      row.fields.clear();
      ReadRecord(row.fields);
      const bool blank = row.fields.size() == 1 && row.fields[0].empty() && !quoted_any_;
      if (!blank) return true;
    }
  }

  [[noreturn]] void Fail(long line, const std::string& reason) const {
    throw ToolError(name_ + ":" + std::to_string(line) + ": " + reason);
  }

  [[noreturn]] void FailNul() const { Fail(line_, "a NUL byte (not a text file)"); }

 private:
  bool AtLineEnd() const { return text_[pos_] == '\n' || text_[pos_] == '\r'; }
  // A blank around a field; a tab that separates fields is none.
  bool Blank(char c) const { return IsBlank(c) && c != delimiter_; }

  void SkipLineEnd() {
    if (text_[pos_] == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n') ++pos_;
    ++pos_;
    ++line_;
  }

  void ReadRecord(std::vector<std::string>& fields) {
    const long start = line_;
    quoted_any_ = false;
    for (;;) {
      std::string field;
      std::size_t p = pos_;
      while (p < text_.size() && Blank(text_[p]))
        ++p;
      if (p < text_.size() && text_[p] == '"') {
        quoted_any_ = true;
        pos_ = p + 1;
        ReadQuoted(field, start);
      } else {
        while (pos_ < text_.size() && text_[pos_] != delimiter_ && !AtLineEnd()) {
          if (text_[pos_] == '\0') FailNul();
          field += text_[pos_++];
        }
        const std::size_t first = field.find_first_not_of(" \t");
        field = first == std::string::npos
                    ? std::string()
                    : field.substr(first, field.find_last_not_of(" \t") - first + 1);
      }
      fields.push_back(std::move(field));
      if (pos_ >= text_.size()) return;
      if (text_[pos_] == delimiter_) {
        ++pos_;
        continue;
      }
      SkipLineEnd();
      return;
    }
  }

  // After the opening quote; leaves pos_ at the delimiter or line end.
  void ReadQuoted(std::string& field, long start) {
    for (;;) {
      if (pos_ >= text_.size()) Fail(start, "a quoted field is not closed");
      const char c = text_[pos_];
      if (c == '"') {
        if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '"') {
          field += '"';
          pos_ += 2;
          continue;
        }
        ++pos_;
        break;
      }
      if (c == '\n' || c == '\r') {
        field += c;
        if (c == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n') {
          field += '\n';
          ++pos_;
        }
        ++pos_;
        ++line_;
        continue;
      }
      if (c == '\0') FailNul();
      field += c;
      ++pos_;
    }
    while (pos_ < text_.size() && Blank(text_[pos_]))
      ++pos_;
    if (pos_ < text_.size() && text_[pos_] != delimiter_ && !AtLineEnd()) {
      Fail(line_, "text after the closing quote of a field");
    }
  }

  std::string_view text_;
  const std::string& name_;
  char delimiter_;
  std::size_t pos_ = 0;
  long line_ = 1;
  bool quoted_any_ = false;
};

}  // namespace

char DelimiterOption(const std::string& text) {
  if (text == "tab" || text == "\\t") return '\t';
  if (text.size() != 1) throw UsageError("the delimiter is one character (or 'tab')");
  return text[0];
}

CsvTable ParseCsv(std::string_view text, const std::string& name, const CsvFormat& format) {
  const char delimiter = format.delimiter;
  if (delimiter == '"' || delimiter == '\n' || delimiter == '\r') {
    throw UsageError("the delimiter cannot be a quote or a line end");
  }
  CsvParser parser(text, name, delimiter);
  if (!parser.SkipLines(format.skip_lines)) {
    throw ToolError(name + ": fewer than the " + std::to_string(format.skip_lines) +
                    " lines to skip");
  }
  CsvTable table;
  CsvTable::Row row;
  if (!parser.Next(row)) throw ToolError(name + (format.header ? ": no header row" : ": no rows"));
  table.header_line = row.line;
  if (!format.header) {
    for (std::size_t c = 0; c < row.fields.size(); ++c)
      table.header.push_back(NumberedColumn(c));
    table.header_line = 0;
    table.rows.push_back(std::move(row));
    row = CsvTable::Row();
  } else {
    table.header = std::move(row.fields);
  }
  std::set<std::string> seen;
  for (const std::string& column : table.header) {
    if (!column.empty() && !seen.insert(column).second) {
      parser.Fail(table.header_line, "the column name '" + column + "' appears twice");
    }
  }
  while (parser.Next(row)) {
    if (row.fields.size() != table.header.size()) {
      if (!format.header) {
        parser.Fail(row.line, "the row has " + std::to_string(row.fields.size()) +
                                  " fields, the first row " + std::to_string(table.header.size()));
      }
      parser.Fail(row.line, "the row has " + std::to_string(row.fields.size()) +
                                " fields, the header " + std::to_string(table.header.size()));
    }
    table.rows.push_back(std::move(row));
    row = CsvTable::Row();
  }
  return table;
}

CsvTable ParseCsv(std::string_view text, const std::string& name, char delimiter) {
  CsvFormat format;
  format.delimiter = delimiter;
  return ParseCsv(text, name, format);
}

std::string ReadTextInput(const std::string& path) {
  const std::string name = path == "-" ? "standard input" : path;
  const std::string too_long =
      name + ": longer than 1 GiB, more than a text input of this program may hold";
  std::ifstream file;
  std::istream* in = &std::cin;
  if (path != "-") {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) throw ToolError(path + ": no such file");
    if (std::filesystem::is_directory(path, ec)) throw ToolError(path + ": is a folder");
    if (std::filesystem::is_regular_file(path, ec) &&
        std::filesystem::file_size(path, ec) > kMaxTextBytes && !ec) {
      throw ToolError(too_long);
    }
    file.open(path, std::ios::binary);
    if (!file) throw ToolError(path + ": cannot be opened");
    in = &file;
  }
  std::string text;
  constexpr std::size_t kPiece = 1 << 16;
  for (;;) {
    const std::size_t had = text.size();
    text.resize(had + kPiece);
    in->read(text.data() + had, kPiece);
    const auto got = static_cast<std::size_t>(in->gcount());
    text.resize(had + got);
    if (text.find('\0', had) != std::string::npos || got < kPiece) break;
    if (text.size() > kMaxTextBytes) throw ToolError(too_long);
  }
  if (in->bad()) throw ToolError(name + ": cannot be read");
  return text;
}

CsvTable ReadCsvFile(const std::string& path, const CsvFormat& format) {
  return ParseCsv(ReadTextInput(path), path == "-" ? "standard input" : path, format);
}

CsvTable ReadCsvFile(const std::string& path, char delimiter) {
  CsvFormat format;
  format.delimiter = delimiter;
  return ReadCsvFile(path, format);
}

std::optional<double> ParseCsvNumber(std::string_view field) {
  if (field.empty() || field.size() > 400) return std::nullopt;
  // Decimal reals only: strtod would also take hexadecimal numbers, nan and
  // infinities, and blanks before the number.
  for (char c : field) {
    const bool allowed =
        (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E';
    if (!allowed) return std::nullopt;
  }
  const std::string text(field);
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(text.c_str(), &end);
  if (end != text.c_str() + text.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::string ColumnName(const CsvTable& table, std::size_t column) {
  return table.header[column].empty() ? "column " + std::to_string(column + 1)
                                      : table.header[column];
}

void FailAtField(const std::string& name, const CsvTable& table, const CsvTable::Row& row,
                 std::size_t column, const std::string& reason) {
  throw ToolError(name + ":" + std::to_string(row.line) + ": column " + std::to_string(column + 1) +
                  " (" + ColumnName(table, column) + "): " + reason);
}

double FieldNumber(const std::string& name, const CsvTable& table, const CsvTable::Row& row,
                   std::size_t column) {
  const std::string& field = row.fields[column];
  const std::optional<double> value = ParseCsvNumber(field);
  if (!value) {
    FailAtField(name, table, row, column,
                field.empty() ? "no value" : "'" + field + "' is not a number");
  }
  return *value;
}

std::string CsvField(const std::string& text, char delimiter) {
  const bool quote = text.find_first_of(std::string("\"\r\n") + delimiter) != std::string::npos ||
                     (!text.empty() && (IsBlank(text.front()) || IsBlank(text.back())));
  if (!quote) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

}  // namespace quill::tools
