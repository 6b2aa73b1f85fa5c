// Whole runs: in-process with a fixed clock (the golden runs, the starting
// line, the seed individual, determinism over the breeding settings), and
// through the binary for every input the run refuses before training.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "DataObject/Data.h"
#include "FileHandler/FileTools.h"
#include "MLP/Quill/Quill.h"
#include "NeuralNets/ActFunctions.h"
#include "NeuralNets/TConnectedNetwork.h"
#include "NeuralNets/TMLPNetwork.h"
#include "NeuralNets/TSimpleLayer.h"
#include "QuillCommand.h"
#include "common/Clock.h"

namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// A fresh temporary folder that is the working directory while the object
// lives; the previous working directory is restored afterwards.
class WorkDir {
 public:
  explicit WorkDir(const std::string& name)
      : dir_(fs::temp_directory_path() / ("quill_run_" + name + "_" + std::to_string(getpid()))),
        previous_(fs::current_path()) {
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    fs::current_path(dir_);
  }
  ~WorkDir() {
    fs::current_path(previous_);
    fs::remove_all(dir_);
  }
  const fs::path& path() const { return dir_; }

 private:
  fs::path dir_;
  fs::path previous_;
};

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

// The whole program in-process, with the clock reading 12345 seconds.
Outcome RunInProcess(const std::string& params) {
  quill::ScopedClock clock(12345);
  std::string name = "Quill", arg = params;
  char* argv[] = {name.data(), arg.data(), nullptr};
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  const int status = QuillMain(2, argv);
  Outcome outcome{status, testing::internal::GetCapturedStdout(), ""};
  outcome.err = testing::internal::GetCapturedStderr();
  return outcome;
}

