#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "Bramble/DeathCap.h"
#include "common/Clock.h"
#include "common/Random.h"

namespace {

// Fitness = 1 + the first gene (a real in 0..1), or a constant when set.
class TestEval : public Eval {
 public:
  std::vector<float> Evaluate(std::int32_t gene_count, std::int32_t individual_count,
                              const std::vector<IndividualRecord>& records) override {
    ++calls;
    last_gene_count = gene_count;
    last_individual_count = individual_count;
    std::vector<float> results;
    for (const IndividualRecord& record : records) {
      results.push_back(constant >= 0.0f ? constant : 1.0f + record.values[0].AsReal());
    }
    return results;
  }
  int calls = 0;
  int last_gene_count = -1;
  int last_individual_count = -1;
  float constant = -1.0f;
};

class TestReporter : public Reporter {
 public:
  TestReporter(bool statistics, bool genome, int best, bool population)
      : Reporter(statistics, genome, best, population) {}
  void Report() override {
    generations.push_back(MbrStatistics.generation);
    best.push_back(MbrStatistics.best_fitness);
  }
  std::vector<int> generations;
  std::vector<float> best;
};

GeneSpecList RealGenome(int count, float maximum, float minimum) {
  GeneSpecList list;
  list.count = count;
  for (int i = 0; i < count; ++i) {
    GeneSpec entry;
    entry.type = GENE_REAL;
    entry.maximum = GeneCell::FromReal(maximum);
    entry.minimum = GeneCell::FromReal(minimum);
    list.entries.push_back(entry);
  }
  return list;
}

// An engine with `size` random individuals of `genes` real genes in 0..1.
struct Fixture {
  TestEval eval;
  TestReporter reporter{true, false, 0, false};
  DeathCap engine{&eval, &reporter};
  Fixture(int size, int genes) {
    quill::ScopedClock clock(4242);
    engine.CreatePopulation(RealGenome(genes, 1.0f, 0.0f), size);
    engine.Randomize();
  }
};

TEST(DeathCap, CreateAndRandomizeSeedFromTheClock) {
  Fixture f(4, 3);
  EXPECT_EQ(f.engine.PopSize(), 4);
  Population* current = f.engine.Current();
  ASSERT_NE(current, nullptr);
  EXPECT_EQ(current->Generation(), 0);
  // The same draws from seed 4242 give the same values.
  auto def = DeathCap::DefinitionFromSpecs(RealGenome(3, 1.0f, 0.0f));
  Population expected(0, 4, 3, def.get());
  quill::SeedRand(4242);
  expected.Randomize();
  for (int i = 1; i <= 4; ++i) {
    for (int j = 1; j <= 3; ++j) {
      float a = -1.0f, b = -2.0f;
      ASSERT_EQ(current->GetRealValue(i, j, a), SUCCESS);
      expected.GetRealValue(i, j, b);
      EXPECT_EQ(a, b);
    }
  }
}

TEST(DeathCapRun, OneGenerationIsEvaluatedOnceWithoutBreeding) {
  Fixture f(4, 2);
  f.engine.Run(1, 1000.0f, 1, 1, 0.1f, SELECT_ROULETTE, 0);
  EXPECT_EQ(f.eval.calls, 1);
  EXPECT_EQ(f.eval.last_gene_count, 2);
  EXPECT_EQ(f.eval.last_individual_count, 4);
  EXPECT_EQ(f.reporter.generations, (std::vector<int>{1}));
  int id = 0;
  f.engine.Working()->GetIdentifier(4, id);
  EXPECT_EQ(id, 4);  // the unbred copy of the current population
}

TEST(DeathCapRun, EveryGenerationIsReportedWhenTheStopIsNeverReached) {
  Fixture f(6, 2);
  f.engine.Run(3, 1000.0f, 2, 1, 0.1f, SELECT_TOURNAMENT, 1);
  EXPECT_EQ(f.eval.calls, 3);
  EXPECT_EQ(f.reporter.generations, (std::vector<int>{1, 2, 3}));
  Population* last = f.engine.Working();
  EXPECT_EQ(last->Size(), 6);
  EXPECT_EQ(last->Generation(), 3);
  // Reports see raw fitness (1 + a value in 0..1) despite normalisation.
  for (float best : f.reporter.best) {
    EXPECT_GE(best, 1.0f);
    EXPECT_LE(best, 2.0f);
  }
  // Generation 3 holds 4 children (identifiers 2 * 6 + 1..4) then 2 elites.
  int id = 0;
  last->GetIdentifier(1, id);
  EXPECT_EQ(id, 13);
  last->GetIdentifier(4, id);
  EXPECT_EQ(id, 16);
  last->GetIdentifier(5, id);
  EXPECT_LE(id, 12);
}

TEST(DeathCapRun, StopReachedOneGenerationBeforeTheLastIsReportedTwice) {
  Fixture f(4, 2);
  f.eval.constant = 5.0f;
  f.engine.Run(2, 5.0f, 1, 1, 0.1f, SELECT_ROULETTE, 0);
  EXPECT_EQ(f.reporter.generations, (std::vector<int>{1, 1}));
  EXPECT_EQ(f.eval.calls, 2);

  Fixture g(4, 2);
  g.eval.constant = 5.0f;
  g.engine.Run(5, 5.0f, 1, 1, 0.1f, SELECT_ROULETTE, 0);
  EXPECT_EQ(g.reporter.generations, (std::vector<int>{1}));
}

TEST(DeathCapRun, NoElitesMeansAWholeBredGeneration) {
  Fixture f(5, 2);
  f.engine.Run(2, 1000.0f, 0, 1, 0.0f, SELECT_ROULETTE, 0);
  std::vector<int> ids;
  for (int i = 1; i <= 5; ++i) {
    int id = 0;
    f.engine.Working()->GetIdentifier(i, id);
    ids.push_back(id);
  }
  EXPECT_EQ(ids, (std::vector<int>{6, 7, 8, 9, 10}));
}

TEST(DeathCapRun, RunsAreReproducibleFromTheSameClock) {
  Fixture a(6, 3);
  a.engine.Run(4, 1000.0f, 1, 2, 0.2f, SELECT_TOURNAMENT, 1);
  Fixture b(6, 3);
  b.engine.Run(4, 1000.0f, 1, 2, 0.2f, SELECT_TOURNAMENT, 1);
  EXPECT_EQ(a.reporter.best, b.reporter.best);
}

TEST(DeathCapReport, FlagsChooseWhatTheReporterReceives) {
  TestEval eval;
  Reporter silent(false, false, 0, false);
  {
    DeathCap engine(&eval, &silent);
    quill::ScopedClock clock(1);
    engine.CreatePopulation(RealGenome(2, 1.0f, 0.0f), 3);
    engine.Randomize();
    engine.Run(2, 1000.0f, 1, 1, 0.1f, SELECT_ROULETTE, 0);
  }
  EXPECT_EQ(eval.calls, 2);
  EXPECT_EQ(silent.MbrStatistics.generation, 0);
  EXPECT_EQ(silent.MbrGenome.count, 0);
  EXPECT_EQ(silent.MbrIndividuals.individual_count, 0);

  Reporter whole(false, true, 0, true);
  {
    DeathCap engine(&eval, &whole);
    quill::ScopedClock clock(1);
    engine.CreatePopulation(RealGenome(2, 1.0f, 0.0f), 3);
    engine.Randomize();
    engine.Run(1, 1000.0f, 1, 1, 0.1f, SELECT_ROULETTE, 0);
  }
  // The copies outlive the engine and its images.
  EXPECT_EQ(whole.MbrGenome.count, 2);
  EXPECT_EQ(whole.MbrGenome.entries[1].type, GENE_REAL);
  EXPECT_EQ(whole.MbrGenome.entries[1].maximum.AsReal(), 1.0f);
  ASSERT_EQ(whole.MbrIndividuals.individual_count, 3);
  ASSERT_EQ(whole.MbrIndividuals.records.size(), 3u);
  EXPECT_EQ(whole.MbrIndividuals.records[2].fitness,
            1.0f + whole.MbrIndividuals.records[2].values[0].AsReal());

  // Best individuals replace the population when both are asked for.
  Reporter best(true, false, 2, true);
  {
    DeathCap engine(&eval, &best);
    quill::ScopedClock clock(1);
    engine.CreatePopulation(RealGenome(2, 1.0f, 0.0f), 3);
    engine.Randomize();
    engine.Run(1, 1000.0f, 1, 1, 0.1f, SELECT_ROULETTE, 0);
  }
  ASSERT_EQ(best.MbrIndividuals.individual_count, 2);
  EXPECT_EQ(best.MbrIndividuals.records[1].fitness, best.MbrStatistics.best_fitness);
  EXPECT_LE(best.MbrIndividuals.records[0].fitness, best.MbrIndividuals.records[1].fitness);
  EXPECT_EQ(best.MbrStatistics.generation, 1);
}

TEST(DeathCapImage, MakeImageAndBuildPopulationRoundTrip) {
  GeneSpecList genome;
  genome.count = 3;
  genome.entries = {{GENE_INTEGER, GeneCell::FromInt(50), GeneCell::FromInt(-50)},
                    {GENE_REAL, GeneCell::FromReal(2.5f), GeneCell::FromReal(-2.5f)},
                    {GENE_BINARY, GeneCell::FromReal(0.7f), GeneCell()}};
  auto def = DeathCap::DefinitionFromSpecs(genome);
  Population pop(0, 3, 3, def.get());
  quill::SeedRand(31);
  ASSERT_EQ(pop.Randomize(), SUCCESS);
  for (int i = 1; i <= 3; ++i) {
    pop.SetIdentifier(i, 100 + i);
    pop.SetParents(i, i, 2 * i);
    pop.SetFitness(i, 0.125f * static_cast<float>(i));
  }
  PopulationImage image = DeathCap::MakeImage(&pop);
  EXPECT_EQ(image.gene_count, 3);
  EXPECT_EQ(image.individual_count, 3);

  std::unique_ptr<Population> rebuilt = DeathCap::BuildPopulation(image, genome);
  ASSERT_EQ(rebuilt->Size(), 3);
  EXPECT_EQ(rebuilt->Generation(), 0);
  PopulationImage again = DeathCap::MakeImage(rebuilt.get());
  for (int i = 0; i < 3; ++i) {
    const IndividualRecord& a = image.records[i];
    const IndividualRecord& b = again.records[i];
    EXPECT_EQ(a.identifier, 101 + i);
    EXPECT_EQ(b.identifier, a.identifier);
    EXPECT_EQ(b.parent_one, i + 1);
    EXPECT_EQ(b.parent_two, 2 * (i + 1));
    EXPECT_EQ(b.fitness, a.fitness);
    ASSERT_EQ(b.values.size(), 3u);
    for (int j = 0; j < 3; ++j)
      EXPECT_EQ(b.values[j], a.values[j]) << i << " " << j;
    EXPECT_TRUE(a.values[2].AsBinary() == 0 || a.values[2].AsBinary() == 1);
  }
  GeneSpecList back = DeathCap::SpecsFromDefinition(rebuilt->Definition());
  ASSERT_EQ(back.count, 3);
  EXPECT_EQ(back.entries[0].minimum.AsInt(), -50);
  EXPECT_EQ(back.entries[1].maximum.AsReal(), 2.5f);
  EXPECT_EQ(back.entries[2].maximum.AsReal(), 0.7f);

  DeathCap::FreeImage(image);
  EXPECT_TRUE(image.records.empty());
}

TEST(DeathCapImage, SeedsJoinAndBestImagesComeFromThePromotedPopulation) {
  Fixture f(3, 2);
  PopulationImage seed;
  seed.gene_count = 2;
  seed.individual_count = 1;
  IndividualRecord record;
  record.identifier = 4;
  record.values = {GeneCell::FromReal(1.0f), GeneCell::FromReal(0.5f)};
  seed.records.push_back(record);
  f.engine.AddSeeds(seed);
  EXPECT_EQ(f.engine.PopSize(), 4);
  int id = 0;
  f.engine.Current()->GetIdentifier(4, id);
  EXPECT_EQ(id, 4);
  EXPECT_EQ(seed.records.size(), 1u);  // the caller's image is untouched

  // The seed has the highest possible fitness, 2, and survives as the elite.
  f.engine.Run(3, 1000.0f, 1, 1, 0.0f, SELECT_ROULETTE, 0);
  f.engine.Promote();
  EXPECT_EQ(f.engine.Working(), nullptr);
  PopulationImage best = f.engine.BestImage(1);
  ASSERT_EQ(best.individual_count, 1);
  EXPECT_EQ(best.records[0].fitness, 2.0f);
  EXPECT_EQ(best.records[0].values[0].AsReal(), 1.0f);

  PopulationImage two = f.engine.BestImage(2);
  ASSERT_EQ(two.individual_count, 2);
  EXPECT_LE(two.records[0].fitness, two.records[1].fitness);
  EXPECT_EQ(two.records[1].fitness, 2.0f);
}

TEST(DeathCapImage, StatisticsCountPositionsFromZero) {
  auto def = DeathCap::DefinitionFromSpecs(RealGenome(1, 1.0f, 0.0f));
  Population pop(0, 4, 1, def.get());
  const float fitness[] = {1.0f, 3.0f, 3.0f, 2.0f};
  for (int i = 1; i <= 4; ++i)
    pop.SetFitness(i, fitness[i - 1]);
  pop.ComputeStatistics();
  PopulationStatistics s = DeathCap::Statistics(&pop);
  EXPECT_EQ(s.generation, 0);
  EXPECT_EQ(s.best_fitness, 3.0f);
  EXPECT_EQ(s.worst_fitness, 1.0f);
  EXPECT_EQ(s.mean_fitness, 2.25f);
  EXPECT_EQ(s.best_position, 1);
  EXPECT_EQ(s.worst_position, 0);
}

TEST(DeathCapDeathTest, MissingOverrideAndEmptyWheelStop) {
  Eval base;
  std::vector<IndividualRecord> none;
  EXPECT_DEATH(base.Evaluate(0, 0, none), "Assertion failed: false, file Bramble/Eval");

  EXPECT_DEATH(
      {
        Fixture f(3, 1);
        f.eval.constant = 0.0f;
        f.engine.Run(2, 1000.0f, 1, 1, 0.1f, SELECT_ROULETTE, 0);
      },
      "Assertion failed: MbrNdxMaxWheelIndex > 0, file Bramble/Bramble10");
}

}  // namespace
