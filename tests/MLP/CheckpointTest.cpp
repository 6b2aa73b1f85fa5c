// The checkpoint file: random checkpoints read back bit for bit, damaged files
// are refused whatever the damage (every altered byte, through the checksum),
// the fast path for gene lists reads exactly what the plain tag reader reads,
// and a checkpoint that does not fit a run says what differs.
#include <gtest/gtest.h>

#include <bit>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>

#include "GA-Apps/GenTrain/TGenTrainEval.h"
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
  // Errors and fitness values within what a run produces.
  auto error = [&] {
    for (;;) {
      const double d = std::fabs(dbl());
      if (d <= TGenTrainEval::kNoError) return d;
    }
  };
  auto fitness = [&] {
    for (;;) {
      const float f = std::fabs(real());
      if (f <= TGenTrainEval::kFitnessCeiling) return f;
    }
  };
  RunCheckpoint c;
  c.generation = static_cast<std::int32_t>(rng() % 100000) + 1;
  c.random_state = static_cast<std::uint32_t>(rng());
  c.seed = static_cast<std::uint32_t>(rng());
  c.seed_given = rng() % 2;
  c.elapsed_seconds = std::fabs(dbl());
  c.evaluations = static_cast<std::int64_t>(rng() >> 11);
  c.log_bytes = static_cast<std::int64_t>(rng() >> 11);
  c.lowest_error = error();
  c.lowest_fitness = fitness();
  c.best_error = error();
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
  s.SinglePrecision = rng() % 2;
  c.gene_count = static_cast<std::int32_t>(rng() % 40);
  auto genes = [&] {
    std::vector<GeneCell> v;
    for (int k = 0; k < c.gene_count; ++k)
      v.push_back(GeneCell::FromReal(real()));
    return v;
  };
  if (rng() % 3 != 0) {
    c.best.fitness = fitness();
    c.best.values = genes();
  }
  if (rng() % 2 != 0) {
    RunCheckpoint::Validation& v = c.validation.emplace();
    for (int k = 0; k <= static_cast<int>(rng() % 3); ++k)
      v.fingerprints.push_back(rng());
    v.best_generation =
        static_cast<std::int32_t>(rng() % static_cast<std::uint64_t>(c.generation + 1));
    if (v.best_generation > 0) {
      v.best_error = std::fabs(dbl());
      v.best.values = genes();
    }
  }
  for (int i = 0; i < s.PopulationSize; ++i) {
    IndividualRecord r;
    r.identifier = static_cast<std::int32_t>(rng()) ^ i;
    r.parent_one = static_cast<std::int32_t>(rng());
    r.parent_two = static_cast<std::int32_t>(rng());
    r.fitness = fitness();
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

RunCheckpoint Read(const std::string& text, bool plain = false) {
  std::istringstream in(text);
  CheckpointReading how;
  how.plain = plain;
  return ReadCheckpoint(in, how);
}

// What a checkpoint written before the checksum looked like: Format 1, no
// checksum line.
std::string Format1(std::string text) {
  text.replace(text.find("[Format = 2]"), 12, "[Format = 1]");
  return text.substr(0, text.rfind("[Checksum = "));
}

// The checkpoint's text or the message refusing it, read either way.
std::string Outcome(const std::string& text, bool plain) {
  try {
    return Text(Read(text, plain));
  } catch (const CheckpointError& e) {
    return std::string("refused: ") + e.what();
  }
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
    EXPECT_EQ(s.SinglePrecision, c.settings.SinglePrecision);
    // Double precision, the default, leaves no trace: its checkpoints are
    // those of runs before the key.
    EXPECT_EQ(text.find("Precision") != std::string::npos, c.settings.SinglePrecision);
    ASSERT_EQ(back.validation.has_value(), c.validation.has_value());
    if (c.validation) {
      EXPECT_EQ(back.validation->fingerprints, c.validation->fingerprints);
      EXPECT_EQ(back.validation->best_generation, c.validation->best_generation);
      EXPECT_EQ(Bits(back.validation->best_error), Bits(c.validation->best_error));
      ExpectSameRecord(back.validation->best, c.validation->best);
    }
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

TEST(Checkpoint, EveryAlteredByteIsRefusedAndFormat1StillReads) {
  std::mt19937_64 rng(8);
  RunCheckpoint c = RandomCheckpoint(rng);
  for (std::size_t i = 0; i < c.individuals.size(); ++i)
    c.individuals[i].identifier = static_cast<std::int32_t>(i);
  const std::string text = Text(c);
  for (std::size_t at = 0; at < text.size(); ++at) {
    std::string damaged = text;
    damaged[at] = static_cast<char>(damaged[at] ^ (1 + rng() % 255));
    EXPECT_THROW(Read(damaged), CheckpointError) << at;
  }
  // A checkpoint of a run in flight before the checksum resumes as it was.
  EXPECT_EQ(Text(Read(Format1(text))), text);
}

// The fast path against the plain tag reader, on gene lists spelled every
// way the syntax allows (and some it does not), resealed so that the
// content is what is read: the same checkpoint, bit for bit, or the same
// message. Numbers come from whole random floats, from digit strings around
// the halfway points between floats, and from mangled spellings; the large
// checkpoint crosses the reader's pieces of input many times.
TEST(Checkpoint, FastGeneReadingMatchesThePlainReader) {
  std::mt19937_64 rng(21);
  const char* const kSeparators[] = {" ", "\n", "\t", ",", "\r\n", " /* c */ ", "   \n  "};
  const char* const kOdd[] = {"+1",  "1.",   ".5",    "1e5",   "1E+5", "0x1p3",
                              "nan", "-inf", "1e-50", "1e+39", "--1",  "1.5x",
                              "*",   "=",    "1/2",   "0.5]",  "-0"};
  auto spelling = [&](const std::string& gene, bool any) -> std::string {
    switch (rng() % (any ? 6 : 4)) {
      case 0: {  // an integer of up to 17 digits around 2^24 ... 2^53, scaled
        const std::uint64_t m = (std::uint64_t{1} << (24 + rng() % 30)) + rng() % 1000;
        const int e = static_cast<int>(rng() % 50) - 25;
        return std::to_string(m) +
               (e == 0 ? "" : (e < 0 ? "e-" : "e+") + std::to_string(std::abs(e)));
      }
      case 1: {  // a long decimal
        std::string digits = std::to_string(rng() % 1000) + ".";
        for (int k = static_cast<int>(rng() % 24); k >= 0; --k)
          digits += static_cast<char>('0' + rng() % 10);
        return (rng() % 2 ? "-" : "") + digits;
      }
      case 2:
        return gene;
      case 3: {  // next to the point halfway between two floats, 15 or 16 digits
        const float f = std::ldexp(1.0f + static_cast<float>(rng() % 8388608) / 8388608.0f,
                                   static_cast<int>(rng() % 40) - 20);
        const double halfway = (static_cast<double>(f) + std::nextafter(f, 2.0f * f)) / 2.0;
        char text[64];
        std::snprintf(text, sizeof text, "%.*e", 14 + static_cast<int>(rng() % 2), halfway);
        return text;
      }
      case 4:
        return std::string(1020 + rng() % 16, '7');  // near the longest token
      default:
        return kOdd[rng() % (sizeof kOdd / sizeof kOdd[0])];
    }
  };
  int read = 0;
  for (int trial = 0; trial < 60; ++trial) {
    SCOPED_TRACE(trial);
    RunCheckpoint c = RandomCheckpoint(rng);
    if (trial == 0) {  // a checkpoint of several pieces
      c.gene_count = 150000;
      for (IndividualRecord& r : c.individuals)
        r.values.resize(150000, GeneCell::FromReal(0.1234567f));
    }
    const std::string text = Text(c);
    ASSERT_EQ(Outcome(text, false), Outcome(text, true));
    // Respell the genes of every list; odd spellings in every other trial.
    std::string respelled;
    std::size_t at = 0;
    for (std::size_t start; (start = text.find("[Genes]\n", at)) != std::string::npos;) {
      const std::size_t end = text.find("[~Genes]", start);
      respelled += text.substr(at, start + 8 - at);
      std::istringstream genes(text.substr(start + 8, end - start - 8));
      for (std::string gene; genes >> gene;) {
        const bool other = trial > 0 && rng() % 4 == 0;
        respelled += (other ? spelling(gene, trial % 2 == 1) : gene) + kSeparators[rng() % 7];
      }
      at = end;
    }
    respelled = SealCheckpoint(respelled + text.substr(at));
    const std::string outcome = Outcome(respelled, false);
    EXPECT_EQ(outcome, Outcome(respelled, true));
    if (outcome.rfind("refused", 0) != 0) ++read;
  }
  EXPECT_GE(read, 20);
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
  q.SinglePrecision = true;
  EXPECT_EQ(CompareCheckpoint(c, q, 1, {2, 3}).value_or(""),
            prefix + "Precision is double in the checkpoint and single here");
  c.settings.SinglePrecision = true;
  EXPECT_EQ(CompareCheckpoint(c, p, 1, {2, 3}).value_or(""),
            prefix + "Precision is single in the checkpoint and double here");
  c.settings.SinglePrecision = false;
  q = p;
  q.Generations = 10;
  EXPECT_EQ(CompareCheckpoint(c, q, 1, {2, 3}).value_or(""),
            prefix + "it was saved after generation 10, and Generations is 10");
  // Validation data: present in both or neither, the same files.
  q = p;
  q.ValidationGiven = true;
  q.ValidationFiles = {"va.dat", "vb.dat"};
  EXPECT_EQ(CompareCheckpoint(c, q, 1, {2, 3}, {4, 5}).value_or(""),
            prefix + "#ValidationClasses is none in the checkpoint and 2 here");
  c.validation.emplace().fingerprints = {4, 5};
  EXPECT_FALSE(CompareCheckpoint(c, q, 1, {2, 3}, {4, 5}).has_value());
  EXPECT_EQ(CompareCheckpoint(c, q, 1, {2, 3}, {4, 9}).value_or(""),
            prefix + "the validation file vb.dat is not the one it was saved with");
  EXPECT_EQ(CompareCheckpoint(c, p, 1, {2, 3}).value_or(""),
            prefix + "#ValidationClasses is 2 in the checkpoint and none here");
  c.validation.reset();
  // What does not shape the run may change.
  q = p;
  q.Generations = 500;
  q.Threads = 3;
  q.DestinationFile = "elsewhere.wgt";
  q.TargetErrorGiven = true;
  EXPECT_FALSE(CompareCheckpoint(c, q, 1, {2, 3}).has_value());
}

// The fuzz target's seeds: the valid ones read, the others are refused (with
// these messages where given).
TEST(Checkpoint, FuzzSeeds) {
  const std::map<std::string, std::string> kMessages = {
      {"bad_checksum.ckpt", "The checksum does not match the content"},
      {"missing_checksum.ckpt", "No checksum line at the end (the file is cut short)"},
      {"checksum_in_format_1.ckpt", "Text after the checkpoint"},
      {"fitness_above_ceiling.ckpt", "Fitness above the ceiling of 2^96"},
      {"negative_error.ckpt", "Negative error"},
      {"huge_evaluations.ckpt", "Run totals beyond 2^53"},
      {"nul_byte.ckpt", "NUL byte (not a text file)"},
      {"future_format.ckpt", "Unknown checkpoint format 3"},
      {"bad_precision.ckpt", "Bad precision"}};
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
      try {
        ReadCheckpoint(in);
        ADD_FAILURE() << "read";
      } catch (const CheckpointError& e) {
        if (kMessages.count(name) != 0) {
          EXPECT_EQ(e.what(), kMessages.at(name));
        }
      }
    }
    ++count;
  }
  EXPECT_GE(count, 18);
}

}  // namespace
