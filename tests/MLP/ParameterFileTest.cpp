#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <sstream>
#include <thread>

#include "MLP/Quill/ParameterFile.h"

namespace {

// Reads `text` from the defaults; `error` receives the reader's message or "".
QuillParameters Read(const std::string& text, std::string* error = nullptr) {
  QuillParameters p;
  std::istringstream in(text);
  const auto message = ReadQuillParameters(in, p);
  if (error != nullptr) {
    *error = message.value_or("");
  } else {
    EXPECT_FALSE(message.has_value()) << *message;
  }
  return p;
}

std::string ReadError(const std::string& text) {
  std::string error;
  Read(text, &error);
  return error;
}

TEST(ParameterFile, Defaults) {
  const QuillParameters p = Read("");
  EXPECT_EQ(p.WeightFile, "nonamespecified.wgt");
  EXPECT_EQ(p.DestinationFile, "GenTrain.wgt");
  EXPECT_EQ(p.DataClasses + p.PopulationSize + p.Generations + p.NumFeatures, 0);
  EXPECT_EQ(p.EliteIndividuals, 1);
  EXPECT_EQ(p.CrossoverPoints, 1);
  EXPECT_EQ(p.MutationRate, 0.0f);
  EXPECT_EQ(p.Selection, 21);
  EXPECT_EQ(p.Normalisation, 1);
  EXPECT_EQ(p.MaxWeight, 10.0f);
  EXPECT_EQ(p.MinWeight, 10.0f);  // plus ten, not minus ten
  EXPECT_FALSE(p.FeaturesGiven);
  EXPECT_EQ(p.Threads, std::clamp<std::int32_t>(std::thread::hardware_concurrency(), 1, 1024));
}

TEST(ParameterFile, EveryKeyAnyCase) {
  const QuillParameters p = Read(
      "weightfile = in.wgt DESTINATIONFILE = out.wgt #DataClasses = 2 DataFile = one.dat "
      "datafile = two.dat PopulationSize = 30 Generations = 40 EliteIndividuals = 3 "
      "MutationRate = 0.25 CrossoverPoints = 2 selection = tournament Normalisation = OFF "
      "MaxWeight = 2.5 MinWeight = -1.5 #Features = 3 Features = 4 0 2");
  EXPECT_EQ(p.WeightFile, "in.wgt");
  EXPECT_EQ(p.DestinationFile, "out.wgt");
  EXPECT_EQ(p.DataFiles, (std::vector<std::string>{"one.dat", "two.dat"}));
  EXPECT_EQ(p.PopulationSize, 30);
  EXPECT_EQ(p.Generations, 40);
  EXPECT_EQ(p.EliteIndividuals, 3);
  EXPECT_EQ(p.MutationRate, 0.25f);
  EXPECT_EQ(p.CrossoverPoints, 2);
  EXPECT_EQ(p.Selection, 22);
  EXPECT_EQ(p.Normalisation, 0);
  EXPECT_EQ(p.MaxWeight, 2.5f);
  EXPECT_EQ(p.MinWeight, -1.5f);
  EXPECT_TRUE(p.FeaturesGiven);
  EXPECT_EQ(p.Features, (std::vector<std::int32_t>{4, 0, 2}));
}

TEST(ParameterFile, SeparatorsAndWords) {
  EXPECT_EQ(Read("PopulationSize =50").PopulationSize, 50);
  EXPECT_EQ(Read("PopulationSize\n:\n\t50").PopulationSize, 50);
  EXPECT_EQ(Read("PopulationSize 50").PopulationSize, 0);  // "5" is the separator
  EXPECT_EQ(Read("PopulationSize=50").PopulationSize, 0);  // one unknown word
  EXPECT_EQ(Read("WeightFile: = c.wgt").WeightFile, "nonamespecified.wgt");
  // Unknown words are skipped one at a time; a key among them is read.
  const QuillParameters p = Read("Colour = red Size = Generations = 7 Weight 12 Generations = 9");
  EXPECT_EQ(p.Generations, 9);
  EXPECT_EQ(Read("Normalisation = off Normalisation = yes").Normalisation, 0);
  EXPECT_EQ(Read("Normalisation = off Normalisation = On").Normalisation, 1);
}

TEST(ParameterFile, Numbers) {
  EXPECT_EQ(Read("PopulationSize = 010").PopulationSize, 8);
  EXPECT_EQ(Read("PopulationSize = 0x10").PopulationSize, 16);
  EXPECT_EQ(Read("Generations = -0X1f").Generations, -31);
  EXPECT_EQ(Read("Generations = 078").Generations, 7);  // "8" is then a word
  EXPECT_EQ(Read("#Features = 2 Features = 010 0x10").Features, (std::vector<std::int32_t>{8, 16}));
  EXPECT_EQ(Read("MutationRate = 0.05").MutationRate, 0.05f);
  // Beyond the float range: the largest float with the sign, and reading goes on.
  const QuillParameters p = Read("MaxWeight = 1e39 MinWeight = -1e300 Generations = 4");
  EXPECT_EQ(p.MaxWeight, std::numeric_limits<float>::max());
  EXPECT_EQ(p.MinWeight, -std::numeric_limits<float>::max());
  EXPECT_EQ(p.Generations, 4);
  // With a zero count no numbers are read; they are skipped as words.
  EXPECT_TRUE(Read("#Features = 0 Features = 5 6 Generations = 2").Features.empty());
}

TEST(ParameterFile, ValidationOrder) {
  QuillParameters p;
  p.Threads = 0;  // checked last
  EXPECT_EQ(ValidateQuillParameters(p).value_or(""), "No weight file specified");
  p.WeightFile = "NoNameSpecified.WGT";
  EXPECT_EQ(ValidateQuillParameters(p).value_or(""), "No weight file specified");
  p.WeightFile = "w.wgt";
  EXPECT_EQ(ValidateQuillParameters(p).value_or(""), "Number of classes not specified or invalid");
  p.DataClasses = 1;
  EXPECT_EQ(ValidateQuillParameters(p).value_or(""),
            "Number of generations not specified or invalid");
  p.Generations = 1;
  EXPECT_EQ(ValidateQuillParameters(p).value_or(""), "Population Size not specified or invalid");
  p.PopulationSize = 1;
  EXPECT_EQ(ValidateQuillParameters(p).value_or(""), "Threads must be between 1 and 1024");
  p.Threads = 1;
  p.EliteIndividuals = -3;  // not checked, nor are the other settings
  p.MinWeight = 50.0f;
  EXPECT_FALSE(ValidateQuillParameters(p).has_value());
}

TEST(ParameterFile, Threads) {
  const std::int32_t machine = QuillParameters().Threads;
  const struct {
    const char* entry;
    std::int32_t threads;  // after reading, when there is no reader message
    const char* message;   // from the reader or else the validation, or ""
  } kCases[] = {
      {"", machine, ""},
      {"threads = 4", 4, ""},
      {"THREADS :2", 2, ""},
      {"THREADS:2", machine, ""},  // one word that is not a key
      {"Threads = 1", 1, ""},
      {"Threads = 1024", 1024, ""},
      {"Threads = 0x10", 16, ""},
      {"Threads = 0", 0, "Threads must be between 1 and 1024"},
      {"Threads = -1", -1, "Threads must be between 1 and 1024"},
      {"Threads = 1025", 1025, "Threads must be between 1 and 1024"},
      {"Threads = ten", 0, "Invalid or missing value for Threads"},
      {"Threads = 4294967296", 0, "Invalid or missing value for Threads"},
      {"Threads =", 0, "Invalid or missing value for Threads"},
      {"Threads", 0, "Invalid or missing value for Threads"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.entry);
    std::string message;
    const QuillParameters p =
        Read("WeightFile = w #DataClasses = 1 DataFile = d Generations = 1 PopulationSize = 1 " +
                 std::string(c.entry),
             &message);
    if (message.empty()) {
      EXPECT_EQ(p.Threads, c.threads);
      message = ValidateQuillParameters(p).value_or("");
    }
    EXPECT_EQ(message, c.message);
  }
}

// The long-run keys: what each entry reads to, and the message of a bad one
// (from the reader, else from the validation).
TEST(ParameterFile, LongRunKeys) {
  const std::string long_word(256, 'r');
  const struct {
    std::string entry;
    const char* message;
    bool (*holds)(const QuillParameters&);
  } kCases[] = {
      {"", "",
       [](const QuillParameters& p) {
         return !p.SeedGiven && p.RunLog.empty() && p.Checkpoint.empty() &&
                p.CheckpointEvery == 10 && p.Resume.empty() && !p.TargetErrorGiven &&
                !p.TimeLimitGiven;
       }},
      {"seed = -7", "", [](const QuillParameters& p) { return p.SeedGiven && p.Seed == -7; }},
      {"SEED = 0x10", "", [](const QuillParameters& p) { return p.Seed == 16; }},
      {"Seed = 4294967296", "Invalid or missing value for Seed", nullptr},
      {"RunLog = log.csv Checkpoint = run.ckpt Resume = old.ckpt", "",
       [](const QuillParameters& p) {
         return p.RunLog == "log.csv" && p.Checkpoint == "run.ckpt" && p.Resume == "old.ckpt";
       }},
      {"Checkpoint = ", "Invalid or missing value for Checkpoint", nullptr},
      {"checkpointevery = 3", "", [](const QuillParameters& p) { return p.CheckpointEvery == 3; }},
      {"CheckpointEvery = 0", "CheckpointEvery must be at least 1", nullptr},
      {"CheckpointEvery = -5", "CheckpointEvery must be at least 1", nullptr},
      {"CheckpointEvery = often", "Invalid or missing value for CheckpointEvery", nullptr},
      {"TargetError = 0.01", "",
       [](const QuillParameters& p) { return p.TargetErrorGiven && p.TargetError == 0.01; }},
      {"TargetError = 0", "", [](const QuillParameters& p) { return p.TargetError == 0.0; }},
      {"TargetError = -0.5", "TargetError must be 0 or more", nullptr},
      {"TargetError = nan", "Invalid or missing value for TargetError", nullptr},
      {"TargetError = 1e999", "Invalid or missing value for TargetError", nullptr},
      {"TimeLimit = 3600", "",
       [](const QuillParameters& p) { return p.TimeLimitGiven && p.TimeLimit == 3600.0; }},
      {"TimeLimit = 0", "TimeLimit must be above 0", nullptr},
      {"TimeLimit = -1", "TimeLimit must be above 0", nullptr},
      {"TimeLimit = soon", "Invalid or missing value for TimeLimit", nullptr},
      {"RunLog = " + long_word, "RunLog longer than 255 characters", nullptr},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.entry);
    std::string message;
    const QuillParameters p =
        Read("WeightFile = w #DataClasses = 1 DataFile = d Generations = 1 PopulationSize = 1 " +
                 c.entry,
             &message);
    if (message.empty()) message = ValidateQuillParameters(p).value_or("");
    EXPECT_EQ(message, c.message);
    if (c.holds != nullptr) {
      EXPECT_TRUE(c.holds(p));
    }
  }
}

