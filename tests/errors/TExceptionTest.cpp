#include <gtest/gtest.h>

#include "KQmessage/KQML.h"
#include "errors/TException.h"

namespace {

// A three-level detail: (file :data (block :rows (count :n 3))).
std::unique_ptr<TKQstructure> NestedDetail() {
  auto count = std::make_unique<TKQstructure>("count");
  count->SetInt("n", 3);
  auto block = std::make_unique<TKQstructure>("block");
  block->Set("rows", std::move(count));
  auto file = std::make_unique<TKQstructure>("file");
  file->Set("data", std::move(block));
  return file;
}

TEST(TException, Forms) {
  TException empty;
  EXPECT_EQ(empty.message, "");
  EXPECT_FALSE(empty.category.has_value());
  EXPECT_FALSE(empty.location.has_value());
  EXPECT_EQ(empty.detail, nullptr);

  TException messageOnly("Invalid Data Row", nullptr);
  EXPECT_EQ(messageOnly.message, "Invalid Data Row");
  EXPECT_FALSE(messageOnly.category.has_value());
  EXPECT_STREQ(messageOnly.what(), "Invalid Data Row");

  TException two("Data Block Fault", "Bad Parameter");
  EXPECT_EQ(two.category.value(), "Bad Parameter");
  EXPECT_FALSE(two.location.has_value());

  TException full("Invalid Data Row", "Bad Parameter", "Data::GetInputDatum", nullptr);
  EXPECT_EQ(full.message, "Invalid Data Row");
  EXPECT_EQ(full.category.value(), "Bad Parameter");
  EXPECT_EQ(full.location.value(), "Data::GetInputDatum");
  EXPECT_EQ(full.detail, nullptr);
}

TEST(TException, TakesOverDetail) {
  auto detail = NestedDetail();
  const TKQstructure* raw = detail.get();
  TException e("Null data pointer", "Null Pointer Parameter", "TVexa::RecallOutputOnly",
               std::move(detail));
  EXPECT_EQ(e.detail.get(), raw);
  EXPECT_EQ(e.detail->ToString(), "(file :data (block :rows (count :n 3)))");
}

TEST(TException, CopiesAreDeepAndIndependent) {
  TException original("Invalid Data Row", "Bad Parameter", "Data::SetRow", NestedDetail());
  TException copy(original);
  ASSERT_NE(copy.detail, nullptr);
  EXPECT_NE(copy.detail.get(), original.detail.get());
  EXPECT_EQ(copy.detail->ToString(), original.detail->ToString());
  EXPECT_EQ(copy.location.value(), "Data::SetRow");

  // Changing the copy's detail leaves the original's alone, at every level.
  copy.detail->Get("data")->Get("rows")->SetInt("n", 4);
  EXPECT_EQ(original.detail->ToString(), "(file :data (block :rows (count :n 3)))");

  TException assigned;
  assigned = original;
  assigned = assigned;
  EXPECT_EQ(assigned.detail->ToString(), "(file :data (block :rows (count :n 3)))");
  assigned = TException("Data Block Fault", "Bad Parameter");
  EXPECT_EQ(assigned.detail, nullptr);
  EXPECT_FALSE(assigned.location.has_value());
}

TEST(TException, ThrownByValueCaughtByReference) {
  try {
    throw TException("Invalid Output Data Column", "Bad Parameter", "Data::GetOutputDatum",
                     NestedDetail());
  } catch (const TException& e) {
    EXPECT_EQ(e.message, "Invalid Output Data Column");
    EXPECT_EQ(e.detail->Get("data")->Get("rows")->Get("n")->Head(), "3");
    TException rethrown = e;
    EXPECT_EQ(rethrown.detail->ToString(), e.detail->ToString());
  }
}

}  // namespace
