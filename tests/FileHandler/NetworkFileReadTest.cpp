#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

#include "FileHandler/FileTools.h"
#include "NeuralNets/ActFunctions.h"
#include "NeuralNets/TBasicNetwork.h"
#include "NeuralNets/TBasicNeuron.h"
#include "NeuralNets/TMLPNetwork.h"

namespace {

// A NeuralNetwork block with the given NetworkInformation entries and body.
std::string Net(const std::string& info, const std::string& body, const std::string& type = "MLP") {
  return "[NeuralNetwork]\n[NetworkType = " + type + "]\n[NetworkInformation]\n" + info +
         "[~NetworkInformation]\n" + body + "[~NeuralNetwork]\n";
}

std::string Layer(int n, const std::string& entries) {
  return "[Layer = " + std::to_string(n) + "]\n" + entries + "[~Layer]\n";
}

// Layers 0 (one bias neuron), 1 (two inputs) and 2 (three sigmoid neurons).
const std::string kInfo3 = "[NumberOfLayers = 3]\n";
const std::string kLayers3 =
    Layer(0, "[LayerType = Simple][NumberOfNeurons = 1][ActivationFunction = bias]") +
    Layer(1, "[LayerType = Input][NumberOfNeurons = 2]") +
    Layer(2, "[LayerType = Simple][NumberOfNeurons = 3][ActivationFunction = sigmoid]");

std::string Connections(const std::string& type, const std::string& weights, int from = 1,
                        int to = 2) {
  return "[ConnectionLayer]\n[LayerFrom = " + std::to_string(from) +
         "]\n[LayerTo = " + std::to_string(to) + "]\n[ConnectionType = " + type + "]\n" + weights +
         "[~ConnectionLayer]\n";
}

std::unique_ptr<TBasicNetwork> Read(const std::string& text) {
  std::istringstream in(text);
  FileTools ft;
  return ft.ReadNetwork(in);
}

// The message of the error reading `text` throws, or "" when it reads.
std::string ReadError(const std::string& text) {
  try {
    Read(text);
  } catch (const FileTools::Error& e) {
    return e.message;
  }
  return std::string();
}

double Gain(TBasicNetwork& net, int layer, int neuron) {
  double g = -1.0;
  net.GetLayer(layer)->GetNeuron(neuron)->GetParams(&g);
  return g;
}

ActFunction Fn(TBasicNetwork& net, int layer, int neuron) {
  return net.GetLayer(layer)->GetNeuron(neuron)->GetFunction();
}

std::string GoldenFile(const std::string& name) {
  return std::string(QUILL_SOURCE_DIR) + "/tests/FileHandler/data/" + name;
}

}  // namespace

TEST(NetworkFileRead, NetworkTypesAndInformationDefaults) {
  auto basic = Read(Net(kInfo3, kLayers3, "basic"));
  EXPECT_STREQ(basic->GetNetworkType(), "Basic");
  EXPECT_EQ(basic->numLayers, 3);
  EXPECT_EQ(basic->inLayer, 1);   // no InputLayer: 1
  EXPECT_EQ(basic->outLayer, 2);  // no OutputLayer: NumberOfLayers - 1

  auto connected = Read(Net(kInfo3 + "[OutputLayer = 1][InputLayer = 2]", kLayers3, "Connected"));
  EXPECT_STREQ(connected->GetNetworkType(), "Connected");
  EXPECT_EQ(connected->inLayer, 2);
  EXPECT_EQ(connected->outLayer, 1);

  // hasBias needs a bias layer index above 0; index 0 leaves it unset.
  auto mlp = Read(Net(kInfo3, kLayers3));
  ASSERT_NE(dynamic_cast<TMLPNetwork*>(mlp.get()), nullptr);
  EXPECT_EQ(mlp->numLayers, 3);
  EXPECT_FALSE(dynamic_cast<TMLPNetwork&>(*mlp).hasBias);
  auto bias0 = Read(Net(kInfo3 + "[BiasLayer = 0]", kLayers3));
  EXPECT_FALSE(dynamic_cast<TMLPNetwork&>(*bias0).hasBias);
  auto bias2 = Read(Net(kInfo3 + "[BiasLayer = 2]", kLayers3));
  EXPECT_TRUE(dynamic_cast<TMLPNetwork&>(*bias2).hasBias);

  // Every pair starts unconnected.
  EXPECT_FALSE(mlp->GetConnections(1, 2)->IsConnected());
}

