// The key table that the parameter-file reader, `Quill --help`, the manual
// page and the README share.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "MLP/Quill/ParameterFile.h"
#include "MLP/Quill/ParameterKeys.h"
#include "MLP/Quill/Usage.h"
#include "common/StrCase.h"

namespace {

std::optional<std::string> Read(const std::string& text, QuillParameters& params) {
  std::istringstream in(text);
  return ReadQuillParameters(in, params);
}

std::optional<std::string> Read(const std::string& text) {
  QuillParameters params;
  return Read(text, params);
}

std::set<std::string> TableKeys() {
  std::set<std::string> names;
  for (const ParameterKey& key : ParameterKeys()) {
    EXPECT_TRUE(names.insert(key.name).second) << key.name;
    // A row without a rule to read or give back its key would be skipped.
    EXPECT_TRUE(key.read != nullptr && key.values != nullptr && key.description != nullptr)
        << key.name;
  }
  return names;
}

// Every key of the table is read as a key, in any letter case (a key without
// its value is reported under its own name), and appears in the help; a word
// that is not in the table is skipped.
TEST(Usage, TheReaderAndTheHelpShareEveryKey) {
  const std::string help = QuillHelp();
  for (const std::string& name : TableKeys()) {
    EXPECT_NE(help.find("\n  " + name + " "), std::string::npos) << name;
    std::string lower = name;
    for (char& c : lower)
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(Read(lower), "Invalid or missing value for " + name);
    EXPECT_EQ(Read(name), "Invalid or missing value for " + name);
    EXPECT_EQ(FindParameterKey(lower), FindParameterKey(name));
  }
  EXPECT_EQ(Read("Colour"), std::nullopt);
  EXPECT_EQ(FindParameterKey("Colour"), nullptr);
  EXPECT_EQ(QuillVersion(), "Quill 1.0.0\n");
}

// What each key gives back is what it reads: a file written from the values
// of every key reads back to the same values, key by key.
TEST(Usage, EveryKeyReadsBackWhatItGives) {
  const std::string file =
      "weightfile = in.wgt DestinationFile = out.wgt #DataClasses = 2 DataFile = a.dat "
      "DataFile = b.dat PopulationSize = 0x1e Generations = 010 EliteIndividuals = -3 "
      "MutationRate = 0.1 CrossoverPoints = 2 Selection = TOURNAMENT Normalisation = off "
      "MaxWeight = 1e39 MinWeight = -2.5 #Features = 3 Features = 4 0 2 Threads = 3 Seed = -7 "
      "RunLog = run.csv Checkpoint = c.ckpt CheckpointEvery = 5 Resume = r.ckpt "
      "TargetError = 0.001 TimeLimit = 3600.5 Precision = SINGLE #ValidationClasses = 2 "
      "ValidationFile = va.dat ValidationFile = vb.dat Patience = 0x10 KeepBest = Validation";
  QuillParameters first;
  ASSERT_EQ(Read(file, first), std::nullopt);
  std::string written;
  for (const ParameterKey& key : ParameterKeys()) {
    const std::vector<std::string> values = key.values(first);
    EXPECT_FALSE(values.empty()) << key.name << " gives nothing back";
    for (const std::string& value : values)
      written += std::string(key.name) + " = " + value + "\n";
  }
  QuillParameters second;
  ASSERT_EQ(Read(written, second), std::nullopt) << written;
  for (const ParameterKey& key : ParameterKeys())
    EXPECT_EQ(key.values(second), key.values(first)) << key.name;
  // Keys that are absent give nothing back (a list of values would be
  // written for them).
  QuillParameters defaults;
  for (const char* name :
       {"Seed", "RunLog", "Checkpoint", "Resume", "TargetError", "TimeLimit", "#Features",
        "Features", "DataFile", "Precision", "#ValidationClasses", "ValidationFile", "Patience",
        "KeepBest"})
    EXPECT_TRUE(FindParameterKey(name)->values(defaults).empty()) << name;
  EXPECT_EQ(KeyValueText(*FindParameterKey("Features"), defaults), "none");
  EXPECT_EQ(KeyValueText(*FindParameterKey("Features"), first), "4 0 2");
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::set<std::string> Matches(const std::string& text, const std::regex& pattern) {
  std::set<std::string> found;
  for (auto m = std::sregex_iterator(text.begin(), text.end(), pattern);
       m != std::sregex_iterator(); ++m)
    found.insert((*m)[1].str());
  return found;
}

// The manual page and the README list exactly the keys of the table.
TEST(Usage, TheManualAndTheReadmeListEveryKey) {
  const std::string page = Slurp(QUILL_SOURCE_DIR "/man/quill-params.5");
  const std::string keys = page.substr(page.find(".SH KEYS"));
  EXPECT_EQ(Matches(keys.substr(0, keys.find("\n.SH", 1)), std::regex(R"(\.TP\n\.B[IR]? (\S+))")),
            TableKeys());
  const std::string readme = Slurp(QUILL_SOURCE_DIR "/README.md");
  const std::string table = readme.substr(readme.find("| Key | Default | Value |"));
  EXPECT_EQ(Matches(table.substr(0, table.find("\n\n")), std::regex(R"(\n\| `([^`]+)` \|)")),
            TableKeys());
}

}  // namespace
