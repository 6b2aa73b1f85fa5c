// Runs over several processes: the slices, and whole runs under mpirun
// (when Quill is built with MPI) compared byte for byte with one process;
// fewer individuals than processes, a process killed mid-run, a checkpoint
// resumed on another number of processes, and processes of different builds.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "DataObject/Data.h"
#include "Distributed/Cluster.h"
#include "FileHandler/FileTools.h"
#include "MLP/Quill/Checkpoint.h"
#include "NeuralNets/TMLPNetwork.h"
#include "Tools/ToolTestSupport.h"
#include "common/Random.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

TEST(Cluster, SlicesCoverTheRecordsInOrder) {
  for (int size = 1; size <= 9; ++size) {
    for (std::size_t count = 0; count <= 40; ++count) {
      std::size_t next = 0;
      for (int rank = 0; rank < size; ++rank) {
        const auto [first, n] = quill::Slice(count, rank, size);
        EXPECT_EQ(first, next);
        EXPECT_LE(n, count / static_cast<std::size_t>(size) + 1);
        EXPECT_GE(n, count / static_cast<std::size_t>(size));
        next = first + n;
      }
      EXPECT_EQ(next, count);
    }
  }
}

#ifdef QUILL_MPIEXEC

using tooltest::Outcome;
using tooltest::Slurp;

class MpiRun : public testing::Test {
 protected:
  void SetUp() override {
    // mpirun refuses to start as root without these.
    setenv("OMPI_ALLOW_RUN_AS_ROOT", "1", 1);
    setenv("OMPI_ALLOW_RUN_AS_ROOT_CONFIRM", "1", 1);
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() /
           (std::string("quill_mpi_") + info->name() + "_" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    // A 10-24-3 network with bias over two classes of 150 rows.
    quill::SeedRand(8);
    const int sizes[] = {10, 24, 3};
    TMLPNetwork net(3, sizes, true);
    net.Randomize(-0.5, 0.5);
    FileTools files;
    files.SaveNetwork((dir_ / "net.wgt").string(), net);
    for (int k = 0; k < 2; ++k) {
      Data d(150, 10, 3, false);
      std::vector<double> x(10), t(3);
      for (int r = 0; r < 150; ++r) {
        for (double& v : x)
          v = quill::Rand() * (1.0 / 32767);
        for (int o = 0; o < 3; ++o)
          t[static_cast<std::size_t>(o)] = o == k ? 1.0 : 0.0;
        d.AddRow(x.data(), t.data(), nullptr);
      }
      files.WriteDataFile((dir_ / ("c" + std::to_string(k) + ".dat")).string(), &d, nullptr);
    }
  }
  void TearDown() override { fs::remove_all(dir_); }

  void Params(const std::string& extra) {
    std::ofstream(dir_ / "params.txt")
        << "WeightFile = net.wgt DestinationFile = out.wgt #DataClasses = 2 DataFile = c0.dat "
           "DataFile = c1.dat Generations = 12 MutationRate = 0.1 Selection = Tournament "
           "CrossoverPoints = 2 MaxWeight = 1 MinWeight = -1 Seed = 2718 "
        << extra << "\n";
  }

  // Starts `argv` in the test's folder, output to files.
  pid_t Start(std::vector<std::string> args) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string out = (dir_ / "stdout.txt").string(), err = (dir_ / "stderr.txt").string();
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addchdir_np(&actions, dir_.c_str());
    std::vector<char*> argv;
    for (std::string& a : args)
      argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    EXPECT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
  }

  Outcome Wait(pid_t pid) {
    int raw = 0;
    EXPECT_EQ(waitpid(pid, &raw, 0), pid);
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw), Slurp(dir_ / "stdout.txt"),
            Slurp(dir_ / "stderr.txt")};
  }

  Outcome Alone() { return Wait(Start({QUILL_BINARY, "params.txt"})); }
  Outcome Processes(int k) {
    return Wait(Start(
        {QUILL_MPIEXEC, "--oversubscribe", "-np", std::to_string(k), QUILL_BINARY, "params.txt"}));
  }

  // The pid of the Quill process of `rank` started by mpirun `launcher`.
  static pid_t RankPid(pid_t launcher, int rank) {
    const std::string wanted = "OMPI_COMM_WORLD_RANK=" + std::to_string(rank);
    for (const auto& entry : fs::directory_iterator("/proc")) {
      const std::string name = entry.path().filename().string();
      if (name.find_first_not_of("0123456789") != std::string::npos) continue;
      std::ifstream stat(entry.path() / "stat");
      std::string pid, comm, state;
      pid_t parent = 0;
      stat >> pid >> comm >> state >> parent;
      if (parent != launcher) continue;
      const std::string env = Slurp(entry.path() / "environ");
      if (env.find(wanted + '\0') != std::string::npos) return std::stoi(pid);
    }
    return 0;
  }

  fs::path dir_;
};

