// `Quill --check parameter.file`: reads a parameter file exactly as a run
// would, runs nothing and writes nothing, and lists what a run would do with
// it that its writer probably did not mean.
//
// The findings, each with the line of the file where there is one:
//   errors    what would stop the run (the run's own message, with the
//             context it lacks: which file, from which folder, how many
//             inputs the network and the data have);
//   warnings  what would run, but not as written: words skipped as unknown
//             (with the nearest key), numbers read only partly (`1e4` read as
//             1), a key given twice, values outside their sensible range,
//             bounds that exclude the starting weights, settings that breed
//             nothing;
//   notes     what the run would load and cost: the network and every data
//             set with their sizes, how each generation is evaluated, an
//             estimate of memory and of time per generation.
// The status is 0 when nothing was found, 1 when a run would fail and 3 when
// it would run but something above was found.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

struct CheckFinding {
  enum class Level { kNote, kWarning, kError };
  Level level;
  int line = 0;  // in the parameter file, counting from 1; 0 for none
  std::string text;
};

struct CheckReport {
  std::vector<CheckFinding> findings;

  // 0: nothing found; 1: a run would fail; 3: a run would start, with warnings.
  int Status() const;
  // Writes the findings, one a line ("file:line: warning: ..."), and a
  // closing line with the verdict.
  void Print(std::ostream& out, const std::string& file) const;
};

// How far the check goes.
struct CheckOptions {
  // Load the network and the data sets (and check what depends on them).
  bool inputs = true;
  // Time a recall of the starting network for the estimate of a generation.
  bool measure = true;
};

// Checks the parameter file `path` whose content is `text`.
CheckReport CheckParameterFile(const std::string& path, const std::string& text,
                               const CheckOptions& options = {});

// Reads the file `path`, checks it, prints the report on standard output and
// returns the status.
int QuillCheck(const std::string& path);

// The key nearest to `word` in spelling, when one is close enough to be a
// likely intent (a letter missing, swapped or changed, another spelling,
// the start of a key), or an empty text.
std::string NearestKey(const std::string& word);
