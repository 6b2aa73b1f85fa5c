// Whole runs with Precision = single: the golden run on every thread count
// (in-process, fixed clock) and on every implementation (through the binary,
// QUILL_ISA), the checks of the key and of QUILL_ISA, and the note of a run
// that only double precision can measure.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "DataObject/Data.h"
#include "FileHandler/FileTools.h"
#include "MLP/Quill/Quill.h"
#include "NeuralNets/TMLPNetwork.h"
#include "NeuralNets/simd/RecallKernels.h"
#include "QuillCommand.h"
#include "common/Clock.h"

namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The run log's rows without the comment lines and the columns of time.
std::string LogRows(const fs::path& path) {
  std::istringstream in(Slurp(path));
  std::string line, rows;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::size_t at = 0;
    for (int comma = 0; comma < 5 && at != std::string::npos; ++comma)
      at = line.find(',', at + 1);
    rows += line.substr(0, at) + "\n";
  }
  return rows;
}

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

// A fresh folder holding a copy of the golden run "single", the working
// directory while the object lives.
class GoldenDir {
 public:
  explicit GoldenDir(const std::string& name)
      : golden_(fs::path(QUILL_SOURCE_DIR) / "tests/MLP/golden/single"),
        dir_(fs::temp_directory_path() / ("quill_single_" + name + "_" + std::to_string(getpid()))),
        previous_(fs::current_path()) {
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    for (const auto& entry : fs::directory_iterator(golden_)) {
      const std::string file = entry.path().filename().string();
      if (file.rfind("expected_", 0) != 0) fs::copy_file(entry.path(), dir_ / file);
    }
    fs::current_path(dir_);
  }
  ~GoldenDir() {
    fs::current_path(previous_);
    fs::remove_all(dir_);
  }
  void Append(const std::string& text) {
    std::ofstream("params.txt", std::ios::app) << text << "\n";
  }
  // The run printed and wrote what the golden run did.
  void ExpectGolden(const Outcome& run) const {
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, Slurp(golden_ / "expected_stdout.txt"));
    EXPECT_EQ(Slurp("trained.wgt"), Slurp(golden_ / "expected_trained.wgt"));
    EXPECT_EQ(LogRows("run.csv"), Slurp(golden_ / "expected_run.csv"));
  }

 private:
  fs::path golden_, dir_, previous_;
};

Outcome RunInProcess() {
  quill::ScopedClock clock(12345);
  std::string name = "Quill", arg = "params.txt";
  char* argv[] = {name.data(), arg.data(), nullptr};
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  const int status = QuillMain(2, argv);
  Outcome outcome{status, testing::internal::GetCapturedStdout(), ""};
  outcome.err = testing::internal::GetCapturedStderr();
  return outcome;
}

// The binary, with `environment` (assignments) in front of it.
Outcome RunBinary(const std::string& environment) {
  const std::string command =
      environment + " " + QuillCommand() + " params.txt >stdout.txt 2>stderr.txt </dev/null";
  const int raw = std::system(command.c_str());
  EXPECT_TRUE(WIFEXITED(raw));
  return {WEXITSTATUS(raw), Slurp("stdout.txt"), Slurp("stderr.txt")};
}

TEST(SinglePrecisionRun, GoldenRunOnAnyThreadCount) {
  for (const char* threads : {"", "Threads = 1", "Threads = 2", "Threads = 3", "Threads = 4"}) {
    SCOPED_TRACE(threads);
    GoldenDir dir("threads");
    dir.Append(threads);
    dir.ExpectGolden(RunInProcess());
  }
}

// The seed of the clock above, given in the file, on every implementation
// the processor runs.
TEST(SinglePrecisionRun, GoldenRunOnEveryImplementation) {
  for (const quill::simd::RecallKernels* kernels : quill::simd::AvailableKernels()) {
    SCOPED_TRACE(kernels->name);
    GoldenDir dir("isa");
    dir.Append("Seed = 12345");
    const Outcome run = RunBinary(std::string("QUILL_ISA=") + kernels->name);
    // A program under valgrind sees no AVX-512.
    if (std::getenv("QUILL_RUN_PREFIX") != nullptr && run.status == 1 &&
        run.err.find("asks for instructions this processor lacks") != std::string::npos)
      continue;
    dir.ExpectGolden(run);
  }
}

