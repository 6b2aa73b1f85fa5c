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

// A run that no machine could hold is refused before it starts (nothing
// printed, nothing written), not ended by the kernel; inputs that never end
// (here /dev/zero as every file a run reads) end at once with a message
// naming them.
TEST_F(QuillBinary, RunsTooLargeAndEndlessInputsEndAtOnce) {
  const std::string seed = std::string(QUILL_SOURCE_DIR) + "/fuzz/corpus/run/xor_tournament/";
  std::filesystem::copy_file(seed + "net.wgt", dir_ / "net.wgt");
  std::filesystem::copy_file(seed + "data.dat", dir_ / "data.dat");
  const std::string run = "DestinationFile = out.wgt #DataClasses = 1 Generations = 1 ";
  // A CPU time limit, so that a reader that never ends fails the test rather
  // than hangs it.
  const std::string limits = "ulimit -t 20";
  Write("huge.txt", run + "WeightFile = net.wgt DataFile = data.dat PopulationSize = 2147483647");
  const Outcome huge = Run("huge.txt", limits);
  EXPECT_EQ(huge.status, 1);
  EXPECT_EQ(huge.err, "Not enough memory for this run\n");
  EXPECT_EQ(huge.out, "");
  const struct {
    std::string params, message;
  } kEndless[] = {
      {"WeightFile = /dev/zero DataFile = data.dat",
       "NUL byte (not a text file) in weight file /dev/zero"},
      {"WeightFile = net.wgt DataFile = /dev/zero",
       "NUL byte (not a text file) in data file /dev/zero"},
      {"WeightFile = net.wgt DataFile = data.dat Resume = /dev/zero",
       "Checkpoint file /dev/zero is damaged: NUL byte (not a text file)"},
  };
  for (const auto& c : kEndless) {
    Write("endless.txt", run + "PopulationSize = 4 " + c.params);
    const Outcome o = Run("endless.txt", limits);
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, c.message + "\n");
  }
  EXPECT_EQ(
      Run("/dev/zero", limits).err,
      "Parameter file /dev/zero: a word longer than 4096 characters (not a parameter file)\n");
  EXPECT_FALSE(std::filesystem::exists(dir_ / "out.wgt"));
}

// Data so large that squared errors overflow used to print "inf" or "nan"
// and "2.14748e+09 0" without a word; ordinary runs print no warning.
TEST_F(QuillBinary, ErrorsThatOverflowAreReported) {
  const std::string seed = std::string(QUILL_SOURCE_DIR) + "/fuzz/corpus/run/xor_tournament/";
  std::filesystem::copy_file(seed + "net.wgt", dir_ / "net.wgt");
  Write("big.dat",
        "[DataSet] [Rows = 1] [Inputs = 2] [ExpectedOutputs = 1] [Data] 1 1 1e200 [~Data] "
        "[~DataSet]");
  Write("big.txt",
        "WeightFile = net.wgt DestinationFile = out.wgt #DataClasses = 1 DataFile = big.dat "
        "PopulationSize = 4 Generations = 2 Seed = 1");
  const Outcome o = Run("big.txt");
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out, "0 inf\n1 2.14748e+09 0 \n2 2.14748e+09 0 \n");
  EXPECT_EQ(o.err,
            "Warning: the starting error is not a finite number after data file big.dat (values "
            "up to 1e+200): squared errors overflow; scale the data or the weights\n"
            "Warning: no individual of generation 1 has an error below 2147483647 (shown as "
            "2.14748e+09 0): squared errors overflow; data file big.dat holds values up to "
            "1e+200: scale the data or the weights\n");
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
