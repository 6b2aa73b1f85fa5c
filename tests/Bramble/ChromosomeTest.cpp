#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "Bramble/Chromosome.h"
#include "Bramble/Codes.h"
#include "Bramble/MetaChrom.h"
#include "DrawControl.h"

namespace {

using bramble_test::DrawsSince;
using bramble_test::ForceNextDraw;

// A definition of `length` integer genes bounded by (maximum, minimum).
std::unique_ptr<MetaChrom> IntDefinition(int length, int maximum, int minimum) {
  auto def = std::make_unique<MetaChrom>(length);
  for (int i = 1; i <= length; ++i) {
    def->SetGeneType(i, GENE_INTEGER);
    def->SetIntRange(i, maximum, minimum);
  }
  return def;
}

// A chromosome of integer genes (bounds 0..1000) holding `values` in order.
std::unique_ptr<Chromosome> IntChrom(const std::vector<int>& values) {
  auto def = IntDefinition(static_cast<int>(values.size()), 1000, 0);
  auto chrom = std::make_unique<Chromosome>(static_cast<int>(values.size()), def.get());
  for (int i = 1; i <= chrom->Length(); ++i)
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
  auto gene = std::make_unique<Gene>();
  gene->SetType(GENE_INTEGER);
  gene->SetIntRange(1000, 0);
  gene->SetIntValue(value);
  return gene;
}

TEST(Chromosome, BuiltAfterADefinitionWithoutValues) {
  MetaChrom def(3);
  def.SetGeneType(1, GENE_INTEGER);
  def.SetIntRange(1, 9, 2);
  def.SetGeneType(2, GENE_REAL);
  def.SetRealRange(2, 1.5f, -1.5f);
  def.SetGeneType(3, GENE_BINARY);
  def.SetProbability(3, 0.5f);
  Chromosome chrom(3, &def);
  int value = 0, imax = 0, imin = 0, type = 0;
  EXPECT_EQ(chrom.GetIntValue(1, value), GNE_NO_VALUE);
  EXPECT_EQ(chrom.GetIntRange(1, imax, imin), SUCCESS);
  EXPECT_EQ(imax, 9);
  EXPECT_EQ(imin, 2);
  EXPECT_EQ(chrom.GetGeneType(2, type), SUCCESS);
  EXPECT_EQ(type, GENE_REAL);
  float probability = 0.0f;
  EXPECT_EQ(chrom.GetProbability(3, probability), SUCCESS);
  EXPECT_EQ(probability, 0.5f);
  EXPECT_EQ(chrom.GetIntValue(0, value), CHM_BAD_INDEX);
  EXPECT_EQ(chrom.GetIntValue(4, value), CHM_BAD_INDEX);

  quill::SeedRand(7);
  ASSERT_EQ(chrom.Randomize(), SUCCESS);
  EXPECT_EQ(DrawsSince(7), 3);
  EXPECT_EQ(chrom.GetIntValue(1, value), SUCCESS);
  EXPECT_GE(value, 2);
  EXPECT_LE(value, 9);
  float real = 9.0f;
  EXPECT_EQ(chrom.GetRealValue(2, real), SUCCESS);
  EXPECT_GE(real, -1.5f);
  EXPECT_LE(real, 1.5f);

  Chromosome bare(2, nullptr);
  EXPECT_EQ(bare.GetGeneType(2, type), SUCCESS);
  EXPECT_EQ(type, GENE_UNDEFINED);
  EXPECT_EQ(Chromosome(-3, nullptr).Length(), 0);
}

TEST(ChromosomeDeathTest, DefinitionMustFit) {
  MetaChrom four(4);
  EXPECT_DEATH(Chromosome(3, &four), "Assertion failed: NdxDefLength == MbrNdxLength");
  MetaChrom unbounded(1);
  unbounded.SetGeneType(1, GENE_INTEGER);
  EXPECT_DEATH(Chromosome(1, &unbounded), "Assertion failed: IntReturn == SUCCESS");
}

TEST(Chromosome, RandomizeStopsAtTheFirstFailure) {
  MetaChrom def(3);
  def.SetGeneType(1, GENE_REAL);
  def.SetRealRange(1, 1.0f, 0.0f);
  Chromosome chrom(3, &def);  // positions 2 and 3 stay undefined
  quill::SeedRand(3);
  EXPECT_EQ(chrom.Randomize(), GNE_NO_TYPE);
  EXPECT_EQ(DrawsSince(3), 1);
  float value = -1.0f;
  EXPECT_EQ(chrom.GetRealValue(1, value), SUCCESS);
  EXPECT_EQ(chrom.RandomizeGene(4), CHM_BAD_INDEX);
}

TEST(ChromosomeMutate, RateOneRedrawsEveryGene) {
  auto def = IntDefinition(3, 32767, 0);  // the value is the redraw itself
  Chromosome chrom(3, def.get());
  quill::SeedRand(5);
  std::vector<int> draws;
  for (int i = 0; i < 6; ++i)
    draws.push_back(quill::Rand());
  quill::SeedRand(5);
  ASSERT_EQ(chrom.Mutate(1.0f), SUCCESS);
  EXPECT_EQ(DrawsSince(5), 6);  // one test draw and one redraw per gene
  EXPECT_EQ(Values(chrom), (std::vector<int>{draws[1], draws[3], draws[5]}));
}

TEST(ChromosomeMutate, ThresholdIsTheRateInThousandthsTruncated) {
  struct Case {
    float rate;
    int draw;
    bool mutated;
  };
  const Case cases[] = {
      {0.7f, 699, true},   {0.7f, 700, false},  // 0.7f * 1000 = 699.99998...
      {0.0f, 0, true},     {0.0f, 1, false},    // rate 0 still mutates at r = 0
      {-0.0005f, 0, true},                      // truncates to 0
      {-0.001f, 0, false},                      // truncates to -1
      {2.0f, 1000, true},
  };
  auto def = IntDefinition(1, 32767, 0);
  for (const Case& c : cases) {
    Chromosome chrom(1, def.get());
    ASSERT_EQ(chrom.SetIntValue(1, 40000 % 32768), SUCCESS);
    ForceNextDraw(c.draw);
    const std::uint32_t before = quill::RandState();
    ASSERT_EQ(chrom.Mutate(c.rate), SUCCESS);
    // The test draw, then the redraw when the gene is chosen.
    EXPECT_EQ(DrawsSince(before), c.mutated ? 2 : 1) << c.rate << " " << c.draw;
  }
}

TEST(ChromosomeMutate, NegativeRateStillTakesOneDrawPerGene) {
  auto chrom = IntChrom({1, 2, 3, 4});
  quill::SeedRand(11);
  EXPECT_EQ(chrom->Mutate(-1.0f), SUCCESS);
  EXPECT_EQ(DrawsSince(11), 4);
  EXPECT_EQ(Values(*chrom), (std::vector<int>{1, 2, 3, 4}));
}

TEST(ChromosomeMutate, StopsAtAGeneWithoutBounds) {
  Chromosome chrom(2, nullptr);
  chrom.SetGeneType(2, GENE_REAL);
  EXPECT_EQ(chrom.Mutate(1.0f), GNE_NO_TYPE);
  chrom.SetGeneType(1, GENE_REAL);
  EXPECT_EQ(chrom.Mutate(1.0f), GNE_NO_RANGE);
}

TEST(ChromosomeSegments, CopyAndCutCheckTheirBounds) {
  auto chrom = IntChrom({10, 20, 30});
  std::unique_ptr<Chromosome> one = chrom->CopySegment(2, 2);
  ASSERT_NE(one, nullptr);
  EXPECT_EQ(Values(*one), (std::vector<int>{20}));
  EXPECT_EQ(chrom->CopySegment(3, 2), nullptr);
  EXPECT_EQ(chrom->CopySegment(2, 4), nullptr);
  EXPECT_EQ(chrom->CopySegment(4, 4), nullptr);
  EXPECT_EQ(chrom->CutSegment(3, 2), nullptr);
  EXPECT_EQ(Values(*chrom), (std::vector<int>{10, 20, 30}));

  std::unique_ptr<Chromosome> all = chrom->CopySegment(1, 3);
  EXPECT_EQ(Values(*all), (std::vector<int>{10, 20, 30}));

  std::unique_ptr<Chromosome> cut = chrom->CutSegment(1, 2);
  ASSERT_NE(cut, nullptr);
  EXPECT_EQ(Values(*cut), (std::vector<int>{10, 20}));
  EXPECT_EQ(Values(*chrom), (std::vector<int>{30}));
}

TEST(ChromosomeSegmentsDeathTest, FirstBelowOneStops) {
  auto chrom = IntChrom({10, 20, 30});
  EXPECT_DEATH(chrom->CopySegment(0, 2), "Assertion failed: PtrGneClone != 0");
  EXPECT_DEATH(chrom->CutSegment(0, 2), "Assertion failed: PtrGneTheGene != 0");
}

TEST(Chromosome, MoveFromAndAppendCopies) {
  auto target = IntChrom({1, 2});
  auto source = IntChrom({3, 4, 5});
  ASSERT_EQ(target->AppendCopies(source.get()), SUCCESS);
  EXPECT_EQ(Values(*source), (std::vector<int>{3, 4, 5}));
  ASSERT_EQ(target->MoveFrom(source.get()), SUCCESS);
  EXPECT_EQ(source->Length(), 0);
  EXPECT_EQ(Values(*target), (std::vector<int>{1, 2, 3, 4, 5, 3, 4, 5}));
  EXPECT_EQ(target->AppendCopies(nullptr), CHM_NULL_POINTER);
  EXPECT_EQ(target->MoveFrom(nullptr), CHM_NULL_POINTER);

  // A chromosome given itself: copies once, and a move changes nothing.
  auto self = IntChrom({6, 7});
  ASSERT_EQ(self->AppendCopies(self.get()), SUCCESS);
  EXPECT_EQ(Values(*self), (std::vector<int>{6, 7, 6, 7}));
  ASSERT_EQ(self->MoveFrom(self.get()), SUCCESS);
  EXPECT_EQ(Values(*self), (std::vector<int>{6, 7, 6, 7}));
}

TEST(Chromosome, InsertGeneTakesThePositionAndShiftsTheCursor) {
  auto chrom = IntChrom({1, 2, 3});
  EXPECT_EQ(chrom->InsertGene(IntGene(9), 4), CHM_BAD_INDEX);
  std::unique_ptr<Gene> none;
  EXPECT_EQ(chrom->InsertGene(std::move(none), 0), CHM_BAD_INDEX);  // position first
  EXPECT_EQ(chrom->InsertGene(std::move(none), 1), CHM_NULL_POINTER);

  // A refused gene stays with the caller.
  auto kept = IntGene(8);
  EXPECT_EQ(chrom->InsertGene(std::move(kept), 5), CHM_BAD_INDEX);
  ASSERT_NE(kept, nullptr);

  const Gene* third = chrom->Locate(3);
  ASSERT_EQ(chrom->InsertGene(std::move(kept), 1), SUCCESS);
  EXPECT_EQ(chrom->CursorPosition(), 4);
  EXPECT_EQ(chrom->CursorGene(), third);
  EXPECT_EQ(Values(*chrom), (std::vector<int>{8, 1, 2, 3}));

  // In the middle the gene takes the position and the cursor lands on it.
  auto middle = IntGene(5);
  const Gene* raw = middle.get();
  ASSERT_EQ(chrom->InsertGene(std::move(middle), 3), SUCCESS);
  EXPECT_EQ(chrom->CursorPosition(), 3);
  EXPECT_EQ(chrom->CursorGene(), raw);
  EXPECT_EQ(Values(*chrom), (std::vector<int>{8, 1, 5, 2, 3}));
}

TEST(Chromosome, ReplaceGeneKeepsTheLength) {
  auto chrom = IntChrom({1, 2, 3});
  auto gene = IntGene(7);
  const Gene* raw = gene.get();
  ASSERT_EQ(chrom->ReplaceGene(std::move(gene), 2), SUCCESS);
  EXPECT_EQ(chrom->Length(), 3);
  EXPECT_EQ(chrom->CursorGene(), raw);
  EXPECT_EQ(Values(*chrom), (std::vector<int>{1, 7, 3}));
  ASSERT_EQ(chrom->ReplaceGene(IntGene(0), 1), SUCCESS);
  ASSERT_EQ(chrom->ReplaceGene(IntGene(9), 3), SUCCESS);
  EXPECT_EQ(Values(*chrom), (std::vector<int>{0, 7, 9}));
  EXPECT_EQ(chrom->ReplaceGene(IntGene(9), 4), CHM_BAD_INDEX);
}

TEST(Chromosome, DetachAndDeleteFollowTheRemovalRules) {
  auto chrom = IntChrom({1, 2, 3, 4});
  EXPECT_EQ(chrom->DetachGene(5), nullptr);
  EXPECT_EQ(chrom->DeleteGene(0), CHM_BAD_INDEX);
  std::unique_ptr<Gene> second = chrom->DetachGene(2);
  ASSERT_NE(second, nullptr);
  int value = 0;
  second->GetIntValue(value);
  EXPECT_EQ(value, 2);
  EXPECT_EQ(chrom->CursorPosition(), 1);
  ASSERT_EQ(chrom->AppendGene(std::move(second)), SUCCESS);
  EXPECT_EQ(chrom->DeleteGene(1), SUCCESS);
  EXPECT_EQ(Values(*chrom), (std::vector<int>{3, 4, 2}));
  std::unique_ptr<Gene> none;
  EXPECT_EQ(chrom->AppendGene(std::move(none)), CHM_NULL_POINTER);
}

TEST(Chromosome, CloneIsIndependent) {
  auto chrom = IntChrom({4, 5, 6});
  std::unique_ptr<Chromosome> copy = chrom->Clone();
  EXPECT_EQ(Values(*copy), (std::vector<int>{4, 5, 6}));
  copy->SetIntValue(2, 50);
  copy->DeleteGene(3);
  EXPECT_EQ(Values(*chrom), (std::vector<int>{4, 5, 6}));
  std::unique_ptr<Gene> gene = chrom->CloneGene(3);
  ASSERT_NE(gene, nullptr);
  EXPECT_EQ(chrom->CloneGene(4), nullptr);
  EXPECT_EQ(Chromosome(0, nullptr).Clone()->Length(), 0);
}

TEST(Chromosome, WholeChromosomeOperationsStepOncePerGene) {
  auto def = IntDefinition(2000, 100, 0);
  Chromosome chrom(2000, def.get());
  using Steps = IndexedList<Gene>;
  Steps::ResetSteps();
  ASSERT_EQ(chrom.Randomize(), SUCCESS);
  EXPECT_LE(Steps::Steps(), 2000);
  Steps::ResetSteps();
  std::unique_ptr<Chromosome> copy = chrom.Clone();
  EXPECT_LE(Steps::Steps(), 2000);
  Steps::ResetSteps();
  ASSERT_EQ(copy->Mutate(0.5f), SUCCESS);
  EXPECT_LE(Steps::Steps(), 2000);
}

}  // namespace
