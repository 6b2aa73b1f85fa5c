// Runs the Quill program itself and checks its messages and exit status.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "QuillCommand.h"

namespace {

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

std::string Slurp(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class QuillBinary : public testing::Test {
 protected:
  void SetUp() override {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::temp_directory_path() /
           (std::string("quill_driver_") + info->name() + "_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  // Writes a parameter file in the test's folder and returns its path.
  std::string Write(const std::string& name, const std::string& text) {
    const auto path = dir_ / name;
    std::ofstream(path) << text;
    return path.string();
  }

  // Runs Quill with `args` (already quoted as needed) from the test's folder,
  // after the shell commands `setup` (such as a ulimit).
  Outcome Run(const std::string& args, const std::string& setup = "true") {
    const auto out = dir_ / "stdout.txt";
    const auto err = dir_ / "stderr.txt";
    const std::string command = "cd '" + dir_.string() + "' && " + setup + " && " + QuillCommand() +
                                " " + args + " >'" + out.string() + "' 2>'" + err.string() +
                                "' </dev/null";
    const int raw = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(raw)) << command;
    return {WEXITSTATUS(raw), Slurp(out), Slurp(err)};
  }

  // Unpacks an input of the run fuzz target (fuzz/corpus/run/<name>): the
  // parameter file, then each file after a line "%%% <file name>".
  void Unpack(const std::string& name) {
    std::ifstream in(std::string(QUILL_SOURCE_DIR) + "/fuzz/corpus/run/" + name);
    ASSERT_TRUE(in.is_open()) << name;
    std::string file = "params.txt", text, line;
    auto flush = [&] {
      if (!text.empty()) text.pop_back();  // the line end before a marker belongs to it
      Write(file, text);
    };
    while (std::getline(in, line)) {
      if (line.rfind("%%% ", 0) == 0) {
        flush();
        file = line.substr(4);
        text.clear();
      } else {
        text += line + "\n";
      }
    }
    flush();
  }

  std::filesystem::path dir_;
};

TEST_F(QuillBinary, CommandLineAndFile) {
  const Outcome none = Run("");
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.err, "Usage: Quill parameter.file\n");
  EXPECT_EQ(none.out, "");
  EXPECT_EQ(Run("a.txt b.txt").err, "Usage: Quill parameter.file\n");

  const Outcome missing = Run("no_such_params.txt");
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "Unable to open fileno_such_params.txt\n");
  // A folder opens but cannot be read.
  EXPECT_EQ(Run(".").err, "Unable to read parameter file\n");
}

TEST_F(QuillBinary, BadParameterFiles) {
  const Outcome empty = Run(Write("empty.txt", ""));
  EXPECT_EQ(empty.status, 1);
  EXPECT_EQ(empty.err, "No weight file specified\n");
  const Outcome weightOnly = Run(Write("weight.txt", "WeightFile = net.wgt\n"));
  EXPECT_EQ(weightOnly.status, 1);
  EXPECT_EQ(weightOnly.err, "Number of classes not specified or invalid\n");
  // A number that cannot be read must still end the run.
  const Outcome word = Run(Write("word.txt", "WeightFile = n Generations = ten\n"));
  EXPECT_EQ(word.status, 1);
  EXPECT_EQ(word.err, "Invalid or missing value for Generations\n");
  // Threads is checked after the other settings, before anything is written.
  const Outcome threads = Run(Write("threads.txt",
                                    "Threads = 0 WeightFile = net.wgt #DataClasses = 1 "
                                    "DataFile = d.dat Generations = 2 PopulationSize = 4\n"));
  EXPECT_EQ(threads.status, 1);
  EXPECT_EQ(threads.err, "Threads must be between 1 and 1024\n");
  EXPECT_EQ(threads.out, "");
  EXPECT_FALSE(std::filesystem::exists(dir_ / "GenTrain.wgt"));
}

TEST_F(QuillBinary, ValidFileReachesTheRunSequence) {
  const Outcome ok = Run(Write("ok.txt",
                               "WeightFile = net.wgt #DataClasses = 1 DataFile = d.dat "
                               "Generations = 2 PopulationSize = 4"));
  // Whatever the run sequence makes of the missing files, none of the
  // parameter file's messages may appear.
  for (const char* message : {"Usage", "Unable to open file", "not specified", "Invalid or missing",
                              "DataFile", "Features", "Unable to read parameter file"}) {
    EXPECT_EQ(ok.err.find(message), std::string::npos) << ok.err;
  }
}

TEST_F(QuillBinary, ExhaustedMemoryEndsWithAMessage) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit allows";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
  GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit allows";
#endif
#endif
  if (std::getenv("QUILL_RUN_PREFIX") != nullptr) GTEST_SKIP() << "the prefix needs its own memory";
  // Two billion individuals of a 2-2-1 network: memory runs out while the
  // population is built, within the 400 MB address space given here.
  const std::string seed = std::string(QUILL_SOURCE_DIR) + "/fuzz/corpus/run/xor_tournament/";
  std::filesystem::copy_file(seed + "net.wgt", dir_ / "net.wgt");
  std::filesystem::copy_file(seed + "data.dat", dir_ / "data.dat");
  Write("huge.txt",
        "WeightFile = net.wgt DestinationFile = out.wgt #DataClasses = 1 DataFile = data.dat "
        "PopulationSize = 2147483647 Generations = 1");
  const Outcome run = Run("huge.txt", "ulimit -v 400000");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "Not enough memory for this run\n");
  EXPECT_FALSE(std::filesystem::exists(dir_ / "out.wgt"));
}

TEST_F(QuillBinary, FuzzRegressionRuns) {
  // A starting weight of -1e40 fits the network's doubles but not the float
  // genes: it trained as an infinity and was written as "-inf", which no
  // reader takes back.
  Unpack("regress-weight-beyond-float");
  const Outcome run = Run("params.txt");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "Weight beyond the float range in weight file net.wgt\n");
  EXPECT_EQ(run.out, "");
  EXPECT_FALSE(std::filesystem::exists(dir_ / "out.wgt"));
}

}  // namespace
