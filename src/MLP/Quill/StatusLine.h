// A live status line for a run watched on a terminal.
//
// While standard error is a terminal, a run keeps one line at the bottom of
// it: the generation and the total, the lowest error, generations per
// second, the time elapsed and an estimate of the time left, redrawn at most
// a few times a second. Anything else written to standard error (or to
// standard output on the same terminal) first erases the line, so messages
// and progress lines are never mixed with it; the next update draws it again.
// At the end one summary line stays. When standard error is not a terminal
// the object does nothing at all, so what a run writes to files and pipes is
// unchanged.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>

class StatusLine {
 public:
  // `generations` is the run's last generation, `first` the one it starts
  // after (0 for a new run, the checkpoint's generation for a resumed one).
  // `terminal` says whether standard error is a terminal (Enabled() tells
  // it for the process).
  StatusLine(bool terminal, std::int32_t first, std::int32_t generations);
  ~StatusLine();
  StatusLine(const StatusLine&) = delete;
  StatusLine& operator=(const StatusLine&) = delete;

  // Whether this process's standard error is a terminal that takes the line.
  static bool Enabled();

  // After generation `generation` with the generation's lowest error.
  void Update(std::int32_t generation, double lowest_error);
  // Erases the line and writes `summary` as the last line; nothing more is
  // drawn afterwards.
  void Finish(const std::string& summary);
  // Seconds since the object was made (0 when it is not drawn).
  double Elapsed() const;

  // The line for the given state, at most `width` characters (for tests).
  static std::string Text(std::int32_t generation, std::int32_t generations, double lowest_error,
                          double per_second, double elapsed, std::size_t width);
  // A duration as m:ss or h:mm:ss.
  static std::string Duration(double seconds);

 private:
  class Guard;
  void Draw();

  bool active_;
  std::int32_t first_;
  std::int32_t generations_;
  double started_;
  double last_drawn_ = -1.0;
  std::string text_;
  std::unique_ptr<Guard> guard_;
};
