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

// Parent `base`: genes base + 1 .. base + length.
std::unique_ptr<Individual> Parent(int identifier, int base, int length) {
  std::vector<int> values;
  for (int i = 1; i <= length; ++i)
    values.push_back(base + i);
  return WithGenes(identifier, values);
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

TEST(Individual, FitnessAndCloning) {
  auto original = WithGenes(42, {5, 6});
  EXPECT_EQ(original->SetFitness(0.0f), SUCCESS);
  EXPECT_EQ(original->SetFitness(1.25f), SUCCESS);
  EXPECT_EQ(original->SetFitness(-0.001f), IDV_NEGATIVE_FITNESS);
  EXPECT_EQ(original->SetFitness(NAN), IDV_NEGATIVE_FITNESS);
  original->SetParents(7, 8);

  std::unique_ptr<Individual> copy = original->Clone();
  EXPECT_EQ(copy->Identifier(), 42);
  EXPECT_EQ(copy->ParentOne(), 7);
  EXPECT_EQ(copy->ParentTwo(), 8);
  EXPECT_EQ(copy->Fitness(), 1.25f);
  copy->TheChromosome().SetIntValue(1, 99);
  EXPECT_EQ(Genes(*original), (std::vector<int>{5, 6}));
}

TEST(IndividualMate, MultiPointAlternatesSegmentsStartingWithB) {
  // Seed 535 draws 21433 (412 <= 500: A is the caller), then 16040, 5946 and
  // 27308, which for L = 10 and three cuts give bounds % 7 + 1 = 4, 4, 2.
  quill::SeedRand(535);
  ASSERT_EQ(quill::Rand() % 1001, 412);
  ASSERT_EQ(quill::Rand() % 7 + 1, 4);
  ASSERT_EQ(quill::Rand() % 7 + 1, 4);
  ASSERT_EQ(quill::Rand() % 7 + 1, 2);
  // 1, 4, 4, 2, 11 sorts to 1, 2, 4, 4 and spreads to 1, 3, 6, 7 (11 stays):
  // genes 1-2 from B, 3-5 from A, 6 from B, 7-10 from A.
  auto a = Parent(1, 0, 10);
  auto b = Parent(2, 100, 10);
  quill::SeedRand(535);
  std::unique_ptr<Individual> child = a->Mate(b.get(), 3);
  EXPECT_EQ(DrawsSince(535), 4);
  EXPECT_EQ(Genes(*child), (std::vector<int>{101, 102, 3, 4, 5, 106, 7, 8, 9, 10}));
  EXPECT_EQ(child->ParentOne(), 1);
  EXPECT_EQ(child->ParentTwo(), 2);
  EXPECT_EQ(child->Identifier(), 0);
  EXPECT_EQ(Genes(*a), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
}

TEST(IndividualMate, OnePointGivesBTheTail) {
  // Seed 2 draws 692 (> 500: A is the mate) and 32682: cut 32682 % 10 + 1 = 3.
  auto caller = Parent(1, 0, 10);
  auto mate = Parent(2, 100, 10);
  quill::SeedRand(2);
  std::unique_ptr<Individual> child = caller->Mate(mate.get(), 1);
  EXPECT_EQ(Genes(*child), (std::vector<int>{101, 102, 3, 4, 5, 6, 7, 8, 9, 10}));
  EXPECT_EQ(child->ParentOne(), 1);  // the caller, although it was B
  EXPECT_EQ(child->ParentTwo(), 2);

  // Length 1: the cut is always 1, so the child is B's only gene.
  auto one = Parent(1, 4, 1);
  auto other = Parent(2, 5, 1);
  ForceNextDraw(600);  // B is the caller
  EXPECT_EQ(Genes(*one->Mate(other.get(), 1)), (std::vector<int>{5}));
  ForceNextDraw(500);  // B is the mate
  EXPECT_EQ(Genes(*one->Mate(other.get(), 1)), (std::vector<int>{6}));
  // Points 0 with L >= 2 is one segment: a copy of B.
  ForceNextDraw(0);
  EXPECT_EQ(Genes(*caller->Mate(mate.get(), 0)), Genes(*mate));
}

TEST(IndividualMate, PointsSelectTheKindOfCrossover) {
  const struct {
    int length;
    int points;
    int draws;  // one for the order, then the crossover's own
  } cases[] = {
      {10, 1, 2},        // one-point
      {2, 1, 2},         // still one-point at L = 2
      {10, 8, 1 + 8},    // multi-point, every bound drawn from 1..2
      {10, 9, 1 + 10},   // L - 1: uniform
      {10, -1, 1 + 10},  // negative: uniform
      {1, 0, 1 + 1},     // 0 >= L - 1: uniform
      {0, 1, 1},         // nothing to cut: an empty child
  };
  for (const auto& c : cases) {
    auto a = Parent(1, 0, c.length);
    auto b = Parent(2, 100, c.length);
    quill::SeedRand(77);
    std::unique_ptr<Individual> child = a->Mate(b.get(), c.points);
    EXPECT_EQ(DrawsSince(77), c.draws) << c.length << " " << c.points;
    std::vector<int> genes = Genes(*child);
    ASSERT_EQ(static_cast<int>(genes.size()), c.length);
    for (int i = 1; i <= c.length; ++i)
      EXPECT_EQ(genes[i - 1] % 100, i);
  }
}

TEST(IndividualMate, UniformDrawsOncePerGene) {
  auto a = Parent(1, 0, 3);
  auto b = Parent(2, 100, 3);
  quill::SeedRand(9);
  const bool caller_is_a = quill::Rand() % 1001 <= 500;
  std::vector<int> expected;
  for (int i = 1; i <= 3; ++i) {
    const bool from_a = quill::Rand() % 1001 <= 500;
    expected.push_back(from_a == caller_is_a ? i : 100 + i);
  }
  quill::SeedRand(9);
  EXPECT_EQ(Genes(*a->Mate(b.get(), -1)), expected);
}

TEST(IndividualMate, CutsReachEveryStretchOfALongChromosome) {
  // 40,000 genes, A's all 0 and B's all 1, so the child's value changes at
  // each cut. Past 32768 positions a cut joins two draws: in 600 one-point and
  // 200 three-point matings each stretch of 1,000 positions holds a cut (one
  // draw never cut past 32768). A one-point cut is RandBelow(length) + 1 from
  // the draws after the order draw; a cut at 1 shows no change.
  const int length = 40000;
  MetaChrom def(length);  // shared, as in a population
  for (int i = 1; i <= length; ++i) {
    def.SetGeneType(i, GENE_INTEGER);
    def.SetIntRange(i, 1, 0);
  }
  Individual zeros(length, &def), ones(length, &def);
  for (int i = 1; i <= length; ++i) {
    zeros.TheChromosome().SetIntValue(i, 0);
    ones.TheChromosome().SetIntValue(i, 1);
  }
  for (int points : {1, 3}) {
    std::vector<int> met(length / 1000, 0);
    quill::SeedRand(static_cast<std::uint32_t>(points));
    for (int m = 0; m < 600 / points; ++m) {
      const std::uint32_t before = quill::RandState();
      quill::Rand();
      const std::int64_t drawn = quill::RandBelow(length) + 1;
      quill::SetRandState(before);
      std::unique_ptr<Individual> child = zeros.Mate(&ones, points);
      const GeneCell* genes = child->TheChromosome().Values();
      std::vector<int> cuts;
      for (int i = 1; i < length; ++i) {
        if (genes[i].AsInt() != genes[i - 1].AsInt()) cuts.push_back(i + 1);
      }
      ASSERT_EQ(static_cast<int>(cuts.size()), points == 1 && drawn == 1 ? 0 : points);
      if (points == 1 && drawn > 1) {
        ASSERT_EQ(cuts[0], drawn);
      }
      for (int cut : cuts)
        ++met[(cut - 1) / 1000];
    }
    for (int k = 0; k < length / 1000; ++k)
      EXPECT_GT(met[k], 0) << "points " << points << ", positions from " << k * 1000 + 1;
  }
}

TEST(IndividualMateDeathTest, MateMustExistAndFit) {
  auto a = Parent(1, 0, 3);
  auto shorter = Parent(2, 0, 2);
  EXPECT_DEATH(a->Mate(nullptr, 1), "Assertion failed: PtrIdvMate != 0");
  EXPECT_DEATH(a->Mate(shorter.get(), 1),
               "Assertion failed: NdxMateChromLength == NdxChromLength, file Bramble/Bramble10");
}

}  // namespace
