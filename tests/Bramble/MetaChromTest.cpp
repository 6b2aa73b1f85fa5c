// The indexed-list rules are tested on the chromosome definition; the
// chromosome and the population share the same list code.
#include <gtest/gtest.h>

#include <memory>

#include "Bramble/Codes.h"
#include "Bramble/MetaChrom.h"

namespace {

using Steps = IndexedList<MetaGene>;

// Link steps taken by one Locate call.
long long StepsFor(MetaChrom& chrom, int position) {
  Steps::ResetSteps();
  EXPECT_NE(chrom.Locate(position), nullptr);
  return Steps::Steps();
}

TEST(MetaChrom, AccessorsCheckThePositionFirst) {
  MetaChrom chrom(3);
  int type = 0;
  EXPECT_EQ(chrom.GetGeneType(1, type), SUCCESS);
  EXPECT_EQ(type, GENE_UNDEFINED);
  EXPECT_EQ(chrom.GetGeneType(0, type), MCH_BAD_INDEX);
  EXPECT_EQ(chrom.GetGeneType(4, type), MCH_BAD_INDEX);
  EXPECT_EQ(chrom.SetRealRange(2, 1.0f, 0.0f), GNE_NO_TYPE);  // passed through
  EXPECT_EQ(chrom.RemoveGene(0), MCH_BAD_REMOVE_INDEX);
  std::unique_ptr<MetaGene> none;
  EXPECT_EQ(chrom.AppendGene(std::move(none)), MCH_NULL_GENE);
  EXPECT_EQ(chrom.Length(), 3);
}

TEST(IndexedList, LocateTakesTheShortestRoute) {
  MetaChrom chrom(10);
  const struct {
    int position;
    long long steps;
  } walk[] = {
      {1, 0},  {2, 1}, {3, 1},  // consecutive: one step each
      {1, 0},                   // d = 2 is not below n = 1: from the head
      {10, 0}, {8, 2},          // from the tail
      {5, 3},                   // d = 3 < 5 and < 10 - 5: back from the cursor
      {7, 2},                   // d = 2 < 3: forward from the cursor
      {3, 2},                   // d = 4 is not below 3: from the head
  };
  for (const auto& w : walk) {
    EXPECT_EQ(StepsFor(chrom, w.position), w.steps) << w.position;
    EXPECT_EQ(chrom.CursorPosition(), w.position);
  }
  EXPECT_EQ(chrom.Locate(0), nullptr);
  EXPECT_EQ(chrom.Locate(11), nullptr);
  EXPECT_EQ(chrom.CursorPosition(), 3);

  MetaChrom long_chrom(1000);
  Steps::ResetSteps();
  for (int i = 1; i <= 1000; ++i)
    long_chrom.Locate(i);
  EXPECT_EQ(Steps::Steps(), 999);
}

TEST(IndexedList, RemovalKeepsTheCursorOnALiveNode) {
  MetaChrom chrom(5);
  MetaGene* n[6] = {};
  for (int i = 1; i <= 5; ++i)
    n[i] = chrom.Locate(i);

  chrom.Locate(4);
  ASSERT_EQ(chrom.RemoveGene(1), SUCCESS);  // every node moves down one place
  EXPECT_EQ(chrom.CursorPosition(), 3);
  EXPECT_EQ(StepsFor(chrom, 3), 0);
  EXPECT_EQ(chrom.Locate(3), n[4]);

  chrom.Locate(4);  // [2 3 4 5]: the tail under the cursor
  ASSERT_EQ(chrom.RemoveGene(4), SUCCESS);
  EXPECT_EQ(chrom.CursorPosition(), 3);
  EXPECT_EQ(chrom.Locate(3), n[4]);

  ASSERT_EQ(chrom.RemoveGene(2), SUCCESS);  // [2 3 4]: a middle node, cursor to n - 1
  EXPECT_EQ(chrom.CursorPosition(), 1);
  EXPECT_EQ(StepsFor(chrom, 1), 0);
  EXPECT_EQ(chrom.Locate(1), n[2]);
  EXPECT_EQ(chrom.Locate(2), n[4]);

  chrom.Locate(1);  // [2 4]: a cursor on the head moves to the new head
  ASSERT_EQ(chrom.RemoveGene(1), SUCCESS);
  EXPECT_EQ(chrom.CursorPosition(), 1);
  EXPECT_EQ(chrom.Locate(1), n[4]);
  ASSERT_EQ(chrom.RemoveGene(1), SUCCESS);
  EXPECT_EQ(chrom.CursorPosition(), 0);
  EXPECT_EQ(chrom.Locate(1), nullptr);

  // Appending to an empty list puts the cursor on the new node; later
  // appends leave it there.
  auto node = std::make_unique<MetaGene>();
  MetaGene* raw = node.get();
  ASSERT_EQ(chrom.AppendGene(std::move(node)), SUCCESS);
  ASSERT_EQ(chrom.AppendGene(std::make_unique<MetaGene>()), SUCCESS);
  EXPECT_EQ(chrom.CursorPosition(), 1);
  EXPECT_EQ(chrom.Locate(1), raw);
}

TEST(MetaChrom, CloneCopiesEveryDefinitionInOrder) {
  MetaChrom chrom(3);
  chrom.SetGeneType(1, GENE_INTEGER);
  chrom.SetIntRange(1, 7, -7);
  chrom.SetGeneType(2, GENE_REAL);
  chrom.SetRealRange(2, 0.5f, -0.25f);
  chrom.SetGeneType(3, GENE_BINARY);
  chrom.SetProbability(3, 0.125f);

  std::unique_ptr<MetaChrom> copy = chrom.Clone();
  ASSERT_EQ(copy->Length(), 3);
  int imax = 0, imin = 0;
  float fmax = 0.0f, fmin = 0.0f, probability = 0.0f;
  EXPECT_EQ(copy->GetIntRange(1, imax, imin), SUCCESS);
  EXPECT_EQ(imax, 7);
  EXPECT_EQ(imin, -7);
  EXPECT_EQ(copy->GetRealRange(2, fmax, fmin), SUCCESS);
  EXPECT_EQ(fmax, 0.5f);
  EXPECT_EQ(fmin, -0.25f);
  EXPECT_EQ(copy->GetProbability(3, probability), SUCCESS);
  EXPECT_EQ(probability, 0.125f);
  for (int i = 1; i <= 3; ++i)
    EXPECT_NE(copy->Locate(i), chrom.Locate(i));
  EXPECT_EQ(MetaChrom(0).Clone()->Length(), 0);
}

}  // namespace
