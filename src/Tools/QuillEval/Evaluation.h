// Measuring a trained network on data sets (`quill-eval`): the RMS error of
// each data set and of all together, the error as Quill reports it, and for
// one-hot targets how many rows the network classifies correctly and which
// classes it confuses.
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <vector>

class Data;
class TMLPNetwork;

namespace quill::tools {

// One data set to measure: the name it is reported under and its rows.
struct EvalInput {
  std::string name;
  Data* data = nullptr;
  // The names of its outputs, when its file gives them (quill-data writes
  // them); empty otherwise.
  std::vector<std::string> output_names;
};

struct SetResult {
  std::string name;
  int rows = 0;
  double rms = 0.0;  // RMS error over this data set's outputs
  long correct = 0;  // rows whose largest output is the target class
};

struct Evaluation {
  std::vector<SetResult> sets;
  int rows = 0;
  double rms = 0.0;  // RMS error over every output of every data set
  // The error Quill prints for these weights with these data sets in this
  // order: the mean over k of the RMS error over data sets 1 ... k together.
  double quill_error = 0.0;
  // Set when every target row has exactly one 1 and zeros elsewhere; the
  // class of a row is the position of its 1, the network's answer the
  // position of its largest output (the first, on a tie).
  bool one_hot = false;
  long correct = 0;
  std::vector<std::string> class_names;
  std::vector<std::vector<long>> confusion;  // [target class][answered class]
};

// Parses a feature list as the parameter file's Features ("2 3" or "2,3"):
// input column indexes counting from 0. Throws UsageError.
std::vector<int> ParseFeatures(const std::string& text);

// Checks that `data` (read from `name`) can be recalled by `network` after
// restricting its inputs to `features` (when `use_features`), and applies
// the restriction; throws ToolError naming the file otherwise.
void PrepareDataSet(const TMLPNetwork& network, const std::string& name, Data& data,
                    bool use_features, const std::vector<int>& features);

// Recalls every row of every data set once. With `outputs`, writes every
// row's (selected) inputs, targets and outputs there as CSV. For one-hot
// targets the classes take the output names the data sets give, when all
// give the same; else, when each data set holds one class, the names of
// their files.
Evaluation Evaluate(TMLPNetwork& network, const std::vector<EvalInput>& inputs,
                    std::ostream* outputs);

// The evaluation as text: a table of the data sets and their total, the
// error as Quill reports it, and the confusion matrix for one-hot targets.
void WriteEvaluation(std::ostream& out, const Evaluation& evaluation);

}  // namespace quill::tools
