#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "Bramble/Chromosome.h"
#include "Bramble/Codes.h"
#include "Bramble/MetaChrom.h"
// GCC 12 takes the replaced global delete, inlined here, for a mismatched
// free of memory from the replaced new (both are malloc and free).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#include "CountingAllocator.h"
#pragma GCC diagnostic pop
#include "DrawControl.h"

namespace {

using bramble_test::DrawsSince;
using bramble_test::ForceNextDraw;

// A definition of `length` integer genes bounded by (maximum, 0).
std::unique_ptr<MetaChrom> IntDefinition(int length, int maximum) {
  auto def = std::make_unique<MetaChrom>(length);
  for (int i = 1; i <= length; ++i) {
    def->SetGeneType(i, GENE_INTEGER);
    def->SetIntRange(i, maximum, 0);
  }
  return def;
}

// A chromosome of integer genes (bounds 0..1000) holding `values`.
std::unique_ptr<Chromosome> IntChrom(const std::vector<int>& values) {
  const int length = static_cast<int>(values.size());
  auto chrom = std::make_unique<Chromosome>(length, IntDefinition(length, 1000).get());
  for (int i = 1; i <= length; ++i)
    chrom->SetIntValue(i, values[i - 1]);
  return chrom;
}

std::vector<int> Values(Chromosome& chrom) {
  std::vector<int> values;
  for (int i = 1; i <= chrom.Length(); ++i) {
    int value = -1;
    EXPECT_EQ(chrom.GetIntValue(i, value), SUCCESS) << i;
    values.push_back(value);
  }
  return values;
}

std::unique_ptr<Gene> IntGene(int value) {
  return IntChrom({value})->DetachGene(1);
}

TEST(Chromosome, BuiltAfterADefinitionWithoutValues) {
  MetaChrom def(3);
  def.SetGeneType(1, GENE_INTEGER);
  def.SetIntRange(1, 9, 2);
  def.SetGeneType(2, GENE_BINARY);
  def.SetProbability(2, 0.5f);  // position 3 stays undefined
  Chromosome chrom(3, &def);
  int value = 0, imax = 0, imin = 0, type = 0;
  EXPECT_EQ(chrom.GetIntValue(1, value), GNE_NO_VALUE);
  EXPECT_EQ(chrom.GetIntRange(1, imax, imin), SUCCESS);
  EXPECT_EQ(imax, 9);
  EXPECT_EQ(imin, 2);
  EXPECT_EQ(chrom.GetGeneType(3, type), SUCCESS);
  EXPECT_EQ(type, GENE_UNDEFINED);
  EXPECT_EQ(chrom.GetIntValue(4, value), CHM_BAD_INDEX);

  // Randomize fills positions in order and stops at the undefined one.
  quill::SeedRand(7);
  EXPECT_EQ(chrom.Randomize(), GNE_NO_TYPE);
  EXPECT_EQ(DrawsSince(7), 2);
  EXPECT_EQ(chrom.GetIntValue(1, value), SUCCESS);
  EXPECT_GE(value, 2);
  EXPECT_LE(value, 9);
}

TEST(ChromosomeDeathTest, DefinitionMustFit) {
  MetaChrom four(4);
  EXPECT_DEATH(Chromosome(3, &four), "Assertion failed: NdxDefLength == MbrNdxLength");
  MetaChrom unbounded(1);
  unbounded.SetGeneType(1, GENE_INTEGER);
  EXPECT_DEATH(Chromosome(1, &unbounded), "Assertion failed: IntReturn == SUCCESS");
}

TEST(ChromosomeMutate, RateOneRedrawsEveryGene) {
  Chromosome chrom(3, IntDefinition(3, 32767).get());  // the value is the redraw itself
  quill::SeedRand(5);
  std::vector<int> draws;
  for (int i = 0; i < 6; ++i)
    draws.push_back(quill::Rand());
  quill::SeedRand(5);
  ASSERT_EQ(chrom.Mutate(1.0f), SUCCESS);
  EXPECT_EQ(DrawsSince(5), 6);  // a test draw and a redraw per gene
  EXPECT_EQ(Values(chrom), (std::vector<int>{draws[1], draws[3], draws[5]}));
}

TEST(ChromosomeMutate, ThresholdIsTheRateInThousandthsTruncated) {
  const struct {
    float rate;
    int draw;
    bool mutated;
  } cases[] = {
      {0.7f, 699, true},   {0.7f, 700, false},  // 0.7f * 1000 = 699.99998...
      {0.0f, 0, true},     {0.0f, 1, false},    // rate 0 still mutates at r = 0
      {-0.0005f, 0, true},                      // truncates to 0
      {-0.001f, 0, false},                      // truncates to -1
  };
  auto def = IntDefinition(1, 32767);
  for (const auto& c : cases) {
    Chromosome chrom(1, def.get());
    ForceNextDraw(c.draw);
    const std::uint32_t before = quill::RandState();
    ASSERT_EQ(chrom.Mutate(c.rate), SUCCESS);
    EXPECT_EQ(DrawsSince(before), c.mutated ? 2 : 1) << c.rate << " " << c.draw;
  }
  // A gene without bounds stops the mutation with its code.
  Chromosome bare(1, nullptr);
  bare.SetGeneType(1, GENE_REAL);
  EXPECT_EQ(bare.Mutate(1.0f), GNE_NO_RANGE);
}

TEST(ChromosomeSegments, CopyCutMoveAndAppend) {
  auto chrom = IntChrom({10, 20, 30});
  EXPECT_EQ(Values(*chrom->CopySegment(2, 2)), (std::vector<int>{20}));
  EXPECT_EQ(chrom->CopySegment(3, 2), nullptr);
  EXPECT_EQ(chrom->CopySegment(2, 4), nullptr);
  EXPECT_EQ(chrom->CutSegment(4, 4), nullptr);

  std::unique_ptr<Chromosome> cut = chrom->CutSegment(1, 2);
  EXPECT_EQ(Values(*cut), (std::vector<int>{10, 20}));
  EXPECT_EQ(Values(*chrom), (std::vector<int>{30}));

  ASSERT_EQ(chrom->AppendCopies(cut.get()), SUCCESS);
  EXPECT_EQ(cut->Length(), 2);
  ASSERT_EQ(chrom->MoveFrom(cut.get()), SUCCESS);
  EXPECT_EQ(cut->Length(), 0);
  EXPECT_EQ(Values(*chrom), (std::vector<int>{30, 10, 20, 10, 20}));
  EXPECT_EQ(chrom->MoveFrom(nullptr), CHM_NULL_POINTER);

  // Given itself, AppendCopies copies once and MoveFrom changes nothing.
  auto self = IntChrom({6, 7});
  ASSERT_EQ(self->AppendCopies(self.get()), SUCCESS);
  ASSERT_EQ(self->MoveFrom(self.get()), SUCCESS);
  EXPECT_EQ(Values(*self), (std::vector<int>{6, 7, 6, 7}));
}

TEST(ChromosomeSegmentsDeathTest, FirstBelowOneStops) {
  auto chrom = IntChrom({10, 20, 30});
  EXPECT_DEATH(chrom->CopySegment(0, 2), "Assertion failed: PtrGneClone != 0");
  EXPECT_DEATH(chrom->CutSegment(0, 2), "Assertion failed: PtrGneTheGene != 0");
}

// Copying a gene goes through the setters, which refuse a value outside
// bounds narrowed after it was set: every copy stops there, a move does not.
TEST(ChromosomeDeathTest, CopiesOfAValueOutsideItsBoundsStop) {
  auto narrowed = [] {
    auto chrom = IntChrom({10, 20, 30});
    chrom->SetIntRange(2, 5, 0);
    return chrom;
  };
  const char* stop = "Assertion failed: IntReturn == SUCCESS, file Bramble/Bramble10";
  EXPECT_DEATH(narrowed()->Clone(), stop);
  EXPECT_DEATH(narrowed()->CloneGene(2), stop);
  EXPECT_DEATH(narrowed()->CopySegment(2, 3), stop);
  EXPECT_DEATH(IntChrom({1})->AppendCopies(narrowed().get()), stop);
  auto moved = IntChrom({});
  EXPECT_EQ(moved->MoveFrom(narrowed().get()), SUCCESS);
  EXPECT_EQ(narrowed()->CloneGene(1)->SetIntValue(1000), SUCCESS);

  // Bounds far apart: -1e30 + (32767 / 32767) * (-1e-30 + 1e30) is 0 in
  // double, above the maximum -1e-30. The drawn value stands, and copies of
  // the gene stop as they do for any value outside its bounds.
  MetaChrom def(1);
  def.SetGeneType(1, GENE_REAL);
  def.SetRealRange(1, -1e-30f, -1e30f);
  Chromosome wide(1, &def);
  ForceNextDraw(32767);
  ASSERT_EQ(wide.RandomizeGene(1), SUCCESS);
  float value = 1.0f;
  EXPECT_EQ(wide.GetRealValue(1, value), SUCCESS);
  EXPECT_EQ(value, 0.0f);
  EXPECT_DEATH(wide.Clone(), stop);
}

TEST(Chromosome, InsertAndReplaceFollowTheCursorRules) {
  auto chrom = IntChrom({1, 2, 3});
  auto kept = IntGene(8);
  EXPECT_EQ(chrom->InsertGene(std::move(kept), 4), CHM_BAD_INDEX);
  ASSERT_NE(kept, nullptr);  // a refused gene stays with the caller
  std::unique_ptr<Gene> none;
  EXPECT_EQ(chrom->InsertGene(std::move(none), 0), CHM_BAD_INDEX);  // position first
  EXPECT_EQ(chrom->InsertGene(std::move(none), 1), CHM_NULL_POINTER);

  chrom->Locate(3);  // the gene holding 3
  ASSERT_EQ(chrom->InsertGene(std::move(kept), 1), SUCCESS);
  EXPECT_EQ(chrom->CursorPosition(), 4);  // the same gene, one place up
  EXPECT_EQ(Values(*chrom), (std::vector<int>{8, 1, 2, 3}));

  // Inserting further in locates the position: the cursor is on the new gene.
  chrom->Locate(4);
  ASSERT_EQ(chrom->InsertGene(IntGene(5), 3), SUCCESS);
  EXPECT_EQ(chrom->CursorPosition(), 3);
  int value = 0;
  EXPECT_EQ(chrom->Locate(3)->GetIntValue(value), SUCCESS);
  EXPECT_EQ(value, 5);
  EXPECT_EQ(Values(*chrom), (std::vector<int>{8, 1, 5, 2, 3}));

  chrom->Locate(2);
  ASSERT_EQ(chrom->ReplaceGene(IntGene(7), 2), SUCCESS);
  EXPECT_EQ(chrom->CursorPosition(), 2);  // on the replacement
  EXPECT_EQ(chrom->Locate(2)->GetIntValue(value), SUCCESS);
  EXPECT_EQ(value, 7);
  ASSERT_EQ(chrom->ReplaceGene(IntGene(9), 5), SUCCESS);
  EXPECT_EQ(Values(*chrom), (std::vector<int>{8, 7, 5, 2, 9}));
}

TEST(Chromosome, CloneIsIndependent) {
  auto chrom = IntChrom({4, 5, 6});
  std::unique_ptr<Chromosome> copy = chrom->Clone();
  EXPECT_EQ(Values(*copy), (std::vector<int>{4, 5, 6}));
  copy->SetIntValue(2, 50);
  copy->DeleteGene(3);
  EXPECT_EQ(Values(*chrom), (std::vector<int>{4, 5, 6}));
  EXPECT_EQ(chrom->CloneGene(4), nullptr);
}

// Whole-chromosome operations never allocate per gene: the number of
// allocations of each is the same for 20 genes and for 2,000.
TEST(Chromosome, WholeChromosomeOperationsAllocateIndependentlyOfTheLength) {
  auto count = [](int length) {
    auto def = IntDefinition(length, 100);
    Chromosome chrom(length, def.get());
    Chromosome mate(length, def.get());
    std::vector<long> allocations;
    long before = AllocationCount();
    auto step = [&] {
      allocations.push_back(AllocationCount() - before);
      before = AllocationCount();
    };
    quill::SeedRand(3);
    EXPECT_EQ(chrom.Randomize(), SUCCESS);
    EXPECT_EQ(mate.Randomize(), SUCCESS);
    step();
    EXPECT_EQ(chrom.Mutate(0.5f), SUCCESS);
    step();
    std::unique_ptr<Chromosome> copy = chrom.Clone();
    step();
    std::unique_ptr<Chromosome> segment = copy->CopySegment(2, length - 1);
    step();
    Chromosome child;
    child.Reserve(length);
    child.AppendSegment(chrom, 1, length / 2);
    child.AppendSegment(mate, length / 2 + 1, length);
    step();
    Chromosome uniform;
    uniform.AppendUniform(chrom, mate);
    step();
    EXPECT_TRUE(child.SharesRules());
    EXPECT_TRUE(uniform.SharesRules());
    return allocations;
  };
  const std::vector<long> few = count(20);
  EXPECT_EQ(few[0], 0);  // Randomize and Mutate allocate nothing
  EXPECT_EQ(few[1], 0);
  EXPECT_EQ(count(2000), few);
}

}  // namespace
