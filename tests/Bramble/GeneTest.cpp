#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <memory>

#include "Bramble/Codes.h"
#include "Bramble/Gene.h"
#include "DrawControl.h"

namespace {

using bramble_test::DrawsSince;
using bramble_test::ForceNextDraw;

std::unique_ptr<Gene> Typed(int type) {
  auto gene = std::make_unique<Gene>();
  gene->SetType(type);
  return gene;
}

// The value a real gene bounded by (maximum, minimum) draws from `r`.
float RealFromDraw(float maximum, float minimum, int r) {
  auto gene = Typed(GENE_REAL);
  gene->SetRealRange(maximum, minimum);
  ForceNextDraw(r);
  EXPECT_EQ(gene->Randomize(), SUCCESS);
  float value = NAN;
  gene->GetRealValue(value);
  return value;
}

// The byte a binary gene of `probability` draws from `r`.
char BinaryFromDraw(float probability, int r) {
  auto gene = Typed(GENE_BINARY);
  gene->SetProbability(probability);
  ForceNextDraw(r);
  gene->Randomize();
  char value = -1;
  gene->GetBinaryValue(value);
  return value;
}

TEST(Gene, ChecksComeInTheirFixedOrder) {
  Gene gene;
  int imax = 0, imin = 0, value = 0;
  EXPECT_EQ(gene.SetType(9), GNE_BAD_TYPE);
  EXPECT_EQ(gene.SetType(14), GNE_BAD_TYPE);
  EXPECT_EQ(gene.SetType(GENE_UNDEFINED), SUCCESS);
  EXPECT_EQ(gene.SetIntRange(4, 5), GNE_NO_TYPE);  // no type beats a bad range
  EXPECT_EQ(gene.GetIntValue(value), GNE_NO_TYPE);
  EXPECT_EQ(gene.Randomize(), GNE_NO_TYPE);

  auto real = Typed(GENE_REAL);
  EXPECT_EQ(real->SetIntRange(4, 5), GNE_WRONG_TYPE);
  EXPECT_EQ(real->SetRealRange(NAN, 0.0f), GNE_BAD_RANGE);
  EXPECT_EQ(real->SetRealRange(1.0f, 2.0f), GNE_BAD_RANGE);
  EXPECT_EQ(real->Randomize(), GNE_NO_RANGE);

  auto integer = Typed(GENE_INTEGER);
  EXPECT_EQ(integer->GetIntRange(imax, imin), GNE_NO_RANGE);
  EXPECT_EQ(integer->SetIntValue(1), GNE_NO_RANGE);
  EXPECT_EQ(integer->SetIntRange(4, 5), GNE_BAD_RANGE);
  EXPECT_EQ(integer->SetIntRange(5, 5), SUCCESS);
  EXPECT_EQ(integer->GetIntValue(value), GNE_NO_VALUE);

  auto binary = Typed(GENE_BINARY);
  EXPECT_EQ(binary->SetProbability(1.0001f), GNE_BAD_RANGE);
  EXPECT_EQ(binary->SetProbability(-0.0001f), GNE_BAD_RANGE);
  EXPECT_EQ(binary->SetProbability(0.0f), SUCCESS);
  EXPECT_EQ(binary->SetProbability(1.0f), SUCCESS);
}

TEST(Gene, ValuesStayWithinTheBoundsSetFirst) {
  auto gene = Typed(GENE_INTEGER);
  gene->SetIntRange(10, -10);
  EXPECT_EQ(gene->SetIntValue(10), SUCCESS);
  EXPECT_EQ(gene->SetIntValue(-10), SUCCESS);
  EXPECT_EQ(gene->SetIntValue(11), GNE_OUT_OF_RANGE);
  int value = 0;
  EXPECT_EQ(gene->GetIntValue(value), SUCCESS);
  EXPECT_EQ(value, -10);  // the refused value left the old one

  // Narrowing the bounds neither checks nor clears a value.
  ASSERT_EQ(gene->SetIntRange(0, -1), SUCCESS);
  EXPECT_EQ(gene->GetIntValue(value), SUCCESS);
  EXPECT_EQ(value, -10);

  // A binary byte is stored as given.
  auto binary = Typed(GENE_BINARY);
  binary->SetProbability(0.5f);
  EXPECT_EQ(binary->SetBinaryValue(7), SUCCESS);
  char byte = 0;
  EXPECT_EQ(binary->GetBinaryValue(byte), SUCCESS);
  EXPECT_EQ(byte, 7);
}

TEST(Gene, ChangingTheTypeReinterpretsTheCells) {
  auto gene = Typed(GENE_REAL);
  gene->SetRealRange(2.0f, 0.0f);
  ASSERT_EQ(gene->SetRealValue(1.0f), SUCCESS);
  ASSERT_EQ(gene->SetType(GENE_INTEGER), SUCCESS);
  int value = 0, maximum = 0, minimum = 0;
  EXPECT_EQ(gene->GetIntValue(value), SUCCESS);
  EXPECT_EQ(value, 0x3F800000);  // the bits of 1.0f
  EXPECT_EQ(gene->GetIntRange(maximum, minimum), SUCCESS);
  EXPECT_EQ(maximum, 0x40000000);  // the bits of 2.0f
}

TEST(GeneRandomize, IntegerTakesOneDrawModuloTheSpan) {
  auto gene = Typed(GENE_INTEGER);
  gene->SetIntRange(3, 3);
  quill::SeedRand(99);
  ASSERT_EQ(gene->Randomize(), SUCCESS);
  int value = 0;
  gene->GetIntValue(value);
  EXPECT_EQ(value, 3);
  EXPECT_EQ(DrawsSince(99), 1);

  gene->SetIntRange(10, -5);  // span 16
  ForceNextDraw(37);
  gene->Randomize();
  gene->GetIntValue(value);
  EXPECT_EQ(value, -5 + 5);  // 37 % 16 = 5

  // The full 32-bit range neither wraps the span nor divides by zero. It
  // joins three draws, here 32767, 12747 and 10849: modulo 2^32 that is
  // (3 << 30) + (12747 << 15) + 10849 = 3638930017 above the minimum.
  gene->SetIntRange(INT_MAX, INT_MIN);
  ForceNextDraw(32767);
  ASSERT_EQ(gene->Randomize(), SUCCESS);
  gene->GetIntValue(value);
  EXPECT_EQ(value, 1491446369);
}

TEST(GeneRandomize, RealReachesBothBounds) {
  EXPECT_EQ(RealFromDraw(1.0f, 0.0f, 32767), 1.0f);
  EXPECT_EQ(RealFromDraw(1.0f, 0.0f, 0), 0.0f);
  EXPECT_EQ(RealFromDraw(10.0f, -10.0f, 32767), 10.0f);
  // -10 + (8192 / 32767) * 20 = -10 + 5.00015259... = -4.99984740..., as float.
  EXPECT_EQ(RealFromDraw(10.0f, -10.0f, 8192), static_cast<float>(-4.99984740745262));
}

TEST(GeneRandomize, BinaryThresholdIsTruncatedInDouble) {
  // 0.7f * 1000 in double is 699.99998..., so the threshold is 699.
  EXPECT_EQ(BinaryFromDraw(0.7f, 699), 1);
  EXPECT_EQ(BinaryFromDraw(0.7f, 700), 0);
  // Probability 0 still gives 1 when the draw modulo 1001 is 0.
  EXPECT_EQ(BinaryFromDraw(0.0f, 3 * 1001), 1);
  EXPECT_EQ(BinaryFromDraw(0.0f, 1), 0);
  EXPECT_EQ(BinaryFromDraw(1.0f, 1000), 1);
}

TEST(GeneClone, CopiesWhatIsSetAndNothingElse) {
  auto gene = Typed(GENE_REAL);
  gene->SetRealRange(4.0f, -4.0f);
  gene->SetRealValue(2.5f);
  std::unique_ptr<Gene> copy = gene->Clone();
  float value = 0.0f, maximum = 0.0f, minimum = 0.0f;
  EXPECT_EQ(copy->GetRealValue(value), SUCCESS);
  EXPECT_EQ(value, 2.5f);
  EXPECT_EQ(copy->GetRealRange(maximum, minimum), SUCCESS);
  EXPECT_EQ(maximum, 4.0f);
  EXPECT_EQ(minimum, -4.0f);
  copy->SetRealValue(-1.0f);
  gene->GetRealValue(value);
  EXPECT_EQ(value, 2.5f);

  // A typed gene without bounds clones to the type alone.
  std::unique_ptr<Gene> bare = Typed(GENE_INTEGER)->Clone();
  int imax = 0, imin = 0;
  EXPECT_EQ(bare->GetIntRange(imax, imin), GNE_NO_RANGE);
}

TEST(GeneCloneDeathTest, ValueOutsideNarrowedBoundsStops) {
  auto gene = Typed(GENE_REAL);
  gene->SetRealRange(10.0f, 0.0f);
  gene->SetRealValue(8.0f);
  gene->SetRealRange(1.0f, 0.0f);
  EXPECT_DEATH(gene->Clone(), "Assertion failed: IntReturn == SUCCESS, file Bramble/Bramble10");
}

}  // namespace
