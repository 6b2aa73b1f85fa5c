#include "MLP/Quill/ParameterFile.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <thread>

#include "MLP/Quill/ParameterKeys.h"
#include "MLP/Quill/ParameterReader.h"
#include "common/StrCase.h"

// Messages for parameter files that the reader cannot take as they are. The
// driver prints each on standard error and exits with status 1:
//   "Unknown selection method"                 Selection neither Roulette nor Tournament
//   "Invalid or missing value for <Key>"       a value that is not a number, a number out of
//                                              the 32-bit range, or a key at the end of the file
//   "<Key> longer than <N> characters"         a path or keyword word too long for its field
//   "DataFile given before #DataClasses"
//   "More DataFile entries than #DataClasses"
//   "Fewer DataFile entries than #DataClasses" (at the end of the file)
//   "#DataClasses given more than once"
//   "#Features given more than once"
//   "#DataClasses is negative"
//   "#Features is negative"
//   "Features given before #Features"
//   "Features list shorter than #Features"
//   "#Features given without Features"         (at the end of the file)
//   "Unable to read parameter file"            the stream itself failed (a directory, say)
// Without these checks a count could size a list below the entries written
// into it, and a value that fails to read would leave the stream failed short
// of its end, so reading would never finish.

std::int32_t QuillParameters::DefaultThreads() {
  // Asked once: the answer does not change during a run, and asking may read
  // a system file.
  static const std::int32_t threads = static_cast<std::int32_t>(
      std::clamp<unsigned>(std::thread::hardware_concurrency(), 1, kMaxThreads));
  return threads;
}

std::optional<std::string> ReadQuillParameters(std::istream& in, QuillParameters& params,
                                               std::vector<ReadEvent>* events) {
  ParameterReader reader(in, events);
  std::string word;
  while (reader.NextWord(word)) {
    if (word.size() > kMaxParameterWord) return std::string(kWordTooLong);
    // Any other word is skipped alone; what follows it is read as keys again.
    const ParameterKey* key = FindParameterKey(word);
    if (key == nullptr) {
      reader.WordSkipped(word);
      continue;
    }
    reader.KeyFound(word, *key);
    if (!reader.Separator(*key)) return ParameterReader::BadValue(*key);
    if (auto error = key->read(*key, reader, params)) return error;
  }
  if (reader.Failed()) return std::string("Unable to read parameter file");
  // The lists must be complete: the run sequence loads one data set per class
  // and restricts the inputs to exactly #Features columns.
  if (params.DataFiles.size() < static_cast<std::size_t>(params.DataClasses)) {
    return std::string("Fewer DataFile entries than #DataClasses");
  }
  if (params.FeaturesGiven && !reader.features_read) {
    return std::string("#Features given without Features");
  }
  return std::nullopt;
}

TrainSettings QuillParameters::Training() const {
  TrainSettings settings;
  settings.target_error = 0.0;
  settings.generations = Generations;
  settings.elite = EliteIndividuals;
  settings.crossover_points = CrossoverPoints;
  settings.mutation_rate = MutationRate;
  settings.selection = Selection;
  settings.normalisation = Normalisation;
  return settings;
}

std::optional<std::string> ValidateQuillParameters(const QuillParameters& p) {
  if (quill::strcasecmp(p.WeightFile.c_str(), QuillParameters::kNoWeightFile) == 0) {
    return std::string("No weight file specified");
  }
  if (p.DataClasses < 1) return std::string("Number of classes not specified or invalid");
  if (p.Generations < 1) return std::string("Number of generations not specified or invalid");
  if (p.PopulationSize < 1) return std::string("Population Size not specified or invalid");
  if (p.Threads < 1 || p.Threads > QuillParameters::kMaxThreads) {
    return "Threads must be between 1 and " + std::to_string(QuillParameters::kMaxThreads);
  }
  if (p.CheckpointEvery < 1) return std::string("CheckpointEvery must be at least 1");
  if (p.TargetErrorGiven && !(p.TargetError >= 0.0)) {
    return std::string("TargetError must be 0 or more");
  }
  if (p.TimeLimitGiven && !(p.TimeLimit > 0.0)) return std::string("TimeLimit must be above 0");
  return std::nullopt;
}
