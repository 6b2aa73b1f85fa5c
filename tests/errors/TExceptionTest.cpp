#include <gtest/gtest.h>

#include "KQmessage/KQML.h"
#include "errors/TException.h"

namespace {

// (file :data (block :rows (count :n 3)))
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
  TException messageOnly("Invalid Data Row", nullptr);
  EXPECT_EQ(messageOnly.message, "Invalid Data Row");
  EXPECT_FALSE(messageOnly.category.has_value());
  EXPECT_FALSE(messageOnly.location.has_value());

  TException full("Invalid Data Row", "Bad Parameter", "Data::GetInputDatum", nullptr);
  EXPECT_EQ(full.category.value(), "Bad Parameter");
  EXPECT_EQ(full.location.value(), "Data::GetInputDatum");
  EXPECT_EQ(full.detail, nullptr);
}

TEST(TException, CopiesDuplicateTheNestedDetail) {
  TException original("Invalid Data Row", "Bad Parameter", "Data::SetRow", NestedDetail());
  try {
    throw original;
  } catch (const TException& e) {
    TException copy(e);
    EXPECT_NE(copy.detail.get(), original.detail.get());
    copy.detail->Get("data")->Get("rows")->SetInt("n", 4);
    TException assigned;
    assigned = copy;
    assigned = assigned;
    EXPECT_EQ(assigned.detail->ToString(), "(file :data (block :rows (count :n 4)))");
  }
  // Every level of the original is its own; the sanitizer build checks that
  // nothing is released twice.
  EXPECT_EQ(original.detail->ToString(), "(file :data (block :rows (count :n 3)))");
}

}  // namespace
