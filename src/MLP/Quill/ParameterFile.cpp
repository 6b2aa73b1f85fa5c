#include "MLP/Quill/ParameterFile.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <thread>

#include "MLP/Quill/Usage.h"
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

namespace {

// Longest values the fields take; longer words are rejected.
constexpr std::size_t kMaxPathLength = 255;
constexpr std::size_t kMaxDataFileLength = 254;
constexpr std::size_t kMaxSelectionLength = 19;
constexpr std::size_t kMaxNormalisationLength = 9;

bool Is(const std::string& word, const char* key) {
  return quill::strcasecmp(word.c_str(), key) == 0;
}

std::optional<std::string> BadValue(const char* key) {
  return std::string("Invalid or missing value for ") + key;
}

std::string TooLong(const char* key, std::size_t length) {
  return std::string(key) + " longer than " + std::to_string(length) + " characters";
}

// Reads the separator character that follows every key: the next
// non-whitespace character, whatever it is. A digit counts too, so
// "PopulationSize 50" takes "5" as the separator and reads 0.
bool ReadSeparator(std::istream& in) {
  char separator = 0;
  return static_cast<bool>(in >> separator);
}

// Reads one integer as a stream does with no fixed base: sign, then decimal
// digits, octal after a leading 0, hexadecimal after 0x.
bool ReadInt(std::istream& in, std::int32_t& value) {
  std::int32_t read = 0;
  if (!(in >> read)) return false;
  value = read;
  return true;
}

// Reads one real. A number beyond the float range fails the extraction but
// is kept as plus or minus the largest float, and reading goes on.
bool ReadReal(std::istream& in, float& value) {
  float read = 0.0f;
  if (!(in >> read)) {
    constexpr float kLargest = std::numeric_limits<float>::max();
    if (read != kLargest && read != -kLargest) return false;
    in.clear(in.rdstate() & ~std::ios_base::failbit);
  }
  value = read;
  return true;
}

// Reads one real in double precision, as the stream reads it; a number
// beyond the double range fails (the keys read this way need a usable
// number, and a stream reads no NaN or infinity).
bool ReadDouble(std::istream& in, double& value) {
  double read = 0.0;
  if (!(in >> read) || !std::isfinite(read)) return false;
  value = read;
  return true;
}

// Reads one word of at most `limit` characters into `word`.
std::optional<std::string> ReadWord(std::istream& in, const char* key, std::size_t limit,
                                    std::string& word) {
  std::string read;
  if (!(in >> read)) return BadValue(key);
  if (read.size() > limit) return TooLong(key, limit);
  word = std::move(read);
  return std::nullopt;
}

// Restores the stream's number base on the way out.
class BaseFieldGuard {
 public:
  explicit BaseFieldGuard(std::istream& in) : in_(in), flags_(in.flags()) {
    in_.unsetf(std::ios_base::basefield);
  }
  ~BaseFieldGuard() { in_.flags(flags_); }
  BaseFieldGuard(const BaseFieldGuard&) = delete;
  BaseFieldGuard& operator=(const BaseFieldGuard&) = delete;

