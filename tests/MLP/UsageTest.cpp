// The key table that the parameter-file reader and `Quill --help` share.
#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "MLP/Quill/ParameterFile.h"
#include "MLP/Quill/Usage.h"
#include "common/StrCase.h"

namespace {

std::optional<std::string> Read(const std::string& text) {
  std::istringstream in(text);
  QuillParameters params;
  return ReadQuillParameters(in, params);
}

// Every key of the table is read as a key, in any letter case (a key without
// its value is reported under its own name), and appears in the help; a word
// that is not in the table is skipped.
TEST(Usage, TheReaderAndTheHelpShareEveryKey) {
  const std::string help = QuillHelp();
  std::set<std::string> names;
  for (const ParameterKey& key : ParameterKeys()) {
    const std::string name = key.name;
    EXPECT_TRUE(names.insert(name).second) << name;
    EXPECT_NE(help.find("\n  " + name + " "), std::string::npos) << name;
    std::string lower = name;
    for (char& c : lower)
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(Read(lower), "Invalid or missing value for " + name);
    EXPECT_EQ(Read(name), "Invalid or missing value for " + name);
  }
  EXPECT_EQ(Read("Colour"), std::nullopt);
  EXPECT_EQ(QuillVersion(), "Quill 1.0.0\n");
}

}  // namespace
