// Running the programs from tests: a scratch folder per test and the outcome
// (exit status, standard output, standard error) of a command run in it.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace tooltest {

namespace fs = std::filesystem;

inline std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

// A fresh folder for the running test, removed afterwards.
class ScratchTest : public testing::Test {
 protected:
  void SetUp() override {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() / (std::string("quill_tools_") + info->test_suite_name() +
                                        "_" + info->name() + "_" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path Write(const std::string& name, const std::string& text) {
    const fs::path path = dir_ / name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }

  // Runs `command` in the folder with the build's programs first on PATH.
  // QUILL_RUN_PREFIX (valgrind in CI) goes before a command that starts
  // with one of the programs.
  Outcome Run(const std::string& command, const std::string& input = "") {
    const char* prefix = std::getenv("QUILL_RUN_PREFIX");
    const std::string full = (prefix != nullptr ? std::string(prefix) + " " : "") + command;
    const fs::path in = Write(".stdin", input);
    const std::string shell = "cd '" + dir_.string() + "' && export PATH='" + QUILL_BIN_DIR +
                              "':\"$PATH\" && { " + full + "; } <.stdin >.stdout 2>.stderr";
    const int raw = std::system(shell.c_str());
    Outcome o;
    o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    o.out = Slurp(dir_ / ".stdout");
    o.err = Slurp(dir_ / ".stderr");
    return o;
  }

  // The files in the folder, other than the captured streams.
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) {
      const std::string name = e.path().filename().string();
      if (name[0] != '.') names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path dir_;
};

}  // namespace tooltest
