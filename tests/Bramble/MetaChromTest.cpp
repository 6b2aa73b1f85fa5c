// The indexed-list rules are tested here on the chromosome definition; the
// chromosome and the population share the same list code.
#include <gtest/gtest.h>

#include <memory>

#include "Bramble/Codes.h"
#include "Bramble/MetaChrom.h"

namespace {

using Steps = IndexedList<MetaGene>;

// Steps taken by one Locate call.
long long StepsFor(MetaChrom& chrom, int position, MetaGene** found = nullptr) {
  Steps::ResetSteps();
  MetaGene* node = chrom.Locate(position);
  if (found != nullptr) *found = node;
  return Steps::Steps();
}

TEST(MetaChrom, FreshDefinitionIsUndefinedAndChecksPositions) {
  MetaChrom chrom(3);
  EXPECT_EQ(chrom.Length(), 3);
  int type = 0;
  EXPECT_EQ(chrom.GetGeneType(1, type), SUCCESS);
  EXPECT_EQ(type, GENE_UNDEFINED);
  EXPECT_EQ(chrom.GetGeneType(0, type), MCH_BAD_INDEX);
  EXPECT_EQ(chrom.GetGeneType(4, type), MCH_BAD_INDEX);
  EXPECT_EQ(chrom.SetRealRange(4, 1.0f, 0.0f), MCH_BAD_INDEX);
  // Gene-definition codes pass through.
  EXPECT_EQ(chrom.SetRealRange(2, 1.0f, 0.0f), GNE_NO_TYPE);
  EXPECT_EQ(chrom.SetGeneType(2, 9), GNE_BAD_TYPE);
  EXPECT_EQ(chrom.Locate(0), nullptr);
  EXPECT_EQ(chrom.Locate(4), nullptr);

  MetaChrom empty(0);
  EXPECT_EQ(empty.Length(), 0);
  EXPECT_EQ(empty.CursorPosition(), 0);
  EXPECT_EQ(empty.Locate(1), nullptr);
}

TEST(IndexedList, LocateWalkTakesTheShortestRoute) {
  MetaChrom chrom(10);
  EXPECT_EQ(chrom.CursorPosition(), 1);
  EXPECT_EQ(StepsFor(chrom, 1), 0);
  EXPECT_EQ(StepsFor(chrom, 2), 1);
  EXPECT_EQ(StepsFor(chrom, 3), 1);
  // d = 2 is not below n = 1: the walk starts from the head.
  EXPECT_EQ(StepsFor(chrom, 1), 0);
  EXPECT_EQ(chrom.CursorPosition(), 1);
  // From the tail: length - n steps.
  EXPECT_EQ(StepsFor(chrom, 10), 0);
  EXPECT_EQ(StepsFor(chrom, 8), 2);
  // Cursor on 8, n = 5: d = 3 < 5 and 3 < 10 - 5, so 3 steps back.
  EXPECT_EQ(StepsFor(chrom, 5), 3);
  // Cursor on 5, n = 7: d = 2 < 7 but not below 10 - 7 = 3? 2 < 3, so forward.
  EXPECT_EQ(StepsFor(chrom, 7), 2);
  EXPECT_EQ(StepsFor(chrom, 7), 0);
  // Cursor on 7, n = 3: d = 4 is not below 3; n < length - n, from the head.
  EXPECT_EQ(StepsFor(chrom, 3), 2);
}

TEST(IndexedList, LocateReturnsTheNodeAtEachPosition) {
  MetaChrom chrom(6);
  for (int i = 1; i <= 6; ++i)
    chrom.SetGeneType(i, i % 2 == 0 ? GENE_REAL : GENE_INTEGER);
  // Every route reaches the node the sequential walk reaches.
  MetaGene* nodes[7] = {};
  for (int i = 1; i <= 6; ++i)
    nodes[i] = chrom.Locate(i);
  const int order[] = {4, 1, 6, 2, 5, 3, 3, 6, 1};
  for (int n : order)
    EXPECT_EQ(chrom.Locate(n), nodes[n]) << n;
}

TEST(IndexedList, ConsecutivePositionsCostOneStepEach) {
  MetaChrom chrom(1000);
  Steps::ResetSteps();
  for (int i = 1; i <= 1000; ++i)
    ASSERT_NE(chrom.Locate(i), nullptr);
  EXPECT_EQ(Steps::Steps(), 999);
  Steps::ResetSteps();
  for (int i = 1000; i >= 1; --i)
    chrom.Locate(i);
  EXPECT_EQ(Steps::Steps(), 998);  // position 1 is read off the head
}

TEST(IndexedList, RemovingTheHeadKeepsTheCursorNode) {
  MetaChrom chrom(5);
  MetaGene* fourth = chrom.Locate(4);
  ASSERT_EQ(chrom.RemoveGene(1), SUCCESS);
  EXPECT_EQ(chrom.Length(), 4);
  EXPECT_EQ(chrom.CursorPosition(), 3);
  MetaGene* found = nullptr;
  EXPECT_EQ(StepsFor(chrom, 3, &found), 0);
  EXPECT_EQ(found, fourth);

  // A cursor on the head moves to the new head.
  MetaGene* second = chrom.Locate(2);
  chrom.Locate(1);
  ASSERT_EQ(chrom.RemoveGene(1), SUCCESS);
  EXPECT_EQ(chrom.CursorPosition(), 1);
  EXPECT_EQ(StepsFor(chrom, 1, &found), 0);
  EXPECT_EQ(found, second);
}

TEST(IndexedList, RemovingTheTailOrAMiddleNodeMovesTheCursorBack) {
  MetaChrom chrom(5);
  MetaGene* fourth = chrom.Locate(4);
  chrom.Locate(5);
  ASSERT_EQ(chrom.RemoveGene(5), SUCCESS);
  EXPECT_EQ(chrom.CursorPosition(), 4);
  EXPECT_EQ(chrom.Locate(4), fourth);

  // Tail removal with the cursor elsewhere leaves it alone.
  MetaGene* second = chrom.Locate(2);
  ASSERT_EQ(chrom.RemoveGene(4), SUCCESS);
  EXPECT_EQ(chrom.CursorPosition(), 2);

  // Middle removal: the cursor lands on the previous node.
  MetaGene* first = chrom.Locate(1);
  ASSERT_EQ(chrom.RemoveGene(2), SUCCESS);
  EXPECT_EQ(chrom.Length(), 2);
  EXPECT_EQ(chrom.CursorPosition(), 1);
  EXPECT_EQ(chrom.Locate(1), first);
  EXPECT_NE(chrom.Locate(2), second);

  ASSERT_EQ(chrom.RemoveGene(2), SUCCESS);
  ASSERT_EQ(chrom.RemoveGene(1), SUCCESS);
  EXPECT_EQ(chrom.Length(), 0);
  EXPECT_EQ(chrom.CursorPosition(), 0);
  EXPECT_EQ(chrom.Locate(1), nullptr);
}

TEST(IndexedList, BadRemovalAndNullAppendAreRefused) {
  MetaChrom chrom(2);
  EXPECT_EQ(chrom.RemoveGene(0), MCH_BAD_REMOVE_INDEX);
  EXPECT_EQ(chrom.RemoveGene(3), MCH_BAD_REMOVE_INDEX);
  std::unique_ptr<MetaGene> none;
  EXPECT_EQ(chrom.AppendGene(std::move(none)), MCH_NULL_GENE);
  EXPECT_EQ(chrom.Length(), 2);

  // Appending moves neither the cursor nor, on an empty list, misses it.
  MetaChrom empty(0);
  auto node = std::make_unique<MetaGene>();
  MetaGene* raw = node.get();
  ASSERT_EQ(empty.AppendGene(std::move(node)), SUCCESS);
  EXPECT_EQ(empty.CursorPosition(), 1);
  EXPECT_EQ(empty.Locate(1), raw);
  ASSERT_EQ(empty.AppendGene(std::make_unique<MetaGene>()), SUCCESS);
  EXPECT_EQ(empty.CursorPosition(), 1);
}

TEST(MetaChrom, ClonePreservesTypesAndBoundsInOrder) {
  MetaChrom chrom(3);
  chrom.SetGeneType(1, GENE_INTEGER);
  chrom.SetIntRange(1, 7, -7);
  chrom.SetGeneType(2, GENE_REAL);
  chrom.SetRealRange(2, 0.5f, -0.25f);
  chrom.SetGeneType(3, GENE_BINARY);
  chrom.SetProbability(3, 0.125f);

  std::unique_ptr<MetaChrom> copy = chrom.Clone();
  ASSERT_EQ(copy->Length(), 3);
  int type = 0, imax = 0, imin = 0;
  float fmax = 0.0f, fmin = 0.0f, probability = 0.0f;
  EXPECT_EQ(copy->GetGeneType(1, type), SUCCESS);
  EXPECT_EQ(type, GENE_INTEGER);
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

  copy->SetIntRange(1, 1, 0);
  chrom.GetIntRange(1, imax, imin);
  EXPECT_EQ(imax, 7);

  MetaChrom empty(0);
  EXPECT_EQ(empty.Clone()->Length(), 0);
}

}  // namespace
