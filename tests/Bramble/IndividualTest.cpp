#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "Bramble/Codes.h"
#include "Bramble/Individual.h"
#include "Bramble/MetaChrom.h"
#include "DrawControl.h"

namespace {

using bramble_test::DrawsSince;
using bramble_test::ForceNextDraw;

// An individual whose integer genes (bounds 0..1000) hold `values`.
std::unique_ptr<Individual> WithGenes(int identifier, const std::vector<int>& values) {
  const int length = static_cast<int>(values.size());
  MetaChrom def(length);
  for (int i = 1; i <= length; ++i) {
    def.SetGeneType(i, GENE_INTEGER);
    def.SetIntRange(i, 1000, 0);
  }
  auto individual = std::make_unique<Individual>(length, &def);
  individual->SetIdentifier(identifier);
  for (int i = 1; i <= length; ++i)
    individual->TheChromosome().SetIntValue(i, values[i - 1]);
  return individual;
}

std::vector<int> Genes(Individual& individual) {
  std::vector<int> values;
  Chromosome& chrom = individual.TheChromosome();
  for (int i = 1; i <= chrom.Length(); ++i) {
    int value = -1;
    EXPECT_EQ(chrom.GetIntValue(i, value), SUCCESS);
    values.push_back(value);
  }
  return values;
}

// Ten genes 1..10 for parent one and 101..110 for parent two.
std::unique_ptr<Individual> ParentOne() {
  return WithGenes(1, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
}
std::unique_ptr<Individual> ParentTwo() {
  return WithGenes(2, {101, 102, 103, 104, 105, 106, 107, 108, 109, 110});
}

TEST(Individual, FitnessIsNeverNegative) {
  Individual individual(0, nullptr);
  EXPECT_EQ(individual.Fitness(), 0.0f);
  EXPECT_EQ(individual.Identifier(), 0);
  EXPECT_EQ(individual.SetFitness(0.0f), SUCCESS);
  EXPECT_EQ(individual.SetFitness(2.5f), SUCCESS);
  EXPECT_EQ(individual.SetFitness(-0.001f), IDV_NEGATIVE_FITNESS);
  EXPECT_EQ(individual.SetFitness(NAN), IDV_NEGATIVE_FITNESS);
  EXPECT_EQ(individual.Fitness(), 2.5f);
}

TEST(Individual, CloneCopiesEverythingIndependently) {
  auto original = WithGenes(42, {5, 6});
  original->SetParents(7, 8);
  original->SetFitness(1.25f);
  std::unique_ptr<Individual> copy = original->Clone();
  EXPECT_EQ(copy->Identifier(), 42);
  EXPECT_EQ(copy->ParentOne(), 7);
  EXPECT_EQ(copy->ParentTwo(), 8);
  EXPECT_EQ(copy->Fitness(), 1.25f);
  EXPECT_EQ(Genes(*copy), (std::vector<int>{5, 6}));
  copy->TheChromosome().SetIntValue(1, 99);
  EXPECT_EQ(Genes(*original), (std::vector<int>{5, 6}));
}

TEST(IndividualMate, MultiPointAlternatesSegmentsStartingWithB) {
  // Seed 535 draws 21433 (order: 412 <= 500, so A is the caller), then for
  // L = 10 and three cuts 16040, 5946, 27308, which modulo 7 plus 1 are 4, 4, 2.
  quill::SeedRand(535);
  ASSERT_EQ(quill::Rand() % 1001, 412);
  ASSERT_EQ(quill::Rand() % 7 + 1, 4);
  ASSERT_EQ(quill::Rand() % 7 + 1, 4);
  ASSERT_EQ(quill::Rand() % 7 + 1, 2);
  // Bounds 1, 4, 4, 2, 11 sort to 1, 2, 4, 4 and spread to 1, 3, 6, 7, 11:
  // genes 1-2 from B, 3-5 from A, 6 from B, 7-10 from A.
  auto a = ParentOne();
  auto b = ParentTwo();
  quill::SeedRand(535);
  std::unique_ptr<Individual> child = a->Mate(b.get(), 3);
  EXPECT_EQ(DrawsSince(535), 4);
  EXPECT_EQ(Genes(*child), (std::vector<int>{101, 102, 3, 4, 5, 106, 7, 8, 9, 10}));
  EXPECT_EQ(child->ParentOne(), 1);
  EXPECT_EQ(child->ParentTwo(), 2);
  EXPECT_EQ(child->Identifier(), 0);
  EXPECT_EQ(child->Fitness(), 0.0f);
  EXPECT_EQ(Genes(*a), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
}

TEST(IndividualMate, OnePointCutsOnceWithBGivingTheTail) {
  // Seed 2 draws 692 (order: 692 > 500, so A is the mate) and 32682, whose
  // cut is 32682 % 10 + 1 = 3: genes 1-2 from the mate, 3-10 from the caller.
  auto caller = ParentOne();
  auto mate = ParentTwo();
  quill::SeedRand(2);
  std::unique_ptr<Individual> child = caller->Mate(mate.get(), 1);
  EXPECT_EQ(DrawsSince(2), 2);
  EXPECT_EQ(Genes(*child), (std::vector<int>{101, 102, 3, 4, 5, 6, 7, 8, 9, 10}));
  // Parents are caller first, mate second, whichever was A.
  EXPECT_EQ(child->ParentOne(), 1);
  EXPECT_EQ(child->ParentTwo(), 2);

  // Length 1: the cut is always 1, so the child is B's only gene.
  auto one = WithGenes(1, {5});
  auto other = WithGenes(2, {6});
  ForceNextDraw(600);  // > 500: A is the mate, B the caller
  EXPECT_EQ(Genes(*one->Mate(other.get(), 1)), (std::vector<int>{5}));
  ForceNextDraw(500);  // <= 500: B is the mate
  EXPECT_EQ(Genes(*one->Mate(other.get(), 1)), (std::vector<int>{6}));
}

TEST(IndividualMate, PointsSelectTheKindOfCrossover) {
  struct Case {
    int length;
    int points;
    int draws;  // one for the order, then the crossover's own
  };
  const Case cases[] = {
      {10, 1, 2},        // one-point
      {2, 1, 2},         // still one-point at L = 2
      {10, 8, 1 + 8},    // multi-point, every bound drawn from 1..2
      {10, 9, 1 + 10},   // L - 1: uniform
      {10, -1, 1 + 10},  // negative: uniform
      {1, 0, 1 + 1},     // 0 >= L - 1: uniform
      {10, 0, 1},        // one segment: a copy of B
  };
  for (const Case& c : cases) {
    std::vector<int> a_values, b_values;
    for (int i = 1; i <= c.length; ++i) {
      a_values.push_back(i);
      b_values.push_back(100 + i);
    }
    auto a = WithGenes(1, a_values);
    auto b = WithGenes(2, b_values);
    quill::SeedRand(77);
    std::unique_ptr<Individual> child = a->Mate(b.get(), c.points);
    EXPECT_EQ(DrawsSince(77), c.draws) << c.length << " " << c.points;
    std::vector<int> genes = Genes(*child);
    ASSERT_EQ(static_cast<int>(genes.size()), c.length);
    for (int i = 1; i <= c.length; ++i) {
      EXPECT_TRUE(genes[i - 1] == i || genes[i - 1] == 100 + i) << i;
    }
  }
}

TEST(IndividualMate, PointsZeroCopiesB) {
  auto a = ParentOne();
  auto b = ParentTwo();
  ForceNextDraw(0);  // A is the caller, B the mate
  EXPECT_EQ(Genes(*a->Mate(b.get(), 0)), Genes(*b));
  ForceNextDraw(1000);  // A is the mate, B the caller
  EXPECT_EQ(Genes(*a->Mate(b.get(), 0)), Genes(*a));
}

TEST(IndividualMate, UniformDrawsOncePerGene) {
  auto a = WithGenes(1, {1, 2, 3});
  auto b = WithGenes(2, {101, 102, 103});
  quill::SeedRand(9);
  const int order = quill::Rand() % 1001;
  std::vector<int> expected;
  for (int i = 1; i <= 3; ++i) {
    const bool from_a = quill::Rand() % 1001 <= 500;
    const bool caller_is_a = order <= 500;
    expected.push_back(from_a == caller_is_a ? i : 100 + i);
  }
  quill::SeedRand(9);
  EXPECT_EQ(Genes(*a->Mate(b.get(), -1)), expected);
}

TEST(IndividualMate, EmptyChromosomesGiveAnEmptyChild) {
  Individual a(0, nullptr);
  Individual b(0, nullptr);
  quill::SeedRand(4);
  std::unique_ptr<Individual> child = a.Mate(&b, 1);
  EXPECT_EQ(child->TheChromosome().Length(), 0);
  EXPECT_EQ(DrawsSince(4), 1);  // the order draw only
}

TEST(IndividualMateDeathTest, MateMustExistAndFit) {
  auto a = ParentOne();
  auto shorter = WithGenes(2, {1, 2});
  EXPECT_DEATH(a->Mate(nullptr, 1), "Assertion failed: PtrIdvMate != 0");
  EXPECT_DEATH(a->Mate(shorter.get(), 1),
               "Assertion failed: NdxMateChromLength == NdxChromLength, file Bramble/Bramble10");
}

}  // namespace
