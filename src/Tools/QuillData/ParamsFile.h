// The parameter file quill-data writes beside its data sets
// (PREFIX-params.txt): a whole run of Quill on the training files, with
// settings that train ordinary data well from a fresh start, each key on its
// own line. The network files get the conventional names PREFIX-start.wgt
// (made with the quill-net command StartNetworkCommand gives) and
// PREFIX-trained.wgt.
#pragma once

#include <string>

#include "Tools/QuillData/CsvImport.h"

namespace quill::tools {

// The arithmetic of the training run: single precision runs about twice as
// fast and more on the larger data sets; automatic takes it where a
// generation's work makes that worth having.
enum class PrecisionChoice { kAuto, kSingle, kDouble };

// Multiply-adds per individual (training rows times the suggested network's
// weights) from which the automatic choice is single precision.
inline constexpr double kSingleFromWork = 1e6;

// The training settings of the file.
struct TrainingSettings {
  int population = 60;
  int generations = 300;
  int elites = 2;
  // Genes mutated per child on average: the rate is this over the weights of
  // the suggested network (two significant digits, 0.001 to 0.1).
  double mutations_per_child = 2.5;
  int crossover_points = 2;
  double weight_bound = 8.0;  // MinWeight = -bound, MaxWeight = bound
  // Generations without a lower validation error that end the run.
  int patience = 60;
  PrecisionChoice precision = PrecisionChoice::kAuto;
};

// The hidden neurons of the suggested starting network for `inputs` inputs
// and `outputs` outputs.
int HiddenNeurons(std::size_t inputs, std::size_t outputs);

// The weights of the suggested starting network (with a bias neuron).
std::size_t SuggestedWeights(std::size_t inputs, std::size_t outputs);

// The MutationRate of the file for a network of `weights` weights.
double MutationRate(const TrainingSettings& settings, std::size_t weights);

// Whether the file chooses `Precision = single` for these data sets.
bool ChoosesSinglePrecision(const TrainingSettings& settings, const ImportResult& result);

// The quill-net command that makes PREFIX-start.wgt for the data sets.
std::string StartNetworkCommand(const ImportResult& result, const ImportOptions& options);

// The path of the parameter file, PREFIX-params.txt.
std::string ParamsPath(const ImportOptions& options);

// The parameter file's text. Throws UsageError when a path in it is longer
// than the parameter file takes.
std::string ParamsText(const ImportResult& result, const ImportOptions& options,
                       const TrainingSettings& settings = {});

}  // namespace quill::tools