// The checkpoint records single precision: a resume in double precision is
// refused, one in single precision (from the final checkpoint, generation
// 6's) ends as the golden run.
TEST(SinglePrecisionRun, AResumeMustKeepThePrecision) {
  GoldenDir dir("resume");
  dir.Append("Checkpoint = run.ckpt\nCheckpointEvery = 5\nGenerations = 6");
  ASSERT_EQ(RunInProcess().status, 0);
  dir.Append("Generations = 12\nResume = run.ckpt\nPrecision = Double");
  Outcome run = RunInProcess();
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err,
            "Checkpoint does not match this run: Precision is single in the checkpoint and "
            "double here\n");
  dir.Append("Precision = single");
  run = RunInProcess();
  EXPECT_EQ(run.status, 0) << run.err;
  const std::string golden =
      Slurp(fs::path(QUILL_SOURCE_DIR) / "tests/MLP/golden/single/expected_stdout.txt");
  EXPECT_EQ(run.out, golden.substr(golden.find("\n7 ") + 1));
  EXPECT_EQ(Slurp("trained.wgt"),
            Slurp(fs::path(QUILL_SOURCE_DIR) / "tests/MLP/golden/single/expected_trained.wgt"));
}

TEST(SinglePrecisionRun, ABadKeyOrInstructionSetWritesNothing) {
  GoldenDir dir("refused");
  dir.Append("Precision = half");
  Outcome run = RunBinary("");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "Precision must be single or double, not \"half\"\n");
  EXPECT_EQ(run.out, "");
  EXPECT_FALSE(fs::exists("trained.wgt"));
  EXPECT_FALSE(fs::exists("run.csv"));

  dir.Append("Precision = SINGLE");
  run = RunBinary("QUILL_ISA=sse2");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err,
            "QUILL_ISA must be portable, avx2 or avx512, not \"sse2\": correct it or unset it\n");
  EXPECT_EQ(run.out, "");
  EXPECT_FALSE(fs::exists("trained.wgt"));
  EXPECT_FALSE(fs::exists("run.csv"));
  if (quill::simd::Avx512Kernels() == nullptr) {
    run = RunBinary("QUILL_ISA=avx512");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("QUILL_ISA=avx512 asks for instructions this processor lacks"),
              std::string::npos);
    EXPECT_FALSE(fs::exists("trained.wgt"));
  }
}

// An input beyond the float range: the run says so and measures in double
// precision, printing and writing what Precision = double does.
TEST(SinglePrecisionRun, WhatOnlyDoublePrecisionMeasuresIsNoted) {
  GoldenDir dir("noted");
  {
    Data d(2, 6, 3, false);
    const double wide[] = {1e300, 0, 0, 0, 0, 0, 1, 0, 0};
    const double plain[] = {0.5, 0.25, 0, 1, 0, 0, 0, 1, 0};
    d.AddRow(wide, wide + 6, nullptr);
    d.AddRow(plain, plain + 6, nullptr);
    FileTools files;
    ASSERT_EQ(files.WriteDataFile("class_2.dat", &d, nullptr), 0);
  }
  dir.Append("Precision = double");
  const Outcome twice = RunInProcess();
  ASSERT_EQ(twice.status, 0) << twice.err;
  const std::string written = Slurp("trained.wgt");
  const std::string rows = LogRows("run.csv");
  dir.Append("Precision = single");
  const Outcome once = RunInProcess();
  EXPECT_EQ(once.status, 0);
  EXPECT_EQ(once.out, twice.out);
  EXPECT_EQ(Slurp("trained.wgt"), written);
  EXPECT_EQ(LogRows("run.csv"), rows);
  EXPECT_EQ(once.err,
            "Note: Precision = single does not apply to weight file network.wgt with these data "
            "files (they hold a kind of layer, connection or activation, or a value beyond the "
            "float range, that only double precision handles); this run measures in double "
            "precision, as with Precision = double\n");
}

}  // namespace
