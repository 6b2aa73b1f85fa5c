#include <gtest/gtest.h>

#include <limits>
#include <sstream>

#include "MLP/Quill/ParameterFile.h"

namespace {

// Reads `text` into `p` from the defaults; returns the reader's message.
std::optional<std::string> Read(const std::string& text, QuillParameters& p) {
  p = QuillParameters();
  std::istringstream in(text);
  return ReadQuillParameters(in, p);
}

// Reads `text`, expecting no message.
QuillParameters ReadOk(const std::string& text) {
  QuillParameters p;
  const auto error = Read(text, p);
  EXPECT_FALSE(error.has_value()) << "message: " << error.value_or("");
  return p;
}

// The reader's message for `text`, or "" when it has none.
std::string ReadError(const std::string& text) {
  QuillParameters p;
  return Read(text, p).value_or("");
}

// A file that passes validation, for appending the entry under test.
const std::string kValid =
    "WeightFile = start.wgt\n#DataClasses = 2\nDataFile = a.dat\nDataFile = b.dat\n"
    "Generations = 10\nPopulationSize = 20\n";

TEST(ParameterFile, Defaults) {
  const QuillParameters p = ReadOk("");
  EXPECT_EQ(p.WeightFile, "nonamespecified.wgt");
  EXPECT_EQ(p.DestinationFile, "GenTrain.wgt");
  EXPECT_EQ(p.DataClasses, 0);
  EXPECT_TRUE(p.DataFiles.empty());
  EXPECT_EQ(p.PopulationSize, 0);
  EXPECT_EQ(p.Generations, 0);
  EXPECT_EQ(p.EliteIndividuals, 1);
  EXPECT_EQ(p.MutationRate, 0.0f);
  EXPECT_EQ(p.CrossoverPoints, 1);
  EXPECT_EQ(p.Selection, 21);
  EXPECT_EQ(p.Normalisation, 1);
  EXPECT_EQ(p.MaxWeight, 10.0f);
  EXPECT_EQ(p.MinWeight, 10.0f);  // plus ten, not minus ten
  EXPECT_EQ(p.NumFeatures, 0);
  EXPECT_FALSE(p.FeaturesGiven);
  EXPECT_TRUE(p.Features.empty());
}

TEST(ParameterFile, EveryKey) {
  const QuillParameters p = ReadOk(
      "WeightFile = in.wgt DestinationFile = out.wgt #DataClasses = 2 DataFile = one.dat "
      "DataFile = two.dat PopulationSize = 30 Generations = 40 EliteIndividuals = 3 "
      "MutationRate = 0.25 CrossoverPoints = 2 Selection = Tournament Normalisation = off "
      "MaxWeight = 2.5 MinWeight = -1.5 #Features = 3 Features = 4 0 2");
  EXPECT_EQ(p.WeightFile, "in.wgt");
  EXPECT_EQ(p.DestinationFile, "out.wgt");
  EXPECT_EQ(p.DataClasses, 2);
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
  EXPECT_EQ(p.NumFeatures, 3);
  EXPECT_TRUE(p.FeaturesGiven);
  EXPECT_EQ(p.Features, (std::vector<std::int32_t>{4, 0, 2}));
}

TEST(ParameterFile, SeparatorIsAnyCharacter) {
  EXPECT_EQ(ReadOk("PopulationSize = 50").PopulationSize, 50);
  EXPECT_EQ(ReadOk("PopulationSize =50").PopulationSize, 50);
  EXPECT_EQ(ReadOk("PopulationSize\n:\n\t50").PopulationSize, 50);
  EXPECT_EQ(ReadOk("PopulationSize x50").PopulationSize, 50);
  // The digit 5 is the separator; the value is the remaining 0.
  EXPECT_EQ(ReadOk("PopulationSize 50").PopulationSize, 0);
  // Key and separator run together form one unknown word.
  EXPECT_EQ(ReadOk("PopulationSize=50").PopulationSize, 0);
  EXPECT_EQ(ReadOk("WeightFile =net.wgt").WeightFile, "net.wgt");
}

TEST(ParameterFile, KeysIgnoreCaseButMustBeWholeWords) {
  EXPECT_EQ(ReadOk("weightfile = a.wgt").WeightFile, "a.wgt");
  EXPECT_EQ(ReadOk("WEIGHTFILE = b.wgt").WeightFile, "b.wgt");
  EXPECT_EQ(ReadOk("WeightFile: = c.wgt").WeightFile, "nonamespecified.wgt");
  EXPECT_EQ(ReadOk("GENERATIONS = 7 populationsize = 9 #datafeatures = 3").Generations, 7);
  EXPECT_EQ(ReadOk("selection = TOURNAMENT").Selection, 22);
  EXPECT_EQ(ReadOk("Selection = Tournament Selection = roulette").Selection, 21);
}

TEST(ParameterFile, UnknownWordsAreSkippedOneAtATime) {
  // "Colour", "=", "red" are skipped in turn; a key among them is read.
  const QuillParameters p =
      ReadOk("Colour = red Size = Generations = 7 Weight 12 PopulationSize = 3");
  EXPECT_EQ(p.Generations, 7);
  EXPECT_EQ(p.PopulationSize, 3);
}

TEST(ParameterFile, IntegersTakeBasePrefixes) {
  EXPECT_EQ(ReadOk("PopulationSize = 010").PopulationSize, 8);
  EXPECT_EQ(ReadOk("PopulationSize = 0x10").PopulationSize, 16);
  EXPECT_EQ(ReadOk("PopulationSize = 0X1f").PopulationSize, 31);
  EXPECT_EQ(ReadOk("Generations = -010").Generations, -8);
  EXPECT_EQ(ReadOk("Generations = +12").Generations, 12);
  // An octal number stops at the first 8; the rest is an unknown word.
  EXPECT_EQ(ReadOk("Generations = 078").Generations, 7);
  EXPECT_EQ(ReadOk("#Features = 2 Features = 010 0x10").Features,
            (std::vector<std::int32_t>{8, 16}));
}

TEST(ParameterFile, Reals) {
  EXPECT_EQ(ReadOk("MutationRate = 0.05").MutationRate, 0.05f);
  EXPECT_EQ(ReadOk("MaxWeight = 1e2").MaxWeight, 100.0f);
  EXPECT_EQ(ReadOk("MinWeight = -.5").MinWeight, -0.5f);
  // Beyond the float range: the largest float with the sign, and reading goes on.
  const QuillParameters p = ReadOk("MaxWeight = 1e39 MinWeight = -1e300 Generations = 4");
  EXPECT_EQ(p.MaxWeight, std::numeric_limits<float>::max());
  EXPECT_EQ(p.MinWeight, -std::numeric_limits<float>::max());
  EXPECT_EQ(p.Generations, 4);
}

TEST(ParameterFile, SelectionAndNormalisationWords) {
  EXPECT_EQ(ReadError("Selection = Random Generations = 5"), "Unknown selection method");
  QuillParameters p;
  Read("Generations = 3 Selection = Random Generations = 5", p);
  EXPECT_EQ(p.Generations, 3);  // reading stopped at the bad word
  EXPECT_EQ(ReadOk("Normalisation = yes").Normalisation, 1);
  EXPECT_EQ(ReadOk("Normalisation = OFF").Normalisation, 0);
  EXPECT_EQ(ReadOk("Normalisation = off Normalisation = maybe").Normalisation, 0);
  EXPECT_EQ(ReadOk("Normalisation = off Normalisation = On").Normalisation, 1);
}

TEST(ParameterFile, LaterEntriesOverwrite) {
  const QuillParameters p =
      ReadOk("Generations = 3 Generations = 9 #Features = 2 Features = 1 2 Features = 3 4");
  EXPECT_EQ(p.Generations, 9);
  EXPECT_EQ(p.Features, (std::vector<std::int32_t>{3, 4}));
}

TEST(ParameterFile, FeaturesWithZeroCountReadNoNumbers) {
  // The numbers after Features are then read as words and skipped.
  const QuillParameters p = ReadOk("#Features = 0 Features = 5 6 Generations = 2");
  EXPECT_TRUE(p.FeaturesGiven);
  EXPECT_TRUE(p.Features.empty());
  EXPECT_EQ(p.Generations, 2);
}

TEST(ParameterFile, ValidationOrder) {
  QuillParameters p;
  EXPECT_EQ(ValidateQuillParameters(p).value_or(""), "No weight file specified");
  p.WeightFile = "NoNameSpecified.WGT";
  EXPECT_EQ(ValidateQuillParameters(p).value_or(""), "No weight file specified");
  p.WeightFile = "w.wgt";
  EXPECT_EQ(ValidateQuillParameters(p).value_or(""), "Number of classes not specified or invalid");
  p.DataClasses = 1;
  p.DataFiles = {"d"};
  EXPECT_EQ(ValidateQuillParameters(p).value_or(""),
            "Number of generations not specified or invalid");
  p.Generations = 1;
  EXPECT_EQ(ValidateQuillParameters(p).value_or(""), "Population Size not specified or invalid");
  p.PopulationSize = -4;
  EXPECT_EQ(ValidateQuillParameters(p).value_or(""), "Population Size not specified or invalid");
  p.PopulationSize = 1;
  EXPECT_FALSE(ValidateQuillParameters(p).has_value());
  // Not checked here: elites, crossover points, mutation rate, weight bounds.
  p.EliteIndividuals = -3;
  p.CrossoverPoints = 0;
  p.MutationRate = 7.0f;
  p.MinWeight = 50.0f;
  EXPECT_FALSE(ValidateQuillParameters(p).has_value());

  EXPECT_FALSE(ValidateQuillParameters(ReadOk(kValid)).has_value());
}

TEST(ParameterFile, ValuesThatAreNotNumbers) {
  EXPECT_EQ(ReadError("Generations = ten PopulationSize = 5"),
            "Invalid or missing value for Generations");
  EXPECT_EQ(ReadError("PopulationSize = many"), "Invalid or missing value for PopulationSize");
  EXPECT_EQ(ReadError("EliteIndividuals = x"), "Invalid or missing value for EliteIndividuals");
  EXPECT_EQ(ReadError("CrossoverPoints = -"), "Invalid or missing value for CrossoverPoints");
  EXPECT_EQ(ReadError("MutationRate = high"), "Invalid or missing value for MutationRate");
  EXPECT_EQ(ReadError("maxweight = ."), "Invalid or missing value for MaxWeight");
  EXPECT_EQ(ReadError("MinWeight = e5"), "Invalid or missing value for MinWeight");
  EXPECT_EQ(ReadError("#DataClasses = two"), "Invalid or missing value for #DataClasses");
  EXPECT_EQ(ReadError("#Features = all"), "Invalid or missing value for #Features");
  // Beyond the 32-bit range.
  EXPECT_EQ(ReadError("Generations = 4294967296"), "Invalid or missing value for Generations");
  EXPECT_EQ(ReadError("PopulationSize = -0x80000001"),
            "Invalid or missing value for PopulationSize");
  // A key at the end of the file, or with its separator only.
  EXPECT_EQ(ReadError("Generations"), "Invalid or missing value for Generations");
  EXPECT_EQ(ReadError("Generations ="), "Invalid or missing value for Generations");
  EXPECT_EQ(ReadError("PopulationSize 5"), "Invalid or missing value for PopulationSize");
  EXPECT_EQ(ReadError("WeightFile = "), "Invalid or missing value for WeightFile");
  EXPECT_EQ(ReadError("selection ="), "Invalid or missing value for Selection");
}

TEST(ParameterFile, DataFileCountMismatch) {
  EXPECT_EQ(ReadError("DataFile = a.dat #DataClasses = 1"), "DataFile given before #DataClasses");
  EXPECT_EQ(ReadError("#DataClasses = 1 DataFile = a.dat DataFile = b.dat"),
            "More DataFile entries than #DataClasses");
  EXPECT_EQ(ReadError("#DataClasses = 0 DataFile = a.dat"),
            "More DataFile entries than #DataClasses");
  EXPECT_EQ(ReadError("#DataClasses = 3 DataFile = a.dat DataFile = b.dat"),
            "Fewer DataFile entries than #DataClasses");
  EXPECT_EQ(ReadError("#DataClasses = 2"), "Fewer DataFile entries than #DataClasses");
  // A huge count is only a number until the entries fall short.
  EXPECT_EQ(ReadError("#DataClasses = 2147483647 DataFile = a.dat"),
            "Fewer DataFile entries than #DataClasses");
}

TEST(ParameterFile, RepeatedAndNegativeCounts) {
  EXPECT_EQ(ReadError("#DataClasses = 1 DataFile = a #DataClasses = 2"),
            "#DataClasses given more than once");
  EXPECT_EQ(ReadError("#Features = 1 Features = 0 #Features = 1"),
            "#Features given more than once");
  EXPECT_EQ(ReadError("#DataClasses = -1"), "#DataClasses is negative");
  EXPECT_EQ(ReadError("#Features = -2 Features = 1 2"), "#Features is negative");
}

TEST(ParameterFile, FeaturesAndTheirCount) {
  EXPECT_EQ(ReadError("Features = 1 2"), "Features given before #Features");
  EXPECT_EQ(ReadError("Features = 1 #Features = 1"), "Features given before #Features");
  EXPECT_EQ(ReadError("#Features = 2"), "#Features given without Features");
  EXPECT_EQ(ReadError("#Features = 0"), "#Features given without Features");
  EXPECT_EQ(ReadError("#Features = 3 Features = 1 2"), "Features list shorter than #Features");
  EXPECT_EQ(ReadError("#Features = 3 Features = 1 2 Generations = 4"),
            "Features list shorter than #Features");
  EXPECT_EQ(ReadError("#Features = 2147483647 Features = 1"),
            "Features list shorter than #Features");
}

TEST(ParameterFile, WordsLongerThanTheirFields) {
  const std::string w255(255, 'w');
  EXPECT_EQ(ReadOk("WeightFile = " + w255).WeightFile, w255);
  EXPECT_EQ(ReadError("WeightFile = " + w255 + "w"), "WeightFile longer than 255 characters");
  EXPECT_EQ(ReadOk("DestinationFile = " + w255).DestinationFile, w255);
  EXPECT_EQ(ReadError("DestinationFile = " + w255 + "w"),
            "DestinationFile longer than 255 characters");
  const std::string d254(254, 'd');
  EXPECT_EQ(ReadOk("#DataClasses = 1 DataFile = " + d254).DataFiles.at(0), d254);
  EXPECT_EQ(ReadError("#DataClasses = 1 DataFile = " + d254 + "d"),
            "DataFile longer than 254 characters");
  EXPECT_EQ(ReadError("Selection = " + std::string(20, 's')),
            "Selection longer than 19 characters");
  EXPECT_EQ(ReadError("Selection = " + std::string(19, 's')), "Unknown selection method");
  EXPECT_EQ(ReadOk("Normalisation = offoffoff").Normalisation, 1);
  EXPECT_EQ(ReadError("Normalisation = offoffoffo"), "Normalisation longer than 9 characters");
}

TEST(ParameterFile, StreamFailure) {
  std::istringstream in("Generations = 5");
  in.setstate(std::ios_base::badbit);
  QuillParameters p;
  EXPECT_EQ(ReadQuillParameters(in, p).value_or(""), "Unable to read parameter file");
}

}  // namespace
