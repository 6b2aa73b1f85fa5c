// Data-set files: reading, chunked reading, writing and identification.
//
// A data-set file is one DataSet block: header assignments (Rows, Inputs,
// ExpectedOutputs, GeneratedOutputs, Error), then a Data block holding the
// rows. Each row holds the inputs and expected outputs of the first data set,
// the generated outputs and errors of the second, and then the label lists of
// the data sets that keep labels instead of output values.
#include <climits>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <vector>

#include "DataObject/Data.h"
#include "DataObject/TLabelList.h"
#include "FileHandler/FileTools.h"
#include "KQmessage/KQML.h"
#include "common/Assert.h"
#include "common/AtomicFile.h"
#include "common/Status.h"
#include "common/StrCase.h"

namespace {
constexpr const char* kSourceUnit = "FileHandler/Filer";

bool SameName(const std::string& a, const char* b) {
  return quill::strcasecmp(a.c_str(), b) == 0;
}

// The values of one data set as they are read. The Data is made only once
// every row has been read: its capacity comes from the header, and a header
// may declare far more rows than the file holds. Growing these buffers row
// by row keeps memory in proportion to what the file really contains.
struct PendingSet {
  int inputs = 0;
  int outputs = 0;
  bool labels = false;
  bool make = false;  // a Data is handed out for this set
  std::vector<double> in;
  std::vector<double> out;
  std::vector<TLabelList> lists;

  // Tested without adding the counts, which may each be near INT_MAX.
  bool HasColumns() const { return inputs > 0 || outputs > 0; }
  bool Carries() const { return HasColumns() || labels; }

  std::unique_ptr<Data> Build(int capacity, int rows) const {
    auto data = std::make_unique<Data>(capacity, inputs, outputs, labels);
    data->Rewind();
    for (int r = 0; r < rows; ++r) {
      const std::size_t ri = static_cast<std::size_t>(r);
      data->AddRow(inputs > 0 ? &in[ri * static_cast<std::size_t>(inputs)] : nullptr,
                   outputs > 0 ? &out[ri * static_cast<std::size_t>(outputs)] : nullptr,
                   labels ? &lists[ri] : nullptr);
    }
    return data;
  }
};

// Header counts and the two data sets they describe.
struct Layout {
  int inputs = 0;
  int expected = 0;
  int generated = 0;
  int error = 0;
  int rows = -1;
};

void Describe(const Layout& h, PendingSet sets[2]) {
  // Exactly -1 (LABELS) switches labels on; any negative count is 0 columns.
  sets[0].labels = h.expected == -1;
  sets[0].inputs = h.inputs > 0 ? h.inputs : 0;
  sets[0].outputs = h.expected > 0 ? h.expected : 0;
  sets[1].labels = h.generated == -1;
  sets[1].inputs = h.generated > 0 ? h.generated : 0;
  sets[1].outputs = h.error > 0 ? h.error : 0;
}

// Reads `rows` rows inside the block `block` into the pending sets.
void ReadRows(FileTools& ft, std::istream& in, const char* block, int rows, PendingSet sets[2]) {
  if (!sets[0].Carries() && !sets[1].Carries()) return;  // nothing stands in a row
  FileTag tag;
  auto read_numbers = [&](std::vector<double>& to, int count, bool keep) {
    for (int i = 0; i < count; ++i) {
      ft.ReadTag(tag, block, in, false);
      const double value = ft.ReadNumberToken(tag);
      if (keep) to.push_back(value);
    }
  };
  for (int r = 0; r < rows; ++r) {
    read_numbers(sets[0].in, sets[0].inputs, sets[0].make);
    read_numbers(sets[0].out, sets[0].outputs, sets[0].make);
    read_numbers(sets[1].in, sets[1].inputs, sets[1].make);
    read_numbers(sets[1].out, sets[1].outputs, sets[1].make);
    for (PendingSet* set : {&sets[0], &sets[1]}) {
      if (!set->labels) continue;
      std::unique_ptr<TLabelList> list = ft.ReadLabels(in);
      if (set->make) set->lists.push_back(std::move(*list));
    }
  }
}

// Reads from the start of the file up to and including the Data block start.
// Returns the names of the DataSet and Data blocks as written.
void ReadPrologue(FileTools& ft, std::istream& in, Layout* h, std::string* dataset,
                  std::string* data) {
  FileTag tag;
  ft.ReadTag(tag, nullptr, in, false);
  *dataset = ft.ExpectBlockStart(tag, "DATASET");
  // A stopped header leaves its offending entry in `tag`, which then fails
  // the Data block check below.
  ft.ReadDataHeader(in, &h->inputs, &h->expected, &h->generated, &h->error, &h->rows, &tag);
  *data = ft.ExpectBlockStart(tag, "DATA");
}

// Writes one line: row `row1` of `first` and row `row2` of `second` (either
// data set may be null).
void WriteRow(std::ostream& out, const FileTools& ft, const Data* first, const Data* second,
              int row1, int row2, std::vector<double>& buffer) {
  auto write_inputs = [&](const Data* data, int row) {
    buffer.resize(static_cast<std::size_t>(data->NumInputs()));
    data->GetInputRow(row, buffer.data());
    for (double v : buffer)
      out << v << ' ';
  };
  auto write_outputs = [&](const Data* data, int row) {
    buffer.resize(static_cast<std::size_t>(data->NumOutputs()));
    data->GetOutputRow(row, buffer.data());
    for (double v : buffer)
      out << v << ' ';
  };
  if (first != nullptr) {
    write_inputs(first, row1);
    out << "  ";
    if (!first->HasLabels()) write_outputs(first, row1);
  }
  if (second != nullptr) {
    out << "  ";
    if (!second->HasLabels()) write_inputs(second, row2);
    out << "  ";
    write_outputs(second, row2);
  }
  // Label lists go after every numeric group, where the reader expects them.
  // For the usual file (inputs, then labels) that is also their column place.
  const TLabelList* labels = nullptr;
  if (first != nullptr && first->HasLabels()) {
    first->GetLabels(row1, &labels);
    ft.WriteLabels(out, *labels);
  }
  if (second != nullptr && second->HasLabels()) {
    second->GetLabels(row2, &labels);
    ft.WriteLabels(out, *labels);
  }
  out << '\n';
}

// The common row count of the data sets to write, or FIL_BAD_ROWS.
int RowCount(const Data* first, const Data* second, int* rows) {
  *rows = -1;
  if (first != nullptr) *rows = first->NumRows();
  if (second != nullptr) {
    if (first == nullptr) {
      *rows = second->NumRows();
    } else if (second->NumRows() != *rows) {
      return FIL_BAD_ROWS;
    }
  }
  return *rows < 0 ? FIL_BAD_ROWS : SUCCESS;
}

}  // namespace

