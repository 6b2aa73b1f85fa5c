#include "Tools/QuillData/ScalingFile.h"

#include <algorithm>
#include <set>
#include <sstream>

#include "Tools/Common/ToolSupport.h"
#include "Tools/QuillData/CsvReader.h"

namespace quill::tools {

namespace {

const std::vector<std::string> kHeader = {"role", "column", "subtract", "divide"};
const std::vector<std::string> kOlderHeader = {"column", "subtract", "divide"};

// A scaling read from fields `at` and `at + 1` of the row: a divisor of 0
// would make every value infinite.
ColumnScale ScaleAt(const std::string& name, const CsvTable& table, const CsvTable::Row& row,
                    const std::string& column, std::size_t at) {
  ColumnScale s{column, FieldNumber(name, table, row, at), FieldNumber(name, table, row, at + 1)};
  if (s.divide == 0.0) FailAtField(name, table, row, at + 1, "a divisor of 0");
  return s;
}

}  // namespace

std::size_t ScalingRecord::Outputs() const {
  switch (kind) {
    case Kind::kClasses:
      return class_names.size();
    case Kind::kRegression:
      return targets.size();
    case Kind::kUnknown:
      break;
  }
  return 0;
}

std::string ScalingText(const ScalingRecord& record) {
  std::ostringstream text;
  text << "role,column,subtract,divide\n";
  auto scaled = [&](const char* role, const ColumnScale& s) {
    text << role << ',' << CsvField(s.column) << ',' << ShortestNumber(s.subtract) << ','
         << ShortestNumber(s.divide) << '\n';
  };
  for (const ColumnScale& s : record.inputs)
    scaled("input", s);
  if (record.kind == ScalingRecord::Kind::kClasses) {
    text << "target," << CsvField(record.class_column) << ",,\n";
    for (const std::string& c : record.class_names)
      text << "class," << CsvField(c) << ",,\n";
  } else if (record.kind == ScalingRecord::Kind::kRegression) {
    for (const ColumnScale& s : record.targets)
      scaled("target", s);
  }
  return text.str();
}

ScalingRecord ParseScaling(std::string_view text, const std::string& name) {
  const CsvTable table = ParseCsv(text, name);
  ScalingRecord record;
  if (table.header == kOlderHeader) {
    for (const CsvTable::Row& row : table.rows)
      record.inputs.push_back(ScaleAt(name, table, row, row.fields[0], 1));
  } else if (table.header == kHeader) {
    std::set<std::string> inputs, targets, classes;
    for (const CsvTable::Row& row : table.rows) {
      const std::string& role = row.fields[0];
      const std::string& column = row.fields[1];
      if (column.empty()) FailAtField(name, table, row, 1, "no column name");
      const bool unscaled = row.fields[2].empty() && row.fields[3].empty();
      if (role == "input") {
        if (!inputs.insert(column).second) {
          FailAtField(name, table, row, 1, "the input '" + column + "' is recorded twice");
        }
        record.inputs.push_back(ScaleAt(name, table, row, column, 2));
      } else if (role == "target") {
        if (record.kind == ScalingRecord::Kind::kClasses ||
            (unscaled && record.kind == ScalingRecord::Kind::kRegression)) {
          FailAtField(name, table, row, 0, "a class column is the only target");
        }
        if (!targets.insert(column).second) {
          FailAtField(name, table, row, 1, "the target '" + column + "' is recorded twice");
        }
        if (unscaled) {
          record.kind = ScalingRecord::Kind::kClasses;
          record.class_column = column;
        } else {
          record.kind = ScalingRecord::Kind::kRegression;
          record.targets.push_back(ScaleAt(name, table, row, column, 2));
        }
      } else if (role == "class") {
        if (record.kind != ScalingRecord::Kind::kClasses) {
          FailAtField(name, table, row, 0, "a class before the row of its class column (target)");
        }
        if (!unscaled) FailAtField(name, table, row, 2, "a class has no scaling");
        if (!classes.insert(column).second) {
          FailAtField(name, table, row, 1, "the class '" + column + "' is recorded twice");
        }
        record.class_names.push_back(column);
      } else {
        FailAtField(name, table, row, 0,
                    "the role '" + role + "' is none of input, target and class");
      }
    }
    if (record.kind == ScalingRecord::Kind::kClasses && record.class_names.empty()) {
      throw ToolError(name + ": the class column '" + record.class_column + "' has no classes");
    }
  } else {
    throw ToolError(name +
                    ": a recorded scaling has the columns role,column,subtract,divide (or "
                    "column,subtract,divide)");
  }
  if (record.inputs.empty()) throw ToolError(name + ": the recorded scaling has no column");
  return record;
}

ScalingRecord ReadScaling(const std::string& path) {
  return ParseScaling(ReadTextInput(path), path == "-" ? "standard input" : path);
}

}  // namespace quill::tools
