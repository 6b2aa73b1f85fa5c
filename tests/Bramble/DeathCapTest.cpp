#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "Bramble/DeathCap.h"
#include "common/Clock.h"
#include "common/Random.h"

namespace {

// Fitness = 1 + the first gene (a real in 0..1), or `constant` when set.
class TestEval : public Eval {
 public:
  std::vector<float> Evaluate(std::int32_t gene_count, std::int32_t individual_count,
                              const std::vector<IndividualRecord>& records) override {
    ++calls;
    EXPECT_EQ(static_cast<std::size_t>(individual_count), records.size());
    EXPECT_EQ(static_cast<std::size_t>(gene_count), records[0].values.size());
    std::vector<float> results;
    for (const IndividualRecord& r : records) {
      results.push_back(constant >= 0.0f ? constant : 1.0f + r.values[0].AsReal());
    }
    return results;
  }
  int calls = 0;
  float constant = -1.0f;
};

// Records the generation of every report.
class TestReporter : public Reporter {
 public:
  TestReporter(bool statistics, bool genome, int best, bool population)
      : Reporter(statistics, genome, best, population) {}
  void Report() override { generations.push_back(MbrStatistics.generation); }
  std::vector<int> generations;
};

GeneSpecList RealGenome(int count) {
  GeneSpecList list;
  list.count = count;
  list.entries.assign(count, {GENE_REAL, GeneCell::FromReal(1.0f), GeneCell::FromReal(0.0f)});
  return list;
}

// An engine with `size` random individuals of `genes` real genes in 0..1,
// seeded from a fixed clock.
struct Fixture {
  TestEval eval;
  TestReporter reporter;
  DeathCap engine{&eval, &reporter};
  Fixture(int size, int genes, TestReporter r = TestReporter(true, false, 0, false)) : reporter(r) {
    quill::ScopedClock clock(4242);
    engine.CreatePopulation(RealGenome(genes), size);
    engine.Randomize();
  }
  std::vector<int> WorkingIdentifiers() {
    std::vector<int> ids(static_cast<std::size_t>(engine.Working()->Size()));
    for (int i = 1; i <= engine.Working()->Size(); ++i)
      engine.Working()->GetIdentifier(i, ids[i - 1]);
    return ids;
  }
};

TEST(DeathCap, RandomizeSeedsFromTheClock) {
  Fixture f(4, 3);
  auto def = DeathCap::DefinitionFromSpecs(RealGenome(3));
  Population expected(0, 4, 3, def.get());
  quill::SeedRand(4242);
  expected.Randomize();
  EXPECT_EQ(DeathCap::MakeImage(f.engine.Current()).records.back().values,
            DeathCap::MakeImage(&expected).records.back().values);
}

TEST(DeathCapRun, GenerationsAreEvaluatedReportedAndBred) {
  Fixture one(4, 2);
  one.engine.Run({1, 1000.0f, 1, 1, 0.1f, SELECT_ROULETTE, 0});
  EXPECT_EQ(one.reporter.generations, (std::vector<int>{1}));
  EXPECT_EQ(one.WorkingIdentifiers(), (std::vector<int>{1, 2, 3, 4}));  // not bred

  Fixture three(6, 2);
  three.engine.Run({3, 1000.0f, 2, 1, 0.1f, SELECT_TOURNAMENT, 1});
  EXPECT_EQ(three.eval.calls, 3);
  EXPECT_EQ(three.reporter.generations, (std::vector<int>{1, 2, 3}));
  // Reports see the raw fitness despite normalisation.
  EXPECT_GE(three.reporter.MbrStatistics.best_fitness, 1.0f);
  // Generation 3: four children numbered 2 * 6 + i, then two older elites.
  std::vector<int> ids = three.WorkingIdentifiers();
  ASSERT_EQ(ids.size(), 6u);
  EXPECT_EQ(std::vector<int>(ids.begin(), ids.begin() + 4), (std::vector<int>{13, 14, 15, 16}));
  EXPECT_LE(ids[4], 12);
  EXPECT_LE(ids[5], 12);

  Fixture no_elite(5, 2);
  no_elite.engine.Run({2, 1000.0f, 0, 1, 0.0f, SELECT_ROULETTE, 0});
  EXPECT_EQ(no_elite.WorkingIdentifiers(), (std::vector<int>{6, 7, 8, 9, 10}));

  // An elite count above the size carries everyone over, unbred.
  Fixture all(3, 2);
  all.engine.Run({3, 1000.0f, 5, 1, 0.5f, SELECT_ROULETTE, 0});
  ids = all.WorkingIdentifiers();
  std::sort(ids.begin(), ids.end());
  EXPECT_EQ(ids, (std::vector<int>{1, 2, 3}));
}

TEST(DeathCapRun, StopReachedOneGenerationBeforeTheLastIsReportedTwice) {
  Fixture f(4, 2);
  f.eval.constant = 5.0f;
  f.engine.Run({2, 5.0f, 1, 1, 0.1f, SELECT_ROULETTE, 0});
  EXPECT_EQ(f.reporter.generations, (std::vector<int>{1, 1}));

  Fixture g(4, 2);
  g.eval.constant = 5.0f;
  g.engine.Run({5, 5.0f, 1, 1, 0.1f, SELECT_ROULETTE, 0});
  EXPECT_EQ(g.reporter.generations, (std::vector<int>{1}));
}

TEST(DeathCapReport, FlagsChooseWhatTheReporterReceives) {
  Fixture silent(3, 2, TestReporter(false, false, 0, false));
  silent.engine.Run({2, 1000.0f, 1, 1, 0.1f, SELECT_ROULETTE, 0});
  EXPECT_EQ(silent.reporter.generations, (std::vector<int>{0, 0}));  // called, not filled
  EXPECT_EQ(silent.reporter.MbrGenome.count, 0);
  EXPECT_EQ(silent.reporter.MbrIndividuals.individual_count, 0);

  TestReporter whole(true, true, 0, true);
  {
    Fixture f(3, 2, TestReporter(true, true, 0, true));
    f.engine.Run({1, 1000.0f, 1, 1, 0.1f, SELECT_ROULETTE, 0});
    whole = f.reporter;
  }
  // The copies outlive the engine and its images.
  EXPECT_EQ(whole.MbrGenome.count, 2);
  EXPECT_EQ(whole.MbrGenome.entries[1].maximum.AsReal(), 1.0f);
  ASSERT_EQ(whole.MbrIndividuals.records.size(), 3u);
  const IndividualRecord& last = whole.MbrIndividuals.records[2];
  EXPECT_EQ(last.fitness, 1.0f + last.values[0].AsReal());
  const PopulationStatistics& s = whole.MbrStatistics;
  EXPECT_EQ(s.best_fitness, whole.MbrIndividuals.records[s.best_position].fitness);  // from 0
  EXPECT_EQ(s.worst_fitness, whole.MbrIndividuals.records[s.worst_position].fitness);

  // Best individuals replace the population when both are asked for.
  Fixture best(3, 2, TestReporter(true, false, 2, true));
  best.engine.Run({1, 1000.0f, 1, 1, 0.1f, SELECT_ROULETTE, 0});
  const PopulationImage& two = best.reporter.MbrIndividuals;
  ASSERT_EQ(two.individual_count, 2);
  EXPECT_EQ(two.records[1].fitness, best.reporter.MbrStatistics.best_fitness);
  EXPECT_LE(two.records[0].fitness, two.records[1].fitness);
}

TEST(DeathCapImage, MakeImageAndBuildPopulationRoundTrip) {
  GeneSpecList genome;
  genome.count = 3;
  genome.entries = {{GENE_INTEGER, GeneCell::FromInt(50), GeneCell::FromInt(-50)},
                    {GENE_REAL, GeneCell::FromReal(2.5f), GeneCell::FromReal(-2.5f)},
                    {GENE_BINARY, GeneCell::FromReal(0.7f), GeneCell()}};
  Population pop(0, 3, 3, DeathCap::DefinitionFromSpecs(genome).get());
  quill::SeedRand(31);
  ASSERT_EQ(pop.Randomize(), SUCCESS);
  for (int i = 1; i <= 3; ++i) {
    pop.SetIdentifier(i, 100 + i);
    pop.SetParents(i, i, 2 * i);
    pop.SetFitness(i, 0.125f * static_cast<float>(i));
  }
  PopulationImage image = DeathCap::MakeImage(&pop);
  std::unique_ptr<Population> rebuilt = DeathCap::BuildPopulation(image, genome);
  PopulationImage again = DeathCap::MakeImage(rebuilt.get());
  ASSERT_EQ(again.individual_count, 3);
  EXPECT_EQ(again.gene_count, 3);
  for (int i = 0; i < 3; ++i) {
    const IndividualRecord& a = image.records[i];
    const IndividualRecord& b = again.records[i];
    EXPECT_EQ(b.identifier, 101 + i);
    EXPECT_EQ(b.parent_one, i + 1);
    EXPECT_EQ(b.parent_two, 2 * (i + 1));
    EXPECT_EQ(b.fitness, 0.125f * static_cast<float>(i + 1));
    EXPECT_EQ(b.values, a.values);
    EXPECT_EQ(a.values[2].Bits() & ~1u, 0u);  // a binary value is 0 or 1 in the low byte
  }
  GeneSpecList back = DeathCap::SpecsFromDefinition(rebuilt->Definition());
  EXPECT_EQ(back.entries[0].minimum.AsInt(), -50);
  EXPECT_EQ(back.entries[2].maximum.AsReal(), 0.7f);
  DeathCap::FreeImage(image);
  EXPECT_TRUE(image.records.empty());
}

TEST(DeathCapImage, SeedsJoinAndTheBestComeFromThePromotedPopulation) {
  Fixture f(3, 2);
  PopulationImage seed;
  seed.gene_count = 2;
  seed.individual_count = 1;
  seed.records.push_back({4, 0, 0, 0.0f, {GeneCell::FromReal(1.0f), GeneCell::FromReal(0.5f)}});
  f.engine.AddSeeds(seed);
  EXPECT_EQ(f.engine.PopSize(), 4);
  EXPECT_EQ(seed.records.size(), 1u);  // the caller's image is untouched

  // The seed has the highest possible fitness, 2: it survives as the elite,
  // and children copying its first gene reach 2 as well.
  f.engine.Run({3, 1000.0f, 1, 1, 0.0f, SELECT_ROULETTE, 0});
  // The seed was built after a definition of its own; it and every child
  // read the population's rules from one table.
  Population* working = f.engine.Working();
  for (int i = 1; i <= working->Size(); ++i) {
    EXPECT_TRUE(working->Locate(i)->TheChromosome().FollowsExactly(*working->Definition())) << i;
  }
  f.engine.Promote();
  EXPECT_EQ(f.engine.Working(), nullptr);
  PopulationImage best = f.engine.BestImage(1);
  ASSERT_EQ(best.individual_count, 1);
  EXPECT_EQ(best.records[0].fitness, 2.0f);
  EXPECT_EQ(best.records[0].values[0].AsReal(), 1.0f);
  PopulationImage two = f.engine.BestImage(2);
  ASSERT_EQ(two.individual_count, 2);
  EXPECT_EQ(two.records[1].fitness, 2.0f);
}

TEST(DeathCapDeathTest, MissingOverrideAndEmptyWheelStop) {
  Eval base;
  EXPECT_DEATH(base.Evaluate(0, 0, {}), "Assertion failed: false, file Bramble/Eval");
  EXPECT_DEATH(
      {
        Fixture f(3, 1);
        f.eval.constant = 0.0f;
        f.engine.Run({2, 1000.0f, 1, 1, 0.1f, SELECT_ROULETTE, 0});
      },
      "Assertion failed: MbrNdxMaxWheelIndex > 0, file Bramble/Bramble10");
}

}  // namespace