TEST(NetworkFileRead, InputAndOutputCounts) {
  EXPECT_EQ(ReadError(Net(kInfo3 + "[NumberOfInputs = 3]", kLayers3)),
            "wrong number inputs in header");
  EXPECT_EQ(ReadError(Net(kInfo3 + "[NumberOfOutputs = 2]", kLayers3)),
            "wrong number outputs in header");
  EXPECT_EQ(ReadError(Net(kInfo3 + "[NumberOfInputs = 2][NumberOfOutputs = 3]", kLayers3)), "");
}

TEST(NetworkFileRead, LayerLevelParameters) {
  const std::string gain_layer = "[LayerType = Gain][NumberOfNeurons = 3]";
  auto net = Read(Net(kInfo3, Layer(0, "[LayerType=Simple][NumberOfNeurons=0]") +
                                  Layer(1, "[LayerType=Input][NumberOfNeurons=1]") +
                                  Layer(2, gain_layer + "[All Gain=1.5][ALL ActivationFunction "
                                                        "= SIGMOID-gain]")));
  TBasicLayer* layer = net->GetLayer(2);
  EXPECT_STREQ(layer->GetLayerType(), "Gain");
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(Gain(*net, 2, i), 1.5);
    EXPECT_EQ(Fn(*net, 2, i), &ActSigmoidGain);
  }
  EXPECT_EQ(Fn(*net, 1, 0), &ActLinear);  // an input layer has its function already

  EXPECT_EQ(ReadError(Net(kInfo3, Layer(2, gain_layer + "[ActivationFunction = sigmoid]"))),
            "Incomplete Layer information");
  EXPECT_EQ(ReadError(Net(kInfo3, Layer(2, gain_layer + "[All]"))), "[ALL] is incomplete statment");
  EXPECT_EQ(ReadError(Net(kInfo3, Layer(2, gain_layer + "[All Gain]"))),
            "Required syntax is [ALL <keyword>=<val>]");
  EXPECT_EQ(ReadError(Net(kInfo3, Layer(2, gain_layer + "[All Gain = 1 Bias = 2]"))),
            "Too complicated statement");
}

TEST(NetworkFileRead, NeuronsBlockCarriesRunningValues) {
  // Neuron 1 keeps the gain of neuron 0; neuron 2 gives its own; neuron 3,
  // listed first, has never seen a gain: 0.
  const std::string neurons =
      "[Neurons]\n"
      "[Neuron = 3 ActivationFunction = tanh]\n"
      "[Neuron = 0 ActivationFunction = linear-gain Gain = 2]\n"
      "[Neuron = 1 ActivationFunction = sigmoid]\n"
      "[Neuron = 2 Gain = 0.25 ActivationFunction = tanh-gain]\n"
      "[~Neurons]\n";
  auto net = Read(Net(kInfo3, Layer(0, "[LayerType=Simple][NumberOfNeurons=0]") +
                                  Layer(1, "[LayerType=Input][NumberOfNeurons=1]") +
                                  Layer(2, "[LayerType=Gain][NumberOfNeurons=4]" + neurons)));
  EXPECT_EQ(Gain(*net, 2, 3), 0.0);
  EXPECT_EQ(Gain(*net, 2, 0), 2.0);
  EXPECT_EQ(Gain(*net, 2, 1), 2.0);
  EXPECT_EQ(Gain(*net, 2, 2), 0.25);
  EXPECT_EQ(Fn(*net, 2, 3), &ActTanh);
  EXPECT_EQ(Fn(*net, 2, 0), &ActLinearGain);
  EXPECT_EQ(Fn(*net, 2, 1), &ActSigmoid);
  EXPECT_EQ(Fn(*net, 2, 2), &ActTanhGain);
  EXPECT_EQ(net->GetLayer(2)->GetFunction(), nullptr);
}

