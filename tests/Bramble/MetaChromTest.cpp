#include <gtest/gtest.h>

#include <memory>

#include "Bramble/Codes.h"
#include "Bramble/MetaChrom.h"

namespace {

// A definition whose position i holds integer bounds (i, -i), so that an
// entry can be recognised after it has moved.
std::unique_ptr<MetaChrom> Labelled(int length) {
  auto chrom = std::make_unique<MetaChrom>(length);
  for (int i = 1; i <= length; ++i) {
    chrom->SetGeneType(i, GENE_INTEGER);
    chrom->SetIntRange(i, i, -i);
  }
  return chrom;
}

// The label of the entry at `position` (0 when none); moves the cursor there.
int LabelAt(MetaChrom& chrom, int position) {
  int maximum = 0, minimum = 0;
  return chrom.GetIntRange(position, maximum, minimum) == SUCCESS ? maximum : 0;
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

// Every access leaves the cursor on its position; removals and appends move
// it by the list rules, keeping it on the same entry where it survives.
TEST(MetaChrom, CursorFollowsAccessesRemovalsAndAppends) {
  auto chrom = Labelled(5);
  EXPECT_EQ(chrom->CursorPosition(), 5);  // the last position set
  int type = 0;
  chrom->GetGeneType(2, type);
  EXPECT_EQ(chrom->CursorPosition(), 2);
  EXPECT_EQ(chrom->Locate(0), nullptr);
  EXPECT_EQ(chrom->Locate(6), nullptr);
  EXPECT_EQ(chrom->CursorPosition(), 2);

  chrom->Locate(4);
  ASSERT_EQ(chrom->RemoveGene(1), SUCCESS);  // every entry moves down one place
  EXPECT_EQ(chrom->CursorPosition(), 3);
  EXPECT_EQ(LabelAt(*chrom, 3), 4);

  chrom->Locate(4);  // [2 3 4 5]: the last entry under the cursor
  ASSERT_EQ(chrom->RemoveGene(4), SUCCESS);
  EXPECT_EQ(chrom->CursorPosition(), 3);
  EXPECT_EQ(LabelAt(*chrom, 3), 4);

  ASSERT_EQ(chrom->RemoveGene(2), SUCCESS);  // [2 3 4]: a middle entry, cursor to n - 1
  EXPECT_EQ(chrom->CursorPosition(), 1);
  EXPECT_EQ(LabelAt(*chrom, 2), 4);

  chrom->Locate(1);  // [2 4]: a cursor on the first entry stays on the new first
  ASSERT_EQ(chrom->RemoveGene(1), SUCCESS);
  EXPECT_EQ(chrom->CursorPosition(), 1);
  EXPECT_EQ(LabelAt(*chrom, 1), 4);
  ASSERT_EQ(chrom->RemoveGene(1), SUCCESS);
  EXPECT_EQ(chrom->CursorPosition(), 0);
  EXPECT_EQ(chrom->Locate(1), nullptr);

  // Appending to an empty definition puts the cursor on the new entry; later
  // appends leave it there.
  auto entry = std::make_unique<MetaGene>();
  entry->SetType(GENE_INTEGER);
  entry->SetIntRange(7, -7);
  ASSERT_EQ(chrom->AppendGene(std::move(entry)), SUCCESS);
  EXPECT_EQ(entry, nullptr);  // taken
  ASSERT_EQ(chrom->AppendGene(std::make_unique<MetaGene>()), SUCCESS);
  EXPECT_EQ(chrom->CursorPosition(), 1);
  EXPECT_EQ(LabelAt(*chrom, 1), 7);
  EXPECT_EQ(chrom->Length(), 2);
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
  EXPECT_EQ(chrom.CursorPosition(), 3);  // every position was read in turn
  EXPECT_EQ(copy->CursorPosition(), 1);
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
  EXPECT_EQ(MetaChrom(0).Clone()->Length(), 0);

  // Copies are independent both ways, including through a located entry.
  ASSERT_EQ(copy->SetRealRange(2, 0.75f, 0.5f), SUCCESS);
  EXPECT_EQ(chrom.GetRealRange(2, fmax, fmin), SUCCESS);
  EXPECT_EQ(fmax, 0.5f);
  ASSERT_EQ(chrom.Locate(1)->SetIntRange(9, 8), SUCCESS);
  std::unique_ptr<MetaChrom> later = chrom.Clone();
  chrom.Locate(1)->SetIntRange(3, 2);
  EXPECT_EQ(copy->GetIntRange(1, imax, imin), SUCCESS);
  EXPECT_EQ(imax, 7);
  EXPECT_EQ(later->GetIntRange(1, imax, imin), SUCCESS);
  EXPECT_EQ(imax, 9);
}

// A type change reinterprets the bound cells; a copy is made through the
// setters, so it drops bounds of an undefined type and the unused minimum of
// a probability, and stops on bounds that are no longer valid.
TEST(MetaChrom, CloneCopiesThroughTheSetters) {
  MetaChrom chrom(2);
  chrom.SetGeneType(1, GENE_INTEGER);
  chrom.SetIntRange(1, 5, -7);
  chrom.SetGeneType(1, GENE_BINARY);  // probability: the bits of 5, tiny
  chrom.SetGeneType(2, GENE_REAL);
  chrom.SetRealRange(2, 1.0f, 0.0f);
  chrom.SetGeneType(2, GENE_UNDEFINED);
  std::unique_ptr<MetaChrom> copy = chrom.Clone();
  copy->SetGeneType(1, GENE_INTEGER);
  copy->SetGeneType(2, GENE_REAL);
  int imax = 0, imin = 0;
  float fmax = 0.0f, fmin = 0.0f;
  EXPECT_EQ(copy->GetIntRange(1, imax, imin), SUCCESS);
  EXPECT_EQ(imax, 5);
  EXPECT_EQ(imin, 0);
  EXPECT_EQ(copy->GetRealRange(2, fmax, fmin), GNE_NO_RANGE);
  chrom.SetGeneType(1, GENE_INTEGER);  // the source keeps its cells
  EXPECT_EQ(chrom.GetIntRange(1, imax, imin), SUCCESS);
  EXPECT_EQ(imin, -7);
}

TEST(MetaChromDeathTest, CloneOfBoundsNoLongerValidStops) {
  MetaChrom chrom(1);
  chrom.SetGeneType(1, GENE_INTEGER);
  chrom.SetIntRange(1, 0x3F800001, 0);  // as a probability: just above 1
  chrom.SetGeneType(1, GENE_BINARY);
  EXPECT_DEATH(chrom.Clone(), "Assertion failed: IntReturn == SUCCESS, file Bramble/Bramble10");
}

}  // namespace
