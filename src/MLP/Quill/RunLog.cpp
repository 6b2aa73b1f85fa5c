#include "MLP/Quill/RunLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "common/Fingerprint.h"
#include "common/NumberText.h"

namespace {

std::string Fixed(double value, int decimals) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  return buffer;
}

// Reads one line of at most `limit` bytes (without its line end) into
// `line`; false at the end of the input or for a longer line.
bool ReadLine(std::istream& in, std::string& line, std::size_t limit) {
  line.clear();
  for (int c = in.get(); c != std::char_traits<char>::eof(); c = in.get()) {
    if (c == '\n') return true;
    if (line.size() == limit) return false;
    line.push_back(static_cast<char>(c));
  }
  return !line.empty();
}

}  // namespace

RunLog::~RunLog() {
  Close();
}

void RunLog::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool RunLog::Write(const std::string& text) {
  if (fd_ < 0) return false;
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd_, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error_ = n < 0 ? std::strerror(errno) : "nothing written";
      // The part of the text that reached the file is cut off again, so that
      // the log ends with its last whole line, as Bytes() says.
      if (done > 0) {
        const int cut = ::ftruncate(fd_, bytes_);
        static_cast<void>(cut);  // nothing more can be done about a failure here
      }
      Close();
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  bytes_ += static_cast<std::int64_t>(text.size());
  return true;
}

bool RunLog::Start(const std::string& path, const std::vector<std::string>& comments) {
  Close();
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  bytes_ = 0;
  if (fd_ < 0) {
    error_ = std::strerror(errno);
    return false;
  }
  std::string text;
  for (const std::string& comment : comments)
    text += "# " + comment + "\n";
  return Write(text + kHeader + "\n");
}

bool RunLog::Continue(const std::string& path, std::int64_t bytes,
                      const std::vector<std::string>& comments, const std::string& resumed) {
  Close();
  if (bytes > 0) {
    fd_ = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    struct stat status {};
    if (fd_ >= 0 && ::fstat(fd_, &status) == 0 && status.st_size >= bytes &&
        ::ftruncate(fd_, bytes) == 0 && ::lseek(fd_, 0, SEEK_END) == bytes) {
      bytes_ = bytes;
      return Write("# " + resumed + "\n");
    }
    Close();
  }
  std::vector<std::string> all = comments;
  all.push_back(resumed);
  return Start(path, all);
}

bool RunLog::Row(std::int32_t generation, double lowest_error, float best_fitness,
                 float mean_fitness, float worst_fitness, double seconds,
                 double evaluations_per_second) {
  return Write(quill::ShortestText(generation) + "," + quill::ShortestText(lowest_error) + "," +
               quill::ShortestText(best_fitness) + "," + quill::ShortestText(mean_fitness) + "," +
               quill::ShortestText(worst_fitness) + "," + Fixed(seconds, 3) + "," +
               Fixed(evaluations_per_second, 1) + "\n");
}

std::string RunLog::SeedComment(std::uint32_t seed, bool seed_given) {
  // The seed as Seed takes it back: a 32-bit signed integer.
  return "seed: " + quill::ShortestText(static_cast<std::int32_t>(seed)) +
         (seed_given ? " (from the parameter file)" : " (from the clock)");
}

std::optional<std::string> RunLog::NotThisRunsLog(const std::string& path,
                                                  const std::string& seed_comment,
                                                  const std::vector<std::uint64_t>& fingerprints) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0 || S_ISDIR(status.st_mode)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return NotThisRunsLog(in, seed_comment, fingerprints);
}

std::optional<std::string> RunLog::NotThisRunsLog(std::istream& in, const std::string& seed_comment,
                                                  const std::vector<std::uint64_t>& fingerprints) {
  if (in.peek() == std::char_traits<char>::eof()) return std::nullopt;  // empty
  // The comment lines name no path longer than 255 bytes; the lines read
  // here are the program, the seed and the inputs, which come first.
  constexpr std::size_t kLongestLine = 4096;
  std::string line;
  if (!ReadLine(in, line, kLongestLine) || line.rfind("# Quill ", 0) != 0 || line.size() < 16 ||
      line.compare(line.size() - 8, 8, " run log") != 0) {
    return std::string("it is not a Quill run log");
  }
  if (!ReadLine(in, line, kLongestLine) || line != "# " + seed_comment)
    return std::string("its seed is not the checkpoint's");
  const std::string marker = "  fingerprint ";
  std::size_t matched = 0;
  while (matched < fingerprints.size()) {
    if (!ReadLine(in, line, kLongestLine) || line.rfind("# ", 0) != 0)
      return std::string("its input files are not the checkpoint's");
    const std::size_t at = line.rfind(marker);
    if (at == std::string::npos) continue;
    if (line.substr(at + marker.size()) != quill::FingerprintText(fingerprints[matched]))
      return std::string("its input files are not the checkpoint's");
    ++matched;
  }
  return std::nullopt;
}
