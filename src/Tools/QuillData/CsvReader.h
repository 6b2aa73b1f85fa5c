// Reading CSV files: a header row naming the columns, then one record per
// row.
//
// Fields are separated by the delimiter (a comma by default) and records by
// line ends (LF, CRLF or a lone CR). A field in double quotes may hold the
// delimiter, line ends and doubled quotes (""); blanks around it are ignored,
// any other text after its closing quote is an error. Blanks and tabs around
// an unquoted field are dropped (a tab that is the delimiter is no blank). A
// UTF-8 byte-order mark before the header and empty (or blank) lines anywhere
// are skipped. Every record must have as many fields as the header, and no
// column name may repeat. A number of lines before the header (a preamble)
// may be skipped, and a file without a header names its columns column1,
// column2 ...
//
// Errors throw ToolError "<name>:<line>: <reason>", the line being the one
// the record starts on (for a NUL byte, which no text holds, the line it
// stands on).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quill::tools {

struct CsvTable {
  struct Row {
    long line = 0;  // the line the record starts on, counting from 1
    std::vector<std::string> fields;
  };
  long header_line = 0;
  std::vector<std::string> header;
  std::vector<Row> rows;
};

// How a CSV file is laid out.
struct CsvFormat {
  char delimiter = ',';
  // Lines skipped before the header (or before the first row without one).
  long skip_lines = 0;
  // False: the first record is a row, and the columns are named column1,
  // column2 ... by the number of its fields.
  bool header = true;
};

// The delimiter a --delimiter option gives: one character, or "tab" (also
// written "\t"). Throws UsageError.
char DelimiterOption(const std::string& text);

// Parses CSV text; `name` is the file name used in messages.
CsvTable ParseCsv(std::string_view text, const std::string& name, const CsvFormat& format);
CsvTable ParseCsv(std::string_view text, const std::string& name, char delimiter = ',');
// Reads and parses a CSV file ("-" reads standard input).
CsvTable ReadCsvFile(const std::string& path, const CsvFormat& format);
CsvTable ReadCsvFile(const std::string& path, char delimiter = ',');
// The most bytes ReadTextInput takes from one file.
inline constexpr std::uint64_t kMaxTextBytes = std::uint64_t{1} << 30;

// The whole text of the file at `path`, or of standard input for "-", for
// the text readers of the companion programs. An input longer than
// kMaxTextBytes is refused (ToolError "<name>: ..."), a file at once, a
// stream once that much has been read; reading stops after a NUL byte, which
// the parsers refuse where it stands, so that /dev/zero ends at once.
std::string ReadTextInput(const std::string& path);

// The number a field holds: a decimal real such as 5, -0.25, 1e-3 or +.5,
// finite; nothing for any other text (empty, words, nan, inf, hexadecimal,
// magnitudes beyond a double).
std::optional<double> ParseCsvNumber(std::string_view field);

// The name of a column in messages: its heading, or "column <n>" for an
// empty heading.
std::string ColumnName(const CsvTable& table, std::size_t column);
// Throws ToolError "<name>:<line>: column <n> (<column name>): <reason>".
[[noreturn]] void FailAtField(const std::string& name, const CsvTable& table,
                              const CsvTable::Row& row, std::size_t column,
                              const std::string& reason);
// The number in a row's field (ParseCsvNumber); anything else fails with
// FailAtField: "no value" or "'<field>' is not a number".
double FieldNumber(const std::string& name, const CsvTable& table, const CsvTable::Row& row,
                   std::size_t column);

// A field as CSV writes it: quoted (with doubled quotes) when it holds the
// delimiter, a quote, a line end or blanks at either end.
std::string CsvField(const std::string& text, char delimiter = ',');

}  // namespace quill::tools