TEST(NetworkFileRead, LayerFunctionIsKeptOverNeuronEntries) {
  auto net =
      Read(Net(kInfo3, Layer(0, "[LayerType=Simple][NumberOfNeurons=0]") +
                           Layer(1, "[LayerType=Input][NumberOfNeurons=1]") +
                           Layer(2,
                                 "[LayerType=Gain][NumberOfNeurons=2][ActivationFunction=sigmoid]"
                                 "[All Gain = 3][Neurons][Neuron=1 ActivationFunction=tanh]"
                                 "[Neuron=0][~Neurons]")));
  EXPECT_EQ(Fn(*net, 2, 0), &ActSigmoid);
  EXPECT_EQ(Fn(*net, 2, 1), &ActSigmoid);
  EXPECT_EQ(Gain(*net, 2, 0), 3.0);
  EXPECT_EQ(Gain(*net, 2, 1), 3.0);
}

TEST(NetworkFileRead, WeightList) {
  auto empty = Read(Net(kInfo3, kLayers3 + Connections("Pruneable", "[WeightList][~WeightList]")));
  TBasicConnections* c = empty->GetConnections(1, 2);
  ASSERT_TRUE(c->IsConnected());
  EXPECT_STREQ(c->GetConnectionsNType(), "Pruneable");
  EXPECT_EQ(c->GetNumWeights(FMaskExists), 0);

  auto one = Read(Net(kInfo3, kLayers3 + Connections("Pruneable",
                                                     "[WeightList]\n"
                                                     "[From = 0 To = 2 Weight = 0.25]\n"
                                                     "[To=1 UnTrainable From=1 Weight=-1.5e1]\n"
                                                     "[From=1 To=0]\n"
                                                     "[~WeightList]\n")));
  c = one->GetConnections(1, 2);
  EXPECT_EQ(c->GetNumWeights(FMaskExists), 3);
  EXPECT_TRUE(c->IsValid(0, 2));
  EXPECT_TRUE(c->IsTrainable(0, 2));
  EXPECT_EQ(*c->GetWeightPtr(0, 2), 0.25);
  EXPECT_TRUE(c->IsValid(1, 1));
  EXPECT_FALSE(c->IsTrainable(1, 1));
  EXPECT_EQ(*c->GetWeightPtr(1, 1), -15.0);
  EXPECT_TRUE(c->IsTrainable(1, 0));
  EXPECT_EQ(*c->GetWeightPtr(1, 0), 0.0);
  EXPECT_FALSE(c->IsValid(0, 0));
}

