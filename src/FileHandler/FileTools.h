// Reading and writing the bracketed block syntax of the data files.
//
// Both text formats of the program -- data-set files and network description
// files -- consist of block starts [Name], assignments [Key = value], end tags
// [~Name], plain tokens (numbers, words) and nesting comments /* ... */.
// FileTools holds the tokenizer, the tag reader with its typed readers, the
// tag writer, and the file operations built on them:
//   ParseTools.cpp   tokenizer, tag reader, typed readers, tag writer
//   Filer.cpp        data-set files
//   NetworkFile.cpp  network description files
//
// Syntax errors throw FileTools::Error carrying the message; the caller
// abandons the file. File operations that return a status report files that
// cannot be opened, read headers that do not fit, and row counts that do not
// agree as the FIL_* codes below. One FileTools reads or writes one file at a
// time; it is not thread-safe.
#pragma once

#include <cstddef>
#include <exception>
#include <iosfwd>
#include <memory>
#include <string>

class Data;
class TBasicNetwork;
class TLabelList;
class TKQstructure;

// Kinds of FileTag, and of the tags FileTools::WriteTag writes.
inline constexpr int TAG_END = 0;      // end tag, or end of input at top level
inline constexpr int TAG_TOKEN = 1;    // a plain token: number, word, lone special character
inline constexpr int TAG_BLOCK = 2;    // block start [Name]
inline constexpr int TAG_ASSIGN = 3;   // assignment [Key = value]
inline constexpr int TAG_VERSION = 5;  // the version line (writing only)

// Status codes of the data-set file operations.
inline constexpr int FIL_OPEN_FAILED = -81;   // the file could not be opened (or created)
inline constexpr int FIL_BAD_FORMAT = -82;    // header entry open, unknown, repeated, misplaced;
                                              // LoadDataFile: the file has a second data set
inline constexpr int FIL_BAD_ROWS = -83;      // writing: no row count, or the counts differ
inline constexpr int FIL_WRITE_FAILED = -84;  // writing: the stream failed after opening

// One tag as read by FileTools::ReadTag.
struct FileTag {
  int type = TAG_END;
  std::string name;   // token text; block or key name as written in the file
  std::string value;  // value of an assignment
  bool open = false;  // not closed by "]": more items of the same bracket follow
};

class FileTools {
 public:
  // A syntax error in a file being read.
  class Error : public std::exception {
   public:
    Error(std::string msg, std::istream* in, bool beyond = false)
        : message(std::move(msg)), stream(in), beyond_bounds(beyond) {}
    const char* what() const noexcept override { return message.c_str(); }

    std::string message;
    // The stream that was being read (not owned; may be null). It is valid
    // only while the reading operation that threw is still on the stack.
    std::istream* stream;
    // The input is beyond what any file of the program holds (kNulByte,
    // kLongGap): not a file of the program at all, which a caller may say
    // naming the file.
    bool beyond_bounds;
  };

  // What the tokenizer refuses in any input, so that an input that never
  // ends (a device such as /dev/zero, a pipe) or a file of another kind ends
  // at once: a NUL byte, which no text holds, and more than kMaxGap bytes of
  // separators and comments between two tokens.
  static constexpr const char* kNulByte = "NUL byte (not a text file)";
  static constexpr const char* kLongGap = "Over 16 MiB of blanks and comments without a token";
  static constexpr long kMaxGap = 1L << 24;

  // The largest network a network file may describe (see LoadNetwork):
  // layers, neurons over all layers, and cells over all connection matrices.
  static constexpr long kMaxLayers = 256;
  static constexpr long kMaxNeurons = 1000000;
  static constexpr long long kMaxMatrixCells = 1 << 25;

  // Longest token the tokenizer accepts: its buffer holds 1028 bytes
  // including the terminating NUL. Longer tokens throw "Token too long".
  static constexpr std::size_t kMaxTokenLength = 1027;

  FileTools() = default;
  FileTools(const FileTools&) = delete;
  FileTools& operator=(const FileTools&) = delete;

  // --- Tokenizer and tag reader (ParseTools.cpp) ---------------------------

  // The next token; empty at the end of input. Skips separators and
  // comments; a special character is a token by itself, "[~" is one token.
  // Throws kNulByte and kLongGap (see above).
  std::string ReadToken(std::istream& in);
  // Consumes a comment up to its matching "*/", after "/*" has been read.
  void SkipComment(std::istream& in);
  // Reads the next tag into `tag`. `block` is the name of the innermost open
  // block (nullptr at top level); `continuation` reads the next item inside
  // an open bracket, taking the first token as the name. A closed
  // [FormatVersion = v] outside continuation mode is checked and skipped.
  void ReadTag(FileTag& tag, const char* block, std::istream& in, bool continuation);

  // Typed readers: each accepts one kind of tag or throws.
  // The block's name as written; `name` == nullptr accepts any block start.
  std::string ExpectBlockStart(const FileTag& tag, const char* name);
  void ExpectEndTag(const FileTag& tag);
  // The value of [key = value]; with `expected`, the value must equal it
  // (ignoring case) and the empty text is returned.
  std::string ReadStringTag(const FileTag& tag, const char* key, const char* expected);
  long ReadIntegerTag(const FileTag& tag, const char* key);
  double ReadNumberTag(const FileTag& tag, const char* key);
  double ReadNumberToken(const FileTag& tag);
  // Leading decimal integer of `text` ("%ld"); "integer-expected" otherwise.
  long ParseInteger(const std::string& text);
  // Leading real number of `text` (value as strtod gives it). NaN and
  // infinities, in any spelling, and overflowing magnitudes throw
  // "number-expected": one of them in data or weights would poison every
  // error measured afterwards.
  double ParseNumber(const std::string& text);

