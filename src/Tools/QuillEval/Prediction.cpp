#include "Tools/QuillEval/Prediction.h"

#include <cmath>
#include <cstdlib>

#include "NeuralNets/TMLPNetwork.h"
#include "Tools/Common/ToolSupport.h"

namespace quill::tools {

namespace {

int Neurons(const TMLPNetwork& network, int layer) {
  return network.GetLayer(layer)->numNeurons;
}

std::string Count(std::size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// What the record says the network's outputs are.
std::string OutputsText(const ScalingRecord& record) {
  switch (record.kind) {
    case ScalingRecord::Kind::kClasses:
      return Count(record.class_names.size(), "class", "classes");
    case ScalingRecord::Kind::kRegression:
      return Count(record.targets.size(), "target", "targets");
    case ScalingRecord::Kind::kUnknown:
      break;
  }
  return {};
}

// `value` as a data-set file keeps it: written with 15 significant digits and
// read back.
double AsStored(double value) {
  return std::strtod(FormatNumber(value, 15).c_str(), nullptr);
}

}  // namespace

void CheckNetworkFits(const TMLPNetwork& network, const ScalingRecord& record,
                      const PredictionInputs& names) {
  const std::size_t recorded = record.inputs.size();
  for (int f : names.features) {
    if (names.use_features && (f < 0 || static_cast<std::size_t>(f) >= recorded)) {
      throw ToolError("the feature " + std::to_string(f) + " lies outside the " +
                      Count(recorded, "input", "inputs") + " " + names.scaling_name +
                      " records (they count from 0)");
    }
  }
  const std::size_t inputs = names.use_features ? names.features.size() : recorded;
  const auto want_in = static_cast<std::size_t>(Neurons(network, network.inLayer));
  const auto want_out = static_cast<std::size_t>(Neurons(network, network.outLayer));
  const std::size_t outputs = record.Outputs();
  if (inputs != want_in || (outputs != 0 && outputs != want_out)) {
    std::string recorded_text = Count(recorded, "input", "inputs");
    if (names.use_features) recorded_text += " (" + std::to_string(inputs) + " selected)";
    if (outputs != 0) recorded_text += " and " + OutputsText(record);
    throw ToolError(names.network_name + ": a network of " + Count(want_in, "input", "inputs") +
                    " and " + Count(want_out, "output", "outputs") + " does not fit the " +
                    recorded_text + " that " + names.scaling_name + " records");
  }
}

std::vector<std::size_t> InputColumns(const CsvTable& table, bool headed,
                                      const ScalingRecord& record, const PredictionInputs& names) {
  std::vector<std::size_t> columns;
  if (!headed && table.header.size() == record.inputs.size()) {
    for (std::size_t c = 0; c < record.inputs.size(); ++c)
      columns.push_back(c);
    return columns;
  }
  for (const ColumnScale& input : record.inputs) {
    std::size_t c = 0;
    while (c < table.header.size() && table.header[c] != input.column)
      ++c;
    if (c == table.header.size()) {
      throw ToolError(names.csv_name + ": no column '" + input.column + "', an input that " +
                      names.scaling_name + " records" +
                      (headed ? "" : " (without a header the columns are column1, column2 ...)"));
    }
    columns.push_back(c);
  }
  return columns;
}

void WritePredictions(std::ostream& out, TMLPNetwork& network, const ScalingRecord& record,
                      const CsvTable& table, const std::vector<std::size_t>& columns,
                      const PredictionInputs& names) {
  const auto n_out = static_cast<std::size_t>(Neurons(network, network.outLayer));
  const bool classes = record.kind == ScalingRecord::Kind::kClasses;
  const bool regression = record.kind == ScalingRecord::Kind::kRegression;

  out << "row";
  if (classes) {
    out << ',' << CsvField("predicted_" + record.class_column);
    for (const std::string& c : record.class_names)
      out << ',' << CsvField("output_" + c);
  } else if (regression) {
    for (const ColumnScale& t : record.targets)
      out << ',' << CsvField("predicted_" + t.column);
  } else {
    for (std::size_t k = 0; k < n_out; ++k)
      out << ",output" << k + 1;
  }
  out << '\n';

  std::vector<double> scaled(record.inputs.size());
  std::vector<double> x(names.use_features ? names.features.size() : scaled.size());
  std::vector<double> y(n_out);
  for (std::size_t r = 0; r < table.rows.size(); ++r) {
    const CsvTable::Row& row = table.rows[r];
    for (std::size_t c = 0; c < columns.size(); ++c) {
      const ColumnScale& s = record.inputs[c];
      const double value = FieldNumber(names.csv_name, table, row, columns[c]);
      scaled[c] = AsStored((value - s.subtract) / s.divide);
      if (!std::isfinite(scaled[c])) {
        FailAtField(names.csv_name, table, row, columns[c], "the scaled value is beyond a double");
      }
    }
    for (std::size_t k = 0; k < x.size(); ++k)
      x[k] = names.use_features ? scaled[static_cast<std::size_t>(names.features[k])] : scaled[k];
    network.Recall(x.data(), y.data());
    out << r + 1;
    if (classes) {
      std::size_t best = 0;  // the first of equal largest outputs, as quill-eval answers
      for (std::size_t k = 1; k < n_out; ++k) {
        if (y[k] > y[best]) best = k;
      }
      out << ',' << CsvField(record.class_names[best]);
      for (double v : y)
        out << ',' << ShortestNumber(v);
    } else if (regression) {
      for (std::size_t k = 0; k < n_out; ++k)
        out << ',' << ShortestNumber(y[k] * record.targets[k].divide + record.targets[k].subtract);
    } else {
      for (double v : y)
        out << ',' << ShortestNumber(v);
    }
    out << '\n';
  }
}

}  // namespace quill::tools
