// The README's walk-through, command by command: every command shown there is
// run and its output compared with the output shown.
//
// The commands run with bash in a scratch folder that looks like the
// repository root (examples/ and build/ link to the sources and to the
// programs of this build). The training run is seeded by its parameter file,
// so it and everything after it reproduce. The chart the walk-through draws
// must equal the one the README shows (doc/iris-progress.svg).
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

struct Step {
  std::string command;
  std::string shown;  // the output under the command, without the indent
};

// The steps of the README section whose heading starts with `heading`: each
// indented line "$ command" and the indented lines after it (blank lines
// between them included), up to the next command or prose.
std::vector<Step> ReadSteps(const std::string& readme, const std::string& heading) {
  std::istringstream in(readme);
  std::string line;
  bool inside = false;
  bool open = false;  // indented lines belong to the last step
  std::string blanks;
  std::vector<Step> steps;
  while (std::getline(in, line)) {
    if (line.rfind("## ", 0) == 0) {
      inside = line.rfind(heading, 0) == 0;
      open = false;
      continue;
    }
    if (!inside) continue;
    if (line.rfind("    $ ", 0) == 0) {
      steps.push_back({line.substr(6), ""});
      open = true;
      blanks.clear();
    } else if (line.rfind("    ", 0) == 0) {
      EXPECT_TRUE(open) << "an indented line outside a command's output: " << line;
      if (open) steps.back().shown += blanks + line.substr(4) + "\n";
      blanks.clear();
    } else if (line.empty()) {
      blanks += "\n";
    } else {
      open = false;
      blanks.clear();
    }
  }
  return steps;
}

class Walkthrough : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("quill_walkthrough_" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    fs::create_directory_symlink(fs::path(QUILL_SOURCE_DIR) / "examples", dir_ / "examples");
    fs::create_directory_symlink(fs::path(QUILL_BIN_DIR), dir_ / "build");
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs a shell command in the scratch folder; stdout and stderr together.
  std::string Shell(const std::string& command, int* status) {
    const fs::path script = dir_ / ".step.sh";
    std::ofstream(script) << command << "\n";
    const std::string run = "cd '" + dir_.string() + "' && bash .step.sh >.step.out 2>&1";
    const int raw = std::system(run.c_str());
    *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return Slurp(dir_ / ".step.out");
  }

  fs::path dir_;
};

TEST_F(Walkthrough, EveryCommandShowsItsOutput) {
  const std::string readme = Slurp(fs::path(QUILL_SOURCE_DIR) / "README.md");
  const std::vector<Step> steps = ReadSteps(readme, "## Walk-through");
  ASSERT_GE(steps.size(), 8u) << "the walk-through section was not found";
  bool ran_quill = false;
  for (const Step& step : steps) {
    SCOPED_TRACE(step.command);
    if (step.command.rfind("./build/Quill ", 0) == 0) ran_quill = true;
    int status = -1;
    const std::string output = Shell(step.command, &status);
    EXPECT_EQ(status, 0) << output;
    EXPECT_EQ(output, step.shown);
  }
  EXPECT_TRUE(ran_quill);
  // The chart in the README is the one the walk-through draws.
  EXPECT_EQ(Slurp(dir_ / "iris-progress.svg"),
            Slurp(fs::path(QUILL_SOURCE_DIR) / "doc/iris-progress.svg"));
}

}  // namespace