  // --- Tag writer (ParseTools.cpp) -----------------------------------------
  // `bracketed` writes the tag form ending its line; otherwise the inline
  // form used for the items inside one bracket. Numbers are formatted in
  // full, never truncated.

  void WriteTag(int kind, const std::string& name, const std::string& value, std::ostream& out,
                bool bracketed) const;
  // "[FormatVersion = 1.0]" and an empty line.
  void WriteFormatVersion(std::ostream& out) const;
  void WriteBlockStart(const std::string& name, std::ostream& out, bool bracketed = true) const;
  // "[~name]"; nothing when `name` is nullptr.
  void WriteEndTag(const char* name, std::ostream& out) const;
  void WriteStringTag(const std::string& name, const std::string& text, std::ostream& out,
                      bool bracketed = true) const;
  // Value as "%ld".
  void WriteIntegerTag(const std::string& name, long value, std::ostream& out,
                       bool bracketed = true) const;
  // Value as "%.*f" with `precision` decimals.
  void WriteNumberTag(const std::string& name, double value, int precision, std::ostream& out,
                      bool bracketed = true) const;
  void WriteNewline(std::ostream& out) const;

  // --- Data-set files (Filer.cpp) ------------------------------------------

  // Loads the first data set of a file. A file that also holds a second
  // data set yields FIL_BAD_FORMAT (the first is handed out all the same).
  int LoadDataFile(const std::string& file_name, std::unique_ptr<Data>* first);
  // Reads both data sets of a file; each is null when the file has none.
  int ReadDataFile(const std::string& file_name, std::unique_ptr<Data>* first,
                   std::unique_ptr<Data>* second);
  // Reads `rows` rows starting `*offset` bytes after the Data block start;
  // on return `*offset` is the position after the last row read, counted
  // from the same place. Creates only the data sets that have columns.
  int ReadDataChunk(const std::string& file_name, long* offset, int rows,
                    std::unique_ptr<Data>* first, std::unique_ptr<Data>* second);
  int ReadDataChunk(const std::string& file_name, long* offset, int rows,
                    std::unique_ptr<Data>* first);
  // Reads the header entries after the DataSet block start. Counts default
  // to 0 (LABELS reads as -1), rows to -1 when absent. `*tag` receives the
  // first tag after the header, or the offending entry (FIL_BAD_FORMAT).
  int ReadDataHeader(std::istream& in, int* inputs, int* expected, int* generated, int* error,
                     int* rows, FileTag* tag);
  // Reads one label list "[word word=value ...]".
  std::unique_ptr<TLabelList> ReadLabels(std::istream& in);
  void WriteLabels(std::ostream& out, const TLabelList& labels) const;
  // Writes a whole file: header, rows, trailer. Either data set may be null.
  int WriteDataFile(const std::string& file_name, const Data* first, const Data* second);
  // WriteDataFile through a temporary file beside `file_name` that replaces
  // it only once complete: on any failure (FIL_OPEN_FAILED when no temporary
  // can be made or it cannot replace the file) the file is left as it was.
  int SaveDataFile(const std::string& file_name, const Data* first, const Data* second);
  // Creates or truncates the file and writes the header; -1 for `expected`
  // or `generated` is written as Labels.
  int WriteDataHeader(const std::string& file_name, int inputs, int expected, int generated,
                      int error, int rows);
  // Appends every row of the data sets, oldest first.
  int AppendDataRows(const std::string& file_name, const Data* first, const Data* second);
  // Appends the end tags of the Data and DataSet blocks.
  int AppendDataTrailer(const std::string& file_name);
  // Describes the file as a KQML structure: (data :rows ...), network, or an
  // error report (file-read-error, bad-header, unknown-header).
  std::unique_ptr<TKQstructure> IdentifyFile(const std::string& file_name);

  // --- Network description files (NetworkFile.cpp) -------------------------
  // A network file is one NeuralNetwork block: the network type, the
  // NetworkInformation block, one block per layer and one per connected
  // layer pair. A network that is read is complete: every layer index has a
  // layer, every neuron a function it can evaluate, every connection a finite
  // weight. Files claiming more than 256 layers, 1,000,000 neurons or
  // 33,554,432 matrix cells in all are refused before anything that size is
  // allocated.

  // Reads the network file `file_name` (see ReadNetwork); "Error on File
  // Open" when it cannot be opened.
  std::unique_ptr<TBasicNetwork> LoadNetwork(const std::string& file_name);
  // Reads one NeuralNetwork block and requires the end of input after it: a
  // TBasicNetwork, TConnectedNetwork or TMLPNetwork owned by the caller.
  // Every fault of the file throws Error; nothing of the network survives.
  std::unique_ptr<TBasicNetwork> ReadNetwork(std::istream& in);
  // Writes `network` to `file_name` through a temporary file beside it that
  // replaces the destination only once it is complete: on any error (Error
  // with a null stream) the destination is left as it was.
  void SaveNetwork(const std::string& file_name, const TBasicNetwork& network);
  // Writes the network description to `out` with floating precision 15.
  // A bias-function layer of more than one neuron throws "Illegal number of
  // bias nodes" after the text before it has been written.
  // REQUIRES: every layer slot of `network` is filled.
  void WriteNetwork(std::ostream& out, const TBasicNetwork& network);

 private:
  // Throws Error with `message` and the stream being read.
  [[noreturn]] void Fail(const std::string& message) const;
  // Consumes separators; returns the next character without consuming it
  // (EOF at the end of input).
  int SkipSeparators(std::istream& in);
  // Counts `bytes` more between two tokens; throws kLongGap past kMaxGap.
  void Gap(long bytes);

  // The stream being read, handed to Error.
  std::istream* MbrPtrStream = nullptr;
  // Bytes of separators and comments read since the last token.
  long MbrGap = 0;
};