TEST(NetworkFileRead, MatrixIsFromNeuronMajor) {
  // 2 x 3 pairs, two tokens each: 12 tokens; pair (0,1) and (1,2) absent.
  auto net = Read(Net(kInfo3, kLayers3 + Connections("Pruneable",
                                                     "[Matrix Weights TrainableInfo]\n"
                                                     "  1 T  -  -  3 F\n"
                                                     "  4 f  5 t  - -\n"
                                                     "[~Matrix]\n")));
  TBasicConnections* c = net->GetConnections(1, 2);
  EXPECT_EQ(*c->GetWeightPtr(0, 0), 1.0);
  EXPECT_FALSE(c->IsValid(0, 1));
  EXPECT_EQ(*c->GetWeightPtr(0, 2), 3.0);
  EXPECT_EQ(*c->GetWeightPtr(1, 0), 4.0);
  EXPECT_EQ(*c->GetWeightPtr(1, 1), 5.0);
  EXPECT_FALSE(c->IsValid(1, 2));
  EXPECT_TRUE(c->IsTrainable(0, 0));
  EXPECT_FALSE(c->IsTrainable(0, 2));
  EXPECT_FALSE(c->IsTrainable(1, 0));
  EXPECT_TRUE(c->IsTrainable(1, 1));
  EXPECT_EQ(c->GetNumWeights(FMaskExists), 4);

  // Twelve tokens exactly: a thirteenth stands where the end tag belongs.
  EXPECT_EQ(ReadError(Net(kInfo3, kLayers3 + Connections("Pruneable",
                                                         "[Matrix Weights TrainableInfo]\n"
                                                         "1 T - - 3 F 4 F 5 T - - 6\n"
                                                         "[~Matrix]\n"))),
            "End Tag expected");
  EXPECT_EQ(ReadError(Net(kInfo3, kLayers3 + Connections("Pruneable",
                                                         "[Matrix Weights TrainableInfo]\n"
                                                         "1 T - - 3 F 4 F 5 T -\n"
                                                         "[~Matrix]\n"))),
            "Token Expected");

  // A full matrix, a column-less Matrix and a second weight block on one pair.
  auto full = Read(Net(kInfo3, kLayers3 + Connections("FullyConnected",
                                                      "[Attributes UnPrunable UnFreezable ]\n"
                                                      "[Matrix Weights] 1 2 3 4 5 6 [~Matrix]\n"
                                                      "[Matrix][~Matrix]\n"
                                                      "[WeightList][From=1 To=2 Weight=9 "
                                                      "Trainable][~WeightList]\n")));
  c = full->GetConnections(1, 2);
  EXPECT_STREQ(c->GetConnectionsNType(), "FullyConnected");
  EXPECT_EQ(*c->GetWeightPtr(0, 2), 3.0);
  EXPECT_EQ(*c->GetWeightPtr(1, 0), 4.0);
  EXPECT_EQ(*c->GetWeightPtr(1, 2), 9.0);
}

TEST(NetworkFileRead, ConnectionLayerRules) {
  const std::string list = "[WeightList][~WeightList]\n";
  EXPECT_EQ(ReadError(Net(kInfo3, kLayers3 + Connections("Pruneable", list) +
                                      Connections("FullyConnected", list))),
            "Connections already defined");
  // Connections into a lower layer are accepted (recall never uses them).
  EXPECT_EQ(ReadError(Net(kInfo3, kLayers3 + Connections("Pruneable", list, 2, 1))), "");
  EXPECT_EQ(ReadError(Net(kInfo3, kLayers3 + Connections("Sparse", list))),
            "Insufficient information to construct layer");
  EXPECT_EQ(ReadError(Net(kInfo3, kLayers3 + "[ConnectionLayer][LayerFrom = 1]"
                                             "[ConnectionType = Pruneable][~ConnectionLayer]")),
            "Insufficient information to construct layer");
  EXPECT_EQ(ReadError(Net(kInfo3, kLayers3 + Connections("Pruneable", list, -1, 2))),
            "Insufficient information to construct layer");
  EXPECT_EQ(ReadError(Net(kInfo3, kLayers3 + Connections("Pruneable", list, 1, 3))),
            "Connection layer out of range");
  EXPECT_EQ(ReadError(Net(kInfo3, kLayers3 + Connections("Pruneable", "[Size = 3]"))),
            "Unknown keyword in connections");
  EXPECT_EQ(ReadError(Net(kInfo3, kLayers3 + Connections("Pruneable", "[Size = 3 x]"))),
            "Too complicated statement");
}

