// Applying a trained network to new rows (`quill-eval predict`): a CSV file
// without targets, read through the scaling file quill-data recorded, gives
// per row the predicted class and every class's output (classes), or the
// outputs in the units of the targets (regression).
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "Tools/QuillData/CsvReader.h"
#include "Tools/QuillData/ScalingFile.h"

class TMLPNetwork;

namespace quill::tools {

struct PredictionInputs {
  std::string network_name;  // the network file, for messages
  std::string csv_name;      // the CSV file
  std::string scaling_name;  // the scaling file
  // The input columns given to the network after scaling, as the parameter
  // file's Features (when use_features).
  bool use_features = false;
  std::vector<int> features;
};

// Throws ToolError unless `network` reads the recorded inputs (after the
// feature selection) and gives the recorded outputs.
void CheckNetworkFits(const TMLPNetwork& network, const ScalingRecord& record,
                      const PredictionInputs& names);

// The place in `table` of every recorded input, in input order: by name, or,
// for a file without a header (`headed` false) that has exactly as many
// columns as there are inputs, in order. Throws ToolError naming a missing
// column.
std::vector<std::size_t> InputColumns(const CsvTable& table, bool headed,
                                      const ScalingRecord& record, const PredictionInputs& names);

// Writes the predictions CSV: a header, then per row of `table` its number
// (counting from 1), then "predicted_<class column>" and "output_<class>"
// for each class; "predicted_<target>" for each regression target; or
// "output<k>" for a record that names no targets. A field that is not a
// number throws ToolError naming the file, line and column.
//
// Each scaled input is rounded to the 15 significant digits a data-set file
// keeps, so that a row predicts exactly what quill-eval measures on the
// data-set file quill-data makes of it.
void WritePredictions(std::ostream& out, TMLPNetwork& network, const ScalingRecord& record,
                      const CsvTable& table, const std::vector<std::size_t>& columns,
                      const PredictionInputs& names);

}  // namespace quill::tools
