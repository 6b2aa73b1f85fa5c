#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "Bramble/Codes.h"
#include "Bramble/Population.h"
#include "DrawControl.h"

namespace {

using bramble_test::DrawsSince;
using bramble_test::ForceNextDraw;

std::unique_ptr<MetaChrom> RealDefinition(int length) {
  auto def = std::make_unique<MetaChrom>(length);
  for (int i = 1; i <= length; ++i) {
    def->SetGeneType(i, GENE_REAL);
    def->SetRealRange(i, 1.0f, -1.0f);
  }
  return def;
}

// A population of generation 1 with one real gene per individual and the
// given fitness values; identifiers 1..size.
std::unique_ptr<Population> WithFitness(const std::vector<float>& fitness, int generation = 0) {
  auto def = RealDefinition(1);
  const int size = static_cast<int>(fitness.size());
  auto pop = std::make_unique<Population>(generation, size, 1, def.get());
  for (int i = 1; i <= size; ++i) {
    EXPECT_EQ(pop->SetIdentifier(i, i), SUCCESS);
    EXPECT_EQ(pop->SetFitness(i, fitness[i - 1]), SUCCESS);
    EXPECT_EQ(pop->SetRealValue(i, 1, 0.0f), SUCCESS);
  }
  return pop;
}

std::vector<float> FitnessOf(Population& pop) {
  std::vector<float> values;
  for (int i = 1; i <= pop.Size(); ++i) {
    float f = -1.0f;
    EXPECT_EQ(pop.GetFitness(i, f), SUCCESS);
    values.push_back(f);
  }
  return values;
}

std::vector<int> IdentifiersOf(Population& pop) {
  std::vector<int> ids;
  for (int i = 1; i <= pop.Size(); ++i) {
    int id = -1;
    EXPECT_EQ(pop.GetIdentifier(i, id), SUCCESS);
    ids.push_back(id);
  }
  return ids;
}

TEST(Population, ConstructionNumbersAndTypesIndividuals) {
  auto def = RealDefinition(2);
  Population pop(2, 3, 2, def.get());
  EXPECT_EQ(pop.Size(), 3);
  EXPECT_EQ(pop.CursorPosition(), 1);
  EXPECT_EQ(IdentifiersOf(pop), (std::vector<int>{7, 8, 9}));  // 2 * 3 + i
  float maximum = 0.0f, minimum = 0.0f, value = 0.0f;
  EXPECT_EQ(pop.GetRealRange(3, 2, maximum, minimum), SUCCESS);
  EXPECT_EQ(maximum, 1.0f);
  EXPECT_EQ(pop.GetRealValue(3, 2, value), GNE_NO_VALUE);
  EXPECT_EQ(pop.GetRealValue(4, 1, value), POP_BAD_INDEX);
  EXPECT_EQ(pop.GetRealValue(1, 3, value), CHM_BAD_INDEX);
  EXPECT_NE(pop.Definition(), def.get());  // its own copy

  quill::SeedRand(10);
  ASSERT_EQ(pop.Randomize(), SUCCESS);
  EXPECT_EQ(DrawsSince(10), 6);
  EXPECT_EQ(pop.GetRealValue(3, 2, value), SUCCESS);

  EXPECT_EQ(Population(0, 0, 2, def.get()).Size(), 0);
  EXPECT_EQ(Population(0, -2, 2, nullptr).Size(), 0);
}

TEST(Population, PerPositionAccessCheckPositions) {
  auto pop = WithFitness({1.0f, 2.0f});
  int one = 0, two = 0;
  EXPECT_EQ(pop->SetParents(2, 5, 6), SUCCESS);
  EXPECT_EQ(pop->GetParents(2, one, two), SUCCESS);
  EXPECT_EQ(one, 5);
  EXPECT_EQ(two, 6);
  EXPECT_EQ(pop->SetParents(3, 5, 6), POP_BAD_INDEX);
  EXPECT_EQ(pop->SetFitness(0, 1.0f), POP_BAD_INDEX);
  EXPECT_EQ(pop->SetFitness(1, -1.0f), IDV_NEGATIVE_FITNESS);
  EXPECT_EQ(pop->CloneIndividual(3), nullptr);
  EXPECT_EQ(pop->CloneGene(1, 2), nullptr);
  EXPECT_EQ(pop->MateIndividuals(1, 3, 1), nullptr);
  EXPECT_EQ(pop->RandomizeIndividual(3), POP_BAD_INDEX);

  auto gene = pop->CloneGene(2, 1);
  ASSERT_NE(gene, nullptr);
  gene->SetRealValue(0.75f);
  ASSERT_EQ(pop->ReplaceGene(1, 1, std::move(gene)), SUCCESS);
  float value = 0.0f;
  pop->GetRealValue(1, 1, value);
  EXPECT_EQ(value, 0.75f);

  std::unique_ptr<Individual> child = pop->MateIndividuals(1, 2, 1);
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(child->ParentOne(), 1);
  EXPECT_EQ(child->ParentTwo(), 2);
}

TEST(PopulationStatistics, TiesKeepTheLowestPosition) {
  auto pop = WithFitness({1.0f, 3.0f, 3.0f, 2.0f});
  int best = 0, worst = 0;
  EXPECT_EQ(pop->GetBestFitness(best), 3.0f);  // computed on first use
  EXPECT_EQ(best, 2);
  EXPECT_EQ(pop->GetWorstFitness(worst), 1.0f);
  EXPECT_EQ(worst, 1);
  EXPECT_EQ(pop->GetTotalFitness(), 9.0f);
  EXPECT_EQ(pop->GetMeanFitness(), 2.25f);

  auto low = WithFitness({2.0f, 1.0f, 1.0f});
  low->ComputeStatistics();
  EXPECT_EQ(low->GetWorstFitness(worst), 1.0f);
  EXPECT_EQ(worst, 2);

  // Cached: a later change is not seen until computed again.
  pop->SetFitness(1, 10.0f);
  EXPECT_EQ(pop->GetBestFitness(best), 3.0f);
  pop->ComputeStatistics();
  EXPECT_EQ(pop->GetBestFitness(best), 10.0f);
  EXPECT_EQ(best, 1);
}

TEST(PopulationStatistics, TotalIsRoundedToFloatAfterEachAddition) {
  // 2^24 + 1 + 1 is 16777218 exactly, but each float addition of 1 to 2^24
  // rounds back to 2^24.
  auto pop = WithFitness({16777216.0f, 1.0f, 1.0f});
  pop->ComputeStatistics();
  EXPECT_EQ(pop->GetTotalFitness(), 16777216.0f);
}

TEST(PopulationStatisticsDeathTest, EmptyPopulationStops) {
  Population pop(0, 0, 0, nullptr);
  EXPECT_DEATH(pop.ComputeStatistics(), "Assertion failed: IntReturn == SUCCESS");
}

TEST(PopulationNormalise, RescalesLinearlyFromTheCachedBounds) {
  auto pop = WithFitness({2.0f, 4.0f, 6.0f});
  pop->ComputeStatistics();
  ASSERT_EQ(pop->Normalise(NORMALISE_LINEAR), SUCCESS);
  EXPECT_EQ(FitnessOf(*pop), (std::vector<float>{0.0f, 0.5f, 1.0f}));
  int position = 0;
  EXPECT_EQ(pop->GetBestFitness(position), 1.0f);
  EXPECT_EQ(position, 3);
  EXPECT_EQ(pop->GetWorstFitness(position), 0.0f);
  EXPECT_EQ(pop->GetTotalFitness(), 1.5f);
  EXPECT_EQ(pop->GetMeanFitness(), 0.5f);

  auto flat = WithFitness({5.0f, 5.0f, 5.0f});
  flat->ComputeStatistics();
  ASSERT_EQ(flat->Normalise(NORMALISE_LINEAR), SUCCESS);
  EXPECT_EQ(FitnessOf(*flat), (std::vector<float>{0.5f, 0.5f, 0.5f}));
  EXPECT_EQ(flat->GetTotalFitness(), 1.5f);

  auto bad = WithFitness({2.0f, 4.0f});
  bad->ComputeStatistics();
  EXPECT_EQ(bad->Normalise(30), POP_BAD_METHOD);
  EXPECT_EQ(FitnessOf(*bad), (std::vector<float>{2.0f, 4.0f}));

  // Never computed: best and worst are both 0, so every value becomes 0.5.
  auto stale = WithFitness({2.0f, 4.0f});
  ASSERT_EQ(stale->Normalise(NORMALISE_LINEAR), SUCCESS);
  EXPECT_EQ(FitnessOf(*stale), (std::vector<float>{0.5f, 0.5f}));
}

TEST(PopulationWheel, SlotsFollowTheFitnessShares) {
  auto pop = WithFitness({2.0f, 4.0f, 6.0f});
  pop->ComputeStatistics();
  pop->Normalise(NORMALISE_LINEAR);  // 0, 0.5, 1; total 1.5
  pop->BuildWheel();
  EXPECT_EQ(pop->WheelSlots(), 30);  // 0 + 10 + 20 of 30
  // Slots 0..9 hold position 2, slots 10..29 position 3.
  ForceNextDraw(9);
  EXPECT_EQ(pop->RoulettePick()->Identifier(), 2);
  ForceNextDraw(30 + 10);
  EXPECT_EQ(pop->RoulettePick()->Identifier(), 3);

  // Shares truncate: 1 and 2 of 3 over 20 slots give 6 and 13.
  auto uneven = WithFitness({1.0f, 2.0f});
  uneven->BuildWheel();
  EXPECT_EQ(uneven->WheelSlots(), 19);
  ForceNextDraw(5);
  EXPECT_EQ(uneven->RoulettePick()->Identifier(), 1);
  ForceNextDraw(6);
  EXPECT_EQ(uneven->RoulettePick()->Identifier(), 2);
}

TEST(PopulationWheel, BuiltOnceAndNotRebuiltAfterFitnessChanges) {
  auto pop = WithFitness({1.0f, 1.0f});
  ForceNextDraw(0);
  EXPECT_EQ(pop->RoulettePick()->Identifier(), 1);
  pop->SetFitness(1, 0.0f);
  pop->ComputeStatistics();
  ForceNextDraw(0);
  EXPECT_EQ(pop->RoulettePick()->Identifier(), 1);
  EXPECT_EQ(pop->WheelSlots(), 20);
}

TEST(PopulationWheelDeathTest, AllZeroFitnessStops) {
  auto pop = WithFitness({0.0f, 0.0f});
  EXPECT_DEATH(pop->RoulettePick(), "Assertion failed: MbrNdxMaxWheelIndex > 0");
}

TEST(PopulationSelection, TournamentReturnsTheSecondPickOnATie) {
  auto pop = WithFitness({1.0f, 1.0f});  // slots 0..9 position 1, 10..19 position 2
  // Seed 1 draws 346 and 130: slots 6 and 10, picks 1 then 2.
  quill::SeedRand(1);
  EXPECT_EQ(pop->Tournament()->Identifier(), 2);
  // Seed 2 draws 692 and 32682: slots 12 and 2, picks 2 then 1.
  quill::SeedRand(2);
  EXPECT_EQ(pop->Tournament()->Identifier(), 1);
  EXPECT_EQ(DrawsSince(2), 2);

  auto unequal = WithFitness({1.0f, 3.0f});  // slots 0..9 position 1, 10..39 position 2
  quill::SeedRand(2);                        // slots 12 and 2: the fitter first pick wins
  EXPECT_EQ(unequal->Tournament()->Identifier(), 2);
}

TEST(PopulationSelection, SelectClonesPicks) {
  auto pop = WithFitness({1.0f, 3.0f});
  quill::SeedRand(3);
  std::unique_ptr<Population> chosen = pop->Select(5, SELECT_TOURNAMENT);
  EXPECT_EQ(chosen->Size(), 5);
  EXPECT_EQ(chosen->Generation(), 0);
  EXPECT_EQ(DrawsSince(3), 10);
  EXPECT_EQ(pop->Size(), 2);
  EXPECT_EQ(pop->Select(5, 23)->Size(), 0);
}

TEST(PopulationBreed, ChildrenNumberedAfterTheBreedingGeneration) {
  auto def = RealDefinition(4);
  Population pop(1, 10, 4, def.get());
  quill::SeedRand(12);
  pop.Randomize();
  for (int i = 1; i <= 10; ++i)
    pop.SetFitness(i, static_cast<float>(i));
  std::unique_ptr<Population> next = pop.Breed(8, 1, SELECT_ROULETTE);
  EXPECT_EQ(next->Generation(), 2);
  EXPECT_EQ(IdentifiersOf(*next), (std::vector<int>{11, 12, 13, 14, 15, 16, 17, 18}));
  for (int i = 1; i <= 8; ++i) {
    int one = 0, two = 0;
    next->GetParents(i, one, two);
    EXPECT_GE(one, 11);  // the breeding population's identifiers
    EXPECT_LE(one, 20);
    EXPECT_GE(two, 11);
    float fitness = -1.0f, value = 9.0f;
    next->GetFitness(i, fitness);
    EXPECT_EQ(fitness, 0.0f);
    EXPECT_EQ(next->GetRealValue(i, 4, value), SUCCESS);
  }
  EXPECT_EQ(pop.Size(), 10);

  std::unique_ptr<Population> none = pop.Breed(8, 1, 23);
  EXPECT_EQ(none->Size(), 0);
  EXPECT_EQ(none->Generation(), 2);
}

TEST(PopulationBreed, MutateSkipsRatesAtOrBelowZero) {
  auto def = RealDefinition(3);
  Population pop(0, 4, 3, def.get());
  quill::SeedRand(8);
  pop.Randomize();
  quill::SeedRand(21);
  EXPECT_EQ(pop.Mutate(0.0f), SUCCESS);
  EXPECT_EQ(pop.Mutate(-1.0f), SUCCESS);
  EXPECT_EQ(DrawsSince(21), 0);
  EXPECT_EQ(pop.MutateIndividual(1, 0.0f), SUCCESS);  // no skipping here
  EXPECT_GE(DrawsSince(21), 3);
  quill::SeedRand(21);
  EXPECT_EQ(pop.Mutate(-0.0f), SUCCESS);
  EXPECT_EQ(DrawsSince(21), 0);
  EXPECT_EQ(pop.Mutate(1.0f), SUCCESS);
  EXPECT_EQ(DrawsSince(21), 4 * 3 * 2);
}

TEST(PopulationElites, SingleEliteIsTheFirstBest) {
  auto source = WithFitness({1.0f, 5.0f, 2.0f, 3.0f, 5.0f});
  auto target = WithFitness({0.5f});
  ASSERT_EQ(target->AddElites(1, source.get()), SUCCESS);
  EXPECT_EQ(IdentifiersOf(*target), (std::vector<int>{1, 2}));
  EXPECT_EQ(IdentifiersOf(*source), (std::vector<int>{1, 3, 4, 5}));
  EXPECT_EQ(target->AddElites(1, nullptr), POP_NULL_POINTER);
}

TEST(PopulationElites, SeveralElitesComeSortedFromTheSource) {
  auto source = WithFitness({1.0f, 5.0f, 2.0f, 3.0f, 4.0f});
  auto target = WithFitness({0.5f});
  target->SetIdentifier(1, 99);
  ASSERT_EQ(target->AddElites(3, source.get()), SUCCESS);
  EXPECT_EQ(IdentifiersOf(*target), (std::vector<int>{99, 4, 5, 2}));
  EXPECT_EQ(FitnessOf(*target), (std::vector<float>{0.5f, 3.0f, 4.0f, 5.0f}));
  EXPECT_EQ(IdentifiersOf(*source), (std::vector<int>{1, 3}));
}

TEST(PopulationSort, AscendingWithEqualFitnessReversed) {
  auto pop = WithFitness({3.0f, 1.0f, 2.0f});
  pop->Sort();
  EXPECT_EQ(FitnessOf(*pop), (std::vector<float>{1.0f, 2.0f, 3.0f}));
  EXPECT_EQ(IdentifiersOf(*pop), (std::vector<int>{2, 3, 1}));

  auto ties = WithFitness({2.0f, 2.0f});
  ties->Sort();
  EXPECT_EQ(IdentifiersOf(*ties), (std::vector<int>{2, 1}));

  auto mixed = WithFitness({2.0f, 1.0f, 2.0f, 1.0f});
  mixed->ComputeStatistics();
  mixed->Sort();
  EXPECT_EQ(IdentifiersOf(*mixed), (std::vector<int>{4, 2, 3, 1}));
  int best = 0, worst = 0;
  EXPECT_EQ(mixed->GetBestFitness(best), 2.0f);
  EXPECT_EQ(best, 4);
  mixed->GetWorstFitness(worst);
  EXPECT_EQ(worst, 1);
}

TEST(PopulationCopies, CloneStartsAtGenerationOne) {
  auto pop = WithFitness({1.0f, 2.0f}, 5);
  pop->SetRealValue(2, 1, 0.25f);
  std::unique_ptr<Population> copy = pop->Clone();
  EXPECT_EQ(copy->Generation(), 1);
  EXPECT_EQ(IdentifiersOf(*copy), (std::vector<int>{1, 2}));
  EXPECT_EQ(FitnessOf(*copy), (std::vector<float>{1.0f, 2.0f}));
  float value = 0.0f;
  copy->GetRealValue(2, 1, value);
  EXPECT_EQ(value, 0.25f);
  copy->SetRealValue(2, 1, -0.5f);
  pop->GetRealValue(2, 1, value);
  EXPECT_EQ(value, 0.25f);
  EXPECT_NE(copy->Definition(), pop->Definition());
}

TEST(PopulationCopies, RangesCheckTheirBounds) {
  auto pop = WithFitness({1.0f, 2.0f, 3.0f, 4.0f}, 3);
  std::unique_ptr<Population> empty = pop->CopyRange(3, 2);
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->Size(), 0);
  EXPECT_EQ(pop->CopyRange(3, 5), nullptr);
  EXPECT_EQ(pop->CutRange(5, 5), nullptr);

