#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "DataObject/Data.h"
#include "FileHandler/FileTools.h"
#include "KQmessage/KQML.h"
#include "common/Status.h"

namespace {

// A file in the test's temporary folder, removed afterwards.
class TempFile {
 public:
  explicit TempFile(const std::string& content = std::string()) {
    static int counter = 0;
    path_ = ::testing::TempDir() + "quill_filer_" + std::to_string(::getpid()) + "_" +
            std::to_string(counter++) + ".dat";
    if (!content.empty()) std::ofstream(path_, std::ios::binary) << content;
  }
  ~TempFile() { std::remove(path_.c_str()); }
  const std::string& path() const { return path_; }
  std::string Read() const {
    std::ostringstream s;
    s << std::ifstream(path_, std::ios::binary).rdbuf();
    return s.str();
  }

 private:
  std::string path_;
};

const std::string kMissing = ::testing::TempDir() + "no_such_quill_file.dat";

template <typename Op>
void ExpectError(Op op, const std::string& message) {
  try {
    op();
    ADD_FAILURE() << "no error, expected \"" << message << "\"";
  } catch (const FileTools::Error& e) {
    EXPECT_EQ(e.message, message);
  }
}

// A DataSet file with the given header entries and Data block contents.
std::string DataFile(const std::string& header, const std::string& rows) {
  return "[DataSet]\n" + header + "\n[Data]\n" + rows + "\n[~Data]\n[~DataSet]\n";
}

// Reads `content` through a file: the error message, or "" on success.
std::string ReadError(const std::string& content) {
  TempFile f(content);
  FileTools ft;
  std::unique_ptr<Data> a, b;
  try {
    ft.ReadDataFile(f.path(), &a, &b);
  } catch (const FileTools::Error& e) {
    return e.message;
  }
  return "";
}

double In(const Data& d, int row, int col) {
  double v;
  d.GetInputDatum(row, col, &v);
  return v;
}

double Out(const Data& d, int row, int col) {
  double v;
  d.GetOutputDatum(row, col, &v);
  return v;
}

TEST(ReadDataFile, NumbersSeparatedAnyWayAndKeywordsInAnyCase) {
  TempFile f("[FormatVersion = 1.0]\n" +
             DataFile("[Rows = 3][Inputs = 2][ExpectedOutputs = 1]", "1,2,3,4,5,6,7,8,9 /* */"));
  FileTools ft;
  std::unique_ptr<Data> first;
  ASSERT_EQ(ft.LoadDataFile(f.path(), &first), SUCCESS);
  EXPECT_EQ(first->NumDataRows(), 3);
  EXPECT_EQ(In(*first, 1, 1), 5.0);
  EXPECT_EQ(Out(*first, 2, 0), 9.0);
  double in[2], out[1];
  first->Rewind();
  first->GetNextRow(in, out, nullptr);
  EXPECT_EQ(in[0], 1.0);

  TempFile lower("[dataset][rows = 1][inputs=1][expectedoutputs=1][data] 0.5 -1 [~data][~DATASET]");
  ASSERT_EQ(ft.LoadDataFile(lower.path(), &first), SUCCESS);
  EXPECT_EQ(Out(*first, 0, 0), -1.0);
}

TEST(ReadDataHeader, OrderRules) {
  FileTools ft;
  int i, e, g, er, r;
  FileTag tag;
  auto header = [&](const std::string& text) {
    std::istringstream in(text);
    return ft.ReadDataHeader(in, &i, &e, &g, &er, &r, &tag);
  };
  EXPECT_EQ(header("[Inputs = 2][Error = 1][Rows = 4][Rows = 5][Data]"), SUCCESS);
  EXPECT_EQ(i + e + g, 2);
  EXPECT_EQ(er, 1);
  EXPECT_EQ(r, 5);  // the last ROWS counts
  EXPECT_EQ(tag.name, "Data");
  EXPECT_EQ(header("[ExpectedOutputs = labels][GeneratedOutputs = -5]"), SUCCESS);
  EXPECT_EQ(e, -1);
  EXPECT_EQ(g, -5);
  EXPECT_EQ(r, -1);  // absent
  EXPECT_EQ(header("[Rows = 2] [ExpectedOutputs = 1] [Inputs = 2] [Data]"), FIL_BAD_FORMAT);
  EXPECT_EQ(tag.name, "Inputs");
  EXPECT_EQ(header("[Inputs = 2] [Inputs = 2]"), FIL_BAD_FORMAT);
  EXPECT_EQ(header("[Columns = 2]"), FIL_BAD_FORMAT);
  EXPECT_EQ(header("[Inputs = 2 Rows = 3]"), FIL_BAD_FORMAT);
  EXPECT_EQ(ReadError(DataFile("[Rows = 2] [ExpectedOutputs = 1] [Inputs = 2]", "1 2 3 4 5 6")),
            "[DATA] expected");
}

TEST(ReadDataHeader, BadValues) {
  EXPECT_EQ(ReadError(DataFile("[Rows = 1][Inputs = Labels]", "")), "No labels in inputs");
  EXPECT_EQ(ReadError(DataFile("[Rows = 1][Error = -2]", "")), "No labels in inputs");
  EXPECT_EQ(ReadError(DataFile("[Rows = LABELS]", "")), "No labels in inputs");
  EXPECT_EQ(ReadError(DataFile("[Rows = many]", "")), "integer-expected");
  EXPECT_EQ(ReadError(DataFile("[Rows = 4294967296]", "")), "Integer out of range");
  EXPECT_EQ(ReadError(DataFile("[Inputs = 1]", "1")), "[ROWS = <integer>] expected");
  EXPECT_EQ(ReadError("[Data]"), "[DATASET] expected");
  EXPECT_EQ(ReadError(" "), "[DATASET] expected");
}

TEST(ReadDataFile, LabelLists) {
  TempFile f(DataFile("[Rows = 3][Inputs = 2][ExpectedOutputs = Labels]",
                      "0.1 0.2 [cat dog=0.5]\n0.3 0.4 /* c */ [cat, cat]\n0.5 0.6 [ ]"));
  FileTools ft;
  std::unique_ptr<Data> first;
  ASSERT_EQ(ft.LoadDataFile(f.path(), &first), SUCCESS);
  EXPECT_EQ(first->NumOutputs(), 0);
  TLabelList* labels = nullptr;
  first->GetLabels(0, &labels);
  TLabelList want("cat", 1.0);
  want.Add("dog", 0.5);
  EXPECT_EQ(*labels, want);
  first->GetLabels(1, &labels);
  EXPECT_EQ(*labels, TLabelList("cat", 2.0));
  first->GetLabels(2, &labels);
  EXPECT_EQ(labels->Count(), 0);
  EXPECT_EQ(In(*first, 2, 1), 0.6);
}

TEST(ReadLabels, Malformed) {
  FileTools ft;
  auto read = [&](const std::string& text) {
    std::istringstream in(text);
    ft.ReadLabels(in);
  };
  ExpectError([&] { read("  /* nothing */ "); }, "Unexpected end of file");
  ExpectError([&] { read("[cat dog"); }, "Unexpected end of file");
  ExpectError([&] { read("[cat="); }, "Unexpected end of file");
  ExpectError([&] { read("cat]"); }, "Expected '['");
  ExpectError([&] { read("[~cat]"); }, "Expected '['");
  ExpectError([&] { read("[cat=nan]"); }, "number-expected");
  ExpectError([&] { read("[cat [dog]"); }, "Unexpected special character");
  ExpectError([&] { read("[cat=1e308 dog cat=1e308]"); }, "number-expected");  // sums to inf
}

TEST(ReadDataFile, BadRows) {
  const std::string h = "[Rows = 2][Inputs = 1][ExpectedOutputs = 1]";
  EXPECT_EQ(ReadError(DataFile(h, "1 2 [x] 4")), "Token (number) expected");
  EXPECT_EQ(ReadError(DataFile(h, "1 2 3")), "Token (number) expected");  // [~Data] too early
  EXPECT_EQ(ReadError(DataFile(h, "1 2 ] 4")), "Unexpected ']'");
  EXPECT_EQ(ReadError(DataFile(h, "1 2 3 -inf")), "number-expected");
  EXPECT_EQ(ReadError(DataFile(h, "1 2 3 4 5")), "End Tag expected");
  EXPECT_EQ(ReadError("[DataSet]" + h + "[Data] 1 2 3"), "Unexpected end of file");
  EXPECT_EQ(ReadError(DataFile(h, "1 2 3 4") + "[x]"), "End Tag expected");
  EXPECT_EQ(ReadError(DataFile(h, "1 2 3 4") + " /* trailing comment */ \n"), "");
  EXPECT_EQ(ReadError("[DataSet]" + h + "[Data] 1 2 3 4 [~Data] [~Other]"), "Unexpected End Tag");
  EXPECT_EQ(ReadError("[DataSet]" + h + "[Data] 1 [a] 2 [b]"), "Token (number) expected");
}

TEST(ReadDataFile, HugeRowCountFailsWithoutReservingMemory) {
  // 2^31 - 1 rows of 1000 values would take 16 TiB; the file holds three.
  const std::string h = "[Rows = 2147483647][Inputs = 1000][ExpectedOutputs = 1]";
  std::string rows;
  for (int i = 0; i < 3 * 1001; ++i)
    rows += "0.5 ";
  EXPECT_EQ(ReadError("[DataSet]" + h + "[Data]\n" + rows), "Unexpected end of file");
  EXPECT_EQ(ReadError(DataFile(h, rows)), "Token (number) expected");
  EXPECT_EQ(ReadError("[DataSet][Rows = 2147483647][ExpectedOutputs = Labels][Data] [a] [b]"),
            "Unexpected end of file");
  // A data set that exists but has no columns holds nothing in its rows, so
  // nothing in the file bounds their number.
  EXPECT_EQ(ReadError(DataFile("[Rows = 2147483647][ExpectedOutputs = -5]", "")),
            "Rows without columns");
  EXPECT_EQ(ReadError(DataFile("[Rows = 1][Inputs = 1][GeneratedOutputs = -2]", "7")),
            "Rows without columns");
  EXPECT_EQ(ReadError(DataFile("[Rows = 0][ExpectedOutputs = -5]", "")), "");
}

TEST(LoadDataFile, WhichDataSetsExist) {
  FileTools ft;
  std::unique_ptr<Data> first, second;
  TempFile generated(
      DataFile("[Rows = 1][Inputs = 1][ExpectedOutputs = 1][GeneratedOutputs = 1]", "1 2 3"));
  EXPECT_EQ(ft.LoadDataFile(generated.path(), &first), FIL_BAD_FORMAT);
  EXPECT_EQ(Out(*first, 0, 0), 2.0);  // handed out all the same
  TempFile none(DataFile("[Rows = 2][Inputs = 0][ExpectedOutputs = 0][Error = 1]", "7 8"));
  ASSERT_EQ(ft.ReadDataFile(none.path(), &first, &second), SUCCESS);
  EXPECT_EQ(first, nullptr);
  EXPECT_EQ(Out(*second, 1, 0), 8.0);
  TempFile empty(DataFile("[Rows = 2147483647]", ""));
  ASSERT_EQ(ft.ReadDataFile(empty.path(), &first, &second), SUCCESS);
  EXPECT_EQ(second, nullptr);
  EXPECT_EQ(ft.LoadDataFile(kMissing, &first), FIL_OPEN_FAILED);
  EXPECT_EQ(ft.ReadDataFile(kMissing, &first, &second), FIL_OPEN_FAILED);
}

TEST(WriteDataFile, RoundTripKeepsFifteenDigits) {
  Data d(3, 2, 1, false);
  const double rows[3][3] = {{0.1, 123456789012345.0, -1.23456789012345e-7},
                             {-2.5e300, 1.0 / 3.0, 0.0},
                             {42.0, 9.87654321098765e+20, -0.000123}};
  for (const auto& r : rows)
    d.AddRow(r, r + 2, nullptr);
  TempFile f;
  FileTools ft;
  ASSERT_EQ(ft.WriteDataFile(f.path(), &d, nullptr), SUCCESS);
  const std::string text = f.Read();
  EXPECT_EQ(text.rfind("[FormatVersion = 1.0]\n\n[DataSet]\n[Rows = 3]\n[Inputs = 2]\n"
                       "[ExpectedOutputs = 1]\n[GeneratedOutputs = 0]\n[Error = 0]\n\n[Data]\n"
                       "0.1 123456789012345   -1.23456789012345e-07 \n",
                       0),
            0u);
  EXPECT_EQ(text.substr(text.size() - 21), "\n[~Data]\n\n[~DataSet]\n");
  std::unique_ptr<Data> back;
  ASSERT_EQ(ft.LoadDataFile(f.path(), &back), SUCCESS);
  for (int r = 0; r < 3; ++r) {
    EXPECT_EQ(In(*back, r, 0), rows[r][0]);
    EXPECT_EQ(Out(*back, r, 0), rows[r][2]);
  }
  EXPECT_EQ(In(*back, 2, 1), 9.87654321098765e+20);
  EXPECT_EQ(In(*back, 1, 1), 0.333333333333333);  // 15 significant digits
}

TEST(WriteDataFile, LabelsKeepNineDecimals) {
  Data d(2, 1, 0, true);
  TLabelList a("x", 1.0);
  a.Add("y", 0.5);
  TLabelList b("z", 0.1234567891234);
  b.Add("~w", 1.0);  // not first: no bracket to merge with
  const double v0[1] = {1.5}, v1[1] = {-2.0};
  d.AddRow(v0, nullptr, &a);
  d.AddRow(v1, nullptr, &b);
  TempFile f;
  FileTools ft;
  ASSERT_EQ(ft.WriteDataFile(f.path(), &d, nullptr), SUCCESS);
  const std::string text = f.Read();
  EXPECT_NE(text.find("[ExpectedOutputs = Labels]\n"), std::string::npos);
  EXPECT_NE(text.find("\n1.5   [x y=0.500000000 ] \n"), std::string::npos);
  std::unique_ptr<Data> back;
  ASSERT_EQ(ft.LoadDataFile(f.path(), &back), SUCCESS);
  TLabelList* labels;
  back->GetLabels(0, &labels);
  EXPECT_EQ(*labels, a);
  back->GetLabels(1, &labels);
  TLabelList want("z", 0.123456789);
  want.Add("~w", 1.0);
  EXPECT_EQ(*labels, want);

  // A first label that begins with '~' is kept apart from the bracket, where
  // "[~" would open an end tag.
  Data tilde(1, 1, 0, true);
  TLabelList t("~cat", 2.0);
  tilde.AddRow(v0, nullptr, &t);
  ASSERT_EQ(ft.WriteDataFile(f.path(), &tilde, nullptr), SUCCESS);
  EXPECT_NE(f.Read().find("[ ~cat=2.000000000 ]"), std::string::npos);
  ASSERT_EQ(ft.LoadDataFile(f.path(), &back), SUCCESS);
  back->GetLabels(0, &labels);
  EXPECT_EQ(*labels, t);
}

TEST(WriteDataFile, LabelsBeforeNumbersAndWrappedRingsReadBack) {
  // Label lists are written after every number of the row, where the reader
  // takes them; a wrapped ring is written oldest row first.
  Data first(2, 1, 0, true), second(2, 1, 2, false);
  for (int r = 0; r < 3; ++r) {
    const double in[1] = {r + 0.5}, gen[1] = {r + 0.25}, err[2] = {-1.0 * r, 2.0};
    TLabelList l("class" + std::to_string(r), 1.0);
    first.AddRow(in, nullptr, &l);
    second.AddRow(gen, err, nullptr);
  }
  TempFile f;
  FileTools ft;
  ASSERT_EQ(ft.WriteDataFile(f.path(), &first, &second), SUCCESS);
  std::unique_ptr<Data> a, b;
  ASSERT_EQ(ft.ReadDataFile(f.path(), &a, &b), SUCCESS);
  EXPECT_EQ(In(*a, 0, 0), 1.5);
  EXPECT_EQ(In(*b, 1, 0), 2.25);
  EXPECT_EQ(Out(*b, 1, 0), -2.0);
  TLabelList* labels;
  a->GetLabels(1, &labels);
  EXPECT_EQ(*labels, TLabelList("class2", 1.0));
}

TEST(WriteDataFile, StatusCodes) {
  FileTools ft;
  TempFile f;
  Data two(2, 1, 1, false), three(3, 1, 1, false);
  EXPECT_EQ(ft.WriteDataFile(f.path(), nullptr, nullptr), FIL_BAD_ROWS);
  EXPECT_EQ(ft.WriteDataFile(f.path(), &two, &three), FIL_BAD_ROWS);
  EXPECT_EQ(ft.AppendDataRows(f.path(), &two, &three), FIL_BAD_ROWS);
  EXPECT_EQ(ft.WriteDataHeader(f.path(), 1, 1, 0, 0, -1), FIL_BAD_ROWS);
  EXPECT_FALSE(std::ifstream(f.path()).good());  // not touched
  const std::string nowhere = ::testing::TempDir() + "no_such_quill_dir/out.dat";
  EXPECT_EQ(ft.WriteDataFile(nowhere, &two, nullptr), FIL_OPEN_FAILED);
  EXPECT_EQ(ft.AppendDataRows(nowhere, &two, nullptr), FIL_OPEN_FAILED);
  EXPECT_EQ(ft.AppendDataTrailer(nowhere), FIL_OPEN_FAILED);
}

TEST(ReadDataChunk, ReadsRowsFromAnOffset) {
  TempFile f(DataFile("[Rows = 5][Inputs = 1][ExpectedOutputs = Labels]",
                      "1 [a]\n2 [b]\n3 [c]\n4 [d]\n5 [e]"));
  FileTools ft;
  std::unique_ptr<Data> first, second;
  long offset = 0;
  ASSERT_EQ(ft.ReadDataChunk(f.path(), &offset, 2, &first), SUCCESS);
  EXPECT_EQ(first->NumRows(), 2);
  EXPECT_EQ(In(*first, 1, 0), 2.0);
  ASSERT_EQ(ft.ReadDataChunk(f.path(), &offset, 3, &first), SUCCESS);
  EXPECT_EQ(In(*first, 2, 0), 5.0);
  TLabelList* labels;
  first->GetLabels(2, &labels);
  EXPECT_EQ(*labels, TLabelList("e", 1.0));
  EXPECT_THROW(ft.ReadDataChunk(f.path(), &offset, 1, &first), FileTools::Error);
  TempFile labels_only(DataFile("[Rows = 2][ExpectedOutputs = Labels]", "[a] [b]"));
  offset = 0;
  ASSERT_EQ(ft.ReadDataChunk(labels_only.path(), &offset, 2, &first, &second), SUCCESS);
  EXPECT_EQ(first, nullptr);  // labels alone make no data set in a chunk
  EXPECT_EQ(ft.ReadDataChunk(kMissing, &offset, 1, &first), FIL_OPEN_FAILED);
}

TEST(IdentifyFile, Reports) {
  FileTools ft;
  auto identify = [&](const std::string& content) {
    TempFile f(content);
    return ft.IdentifyFile(f.path())->ToString();
  };
  EXPECT_EQ(ft.IdentifyFile(kMissing)->ToString(), "(error :type file-read-error)");
  EXPECT_EQ(identify("[FormatVersion = 1.0]\n[DataSet][Rows = 4][Inputs = 3]"
                     "[ExpectedOutputs = Labels][Data]"),
            "(data :rows 4 :inputs 3 :actual-outputs -1 :calc-outputs 0 :errors 0)");
  EXPECT_EQ(identify("[DataSet][Error = 2]"),
            "(data :rows -1 :inputs 0 :actual-outputs 0 :calc-outputs 0 :errors 2)");
  EXPECT_EQ(identify("[DataSet][Error = 2][Inputs = 1][Data]"), "(error :type bad-header)");
  EXPECT_EQ(identify("[network]"), "network");
  EXPECT_EQ(identify("[NeuralNetwork][NetworkType = MLP]"),
            "(error :type unknown-header :header NeuralNetwork)");
  ExpectError([&] { identify("3 [DataSet]"); }, "start of block expected");
  ExpectError([&] { identify("[DataSet][Rows = Labels]"); }, "No labels in inputs");
}

}  // namespace
