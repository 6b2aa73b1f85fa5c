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

// Individuals with identifiers 1..size, one real gene and the given fitness.
std::unique_ptr<Population> WithFitness(const std::vector<float>& fitness, int generation = 0) {
  const int size = static_cast<int>(fitness.size());
  auto pop = std::make_unique<Population>(generation, size, 1, RealDefinition(1).get());
  for (int i = 1; i <= size; ++i) {
    pop->SetIdentifier(i, i);
    pop->SetFitness(i, fitness[i - 1]);
    pop->SetRealValue(i, 1, 0.0f);
  }
  return pop;
}

std::vector<float> FitnessOf(Population& pop) {
  std::vector<float> values(static_cast<std::size_t>(pop.Size()));
  for (int i = 1; i <= pop.Size(); ++i)
    pop.GetFitness(i, values[i - 1]);
  return values;
}

std::vector<int> IdentifiersOf(Population& pop) {
  std::vector<int> ids(static_cast<std::size_t>(pop.Size()));
  for (int i = 1; i <= pop.Size(); ++i)
    pop.GetIdentifier(i, ids[i - 1]);
  return ids;
}

TEST(Population, ConstructionNumbersIndividualsAfterTheGeneration) {
  auto def = RealDefinition(2);
  Population pop(2, 3, 2, def.get());
  EXPECT_EQ(IdentifiersOf(pop), (std::vector<int>{7, 8, 9}));  // 2 * 3 + i
  float value = 0.0f;
  EXPECT_EQ(pop.GetRealValue(3, 2, value), GNE_NO_VALUE);
  EXPECT_EQ(pop.GetRealValue(4, 1, value), POP_BAD_INDEX);
  EXPECT_EQ(pop.GetRealValue(1, 3, value), CHM_BAD_INDEX);
  EXPECT_EQ(pop.SetFitness(1, -1.0f), IDV_NEGATIVE_FITNESS);
  EXPECT_EQ(pop.MateIndividuals(1, 4, 1), nullptr);

  quill::SeedRand(10);
  ASSERT_EQ(pop.Randomize(), SUCCESS);
  EXPECT_EQ(DrawsSince(10), 6);

  // 400,000,000 * 10 + 1 exceeds 2^31: the 32-bit product wraps.
  Population big(400000000, 10, 0, nullptr);
  int id = 0;
  big.GetIdentifier(1, id);
  EXPECT_EQ(id, static_cast<int>(4000000001u));
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

  // Cached until computed again.
  pop->SetFitness(1, 10.0f);
  EXPECT_EQ(pop->GetBestFitness(best), 3.0f);
  pop->ComputeStatistics();
  EXPECT_EQ(pop->GetBestFitness(best), 10.0f);

  // The running total is a float: 2^24 + 1 rounds back to 2^24 each time.
  auto large = WithFitness({16777216.0f, 1.0f, 1.0f});
  EXPECT_EQ(large->GetTotalFitness(), 16777216.0f);
}

TEST(PopulationStatisticsDeathTest, EmptyPopulationStops) {
  Population pop(0, 0, 0, nullptr);
  EXPECT_DEATH(pop.ComputeStatistics(), "Assertion failed: IntReturn == SUCCESS");
}

TEST(PopulationNormalise, RescalesFromTheCachedBestAndWorst) {
  auto pop = WithFitness({2.0f, 4.0f, 6.0f});
  pop->ComputeStatistics();
  ASSERT_EQ(pop->Normalise(NORMALISE_LINEAR), SUCCESS);
  EXPECT_EQ(FitnessOf(*pop), (std::vector<float>{0.0f, 0.5f, 1.0f}));
  int position = 0;
  EXPECT_EQ(pop->GetBestFitness(position), 1.0f);
  EXPECT_EQ(pop->GetTotalFitness(), 1.5f);
  EXPECT_EQ(pop->GetMeanFitness(), 0.5f);

  auto flat = WithFitness({5.0f, 5.0f, 5.0f});
  flat->ComputeStatistics();
  ASSERT_EQ(flat->Normalise(NORMALISE_LINEAR), SUCCESS);
  EXPECT_EQ(FitnessOf(*flat), (std::vector<float>{0.5f, 0.5f, 0.5f}));

  EXPECT_EQ(pop->Normalise(30), POP_BAD_METHOD);
  EXPECT_EQ(FitnessOf(*pop), (std::vector<float>{0.0f, 0.5f, 1.0f}));

  // Never computed: best and worst are both 0, so every value becomes 0.5.
  auto stale = WithFitness({2.0f, 4.0f});
  ASSERT_EQ(stale->Normalise(NORMALISE_LINEAR), SUCCESS);
  EXPECT_EQ(FitnessOf(*stale), (std::vector<float>{0.5f, 0.5f}));
}

