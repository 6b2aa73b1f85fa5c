// `Quill --check`: its findings on realistic mistakes, and that it never
// disagrees with a real run about whether the run fails.
#include "MLP/Quill/ParameterCheck.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "MLP/Quill/ParameterKeys.h"
#include "QuillCommand.h"

namespace {

const std::string kXorNet = std::string(QUILL_SOURCE_DIR) + "/examples/xor/xor.wgt";
const std::string kXorData = std::string(QUILL_SOURCE_DIR) + "/examples/xor/xor.dat";
const std::string kIrisNet = std::string(QUILL_SOURCE_DIR) + "/examples/iris/iris.wgt";

// A file that checks clean; each case below changes or adds lines.
std::string Clean(const std::string& extra = "") {
  return "WeightFile = " + kXorNet +
         "\nDestinationFile = out.wgt\n#DataClasses = 1\nDataFile = " + kXorData +
         "\nPopulationSize = 6\nGenerations = 3\nEliteIndividuals = 1\nMutationRate = 0.05\n"
         "Selection = Tournament\nMaxWeight = 10\nMinWeight = -10\nSeed = 7\n" +
         extra;
}

std::string Without(std::string text, const std::string& line) {
  text.erase(text.find(line), line.size());
  return text;
}

struct Expected {
  CheckFinding::Level level;
  int line;  // 0: any line
  std::string text;
};

struct Case {
  const char* name;
  std::string file;
  int status;
  std::vector<Expected> findings;  // each must appear (others may too)
};

using L = CheckFinding::Level;

std::vector<Case> Corpus() {
  return {
      {"clean",
       Clean(),
       0,
       {{L::kNote, 1, "4 layers"}, {L::kNote, 4, "4 rows, 2 inputs, 1 output"}}},
      {"single precision",
       Clean("Precision = single\n"),
       0,
       {{L::kNote, 0, ", single precision), 4 patterns per individual"}}},
      {"unknown precision",
       Clean("Precision = half\n"),
       1,
       {{L::kError, 13, "Precision must be single or double, not \"half\""}}},
      {"typo",
       Clean("MutationRat = 0.5\nNormalization = off\n"),
       3,
       {{L::kWarning, 13, "'MutationRat' is not a key (MutationRate?)"},
        {L::kWarning, 14, "(Normalisation?)"}}},
      {"glued", Clean("CrossoverPoints=2\n"), 3, {{L::kWarning, 13, "put a blank after the key"}}},
      {"partial numbers",
       Clean("Generations = 1e4\nCrossoverPoints = 1,000\nThreads = 078\n"),
       3,
       {{L::kWarning, 13, "Generations = 1e4 is read as 1"},
        {L::kWarning, 13, "(10000, not 1e4)"},
        {L::kWarning, 14, "',000' is skipped"},
        {L::kWarning, 15, "octal"}}},
      {"separator",
       Clean("Generations 12\n"),
       3,
       {{L::kWarning, 13, "'1' is taken as the separator"}}},
      {"comment", Clean("# tune later\n"), 3, {{L::kWarning, 13, "the file has no comments"}}},
      {"given twice",
       Clean("Generations = 4\n"),
       3,
       {{L::kWarning, 13, "replaces the one on line 6"}}},
      {"no mutation", Clean("MutationRate = 0\n"), 3, {{L::kWarning, 13, "MutationRate is 0"}}},
      {"mutation above 1", Clean("MutationRate = 5\n"), 3, {{L::kWarning, 13, "outside 0 ... 1"}}},
      {"reversed bounds",
       Clean("MaxWeight = -1\nMinWeight = 1\n"),
       3,
       {{L::kWarning, 14, "reversed"}, {L::kWarning, 13, "above MaxWeight"}}},
      {"default lower bound",
       Without(Clean(), "MinWeight = -10\n"),
       3,
       {{L::kWarning, 0, "MinWeight is not given"}}},
      {"all elite", Clean("EliteIndividuals = 6\n"), 3, {{L::kWarning, 13, "none is bred"}}},
      {"crossover",
       Clean("CrossoverPoints = 40\n"),
       3,
       {{L::kWarning, 13, "every crossover is uniform"}}},
      {"elite above population",
       Clean("EliteIndividuals = 7\n"),
       1,
       {{L::kError, 13, "EliteIndividuals invalid"}}},
      {"missing network",
       Clean("WeightFile = no-such.wgt\n"),
       1,
       {{L::kError, 13, "there is no WeightFile 'no-such.wgt' in"}}},
      {"network is a folder",
       Clean("WeightFile = " + std::string(QUILL_SOURCE_DIR) + "\n"),
       1,
       {{L::kError, 13, "is a folder"}}},
      {"data does not fit",
       Clean("WeightFile = " + kIrisNet + "\n"),
       1,
       {{L::kError, 4, "Data does not fit the network in data file"},
        {L::kError, 4, "the network has 4 inputs and 3 outputs"}}},
      {"bad feature",
       Clean("#Features = 1\nFeatures = 5\n"),
       1,
       {{L::kError, 4, "Invalid feature for data file"}}},
      {"not validated",
       "WeightFile = " + kXorNet + "\n#DataClasses = 1\nDataFile = " + kXorData + "\n",
       1,
       {{L::kError, 0, "Number of generations not specified or invalid: add"}}},
      {"reading stops",
       Clean("Selection = Random\n"),
       1,
       {{L::kError, 13, "Unknown selection method: Selection is Roulette or Tournament"}}},
      {"value missing",
       Clean("Generations"),
       1,
       {{L::kError, 13, "Invalid or missing value for Generations"}}},
  };
}

std::string Print(const CheckReport& report) {
  std::ostringstream out;
  report.Print(out, "p.txt");
  return out.str();
}

// The time estimate names the threads the run uses: without Threads, one for
// a generation as small as the xor example's; with it, exactly that many.
TEST(ParameterCheck, TheEstimateNamesTheThreadsTheRunUses) {
  for (const auto& [extra, threads] :
       {std::pair<std::string, std::string>{"", "1 thread)"}, {"Threads = 3\n", "3 threads)"}}) {
    const CheckReport report =
        CheckParameterFile("p.txt", Clean(extra), {.inputs = true, .measure = true});
    const std::string text = Print(report);
    EXPECT_NE(text.find(" per individual, " + threads), std::string::npos) << text;
  }
}

TEST(ParameterCheck, FindsEachKindOfMistakeOnItsLine) {
  for (const Case& c : Corpus()) {
    SCOPED_TRACE(c.name);
    const CheckReport report =
        CheckParameterFile("p.txt", c.file, {.inputs = true, .measure = false});
    EXPECT_EQ(report.Status(), c.status) << Print(report);
    for (const Expected& e : c.findings) {
      bool found = false;
      for (const CheckFinding& f : report.findings) {
        found = found || (f.level == e.level && (e.line == 0 || f.line == e.line) &&
                          f.text.find(e.text) != std::string::npos);
      }
      EXPECT_TRUE(found) << "expected line " << e.line << ": " << e.text << "\n" << Print(report);
    }
    // The clean file has notes only.
    if (c.status == 0) {
      for (const CheckFinding& f : report.findings)
        EXPECT_EQ(f.level, L::kNote) << f.text;
    }
  }
}

TEST(ParameterCheck, NearestKeyCatchesLikelySlipsOnly) {
  EXPECT_EQ(NearestKey("MutationRat"), "MutationRate");
  EXPECT_EQ(NearestKey("mutationrate"), "MutationRate");  // keys take any case anyway
  EXPECT_EQ(NearestKey("Normalization"), "Normalisation");
  EXPECT_EQ(NearestKey("Genrations"), "Generations");
  EXPECT_EQ(NearestKey("Population"), "PopulationSize");
  EXPECT_EQ(NearestKey("DataClasses"), "#DataClasses");
  EXPECT_EQ(NearestKey("WieghtFile"), "WeightFile");
  EXPECT_EQ(NearestKey("Colour"), "");
  EXPECT_EQ(NearestKey("="), "");
  EXPECT_EQ(NearestKey("the"), "");
}

// The check's verdict on whether the run fails is the run's own: each file of
// the corpus is run by the program, which fails (status 1) exactly when the
// check says status 1.
TEST(ParameterCheck, AgreesWithTheRunOnWhetherItFails) {
  const auto dir =
      std::filesystem::temp_directory_path() / ("quill_check_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  for (const Case& c : Corpus()) {
    SCOPED_TRACE(c.name);
    std::ofstream(dir / "p.txt") << c.file;
    std::filesystem::remove(dir / "out.wgt");
    const std::string run =
        "cd '" + dir.string() + "' && " + QuillCommand() + " p.txt >/dev/null 2>&1 </dev/null";
    const int raw = std::system(run.c_str());
    ASSERT_TRUE(WIFEXITED(raw));
    const std::string check = "cd '" + dir.string() + "' && " + QuillCommand() +
                              " --check p.txt >/dev/null 2>&1 </dev/null";
    const int checked = std::system(check.c_str());
    ASSERT_TRUE(WIFEXITED(checked));
    EXPECT_EQ(WEXITSTATUS(checked), c.status);
    EXPECT_EQ(WEXITSTATUS(raw) == 1, WEXITSTATUS(checked) == 1);
    EXPECT_EQ(WEXITSTATUS(raw) == 0, std::filesystem::exists(dir / "out.wgt"));
  }
  std::filesystem::remove_all(dir);
}

}  // namespace

namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

// A block of lines is a parameter-file fragment when every line that is not
// blank starts with a key.
bool IsFragment(const std::vector<std::string>& block) {
  bool any = false;
  for (const std::string& line : block) {
    std::istringstream words(line);
    std::string first;
    if (!(words >> first)) continue;
    if (FindParameterKey(first) == nullptr) return false;
    any = true;
  }
  return any;
}

// The README's indented code blocks and the manual pages' examples.
std::vector<std::string> DocumentedBlocks() {
  std::vector<std::string> blocks;
  std::string block;
  for (const std::string& line : SplitLines(Slurp(QUILL_SOURCE_DIR "/README.md"))) {
    if (line.rfind("    ", 0) == 0) {
      block += line.substr(4) + "\n";
    } else if (!line.empty() || block.empty()) {
      if (!block.empty()) blocks.push_back(block);
      block.clear();
    }
  }
  for (const auto& page : std::filesystem::directory_iterator(QUILL_SOURCE_DIR "/man")) {
    const std::string text = Slurp(page.path().string());
    for (std::size_t at = text.find(".EX\n"); at != std::string::npos;
         at = text.find(".EX\n", at + 1)) {
      std::string example = text.substr(at + 4, text.find(".EE", at) - at - 4);
      for (std::size_t i = example.find('\\'); i != std::string::npos;
           i = example.find('\\', i + 1))
        example.erase(i, 1);  // \- is -, \e is a backslash
      blocks.push_back(example);
    }
  }
  return blocks;
}

