// What the companion programs (quill-net, quill-data, quill-eval, quill-plot)
// share: how they fail, how they write their results, and how they read the
// network and data-set files through the same readers as Quill.
//
// A program's work runs inside RunTool, which turns every failure into one
// message "<program>: <message>" on standard error and an exit status: 2 for
// a UsageError (a mistake in the command line), 1 for anything else (input
// that cannot be read or used, output that cannot be written, memory
// exhausted). Results go to standard output or, with -o, to a file that is
// written whole or not at all.
#pragma once

#include <functional>
#include <iosfwd>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/AtomicFile.h"

class Data;
class TBasicNetwork;
class TMLPNetwork;

namespace quill::tools {

// A mistake in the command line: exit status 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Input that cannot be read or used, or output that cannot be written:
// exit status 1.
class ToolError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Runs `body` and returns its exit status; a failure is reported on standard
// error as "<program>: <message>" and returns 2 (UsageError) or 1. A SIGINT
// or SIGTERM meanwhile ends the program with 128 + the signal and
// "<program>: interrupted; no file written" before its files are moved into
// place (OutputFiles::Commit), leaving no temporary file behind.
int RunTool(const char* program, const std::function<int()>& body);

// The text `program` prints for --version: "<program> (Quill) <version>".
std::string VersionLine(const char* program);

// Results of a program, for standard output or for files that are written
// whole or not at all. Text is gathered in memory and written by Commit, so
// a failure before Commit leaves no file behind; of several files, none is
// replaced before every one has been written. No file written may be one
// the program reads (registered with Input) or another file it writes:
// Commit checks that (by device and inode, or by resolved path for files
// that do not exist yet) before it writes anything.
class OutputFiles {
 public:
  OutputFiles() = default;
  OutputFiles(const OutputFiles&) = delete;
  OutputFiles& operator=(const OutputFiles&) = delete;

  // A file the program reads, and what it is to the user ("the network
  // file"); standard input ("-") is no file.
  void Input(const std::string& path, std::string role);
  // A text to be written to `path`, or to standard output when `path` is
  // empty or "-"; `role` names the file in messages ("-o").
  std::ostream& Text(const std::string& path, std::string role = "-o");
  // A data-set file to be written to `path` with FileTools::WriteDataFile,
  // after the comment lines `names_comment` (see ColumnNames.h).
  void DataSet(const std::string& path, std::shared_ptr<const Data> data, std::string role = "-o",
               std::string names_comment = {});
  // Writes everything; throws ToolError naming the file that failed (the
  // files not yet in place then keep what they held), or the two roles of a
  // file that is both written and read or written twice. A SIGINT or SIGTERM
  // before the files are moved into place removes every temporary file and
  // ends the program (see RunTool); while they are moved, signals wait.
  void Commit();
  // The paths of the files, in the order they were added.
  std::vector<std::string> Paths() const;

 private:
  struct Entry {
    std::string path;  // empty: standard output
    std::string role;
    std::unique_ptr<std::ostringstream> text;
    std::shared_ptr<const Data> data;
    std::string names_comment;
  };
  // Throws ToolError for a file that cannot be written or is written twice
  // or over an input.
  void Check() const;

  std::vector<Entry> entries_;
  std::vector<std::pair<std::string, std::string>> inputs_;  // path, role
};

// Reads a network file with the network reader; a file that cannot be opened
// or read throws ToolError "<path>: <reason>" ("<path>:<line>: <reason>" for a
// syntax error).
std::unique_ptr<TBasicNetwork> ReadNetworkFile(const std::string& path);
// ReadNetworkFile, and the network must be an MLP (what Quill trains).
std::unique_ptr<TMLPNetwork> ReadMLPFile(const std::string& path);
// Reads the first data set of a data-set file as Quill does (LoadDataFile);
// throws ToolError "<path>: <reason>" when the file cannot be read or holds
// no data set.
std::unique_ptr<Data> ReadDataSetFile(const std::string& path);

// Reads both data sets of a data-set file (either may come back null);
// throws ToolError as ReadDataSetFile, and when the file holds neither.
void ReadDataSets(const std::string& path, std::unique_ptr<Data>* first,
                  std::unique_ptr<Data>* second);

// A number in the general format with `digits` significant digits (%.*g).
std::string FormatNumber(double value, int digits = 6);
// The shortest text that reads back as exactly `value`.
std::string ShortestNumber(double value);

}  // namespace quill::tools
