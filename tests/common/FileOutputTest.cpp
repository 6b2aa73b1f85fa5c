// Writing files a user owns: links are followed and kept, FIFOs and devices
// written in place, folders refused, long names served; files are compared
// by what they are, not by spelling; a lock on an output excludes a second
// holder and dies with its process.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "common/AtomicFile.h"
#include "common/FileIdentity.h"
#include "common/OutputLock.h"

namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool Write(const fs::path& path, const std::string& text) {
  return quill::WriteFileAtomically(path.string(), [&](std::ostream& out) { out << text; });
}

class FileOutput : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("quill_output_" +
            std::string(testing::UnitTest::GetInstance()->current_test_info()->name()) + "_" +
            std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "sub");
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_F(FileOutput, LinksAreFollowedSpecialFilesWrittenInPlaceOthersRefused) {
  // A chain of two links, the second relative to its own folder.
  fs::create_symlink("sub/mid", dir_ / "link");
  fs::create_symlink("../target", dir_ / "sub" / "mid");
  for (const std::string text : {"first", "second"}) {  // made, then replaced
    ASSERT_TRUE(Write(dir_ / "link", text));
    EXPECT_TRUE(fs::is_symlink(dir_ / "link"));
    EXPECT_TRUE(fs::is_symlink(dir_ / "sub" / "mid"));
    EXPECT_EQ(Slurp(dir_ / "target"), text);
  }
  // A FIFO is written into, never replaced.
  ASSERT_EQ(mkfifo((dir_ / "fifo").c_str(), 0644), 0);
  std::string got;
  std::thread reader([&] { got = Slurp(dir_ / "fifo"); });
  EXPECT_TRUE(Write(dir_ / "fifo", "through the pipe"));
  reader.join();
  EXPECT_EQ(got, "through the pipe");
  EXPECT_TRUE(fs::is_fifo(dir_ / "fifo"));
  fs::create_symlink("/dev/null", dir_ / "null");
  EXPECT_TRUE(Write(dir_ / "null", "gone"));
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
  // Nothing is left beside them, and anything else is refused.
  EXPECT_EQ(quill::PendingTemporaryFile(), nullptr);
  EXPECT_EQ(quill::AtomicFile::Unwritable((dir_ / "sub").string()), "it is a folder");
  EXPECT_FALSE(Write(dir_ / "sub", "x"));
  fs::create_symlink("loop", dir_ / "loop");
  EXPECT_EQ(quill::AtomicFile::Unwritable((dir_ / "loop").string()), "its links form a loop");
  EXPECT_EQ(quill::AtomicFile::Unwritable((dir_ / std::string(256, 'n')).string()),
            "its name is longer than the system allows");
  for (const auto& entry : fs::recursive_directory_iterator(dir_))
    EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();
}

TEST_F(FileOutput, ALongNameGetsAShortTemporaryAndItsLeftoversGo) {
  for (std::size_t length : {250u, 254u, 255u}) {
    const fs::path path = dir_ / std::string(length, 'a');
    ASSERT_TRUE(Write(path, "long")) << length;
    EXPECT_EQ(Slurp(path), "long");
    // A killed write's temporary, under the name a write would give it.
    quill::AtomicFile pending(path.string());
    ASSERT_TRUE(pending.Reserve());
    const std::string temp = pending.TempPath();
    EXPECT_LE(fs::path(temp).filename().string().size(), quill::LongestName());
    fs::copy_file(temp, dir_ / "kept");
    pending.Discard();
    fs::rename(dir_ / "kept", temp);
    quill::AtomicFile::RemoveLeftovers(path.string(), {(dir_ / "kept").string()});
    EXPECT_FALSE(fs::exists(temp)) << length;
    fs::remove(path);
  }
}

TEST_F(FileOutput, SameFileIsByIdentityNotSpelling) {
  std::ofstream(dir_ / "a") << "a";
  std::ofstream(dir_ / "b") << "b";
  fs::create_hard_link(dir_ / "a", dir_ / "hard");
  fs::create_symlink("a", dir_ / "soft");
  fs::create_symlink("sub/new", dir_ / "dangling");
  const std::string d = dir_.string() + "/";
  const struct {
    std::string x, y;
    bool same;
  } kCases[] = {
      {d + "a", d + "a", true},
      {d + "a", d + "sub/../a", true},
      {d + "a", d + "hard", true},
      {d + "soft", d + "hard", true},
      {d + "a", d + "b", false},
      {d + "sub/new", d + "dangling", true},
      {d + "sub/new", d + "./sub//new", true},
      {d + "sub/new", d + "sub/old", false},
      {d + "a", d + "sub/new", false},
      {"/dev/null", "/dev/null", false},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(quill::SameFile(c.x, c.y), c.same) << c.x << " " << c.y;
    EXPECT_EQ(quill::SameFile(c.y, c.x), c.same) << c.y << " " << c.x;
  }
}

TEST_F(FileOutput, ALockExcludesASecondHolderAndDiesWithItsProcess) {
  const std::string out = (dir_ / "out.wgt").string();
  const std::string lock_file = quill::OutputLock::LockName(out);
  {
    quill::OutputLock first, second;
    ASSERT_TRUE(first.Acquire(out));
    EXPECT_TRUE(fs::exists(lock_file));
    EXPECT_FALSE(second.Acquire(out));
    // Through a link it is the same output.
    fs::create_symlink("out.wgt", dir_ / "alias");
    EXPECT_FALSE(second.Acquire((dir_ / "alias").string()));
    first.Release();
    EXPECT_FALSE(fs::exists(lock_file));
    EXPECT_TRUE(second.Acquire(out));
  }
  EXPECT_FALSE(fs::exists(lock_file));
  // A holder that is killed leaves its file but not its lock.
  const pid_t child = fork();
  if (child == 0) {
    quill::OutputLock held;
    _exit(held.Acquire(out) ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_EQ(WEXITSTATUS(status), 0);
  EXPECT_TRUE(fs::exists(lock_file));
  {
    quill::OutputLock next;
    EXPECT_TRUE(next.Acquire(out));
  }
  EXPECT_FALSE(fs::exists(lock_file));
  // A file of the user's under the lock's name is never removed.
  std::ofstream(lock_file) << "mine";
  {
    quill::OutputLock next;
    EXPECT_TRUE(next.Acquire(out));
  }
  EXPECT_EQ(Slurp(lock_file), "mine");
  // FIFOs and devices take no lock.
  quill::OutputLock a, b;
  EXPECT_TRUE(a.Acquire("/dev/null"));
  EXPECT_TRUE(b.Acquire("/dev/null"));
}

}  // namespace