  std::unique_ptr<Population> middle = pop->CopyRange(2, 3);
  EXPECT_EQ(middle->Generation(), 0);
  EXPECT_EQ(IdentifiersOf(*middle), (std::vector<int>{2, 3}));
  EXPECT_EQ(pop->Size(), 4);

  std::unique_ptr<Population> cut = pop->CutRange(2, 3);
  EXPECT_EQ(IdentifiersOf(*cut), (std::vector<int>{2, 3}));
  EXPECT_EQ(IdentifiersOf(*pop), (std::vector<int>{1, 4}));

  ASSERT_EQ(pop->MoveFrom(cut.get()), SUCCESS);
  EXPECT_EQ(cut->Size(), 0);
  EXPECT_EQ(IdentifiersOf(*pop), (std::vector<int>{1, 4, 2, 3}));
  ASSERT_EQ(pop->AppendCopies(middle.get()), SUCCESS);
  EXPECT_EQ(middle->Size(), 2);
  EXPECT_EQ(pop->Size(), 6);
  EXPECT_EQ(pop->MoveFrom(pop.get()), SUCCESS);
  EXPECT_EQ(pop->Size(), 6);
  EXPECT_EQ(pop->MoveFrom(nullptr), POP_NULL_POINTER);
  EXPECT_EQ(pop->AppendCopies(nullptr), POP_NULL_POINTER);
}

