// Turning a CSV table into what Quill trains on (`quill-data from-csv`): one
// data-set file per class with one-hot expected outputs, or one data-set file
// of numeric targets for regression; scaled inputs and targets, held-out
// validation and test splits, and the scaling file that predictions use.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Tools/QuillData/CsvReader.h"
#include "Tools/QuillData/ScalingFile.h"

class Data;

namespace quill::tools {

enum class TargetKind { kAuto, kClass, kRegression };
enum class Scaling { kNone, kMinMax, kStandard };

// A numeric target column with at most this many distinct whole numbers
// (and at least two) is taken as a class column unless the kind is given.
inline constexpr std::size_t kMostGuessedClasses = 10;

// Numeric targets are scaled to this range over the training rows: inside
// what a sigmoid output reaches with moderate weights, with room for values
// a little beyond the training rows.
inline constexpr double kTargetLow = 0.1;
inline constexpr double kTargetHigh = 0.9;

struct ImportOptions {
  // Target columns, by name or by number (counting from 1).
  std::vector<std::string> targets;
  // Columns that are neither inputs nor targets.
  std::vector<std::string> drop;
  TargetKind kind = TargetKind::kAuto;
  Scaling scaling = Scaling::kStandard;
  // Numeric targets scaled to kTargetLow ... kTargetHigh.
  bool scale_targets = true;
  // A recorded scaling to apply instead of one computed from the rows (its
  // class order and target scaling too, when it records them).
  std::optional<ScalingRecord> recorded;
  // The shares of each class (of all rows, for regression) held out for
  // testing and for validation.
  double test_fraction = 0.0;
  double validation_fraction = 0.0;
  std::uint32_t seed = 1;
  // Every file written is named "<prefix>-...".
  std::string prefix;
};

// What a data-set file holds.
enum class Split { kTraining, kValidation, kTest };

// One data-set file to write.
struct ImportedFile {
  std::string path;
  std::string role;  // the class, or "all rows"; with " (test)" or " (validation)"
  Split split = Split::kTraining;
  std::shared_ptr<Data> data;
};

struct ImportResult {
  std::vector<std::string> inputs;   // input column names, in order
  std::vector<std::string> targets;  // target column names
  bool classes = false;
  // The classes come from a numeric column that looked like classes.
  bool guessed_classes = false;
  std::vector<std::string> class_names;  // in output order
  // The training files, then the validation files, then the test files, each
  // in class order.
  std::vector<ImportedFile> files;
  // The columns and their scaling, as the scaling file records them.
  ScalingRecord record;
  std::string scaling_path;
  // The comment lines naming the columns of every data-set file.
  std::string names_comment;

  // The files of one split, in class order.
  std::vector<const ImportedFile*> FilesOf(Split split) const;
  // The network's outputs: one per class, or one per target.
  std::size_t Outputs() const;
};

// The data sets `table` (read from `name`) makes. Throws UsageError for
// options that do not fit the table and ToolError for data that cannot be
// used, naming the file, line and column.
ImportResult ImportCsv(const CsvTable& table, const std::string& name,
                       const ImportOptions& options);

}  // namespace quill::tools
