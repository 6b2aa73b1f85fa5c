#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <memory>

#include "Bramble/Codes.h"
#include "Bramble/Gene.h"
#include "Bramble/MetaGene.h"
#include "DrawControl.h"

namespace {

using bramble_test::DrawsSince;
using bramble_test::ForceNextDraw;

std::unique_ptr<Gene> RealGene(float maximum, float minimum) {
  auto gene = std::make_unique<Gene>();
  gene->SetType(GENE_REAL);
  gene->SetRealRange(maximum, minimum);
  return gene;
}

TEST(Gene, SetTypeAcceptsOnlyCodesTenToThirteen) {
  Gene gene;
  EXPECT_EQ(gene.SetType(9), GNE_BAD_TYPE);
  EXPECT_EQ(gene.SetType(14), GNE_BAD_TYPE);
  EXPECT_EQ(gene.SetType(GENE_UNDEFINED), SUCCESS);
  // Still undefined: a range cannot be set.
  EXPECT_EQ(gene.SetIntRange(5, 1), GNE_NO_TYPE);
}

TEST(Gene, RangeChecksComeInOrder) {
  Gene gene;
  EXPECT_EQ(gene.SetIntRange(4, 5), GNE_NO_TYPE);  // no type beats a bad range
  ASSERT_EQ(gene.SetType(GENE_REAL), SUCCESS);
  EXPECT_EQ(gene.SetIntRange(4, 5), GNE_WRONG_TYPE);
  EXPECT_EQ(gene.SetRealRange(NAN, 0.0f), GNE_BAD_RANGE);
  EXPECT_EQ(gene.SetRealRange(1.0f, 2.0f), GNE_BAD_RANGE);
  EXPECT_EQ(gene.SetRealRange(2.0f, 2.0f), SUCCESS);

  Gene integer;
  integer.SetType(GENE_INTEGER);
  EXPECT_EQ(integer.SetIntRange(4, 5), GNE_BAD_RANGE);
  EXPECT_EQ(integer.SetIntRange(5, 5), SUCCESS);
  int maximum = 0, minimum = 0;
  EXPECT_EQ(integer.GetIntRange(maximum, minimum), SUCCESS);
  EXPECT_EQ(maximum, 5);
  EXPECT_EQ(minimum, 5);
  float probability = 0.0f;
  EXPECT_EQ(integer.GetProbability(probability), GNE_WRONG_TYPE);
}

TEST(Gene, ProbabilityMustLieInZeroToOne) {
  Gene gene;
  gene.SetType(GENE_BINARY);
  float probability = -1.0f;
  EXPECT_EQ(gene.GetProbability(probability), GNE_NO_RANGE);
  EXPECT_EQ(gene.SetProbability(1.0001f), GNE_BAD_RANGE);
  EXPECT_EQ(gene.SetProbability(-0.0001f), GNE_BAD_RANGE);
  EXPECT_EQ(gene.SetProbability(0.0f), SUCCESS);
  EXPECT_EQ(gene.SetProbability(1.0f), SUCCESS);
  EXPECT_EQ(gene.GetProbability(probability), SUCCESS);
  EXPECT_EQ(probability, 1.0f);
}

TEST(Gene, ValueNeedsBoundsAndStaysWithinThem) {
  Gene gene;
  int value = 0;
  EXPECT_EQ(gene.GetIntValue(value), GNE_NO_TYPE);
  gene.SetType(GENE_INTEGER);
  int maximum = 0, minimum = 0;
  EXPECT_EQ(gene.GetIntRange(maximum, minimum), GNE_NO_RANGE);
  EXPECT_EQ(gene.SetIntValue(1), GNE_NO_RANGE);
  gene.SetIntRange(10, -10);
  EXPECT_EQ(gene.GetIntValue(value), GNE_NO_VALUE);
  EXPECT_EQ(gene.SetIntValue(10), SUCCESS);
  EXPECT_EQ(gene.SetIntValue(-10), SUCCESS);
  EXPECT_EQ(gene.SetIntValue(11), GNE_OUT_OF_RANGE);
  EXPECT_EQ(gene.SetIntValue(-11), GNE_OUT_OF_RANGE);
  EXPECT_EQ(gene.GetIntValue(value), SUCCESS);
  EXPECT_EQ(value, -10);
  float real = 0.0f;
  EXPECT_EQ(gene.GetRealValue(real), GNE_WRONG_TYPE);

  auto fresh = RealGene(1.0f, 0.0f);
  EXPECT_EQ(fresh->SetRealValue(1.5f), GNE_OUT_OF_RANGE);
  EXPECT_EQ(fresh->GetRealValue(real), GNE_NO_VALUE);  // the failed set left no value
}

TEST(Gene, NarrowingBoundsKeepsTheValue) {
  auto owned = RealGene(10.0f, 0.0f);
  Gene& gene = *owned;
  ASSERT_EQ(gene.SetRealValue(8.0f), SUCCESS);
  ASSERT_EQ(gene.SetRealRange(1.0f, 0.0f), SUCCESS);
  float value = 0.0f;
  EXPECT_EQ(gene.GetRealValue(value), SUCCESS);
  EXPECT_EQ(value, 8.0f);
}

TEST(Gene, BinaryByteIsStoredAsGiven) {
  Gene gene;
  gene.SetType(GENE_BINARY);
  EXPECT_EQ(gene.SetBinaryValue(1), GNE_NO_RANGE);
  gene.SetProbability(0.5f);
  EXPECT_EQ(gene.SetBinaryValue(7), SUCCESS);
  char value = 0;
  EXPECT_EQ(gene.GetBinaryValue(value), SUCCESS);
  EXPECT_EQ(value, 7);
}

TEST(Gene, ChangingTheTypeReinterpretsTheCells) {
  auto owned = RealGene(2.0f, 0.0f);
  Gene& gene = *owned;
  ASSERT_EQ(gene.SetRealValue(1.0f), SUCCESS);
  ASSERT_EQ(gene.SetType(GENE_INTEGER), SUCCESS);
  int value = 0, maximum = 0, minimum = 0;
  EXPECT_EQ(gene.GetIntValue(value), SUCCESS);
  EXPECT_EQ(value, 0x3F800000);  // the bits of 1.0f
  EXPECT_EQ(gene.GetIntRange(maximum, minimum), SUCCESS);
  EXPECT_EQ(maximum, 0x40000000);  // the bits of 2.0f
  EXPECT_EQ(minimum, 0);
}

TEST(GeneRandomize, NeedsTypeAndBounds) {
  Gene gene;
  EXPECT_EQ(gene.Randomize(), GNE_NO_TYPE);
  gene.SetType(GENE_REAL);
  EXPECT_EQ(gene.Randomize(), GNE_NO_RANGE);
}

TEST(GeneRandomize, IntegerTakesOneDrawModuloTheSpan) {
  Gene gene;
  gene.SetType(GENE_INTEGER);
  gene.SetIntRange(3, 3);
  quill::SeedRand(99);
  ASSERT_EQ(gene.Randomize(), SUCCESS);
  int value = 0;
  gene.GetIntValue(value);
  EXPECT_EQ(value, 3);
  EXPECT_EQ(DrawsSince(99), 1);

  gene.SetIntRange(10, -5);  // span 16
  ForceNextDraw(37);
  gene.Randomize();
  gene.GetIntValue(value);
  EXPECT_EQ(value, -5 + 37 % 16);
}

TEST(GeneRandomize, FullIntegerRangeDoesNotWrap) {
  Gene gene;
  gene.SetType(GENE_INTEGER);
  gene.SetIntRange(INT_MAX, INT_MIN);
  ForceNextDraw(32767);
  ASSERT_EQ(gene.Randomize(), SUCCESS);
  int value = 0;
  gene.GetIntValue(value);
  EXPECT_EQ(value, INT_MIN + 32767);  // wide ranges only reach minimum + 32767
}

TEST(GeneRandomize, RealReachesBothBounds) {
  auto owned = RealGene(1.0f, 0.0f);
  Gene& gene = *owned;
  float value = -1.0f;
  ForceNextDraw(32767);
  gene.Randomize();
  gene.GetRealValue(value);
  EXPECT_EQ(value, 1.0f);
  ForceNextDraw(0);
  gene.Randomize();
  gene.GetRealValue(value);
  EXPECT_EQ(value, 0.0f);

  auto wide_owned = RealGene(10.0f, -10.0f);
  Gene& wide = *wide_owned;
  ForceNextDraw(32767);
  wide.Randomize();
  wide.GetRealValue(value);
  EXPECT_EQ(value, 10.0f);
  // r = 8192: -10 + (8192 / 32767) * 20 = -10 + 5.00015259... = -4.99984740..., as float.
  ForceNextDraw(8192);
  wide.Randomize();
  wide.GetRealValue(value);
  EXPECT_EQ(value, static_cast<float>(-4.99984740745262));
}

TEST(GeneRandomize, BinaryThresholdIsTruncatedInDouble) {
  Gene gene;
  gene.SetType(GENE_BINARY);
  gene.SetProbability(0.7f);  // 0.7f * 1000 in double is 699.99998..., threshold 699
  char value = -1;
  ForceNextDraw(699);
  gene.Randomize();
  gene.GetBinaryValue(value);
  EXPECT_EQ(value, 1);
  ForceNextDraw(700);
  gene.Randomize();
  gene.GetBinaryValue(value);
  EXPECT_EQ(value, 0);

  // Probability 0 still gives 1 when the draw modulo 1001 is 0.
  gene.SetProbability(0.0f);
  ForceNextDraw(1001 * 3);
  gene.Randomize();
  gene.GetBinaryValue(value);
  EXPECT_EQ(value, 1);
  ForceNextDraw(1);
  gene.Randomize();
  gene.GetBinaryValue(value);
  EXPECT_EQ(value, 0);

  gene.SetProbability(1.0f);
  ForceNextDraw(1000);
  gene.Randomize();
  gene.GetBinaryValue(value);
  EXPECT_EQ(value, 1);
}

TEST(GeneClone, CopiesTypeBoundsAndValueIndependently) {
  auto owned = RealGene(4.0f, -4.0f);
  Gene& gene = *owned;
  gene.SetRealValue(2.5f);
  std::unique_ptr<Gene> copy = gene.Clone();
  float value = 0.0f, maximum = 0.0f, minimum = 0.0f;
  EXPECT_EQ(copy->GetRealValue(value), SUCCESS);
  EXPECT_EQ(value, 2.5f);
  EXPECT_EQ(copy->GetRealRange(maximum, minimum), SUCCESS);
  EXPECT_EQ(maximum, 4.0f);
  EXPECT_EQ(minimum, -4.0f);
  copy->SetRealValue(-1.0f);
  gene.GetRealValue(value);
  EXPECT_EQ(value, 2.5f);

  Gene binary;
  binary.SetType(GENE_BINARY);
  binary.SetProbability(0.25f);
  binary.SetBinaryValue(1);
  char bit = 0;
  float probability = 0.0f;
  std::unique_ptr<Gene> binary_copy = binary.Clone();
  EXPECT_EQ(binary_copy->GetBinaryValue(bit), SUCCESS);
  EXPECT_EQ(bit, 1);
  binary_copy->GetProbability(probability);
  EXPECT_EQ(probability, 0.25f);
}

TEST(GeneClone, TypedGeneWithoutBoundsGivesTypeOnly) {
  Gene gene;
  gene.SetType(GENE_INTEGER);
  std::unique_ptr<Gene> copy = gene.Clone();
  int maximum = 0, minimum = 0;
  EXPECT_EQ(copy->GetIntRange(maximum, minimum), GNE_NO_RANGE);
  EXPECT_EQ(copy->SetIntValue(0), GNE_NO_RANGE);
}

TEST(GeneCloneDeathTest, ValueOutsideNarrowedBoundsStops) {
  auto owned = RealGene(10.0f, 0.0f);
  Gene& gene = *owned;
  gene.SetRealValue(8.0f);
  gene.SetRealRange(1.0f, 0.0f);
  EXPECT_DEATH(gene.Clone(), "Assertion failed: IntReturn == SUCCESS, file Bramble/Bramble10");
}

TEST(MetaGene, FollowsTheGeneRules) {
  MetaGene definition;
  EXPECT_EQ(definition.SetType(14), GNE_BAD_TYPE);
  EXPECT_EQ(definition.SetIntRange(1, 0), GNE_NO_TYPE);
  definition.SetType(GENE_BINARY);
  EXPECT_EQ(definition.SetRealRange(1.0f, 0.0f), GNE_WRONG_TYPE);
  float probability = 0.0f;
  EXPECT_EQ(definition.GetProbability(probability), GNE_NO_RANGE);
  EXPECT_EQ(definition.SetProbability(1.5f), GNE_BAD_RANGE);
  EXPECT_EQ(definition.SetProbability(0.3f), SUCCESS);

  std::unique_ptr<MetaGene> copy = definition.Clone();
  EXPECT_EQ(copy->GetProbability(probability), SUCCESS);
  EXPECT_EQ(probability, 0.3f);
  copy->SetProbability(0.9f);
  definition.GetProbability(probability);
  EXPECT_EQ(probability, 0.3f);
}

}  // namespace