TEST(PopulationSelection, WheelSlotsFollowTheFitnessShares) {
  auto pop = WithFitness({2.0f, 4.0f, 6.0f});
  pop->ComputeStatistics();
  pop->Normalise(NORMALISE_LINEAR);  // 0, 0.5, 1 over 30 slots: 0, 10, 20
  ForceNextDraw(9);
  EXPECT_EQ(pop->RoulettePick()->Identifier(), 2);
  EXPECT_EQ(pop->WheelSlots(), 30);
  ForceNextDraw(30 + 10);
  EXPECT_EQ(pop->RoulettePick()->Identifier(), 3);

  // Shares truncate: 1 and 2 of 3 over 20 slots give 6 and 13. The wheel is
  // built once: later fitness changes do not move it.
  auto uneven = WithFitness({1.0f, 2.0f});
  uneven->BuildWheel();
  EXPECT_EQ(uneven->WheelSlots(), 19);
  uneven->SetFitness(1, 0.0f);
  ForceNextDraw(5);
  EXPECT_EQ(uneven->RoulettePick()->Identifier(), 1);
  ForceNextDraw(6);
  EXPECT_EQ(uneven->RoulettePick()->Identifier(), 2);
}

TEST(PopulationSelectionDeathTest, AllZeroFitnessStops) {
  auto pop = WithFitness({0.0f, 0.0f});
  EXPECT_DEATH(pop->RoulettePick(), "Assertion failed: MbrNdxMaxWheelIndex > 0");
}

TEST(PopulationSelection, TournamentReturnsTheSecondPickOnATie) {
  auto pop = WithFitness({1.0f, 1.0f});  // slots 0..9 position 1, 10..19 position 2
  quill::SeedRand(1);                    // draws 346, 130: slots 6 and 10
  EXPECT_EQ(pop->Tournament()->Identifier(), 2);
  quill::SeedRand(2);  // draws 692, 32682: slots 12 and 2
  EXPECT_EQ(pop->Tournament()->Identifier(), 1);
  EXPECT_EQ(DrawsSince(2), 2);

  auto unequal = WithFitness({1.0f, 3.0f});  // slots 0..9 position 1, 10..39 position 2
  quill::SeedRand(2);                        // slots 12 and 2: the fitter first pick wins
  EXPECT_EQ(unequal->Tournament()->Identifier(), 2);

  quill::SeedRand(3);
  std::unique_ptr<Population> chosen = unequal->Select(5, SELECT_TOURNAMENT);
  EXPECT_EQ(chosen->Size(), 5);
  EXPECT_EQ(chosen->Generation(), 0);
  EXPECT_EQ(DrawsSince(3), 10);
  EXPECT_EQ(unequal->Select(5, 23)->Size(), 0);
}

TEST(PopulationSelection, EveryIndividualOfALargePopulationCanBeChosen) {
  // 10,000 equally fit individuals on a wheel of about 100,000 slots, far more
  // than one draw spans: in 200,000 roulette picks and as many tournaments
  // (whose ties take the second pick) each is met, the last one too, and the
  // counts pass a chi-square bound (mean 9,999, standard deviation 141).
  const int size = 10000;
  auto pop = WithFitness(std::vector<float>(size, 1.0f));
  for (int method : {SELECT_ROULETTE, SELECT_TOURNAMENT}) {
    std::vector<int> count(size + 1, 0);
    quill::SeedRand(static_cast<std::uint32_t>(method));
    for (int i = 0; i < 20 * size; ++i)
      ++count[(method == SELECT_ROULETTE ? pop->RoulettePick() : pop->Tournament())->Identifier()];
    double chi_square = 0.0;
    for (int id = 1; id <= size; ++id) {
      ASSERT_GT(count[id], 0) << "method " << method << ", individual " << id;
      chi_square += (count[id] - 20.0) * (count[id] - 20.0) / 20.0;
    }
    EXPECT_NEAR(chi_square, size - 1, 6 * 141) << "method " << method;
  }
  EXPECT_GT(pop->WheelSlots(), 9 * size);
}

TEST(PopulationBreed, ChildrenNumberedAfterTheBreedingGeneration) {
  Population pop(1, 10, 4, RealDefinition(4).get());
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
    EXPECT_TRUE(one >= 11 && one <= 20 && two >= 11 && two <= 20);
  }
  EXPECT_EQ(FitnessOf(*next), std::vector<float>(8, 0.0f));

  std::unique_ptr<Population> none = pop.Breed(8, 1, 23);
  EXPECT_EQ(none->Size(), 0);
  EXPECT_EQ(none->Generation(), 2);

  // Mutation skips rates <= 0 without drawing; one individual does not.
  quill::SeedRand(21);
  EXPECT_EQ(next->Mutate(0.0f), SUCCESS);
  EXPECT_EQ(next->Mutate(-1.0f), SUCCESS);
  EXPECT_EQ(DrawsSince(21), 0);
  EXPECT_EQ(next->MutateIndividual(1, -1.0f), SUCCESS);
  EXPECT_EQ(DrawsSince(21), 4);
}