void Write(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

void SaveNetwork(const std::string& name, const TBasicNetwork& net) {
  FileTools ft;
  ft.SaveNetwork(name, net);
}

std::unique_ptr<TBasicNetwork> LoadNetwork(const std::string& name) {
  FileTools ft;
  return ft.LoadNetwork(name);
}

std::vector<double> Weights(TBasicNetwork& net) {
  std::vector<double> w(static_cast<std::size_t>(net.GetNumWeights(0)));
  net.GetWeights(w.data(), 0);
  return w;
}

// A data file of rows {inputs..., targets...}.
void SaveData(const std::string& name, int inputs, int outputs,
              const std::vector<std::vector<double>>& rows) {
  Data d(static_cast<int>(rows.size()), inputs, outputs, false);
  for (const auto& r : rows)
    d.AddRow(r.data(), r.data() + inputs, nullptr);
  FileTools ft;
  ASSERT_EQ(ft.WriteDataFile(name, &d, nullptr), 0);
}

// One input, one sigmoid output, no bias: with every input 0 the output is
// 0.5 whatever the weight.
std::unique_ptr<TMLPNetwork> OneToOne(double w) {
  const int sizes[] = {1, 1};
  auto net = std::make_unique<TMLPNetwork>(2, sizes, false);
  net->SetWeights(&w, 0);
  return net;
}

std::string Real(double value) {
  std::ostringstream text;
  text << value;
  return text.str();
}

// The golden runs, as given and with every thread count from 1 to 4: the
// number of threads never changes a byte.
TEST(RunSequence, GoldenRunsReproduceByteForByte) {
  for (const char* name : {"xor", "pruned_gain"}) {
    for (const char* threads : {"", "Threads = 1", "Threads = 2", "Threads = 3", "Threads = 4"}) {
      SCOPED_TRACE(std::string(name) + " " + threads);
      const fs::path golden = fs::path(QUILL_SOURCE_DIR) / "tests/MLP/golden" / name;
      WorkDir dir(name);
      std::string destination;
      for (const auto& entry : fs::directory_iterator(golden)) {
        const std::string file = entry.path().filename().string();
        if (file.rfind("expected_", 0) != 0) {
          fs::copy_file(entry.path(), dir.path() / file);
        } else if (file != "expected_stdout.txt") {
          destination = file.substr(9);
        }
      }
      ASSERT_FALSE(destination.empty());
      std::ofstream(dir.path() / "params.txt", std::ios::app) << "\n" << threads << "\n";
      const Outcome run = RunInProcess("params.txt");
      EXPECT_EQ(run.status, 0);
      EXPECT_EQ(run.err, "");
      EXPECT_EQ(run.out, Slurp(golden / "expected_stdout.txt"));
      EXPECT_EQ(Slurp(destination), Slurp(golden / ("expected_" + destination)));
    }
  }
}

// Two data classes and one individual: the starting line is the float mean of
// the RMS over the first class and over both classes together; the single
// individual is the seed, carried over as the elite, so the destination
// holds the starting weight narrowed to float.
TEST(RunSequence, SeedAloneKeepsTheStartingWeights) {
  WorkDir dir("seed");
  SaveNetwork("start.wgt", *OneToOne(0.3));
  SaveData("a.dat", 1, 1, {{0, 1}, {0, 0}});  // differences 0.5 and 0.5
  SaveData("b.dat", 1, 1, {{0, 0.5}});        // difference 0
  Write("params.txt",
        "WeightFile = start.wgt DestinationFile = out.wgt #DataClasses = 2 DataFile = a.dat "
        "DataFile = b.dat PopulationSize = 1 Generations = 2 MutationRate = 0.5 "
        "MaxWeight = 1 MinWeight = -1");
  const Outcome run = RunInProcess("params.txt");
  ASSERT_EQ(run.status, 0) << run.err;
  // RMS of a: sqrt(0.5 / 2) = 0.5; of a and b: sqrt(0.5 / 3).
  const double both = std::sqrt(0.5 / 3);
  const float start = (0.5f + static_cast<float>(both)) / 2.0f;
  const double error = (0.5 + both) / 2;
  const std::string line = Real(error) + " " + Real(static_cast<float>(1.0 / error)) + " \n";
  EXPECT_EQ(run.out, "0 " + Real(start) + "\n1 " + line + "2 " + line);
  EXPECT_EQ(run.out.substr(0, 11), "0 0.454124\n");
  auto trained = LoadNetwork("out.wgt");
  ASSERT_NE(dynamic_cast<TMLPNetwork*>(trained.get()), nullptr);
  // The file keeps 15 decimals of the float-narrowed weight, not the 0.3
  // that was read.
  const std::vector<double> w = Weights(*trained);
  ASSERT_EQ(w.size(), 1u);
  EXPECT_NEAR(w[0], static_cast<double>(static_cast<float>(0.3)), 1e-15);
  EXPECT_GT(std::fabs(w[0] - 0.3), 1e-9);
}

TEST(RunSequence, OneGenerationPrintsTwoLines) {
  WorkDir dir("one");
  SaveNetwork("start.wgt", *OneToOne(0.3));
  SaveData("a.dat", 1, 1, {{0, 1}, {0, 0}});
  Write("params.txt",
        "WeightFile = start.wgt #DataClasses = 1 DataFile = a.dat PopulationSize = 5 "
        "Generations = 1");
  const Outcome run = RunInProcess("params.txt");
  ASSERT_EQ(run.status, 0) << run.err;
  // Every individual has the same error, so the first (a random one) is
  // reported; the default destination is written.
  EXPECT_EQ(run.out, "0 0.5\n1 0.5 2 \n");
  EXPECT_TRUE(fs::exists("GenTrain.wgt"));
}

// Every breeding setting: the same clock gives the same output and the same
// file; the series is numbered 0 to Generations, elites keep the lowest
// error from rising, and every trained weight lies within the bounds.
TEST(RunSequence, BreedingSettingsAreDeterministic) {
  WorkDir dir("settings");
  const int sizes[] = {2, 3, 1};
  TMLPNetwork net(3, sizes, true);
  const std::vector<double> start = {0.1,  -0.2, 0.3, 0.05, 0.5,   -0.4, 0.25,
                                     -0.3, 0.6,  0.2, 0.7,  -0.25, 0.45};
  ASSERT_EQ(net.GetNumWeights(0), 13);
  net.SetWeights(start.data(), 0);
  SaveNetwork("start.wgt", net);
  SaveData("a.dat", 2, 1, {{0, 0, 0}, {0, 1, 1}, {1, 0, 1}, {1, 1, 0}});
  SaveData("b.dat", 2, 1, {{0.5, 0.5, 0}, {0.2, 0.9, 1}});
  const int generations = 4;
  int case_number = 0;
  for (const char* selection : {"Roulette", "Tournament"}) {
    for (const char* normalisation : {"on", "off"}) {
      for (int elite : {0, 1, 3}) {
        const int points = std::vector<int>{-1, 0, 1, 3}[static_cast<std::size_t>(case_number % 4)];
        ++case_number;
        SCOPED_TRACE(std::string(selection) + " " + normalisation + " elite " +
                     std::to_string(elite) + " points " + std::to_string(points));
        std::ostringstream params;
        params << "WeightFile = start.wgt DestinationFile = out.wgt #DataClasses = 2 "
               << "DataFile = a.dat DataFile = b.dat PopulationSize = 8 Generations = "
               << generations << " EliteIndividuals = " << elite << " CrossoverPoints = " << points
               << " MutationRate = 0.2 Selection = " << selection
               << " Normalisation = " << normalisation << " MaxWeight = 2 MinWeight = -2";
        Write("params.txt", params.str());
        const Outcome first = RunInProcess("params.txt");
        ASSERT_EQ(first.status, 0) << first.err;
        const std::string file = Slurp("out.wgt");
        fs::remove("out.wgt");
        const Outcome second = RunInProcess("params.txt");
        EXPECT_EQ(second.out, first.out);
        EXPECT_EQ(Slurp("out.wgt"), file);

        std::istringstream lines(first.out);
        std::string line;
        double previous = 0.0;
        for (int g = 0; g <= generations; ++g) {
          ASSERT_TRUE(std::getline(lines, line));
          std::istringstream words(line);
          int number = -1;
          double error = -1.0;
          words >> number >> error;
          EXPECT_EQ(number, g);
          if (g >= 2 && elite >= 1) {
            EXPECT_LE(error, previous) << line;
          }
          previous = error;
        }
        EXPECT_FALSE(std::getline(lines, line));

        auto trained = LoadNetwork("out.wgt");
        ASSERT_NE(trained, nullptr);
        EXPECT_STREQ(trained->GetNetworkType(), "MLP");
        for (double w : Weights(*trained)) {
          EXPECT_GE(w, -2.0);
          EXPECT_LE(w, 2.0);
        }
      }
    }
  }
}

// --- Through the binary ----------------------------------------------------

class RunBinary : public testing::Test {
 protected:
  void SetUp() override {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::make_unique<WorkDir>(std::string("bin_") + info->name());
    // A 2-2-1 MLP with bias and data that fit it.
    const int sizes[] = {2, 2, 1};
    TMLPNetwork net(3, sizes, true);
    net.Randomize(-0.5, 0.5);
    SaveNetwork("net.wgt", net);
    SaveData("xor.dat", 2, 1, {{0, 0, 0}, {0, 1, 1}, {1, 0, 1}, {1, 1, 0}});
  }

  // Runs Quill on a parameter file naming net.wgt (unless `extra` names
  // another weight file), out.wgt and the data files.
  Outcome Run(const std::string& extra, const std::vector<std::string>& data = {"xor.dat"}) {
    std::string text =
        "WeightFile = net.wgt DestinationFile = out.wgt PopulationSize = 6 "
        "Generations = 3 #DataClasses = " +
        std::to_string(data.size());
    for (const std::string& d : data)
      text += " DataFile = " + d;
    Write("params.txt", text + " " + extra);
    const std::string command = QuillCommand() + " params.txt >stdout.txt 2>stderr.txt </dev/null";
    const int raw = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(raw));
    return {WEXITSTATUS(raw), Slurp("stdout.txt"), Slurp("stderr.txt")};
  }

  // The run is refused with `message` on standard error and writes nothing.
  void ExpectRefused(const Outcome& run, const std::string& message) {
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, message);
    EXPECT_EQ(run.out, "");
    EXPECT_FALSE(fs::exists("out.wgt"));
  }

  std::unique_ptr<WorkDir> dir_;
};