// --- Reading -----------------------------------------------------------------

int FileTools::LoadDataFile(const std::string& file_name, std::unique_ptr<Data>* first) {
  std::unique_ptr<Data> second;
  const int code = ReadDataFile(file_name, first, &second);
  if (code != SUCCESS) return code;
  return second ? FIL_BAD_FORMAT : SUCCESS;
}

int FileTools::ReadDataFile(const std::string& file_name, std::unique_ptr<Data>* first,
                            std::unique_ptr<Data>* second) {
  first->reset();
  second->reset();
  std::ifstream in(file_name, std::ios::binary);
  if (!in) return FIL_OPEN_FAILED;

  Layout h;
  std::string dataset_name, data_name;
  ReadPrologue(*this, in, &h, &dataset_name, &data_name);
  if (h.rows < 0) Fail("[ROWS = <integer>] expected");

  PendingSet sets[2];
  Describe(h, sets);
  sets[0].make = h.inputs != 0 || h.expected != 0;
  sets[1].make = h.generated != 0 || h.error != 0;
  // A data set without columns or labels (a negative count other than
  // LABELS) keeps nothing in its rows, so the file does not bound how many
  // it claims: two billion of them would be appended one by one and then
  // walked by every error measure. Such rows are refused.
  for (const PendingSet& set : sets) {
    if (set.make && !set.Carries() && h.rows > 0) {
      Fail("Rows without columns");
    }
  }
  ReadRows(*this, in, data_name.c_str(), h.rows, sets);

  FileTag tag;
  ReadTag(tag, data_name.c_str(), in, false);
  ExpectEndTag(tag);
  ReadTag(tag, dataset_name.c_str(), in, false);
  ExpectEndTag(tag);
  ReadTag(tag, nullptr, in, false);  // only the end of input may follow
  ExpectEndTag(tag);

  if (sets[0].make) *first = sets[0].Build(h.rows, h.rows);
  if (sets[1].make) *second = sets[1].Build(h.rows, h.rows);
  return SUCCESS;
}

int FileTools::ReadDataChunk(const std::string& file_name, long* offset, int rows,
                             std::unique_ptr<Data>* first, std::unique_ptr<Data>* second) {
  QUILL_ASSERT(rows >= 0);
  first->reset();
  second->reset();
  std::ifstream in(file_name, std::ios::binary);
  if (!in) return FIL_OPEN_FAILED;

  Layout h;
  std::string dataset_name, data_name;
  ReadPrologue(*this, in, &h, &dataset_name, &data_name);

  PendingSet sets[2];
  Describe(h, sets);
  sets[0].make = sets[0].HasColumns();
  sets[1].make = sets[1].HasColumns();

  const std::streamoff start = in.tellg();
  in.seekg(start + *offset);
  ReadRows(*this, in, data_name.c_str(), rows, sets);
  in.clear();  // a look-ahead may have met the end of input
  *offset = static_cast<long>(in.tellg() - start);

  if (sets[0].make) *first = sets[0].Build(rows, rows);
  if (sets[1].make) *second = sets[1].Build(rows, rows);
  return SUCCESS;
}

