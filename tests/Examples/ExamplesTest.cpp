// The shipped example runs and the data-set fuzzing seeds must stay readable
// by the program's own readers: a format change that breaks them shows here.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "DataObject/Data.h"
#include "FileHandler/FileTools.h"
#include "MLP/Quill/ParameterFile.h"
#include "common/Status.h"

namespace {

namespace fs = std::filesystem;

const fs::path kRoot = QUILL_SOURCE_DIR;

std::unique_ptr<Data> Load(const fs::path& file) {
  FileTools ft;
  std::unique_ptr<Data> data;
  EXPECT_EQ(ft.LoadDataFile(file.string(), &data), SUCCESS) << file;
  return data;
}

std::vector<double> Inputs(const Data& d, int row) {
  std::vector<double> v(d.NumInputs());
  for (int c = 0; c < d.NumInputs(); ++c)
    d.GetInputDatum(row, c, &v[c]);
  return v;
}

std::vector<double> Outputs(const Data& d, int row) {
  std::vector<double> v(d.NumOutputs());
  for (int c = 0; c < d.NumOutputs(); ++c)
    d.GetOutputDatum(row, c, &v[c]);
  return v;
}

// Reads and validates a parameter file; returns the parameters.
QuillParameters ReadParameters(const fs::path& file) {
  std::ifstream in(file);
  EXPECT_TRUE(in.is_open()) << file;
  QuillParameters params;
  const auto read = ReadQuillParameters(in, params);
  EXPECT_FALSE(read.has_value()) << file << ": " << read.value_or("");
  const auto valid = ValidateQuillParameters(params);
  EXPECT_FALSE(valid.has_value()) << file << ": " << valid.value_or("");
  return params;
}

TEST(Examples, XorDataIsTheTruthTable) {
  const auto d = Load(kRoot / "examples/xor/xor.dat");
  ASSERT_NE(d, nullptr);
  ASSERT_EQ(d->NumRows(), 4);
  ASSERT_EQ(d->NumInputs(), 2);
  ASSERT_EQ(d->NumOutputs(), 1);
  EXPECT_FALSE(d->HasLabels());
  const double table[4][3] = {{0, 0, 0}, {0, 1, 1}, {1, 0, 1}, {1, 1, 0}};
  for (int r = 0; r < 4; ++r) {
    EXPECT_EQ(Inputs(*d, r), (std::vector<double>{table[r][0], table[r][1]})) << r;
    EXPECT_EQ(Outputs(*d, r), (std::vector<double>{table[r][2]})) << r;
  }
}

TEST(Examples, IrisClassesHoldFiftyOneHotRowsEach) {
  const char* names[3] = {"setosa", "versicolor", "virginica"};
  for (int k = 0; k < 3; ++k) {
    const auto d = Load(kRoot / "examples/iris" / (std::string(names[k]) + ".dat"));
    ASSERT_NE(d, nullptr) << names[k];
    ASSERT_EQ(d->NumRows(), 50) << names[k];
    ASSERT_EQ(d->NumInputs(), 4) << names[k];
    ASSERT_EQ(d->NumOutputs(), 3) << names[k];
    std::vector<double> onehot(3, 0.0);
    onehot[k] = 1.0;
    for (int r = 0; r < 50; ++r) {
      EXPECT_EQ(Outputs(*d, r), onehot) << names[k] << " row " << r;
      for (double v : Inputs(*d, r)) {
        EXPECT_GE(v, 0.1) << names[k] << " row " << r;
        EXPECT_LE(v, 7.9) << names[k] << " row " << r;
      }
    }
  }
  // The first setosa and the last virginica flower of the published table.
  EXPECT_EQ(Inputs(*Load(kRoot / "examples/iris/setosa.dat"), 0),
            (std::vector<double>{5.1, 3.5, 1.4, 0.2}));
  EXPECT_EQ(Inputs(*Load(kRoot / "examples/iris/virginica.dat"), 49),
            (std::vector<double>{5.9, 3.0, 5.1, 1.8}));
}

TEST(Examples, ParameterFilesValidateAndNameShippedFiles) {
  for (const char* name :
       {"examples/xor/params.txt", "examples/iris/params.txt", "examples/iris/params_petals.txt"}) {
    const QuillParameters p = ReadParameters(kRoot / name);
    // The paths are relative to the repository root, where the runs start.
    EXPECT_TRUE(fs::exists(kRoot / p.WeightFile)) << name << ": " << p.WeightFile;
    ASSERT_EQ(p.DataFiles.size(), static_cast<size_t>(p.DataClasses)) << name;
    for (const auto& f : p.DataFiles)
      EXPECT_TRUE(fs::exists(kRoot / f)) << name << ": " << f;
    // The trained network goes to the working directory, never over an input.
    EXPECT_EQ(fs::path(p.DestinationFile).parent_path(), fs::path()) << name;
  }
  const QuillParameters petals = ReadParameters(kRoot / "examples/iris/params_petals.txt");
  EXPECT_TRUE(petals.FeaturesGiven);
  EXPECT_EQ(petals.Features, (std::vector<std::int32_t>{2, 3}));
}

TEST(Examples, DataSetSeedsLoadOrFailWithAFileError) {
  int valid = 0, invalid = 0;
  for (const auto& entry : fs::directory_iterator(kRoot / "fuzz/corpus/dataset")) {
    const std::string name = entry.path().filename().string();
    const bool expect_valid = name.rfind("valid_", 0) == 0;
    FileTools ft;
    std::unique_ptr<Data> first;
    int code = SUCCESS;
    bool threw = false;
    try {
      code = ft.LoadDataFile(entry.path().string(), &first);
    } catch (const FileTools::Error&) {
      threw = true;
    }
    const bool loaded = !threw && code == SUCCESS && first != nullptr;
    EXPECT_EQ(loaded, expect_valid) << name << " code " << code << (threw ? " (threw)" : "");
    (expect_valid ? valid : invalid)++;
  }
  EXPECT_GE(valid, 5);
  EXPECT_GE(invalid, 20);
}

}  // namespace
