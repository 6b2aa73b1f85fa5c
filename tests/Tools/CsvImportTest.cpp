// From CSV to data sets and back: classes, the test split, scaling, and
// round trips that must keep every value.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <sstream>

#include "DataObject/Data.h"
#include "FileHandler/FileTools.h"
#include "Tools/Common/ToolSupport.h"
#include "Tools/QuillData/CsvImport.h"
#include "Tools/QuillData/DataReport.h"

namespace {

using namespace quill::tools;

std::vector<double> Row(const Data& d, int r) {
  std::vector<double> v(static_cast<std::size_t>(d.NumInputs() + d.NumOutputs()));
  d.GetInputRow(r, v.data());
  d.GetOutputRow(r, v.data() + d.NumInputs());
  return v;
}

CsvTable Iris() {
  return ReadCsvFile(std::string(QUILL_SOURCE_DIR) + "/examples/iris/iris.csv");
}

// The training and test files of the iris classes hold every row exactly
// once, with one-hot outputs, the test share of each class as asked, the same
// split for the same seed; min-max scaling maps the training rows onto 0 ... 1.
TEST(CsvImport, ClassesSplitAndScaleTheIrisRows) {
  const CsvTable table = Iris();
  ImportOptions o;
  o.targets = {"species"};
  o.prefix = "iris";
  o.scaling = Scaling::kMinMax;
  std::multiset<std::vector<double>> seen_splits[2];
  for (std::uint32_t seed : {7u, 7u, 8u}) {
    o.test_fraction = 0.2;
    o.seed = seed;
    const ImportResult r = ImportCsv(table, "iris.csv", o);
    ASSERT_TRUE(r.classes);
    EXPECT_EQ(r.class_names, (std::vector<std::string>{"setosa", "versicolor", "virginica"}));
    std::vector<std::string> training;
    for (const ImportedFile* f : r.FilesOf(Split::kTraining))
      training.push_back(f->path);
    EXPECT_EQ(training, (std::vector<std::string>{"iris-setosa.dat", "iris-versicolor.dat",
                                                  "iris-virginica.dat"}));
    ASSERT_EQ(r.files.size(), 6u);
    std::multiset<std::vector<double>> rows, unscaled_test;
    for (std::size_t f = 0; f < 6; ++f) {
      const Data& d = *r.files[f].data;
      EXPECT_EQ(d.NumRows(), f < 3 ? 40 : 10) << r.files[f].path;
      for (int i = 0; i < d.NumRows(); ++i) {
        std::vector<double> v = Row(d, i);
        for (int k = 0; k < 3; ++k)
          EXPECT_EQ(v[4 + k], k == static_cast<int>(f % 3) ? 1.0 : 0.0);
        for (int c = 0; c < 4; ++c) {
          v[c] = v[c] * r.record.inputs[c].divide + r.record.inputs[c].subtract;  // centimetres
          v[c] = std::round(v[c] * 10.0) / 10.0;
          if (f < 3) {
            EXPECT_GE(Row(d, i)[c], 0.0);
            EXPECT_LE(Row(d, i)[c], 1.0);
          }
        }
        rows.insert(v);
        if (f >= 3) unscaled_test.insert(v);
      }
    }
    std::multiset<std::vector<double>> all;
    for (const auto& row : table.rows) {
      std::vector<double> v;
      for (int c = 0; c < 4; ++c)
        v.push_back(*ParseCsvNumber(row.fields[c]));
      for (const char* name : {"setosa", "versicolor", "virginica"})
        v.push_back(row.fields[4] == name);
      all.insert(v);
    }
    EXPECT_EQ(rows, all);
    if (seed == 7u) seen_splits[seen_splits[0].empty() ? 0 : 1] = unscaled_test;
    if (seed == 8u) {
      EXPECT_NE(unscaled_test, seen_splits[0]);
    }
  }
  EXPECT_EQ(seen_splits[0], seen_splits[1]);
}

// Numeric CSV -> data set -> CSV keeps every value bit for bit (values of up
// to 15 significant digits, as data-set files keep them), over random tables.
TEST(CsvImport, RegressionValuesSurviveTheRoundTrip) {
  std::mt19937_64 rng(99);
  for (int round = 0; round < 40; ++round) {
    const int inputs = 1 + static_cast<int>(rng() % 4), targets = 1 + static_cast<int>(rng() % 2);
    const int rows = 1 + static_cast<int>(rng() % 20);
    std::string text;
    std::vector<std::string> names;
    for (int c = 0; c < inputs + targets; ++c) {
      names.push_back("c" + std::to_string(c));
      text += (c > 0 ? "," : "") + names.back();
    }
    text += "\n";
    std::vector<std::vector<double>> values;
    for (int r = 0; r < rows; ++r) {
      std::vector<double> row;
      for (int c = 0; c < inputs + targets; ++c) {
        const double v = std::ldexp(static_cast<double>(rng() % 1000000007) - 5e8,
                                    static_cast<int>(rng() % 80) - 60);
        const double kept = std::stod(FormatNumber(v, 15));
        row.push_back(kept);
        text += (c > 0 ? "," : "") + FormatNumber(kept, 15);
      }
      values.push_back(row);
      text += "\n";
    }
    ImportOptions o;
    o.prefix = "r";
    o.kind = TargetKind::kRegression;
    o.scaling = Scaling::kNone;
    o.scale_targets = false;
    for (int t = 0; t < targets; ++t)
      o.targets.push_back(names[inputs + t]);
    const ImportResult r = ImportCsv(ParseCsv(text, "r.csv"), "r.csv", o);
    ASSERT_FALSE(r.classes);
    ASSERT_EQ(r.files.size(), 1u);

    // Through the file: write, read back, and out as CSV.
    const std::string path = testing::TempDir() + "roundtrip.dat";
    FileTools ft;
    ASSERT_EQ(ft.SaveDataFile(path, r.files[0].data.get(), nullptr), 0);
    std::unique_ptr<Data> back = ReadDataSetFile(path);
    std::ostringstream csv;
    WriteDataCsv(csv, back.get(), nullptr);
    const CsvTable out = ParseCsv(csv.str(), "out.csv");
    ASSERT_EQ(out.rows.size(), values.size());
    for (int i = 0; i < rows; ++i) {
      for (int c = 0; c < inputs + targets; ++c)
        EXPECT_EQ(*ParseCsvNumber(out.rows[i].fields[c]), values[i][c]) << round << " " << i;
    }
  }
}

TEST(CsvImport, RefusesTablesItCannotUse) {
  auto error = [](const std::string& text, ImportOptions o) -> std::string {
    o.prefix = o.prefix.empty() ? "p" : o.prefix;
    try {
      ImportCsv(ParseCsv(text, "t.csv"), "t.csv", o);
    } catch (const std::exception& e) {
      return e.what();
    }
    return "";
  };
  ImportOptions y;
  y.targets = {"y"};
  EXPECT_EQ(error("a,y\n", y), "t.csv: no rows after the header");
  EXPECT_EQ(error("y\n1\n", y), "no input column is left besides the targets");
  EXPECT_EQ(error("a,y\n1,p\n2,\n", y), "t.csv:3: column 2 (y): no class");
  EXPECT_EQ(error("a,b,y\n1,,p\n", y), "t.csv:2: column 2 (b): no value");
  ImportOptions two = y;
  two.targets.push_back("a");
  two.kind = TargetKind::kClass;
  EXPECT_EQ(error("a,b,y\n1,2,p\n", two), "classes come from one target column, not 2");
  ImportOptions numbered;
  numbered.targets = {"3"};
  numbered.drop = {"1"};
  EXPECT_EQ(error("a,b,y\nx,2,p\n", numbered), "");  // column 1 is dropped
  ImportOptions recorded = y;
  recorded.recorded.emplace().inputs = {{"b", 0.0, 1.0}};
  EXPECT_EQ(error("a,y\n1,p\n", recorded), "the recorded scaling has no column 'a'");
  recorded.recorded->inputs = {{"a", -1e308, 1e-300}};
  EXPECT_EQ(error("a,y\n1e308,p\n", recorded),
            "t.csv:2: column 1 (a): the scaled value is beyond a double");
}

}  // namespace