TEST(ParameterFile, SelectionStopsReadingAtOnce) {
  std::string error;
  const QuillParameters p = Read("Generations = 3 Selection = Random Generations = 5", &error);
  EXPECT_EQ(error, "Unknown selection method");
  EXPECT_EQ(p.Generations, 3);
}

TEST(ParameterFile, ValuesThatAreNotNumbers) {
  EXPECT_EQ(ReadError("Generations = ten PopulationSize = 5"),
            "Invalid or missing value for Generations");
  EXPECT_EQ(ReadError("eliteindividuals = -"), "Invalid or missing value for EliteIndividuals");
  EXPECT_EQ(ReadError("MutationRate = high"), "Invalid or missing value for MutationRate");
  EXPECT_EQ(ReadError("#DataClasses = two"), "Invalid or missing value for #DataClasses");
  EXPECT_EQ(ReadError("Generations = 4294967296"), "Invalid or missing value for Generations");
  // A key at the end of the file, with or without its separator.
  EXPECT_EQ(ReadError("PopulationSize 5"), "Invalid or missing value for PopulationSize");
  EXPECT_EQ(ReadError("WeightFile"), "Invalid or missing value for WeightFile");
}

TEST(ParameterFile, ListsAndCounts) {
  EXPECT_EQ(ReadError("DataFile = a #DataClasses = 1"), "DataFile given before #DataClasses");
  EXPECT_EQ(ReadError("#DataClasses = 1 DataFile = a DataFile = b"),
            "More DataFile entries than #DataClasses");
  EXPECT_EQ(ReadError("#DataClasses = 2147483647 DataFile = a"),
            "Fewer DataFile entries than #DataClasses");
  EXPECT_EQ(ReadError("#DataClasses = 1 DataFile = a #DataClasses = 1"),
            "#DataClasses given more than once");
  EXPECT_EQ(ReadError("#Features = 1 Features = 0 #Features = 1"),
            "#Features given more than once");
  EXPECT_EQ(ReadError("#DataClasses = -1"), "#DataClasses is negative");
  EXPECT_EQ(ReadError("#Features = -2 Features = 1 2"), "#Features is negative");
  EXPECT_EQ(ReadError("Features = 1 #Features = 1"), "Features given before #Features");
  EXPECT_EQ(ReadError("#Features = 0"), "#Features given without Features");
  EXPECT_EQ(ReadError("#Features = 3 Features = 1 2 Generations = 4"),
            "Features list shorter than #Features");
}

