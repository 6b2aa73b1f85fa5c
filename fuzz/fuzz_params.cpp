// Fuzz target: the parameter-file reader and its validation.
//
// Any input ends with a message or with parameters whose lists match their
// counts and whose words fit their fields.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <sstream>
#include <string>

#include "FuzzSupport.h"
#include "MLP/Quill/ParameterCheck.h"
#include "MLP/Quill/ParameterFile.h"

namespace {

// The parameter check (without loading the files the input names) fails
// exactly when reading or validating the file does, with the same message.
void CheckAgrees(const std::string& text, const std::optional<std::string>& error) {
  const CheckReport report = CheckParameterFile("p.txt", text, {.inputs = false, .measure = false});
  FUZZ_CHECK((report.Status() == 1) == error.has_value());
  if (error) {
    bool named = false;
    for (const CheckFinding& f : report.findings)
      named = named || (f.level == CheckFinding::Level::kError && f.text.rfind(*error, 0) == 0);
    FUZZ_CHECK(named);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::istringstream in(text);
  QuillParameters p;
  if (const auto error = ReadQuillParameters(in, p)) {
    FUZZ_CHECK(!error->empty());
    CheckAgrees(text, error);
    return 0;
  }
  FUZZ_CHECK(p.DataClasses >= 0);
  FUZZ_CHECK(p.DataFiles.size() == static_cast<std::size_t>(p.DataClasses));
  if (p.FeaturesGiven) {
    FUZZ_CHECK(p.NumFeatures >= 0);
    FUZZ_CHECK(p.Features.size() == static_cast<std::size_t>(p.NumFeatures));
  } else {
    FUZZ_CHECK(p.NumFeatures == 0 && p.Features.empty());
  }
  FUZZ_CHECK(p.WeightFile.size() <= 255 && p.DestinationFile.size() <= 255);
  for (const std::string& name : p.DataFiles)
    FUZZ_CHECK(!name.empty() && name.size() <= 254);
  FUZZ_CHECK(p.Selection == QuillParameters::kSelectRoulette ||
             p.Selection == QuillParameters::kSelectTournament);
  FUZZ_CHECK(p.Normalisation == 0 || p.Normalisation == 1);
  std::optional<std::string> invalid = ValidateQuillParameters(p);
  if (!invalid && (p.EliteIndividuals < 0 || p.EliteIndividuals > p.PopulationSize))
    invalid = "EliteIndividuals invalid";
  CheckAgrees(text, invalid);
  if (const auto error = ValidateQuillParameters(p)) {
    FUZZ_CHECK(!error->empty());
  } else {
    FUZZ_CHECK(p.Threads >= 1 && p.Threads <= 1024);
  }
  return 0;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  quillfuzz::SilenceStreams();
  return 0;
}
