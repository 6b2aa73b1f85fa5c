// The names of a data-set file's columns, kept in comment lines at its start
// so that every reader of data-set files passes over them:
//   /* inputs: sepal_length,sepal_width,petal_length,petal_width */
//   /* outputs: setosa,versicolor,virginica */
// Each list is one CSV record. Names that the lines cannot carry (with "/*",
// "*/" or a line end, or that would not read back the same) are not written
// at all.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quill::tools {

struct ColumnNames {
  std::vector<std::string> inputs;
  std::vector<std::string> outputs;
};

// The two comment lines naming the columns, or "" when a name cannot stand
// in a comment.
std::string ColumnComment(const ColumnNames& names);

// The names the comment lines at the start of a data-set file's text give,
// when they are there and well formed.
std::optional<ColumnNames> ReadColumnComment(std::string_view text);

}  // namespace quill::tools
