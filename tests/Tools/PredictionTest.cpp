// Predictions from CSV rows: the same outputs quill-eval measures on the
// data sets quill-data makes of those rows, and a clear failure, with nothing
// written, for inputs that do not fit.
#include <random>

#include "ToolTestSupport.h"
#include "Tools/Common/ToolSupport.h"
#include "Tools/QuillData/CsvReader.h"
#include "Tools/QuillData/ScalingFile.h"

namespace {

using namespace quill::tools;
using tooltest::Outcome;

class Prediction : public tooltest::ScratchTest {
 protected:
  CsvTable Table(const std::string& name) { return ParseCsv(tooltest::Slurp(dir_ / name), name); }
  void MustRun(const std::string& command) {
    const Outcome o = Run(command);
    ASSERT_EQ(o.status, 0) << command << "\n" << o.err;
  }
};

// Random tables of classes and of numbers, scaled each way; the prediction
// file holds the inputs in reverse order, an extra column and no target.
TEST_F(Prediction, RowsPredictWhatQuillEvalMeasuresOnTheirDataSets) {
  std::mt19937 rng(11);
  const char* const scalings[] = {"standard", "minmax", "none"};
  for (int round = 0; round < 6; ++round) {
    SCOPED_TRACE(round);
    const bool classes = round % 2 == 0;
    const int inputs = 1 + static_cast<int>(rng() % 4);
    const int rows = 6 + static_cast<int>(rng() % 20);
    const std::string names[] = {"b", "a", "c d"};
    std::string csv, rows_only = "id";
    for (int c = inputs - 1; c >= 0; --c)
      rows_only += ",x" + std::to_string(c);
    for (int c = 0; c < inputs; ++c)
      csv += "x" + std::to_string(c) + ",";
    csv += "y\n";
    rows_only += "\n";
    std::vector<std::string> target;
    for (int r = 0; r < rows; ++r) {
      std::vector<std::string> x;
      for (int c = 0; c < inputs; ++c)
        x.push_back(FormatNumber(static_cast<double>(rng() % 20000) / 7.0 - 1000.0, 9));
      target.push_back(classes ? names[r % 3] : FormatNumber(static_cast<double>(rng() % 999), 6));
      for (const std::string& v : x)
        csv += v + ",";
      csv += CsvField(target.back()) + "\n";
      rows_only += "row" + std::to_string(r);
      for (int c = inputs - 1; c >= 0; --c)
        rows_only += "," + x[static_cast<std::size_t>(c)];
      rows_only += "\n";
    }
    Write("t.csv", csv);
    Write("p.csv", rows_only);
    MustRun("quill-data from-csv t.csv -t y --scale " + std::string(scalings[round % 3]) +
            (classes ? "" : " --kind regression") + " -o d");
    const ScalingRecord record = ReadScaling((dir_ / "d-scaling.csv").string());
    const int outputs = classes ? 3 : 1;
    MustRun("quill-net new " + std::to_string(inputs) + "-4-" + std::to_string(outputs) +
            " --seed " + std::to_string(round + 1) + " -o n.wgt");
    std::string files;
    for (const std::string& c : record.class_names)
      files += " d-" + std::string(c == "c d" ? "c_d" : c) + ".dat";
    MustRun("quill-eval n.wgt" + (classes ? files : std::string(" d.dat")) + " --outputs o.csv");
    MustRun("quill-eval predict n.wgt p.csv --scaling d-scaling.csv -o pred.csv");

    const CsvTable measured = Table("o.csv");
    const CsvTable predicted = Table("pred.csv");
    ASSERT_EQ(predicted.rows.size(), static_cast<std::size_t>(rows));
    // quill-eval lists the rows data set by data set, each in file order.
    std::vector<std::size_t> order;
    for (std::size_t k = 0; k < (classes ? 3u : 1u); ++k) {
      for (int r = 0; r < rows; ++r) {
        if (!classes || target[static_cast<std::size_t>(r)] == record.class_names[k])
          order.push_back(static_cast<std::size_t>(r));
      }
    }
    const std::size_t first_output = 2 + static_cast<std::size_t>(inputs + outputs);
    for (std::size_t m = 0; m < order.size(); ++m) {
      const auto& want = measured.rows[m].fields;
      const auto& got = predicted.rows[order[m]].fields;
      EXPECT_EQ(got[0], std::to_string(order[m] + 1));
      if (classes) {
        EXPECT_EQ(got[1], want.back());  // the class of the largest output
        for (int k = 0; k < outputs; ++k)
          EXPECT_EQ(got[2 + static_cast<std::size_t>(k)], want[first_output + k]);
      } else {
        const ColumnScale& t = record.targets[0];
        EXPECT_EQ(got[1],
                  ShortestNumber(*ParseCsvNumber(want[first_output]) * t.divide + t.subtract));
      }
    }
  }
}

TEST_F(Prediction, BadInputsFailWithAMessageAndNoFile) {
  Write("t.csv", "x0,x1,y\n1,2,a\n2,3,b\n3,1,c\n4,4,a\n");
  Write("missing.csv", "x1,z\n1,2\n");
  Write("word.csv", "x0,x1\n1,2\n\n3,abc\n");
  Write("empty-class.csv", "role,column,subtract,divide\ninput,x0,0,1\nclass,a,,\n");
  ASSERT_EQ(Run("quill-data from-csv t.csv -t y -o d").status, 0);
  ASSERT_EQ(Run("quill-net new 2-3-3 --seed 1 -o n.wgt").status, 0);
  ASSERT_EQ(Run("quill-net new 3-3-3 --seed 1 -o n3.wgt").status, 0);
  ASSERT_EQ(Run("quill-net new 2-3-2 --seed 1 -o n2.wgt").status, 0);
  const std::vector<std::string> before = Files();
  const struct {
    std::string command, message;
  } kCases[] = {
      {"n.wgt missing.csv --scaling d-scaling.csv",
       "missing.csv: no column 'x0', an input that d-scaling.csv records"},
      {"n.wgt word.csv --scaling d-scaling.csv",
       "word.csv:4: column 2 (x1): 'abc' is not a number"},
      {"n.wgt word.csv --scaling t.csv",
       "t.csv: a recorded scaling has the columns role,column,subtract,divide (or "
       "column,subtract,divide)"},
      {"n.wgt word.csv --scaling empty-class.csv",
       "empty-class.csv:3: column 1 (role): a class before the row of its class column (target)"},
      {"n3.wgt word.csv --scaling d-scaling.csv",
       "n3.wgt: a network of 3 inputs and 3 outputs does not fit the 2 inputs and 3 classes that "
       "d-scaling.csv records"},
      {"n2.wgt word.csv --scaling d-scaling.csv",
       "n2.wgt: a network of 2 inputs and 2 outputs does not fit the 2 inputs and 3 classes that "
       "d-scaling.csv records"},
      {"n.wgt word.csv --scaling d-scaling.csv --features 0,2",
       "the feature 2 lies outside the 2 inputs d-scaling.csv records (they count from 0)"},
      {"n.wgt word.csv --scaling d-scaling.csv --no-header",
       "word.csv:1: column 1 (column1): 'x0' is not a number"},
  };
  for (const auto& c : kCases) {
    const Outcome o = Run("quill-eval predict " + c.command + " -o pred.csv");
    EXPECT_EQ(o.status, 1) << c.command;
    EXPECT_EQ(o.err, "quill-eval: " + c.message + "\n") << c.command;
    EXPECT_EQ(Files(), before) << c.command;
  }
  // Without a header the columns are the inputs in order.
  const Outcome bare =
      Run("quill-eval predict n.wgt - --scaling d-scaling.csv --no-header", "1,2\n4,4\n");
  EXPECT_EQ(bare.status, 0) << bare.err;
  EXPECT_EQ(bare.out.substr(0, bare.out.find('\n')), "row,predicted_y,output_a,output_b,output_c");
  EXPECT_EQ(std::count(bare.out.begin(), bare.out.end(), '\n'), 3);
}

}  // namespace
