// The checkpoint file: random checkpoints read back bit for bit, damaged files
// are refused whatever the damage, and a checkpoint that does not fit a run
// says what differs.
#include <gtest/gtest.h>

#include <bit>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "MLP/Quill/Checkpoint.h"
#include "MLP/Quill/ParameterFile.h"

namespace {

std::uint32_t Bits(float v) {
  return std::bit_cast<std::uint32_t>(v);
}
std::uint64_t Bits(double v) {
  return std::bit_cast<std::uint64_t>(v);
}

// A checkpoint with random content, every number drawn over its whole range
// (floats from random bit patterns, so that subnormals and extremes occur).
RunCheckpoint RandomCheckpoint(std::mt19937_64& rng) {
  auto real = [&] {
    for (;;) {
      const float f = std::bit_cast<float>(static_cast<std::uint32_t>(rng()));
      if (std::isfinite(f)) return f;
    }
  };
  auto dbl = [&] {
    for (;;) {
      const double d = std::bit_cast<double>(rng());
      if (std::isfinite(d)) return d;
    }
  };
  RunCheckpoint c;
  c.generation = static_cast<std::int32_t>(rng() % 100000) + 1;
  c.random_state = static_cast<std::uint32_t>(rng());
  c.seed = static_cast<std::uint32_t>(rng());
  c.seed_given = rng() % 2;
  c.elapsed_seconds = std::fabs(dbl());
  c.evaluations = static_cast<std::int64_t>(rng() >> 2);
  c.log_bytes = static_cast<std::int64_t>(rng() >> 3);
  c.lowest_error = dbl();
  c.lowest_fitness = real();
  c.best_error = dbl();
  c.network_fingerprint = rng();
  for (int k = 0; k <= static_cast<int>(rng() % 4); ++k)
    c.data_fingerprints.push_back(rng());
  RunSettings& s = c.settings;
  s.PopulationSize = static_cast<std::int32_t>(rng() % 7) + 1;
  s.EliteIndividuals = static_cast<std::int32_t>(rng() % 9) - 4;
  s.MutationRate = real();
  s.CrossoverPoints = static_cast<std::int32_t>(rng());
  s.Selection = rng() % 2 ? QuillParameters::kSelectRoulette : QuillParameters::kSelectTournament;
  s.Normalisation = static_cast<std::int32_t>(rng() % 2);
  s.MaxWeight = real();
  s.MinWeight = real();
  s.FeaturesGiven = rng() % 2;
  if (s.FeaturesGiven) {
    for (int k = 0; k < static_cast<int>(rng() % 4); ++k)
      s.Features.push_back(static_cast<std::int32_t>(rng() % 50));
  }
  c.gene_count = static_cast<std::int32_t>(rng() % 40);
  auto genes = [&] {
    std::vector<GeneCell> v;
    for (int k = 0; k < c.gene_count; ++k)
      v.push_back(GeneCell::FromReal(real()));
    return v;
  };
  if (rng() % 3 != 0) {
    c.best.fitness = std::fabs(real());
    c.best.values = genes();
  }
  for (int i = 0; i < s.PopulationSize; ++i) {
    IndividualRecord r;
    r.identifier = static_cast<std::int32_t>(rng()) ^ i;
    r.parent_one = static_cast<std::int32_t>(rng());
    r.parent_two = static_cast<std::int32_t>(rng());
    r.fitness = std::fabs(real());
    r.values = genes();
    c.individuals.push_back(std::move(r));
  }
  return c;
}

std::string Text(const RunCheckpoint& c) {
  std::ostringstream out;
  WriteCheckpoint(out, c);
  return out.str();
}

RunCheckpoint Read(const std::string& text) {
  std::istringstream in(text);
  return ReadCheckpoint(in);
}

void ExpectSameRecord(const IndividualRecord& a, const IndividualRecord& b) {
  EXPECT_EQ(a.identifier, b.identifier);
  EXPECT_EQ(a.parent_one, b.parent_one);
  EXPECT_EQ(a.parent_two, b.parent_two);
  EXPECT_EQ(Bits(a.fitness), Bits(b.fitness));
  ASSERT_EQ(a.values.size(), b.values.size());
  for (std::size_t k = 0; k < a.values.size(); ++k)
    EXPECT_EQ(a.values[k].Bits(), b.values[k].Bits());
}

TEST(Checkpoint, RandomCheckpointsReadBackBitForBit) {
  std::mt19937_64 rng(11);
  for (int trial = 0; trial < 200; ++trial) {
    SCOPED_TRACE(trial);
    const RunCheckpoint c = RandomCheckpoint(rng);
    // Identifiers must be distinct; a rare clash makes another trial.
    const std::string text = Text(c);
    RunCheckpoint back;
    try {
      back = Read(text);
    } catch (const CheckpointError& e) {
      ASSERT_STREQ(e.what(), "Repeated identifier");
      continue;
    }
    EXPECT_EQ(back.generation, c.generation);
    EXPECT_EQ(back.random_state, c.random_state);
    EXPECT_EQ(back.seed, c.seed);
    EXPECT_EQ(back.seed_given, c.seed_given);
    EXPECT_EQ(Bits(back.elapsed_seconds), Bits(c.elapsed_seconds));
    EXPECT_EQ(back.evaluations, c.evaluations);
    EXPECT_EQ(back.log_bytes, c.log_bytes);
    EXPECT_EQ(Bits(back.lowest_error), Bits(c.lowest_error));
    EXPECT_EQ(Bits(back.lowest_fitness), Bits(c.lowest_fitness));
    EXPECT_EQ(Bits(back.best_error), Bits(c.best_error));
    ExpectSameRecord(back.best, c.best);
    EXPECT_EQ(back.network_fingerprint, c.network_fingerprint);
    EXPECT_EQ(back.data_fingerprints, c.data_fingerprints);
    const RunSettings& s = back.settings;
    EXPECT_EQ(s.PopulationSize, c.settings.PopulationSize);
    EXPECT_EQ(s.EliteIndividuals, c.settings.EliteIndividuals);
    EXPECT_EQ(Bits(s.MutationRate), Bits(c.settings.MutationRate));
    EXPECT_EQ(s.CrossoverPoints, c.settings.CrossoverPoints);
    EXPECT_EQ(s.Selection, c.settings.Selection);
    EXPECT_EQ(s.Normalisation, c.settings.Normalisation);
    EXPECT_EQ(Bits(s.MaxWeight), Bits(c.settings.MaxWeight));
    EXPECT_EQ(Bits(s.MinWeight), Bits(c.settings.MinWeight));
    EXPECT_EQ(s.FeaturesGiven, c.settings.FeaturesGiven);
    EXPECT_EQ(s.Features, c.settings.Features);
    EXPECT_EQ(back.gene_count, c.gene_count);
    ASSERT_EQ(back.individuals.size(), c.individuals.size());
    for (std::size_t i = 0; i < c.individuals.size(); ++i)
      ExpectSameRecord(back.individuals[i], c.individuals[i]);
    EXPECT_EQ(Text(back), text);
  }
}

// Every truncation is refused; any other damage is refused or reads as some
// consistent checkpoint, but never crashes or reads past what it checked.
TEST(Checkpoint, DamagedFilesAreRefused) {
  std::mt19937_64 rng(5);
  RunCheckpoint c = RandomCheckpoint(rng);
  for (std::size_t i = 0; i < c.individuals.size(); ++i)
    c.individuals[i].identifier = static_cast<std::int32_t>(i);
  const std::string text = Text(c);
  ASSERT_NO_THROW(Read(text));
  for (std::size_t cut = 0; cut < text.size(); cut += 1 + cut / 50) {
    SCOPED_TRACE(cut);
    EXPECT_THROW(Read(text.substr(0, cut)), CheckpointError);
  }
  EXPECT_THROW(Read(text + "[Extra]"), CheckpointError);
  const char kBytes[] = "[]~=/*0-9.e \nx";
  for (int trial = 0; trial < 2000; ++trial) {
    std::string damaged = text;
    damaged[rng() % damaged.size()] = kBytes[rng() % (sizeof kBytes - 1)];
    try {
      const RunCheckpoint back = Read(damaged);
      EXPECT_EQ(back.individuals.size(), static_cast<std::size_t>(back.settings.PopulationSize));
      for (const IndividualRecord& r : back.individuals)
        EXPECT_EQ(r.values.size(), static_cast<std::size_t>(back.gene_count));
    } catch (const CheckpointError&) {
    }
  }
}

TEST(Checkpoint, AMismatchNamesWhatDiffers) {
  QuillParameters p;
  p.WeightFile = "net.wgt";
  p.DataClasses = 2;
  p.DataFiles = {"a.dat", "b.dat"};
  p.PopulationSize = 20;
  p.Generations = 50;
  p.MutationRate = 0.05f;
  RunCheckpoint c;
  c.generation = 10;
  c.settings = RunSettings::Of(p);
  c.network_fingerprint = 1;
  c.data_fingerprints = {2, 3};
  EXPECT_FALSE(CompareCheckpoint(c, p, 1, {2, 3}).has_value());
  const std::string prefix = "Checkpoint does not match this run: ";
  EXPECT_EQ(CompareCheckpoint(c, p, 9, {2, 3}).value_or(""),
            prefix + "the weight file net.wgt is not the one it was saved with");
  EXPECT_EQ(CompareCheckpoint(c, p, 1, {2, 9}).value_or(""),
            prefix + "the data file b.dat is not the one it was saved with");
  QuillParameters q = p;
  q.PopulationSize = 21;
  EXPECT_EQ(CompareCheckpoint(c, q, 1, {2, 3}).value_or(""),
            prefix + "PopulationSize is 20 in the checkpoint and 21 here");
  q = p;
  q.MutationRate = 0.06f;
  EXPECT_EQ(CompareCheckpoint(c, q, 1, {2, 3}).value_or(""),
            prefix + "MutationRate is 0.05 in the checkpoint and 0.06 here");
  q = p;
  q.FeaturesGiven = true;
  q.Features = {3, 1};
  EXPECT_EQ(CompareCheckpoint(c, q, 1, {2, 3}).value_or(""),
            prefix + "Features is none in the checkpoint and 3 1 here");
  q = p;
  q.Selection = QuillParameters::kSelectTournament;
  EXPECT_EQ(CompareCheckpoint(c, q, 1, {2, 3}).value_or(""),
            prefix + "Selection is Roulette in the checkpoint and Tournament here");
  q = p;
  q.Generations = 10;
  EXPECT_EQ(CompareCheckpoint(c, q, 1, {2, 3}).value_or(""),
            prefix + "it was saved after generation 10, and Generations is 10");
  // What does not shape the run may change.
  q = p;
  q.Generations = 500;
  q.Threads = 3;
  q.DestinationFile = "elsewhere.wgt";
  q.TargetErrorGiven = true;
  EXPECT_FALSE(CompareCheckpoint(c, q, 1, {2, 3}).has_value());
}

// The fuzz target's seeds: the valid ones read, the others are refused.
TEST(Checkpoint, FuzzSeeds) {
  const std::filesystem::path seeds =
      std::filesystem::path(QUILL_SOURCE_DIR) / "fuzz/corpus/checkpoint";
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(seeds)) {
    const std::string name = entry.path().filename().string();
    SCOPED_TRACE(name);
    std::ifstream in(entry.path(), std::ios::binary);
    if (name.rfind("valid_", 0) == 0) {
      EXPECT_NO_THROW(ReadCheckpoint(in));
    } else {
      EXPECT_THROW(ReadCheckpoint(in), CheckpointError);
    }
    ++count;
  }
  EXPECT_GE(count, 8);
}

}  // namespace