TEST_F(RunBinary, TrainsAndWritesAReadableNetwork) {
  const Outcome run = Run("Selection = Tournament");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 4);
  auto trained = LoadNetwork("out.wgt");
  auto start = LoadNetwork("net.wgt");
  ASSERT_NE(dynamic_cast<TMLPNetwork*>(trained.get()), nullptr);
  EXPECT_EQ(trained->GetNumWeights(0), start->GetNumWeights(0));
}

TEST_F(RunBinary, AFailedWriteIsReported) {
  // Found out before the first generation, not after the last.
  const Outcome run = Run("DestinationFile = no_such_folder/out.wgt");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "Unable to create destination file no_such_folder/out.wgt\n");
  EXPECT_FALSE(fs::exists("no_such_folder"));
}

TEST_F(RunBinary, RefusesNetworksThatAreNotMLPs) {
  // The input layer keeps its linear function; the others compute sigmoids.
  const int sizes[] = {0, 2, 1};
  TConnectedNetwork connected(3, sizes);
  connected.GetLayer(0)->SetFunction(&ActSigmoid);
  connected.GetLayer(1)->SetFunction(&ActLinear);
  connected.GetLayer(2)->SetFunction(&ActSigmoid);
  connected.Connect(1, 2);
  SaveNetwork("connected.wgt", connected);
  TBasicNetwork basic(3);
  basic.SetLayer(0, std::make_unique<TSimpleLayer>(&basic, 0, 0));
  basic.SetLayer(1, std::make_unique<TSimpleInputLayer>(&basic, 1, 2));
  basic.SetLayer(2, std::make_unique<TSimpleLayer>(&basic, 2, 1));
  basic.GetLayer(1)->SetFunction(&ActLinear);
  basic.GetLayer(2)->SetFunction(&ActSigmoid);
  basic.Connect(1, 2);
  SaveNetwork("basic.wgt", basic);
  // Both files read back as what they are.
  EXPECT_STREQ(LoadNetwork("connected.wgt")->GetNetworkType(), "Connected");
  EXPECT_STREQ(LoadNetwork("basic.wgt")->GetNetworkType(), "Basic");
  ExpectRefused(Run("WeightFile = connected.wgt"),
                "Network is not an MLP in weight file connected.wgt\n");
  ExpectRefused(Run("WeightFile = basic.wgt"), "Network is not an MLP in weight file basic.wgt\n");
}

