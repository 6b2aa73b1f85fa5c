// The live status line: drawn on a terminal, absent everywhere else.
#include "MLP/Quill/StatusLine.h"

#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "QuillCommand.h"

namespace {

TEST(StatusLine, TextFitsTheTerminalAndEstimatesWhatIsLeft) {
  EXPECT_EQ(StatusLine::Text(50, 200, 0.0917106, 25.0, 2.0, 200),
            "generation 50/200  lowest error 0.0917106  25 gen/s  0:02 elapsed  0:06 left");
  EXPECT_EQ(StatusLine::Text(200, 200, 0.5, 1234.4, 3725.0, 200),
            "generation 200/200  lowest error 0.5  1234 gen/s  1:02:05 elapsed");
  // Never as wide as the terminal: a wrapped line cannot be erased.
  EXPECT_EQ(StatusLine::Text(1, 9, 1.0, 1.0, 1.0, 20).size(), 19u);
  EXPECT_EQ(StatusLine::Duration(-1.0), "--:--");
}

std::string Slurp(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Runs the xor example with standard error on a pseudo-terminal (standard
// output to a file) and returns what the terminal received.
std::string RunOnTerminal(const std::filesystem::path& dir) {
  int master = -1;
  const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
  if (pid == 0) {
    const std::string command =
        "cd '" + dir.string() + "' && " + QuillCommand() + " params.txt >stdout.txt </dev/null";
    ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  std::string terminal;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(master, buffer, sizeof buffer);
    if (n <= 0) break;  // EIO once the child has closed the terminal
    terminal.append(buffer, static_cast<std::size_t>(n));
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  ::close(master);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << terminal;
  return terminal;
}

TEST(StatusLine, DrawnOnATerminalAndAbsentOnAPipe) {
  const auto dir =
      std::filesystem::temp_directory_path() / ("quill_status_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string source = QUILL_SOURCE_DIR;
  std::ofstream(dir / "params.txt")
      << "WeightFile = " << source << "/examples/xor/xor.wgt\nDestinationFile = out.wgt\n"
      << "#DataClasses = 1\nDataFile = " << source << "/examples/xor/xor.dat\n"
      << "PopulationSize = 20\nGenerations = 40\nMutationRate = 0.05\nSeed = 3\n";

  const std::string terminal = RunOnTerminal(dir);
  EXPECT_NE(terminal.find("\r\x1b[Kgeneration "), std::string::npos) << terminal;
  EXPECT_NE(terminal.find("Ran generations 1 to 40 in "), std::string::npos) << terminal;
  EXPECT_NE(terminal.find("wrote out.wgt; ended: all generations run"), std::string::npos);
  const std::string on_terminal = Slurp(dir / "stdout.txt");

  // On a pipe: nothing on standard error, and the same progress lines.
  const std::string command = "cd '" + dir.string() + "' && " + QuillCommand() +
                              " params.txt >stdout.txt 2>stderr.txt </dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
  EXPECT_EQ(Slurp(dir / "stderr.txt"), "");
  EXPECT_EQ(Slurp(dir / "stdout.txt"), on_terminal);
  std::filesystem::remove_all(dir);
}

}  // namespace