TEST(PopulationElites, OneEliteIsTheFirstBestAndMoreComeSorted) {
  auto source = WithFitness({1.0f, 5.0f, 2.0f, 3.0f, 5.0f});
  auto target = WithFitness({0.5f});
  target->SetIdentifier(1, 99);
  ASSERT_EQ(target->AddElites(1, source.get()), SUCCESS);
  EXPECT_EQ(IdentifiersOf(*target), (std::vector<int>{99, 2}));
  EXPECT_EQ(IdentifiersOf(*source), (std::vector<int>{1, 3, 4, 5}));

  ASSERT_EQ(target->AddElites(2, source.get()), SUCCESS);
  EXPECT_EQ(IdentifiersOf(*target), (std::vector<int>{99, 2, 4, 5}));
  EXPECT_EQ(FitnessOf(*target), (std::vector<float>{0.5f, 5.0f, 3.0f, 5.0f}));
  EXPECT_EQ(IdentifiersOf(*source), (std::vector<int>{1, 3}));
  EXPECT_EQ(target->AddElites(1, nullptr), POP_NULL_POINTER);
}

TEST(PopulationSort, AscendingWithEqualFitnessReversed) {
  auto pop = WithFitness({3.0f, 1.0f, 2.0f});
  pop->Sort();
  EXPECT_EQ(IdentifiersOf(*pop), (std::vector<int>{2, 3, 1}));

  auto mixed = WithFitness({2.0f, 1.0f, 2.0f, 1.0f});
  mixed->ComputeStatistics();
  mixed->Sort();
  EXPECT_EQ(IdentifiersOf(*mixed), (std::vector<int>{4, 2, 3, 1}));
  int best = 0;
  mixed->GetBestFitness(best);
  EXPECT_EQ(best, 4);

  // ReplaceWorst sorts a larger population and fills its lowest positions.
  auto worst = WithFitness({5.0f, 1.0f, 3.0f});
  auto incoming = WithFitness({7.0f, 8.0f});
  incoming->SetIdentifier(1, 71);
  incoming->SetIdentifier(2, 81);
  ASSERT_EQ(worst->ReplaceWorst(incoming.get()), SUCCESS);
  EXPECT_EQ(incoming->Size(), 0);
  EXPECT_EQ(IdentifiersOf(*worst), (std::vector<int>{71, 81, 1}));
}

TEST(PopulationCopies, CloneAndRanges) {
  auto pop = WithFitness({1.0f, 2.0f, 3.0f, 4.0f}, 5);
  pop->SetRealValue(2, 1, 0.25f);
  std::unique_ptr<Population> copy = pop->Clone();
  EXPECT_EQ(copy->Generation(), 1);
  EXPECT_EQ(IdentifiersOf(*copy), (std::vector<int>{1, 2, 3, 4}));
  float value = 0.0f;
  copy->SetRealValue(2, 1, -0.5f);
  pop->GetRealValue(2, 1, value);
  EXPECT_EQ(value, 0.25f);

  EXPECT_EQ(pop->CopyRange(3, 2)->Size(), 0);
  EXPECT_EQ(pop->CopyRange(3, 5), nullptr);
  EXPECT_EQ(pop->CutRange(5, 5), nullptr);
  std::unique_ptr<Population> cut = pop->CutRange(2, 3);
  EXPECT_EQ(cut->Generation(), 0);
  EXPECT_EQ(IdentifiersOf(*cut), (std::vector<int>{2, 3}));
  EXPECT_EQ(IdentifiersOf(*pop), (std::vector<int>{1, 4}));
  ASSERT_EQ(pop->MoveFrom(cut.get()), SUCCESS);
  ASSERT_EQ(pop->MoveFrom(pop.get()), SUCCESS);
  EXPECT_EQ(cut->Size(), 0);
  EXPECT_EQ(IdentifiersOf(*pop), (std::vector<int>{1, 4, 2, 3}));
}

TEST(PopulationList, InsertShiftsTheCursorAndLeavingMembersDropTheWheel) {
  auto pop = WithFitness({1.0f, 1.0f, 1.0f});
  std::unique_ptr<Individual> none;
  EXPECT_EQ(pop->InsertIndividual(std::move(none), 4), POP_BAD_INDEX);
  EXPECT_EQ(pop->InsertIndividual(std::move(none), 1), POP_NULL_POINTER);
  pop->Locate(3);
  auto first = std::make_unique<Individual>(1, pop->Definition());
  first->SetIdentifier(10);
  ASSERT_EQ(pop->InsertIndividual(std::move(first), 1), SUCCESS);
  EXPECT_EQ(pop->CursorPosition(), 4);
  EXPECT_EQ(IdentifiersOf(*pop), (std::vector<int>{10, 1, 2, 3}));

  pop->BuildWheel();
  pop->DetachIndividual(1).reset();
  pop->DeleteIndividual(1);
  // Rebuilt from the members left, never pointing at the departed ones.
  ForceNextDraw(0);
  EXPECT_EQ(pop->RoulettePick()->Identifier(), 2);
}

}  // namespace
