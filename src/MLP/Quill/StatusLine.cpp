#include "MLP/Quill/StatusLine.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <streambuf>

#include "common/Clock.h"

namespace {

// Erases the line the cursor is on.
constexpr const char* kErase = "\r\x1b[K";

// The terminal's width in characters (80 when it does not say).
std::size_t TerminalWidth() {
  winsize size{};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

std::string Format(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

}  // namespace

// Passes a stream's output on, first erasing the status line when it is
// shown, so that other text never lands on it.
class StatusLine::Guard {
 public:
  explicit Guard(bool stdout_too)
      : err_(std::cerr.rdbuf(), this), out_(std::cout.rdbuf(), this), stdout_too_(stdout_too) {
    terminal_ = std::cerr.rdbuf(&err_);
    if (stdout_too_) std::cout.rdbuf(&out_);
  }
  ~Guard() {
    std::cerr.rdbuf(terminal_);
    if (stdout_too_) std::cout.rdbuf(out_.target());
  }
  Guard(const Guard&) = delete;
  Guard& operator=(const Guard&) = delete;

  void Show(const std::string& text) {
    // Whatever standard output holds goes out first, above the line.
    std::cout.flush();
    const std::string line = kErase + text;
    terminal_->sputn(line.data(), static_cast<std::streamsize>(line.size()));
    terminal_->pubsync();
    shown_ = true;
  }
  void Erase() {
    if (!shown_) return;
    shown_ = false;
    terminal_->sputn(kErase, static_cast<std::streamsize>(std::strlen(kErase)));
    terminal_->pubsync();
  }
  bool Shown() const { return shown_; }
  std::streambuf* Terminal() const { return terminal_; }

 private:
  class Erasing : public std::streambuf {
   public:
    Erasing(std::streambuf* target, Guard* guard) : target_(target), guard_(guard) {}
    std::streambuf* target() const { return target_; }

   protected:
    int overflow(int c) override {
      if (c == traits_type::eof()) return traits_type::not_eof(c);
      guard_->Erase();
      return target_->sputc(static_cast<char>(c));
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
      guard_->Erase();
      return target_->sputn(s, n);
    }
    int sync() override { return target_->pubsync(); }

   private:
    std::streambuf* target_;
    Guard* guard_;
  };

  Erasing err_;
  Erasing out_;
  bool stdout_too_;
  std::streambuf* terminal_ = nullptr;
  bool shown_ = false;
};

StatusLine::StatusLine(bool terminal, std::int32_t first, std::int32_t generations)
    : active_(terminal),
      first_(first),
      generations_(generations),
      started_(terminal ? quill::SteadySeconds() : 0.0) {
  if (active_) guard_ = std::make_unique<Guard>(::isatty(STDOUT_FILENO) == 1);
}

StatusLine::~StatusLine() {
  if (guard_ != nullptr) guard_->Erase();
}

bool StatusLine::Enabled() {
  if (::isatty(STDERR_FILENO) != 1) return false;
  const char* term = std::getenv("TERM");
  return term == nullptr || std::strcmp(term, "dumb") != 0;
}

double StatusLine::Elapsed() const {
  if (!active_) return 0.0;
  return quill::SteadySeconds() - started_;
}

std::string StatusLine::Duration(double seconds) {
  if (!(seconds >= 0.0) || seconds > 1e7) return "--:--";
  const long total = std::lround(seconds);
  char text[32];
  if (total >= 3600) {
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
  } else {
    std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
  }
  return text;
}

std::string StatusLine::Text(std::int32_t generation, std::int32_t generations, double lowest_error,
                             double per_second, double elapsed, std::size_t width) {
  std::string text = "generation " + std::to_string(generation) + "/" +
                     std::to_string(generations) + "  lowest error " +
                     Format("%.6g", lowest_error) + "  ";
  text += per_second >= 100.0 ? Format("%.0f", per_second) : Format("%.3g", per_second);
  text += " gen/s  " + Duration(elapsed) + " elapsed";
  if (per_second > 0.0 && generation < generations)
    text += "  " + Duration((generations - generation) / per_second) + " left";
  // The line must never wrap: a wrapped line cannot be erased.
  if (width > 1 && text.size() > width - 1) text.resize(width - 1);
  return text;
}

void StatusLine::Update(std::int32_t generation, double lowest_error) {
  if (!active_ || guard_ == nullptr) return;
  const double now = Elapsed();
  // At most four times a second, unless other output erased the line.
  if (guard_->Shown() && now - last_drawn_ < 0.25 && generation < generations_) return;
  last_drawn_ = now;
  const double per_second = now > 0.0 ? (generation - first_) / now : 0.0;
  text_ = Text(generation, generations_, lowest_error, per_second, now, TerminalWidth());
  guard_->Show(text_);
}

void StatusLine::Finish(const std::string& summary) {
  if (!active_ || guard_ == nullptr) return;
  guard_->Erase();
  guard_.reset();
  active_ = false;
  std::cerr << summary << std::endl;
}