TEST(PopulationList, InsertReplaceDetachKeepTheCursorRules) {
  auto pop = WithFitness({1.0f, 2.0f, 3.0f});
  std::unique_ptr<Individual> none;
  EXPECT_EQ(pop->InsertIndividual(std::move(none), 4), POP_BAD_INDEX);
  EXPECT_EQ(pop->InsertIndividual(std::move(none), 1), POP_NULL_POINTER);
  EXPECT_EQ(pop->AppendIndividual(std::move(none)), POP_NULL_POINTER);

  pop->Locate(3);
  auto first = std::make_unique<Individual>(1, pop->Definition());
  first->SetIdentifier(10);
  ASSERT_EQ(pop->InsertIndividual(std::move(first), 1), SUCCESS);
  EXPECT_EQ(pop->CursorPosition(), 4);
  EXPECT_EQ(IdentifiersOf(*pop), (std::vector<int>{10, 1, 2, 3}));

  auto middle = std::make_unique<Individual>(1, pop->Definition());
  middle->SetIdentifier(20);
  ASSERT_EQ(pop->ReplaceIndividual(std::move(middle), 3), SUCCESS);
  EXPECT_EQ(IdentifiersOf(*pop), (std::vector<int>{10, 1, 20, 3}));

  std::unique_ptr<Individual> out = pop->DetachIndividual(1);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(out->Identifier(), 10);
  EXPECT_EQ(pop->DetachIndividual(4), nullptr);
  EXPECT_EQ(pop->DeleteIndividual(0), POP_BAD_INDEX);
  EXPECT_EQ(pop->DeleteIndividual(3), SUCCESS);
  EXPECT_EQ(IdentifiersOf(*pop), (std::vector<int>{1, 20}));
}

TEST(PopulationList, ReplaceWorstFillsTheLowestPositions) {
  auto pop = WithFitness({5.0f, 1.0f, 3.0f});
  auto incoming = WithFitness({7.0f, 8.0f});
  incoming->SetIdentifier(1, 71);
  incoming->SetIdentifier(2, 81);
  ASSERT_EQ(pop->ReplaceWorst(incoming.get()), SUCCESS);
  EXPECT_EQ(incoming->Size(), 0);
  EXPECT_EQ(IdentifiersOf(*pop), (std::vector<int>{71, 81, 1}));
  EXPECT_EQ(pop->ReplaceWorst(nullptr), POP_NULL_POINTER);
}

TEST(PopulationList, LeavingMembersDropTheWheel) {
  auto pop = WithFitness({1.0f, 1.0f});
  pop->BuildWheel();
  std::unique_ptr<Individual> gone = pop->DetachIndividual(1);
  gone.reset();
  // The wheel is filled again from the remaining member, never the departed.
  ForceNextDraw(0);
  EXPECT_EQ(pop->RoulettePick()->Identifier(), 2);
  // 10 slots, shared by the cached total of 2 that still counts the departed.
  EXPECT_EQ(pop->WheelSlots(), 5);
}

}  // namespace
