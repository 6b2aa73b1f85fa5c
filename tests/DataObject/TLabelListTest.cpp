#include "DataObject/TLabelList.h"

#include <gtest/gtest.h>

#include <string>

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

TEST(TLabelList, LongListsKeepOrderAndSumsThroughTheirIndex) {
  // 40 labels pass the length from which the list keeps an index.
  TLabelList l;
  for (int i = 0; i < 40; ++i)
    l.Add("w" + std::to_string(i), 1.0);
  EXPECT_EQ(l.Add("w3", 0.5).Value(), 1.5);
  EXPECT_EQ(l.Add("w39", 2.0).Value(), 3.0);
  EXPECT_EQ(l.Add("new", 0.25).Text(), "new");
  ASSERT_EQ(l.Count(), 41);
  EXPECT_EQ(l.Get(3).Text(), "w3");
  EXPECT_EQ(l.Get(3).Value(), 1.5);
  EXPECT_EQ(l.Get(40).Text(), "new");
  ASSERT_NE(l.Find("w39"), nullptr);
  EXPECT_EQ(l.Find("w39")->Value(), 3.0);
  EXPECT_EQ(l.Find("W39"), nullptr);
  // A copy carries its own index; a cleared list starts short again.
  TLabelList copy = l;
  copy.Add("w0", 1.0);
  EXPECT_EQ(copy.Find("w0")->Value(), 2.0);
  EXPECT_EQ(l.Find("w0")->Value(), 1.0);
  l.Clear();
  EXPECT_EQ(l.Find("w3"), nullptr);
  EXPECT_EQ(l.Add("w3", 1.0).Value(), 1.0);
  EXPECT_EQ(l.Count(), 1);
}

}  // namespace
