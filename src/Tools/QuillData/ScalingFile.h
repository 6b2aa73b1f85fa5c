// The scaling file quill-data writes beside its data sets
// (PREFIX-scaling.csv): what turns new CSV rows into the inputs a trained
// network reads, and its outputs back into answers.
//
// A CSV file with the header role,column,subtract,divide and one row per
// column, each scaled as value' = (value - subtract) / divide:
//   input,NAME,S,D    an input column, in the order of the network's inputs
//   target,NAME,S,D   a numeric target (regression), in the order of the
//                     outputs; an output y is the value y * D + S
//   target,NAME,,     the class column (classification), followed by
//   class,NAME,,      its classes, in the order of the outputs
// The older form, with the header column,subtract,divide and the inputs
// alone, is read too; it says nothing of the targets.
//
// Errors throw ToolError naming the file, and the line and column where
// there is one.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quill::tools {

// How one column is scaled: value' = (value - subtract) / divide.
struct ColumnScale {
  std::string column;
  double subtract = 0.0;
  double divide = 1.0;
};

struct ScalingRecord {
  // kUnknown: a file of the older form (or without targets), which names the
  // inputs alone.
  enum class Kind { kUnknown, kClasses, kRegression };

  std::vector<ColumnScale> inputs;
  Kind kind = Kind::kUnknown;
  // kClasses: the class column, and its classes in output order.
  std::string class_column;
  std::vector<std::string> class_names;
  // kRegression: the target columns in output order, with their scaling.
  std::vector<ColumnScale> targets;

  // The network's outputs this record implies (0 for kUnknown).
  std::size_t Outputs() const;
};

// The record as a scaling file.
std::string ScalingText(const ScalingRecord& record);

// Parses a scaling file's text (`name` is used in messages).
ScalingRecord ParseScaling(std::string_view text, const std::string& name);
// Reads a scaling file.
ScalingRecord ReadScaling(const std::string& path);

}  // namespace quill::tools