TEST_F(RunBinary, RefusesEliteCountsOutsideThePopulation) {
  ExpectRefused(Run("EliteIndividuals = -1"), "EliteIndividuals invalid\n");
  ExpectRefused(Run("EliteIndividuals = 7"), "EliteIndividuals invalid\n");
  // The whole population as elites is allowed.
  EXPECT_EQ(Run("EliteIndividuals = 6").status, 0);
}

TEST_F(RunBinary, RefusesDataThatDoNotFitTheNetwork) {
  SaveData("three.dat", 3, 1, {{0, 0, 0, 1}});
  SaveData("two_out.dat", 2, 2, {{0, 0, 1, 0}});
  ExpectRefused(Run("", {"xor.dat", "three.dat"}),
                "Data does not fit the network in data file three.dat\n");
  ExpectRefused(Run("", {"two_out.dat"}),
                "Data does not fit the network in data file two_out.dat\n");
  // Three inputs cut down to the network's two by features are fine; one is not.
  EXPECT_EQ(Run("#Features = 2 Features = 2 0", {"three.dat"}).status, 0);
  fs::remove("out.wgt");
  ExpectRefused(Run("#Features = 1 Features = 1", {"three.dat"}),
                "Data does not fit the network in data file three.dat\n");
  ExpectRefused(Run("#Features = 2 Features = 0 3", {"three.dat"}),
                "Invalid feature for data file three.dat\n");
  ExpectRefused(Run("#Features = 2 Features = -1 0", {"three.dat"}),
                "Invalid feature for data file three.dat\n");
}

TEST_F(RunBinary, RefusesDataFilesWithoutRowsOrDataSet) {
  Write("empty.dat",
        "[DataSet]\n[Rows = 0]\n[Inputs = 2]\n[ExpectedOutputs = 1]\n[Data]\n[~Data]\n"
        "[~DataSet]\n");
  Write("columnless.dat",
        "[DataSet]\n[Rows = 1]\n[Inputs = 0]\n[ExpectedOutputs = 0]\n[Data]\n[~Data]\n"
        "[~DataSet]\n");
  ExpectRefused(Run("", {"xor.dat", "empty.dat"}), "No rows in data file empty.dat\n");
  ExpectRefused(Run("", {"columnless.dat"}), "No data set in data file columnless.dat\n");
  ExpectRefused(Run("", {"missing.dat"}), "Unable to load data file missing.dat\n");
}

TEST_F(RunBinary, ReaderErrorsEndWithoutALineEnd) {
  Write("broken.wgt", "[NeuralNetwork]\n[NetworkType = MLP]\n[Nonsense");
  const Outcome run = Run("WeightFile = broken.wgt");
  EXPECT_EQ(run.status, 1);
  EXPECT_FALSE(run.err.empty());
  EXPECT_NE(run.err.back(), '\n');
  EXPECT_FALSE(fs::exists("out.wgt"));
  const Outcome missing = Run("WeightFile = missing.wgt");
  EXPECT_EQ(missing.status, 1);
  EXPECT_FALSE(missing.err.empty());
  EXPECT_FALSE(fs::exists("out.wgt"));
}

}  // namespace
