#include "Tools/Common/ColumnNames.h"

#include "Tools/Common/ToolSupport.h"
#include "Tools/QuillData/CsvReader.h"

namespace quill::tools {

namespace {

constexpr std::string_view kInputs = "/* inputs: ";
constexpr std::string_view kOutputs = "/* outputs: ";
constexpr std::string_view kEnd = " */";

bool FitsAComment(const std::string& name) {
  return name.find("/*") == std::string::npos && name.find("*/") == std::string::npos &&
         name.find_first_of("\r\n") == std::string::npos;
}

std::string Line(std::string_view start, const std::vector<std::string>& names) {
  std::string line(start);
  for (std::size_t i = 0; i < names.size(); ++i)
    line += (i > 0 ? "," : "") + CsvField(names[i]);
  return line + std::string(kEnd) + "\n";
}

// The list of the line at `pos` that starts with `start`, moving `pos` past
// the line.
std::optional<std::vector<std::string>> List(std::string_view text, std::size_t& pos,
                                             std::string_view start) {
  const std::size_t end = text.find('\n', pos);
  if (end == std::string_view::npos) return std::nullopt;
  std::string_view line = text.substr(pos, end - pos);
  pos = end + 1;
  if (line.substr(0, start.size()) != start || line.size() < start.size() + kEnd.size() ||
      line.substr(line.size() - kEnd.size()) != kEnd) {
    return std::nullopt;
  }
  line = line.substr(start.size(), line.size() - start.size() - kEnd.size());
  if (line.empty()) return std::vector<std::string>();
  try {
    return ParseCsv(line, "names").header;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

}  // namespace

std::string ColumnComment(const ColumnNames& names) {
  for (const auto* list : {&names.inputs, &names.outputs}) {
    for (const std::string& name : *list) {
      if (!FitsAComment(name)) return {};
    }
  }
  const std::string comment = Line(kInputs, names.inputs) + Line(kOutputs, names.outputs);
  // Names the lists cannot carry (an empty one alone, a leading byte-order
  // mark) are not written at all.
  const std::optional<ColumnNames> back = ReadColumnComment(comment);
  if (!back || back->inputs != names.inputs || back->outputs != names.outputs) return {};
  return comment;
}

std::optional<ColumnNames> ReadColumnComment(std::string_view text) {
  std::size_t pos = 0;
  ColumnNames names;
  auto inputs = List(text, pos, kInputs);
  if (!inputs) return std::nullopt;
  auto outputs = List(text, pos, kOutputs);
  if (!outputs) return std::nullopt;
  names.inputs = std::move(*inputs);
  names.outputs = std::move(*outputs);
  return names;
}

}  // namespace quill::tools
