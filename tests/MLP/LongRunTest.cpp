// Long runs through the program: seeded runs repeat for any thread count; a
// run killed at any moment (also while it writes a checkpoint) and resumed
// from its checkpoint prints, logs and writes exactly what the uninterrupted
// run does; SIGINT and SIGTERM stop a run cleanly, in its last generation
// too; a run log that cannot be written ends the run with whole rows;
// damaged and mismatched checkpoints, and logs of other runs, are refused;
// TargetError and TimeLimit end runs early.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "DataObject/Data.h"
#include "FileHandler/FileTools.h"
#include "MLP/Quill/Checkpoint.h"
#include "MLP/Quill/Quill.h"
#include "NeuralNets/TMLPNetwork.h"
#include "common/Clock.h"
#include "common/Random.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

// The log's generation rows without the two time columns.
std::string LogRows(const std::string& log) {
  std::string rows;
  for (const std::string& line : Lines(log)) {
    if (line.empty() || line[0] == '#' || line[0] == 'g') continue;
    std::size_t cut = line.size();
    for (int commas = 0; commas < 2; ++commas)
      cut = line.rfind(',', cut - 1);
    rows += line.substr(0, cut) + "\n";
  }
  return rows;
}

struct Outcome {
  int status = -1;  // exit status, or 128 + signal when killed
  std::string out;
  std::string err;
};

class LongRun : public testing::Test {
 protected:
  void SetUp() override {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    inputs_ = fs::temp_directory_path() /
              (std::string("quill_long_") + info->name() + "_" + std::to_string(getpid()));
    fs::remove_all(inputs_);
    fs::create_directories(inputs_);
    // A 12-48-4 network with bias and three classes of 400 rows: a few
    // milliseconds a generation, so that runs can be stopped anywhere.
    quill::SeedRand(3);
    const int sizes[] = {12, 48, 4};
    TMLPNetwork net(3, sizes, true);
    net.Randomize(-0.5, 0.5);
    FileTools files;
    files.SaveNetwork((inputs_ / "net.wgt").string(), net);
    WriteClasses(inputs_, "c", 400);
  }

  // Three data-set files PREFIX0.dat ... PREFIX2.dat of `rows` random rows,
  // one-hot targets, from the program's generator.
  static void WriteClasses(const fs::path& dir, const std::string& prefix, int rows) {
    FileTools files;
    for (int k = 0; k < 3; ++k) {
      Data d(rows, 12, 4, false);
      std::vector<double> x(12), t(4);
      for (int r = 0; r < rows; ++r) {
        for (double& v : x)
          v = quill::Rand() * (1.0 / 32767);
        for (int o = 0; o < 4; ++o)
          t[static_cast<std::size_t>(o)] = o == k ? 1.0 : 0.0;
        d.AddRow(x.data(), t.data(), nullptr);
      }
      ASSERT_EQ(
          files.WriteDataFile((dir / (prefix + std::to_string(k) + ".dat")).string(), &d, nullptr),
          0);
    }
  }
  void TearDown() override { fs::remove_all(inputs_); }

  // A fresh run folder holding the inputs and a parameter file with `extra`.
  fs::path Folder(const std::string& name, const std::string& extra) {
    const fs::path dir = inputs_ / name;
    fs::create_directories(dir);
    for (const char* f : {"net.wgt", "c0.dat", "c1.dat", "c2.dat"})
      fs::copy_file(inputs_ / f, dir / f);
    std::ofstream(dir / "params.txt")
        << "WeightFile = net.wgt DestinationFile = out.wgt #DataClasses = 3 DataFile = c0.dat "
           "DataFile = c1.dat DataFile = c2.dat PopulationSize = 24 Generations = 40 "
           "EliteIndividuals = 2 MutationRate = 0.05 CrossoverPoints = 2 Selection = Tournament "
           "MaxWeight = 1 MinWeight = -1\n"
        << extra << "\n";
    return dir;
  }

