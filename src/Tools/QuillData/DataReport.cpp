#include "Tools/QuillData/DataReport.h"

#include <algorithm>
#include <map>
#include <vector>

#include "DataObject/Data.h"
#include "Tools/Common/TextTable.h"
#include "Tools/Common/ToolSupport.h"
#include "Tools/QuillData/CsvReader.h"

namespace quill::tools {

namespace {

// One column of a data set: its heading and how to read a row's value.
struct Column {
  std::string name;
  const Data* data;
  bool input;
  int index;
};

std::vector<Column> Columns(const Data* data, const char* in, const char* out) {
  std::vector<Column> columns;
  if (data == nullptr) return columns;
  for (int c = 0; c < data->NumInputs(); ++c)
    columns.push_back({in + std::to_string(c + 1), data, true, c});
  for (int c = 0; c < data->NumOutputs(); ++c)
    columns.push_back({out + std::to_string(c + 1), data, false, c});
  return columns;
}

double Value(const Column& column, int row) {
  double v = 0.0;
  if (column.input) {
    column.data->GetInputDatum(row, column.index, &v);
  } else {
    column.data->GetOutputDatum(row, column.index, &v);
  }
  return v;
}

// The row's label list as the data-set file writes it, without brackets.
std::string LabelText(const Data& data, int row) {
  const TLabelList* labels = nullptr;
  data.GetLabels(row, &labels);
  std::string text;
  for (int i = 0; labels != nullptr && i < labels->Count(); ++i) {
    const TLabel& label = labels->Get(i);
    if (!text.empty()) text += ' ';
    text += label.Text();
    if (label.Value() != 1.0) text += "=" + ShortestNumber(label.Value());
  }
  return text;
}

// Row k in the order the file holds them (the ring's oldest first).
int RowAt(const Data& data, int k) {
  return (data.FirstRow() + k) % data.NumRows();
}

int RowCount(const Data* first, const Data* second) {
  return first != nullptr ? first->NumRows() : second->NumRows();
}

}  // namespace

void WriteDataCsv(std::ostream& out, const Data* first, const Data* second) {
  std::vector<Column> columns = Columns(first, "input", "output");
  const std::vector<Column> more = Columns(second, "generated", "error");
  columns.insert(columns.end(), more.begin(), more.end());
  const bool labels1 = first != nullptr && first->HasLabels();
  const bool labels2 = second != nullptr && second->HasLabels();

  std::vector<std::string> header;
  for (const Column& c : columns)
    header.push_back(c.name);
  if (labels1) header.push_back("labels");
  if (labels2) header.push_back("labels2");
  for (std::size_t i = 0; i < header.size(); ++i)
    out << (i > 0 ? "," : "") << header[i];
  out << '\n';

  const int rows = RowCount(first, second);
  for (int k = 0; k < rows; ++k) {
    std::string line;
    for (std::size_t i = 0; i < columns.size(); ++i) {
      const Column& c = columns[i];
      line += (i > 0 ? "," : "") + ShortestNumber(Value(c, RowAt(*c.data, k)));
    }
    for (const Data* data : {labels1 ? first : nullptr, labels2 ? second : nullptr}) {
      if (data == nullptr) continue;
      if (!line.empty() || !columns.empty()) line += ',';
      line += CsvField(LabelText(*data, RowAt(*data, k)));
    }
    out << line << '\n';
  }
}

void WriteDataDescription(std::ostream& out, const std::string& name, const Data* first,
                          const Data* second, const std::optional<ColumnNames>& names) {
  const int rows = RowCount(first, second);
  out << name << ": " << rows << (rows == 1 ? " row" : " rows");
  auto counts = [&](const Data* data, const char* in, const char* outs) {
    if (data == nullptr) return;
    out << ", " << data->NumInputs() << ' ' << in << ", ";
    if (data->HasLabels()) {
      out << "label lists";
    } else {
      out << data->NumOutputs() << ' ' << outs;
    }
  };
  counts(first, "inputs", "expected outputs");
  counts(second, "generated outputs", "error values");
  out << "\n\n";

  std::vector<Column> columns = Columns(first, "input ", "output ");
  const std::vector<Column> more = Columns(second, "generated ", "error ");
  columns.insert(columns.end(), more.begin(), more.end());
  // Names for the first data set's columns, when the file gives one for each.
  const bool named = names && first != nullptr &&
                     names->inputs.size() == static_cast<std::size_t>(first->NumInputs()) &&
                     names->outputs.size() == static_cast<std::size_t>(first->NumOutputs());
  auto name_of = [&](const Column& c) -> std::string {
    if (!named || c.data != first) return {};
    return c.input ? names->inputs[static_cast<std::size_t>(c.index)]
                   : names->outputs[static_cast<std::size_t>(c.index)];
  };
  if (!columns.empty() && rows > 0) {
    TextTable table(
        named ? std::vector<std::string>{"column", "name", ">minimum", ">maximum", ">mean"}
              : std::vector<std::string>{"column", ">minimum", ">maximum", ">mean"});
    for (const Column& c : columns) {
      double lo = Value(c, 0), hi = lo, sum = 0.0;
      for (int r = 0; r < rows; ++r) {
        const double v = Value(c, r);
        lo = std::min(lo, v);
        hi = std::max(hi, v);
        sum += v;
      }
      std::vector<std::string> cells = {c.name, FormatNumber(lo), FormatNumber(hi),
                                        FormatNumber(sum / rows)};
      if (named) cells.insert(cells.begin() + 1, name_of(c));
      table.AddRow(cells);
    }
    table.Write(out);
  }

  for (const Data* data : {first, second}) {
    if (data == nullptr || !data->HasLabels()) continue;
    std::map<std::string, int> carried;
    for (int r = 0; r < rows; ++r) {
      const TLabelList* labels = nullptr;
      data->GetLabels(r, &labels);
      for (int i = 0; labels != nullptr && i < labels->Count(); ++i)
        ++carried[labels->Get(i).Text()];
    }
    out << (columns.empty() || rows == 0 ? "" : "\n");
    TextTable table({"label", ">rows"});
    for (const auto& [label, n] : carried)
      table.AddRow({label, std::to_string(n)});
    table.Write(out);
  }
}

}  // namespace quill::tools
