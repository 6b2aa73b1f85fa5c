// The run log: a CSV file of every generation's statistics, written as the
// run goes, one write per row, so that `tail -f` and a live plot follow it.
//
// The file starts with comment lines ("# " and a text: the program, the
// seed, the parameters, the input files with their fingerprints, the thread
// count, the start time), then the header row, then one row per generation:
//   generation,lowest_error,best_fitness,mean_fitness,worst_fitness,seconds,evaluations_per_second
// Errors and fitness values are written in the shortest form that reads back
// to the same bits. A resumed run keeps the rows up to its checkpoint and goes
// on below them, after a comment line saying where it resumed.
//
// Every write is checked. When one fails (a full disk, say), the part of the
// row that reached the file is cut off again, so the file and Bytes() always
// end with a whole row, and the log is closed; Error() says why.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

class RunLog {
 public:
  // The header row.
  static constexpr const char* kHeader =
      "generation,lowest_error,best_fitness,mean_fitness,worst_fitness,seconds,"
      "evaluations_per_second";

  RunLog() = default;
  ~RunLog();
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
  // Appends one generation's row. False once a write fails.
  bool Row(std::int32_t generation, double lowest_error, float best_fitness, float mean_fitness,
           float worst_fitness, double seconds, double evaluations_per_second);
  // The file's length so far: whole lines only.
  std::int64_t Bytes() const { return bytes_; }
  bool IsOpen() const { return fd_ >= 0; }
  // Why the last write failed (the system's text), or empty.
  const std::string& Error() const { return error_; }

  // The comment line that records the seed (without "# ").
  static std::string SeedComment(std::uint32_t seed, bool seed_given);
  // Why the file at `path` cannot be the log of the run that `seed_comment`
  // and `fingerprints` (the weight file's, then each data file's) describe,
  // or nothing when it may be written over: it does not exist, is empty, or
  // is a Quill run log whose seed line and input fingerprints are these.
  static std::optional<std::string> NotThisRunsLog(const std::string& path,
                                                   const std::string& seed_comment,
                                                   const std::vector<std::uint64_t>& fingerprints);
  // The same for the text of an existing file: it reads at most the first
  // lines, each of at most 4096 bytes.
  static std::optional<std::string> NotThisRunsLog(std::istream& in,
                                                   const std::string& seed_comment,
                                                   const std::vector<std::uint64_t>& fingerprints);

 private:
  bool Write(const std::string& text);
  void Close();

  int fd_ = -1;
  std::int64_t bytes_ = 0;
  std::string error_;
};
