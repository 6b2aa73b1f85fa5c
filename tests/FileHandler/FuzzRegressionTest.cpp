// Inputs the fuzz targets found, kept in fuzz/corpus/<target>/regress-*:
// each must end with its reader's own message, quickly and without touching
// memory it does not own (the sanitizer build runs these too).
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "DataObject/Data.h"
#include "DataObject/TLabelList.h"
#include "FileHandler/FileTools.h"

namespace {

const std::string kCorpus = std::string(QUILL_SOURCE_DIR) + "/fuzz/corpus/";

// The message a data-set file ends with, or "" when it reads.
std::string DataSetMessage(const std::string& seed) {
  FileTools ft;
  std::unique_ptr<Data> first, second;
  try {
    ft.ReadDataFile(kCorpus + "dataset/" + seed, &first, &second);
  } catch (const FileTools::Error& e) {
    return e.message;
  }
  return "";
}

TEST(FuzzRegression, DataSetFiles) {
  // Two billion rows of a data set with no columns: refused before any row
  // is appended.
  EXPECT_EQ(DataSetMessage("regress-rows-without-columns.dat"), "Rows without columns");
  // cat=1e308 twice sums to infinity, which the writer cannot carry back.
  EXPECT_EQ(DataSetMessage("regress-label-sum-overflows.dat"), "number-expected");
  // Inputs 2^31 - 1 and ExpectedOutputs 999: adding the column counts
  // overflowed before the first row was read.
  EXPECT_EQ(DataSetMessage("regress-column-counts-overflow.dat"), "Token (number) expected");
  // A thousand distinct labels in a row, and a repeat at the end: every
  // label was once looked up label by label, so that a row of 100,000
  // labels (690 KB) took 20 s to read.
  FileTools ft;
  std::unique_ptr<Data> first, second;
  ASSERT_EQ(ft.ReadDataFile(kCorpus + "dataset/valid_regress-many-labels.dat", &first, &second), 0);
  const TLabelList* labels = nullptr;
  first->GetLabels(0, &labels);
  ASSERT_EQ(labels->Count(), 1000);
  EXPECT_EQ(labels->Find("w7")->Value(), 3.5);
  EXPECT_EQ(labels->Get(999).Text(), "w999");
  first->GetLabels(1, &labels);
  EXPECT_EQ(labels->Get(0).Text(), "w1000");
}

}  // namespace