TEST_F(MpiRun, EveryProcessCountPrintsAndWritesWhatOneProcessDoes) {
  for (const char* threads : {"Threads = 1", "Threads = 2"}) {
    Params(std::string("PopulationSize = 30 ") + threads);
    const Outcome alone = Alone();
    ASSERT_EQ(alone.status, 0) << alone.err;
    const std::string written = Slurp(dir_ / "out.wgt");
    for (int k = 1; k <= 4; ++k) {
      SCOPED_TRACE(std::to_string(k) + " processes, " + threads);
      fs::remove(dir_ / "out.wgt");
      const Outcome o = Processes(k);
      EXPECT_EQ(o.status, 0) << o.err;
      EXPECT_EQ(o.out, alone.out);
      EXPECT_EQ(o.err, alone.err);
      EXPECT_EQ(Slurp(dir_ / "out.wgt"), written);
    }
  }
  // Fewer individuals than processes: the last ones have nothing to do.
  Params("PopulationSize = 2");
  const Outcome alone = Alone();
  const Outcome four = Processes(4);
  EXPECT_EQ(four.status, 0) << four.err;
  EXPECT_EQ(four.out, alone.out);
}

TEST_F(MpiRun, AProcessKilledMidRunStopsItWithoutWriting) {
  Params("PopulationSize = 40 Generations = 100000 Checkpoint = run.ckpt CheckpointEvery = 5");
  std::ofstream(dir_ / "out.wgt") << "the previous destination";
  const pid_t launcher =
      Start({QUILL_MPIEXEC, "--oversubscribe", "-np", "3", QUILL_BINARY, "params.txt"});
  // Killed once a few generations are done and checkpointed.
  for (int i = 0; i < 30000 && !fs::exists(dir_ / "run.ckpt"); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  pid_t victim = 0;
  for (int i = 0; i < 3000 && victim == 0; ++i) {
    victim = RankPid(launcher, 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_NE(victim, 0);
  kill(victim, SIGKILL);
  const Outcome o = Wait(launcher);
  EXPECT_NE(o.status, 0);
  // Process 0's word, or at least mpirun's, that the run was stopped.
  EXPECT_TRUE(o.err.find("Stopped by a signal while running on several processes") !=
                  std::string::npos ||
              o.err.find("exited on signal 9") != std::string::npos)
      << o.err;
  EXPECT_EQ(Slurp(dir_ / "out.wgt"), "the previous destination");

  // The last checkpoint goes on with any number of processes, as it would
  // have gone on without the kill.
  std::ifstream in(dir_ / "run.ckpt");
  ASSERT_TRUE(in.is_open());
  const std::int32_t saved = ReadCheckpoint(in).generation;
  Params("PopulationSize = 40 Resume = run.ckpt Generations = " + std::to_string(saved + 15));
  const Outcome alone = Alone();
  ASSERT_EQ(alone.status, 0) << alone.err;
  const std::string written = Slurp(dir_ / "out.wgt");
  for (int k : {2, 4}) {
    SCOPED_TRACE(k);
    const Outcome resumed = Processes(k);
    EXPECT_EQ(resumed.status, 0) << resumed.err;
    EXPECT_EQ(resumed.out, alone.out);
    EXPECT_EQ(Slurp(dir_ / "out.wgt"), written);
  }
}

// Single precision gives one process's bytes on any number of processes,
// also when the processes run different implementations.
TEST_F(MpiRun, SinglePrecisionIsTheSameOnEveryProcessCountAndImplementation) {
  Params("PopulationSize = 24 Threads = 2 Precision = single");
  const Outcome alone = Alone();
  ASSERT_EQ(alone.status, 0) << alone.err;
  const std::string written = Slurp(dir_ / "out.wgt");
  auto expect_alone = [&](const Outcome& o) {
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, alone.out);
    EXPECT_EQ(o.err, alone.err);
    EXPECT_EQ(Slurp(dir_ / "out.wgt"), written);
    fs::remove(dir_ / "out.wgt");
  };
  for (int k : {2, 3}) {
    SCOPED_TRACE(std::to_string(k) + " processes");
    expect_alone(Processes(k));
  }
  // Process 0 on the fastest implementation, the others on plain C++.
  expect_alone(
      Wait(Start({QUILL_MPIEXEC, "--oversubscribe", "-np", "1", QUILL_BINARY, "params.txt", ":",
                  "-np", "2", "env", "QUILL_ISA=portable", QUILL_BINARY, "params.txt"})));
}

TEST_F(MpiRun, ProcessesOfDifferentBuildsAreRefused) {
  Params("PopulationSize = 10");
  // The same program with one byte more: another file, another build.
  const fs::path other = dir_ / "OtherQuill";
  fs::copy_file(QUILL_BINARY, other);
  std::ofstream(other, std::ios::app | std::ios::binary) << '\0';
  fs::permissions(other, fs::perms::owner_exec, fs::perm_options::add);
  const Outcome o = Wait(Start({QUILL_MPIEXEC, "--oversubscribe", "-np", "1", QUILL_BINARY,
                                "params.txt", ":", "-np", "1", other.string(), "params.txt"}));
  EXPECT_NE(o.status, 0);
  EXPECT_NE(o.err.find("Process 1 of the run runs another build of Quill"), std::string::npos)
      << o.err;
  EXPECT_EQ(o.out, "");
  EXPECT_FALSE(fs::exists(dir_ / "out.wgt"));
}

#endif  // QUILL_MPIEXEC

}  // namespace
