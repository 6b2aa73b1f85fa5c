#include "DataObject/TLabelList.h"

#include <gtest/gtest.h>

namespace {

TEST(TLabelList, AddAccumulatesInFirstAppearanceOrderAndCopiesAreDeep) {
  TLabelList l;
  l.Add("dog", 0.5);
  l.Add("cat", 1.0);
  l.Add("dog", 0.25);
  ASSERT_EQ(l.Count(), 2);
  EXPECT_EQ(l.Get(0).Text(), "dog");
  EXPECT_EQ(l.Get(0).Value(), 0.75);
  EXPECT_EQ(l.Find("CAT"), nullptr);  // texts match byte for byte
  TLabelList copy = l;
  copy.Add("eel", 1.0);
  EXPECT_EQ(l.Count(), 2);
  const TLabelList& alias = copy;
  copy = alias;
  EXPECT_EQ(copy.Count(), 3);
}

}  // namespace
