#include "DataObject/TLabelList.h"

#include <gtest/gtest.h>

namespace {

TEST(TLabelList, AddKeepsFirstAppearanceOrderAndAccumulates) {
  TLabelList l;
  l.Add("dog", 0.5);
  l.Add("cat", 1.0);
  l.Add("dog", 0.25);
  ASSERT_EQ(l.Count(), 2);
  EXPECT_EQ(l.Get(0).Text(), "dog");
  EXPECT_EQ(l.Get(0).Value(), 0.75);
  EXPECT_EQ(l.Get(1).Text(), "cat");
  ASSERT_NE(l.Find("cat"), nullptr);
  EXPECT_EQ(l.Find("CAT"), nullptr);  // texts match byte for byte
}

TEST(TLabelList, CopiesAreDeepAndSelfAssignmentKeepsList) {
  TLabelList a("x", 2.0);
  TLabelList b = a;
  b.Add("y", 1.0);
  EXPECT_EQ(a.Count(), 1);
  EXPECT_EQ(b.Count(), 2);
  TLabelList& alias = b;
  b = alias;
  EXPECT_EQ(b.Count(), 2);
  EXPECT_FALSE(a == b);
  a = b;
  EXPECT_TRUE(a == b);
}

}  // namespace