TEST(NetworkFileRead, MatrixAndWeightListRejections) {
  struct Case {
    const char* type;
    const char* weights;
    const char* message;
  } cases[] = {
      {"Pruneable", "[Matrix Weights Size=2][~Matrix]", "Keyword expected in matrix parameter"},
      {"Pruneable", "[Matrix Weights Flags][~Matrix]", "Unknown matrix attribute"},
      {"Pruneable", "[Matrix W W W W W W W W W W][~Matrix]", "Unknown matrix attribute"},
      {"Pruneable",
       "[Matrix Weights Weights Weights Weights Weights Weights Weights Weights Weights Weights]"
       "[~Matrix]",
       "Too many matrix columns"},
      {"Pruneable", "[Matrix Weights] 1 2 3 4 [x] 6 [~Matrix]", "Token Expected"},
      {"Pruneable", "[Matrix Weights] 1 2 3 4 nan 6 [~Matrix]", "number-expected"},
      {"Pruneable", "[Matrix Weights] 1 2 3 4 1e999 6 [~Matrix]", "number-expected"},
      {"Pruneable", "[Matrix Weights TrainableInfo] 1 T 2 - 3 T 4 T 5 T 6 T [~Matrix]",
       "Trainable flag T or F expected"},
      {"FullyConnected", "[Matrix Weights] 1 2 - 4 5 6 [~Matrix]",
       "Absent connection in fully connected layer"},
      {"FullyConnected", "[Matrix Weights TrainableInfo] 1 T 2 T 3 F 4 T 5 T 6 T [~Matrix]",
       "Untrainable connection in fully connected layer"},
      {"FullyConnected", "[Matrix TrainableInfo] - - - - - - [~Matrix]",
       "Trainable flag T or F expected"},
      {"FullyConnected", "[WeightList][From=0 To=0 UnTrainable][~WeightList]",
       "Untrainable connection in fully connected layer"},
      {"Pruneable", "[WeightList][From=0 Weight=1][~WeightList]",
       "Insufficient information in weights list"},
      {"Pruneable", "[WeightList][From=0 To=1 Size=1][~WeightList]",
       "Unknown keyword in weights list"},
      {"Pruneable", "[WeightList][From=2 To=1][~WeightList]", "Neuron number out of range"},
      {"Pruneable", "[WeightList][From=0 To=3][~WeightList]", "Neuron number out of range"},
      {"Pruneable", "[WeightList][From=0 To=-1][~WeightList]", "Neuron number out of range"},
      {"Pruneable", "[WeightList][From=0 To=1 Weight=inf][~WeightList]", "number-expected"},
      {"Pruneable", "[WeightList] 3 [~WeightList]", "End Tag expected"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReadError(Net(kInfo3, kLayers3 + Connections(c.type, c.weights))), c.message)
        << c.weights;
  }

  // An unknown word in a weight entry is shown on standard output first.
  testing::internal::CaptureStdout();
  const std::string message = ReadError(
      Net(kInfo3,
          kLayers3 + Connections("Pruneable", "[WeightList][From=0 To=1 Frozen][~WeightList]")));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Frozen\n");
  EXPECT_EQ(message, "Unknown keyword in weights list");
}