int FileTools::ReadDataChunk(const std::string& file_name, long* offset, int rows,
                             std::unique_ptr<Data>* first) {
  std::unique_ptr<Data> second;
  return ReadDataChunk(file_name, offset, rows, first, &second);
}

int FileTools::ReadDataHeader(std::istream& in, int* inputs, int* expected, int* generated,
                              int* error, int* rows, FileTag* tag) {
  *inputs = *expected = *generated = *error = 0;
  *rows = -1;
  // INPUTS, EXPECTEDOUTPUTS, GENERATEDOUTPUTS and ERROR come in this order,
  // each at most once; ROWS may stand anywhere.
  static constexpr const char* kOrdered[] = {"INPUTS", "EXPECTEDOUTPUTS", "GENERATEDOUTPUTS",
                                             "ERROR"};
  int* const targets[] = {inputs, expected, generated, error};
  int stage = 0;  // keys before this position are no longer allowed
  ReadTag(*tag, nullptr, in, false);
  while (tag->type == TAG_ASSIGN) {
    if (tag->open) return FIL_BAD_FORMAT;
    long value = SameName(tag->value, "LABELS") ? -1 : ParseInteger(tag->value);
    if (value > INT_MAX || value < INT_MIN) Fail("Integer out of range");
    if (SameName(tag->name, "ROWS")) {
      if (value < 0) Fail("No labels in inputs");
      *rows = static_cast<int>(value);
    } else {
      int key = 0;
      while (key < 4 && !SameName(tag->name, kOrdered[key]))
        ++key;
      if (key == 4 || key < stage) return FIL_BAD_FORMAT;
      if ((key == 0 || key == 3) && value < 0) Fail("No labels in inputs");
      *targets[key] = static_cast<int>(value);
      stage = key + 1;
    }
    ReadTag(*tag, nullptr, in, false);
  }
  return SUCCESS;
}

std::unique_ptr<TLabelList> FileTools::ReadLabels(std::istream& in) {
  MbrPtrStream = &in;
  auto list = std::make_unique<TLabelList>();
  const std::string start = ReadToken(in);  // skips whitespace and comments
  if (start.empty()) Fail("Unexpected end of file");
  if (start != "[") Fail("Expected '['");
  if (SkipSeparators(in) == ']') {
    in.get();
    return list;
  }
  FileTag tag;
  do {
    ReadTag(tag, nullptr, in, true);
    if (tag.type == TAG_END) Fail("Unexpected end of file");
    const TLabel& label =
        list->Add(tag.name, tag.type == TAG_ASSIGN ? ParseNumber(tag.value) : 1.0);
    // A repeated word adds up its values, and two finite values can sum to
    // an infinity, which no file could carry back.
    if (!std::isfinite(label.Value())) Fail("number-expected");
  } while (tag.open);
  return list;
}

// --- Writing -----------------------------------------------------------------

void FileTools::WriteLabels(std::ostream& out, const TLabelList& labels) const {
  out << '[';
  // "[~" opens an end tag, so a first label that begins with '~' (which the
  // reader takes after a separator) is kept apart from the bracket.
  if (labels.Count() > 0 && !labels.Get(0).Text().empty() && labels.Get(0).Text()[0] == '~')
    out << ' ';
  for (int i = 0; i < labels.Count(); ++i) {
    const TLabel& label = labels.Get(i);
    if (label.Value() == 1.0) {
      out << label.Text() << ' ';
    } else {
      const int n = std::snprintf(nullptr, 0, "%.*f", 9, label.Value());
      std::string text(static_cast<std::size_t>(n), '\0');
      std::snprintf(text.data(), text.size() + 1, "%.*f", 9, label.Value());
      out << label.Text() << '=' << text << ' ';
    }
  }
  out << "] ";
}