 private:
  std::istream& in_;
  std::ios_base::fmtflags flags_;
};

// The key a word selects, spelled as in messages, or null for any other word.
// The keys are those of the help (Usage.cpp).
const char* MatchKey(const std::string& word) {
  for (const ParameterKey& key : ParameterKeys()) {
    if (Is(word, key.name)) return key.name;
  }
  return nullptr;
}

// What the reader knows beyond the parameters themselves.
struct ReadState {
  bool dataClassesGiven = false;
  bool featuresRead = false;
};

// Reads the value of `key` (as returned by MatchKey) after its separator.
std::optional<std::string> ReadEntry(std::istream& in, const std::string& key, QuillParameters& p,
                                     ReadState& state) {
  if (!ReadSeparator(in)) return BadValue(key.c_str());

  if (Is(key, "WeightFile")) return ReadWord(in, "WeightFile", kMaxPathLength, p.WeightFile);
  if (Is(key, "DestinationFile")) {
    return ReadWord(in, "DestinationFile", kMaxPathLength, p.DestinationFile);
  }
  if (Is(key, "#DataClasses")) {
    if (state.dataClassesGiven) return std::string("#DataClasses given more than once");
    if (!ReadInt(in, p.DataClasses)) return BadValue("#DataClasses");
    if (p.DataClasses < 0) return std::string("#DataClasses is negative");
    state.dataClassesGiven = true;
    return std::nullopt;
  }
  if (Is(key, "DataFile")) {
    if (!state.dataClassesGiven) return std::string("DataFile given before #DataClasses");
    if (p.DataFiles.size() >= static_cast<std::size_t>(p.DataClasses)) {
      return std::string("More DataFile entries than #DataClasses");
    }
    std::string name;
    if (auto error = ReadWord(in, "DataFile", kMaxDataFileLength, name)) return error;
    p.DataFiles.push_back(std::move(name));
    return std::nullopt;
  }
  if (Is(key, "PopulationSize")) {
    return ReadInt(in, p.PopulationSize) ? std::nullopt : BadValue("PopulationSize");
  }
  if (Is(key, "Generations")) {
    return ReadInt(in, p.Generations) ? std::nullopt : BadValue("Generations");
  }
  if (Is(key, "EliteIndividuals")) {
    return ReadInt(in, p.EliteIndividuals) ? std::nullopt : BadValue("EliteIndividuals");
  }
  if (Is(key, "MutationRate")) {
    return ReadReal(in, p.MutationRate) ? std::nullopt : BadValue("MutationRate");
  }
  if (Is(key, "CrossoverPoints")) {
    return ReadInt(in, p.CrossoverPoints) ? std::nullopt : BadValue("CrossoverPoints");
  }
  if (Is(key, "Selection")) {
    std::string word;
    if (auto error = ReadWord(in, "Selection", kMaxSelectionLength, word)) return error;
    if (Is(word, "Roulette")) {
      p.Selection = QuillParameters::kSelectRoulette;
    } else if (Is(word, "Tournament")) {
      p.Selection = QuillParameters::kSelectTournament;
    } else {
      return std::string("Unknown selection method");
    }
    return std::nullopt;
  }
  if (Is(key, "Normalisation")) {
    std::string word;
    if (auto error = ReadWord(in, "Normalisation", kMaxNormalisationLength, word)) return error;
    // Any other word leaves the flag as it was.
    if (Is(word, "on")) p.Normalisation = 1;
    if (Is(word, "off")) p.Normalisation = 0;
    return std::nullopt;
  }
  if (Is(key, "MaxWeight")) return ReadReal(in, p.MaxWeight) ? std::nullopt : BadValue("MaxWeight");
  if (Is(key, "MinWeight")) return ReadReal(in, p.MinWeight) ? std::nullopt : BadValue("MinWeight");
  if (Is(key, "Threads")) return ReadInt(in, p.Threads) ? std::nullopt : BadValue("Threads");
  if (Is(key, "Seed")) {
    if (!ReadInt(in, p.Seed)) return BadValue("Seed");
    p.SeedGiven = true;
    return std::nullopt;
  }
  if (Is(key, "RunLog")) return ReadWord(in, "RunLog", kMaxPathLength, p.RunLog);
  if (Is(key, "Checkpoint")) return ReadWord(in, "Checkpoint", kMaxPathLength, p.Checkpoint);
  if (Is(key, "Resume")) return ReadWord(in, "Resume", kMaxPathLength, p.Resume);
  if (Is(key, "CheckpointEvery")) {
    return ReadInt(in, p.CheckpointEvery) ? std::nullopt : BadValue("CheckpointEvery");
  }
  if (Is(key, "TargetError")) {
    if (!ReadDouble(in, p.TargetError)) return BadValue("TargetError");
    p.TargetErrorGiven = true;
    return std::nullopt;
  }
  if (Is(key, "TimeLimit")) {
    if (!ReadDouble(in, p.TimeLimit)) return BadValue("TimeLimit");
    p.TimeLimitGiven = true;
    return std::nullopt;
  }
  if (Is(key, "Precision")) return ReadWord(in, "Precision", kMaxPathLength, p.Precision);
  if (Is(key, "#Features")) {
    if (p.FeaturesGiven) return std::string("#Features given more than once");
    if (!ReadInt(in, p.NumFeatures)) return BadValue("#Features");
    if (p.NumFeatures < 0) return std::string("#Features is negative");
    p.FeaturesGiven = true;
    return std::nullopt;
  }
  // Features: exactly #Features integers, separated by whitespace only. The
  // list grows as numbers arrive, so a large count with few numbers costs
  // nothing before it is rejected.
  if (!p.FeaturesGiven) return std::string("Features given before #Features");
  state.featuresRead = true;
  p.Features.clear();
  for (std::int32_t i = 0; i < p.NumFeatures; ++i) {
    std::int32_t feature = 0;
    if (!ReadInt(in, feature)) return std::string("Features list shorter than #Features");
    p.Features.push_back(feature);
  }
  return std::nullopt;
}

}  // namespace

std::int32_t QuillParameters::DefaultThreads() {
  // Asked once: the answer does not change during a run, and asking may read
  // a system file.
  static const std::int32_t threads = static_cast<std::int32_t>(
      std::clamp<unsigned>(std::thread::hardware_concurrency(), 1, kMaxThreads));
  return threads;
}

std::optional<std::string> ReadQuillParameters(std::istream& in, QuillParameters& params) {
  BaseFieldGuard guard(in);
  ReadState state;
  std::string word;
  while (in >> word) {
    // Any other word is skipped alone; what follows it is read as keys again.
    const char* key = MatchKey(word);
    if (key == nullptr) continue;
    if (auto error = ReadEntry(in, key, params, state)) return error;
  }
  if (in.bad()) return std::string("Unable to read parameter file");
  // The lists must be complete: the run sequence loads one data set per class
  // and restricts the inputs to exactly #Features columns.
  if (params.DataFiles.size() < static_cast<std::size_t>(params.DataClasses)) {
    return std::string("Fewer DataFile entries than #DataClasses");
  }
  if (params.FeaturesGiven && !state.featuresRead) {
    return std::string("#Features given without Features");
  }
  return std::nullopt;
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
  if (!Is(p.Precision, "single") && !Is(p.Precision, "double")) {
    return "Precision must be single or double, not \"" + p.Precision + "\"";
  }
  return std::nullopt;
}

bool QuillParameters::SinglePrecision() const {
  return Is(Precision, "single");
}