TEST(NetworkFileRead, StructureRejections) {
  const std::string simple3 = "[LayerType = Simple][NumberOfNeurons = 3]";
  const std::string gain3 = "[LayerType = Gain][NumberOfNeurons = 3]";
  const std::string l01 = Layer(0, "[LayerType=Simple][NumberOfNeurons=0]") +
                          Layer(1, "[LayerType=Input][NumberOfNeurons=2]");
  struct Case {
    std::string text;
    const char* message;
  } cases[] = {
      {"", "[NEURALNETWORK] expected"},
      {"[NeuralNetwork][NetworkInformation]",
       "[NETWORKTYPE = <string>] expectedNetworkInformation"},
      {"[NeuralNetwork][NetworkType = MLP][Layer = 0]", "[NETWORKINFORMATION] expected"},
      {Net("", kLayers3), "Must specify number of layers"},
      {Net("[NumberOfLayers = 3 x]", kLayers3), "Too complicated statement"},
      {Net("[NumberOfNeurons = 3]", kLayers3), "Unknown keyword"},
      {Net("[NumberOfLayers = three]", kLayers3), "integer-expected"},
      {Net("[Colour = red]", kLayers3), "integer-expected"},
      {Net(kInfo3, kLayers3, "Perceptron"), "Unknown network type"},
      {Net("[NumberOfLayers = 0]", ""), "Illegal number of layers"},
      {Net("[NumberOfLayers = -2]", ""), "Illegal number of layers"},
      {Net("[NumberOfLayers = 257]", ""), "Illegal number of layers"},
      {Net("[NumberOfLayers = 99999999999]", ""), "Illegal number of layers"},
      {Net(kInfo3 + "[InputLayer = 3]", kLayers3), "Input layer out of range"},
      {Net(kInfo3 + "[InputLayer = -1]", kLayers3), "Input layer out of range"},
      {Net(kInfo3 + "[OutputLayer = 3]", kLayers3), "Output layer out of range"},
      {Net(kInfo3 + "[OutputLayer = -1]", kLayers3), "Output layer out of range"},
      {Net("[NumberOfLayers = 1]", ""), "Input layer out of range"},
      {Net(kInfo3, kLayers3 + Layer(3, simple3)), "Layer number out of range"},
      {Net(kInfo3, Layer(-1, simple3) + kLayers3), "Layer number out of range"},
      {Net(kInfo3, "[Layer = 0 LayerType = Simple]" + kLayers3), "Too complicated statement"},
      {Net(kInfo3, l01), "Layer not defined"},
      {Net(kInfo3, l01 + Layer(2, "[LayerType = Simple][ActivationFunction = tanh]")),
       "Layer type or size missing"},
      {Net(kInfo3, l01 + Layer(2, "[LayerType = Hidden][NumberOfNeurons = 3]")),
       "Unknown layer type"},
      {Net(kInfo3, l01 + Layer(2, "[LayerType = Gain][Gain = 1][NumberOfNeurons = 3]")),
       "Layer parameter before layer type and size"},
      {Net(kInfo3, l01 + Layer(2, gain3 + "[Bias = 1][ActivationFunction = tanh]")),
       "Unknown neuron parameter"},
      {Net(kInfo3, l01 + Layer(2, simple3 + "[Gain = 1][ActivationFunction = tanh]")),
       "Unknown neuron parameter"},
      {Net(kInfo3, l01 + Layer(2, gain3 + "[Gain = x][ActivationFunction = tanh]")),
       "number-expected"},
      {Net(kInfo3, l01 + Layer(2, simple3 + "[ActivationFunction = softmax]")),
       "Unknown activation function"},
      {Net(kInfo3, l01 + Layer(2, "[LayerType = Simple][NumberOfNeurons = -1]")),
       "Illegal number of neurons"},
      {Net(kInfo3, l01 + Layer(2, "[LayerType = Simple][NumberOfNeurons = 1000001]")),
       "Illegal number of neurons"},
      {Net(kInfo3, Layer(0, "[LayerType=Simple][NumberOfNeurons=0]") +
                       Layer(1, "[LayerType=Input][NumberOfNeurons=1000000]") +
                       Layer(2, "[LayerType=Simple][NumberOfNeurons=1]")),
       "Illegal number of neurons"},
      {Net(kInfo3, Layer(0, "[LayerType=Simple][NumberOfNeurons=0]") +
                       Layer(1, "[LayerType=Input][NumberOfNeurons=6000]") +
                       Layer(2,
                             "[LayerType=Simple][NumberOfNeurons=6000][ActivationFunction="
                             "tanh]") +
                       Connections("FullyConnected", "")),
       "Connection matrix too large"},
      {Net(kInfo3, l01 + Layer(2, simple3)), "No activation function defined"},
      {Net(kInfo3, l01 + Layer(2, simple3 + "[ActivationFunction = error]")),
       "No activation function defined"},
      {Net(kInfo3, l01 + Layer(2, simple3 + "[ActivationFunction = tanh-gain]")),
       "Activation function needs gain neurons"},
      {Net(kInfo3, l01 + Layer(2, simple3 + "[Neurons][Neuron=0 ActivationFunction=tanh]"
                                            "[Neuron=1 ActivationFunction=sigmoid-gain]")),
       "Activation function needs gain neurons"},
      {Net(kInfo3, l01 + Layer(2, simple3 + "[Neurons][Neuron=0 ActivationFunction=tanh]"
                                            "[Neuron=1][~Neurons]")),
       "No activation function defined"},
      {Net(kInfo3, l01 + Layer(2, simple3 + "[Neurons][Neuron=0 ActivationFunction=tanh]"
                                            "[Neuron=0 ActivationFunction=tanh][~Neurons]")),
       "repeated neuron"},
      {Net(kInfo3, l01 + Layer(2, simple3 + "[Neurons][Neuron=3 ActivationFunction=tanh]")),
       "Neuron number out of range"},
      {Net(kInfo3, l01 + Layer(2, simple3 + "[Neurons][Neuron=-1 ActivationFunction=tanh]")),
       "Neuron number out of range"},
      {Net(kInfo3, l01 + Layer(2, simple3 + "[Neurons][Neuron=0 ActivationFunction=tanh]"
                                            "[Neuron=2 ActivationFunction=tanh][~Neurons]")),
       "Neuron not defined"},
      {Net(kInfo3, l01 + Layer(2, simple3 + "[Neurons][Neuron=0 tanh]")),
       "Equals clause expected in neuron parameter"},
      {Net(kInfo3, l01 + Layer(2, gain3 + "[Neurons][Neuron=0 ActivationFunction=tanh "
                                          "Weight=2]")),
       "Unknown neuron parameter"},
      {Net(kInfo3, kLayers3) + "[Layer = 0]", "End Tag expected"},
      {Net(kInfo3, kLayers3) + "/* only a comment */ \n", ""},
      {Net(kInfo3, kLayers3) + "[~NeuralNetwork]", "Unexpected End Tag"},
      {Net(kInfo3, kLayers3).substr(0, 200), "Unexpected end of file"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReadError(c.text), c.message) << c.text;
  }
}