int FileTools::WriteDataFile(const std::string& file_name, const Data* first, const Data* second) {
  int rows = -1;
  int inputs = 0, expected = 0, generated = 0, error = 0;
  if (first != nullptr) {
    inputs = first->NumInputs();
    expected = first->NumOutputs();
    if (first->HasLabels()) {
      const int LngExpectedOutputs = expected;
      QUILL_ASSERT(LngExpectedOutputs == 0);
      expected = -1;
    }
  }
  if (second != nullptr) {
    generated = second->NumInputs();
    error = second->NumOutputs();
    if (second->HasLabels()) {
      const int LngCalculatedOutputs = generated;
      QUILL_ASSERT(LngCalculatedOutputs == 0);
      generated = -1;
    }
  }
  int err = RowCount(first, second, &rows);
  if (err != SUCCESS) return err;
  // Files that cannot be created or written are reported to the caller, so
  // these are statuses rather than assertions.
  err = WriteDataHeader(file_name, inputs, expected, generated, error, rows);
  if (err == SUCCESS) err = AppendDataRows(file_name, first, second);
  if (err == SUCCESS) err = AppendDataTrailer(file_name);
  return err;
}

int FileTools::SaveDataFile(const std::string& file_name, const Data* first, const Data* second) {
  quill::AtomicFile file(file_name);
  if (!file.Reserve()) return FIL_OPEN_FAILED;
  const int err = WriteDataFile(file.TempPath(), first, second);
  if (err != SUCCESS) return err;  // `file` removes the temporary
  return file.Commit() ? SUCCESS : FIL_OPEN_FAILED;
}

int FileTools::WriteDataHeader(const std::string& file_name, int inputs, int expected,
                               int generated, int error, int rows) {
  if (rows < 0) return FIL_BAD_ROWS;
  std::ofstream out(file_name, std::ios::binary | std::ios::trunc);
  if (!out) return FIL_OPEN_FAILED;
  auto count_tag = [&](const char* name, int value) {
    if (value == -1) {
      WriteStringTag(name, "Labels", out);
    } else {
      WriteIntegerTag(name, value, out);
    }
  };
  WriteFormatVersion(out);
  WriteBlockStart("DataSet", out);
  WriteIntegerTag("Rows", rows, out);
  WriteIntegerTag("Inputs", inputs, out);
  count_tag("ExpectedOutputs", expected);
  count_tag("GeneratedOutputs", generated);
  WriteIntegerTag("Error", error, out);
  WriteNewline(out);
  WriteBlockStart("Data", out);
  out.close();
  return out ? SUCCESS : FIL_WRITE_FAILED;
}

int FileTools::AppendDataRows(const std::string& file_name, const Data* first, const Data* second) {
  int rows = -1;
  const int err = RowCount(first, second, &rows);
  if (err != SUCCESS) return err;
  std::ofstream out(file_name, std::ios::binary | std::ios::app);
  if (!out) return FIL_OPEN_FAILED;
  out.precision(15);  // general format, up to 15 significant digits
  std::vector<double> buffer;
  // Oldest row first: ring order from each set's oldest stored row, which is
  // row 0 unless its ring has wrapped.
  for (int k = 0; k < rows; ++k) {
    const int row1 = first != nullptr ? (first->FirstRow() + k) % rows : 0;
    const int row2 = second != nullptr ? (second->FirstRow() + k) % rows : 0;
    WriteRow(out, *this, first, second, row1, row2, buffer);
  }
  out.close();
  return out ? SUCCESS : FIL_WRITE_FAILED;
}

int FileTools::AppendDataTrailer(const std::string& file_name) {
  std::ofstream out(file_name, std::ios::binary | std::ios::app);
  if (!out) return FIL_OPEN_FAILED;
  WriteEndTag("Data", out);
  WriteNewline(out);
  WriteEndTag("DataSet", out);
  out.close();
  return out ? SUCCESS : FIL_WRITE_FAILED;
}

// --- Identification ------------------------------------------------------------

std::unique_ptr<TKQstructure> FileTools::IdentifyFile(const std::string& file_name) {
  std::ifstream in(file_name, std::ios::binary);
  if (!in) return KQMakeError("file-read-error");
  FileTag tag;
  ReadTag(tag, nullptr, in, false);
  const std::string block = ExpectBlockStart(tag, nullptr);
  if (SameName(block, "DATASET")) {
    Layout h;
    if (ReadDataHeader(in, &h.inputs, &h.expected, &h.generated, &h.error, &h.rows, &tag) !=
        SUCCESS) {
      return KQMakeError("bad-header");
    }
    auto report = std::make_unique<TKQstructure>("data");
    report->SetInt("rows", h.rows);
    report->SetInt("inputs", h.inputs);
    report->SetInt("actual-outputs", h.expected);
    report->SetInt("calc-outputs", h.generated);
    report->SetInt("errors", h.error);
    return report;
  }
  if (SameName(block, "NETWORK")) return std::make_unique<TKQstructure>("network");
  auto report = KQMakeError("unknown-header");
  report->SetText("header", block);
  return report;
}