// Every parameter-file fragment of the README and the manual pages checks
// clean from the repository root: as a whole file when it names a weight
// file, otherwise added to the xor example.
TEST(ParameterCheck, TheDocumentedFragmentsHaveNoFinding) {
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(QUILL_SOURCE_DIR);
  int fragments = 0;
  for (const std::string& block : DocumentedBlocks()) {
    if (!IsFragment(SplitLines(block))) continue;
    ++fragments;
    const std::string file = block.find("WeightFile") != std::string::npos
                                 ? block
                                 : Slurp("examples/xor/params.txt") + block;
    const CheckReport report =
        CheckParameterFile("fragment", file, {.inputs = true, .measure = false});
    std::ostringstream printed;
    report.Print(printed, "fragment");
    EXPECT_EQ(report.Status(), 0) << block << printed.str();
  }
  std::filesystem::current_path(previous);
  EXPECT_GE(fragments, 3);
}

// The README's example of the check is what the check prints, but for the
// notes that depend on the machine.
TEST(ParameterCheck, TheReadmeExampleIsWhatTheCheckPrints) {
  const std::string command = "examples/xor/params.txt";
  std::string shown;
  for (const std::string& block : DocumentedBlocks()) {
    if (block.rfind("$ ./build/Quill --check " + command + "\n", 0) == 0) shown = block;
  }
  ASSERT_FALSE(shown.empty());
  const std::string run = "cd '" QUILL_SOURCE_DIR "' && " + QuillCommand() + " --check " + command +
                          " > '" + std::filesystem::temp_directory_path().string() +
                          "/quill_check_readme.txt'";
  ASSERT_EQ(std::system(run.c_str()), 0);
  auto stable = [](const std::vector<std::string>& lines) {
    std::vector<std::string> kept;
    for (const std::string& line : lines) {
      if (line.find("note: evaluation") == std::string::npos &&
          line.find("note: memory") == std::string::npos)
        kept.push_back(line);
    }
    return kept;
  };
  std::vector<std::string> expected = SplitLines(shown);
  expected.erase(expected.begin());
  EXPECT_EQ(stable(SplitLines(Slurp(std::filesystem::temp_directory_path().string() +
                                    "/quill_check_readme.txt"))),
            stable(expected));
}

}  // namespace