TEST(NetworkFileRead, LoadsFiles) {
  FileTools ft;
  // A missing file, and a folder, which some systems open as an empty file.
  for (const std::string& path : {GoldenFile("no_such_network.wgt"), GoldenFile("")}) {
    try {
      ft.LoadNetwork(path);
      ADD_FAILURE() << "no error for " << path;
    } catch (const FileTools::Error& e) {
      EXPECT_EQ(e.message, "Error on File Open");
      EXPECT_EQ(e.stream, nullptr);
    }
  }

  // A hand-written network: comments, a pruned matrix, a weight list and
  // running gain values in a Neurons block.
  auto net = ft.LoadNetwork(GoldenFile("pruned_gain.wgt"));
  ASSERT_NE(dynamic_cast<TMLPNetwork*>(net.get()), nullptr);
  EXPECT_FALSE(dynamic_cast<TMLPNetwork&>(*net).hasBias);  // [BiasLayer = 0]
  EXPECT_EQ(net->GetLayer(0)->GetFunction(), &ActBias);
  EXPECT_EQ(Fn(*net, 2, 0), &ActSigmoidGain);
  EXPECT_EQ(Fn(*net, 2, 1), &ActTanhGain);
  EXPECT_EQ(Fn(*net, 2, 2), &ActSigmoid);
  EXPECT_EQ(Gain(*net, 2, 0), 1.5);
  EXPECT_EQ(Gain(*net, 2, 1), 0.5);
  EXPECT_EQ(Gain(*net, 2, 2), 0.5);
  EXPECT_EQ(Gain(*net, 3, 1), 2.0);
  TBasicConnections* c02 = net->GetConnections(0, 2);
  EXPECT_EQ(*c02->GetWeightPtr(0, 0), 0.1);
  EXPECT_FALSE(c02->IsValid(0, 1));
  EXPECT_FALSE(c02->IsTrainable(0, 2));
  EXPECT_EQ(*net->GetConnections(1, 2)->GetWeightPtr(1, 1), -0.6);
  EXPECT_FALSE(net->GetConnections(1, 2)->IsTrainable(1, 1));
  EXPECT_EQ(net->GetConnections(2, 3)->GetNumWeights(FMaskExists), 5);
  EXPECT_EQ(net->GetConnections(2, 3)->GetNumWeights(0), 4);
  EXPECT_FALSE(net->GetConnections(1, 0)->IsConnected());
}
