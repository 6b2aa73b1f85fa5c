// From CSV to data sets and back: classes, the test split, scaling, and
// round trips that must keep every value.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <random>
#include <sstream>

#include "DataObject/Data.h"
#include "FileHandler/FileTools.h"
#include "MLP/Quill/ParameterFile.h"
#include "Tools/Common/ColumnNames.h"
#include "Tools/Common/ToolSupport.h"
#include "Tools/QuillData/CsvImport.h"
#include "Tools/QuillData/DataReport.h"
#include "Tools/QuillData/ParamsFile.h"

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

namespace {

using namespace quill::tools;

// The rows of each split as unscaled iris values.
std::map<Split, std::multiset<std::vector<double>>> Splits(const ImportResult& r) {
  std::map<Split, std::multiset<std::vector<double>>> splits;
  for (const ImportedFile& f : r.files) {
    for (int i = 0; i < f.data->NumRows(); ++i) {
      std::vector<double> v = Row(*f.data, i);
      for (std::size_t c = 0; c < r.record.inputs.size(); ++c)
        v[c] = std::round((v[c] * r.record.inputs[c].divide + r.record.inputs[c].subtract) * 10);
      splits[f.split].insert(v);
    }
  }
  return splits;
}

// A validation split leaves the test rows as they were and takes its rows
// from the rest, a share of each class; scaling comes from the training rows.
TEST(CsvImport, ValidationRowsComeFromTheRowsTheTestSplitLeaves) {
  const CsvTable table = Iris();
  for (std::uint32_t seed : {1u, 7u, 99u}) {
    ImportOptions o;
    o.targets = {"species"};
    o.prefix = "iris";
    o.seed = seed;
    o.test_fraction = 0.2;
    const auto before = Splits(ImportCsv(table, "iris.csv", o));
    o.validation_fraction = 0.3;
    const ImportResult r = ImportCsv(table, "iris.csv", o);
    const auto after = Splits(r);
    EXPECT_EQ(after.at(Split::kTest), before.at(Split::kTest));
    std::multiset<std::vector<double>> rest = after.at(Split::kTraining);
    rest.insert(after.at(Split::kValidation).begin(), after.at(Split::kValidation).end());
    EXPECT_EQ(rest, before.at(Split::kTraining));
    for (const ImportedFile* f : r.FilesOf(Split::kValidation))
      EXPECT_EQ(f->data->NumRows(), 15) << f->path;
    // Standard scaling: the training rows have mean 0.
    for (std::size_t c = 0; c < 4; ++c) {
      double sum = 0;
      int n = 0;
      for (const ImportedFile* f : r.FilesOf(Split::kTraining)) {
        for (int i = 0; i < f->data->NumRows(); ++i, ++n)
          sum += Row(*f->data, i)[c];
      }
      EXPECT_NEAR(sum / n, 0.0, 1e-12);
    }
  }
}

// What the target column makes: classes of words, classes of 2 to 10 whole
// numbers (in increasing order), else numbers scaled onto 0.1 ... 0.9.
TEST(CsvImport, TargetsBecomeClassesOrScaledNumbers) {
  auto import = [](const std::string& values, TargetKind kind = TargetKind::kAuto) {
    std::string text = "x,y\n";
    std::istringstream in(values);
    std::string v;
    for (int r = 0; in >> v; ++r)
      text += std::to_string(r) + "," + v + "\n";
    ImportOptions o;
    o.targets = {"y"};
    o.prefix = "p";
    o.kind = kind;
    return ImportCsv(ParseCsv(text, "t.csv"), "t.csv", o);
  };
  const ImportResult guessed = import("3 1 3 2 1");
  EXPECT_TRUE(guessed.classes && guessed.guessed_classes);
  EXPECT_EQ(guessed.class_names, (std::vector<std::string>{"1", "2", "3"}));
  // Class 1 holds the rows x = 1 and 4; x scaled by mean 2, deviation sqrt(2).
  EXPECT_EQ(Row(*guessed.files[0].data, 0), (std::vector<double>{-1 / std::sqrt(2.0), 1, 0, 0}));
  EXPECT_FALSE(import("1 2 3 4 5 6 7 8 9 10 11").classes);  // eleven values
  EXPECT_FALSE(import("1 1 1").classes);                    // one value
  EXPECT_FALSE(import("1 2.5 1").classes);
  EXPECT_FALSE(import("3 1 2", TargetKind::kRegression).classes);
  EXPECT_TRUE(import("b a b").classes && !import("b a b").guessed_classes);
  const ImportResult numbers = import("10 30 20 50", TargetKind::kRegression);
  ASSERT_EQ(numbers.record.targets.size(), 1u);
  const ColumnScale& t = numbers.record.targets[0];
  EXPECT_EQ(t.divide, 50.0);  // (50 - 10) / 0.8
  EXPECT_EQ(t.subtract, 5.0);
  std::vector<double> scaled;
  for (int i = 0; i < 4; ++i)
    scaled.push_back(Row(*numbers.files[0].data, i)[1]);
  EXPECT_EQ(scaled, (std::vector<double>{0.1, 0.5, 0.3, 0.9}));
  EXPECT_EQ(import("7 7", TargetKind::kRegression).record.targets[0].subtract, 6.5);  // to 0.5
}

// Scaling files read back as written, older files are read, and damaged ones
// are refused with the line and column.
TEST(CsvImport, ScalingFilesReadBackAndRefuseDamage) {
  std::mt19937 rng(3);
  for (int round = 0; round < 50; ++round) {
    ScalingRecord r;
    for (int c = 0; c < 1 + static_cast<int>(rng() % 4); ++c) {
      r.inputs.push_back({"in, \"" + std::to_string(c) + "\"",
                          std::ldexp(static_cast<double>(rng()), -20),
                          std::ldexp(static_cast<double>(rng() % 1000 + 1), -7)});
    }
    r.kind = round % 2 == 0 ? ScalingRecord::Kind::kClasses : ScalingRecord::Kind::kRegression;
    for (int k = 0; k < 1 + static_cast<int>(rng() % 3); ++k) {
      if (r.kind == ScalingRecord::Kind::kClasses) {
        r.class_column = "species";
        r.class_names.push_back(" class " + std::to_string(k));
      } else {
        r.targets.push_back({"t" + std::to_string(k), -1.0 / (k + 3), 1.0 / (k + 7)});
      }
    }
    const ScalingRecord back = ParseScaling(ScalingText(r), "s.csv");
    EXPECT_EQ(ScalingText(back), ScalingText(r));
    ASSERT_EQ(back.inputs.size(), r.inputs.size());
    for (std::size_t c = 0; c < r.inputs.size(); ++c) {
      EXPECT_EQ(back.inputs[c].column, r.inputs[c].column);
      EXPECT_EQ(back.inputs[c].subtract, r.inputs[c].subtract);
      EXPECT_EQ(back.inputs[c].divide, r.inputs[c].divide);
    }
    EXPECT_EQ(back.Outputs(), r.Outputs());
  }
  const ScalingRecord older = ParseScaling("column,subtract,divide\na,1,2\n", "s.csv");
  EXPECT_EQ(older.kind, ScalingRecord::Kind::kUnknown);
  EXPECT_EQ(older.inputs[0].divide, 2.0);
  auto error = [](const std::string& rows) -> std::string {
    try {
      ParseScaling("role,column,subtract,divide\n" + rows, "s.csv");
    } catch (const ToolError& e) {
      return e.what();
    }
    return "";
  };
  EXPECT_EQ(error(""), "s.csv: the recorded scaling has no column");
  EXPECT_EQ(error("input,a,1,0\n"), "s.csv:2: column 4 (divide): a divisor of 0");
  EXPECT_EQ(error("input,a,1,\n"), "s.csv:2: column 4 (divide): no value");
  EXPECT_EQ(error("output,a,1,1\n"),
            "s.csv:2: column 1 (role): the role 'output' is none of input, target and class");
  EXPECT_EQ(error("input,a,0,1\ninput,a,0,1\n"),
            "s.csv:3: column 2 (column): the input 'a' is recorded twice");
  EXPECT_EQ(error("input,a,0,1\ntarget,y,,\ntarget,z,0,1\n"),
            "s.csv:4: column 1 (role): a class column is the only target");
  EXPECT_EQ(error("input,a,0,1\ntarget,y,,\n"), "s.csv: the class column 'y' has no classes");
  EXPECT_EQ(error("input,a,0,1\ntarget,y,,\nclass,p,,\nclass,p,,\n"),
            "s.csv:5: column 2 (column): the class 'p' is recorded twice");
}

// The parameter file is one Quill reads: its files, counts and settings.
TEST(CsvImport, TheParameterFileIsOneQuillReads) {
  ImportOptions o;
  o.targets = {"species"};
  o.prefix = "out/iris";
  o.seed = 7;
  o.test_fraction = 0.2;
  o.validation_fraction = 0.2;
  const ImportResult r = ImportCsv(Iris(), "iris.csv", o);
  std::istringstream text(ParamsText(r, o));
  QuillParameters p;
  ASSERT_EQ(ReadQuillParameters(text, p), std::nullopt);
  EXPECT_EQ(ValidateQuillParameters(p), std::nullopt);
  EXPECT_EQ(p.WeightFile, "out/iris-start.wgt");
  EXPECT_EQ(p.DestinationFile, "out/iris-trained.wgt");
  EXPECT_EQ(p.DataFiles, (std::vector<std::string>{"out/iris-setosa.dat", "out/iris-versicolor.dat",
                                                   "out/iris-virginica.dat"}));
  EXPECT_EQ(p.Selection, QuillParameters::kSelectTournament);
  EXPECT_EQ(p.MinWeight, -p.MaxWeight);
  EXPECT_EQ(p.MutationRate, 0.058f);  // 2.5 of the 43 weights of a 4-5-3 network
  EXPECT_GT(p.EliteIndividuals, 0);
  EXPECT_TRUE(p.SeedGiven && p.Seed == 7);
  EXPECT_EQ(p.RunLog, "out/iris-run.csv");
  EXPECT_EQ(p.Checkpoint, "out/iris-run.ckpt");
  const std::string params = text.str();
  EXPECT_NE(params.find("\n#ValidationClasses = 3\nValidationFile     = "
                        "out/iris-setosa-validation.dat\n"),
            std::string::npos)
      << params;
  EXPECT_NE(params.find("\nKeepBest           = validation\n"), std::string::npos);
  EXPECT_EQ(StartNetworkCommand(r, o),
            "quill-net new 4-5-3 --init xavier --seed 7 -o out/iris-start.wgt");
  EXPECT_FALSE(p.SinglePrecision);  // automatic: iris is far too small to gain from it
  TrainingSettings single;
  single.precision = PrecisionChoice::kSingle;
  std::istringstream single_text(ParamsText(r, o, single));
  QuillParameters q;
  ASSERT_EQ(ReadQuillParameters(single_text, q), std::nullopt);
  EXPECT_TRUE(q.SinglePrecision);
}

// The automatic precision is single from a million multiply-adds per network
// (training rows times the suggested network's weights), whatever the split;
// a given precision holds at every size.
TEST(CsvImport, AutomaticPrecisionFollowsTheWorkPerNetwork) {
  // 20 inputs and two classes: a 20-15-2 network of 347 weights.
  auto import = [](int rows, double validation) {
    CsvTable t;
    for (int c = 0; c < 20; ++c)
      t.header.push_back("x" + std::to_string(c));
    t.header.push_back("y");
    for (int i = 0; i < rows; ++i) {
      CsvTable::Row row;
      for (int c = 0; c < 20; ++c)
        row.fields.push_back(std::to_string((i * 7 + c * 13) % 101));
      row.fields.push_back(i % 2 ? "a" : "b");
      t.rows.push_back(row);
    }
    ImportOptions o;
    o.targets = {"y"};
    o.prefix = "big";
    o.validation_fraction = validation;
    return ImportCsv(t, "big.csv", o);
  };
  ASSERT_EQ(SuggestedWeights(20, 2), 347u);
  for (const double validation : {0.0, 0.25}) {
    for (const int training : {2881, 2882, 3000}) {
      const int rows = static_cast<int>(std::lround(training / (1.0 - validation)));
      const ImportResult r = import(rows, validation);
      double trained = 0;
      for (const ImportedFile* f : r.FilesOf(Split::kTraining))
        trained += f->data->NumRows();
      TrainingSettings settings;
      EXPECT_EQ(ChoosesSinglePrecision(settings, r), trained * 347 >= kSingleFromWork) << trained;
      settings.precision = PrecisionChoice::kDouble;
      EXPECT_FALSE(ChoosesSinglePrecision(settings, r));
      settings.precision = PrecisionChoice::kSingle;
      EXPECT_TRUE(ChoosesSinglePrecision(settings, r));
    }
  }
}

}  // namespace