  // Starts the program in `dir` on params.txt; its output goes to files.
  static pid_t Start(const fs::path& dir) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string out = (dir / "stdout.txt").string(), err = (dir / "stderr.txt").string();
    const std::string params = (dir / "params.txt").string();
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
    std::string binary = QUILL_BINARY, arg = "params.txt";
    char* argv[] = {binary.data(), arg.data(), nullptr};
    pid_t pid = 0;
    EXPECT_EQ(posix_spawn(&pid, binary.c_str(), &actions, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
  }

  static Outcome Wait(pid_t pid, const fs::path& dir) {
    int raw = 0;
    EXPECT_EQ(waitpid(pid, &raw, 0), pid);
    Outcome o;
    o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    o.out = Slurp(dir / "stdout.txt");
    o.err = Slurp(dir / "stderr.txt");
    return o;
  }

  static Outcome Run(const fs::path& dir) { return Wait(Start(dir), dir); }

  // Waits until the run has printed `lines` lines or ended.
  static void WaitForLines(pid_t pid, const fs::path& dir, std::size_t lines) {
    for (int i = 0; i < 20000; ++i) {
      if (Lines(Slurp(dir / "stdout.txt")).size() >= lines) return;
      int raw = 0;
      if (waitpid(pid, &raw, WNOHANG) == pid) {
        // Ended already: leave a zombie-free state for Wait to report.
        FAIL() << "the run ended before printing " << lines << " lines";
      }
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  }

  fs::path inputs_;
};

TEST_F(LongRun, SeededRunsRepeatForEveryThreadCount) {
  const fs::path first = Folder("first", "Seed = 12345");
  const Outcome expected = Run(first);
  ASSERT_EQ(expected.status, 0) << expected.err;
  EXPECT_EQ(expected.err, "");
  EXPECT_EQ(Lines(expected.out).size(), 41u);
  for (int threads = 1; threads <= 4; ++threads) {
    const fs::path dir =
        Folder("t" + std::to_string(threads), "Seed = 12345 Threads = " + std::to_string(threads));
    const Outcome got = Run(dir);
    EXPECT_EQ(got.out, expected.out) << threads;
    EXPECT_EQ(Slurp(dir / "out.wgt"), Slurp(first / "out.wgt")) << threads;
  }
  // Another seed, another run.
  const fs::path other = Folder("other", "Seed = 54321");
  EXPECT_NE(Run(other).out, expected.out);
}

// Runs are killed around chosen generations and at random moments, most of
// them while a checkpoint is being written (one every generation), then
// resumed from whatever checkpoint is on disk.
TEST_F(LongRun, KilledRunsResumeExactly) {
  const std::string keys = "Seed = 777 RunLog = run.csv Checkpoint = run.ckpt";
  const fs::path whole = Folder("whole", keys);
  const Outcome expected = Run(whole);
  ASSERT_EQ(expected.status, 0) << expected.err;
  const std::vector<std::string> series = Lines(expected.out);
  const std::string log = LogRows(Slurp(whole / "run.csv"));

  std::mt19937 rng(2026);
  int resumed = 0;
  const int kTrials = 8;
  for (int trial = 0; trial < kTrials; ++trial) {
    SCOPED_TRACE("trial " + std::to_string(trial));
    const std::string every = std::to_string(1 + trial % 3);
    const fs::path dir =
        Folder("kill" + std::to_string(trial), keys + " CheckpointEvery = " + every +
                                                   " Threads = " + std::to_string(1 + trial % 2));
    const pid_t pid = Start(dir);
    if (trial < kTrials / 2) {
      WaitForLines(pid, dir, static_cast<std::size_t>(5 + 8 * trial));
    } else {
      WaitForLines(pid, dir, 3);
      std::this_thread::sleep_for(std::chrono::microseconds(rng() % 60000));
    }
    kill(pid, SIGKILL);
    const Outcome killed = Wait(pid, dir);
    if (killed.status == 0) continue;  // finished before the kill landed
    ASSERT_EQ(killed.status, 128 + SIGKILL);
    if (!fs::exists(dir / "run.ckpt")) continue;  // killed before the first checkpoint
    // Whatever is on disk is a whole checkpoint.
    std::ifstream in(dir / "run.ckpt", std::ios::binary);
    const RunCheckpoint checkpoint = ReadCheckpoint(in);
    if (checkpoint.generation == 40) continue;  // killed after the final checkpoint
    const auto at = static_cast<std::size_t>(checkpoint.generation);
    const std::vector<std::string> before = Lines(killed.out);
    ASSERT_GE(before.size(), at + 1);

    std::ofstream(dir / "params.txt", std::ios::app) << "Resume = run.ckpt\n";
    const Outcome rest = Run(dir);
    ASSERT_EQ(rest.status, 0) << rest.err;
    EXPECT_EQ(rest.err, "");
    std::vector<std::string> joined(before.begin(), before.begin() + static_cast<long>(at) + 1);
    for (const std::string& line : Lines(rest.out))
      joined.push_back(line);
    EXPECT_EQ(joined, series);
    EXPECT_EQ(Slurp(dir / "out.wgt"), Slurp(whole / "out.wgt"));
    EXPECT_EQ(LogRows(Slurp(dir / "run.csv")), log);
    // A temporary file the kill left behind is gone too.
    for (const auto& entry : fs::directory_iterator(dir))
      EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();
    ++resumed;
  }
  EXPECT_GE(resumed, kTrials / 2);
  RecordProperty("resumed", resumed);
}

TEST_F(LongRun, SignalsStopCleanly) {
  for (int signal : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(signal);
    const fs::path dir = Folder("signal" + std::to_string(signal),
                                "Seed = 9 Checkpoint = run.ckpt CheckpointEvery = 7");
    const pid_t pid = Start(dir);
    WaitForLines(pid, dir, 4);
    kill(pid, signal);
    const Outcome o = Wait(pid, dir);
    ASSERT_EQ(o.status, 128 + signal) << o.err;
    const std::size_t printed = Lines(o.out).size();
    const std::string after = std::to_string(printed - 1);
    EXPECT_EQ(o.err, "Interrupted after generation " + after +
                         ": wrote checkpoint run.ckpt and out.wgt\n");
    std::ifstream in(dir / "run.ckpt", std::ios::binary);
    EXPECT_EQ(ReadCheckpoint(in).generation, static_cast<std::int32_t>(printed - 1));
    FileTools files;
    EXPECT_NE(files.LoadNetwork((dir / "out.wgt").string()), nullptr);
    for (const auto& entry : fs::directory_iterator(dir))
      EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();
  }
}

// A second signal ends the run at once, whatever it was doing: every file is
// then whole or absent, and no temporary file is left.
TEST_F(LongRun, ASecondSignalEndsAtOnceLeavingWholeFiles) {
  for (int trial = 0; trial < 6; ++trial) {
    SCOPED_TRACE(trial);
    const fs::path dir = Folder("twice" + std::to_string(trial),
                                "Seed = 3 Checkpoint = run.ckpt CheckpointEvery = 1");
    const pid_t pid = Start(dir);
    WaitForLines(pid, dir, static_cast<std::size_t>(3 + trial));
    kill(pid, SIGINT);
    std::this_thread::sleep_for(std::chrono::microseconds(trial * 700));
    kill(pid, SIGINT);
    const Outcome o = Wait(pid, dir);
    EXPECT_EQ(o.status, 128 + SIGINT) << o.err;
    if (fs::exists(dir / "run.ckpt")) {
      std::ifstream in(dir / "run.ckpt", std::ios::binary);
      EXPECT_NO_THROW(ReadCheckpoint(in));
    }
    if (fs::exists(dir / "out.wgt")) {
      FileTools files;
      EXPECT_NE(files.LoadNetwork((dir / "out.wgt").string()), nullptr);
    }
    for (const auto& entry : fs::directory_iterator(dir))
      EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();
  }
}

TEST_F(LongRun, BadCheckpointsAreRefusedBeforeAnythingIsWritten) {
  // Its final checkpoint is generation 35's.
  const fs::path source =
      Folder("source", "Seed = 5 Checkpoint = run.ckpt CheckpointEvery = 5 Generations = 35");
  ASSERT_EQ(Run(source).status, 0);
  const std::string good = Slurp(source / "run.ckpt");
  const struct {
    const char* name;
    std::string checkpoint;  // empty: no file
    std::string extra;
    std::string message;
  } kCases[] = {
      {"missing", "", "", "Unable to open checkpoint file run.ckpt\n"},
      {"truncated", good.substr(0, good.size() / 2), "", "Checkpoint file run.ckpt is damaged: "},
      {"population", good, "PopulationSize = 25",
       "Checkpoint does not match this run: PopulationSize is 24 in the checkpoint and 25 "
       "here\n"},
      {"generations", good, "Generations = 35",
       "Checkpoint does not match this run: it was saved after generation 35, and "
       "Generations is 35\n"},
      {"gene",
       [&] {
         std::string text = good;
         const std::size_t genes = text.find("[Genes]", text.find("[Individual]"));
         text.replace(genes + 8, 1, "7");  // a gene far beyond the bounds
         return SealCheckpoint(text);
       }(),
       "", "Checkpoint file run.ckpt is damaged: a gene beyond its bounds\n"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const fs::path dir = Folder(c.name, "Resume = run.ckpt RunLog = run.csv " + c.extra);
    if (!c.checkpoint.empty()) std::ofstream(dir / "run.ckpt", std::ios::binary) << c.checkpoint;
    const Outcome o = Run(dir);
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(o.err.substr(0, c.message.size()), c.message);
    EXPECT_FALSE(fs::exists(dir / "out.wgt"));
    EXPECT_FALSE(fs::exists(dir / "run.csv"));
  }
  // A data file with other content.
  const fs::path changed = Folder("changed", "Resume = run.ckpt");
  std::ofstream(changed / "run.ckpt", std::ios::binary) << good;
  std::ofstream(changed / "c1.dat", std::ios::app) << "\n";
  EXPECT_EQ(Run(changed).err,
            "Checkpoint does not match this run: the data file c1.dat is not the one it was "
            "saved with\n");
  // Files the run cannot create are found out before it starts, and no input
  // is ever written over.
  const fs::path folder = Folder("folder", "RunLog = . Checkpoint = run.ckpt");
  EXPECT_EQ(Run(folder).err, "Unable to create run log .\n");
  EXPECT_FALSE(fs::exists(folder / "out.wgt"));
  const fs::path clash = Folder("clash", "Checkpoint = ./c2.dat");
  const std::string data = Slurp(clash / "c2.dat");
  EXPECT_EQ(Run(clash).err, "Checkpoint and DataFile name the same file ./c2.dat\n");
  EXPECT_EQ(Slurp(clash / "c2.dat"), data);
  // A checkpoint that is a folder cannot be opened.
  const fs::path folder_resume = Folder("folder_resume", "Resume = run.ckpt");
  fs::create_directory(folder_resume / "run.ckpt");
  EXPECT_EQ(Run(folder_resume).err, "Unable to open checkpoint file run.ckpt\n");
  // Resuming cuts back only the checkpoint's own run log: any other file, or
  // another run's log, is left as it is.
  const fs::path another = Folder("another", "Seed = 6 RunLog = run.csv Generations = 2");
  ASSERT_EQ(Run(another).status, 0);
  for (const auto& [log, why] :
       {std::pair<std::string, std::string>{"precious\n", "it is not a Quill run log"},
        {Slurp(another / "run.csv"), "its seed is not the checkpoint's"}}) {
    const fs::path dir =
        Folder("foreign" + std::to_string(log.size()), "Resume = run.ckpt RunLog = run.csv");
    std::ofstream(dir / "run.ckpt", std::ios::binary) << good;
    std::ofstream(dir / "run.csv", std::ios::binary) << log;
    const Outcome o = Run(dir);
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "RunLog run.csv is not the log of the checkpoint's run (" + why +
                         "): name another file or remove it\n");
    EXPECT_EQ(Slurp(dir / "run.csv"), log);
    EXPECT_FALSE(fs::exists(dir / "out.wgt"));
  }
  // An input named like a killed checkpoint write's leftover is no leftover.
  const fs::path named = Folder("named", "");
  fs::rename(named / "c2.dat", named / "c2.dat.tmp");
  std::ofstream(named / "params.txt")
      << "WeightFile = net.wgt DestinationFile = out.wgt #DataClasses = 3 DataFile = c0.dat "
         "DataFile = c1.dat DataFile = c2.dat.tmp PopulationSize = 4 Generations = 2 "
         "Checkpoint = c2.dat\n";
  const std::string renamed = Slurp(named / "c2.dat.tmp");
  EXPECT_EQ(Run(named).status, 0);
  EXPECT_EQ(Slurp(named / "c2.dat.tmp"), renamed);
}

// No file the run writes may be a file it reads or another file it writes,
// by identity rather than spelling; each is checked before the first
// generation; a killed write's leftover of the destination goes.
TEST_F(LongRun, OutputsAreCheckedBeforeTheFirstGeneration) {
  const struct {
    const char* name;
    std::string extra, message;
  } kCases[] = {
      {"data", "DestinationFile = c1.dat",
       "DestinationFile and DataFile name the same file c1.dat"},
      {"hard", "DestinationFile = hard.dat",
       "DestinationFile and DataFile name the same file hard.dat"},
      {"log", "RunLog = ./params.txt",
       "RunLog and the parameter file name the same file ./params.txt"},
      {"ckpt", "Checkpoint = params.txt",
       "Checkpoint and the parameter file name the same file params.txt"},
      {"inplace", "DestinationFile = net.wgt Checkpoint = run.ckpt",
       "DestinationFile and WeightFile name the same file net.wgt"},
      {"folder", "DestinationFile = no/out.wgt", "Unable to create destination file no/out.wgt"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const fs::path dir = Folder(c.name, c.extra);
    fs::create_hard_link(dir / "c2.dat", dir / "hard.dat");
    const std::string params = Slurp(dir / "params.txt"), data = Slurp(dir / "c1.dat");
    const std::string network = Slurp(dir / "net.wgt");
    const Outcome o = Run(dir);
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(o.err, c.message + "\n");
    EXPECT_EQ(Slurp(dir / "params.txt"), params);
    EXPECT_EQ(Slurp(dir / "c1.dat"), data);
    EXPECT_EQ(Slurp(dir / "net.wgt"), network);
    EXPECT_FALSE(fs::exists(dir / "run.ckpt"));
  }
  // Training in place without a checkpoint stays allowed; a name whose
  // temporary would pass the name limit is written; links lead to their
  // targets, /dev/null stays a device; a killed write's leftover goes.
  const std::string long_name = std::string(250, 'd') + ".wgt";
  const fs::path dir = Folder("fine", "Seed = 2 Generations = 3 DestinationFile = " + long_name);
  ASSERT_EQ(Run(dir).status, 0);
  FileTools files;
  EXPECT_NE(files.LoadNetwork((dir / long_name).string()), nullptr);
  std::ofstream(dir / "out.wgt.tmp") << "left by a killed write";
  // A null device of our own where we may make one: a faulty write then never
  // replaces the system's /dev/null.
  const std::string null = mknod((dir / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0 &&
                                   std::ofstream(dir / "null").good()
                               ? (dir / "null").string()
                               : "/dev/null";
  for (const std::string out : {"out.wgt", "net.wgt", "link.wgt", null.c_str()}) {
    fs::create_symlink("target.wgt", dir / "link.wgt");
    std::ofstream(dir / "params.txt", std::ios::app) << "DestinationFile = " << out << "\n";
    EXPECT_EQ(Run(dir).status, 0) << out;
    EXPECT_TRUE(fs::is_symlink(dir / "link.wgt"));
    fs::remove(dir / "link.wgt");
  }
  EXPECT_NE(files.LoadNetwork((dir / "target.wgt").string()), nullptr);
  EXPECT_TRUE(fs::is_character_file(null));
  for (const auto& entry : fs::directory_iterator(dir))
    EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();
}

// Two runs on one log or destination: the second is refused before it
// writes anything, and a run that was killed blocks nobody.
TEST_F(LongRun, ASecondRunOnTheSameOutputsIsRefused) {
  const fs::path first = Folder("first", "RunLog = run.csv Generations = 1000000");
  const pid_t pid = Start(first);
  WaitForLines(pid, first, 3);
  const fs::path second = Folder("second", "");
  for (const std::string key : {"DestinationFile", "RunLog"}) {
    const std::string log = Slurp(first / "run.csv");
    std::ofstream(second / "params.txt", std::ios::app)
        << key << " = ../first/" << (key == "RunLog" ? "run.csv" : "out.wgt") << "\n";
    const Outcome o = Run(second);
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(o.err, std::string("Another run is writing ") +
                         (key == "RunLog" ? "run log ../first/run.csv"
                                          : "destination file ../first/out.wgt") +
                         "\n");
    EXPECT_EQ(Slurp(first / "run.csv").substr(0, log.size()), log);
  }
  kill(pid, SIGKILL);
  EXPECT_EQ(Wait(pid, first).status, 128 + SIGKILL);
  const Outcome after = Run(second);
  EXPECT_EQ(after.status, 0) << after.err;
  EXPECT_FALSE(fs::exists(first / "run.csv.lock"));
  EXPECT_FALSE(fs::exists(first / "out.wgt.lock"));
}

// A signal while the last generation is evaluated stops the run like any
// other: its status and message, not a silent success.
TEST_F(LongRun, ASignalInTheLastGenerationIsReported) {
  const fs::path dir = Folder("last",
                              "Seed = 2 PopulationSize = 800 Generations = 2 Threads = 1 "
                              "Checkpoint = run.ckpt RunLog = run.csv");
  const pid_t pid = Start(dir);
  // The log row of generation 1 is written just before its hook looks for a
  // signal; right after, the last generation is evaluated (tens of
  // milliseconds at least).
  for (int i = 0; i < 100000 && Slurp(dir / "run.csv").find("\n1,") == std::string::npos; ++i)
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
  kill(pid, SIGINT);
  const Outcome o = Wait(pid, dir);
  EXPECT_EQ(o.status, 128 + SIGINT);
  EXPECT_EQ(o.err, "Interrupted after generation 2: wrote checkpoint run.ckpt and out.wgt\n");
  EXPECT_TRUE(fs::exists(dir / "out.wgt"));
}

// A run log that can take no more (a full disk; here a file size limit)
// ends the run after the generation whose row failed, with the checkpoint
// and the destination written and status 1. The log and the checkpoint's
// record of it end with the last whole row, and the resumed run goes on
// below it: every row of the uninterrupted run but the lost one.
TEST_F(LongRun, ALogThatCannotBeWrittenEndsTheRunWithWholeRows) {
  // A network and data small enough for the checkpoint to fit the limit.
  quill::SeedRand(8);
  const int sizes[] = {2, 3, 1};
  TMLPNetwork net(3, sizes, true);
  net.Randomize(-0.5, 0.5);
  FileTools files;
  files.SaveNetwork((inputs_ / "small.wgt").string(), net);
  std::ofstream(inputs_ / "small.dat")
      << "[DataSet]\n[Rows = 4]\n[Inputs = 2]\n[ExpectedOutputs = 1]\n[Data]\n"
         "0 0 0\n0 1 1\n1 0 1\n1 1 0\n[~Data]\n[~DataSet]\n";
  auto folder = [&](const std::string& name) {
    const fs::path dir = Folder(name, "");
    fs::copy_file(inputs_ / "small.wgt", dir / "small.wgt");
    fs::copy_file(inputs_ / "small.dat", dir / "small.dat");
    std::ofstream(dir / "params.txt")
        << "WeightFile = small.wgt DestinationFile = out.wgt #DataClasses = 1 DataFile = small.dat "
           "PopulationSize = 6 Generations = 100 Seed = 4 RunLog = run.csv Checkpoint = run.ckpt "
           "CheckpointEvery = 1000\n";
    return dir;
  };
  const fs::path whole = folder("whole");
  ASSERT_EQ(Run(whole).status, 0);
  const fs::path dir = folder("full");
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  const rlimit small{4096, old.rlim_max};
  const auto handler = signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails instead
  setrlimit(RLIMIT_FSIZE, &small);
  const pid_t pid = Start(dir);
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, handler);
  const Outcome o = Wait(pid, dir);
  ASSERT_EQ(o.status, 1) << o.err;
  const std::string last = std::to_string(Lines(o.out).size() - 1);
  EXPECT_EQ(o.err, "Unable to write run log run.csv: File too large\nStopped after generation " +
                       last +
                       " as the run log cannot be written: wrote checkpoint run.ckpt and "
                       "out.wgt\n");
  const std::string log = Slurp(dir / "run.csv");
  std::ifstream in(dir / "run.ckpt", std::ios::binary);
  const RunCheckpoint checkpoint = ReadCheckpoint(in);
  EXPECT_EQ(std::to_string(checkpoint.generation), last);
  EXPECT_EQ(checkpoint.log_bytes, static_cast<std::int64_t>(log.size()));
  EXPECT_EQ(log.back(), '\n');
  std::vector<std::string> rows = Lines(LogRows(Slurp(whole / "run.csv")));
  EXPECT_EQ(Lines(LogRows(log)),
            std::vector<std::string>(rows.begin(), rows.begin() + std::stol(last) - 1));

  std::ofstream(dir / "params.txt", std::ios::app) << "Resume = run.ckpt\n";
  ASSERT_EQ(Run(dir).status, 0);
  rows.erase(rows.begin() + std::stol(last) - 1);
  EXPECT_EQ(Lines(LogRows(Slurp(dir / "run.csv"))), rows);
}

TEST_F(LongRun, TargetErrorEndsTheRunAfterTheFirstGenerationReachingIt) {
  const fs::path whole = Folder("whole", "Seed = 31 RunLog = run.csv");
  const std::vector<std::string> series = Lines(Run(whole).out);
  ASSERT_EQ(series.size(), 41u);
  // Generation 6's lowest error, exact from the log, as the target.
  const std::vector<std::string> rows = Lines(LogRows(Slurp(whole / "run.csv")));
  ASSERT_EQ(rows.size(), 40u);
  const std::string error = rows[5].substr(2, rows[5].find(',', 2) - 2);
  const fs::path dir = Folder("target", "Seed = 31 TargetError = " + error);
  const Outcome o = Run(dir);
  EXPECT_EQ(o.status, 0);
  const std::vector<std::string> stopped = Lines(o.out);
  ASSERT_LE(stopped.size(), 7u);
  EXPECT_EQ(stopped, std::vector<std::string>(series.begin(),
                                              series.begin() + static_cast<long>(stopped.size())));
  EXPECT_EQ(o.err, "Stopped after generation " + std::to_string(stopped.size() - 1) +
                       ": the lowest error reached TargetError\n");
  EXPECT_TRUE(fs::exists(dir / "out.wgt"));
}

// A steady clock that moves one second every time it is read.
double Ticks() {
  static double now = 0.0;
  return now += 1.0;
}

TEST_F(LongRun, TimeLimitEndsTheRunAfterTheGenerationThatPassesIt) {
  const fs::path dir = Folder("time", "Seed = 4 TimeLimit = 4.5");
  const fs::path previous = fs::current_path();
  fs::current_path(dir);
  const quill::SteadyClockFunction clock = quill::SetSteadyClock(Ticks);
  std::string name = "Quill", arg = "params.txt";
  char* argv[] = {name.data(), arg.data(), nullptr};
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  const int status = QuillMain(2, argv);
  const std::string out = testing::internal::GetCapturedStdout();
  const std::string err = testing::internal::GetCapturedStderr();
  quill::SetSteadyClock(clock);
  fs::current_path(previous);
  EXPECT_EQ(status, 0);
  // Started at 1; generation g ends at 1 + g: the limit passes in generation 5.
  EXPECT_EQ(Lines(out).size(), 6u);
  EXPECT_EQ(err, "Stopped after generation 5: TimeLimit reached\n");
}

// The columns of the log's generation rows, by header name.
std::vector<std::vector<std::string>> Columns(const std::string& log,
                                              const std::vector<std::string>& names) {
  std::vector<std::string> header;
  std::vector<std::vector<std::string>> columns(names.size());
  for (const std::string& line : Lines(log)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> cells;
    std::istringstream in(line);
    for (std::string cell; std::getline(in, cell, ',');)
      cells.push_back(cell);
    if (line.back() == ',') cells.emplace_back();
    if (header.empty()) {
      header = cells;
      continue;
    }
    for (std::size_t n = 0; n < names.size(); ++n) {
      const auto at = std::find(header.begin(), header.end(), names[n]);
      EXPECT_NE(at, header.end()) << names[n];
      if (at != header.end())
        columns[n].push_back(cells[static_cast<std::size_t>(at - header.begin())]);
    }
  }
  return columns;
}

const char kValidation[] =
    "#ValidationClasses = 3 ValidationFile = v0.dat ValidationFile = v1.dat ValidationFile = "
    "v2.dat ";

// With the training rows as validation rows, the validation error is the
// generation's lowest error (in either precision) and both accuracies agree;
// a run without the validation keys logs the same rows without the three
// columns.
TEST_F(LongRun, ValidationMeasuresTheGenerationsBestWithTheTrainersError) {
  for (const std::string precision : {"double", "single"}) {
    SCOPED_TRACE(precision);
    const std::string keys = "Seed = 5 RunLog = run.csv Precision = " + precision;
    const fs::path plain = Folder("plain-" + precision, keys);
    ASSERT_EQ(Run(plain).status, 0);
    const fs::path dir = Folder("same-" + precision, kValidation + keys);
    for (int k = 0; k < 3; ++k)
      fs::copy_file(dir / ("c" + std::to_string(k) + ".dat"),
                    dir / ("v" + std::to_string(k) + ".dat"));
    const Outcome o = Run(dir);
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, Run(plain).out);
    const std::string log = Slurp(dir / "run.csv");
    const auto c = Columns(
        log, {"lowest_error", "validation_error", "training_accuracy", "validation_accuracy"});
    ASSERT_EQ(c[0].size(), 40u);
    EXPECT_EQ(c[1], c[0]);
    EXPECT_EQ(c[2], c[3]);
    for (const std::string& accuracy : c[2]) {
      const double a = std::stod(accuracy);
      EXPECT_TRUE(a >= 0.0 && a <= 1.0) << accuracy;
    }
    // Without validation the rows are the same, short of those columns.
    std::string cut;
    for (const std::string& line : Lines(LogRows(log)))
      cut += line.substr(0, line.rfind(',', line.rfind(',', line.rfind(',') - 1) - 1)) + "\n";
    EXPECT_EQ(cut, LogRows(Slurp(plain / "run.csv")));
  }
}

// Patience ends the run where the log shows no improvement for that many
// generations, and KeepBest = validation writes the network of the lowest
// validation error; a resume with more Generations goes on from the final
// checkpoint exactly as one longer run does, the watch restored.
TEST_F(LongRun, PatienceStopsWhereTheLogSaysAndKeepsTheBestNetwork) {
  WriteClasses(inputs_, "v", 40);
  auto folder = [&](const std::string& name, const std::string& extra) {
    const fs::path dir = Folder(name, std::string(kValidation) +
                                          "Seed = 9 RunLog = run.csv Checkpoint = run.ckpt "
                                          "CheckpointEvery = 1000 KeepBest = validation " +
                                          extra);
    for (int k = 0; k < 3; ++k)
      fs::copy_file(inputs_ / ("v" + std::to_string(k) + ".dat"),
                    dir / ("v" + std::to_string(k) + ".dat"));
    return dir;
  };
  const fs::path dir = folder("patience", "Generations = 400 Patience = 6");
  const Outcome o = Run(dir);
  ASSERT_EQ(o.status, 0) << o.err;
  const auto c = Columns(Slurp(dir / "run.csv"), {"generation", "validation_error"});
  ASSERT_GE(c[0].size(), 7u);
  ASSERT_LT(c[0].size(), 400u);
  const std::size_t last = c[0].size() - 1;
  std::size_t best = 0;
  for (std::size_t g = 0; g <= last; ++g) {
    if (std::stod(c[1][g]) < std::stod(c[1][best])) best = g;
  }
  EXPECT_EQ(last - best, 6u);
  std::ostringstream lowest;
  lowest << std::stod(c[1][best]);
  EXPECT_EQ(o.err, "Stopped after generation " + c[0][last] +
                       ": the validation error has not improved for 6 generations (lowest " +
                       lowest.str() + " after generation " + c[0][best] + ")\n");
  // The destination is that generation's best network: what a run that
  // ends there writes with KeepBest = last.
  const fs::path there = folder("there", "Generations = " + c[0][best] + " KeepBest = last");
  ASSERT_EQ(Run(there).status, 0);
  EXPECT_EQ(Slurp(dir / "out.wgt"), Slurp(there / "out.wgt"));
  // The final checkpoint is the last generation's.
  std::ifstream in(dir / "run.ckpt", std::ios::binary);
  EXPECT_EQ(ReadCheckpoint(in).generation, std::stoi(c[0][last]));

  // Ten generations, then ten more from the final checkpoint, as twenty.
  const fs::path whole = folder("whole", "Generations = 20");
  const Outcome expected = Run(whole);
  ASSERT_EQ(expected.status, 0) << expected.err;
  const fs::path split = folder("split", "Generations = 10");
  const Outcome first = Run(split);
  ASSERT_EQ(first.status, 0) << first.err;
  std::ofstream(split / "params.txt", std::ios::app) << "Generations = 20 Resume = run.ckpt\n";
  const Outcome rest = Run(split);
  ASSERT_EQ(rest.status, 0) << rest.err;
  EXPECT_EQ(first.out + rest.out, expected.out);
  const std::vector<std::string> untimed = {
      "generation",    "lowest_error",     "best_fitness",      "mean_fitness",
      "worst_fitness", "validation_error", "training_accuracy", "validation_accuracy"};
  EXPECT_EQ(Columns(Slurp(split / "run.csv"), untimed), Columns(Slurp(whole / "run.csv"), untimed));
  EXPECT_EQ(Slurp(split / "out.wgt"), Slurp(whole / "out.wgt"));
  std::ifstream split_in(split / "run.ckpt", std::ios::binary);
  std::ifstream whole_in(whole / "run.ckpt", std::ios::binary);
  const RunCheckpoint a = ReadCheckpoint(split_in), b = ReadCheckpoint(whole_in);
  EXPECT_EQ(a.generation, 20);
  EXPECT_EQ(a.random_state, b.random_state);
  ASSERT_TRUE(a.validation && b.validation);
  EXPECT_EQ(a.validation->best_generation, b.validation->best_generation);
  EXPECT_EQ(a.validation->best_error, b.validation->best_error);
}

}  // namespace
