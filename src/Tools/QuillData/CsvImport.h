// Turning a CSV table into what Quill trains on (`quill-data from-csv`): one
// data-set file per class with one-hot expected outputs, or one data-set file
// of numeric targets for regression; optionally scaled inputs, a held-out
// test split, and a parameter-file fragment naming the training files.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Tools/QuillData/CsvReader.h"

class Data;

namespace quill::tools {

enum class TargetKind { kAuto, kClass, kRegression };
enum class Scaling { kNone, kMinMax, kStandard };

// How each input column is scaled: value' = (value - subtract) / divide.
struct ColumnScale {
  std::string column;
  double subtract = 0.0;
  double divide = 1.0;
};

struct ImportOptions {
  // Target columns, by name or by number (counting from 1).
  std::vector<std::string> targets;
  // Columns that are neither inputs nor targets.
  std::vector<std::string> drop;
  TargetKind kind = TargetKind::kAuto;
  Scaling scaling = Scaling::kNone;
  // A recorded scaling to apply instead of one computed from the rows.
  std::vector<ColumnScale> recorded;
  // The share of each class (of all rows, for regression) held out.
  double test_fraction = 0.0;
  std::uint32_t seed = 1;
  // Every file written is named "<prefix>-...".
  std::string prefix;
};

// One data-set file to write.
struct ImportedFile {
  std::string path;
  std::string role;  // the class, "regression", or either with " (test)"
  std::shared_ptr<Data> data;
};

struct ImportResult {
  std::vector<std::string> inputs;   // input column names, in order
  std::vector<std::string> targets;  // target column names
  bool classes = false;
  std::vector<std::string> class_names;  // in order of first appearance
  std::vector<ImportedFile> files;       // the training files first, then the test files
  std::vector<ColumnScale> scales;       // empty without scaling
  std::string fragment;                  // #DataClasses and DataFile entries
  std::string fragment_path;
  std::string scaling_text;  // the scaling as CSV (column,subtract,divide)
  std::string scaling_path;
};

// The data sets `table` (read from `name`) makes. Throws UsageError for
// options that do not fit the table and ToolError for data that cannot be
// used, naming the file, line and column.
ImportResult ImportCsv(const CsvTable& table, const std::string& name,
                       const ImportOptions& options);

// Reads a scaling recorded by ImportCsv (column,subtract,divide).
std::vector<ColumnScale> ReadScaling(const std::string& path);

}  // namespace quill::tools
