// Files are compared by what they are, not by how they are spelt: hard and
// symbolic links, "." and ".." name the same file; files that do not exist
// yet are compared by the path their links resolve to; devices never clash.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "common/FileIdentity.h"

namespace {

namespace fs = std::filesystem;

class FileIdentity : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("quill_identity_" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "sub");
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_F(FileIdentity, SameFileIsByIdentityNotSpelling) {
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

}  // namespace
