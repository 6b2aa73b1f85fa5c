// The run log: a CSV file of every generation's statistics, written as the
// run goes and flushed after every row, so that `tail -f` and a live plot
// follow it.
//
// The file starts with comment lines ("# " and a text: the program, the
// seed, the parameters, the input files with their fingerprints, the thread
// count, the start time), then the header row, then one row per generation:
//   generation,lowest_error,best_fitness,mean_fitness,worst_fitness,seconds,evaluations_per_second
// Errors and fitness values are written in the shortest form that reads back
// to the same bits. A resumed run keeps the rows up to its checkpoint and goes
// on below them, after a comment line saying where it resumed.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

class RunLog {
 public:
  // The header row.
  static constexpr const char* kHeader =
      "generation,lowest_error,best_fitness,mean_fitness,worst_fitness,seconds,"
      "evaluations_per_second";

  RunLog() = default;
  RunLog(const RunLog&) = delete;
  RunLog& operator=(const RunLog&) = delete;

  // Creates (or empties) the file at `path` and writes `comments` (one line
  // each) and the header. False when the file cannot be written.
  bool Start(const std::string& path, const std::vector<std::string>& comments);
  // Continues the log of a resumed run: when the file holds at least `bytes`
  // bytes (the log's length at the checkpoint), keeps those and appends
  // `resumed`; otherwise starts it anew with `comments`, `resumed` and the
  // header. False when the file cannot be written.
  bool Continue(const std::string& path, std::int64_t bytes,
                const std::vector<std::string>& comments, const std::string& resumed);
  // Appends one generation's row and flushes. False once a write fails.
  bool Row(std::int32_t generation, double lowest_error, float best_fitness, float mean_fitness,
           float worst_fitness, double seconds, double evaluations_per_second);
  // The file's length so far.
  std::int64_t Bytes() const { return bytes_; }
  bool IsOpen() const { return file_ != nullptr; }

 private:
  bool Write(const std::string& text);

  struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  std::unique_ptr<std::FILE, Closer> file_;
  std::int64_t bytes_ = 0;
};
