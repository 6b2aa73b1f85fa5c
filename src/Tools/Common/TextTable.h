// Columns of text aligned for a terminal: the reports of the companion
// programs (network summaries, data-set statistics, evaluations).
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace quill::tools {

class TextTable {
 public:
  // One heading per column; a heading that starts with '>' (not shown)
  // right-aligns its column, as numbers are.
  explicit TextTable(std::vector<std::string> headings);

  // Adds a row of as many cells as there are columns (missing cells are
  // empty, extra ones dropped).
  void AddRow(std::vector<std::string> cells);
  // Writes the headings and the rows, columns separated by two blanks, each
  // line without trailing blanks.
  void Write(std::ostream& out) const;

 private:
  std::vector<std::string> headings_;
  std::vector<bool> right_;
  std::vector<std::vector<std::string>> rows_;
};

}  // namespace quill::tools
