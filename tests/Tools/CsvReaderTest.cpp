// The CSV reader: what it accepts, what it refuses (with the line), and a
// round trip of random tables through the writer's quoting.
#include <gtest/gtest.h>

#include <random>

#include "Tools/Common/ToolSupport.h"
#include "Tools/QuillData/CsvReader.h"

namespace {

using quill::tools::CsvTable;
using quill::tools::ParseCsv;

std::vector<std::vector<std::string>> Cells(const CsvTable& t) {
  std::vector<std::vector<std::string>> cells = {t.header};
  for (const auto& row : t.rows)
    cells.push_back(row.fields);
  return cells;
}

std::string ErrorOf(const std::string& text) {
  try {
    ParseCsv(text, "f.csv");
  } catch (const quill::tools::ToolError& e) {
    return e.what();
  }
  return "";
}

TEST(CsvReader, ReadsQuotesLineEndsBlankLinesAndTheByteOrderMark) {
  const CsvTable t = ParseCsv(
      "\xEF\xBB\xBF"
      "a, b ,\"c\"\r\n\r\n \"x, \"\"y\"\"\" ,2,\"two\nlines\"\n  \n3,,4",
      "f.csv");
  EXPECT_EQ(Cells(t), (std::vector<std::vector<std::string>>{
                          {"a", "b", "c"}, {"x, \"y\"", "2", "two\nlines"}, {"3", "", "4"}}));
  ASSERT_EQ(t.rows.size(), 2u);
  EXPECT_EQ(t.rows[0].line, 3);
  EXPECT_EQ(t.rows[1].line, 6);  // after the line end inside the quotes and a blank line
  EXPECT_EQ(Cells(ParseCsv("a;b\r1;2\r", "f.csv", ';')),
            (std::vector<std::vector<std::string>>{{"a", "b"}, {"1", "2"}}));
}

// A tab delimiter takes quoted fields as the others do: the tab is then no
// blank around a field. A preamble is skipped line by line; without a header
// the columns are numbered.
TEST(CsvReader, TabsQuotesPreamblesAndFilesWithoutHeader) {
  EXPECT_EQ(Cells(ParseCsv("\"a b\"\t\"c\"\n\"1\t2\"\t \"3\" \n\t\"x\"\n", "f.tsv", '\t')),
            (std::vector<std::vector<std::string>>{{"a b", "c"}, {"1\t2", "3"}, {"", "x"}}));
  quill::tools::CsvFormat format;
  format.skip_lines = 1;
  format.header = false;
  const CsvTable t = ParseCsv("506,13,\"open\n1,2\n3,4\n", "f.csv", format);
  EXPECT_EQ(Cells(t), (std::vector<std::vector<std::string>>{
                          {"column1", "column2"}, {"1", "2"}, {"3", "4"}}));
  EXPECT_EQ(t.rows[0].line, 2);
  format.header = true;
  EXPECT_EQ(Cells(ParseCsv("n\r\na\n1\n", "f.csv", format)),
            (std::vector<std::vector<std::string>>{{"a"}, {"1"}}));
  auto error = [](const std::string& text, const quill::tools::CsvFormat& f) -> std::string {
    try {
      ParseCsv(text, "f.csv", f);
    } catch (const quill::tools::ToolError& e) {
      return e.what();
    }
    return "";
  };
  format.skip_lines = 3;
  EXPECT_EQ(error("a\nb\n", format), "f.csv: fewer than the 3 lines to skip");
  format.skip_lines = 0;
  format.header = false;
  EXPECT_EQ(error("1,2\n3\n", format), "f.csv:2: the row has 1 fields, the first row 2");
}

TEST(CsvReader, RefusesWhatItCannotReadWithTheLine) {
  EXPECT_EQ(ErrorOf(""), "f.csv: no header row");
  EXPECT_EQ(ErrorOf("\n\n"), "f.csv: no header row");
  EXPECT_EQ(ErrorOf("a,b\n1,2\n\n1,2,3\n"), "f.csv:4: the row has 3 fields, the header 2");
  EXPECT_EQ(ErrorOf("a,b\n\"1\n2\",2\n3\n"), "f.csv:4: the row has 1 fields, the header 2");
  EXPECT_EQ(ErrorOf("a,b\n1,\"2\n"), "f.csv:2: a quoted field is not closed");
  EXPECT_EQ(ErrorOf("a,b\n\"1\"2,3\n"), "f.csv:2: text after the closing quote of a field");
  EXPECT_EQ(ErrorOf("a,b,a\n"), "f.csv:1: the column name 'a' appears twice");
  EXPECT_EQ(ErrorOf(std::string("a,b\n1,2\n\"3\0", 12)), "f.csv:3: a NUL byte (not a text file)");
}

TEST(CsvReader, NumbersAreFiniteDecimalReals) {
  for (const char* good : {"0", "-1.5", "+.5", "5.", "1e-3", "2E+10", "007"}) {
    EXPECT_TRUE(quill::tools::ParseCsvNumber(good).has_value()) << good;
  }
  EXPECT_EQ(*quill::tools::ParseCsvNumber("-1.25e2"), -125.0);
  for (const char* bad : {"", " 1", "1 ", "nan", "inf", "-Infinity", "0x10", "1e999", "1,5", "one",
                          "1e", "--1", "."}) {
    EXPECT_FALSE(quill::tools::ParseCsvNumber(bad).has_value()) << bad;
  }
}

// Random fields (delimiters, quotes, line ends, blanks, bytes above 0x7F)
// written with CsvField and random line ends read back as the same table.
TEST(CsvReader, WrittenFieldsReadBackForRandomTables) {
  std::mt19937 rng(2024);
  const std::string alphabet = "ab1.,;\"\n\r \t\xC3\xA9-";
  for (int round = 0; round < 300; ++round) {
    const char delimiter = round % 3 == 0 ? ';' : round % 3 == 1 ? '\t' : ',';
    const int columns = 1 + static_cast<int>(rng() % 4);
    const int rows = static_cast<int>(rng() % 5);
    std::vector<std::vector<std::string>> cells;
    for (int r = 0; r <= rows; ++r) {
      std::vector<std::string> row;
      for (int c = 0; c < columns; ++c) {
        std::string field;
        const int length = static_cast<int>(rng() % 6);
        for (int k = 0; k < length; ++k)
          field += alphabet[rng() % alphabet.size()];
        if (r == 0) field += "h" + std::to_string(c);    // distinct, non-empty names
        if (columns == 1 && field.empty()) field = "x";  // not a blank line
        row.push_back(field);
      }
      cells.push_back(row);
    }
    std::string text = round % 2 == 0 ? "\xEF\xBB\xBF" : "";
    for (const auto& row : cells) {
      for (int c = 0; c < columns; ++c)
        text +=
            (c > 0 ? std::string(1, delimiter) : "") + quill::tools::CsvField(row[c], delimiter);
      text += rng() % 2 == 0 ? "\r\n" : "\n";
      if (rng() % 4 == 0) text += "\n";
    }
    EXPECT_EQ(Cells(ParseCsv(text, "r.csv", delimiter)), cells) << text;
  }
}

}  // namespace
