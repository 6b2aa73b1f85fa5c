#include "Tools/QuillData/ParamsFile.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "DataObject/Data.h"
#include "Tools/Common/ToolSupport.h"

namespace quill::tools {

namespace {

// The longest path a parameter file takes for the network, log and
// checkpoint files.
constexpr std::size_t kMaxPathLength = 255;

}  // namespace

int HiddenNeurons(std::size_t inputs, std::size_t outputs) {
  const auto between = static_cast<double>(inputs + outputs);
  return std::clamp(static_cast<int>(std::lround(between * 2.0 / 3.0)), 3, 64);
}

std::size_t SuggestedWeights(std::size_t inputs, std::size_t outputs) {
  const auto hidden = static_cast<std::size_t>(HiddenNeurons(inputs, outputs));
  return (inputs + 1) * hidden + (hidden + 1) * outputs;
}

double MutationRate(const TrainingSettings& settings, std::size_t weights) {
  // A mutation draws the gene anew within the weight bounds, a large step:
  // a few per child keep the search moving without undoing what the
  // parents found. Rounded so that the file reads plainly.
  const double rate =
      std::clamp(settings.mutations_per_child / static_cast<double>(weights), 0.001, 0.1);
  return std::stod(FormatNumber(rate, 2));
}

bool ChoosesSinglePrecision(const TrainingSettings& settings, const ImportResult& result) {
  if (settings.precision != PrecisionChoice::kAuto) {
    return settings.precision == PrecisionChoice::kSingle;
  }
  double rows = 0.0;
  for (const ImportedFile* f : result.FilesOf(Split::kTraining))
    rows += static_cast<double>(f->data->NumRows());
  const auto weights =
      static_cast<double>(SuggestedWeights(result.inputs.size(), result.Outputs()));
  return rows * weights >= kSingleFromWork;
}

std::string StartNetworkCommand(const ImportResult& result, const ImportOptions& options) {
  return "quill-net new " + std::to_string(result.inputs.size()) + "-" +
         std::to_string(HiddenNeurons(result.inputs.size(), result.Outputs())) + "-" +
         std::to_string(result.Outputs()) + " --init xavier --seed " +
         std::to_string(options.seed) + " -o " + options.prefix + "-start.wgt";
}

std::string ParamsPath(const ImportOptions& options) {
  return options.prefix + "-params.txt";
}

std::string ParamsText(const ImportResult& result, const ImportOptions& options,
                       const TrainingSettings& settings) {
  std::ostringstream text;
  auto line = [&](const std::string& key, const std::string& value) {
    text << key << std::string(key.size() < 19 ? 19 - key.size() : 1, ' ') << "= " << value << '\n';
  };
  auto path = [&](const std::string& key, const std::string& suffix) {
    const std::string name = options.prefix + suffix;
    if (name.size() > kMaxPathLength) {
      throw UsageError("the file name " + name + " is longer than a parameter file takes (" +
                       std::to_string(kMaxPathLength) + " characters)");
    }
    line(key, name);
  };
  path("WeightFile", "-start.wgt");
  path("DestinationFile", "-trained.wgt");
  const auto training = result.FilesOf(Split::kTraining);
  line("#DataClasses", std::to_string(training.size()));
  for (const ImportedFile* f : training)
    line("DataFile", f->path);
  const auto validation = result.FilesOf(Split::kValidation);
  if (!validation.empty()) {
    line("#ValidationClasses", std::to_string(validation.size()));
    for (const ImportedFile* f : validation)
      line("ValidationFile", f->path);
  }
  line("PopulationSize", std::to_string(settings.population));
  line("Generations", std::to_string(settings.generations));
  line("EliteIndividuals", std::to_string(settings.elites));
  line("MutationRate", ShortestNumber(MutationRate(
                           settings, SuggestedWeights(result.inputs.size(), result.Outputs()))));
  line("CrossoverPoints", std::to_string(settings.crossover_points));
  line("Selection", "Tournament");
  if (ChoosesSinglePrecision(settings, result)) line("Precision", "single");
  line("MinWeight", ShortestNumber(-settings.weight_bound));
  line("MaxWeight", ShortestNumber(settings.weight_bound));
  line("Seed", std::to_string(options.seed));
  path("RunLog", "-run.csv");
  path("Checkpoint", "-run.ckpt");
  if (!validation.empty()) {
    line("Patience", std::to_string(settings.patience));
    line("KeepBest", "validation");
  }
  return text.str();
}

}  // namespace quill::tools
