#include "MLP/Quill/RunLog.h"

#include <unistd.h>

#include <charconv>
#include <cstdio>

#include "common/NumberText.h"

namespace {

std::string Fixed(double value, int decimals) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  return buffer;
}

}  // namespace

bool RunLog::Write(const std::string& text) {
  if (file_ == nullptr) return false;
  if (std::fwrite(text.data(), 1, text.size(), file_.get()) != text.size() ||
      std::fflush(file_.get()) != 0) {
    file_.reset();
    return false;
  }
  bytes_ += static_cast<std::int64_t>(text.size());
  return true;
}

bool RunLog::Start(const std::string& path, const std::vector<std::string>& comments) {
  file_.reset(std::fopen(path.c_str(), "wb"));
  bytes_ = 0;
  std::string text;
  for (const std::string& comment : comments)
    text += "# " + comment + "\n";
  return Write(text + kHeader + "\n");
}

bool RunLog::Continue(const std::string& path, std::int64_t bytes,
                      const std::vector<std::string>& comments, const std::string& resumed) {
  if (bytes > 0) {
    file_.reset(std::fopen(path.c_str(), "r+b"));
    if (file_ != nullptr && std::fseek(file_.get(), 0, SEEK_END) == 0 &&
        std::ftell(file_.get()) >= bytes && ::ftruncate(::fileno(file_.get()), bytes) == 0 &&
        std::fseek(file_.get(), 0, SEEK_END) == 0) {
      bytes_ = bytes;
      return Write("# " + resumed + "\n");
    }
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