TEST(ParameterFile, WordsLongerThanTheirFields) {
  const std::string w255(255, 'w');
  EXPECT_EQ(Read("WeightFile = " + w255).WeightFile, w255);
  EXPECT_EQ(ReadError("WeightFile = " + w255 + "w"), "WeightFile longer than 255 characters");
  EXPECT_EQ(ReadError("DestinationFile = " + w255 + "w"),
            "DestinationFile longer than 255 characters");
  const std::string d254(254, 'd');
  EXPECT_EQ(Read("#DataClasses = 1 DataFile = " + d254).DataFiles.at(0), d254);
  EXPECT_EQ(ReadError("#DataClasses = 1 DataFile = " + d254 + "d"),
            "DataFile longer than 254 characters");
  EXPECT_EQ(ReadError("Selection = " + std::string(19, 's')), "Unknown selection method");
  EXPECT_EQ(ReadError("Selection = " + std::string(20, 's')),
            "Selection longer than 19 characters");
  EXPECT_EQ(Read("Normalisation = offoffoff").Normalisation, 1);
  EXPECT_EQ(ReadError("Normalisation = offoffoffo"), "Normalisation longer than 9 characters");
  // Any word has a bound: the endless word of /dev/zero ends reading.
  EXPECT_EQ(ReadError("WeightFile = " + std::string(9000, 'w')),
            "WeightFile longer than 255 characters");
  EXPECT_EQ(Read(std::string(kMaxParameterWord, 'x') + " WeightFile = n").WeightFile, "n");
  EXPECT_EQ(ReadError(std::string(kMaxParameterWord + 1, '\0')), kWordTooLong);
}

}  // namespace
