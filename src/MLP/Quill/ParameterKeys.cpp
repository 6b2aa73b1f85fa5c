#include "MLP/Quill/ParameterKeys.h"

#include <array>

#include "MLP/Quill/ParameterFile.h"
#include "MLP/Quill/ParameterReader.h"
#include "common/NumberText.h"
#include "common/StrCase.h"

namespace {

using Message = std::optional<std::string>;
using Values = std::vector<std::string>;

// Longest values the fields take; longer words are rejected.
constexpr std::size_t kMaxPathLength = 255;
constexpr std::size_t kMaxDataFileLength = 254;
constexpr std::size_t kMaxSelectionLength = 19;
constexpr std::size_t kMaxNormalisationLength = 9;
constexpr std::size_t kMaxPrecisionLength = 255;

bool Is(const std::string& word, const char* text) {
  return quill::strcasecmp(word.c_str(), text) == 0;
}

// --- Reading rules -------------------------------------------------------

template <std::int32_t QuillParameters::*Field>
Message ReadInteger(const ParameterKey& key, ParameterReader& r, QuillParameters& p) {
  return r.Integer(key, p.*Field);
}

template <float QuillParameters::*Field>
Message ReadReal(const ParameterKey& key, ParameterReader& r, QuillParameters& p) {
  return r.Real(key, p.*Field);
}

// A double whose presence is remembered in `Given`.
template <double QuillParameters::*Field, bool QuillParameters::*Given>
Message ReadGivenDouble(const ParameterKey& key, ParameterReader& r, QuillParameters& p) {
  if (auto error = r.Double(key, p.*Field)) return error;
  p.*Given = true;
  return std::nullopt;
}

template <std::string QuillParameters::*Field, std::size_t Limit>
Message ReadPath(const ParameterKey& key, ParameterReader& r, QuillParameters& p) {
  return r.Word(key, Limit, p.*Field);
}

Message ReadDataClasses(const ParameterKey& key, ParameterReader& r, QuillParameters& p) {
  if (r.data_classes_given) return std::string("#DataClasses given more than once");
  if (!r.ListInteger(key, p.DataClasses)) return ParameterReader::BadValue(key);
  if (p.DataClasses < 0) return std::string("#DataClasses is negative");
  r.data_classes_given = true;
  return std::nullopt;
}

Message ReadDataFile(const ParameterKey& key, ParameterReader& r, QuillParameters& p) {
  if (!r.data_classes_given) return std::string("DataFile given before #DataClasses");
  if (p.DataFiles.size() >= static_cast<std::size_t>(p.DataClasses)) {
    return std::string("More DataFile entries than #DataClasses");
  }
  std::string name;
  if (auto error = r.Word(key, kMaxDataFileLength, name)) return error;
  p.DataFiles.push_back(std::move(name));
  return std::nullopt;
}

Message ReadSelection(const ParameterKey& key, ParameterReader& r, QuillParameters& p) {
  std::string word;
  if (auto error = r.Word(key, kMaxSelectionLength, word)) return error;
  if (Is(word, "Roulette")) {
    p.Selection = QuillParameters::kSelectRoulette;
  } else if (Is(word, "Tournament")) {
    p.Selection = QuillParameters::kSelectTournament;
  } else {
    return std::string("Unknown selection method");
  }
  return std::nullopt;
}

Message ReadNormalisation(const ParameterKey& key, ParameterReader& r, QuillParameters& p) {
  std::string word;
  if (auto error = r.Word(key, kMaxNormalisationLength, word)) return error;
  // Any other word leaves the flag as it was.
  if (Is(word, "on")) p.Normalisation = 1;
  if (Is(word, "off")) p.Normalisation = 0;
  return std::nullopt;
}

Message ReadPrecision(const ParameterKey& key, ParameterReader& r, QuillParameters& p) {
  std::string word;
  if (auto error = r.Word(key, kMaxPrecisionLength, word)) return error;
  if (Is(word, "single")) {
    p.SinglePrecision = true;
  } else if (Is(word, "double")) {
    p.SinglePrecision = false;
  } else {
    return "Precision must be single or double, not \"" + word + "\"";
  }
  return std::nullopt;
}

Message ReadSeed(const ParameterKey& key, ParameterReader& r, QuillParameters& p) {
  if (auto error = r.Integer(key, p.Seed)) return error;
  p.SeedGiven = true;
  return std::nullopt;
}

Message ReadThreads(const ParameterKey& key, ParameterReader& r, QuillParameters& p) {
  if (auto error = r.Integer(key, p.Threads)) return error;
  p.ThreadsGiven = true;
  return std::nullopt;
}

Message ReadNumFeatures(const ParameterKey& key, ParameterReader& r, QuillParameters& p) {
  if (p.FeaturesGiven) return std::string("#Features given more than once");
  if (!r.ListInteger(key, p.NumFeatures)) return ParameterReader::BadValue(key);
  if (p.NumFeatures < 0) return std::string("#Features is negative");
  p.FeaturesGiven = true;
  return std::nullopt;
}

// Exactly #Features integers, separated by whitespace only. The list grows as
// numbers arrive, so a large count with few numbers costs nothing before it
// is rejected.
Message ReadFeatures(const ParameterKey& key, ParameterReader& r, QuillParameters& p) {
  if (!p.FeaturesGiven) return std::string("Features given before #Features");
  r.features_read = true;
  p.Features.clear();
  for (std::int32_t i = 0; i < p.NumFeatures; ++i) {
    std::int32_t feature = 0;
    if (!r.ListInteger(key, feature)) return std::string("Features list shorter than #Features");
    p.Features.push_back(feature);
  }
  return std::nullopt;
}

Message ReadValidationClasses(const ParameterKey& key, ParameterReader& r, QuillParameters& p) {
  if (p.ValidationGiven) return std::string("#ValidationClasses given more than once");
  if (!r.ListInteger(key, p.ValidationClasses)) return ParameterReader::BadValue(key);
  if (p.ValidationClasses < 0) return std::string("#ValidationClasses is negative");
  p.ValidationGiven = true;
  return std::nullopt;
}

Message ReadValidationFile(const ParameterKey& key, ParameterReader& r, QuillParameters& p) {
  if (!p.ValidationGiven) return std::string("ValidationFile given before #ValidationClasses");
  if (p.ValidationFiles.size() >= static_cast<std::size_t>(p.ValidationClasses)) {
    return std::string("More ValidationFile entries than #ValidationClasses");
  }
  std::string name;
  if (auto error = r.Word(key, kMaxDataFileLength, name)) return error;
  p.ValidationFiles.push_back(std::move(name));
  return std::nullopt;
}

Message ReadKeepBest(const ParameterKey& key, ParameterReader& r, QuillParameters& p) {
  std::string word;
  if (auto error = r.Word(key, kMaxSelectionLength, word)) return error;
  if (Is(word, "last")) {
    p.KeepBest = QuillParameters::kKeepLast;
  } else if (Is(word, "validation")) {
    p.KeepBest = QuillParameters::kKeepValidation;
  } else {
    return "KeepBest must be last or validation, not " + word;
  }
  return std::nullopt;
}

// --- Values as text ------------------------------------------------------

template <std::int32_t QuillParameters::*Field>
Values Integer(const QuillParameters& p) {
  return {quill::ShortestText(p.*Field)};
}

template <float QuillParameters::*Field>
Values Real(const QuillParameters& p) {
  return {quill::ShortestText(p.*Field)};
}

template <double QuillParameters::*Field, bool QuillParameters::*Given>
Values GivenDouble(const QuillParameters& p) {
  if (!(p.*Given)) return {};
  return {quill::ShortestText(p.*Field)};
}

// A path, or nothing when it is empty (a file not asked for).
template <std::string QuillParameters::*Field>
Values Path(const QuillParameters& p) {
  if ((p.*Field).empty()) return {};
  return {p.*Field};
}

Values DataFiles(const QuillParameters& p) {
  return p.DataFiles;
}

Values Selection(const QuillParameters& p) {
  return {p.Selection == QuillParameters::kSelectTournament ? "Tournament" : "Roulette"};
}

Values Normalisation(const QuillParameters& p) {
  return {p.Normalisation != 0 ? "on" : "off"};
}

// Nothing for the default, so that the logs of runs without the key stay as
// they were.
Values Precision(const QuillParameters& p) {
  if (!p.SinglePrecision) return {};
  return {"single"};
}

Values Seed(const QuillParameters& p) {
  if (!p.SeedGiven) return {};
  return {quill::ShortestText(p.Seed)};
}

Values NumFeatures(const QuillParameters& p) {
  if (!p.FeaturesGiven) return {};
  return {quill::ShortestText(p.NumFeatures)};
}

Values Features(const QuillParameters& p) {
  if (!p.FeaturesGiven) return {};
  std::string list;
  for (std::int32_t f : p.Features)
    list += (list.empty() ? "" : " ") + quill::ShortestText(f);
  return {list};
}

Values ValidationClasses(const QuillParameters& p) {
  if (!p.ValidationGiven) return {};
  return {quill::ShortestText(p.ValidationClasses)};
}

Values ValidationFiles(const QuillParameters& p) {
  return p.ValidationFiles;
}

Values Patience(const QuillParameters& p) {
  if (p.Patience == 0) return {};
  return {quill::ShortestText(p.Patience)};
}

// Written only when it is not the default, so that runs without it log
// and save what they always have.
Values KeepBest(const QuillParameters& p) {
  if (p.KeepBest == QuillParameters::kKeepLast) return {};
  return {"validation"};
}

// Written only for a run that has a checkpoint.
Values CheckpointEvery(const QuillParameters& p) {
  if (p.Checkpoint.empty()) return {};
  return {quill::ShortestText(p.CheckpointEvery)};
}

constexpr std::optional<double> kNone = std::nullopt;

using P = QuillParameters;

// clang-format off
constexpr std::array kKeys = {
    ParameterKey{"WeightFile", KeyKind::kPath, "path", "required", kNone, kNone, false, true,
     "starting network file",
     ReadPath<&P::WeightFile, kMaxPathLength>, Path<&P::WeightFile>},
    ParameterKey{"DestinationFile", KeyKind::kPath, "path", "GenTrain.wgt", kNone, kNone, false, true,
     "where the trained network is written",
     ReadPath<&P::DestinationFile, kMaxPathLength>, Path<&P::DestinationFile>},
    ParameterKey{"#DataClasses", KeyKind::kInteger, "integer >= 1", "required", 1.0, kNone, false, true,
     "number of data classes, given once before the DataFile entries",
     ReadDataClasses, Integer<&P::DataClasses>},
    ParameterKey{"DataFile", KeyKind::kPaths, "path", "one per class", kNone, kNone, false, true,
     "one data-set file per class, in class order",
     ReadDataFile, DataFiles},
    ParameterKey{"PopulationSize", KeyKind::kInteger, "integer >= 1", "required", 1.0, kNone, true, true,
     "individuals per generation",
     ReadInteger<&P::PopulationSize>, Integer<&P::PopulationSize>},
    ParameterKey{"Generations", KeyKind::kInteger, "integer >= 1", "required", 1.0, kNone, false, true,
     "generations to run",
     ReadInteger<&P::Generations>, Integer<&P::Generations>},
    ParameterKey{"EliteIndividuals", KeyKind::kInteger, "integer", "1", 0.0, kNone, true, true,
     "best individuals kept unchanged",
     ReadInteger<&P::EliteIndividuals>, Integer<&P::EliteIndividuals>},
    ParameterKey{"MutationRate", KeyKind::kReal, "real", "0.0", 0.0, 1.0, true, true,
     "probability of mutating a gene",
     ReadReal<&P::MutationRate>, Real<&P::MutationRate>},
    ParameterKey{"CrossoverPoints", KeyKind::kInteger, "integer", "1", kNone, kNone, true, true,
     "cut points of each crossover",
     ReadInteger<&P::CrossoverPoints>, Integer<&P::CrossoverPoints>},
    ParameterKey{"Selection", KeyKind::kWord, "Roulette|Tournament", "Roulette", kNone, kNone, true, true,
     "how parents are chosen",
     ReadSelection, Selection},
    ParameterKey{"Normalisation", KeyKind::kWord, "on|off", "on", kNone, kNone, true, true,
     "normalise fitness before selection",
     ReadNormalisation, Normalisation},
    ParameterKey{"MaxWeight", KeyKind::kReal, "real", "10.0", kNone, kNone, true, true,
     "upper weight bound",
     ReadReal<&P::MaxWeight>, Real<&P::MaxWeight>},
    ParameterKey{"MinWeight", KeyKind::kReal, "real", "10.0", kNone, kNone, true, true,
     "lower weight bound",
     ReadReal<&P::MinWeight>, Real<&P::MinWeight>},
    ParameterKey{"#Features", KeyKind::kInteger, "integer >= 0", "all", 0.0, kNone, false, true,
     "number of input columns to keep, given once before Features",
     ReadNumFeatures, NumFeatures},
    ParameterKey{"Features", KeyKind::kIntegers, "integers", "all", kNone, kNone, true, true,
     "the input columns kept, counting from 0",
     ReadFeatures, Features},
    ParameterKey{"Threads", KeyKind::kInteger, "1 ... 1024", "the machine's", 1.0, 1024.0, false, true,
     "threads that evaluate each generation",
     ReadThreads, Integer<&P::Threads>},
    ParameterKey{"Precision", KeyKind::kWord, "single|double", "double", kNone, kNone, true, true,
     "arithmetic of the measurement: single is faster, double repeats earlier runs",
     ReadPrecision, Precision},
    ParameterKey{"Seed", KeyKind::kInteger, "integer", "the clock", kNone, kNone, false, false,
     "seeds the generator instead of the clock, to repeat a run",
     ReadSeed, Seed},
    ParameterKey{"RunLog", KeyKind::kPath, "path", "none", kNone, kNone, false, false,
     "a CSV log of every generation, written as the run goes",
     ReadPath<&P::RunLog, kMaxPathLength>, Path<&P::RunLog>},
    ParameterKey{"Checkpoint", KeyKind::kPath, "path", "none", kNone, kNone, false, true,
     "where the run's state is saved to resume it later",
     ReadPath<&P::Checkpoint, kMaxPathLength>, Path<&P::Checkpoint>},
    ParameterKey{"CheckpointEvery", KeyKind::kInteger, "integer >= 1", "10", 1.0, kNone, false, true,
     "generations between checkpoints",
     ReadInteger<&P::CheckpointEvery>, CheckpointEvery},
    ParameterKey{"Resume", KeyKind::kPath, "path", "none", kNone, kNone, false, true,
     "a checkpoint to continue the run from",
     ReadPath<&P::Resume, kMaxPathLength>, Path<&P::Resume>},
    ParameterKey{"TargetError", KeyKind::kDouble, "real >= 0", "none", 0.0, kNone, false, true,
     "stop after the first generation with an error this low",
     ReadGivenDouble<&P::TargetError, &P::TargetErrorGiven>,
     GivenDouble<&P::TargetError, &P::TargetErrorGiven>},
    ParameterKey{"TimeLimit", KeyKind::kDouble, "seconds > 0", "none", 0.0, kNone, false, true,
     "stop after the generation that passes this time",
     ReadGivenDouble<&P::TimeLimit, &P::TimeLimitGiven>,
     GivenDouble<&P::TimeLimit, &P::TimeLimitGiven>},
    ParameterKey{"#ValidationClasses", KeyKind::kInteger, "integer >= 1", "none", 1.0, kNone, false, true,
     "number of validation data sets (as many as #DataClasses), given once before the ValidationFile entries",
     ReadValidationClasses, ValidationClasses},
    ParameterKey{"ValidationFile", KeyKind::kPaths, "path", "none", kNone, kNone, false, true,
     "one validation data-set file per class, in the order of the DataFile entries",
     ReadValidationFile, ValidationFiles},
    ParameterKey{"Patience", KeyKind::kInteger, "integer >= 0", "0: none", 0.0, kNone, false, true,
     "stop once the validation error has not improved for this many generations",
     ReadInteger<&P::Patience>, Patience},
    ParameterKey{"KeepBest", KeyKind::kWord, "last|validation", "last", kNone, kNone, false, true,
     "the network written: the fittest of the last generation, or the lowest validation error",
     ReadKeepBest, KeepBest},
};
// clang-format on

}  // namespace

std::span<const ParameterKey> ParameterKeys() {
  return kKeys;
}

const ParameterKey* FindParameterKey(const std::string& name) {
  for (const ParameterKey& key : kKeys) {
    if (Is(name, key.name)) return &key;
  }
  return nullptr;
}

std::string KeyValueText(const ParameterKey& key, const QuillParameters& params) {
  const std::vector<std::string> values = key.values(params);
  if (values.empty()) return "none";
  std::string text;
  for (const std::string& value : values)
    text += (text.empty() ? "" : " ") + value;
  return text;
}
