// Fuzz target: CSV files, as quill-data from-csv reads them.
//
// The input is parsed as CSV. A table that parses is written back field by
// field (quoted where needed) and must parse to the same header and rows;
// every field goes through the number reader, and the table is imported with
// its last column as the target, which may fail only with the programs' own
// errors.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "Tools/Common/ToolSupport.h"
#include "Tools/QuillData/CsvImport.h"
#include "Tools/QuillData/CsvReader.h"

namespace {

using quill::tools::CsvTable;

std::string Encode(const CsvTable& table) {
  auto line = [](const std::vector<std::string>& fields) {
    std::string text;
    for (std::size_t i = 0; i < fields.size(); ++i)
      text += (i > 0 ? "," : "") + quill::tools::CsvField(fields[i]);
    return text + "\n";
  };
  std::string text = line(table.header);
  for (const CsvTable::Row& row : table.rows)
    text += line(row.fields);
  return text;
}

// A row that reads back as a blank line (one empty field) is skipped by the
// reader, so such tables are not compared.
bool HasBlankRow(const CsvTable& table) {
  if (table.header.size() != 1) return false;
  if (table.header[0].empty()) return true;
  for (const CsvTable::Row& row : table.rows) {
    if (row.fields[0].empty()) return true;
  }
  return false;
}

// A byte-order mark is skipped only at the very start of a file: a first
// column name that begins with one (after blank lines) would lose it.
bool HeaderStartsWithMark(const CsvTable& table) {
  return !table.header.empty() && table.header[0].rfind("\xEF\xBB\xBF", 0) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool silenced = (quillfuzz::SilenceStreams(), true);
  (void)silenced;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  CsvTable table;
  try {
    table = quill::tools::ParseCsv(text, "input.csv");
  } catch (const quill::tools::ToolError&) {
    return 0;
  }
  for (const CsvTable::Row& row : table.rows) {
    FUZZ_CHECK(row.fields.size() == table.header.size());
    for (const std::string& field : row.fields)
      (void)quill::tools::ParseCsvNumber(field);
  }
  if (!HasBlankRow(table) && !HeaderStartsWithMark(table)) {
    const CsvTable again = quill::tools::ParseCsv(Encode(table), "written.csv");
    FUZZ_CHECK(again.header == table.header);
    FUZZ_CHECK(again.rows.size() == table.rows.size());
    for (std::size_t r = 0; r < again.rows.size(); ++r)
      FUZZ_CHECK(again.rows[r].fields == table.rows[r].fields);
  }
  quill::tools::ImportOptions options;
  options.prefix = "out";
  options.targets = {std::to_string(table.header.size())};
  options.test_fraction = 0.25;
  try {
    const quill::tools::ImportResult result = quill::tools::ImportCsv(table, "input.csv", options);
    FUZZ_CHECK(!result.files.empty());
  } catch (const quill::tools::ToolError&) {
  } catch (const quill::tools::UsageError&) {
  }
  return 0;
}
