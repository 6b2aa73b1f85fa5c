#include "Tools/Common/TextTable.h"

#include <algorithm>

namespace quill::tools {

TextTable::TextTable(std::vector<std::string> headings) {
  for (std::string& h : headings) {
    const bool right = !h.empty() && h[0] == '>';
    right_.push_back(right);
    headings_.push_back(right ? h.substr(1) : h);
  }
}

void TextTable::AddRow(std::vector<std::string> cells) {
  cells.resize(headings_.size());
  rows_.push_back(std::move(cells));
}

void TextTable::Write(std::ostream& out) const {
  std::vector<std::size_t> width(headings_.size());
  for (std::size_t c = 0; c < headings_.size(); ++c) {
    width[c] = headings_[c].size();
    for (const auto& row : rows_)
      width[c] = std::max(width[c], row[c].size());
  }
  auto line = [&](const std::vector<std::string>& cells) {
    std::string text;
    for (std::size_t c = 0; c < cells.size(); ++c) {
      if (c > 0) text += "  ";
      const std::string pad(width[c] - cells[c].size(), ' ');
      text += right_[c] ? pad + cells[c] : cells[c] + pad;
    }
    text.erase(text.find_last_not_of(' ') + 1);
    out << text << '\n';
  };
  line(headings_);
  for (const auto& row : rows_)
    line(row);
}

}  // namespace quill::tools