namespace {

// Column names written into data-set files read back as written, or are not
// written at all; the comment lines never end early.
TEST(CsvImport, ColumnNamesReadBackOrAreLeftOut) {
  using quill::tools::ColumnComment;
  using quill::tools::ReadColumnComment;
  std::mt19937 rng(21);
  const std::string alphabet = "ab ,\"*/\n\xEF\xBB\xBF";
  int written = 0;
  for (int round = 0; round < 3000; ++round) {
    quill::tools::ColumnNames names;
    for (auto* list : {&names.inputs, &names.outputs}) {
      for (std::size_t n = rng() % 3; n > 0; --n) {
        std::string name;
        for (std::size_t k = rng() % 4; k > 0; --k)
          name += alphabet[rng() % alphabet.size()];
        list->push_back(name);
      }
    }
    const std::string comment = ColumnComment(names);
    if (comment.empty()) continue;
    ++written;
    const auto back = ReadColumnComment(comment + "[DataSet]");
    ASSERT_TRUE(back.has_value()) << comment;
    EXPECT_EQ(back->inputs, names.inputs) << comment;
    EXPECT_EQ(back->outputs, names.outputs) << comment;
    EXPECT_EQ(comment.find("*/"), comment.find(" */\n") + 1) << comment;
  }
  EXPECT_GT(written, 300);
  EXPECT_EQ(ColumnComment({{"\xEF\xBB\xBFx"}, {}}), "");
  EXPECT_EQ(ColumnComment({{"a*/b"}, {}}), "");
  EXPECT_EQ(ColumnComment({{"a", "b c"}, {"d"}}), "/* inputs: a,b c */\n/* outputs: d */\n");
}

}  // namespace
