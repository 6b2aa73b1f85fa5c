#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "FileHandler/FileTools.h"
#include "NeuralNets/ActFunctions.h"
#include "NeuralNets/TBasicNetwork.h"
#include "NeuralNets/TBasicNeuron.h"
#include "NeuralNets/TConnectedConnections.h"
#include "NeuralNets/TConnectedNetwork.h"
#include "NeuralNets/TMLPNetwork.h"
#include "NeuralNets/TSimpleLayer.h"

namespace {

std::string Write(const TBasicNetwork& net) {
  std::ostringstream out;
  FileTools ft;
  ft.WriteNetwork(out, net);
  return out.str();
}

std::unique_ptr<TBasicNetwork> ReadText(const std::string& text) {
  std::istringstream in(text);
  FileTools ft;
  return ft.ReadNetwork(in);
}

std::string FileText(const std::string& path) {
  std::ostringstream s;
  s << std::ifstream(path, std::ios::binary).rdbuf();
  return s.str();
}

std::string DataFile(const std::string& name) {
  return std::string(QUILL_SOURCE_DIR) + "/tests/FileHandler/data/" + name;
}

// A fresh path in the test's temporary folder.
std::string TempPath(const std::string& name) {
  return ::testing::TempDir() + "quill_netfile_" + std::to_string(::getpid()) + "_" + name;
}

std::size_t Occurrences(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
    ++n;
  return n;
}

double Gain(TBasicNetwork& net, int layer, int neuron) {
  double g = -1.0;
  net.GetLayer(layer)->GetNeuron(neuron)->GetParams(&g);
  return g;
}

void SetGain(TBasicNetwork& net, int layer, int neuron, double g) {
  net.GetLayer(layer)->GetNeuron(neuron)->SetParams(&g);
}

// Compares everything a network file carries.
void ExpectSameNetwork(TBasicNetwork& a, TBasicNetwork& b) {
  ASSERT_STREQ(a.GetNetworkType(), b.GetNetworkType());
  ASSERT_EQ(a.numLayers, b.numLayers);
  EXPECT_EQ(a.inLayer, b.inLayer);
  EXPECT_EQ(a.outLayer, b.outLayer);
  for (int l = 0; l < a.numLayers; ++l) {
    TBasicLayer& la = *a.GetLayer(l);
    TBasicLayer& lb = *b.GetLayer(l);
    ASSERT_STREQ(la.GetLayerType(), lb.GetLayerType()) << "layer " << l;
    ASSERT_EQ(la.numNeurons, lb.numNeurons) << "layer " << l;
    for (int i = 0; i < la.numNeurons; ++i) {
      TBasicNeuron& na = *la.GetNeuron(i);
      TBasicNeuron& nb = *lb.GetNeuron(i);
      EXPECT_EQ(na.GetFunction(), nb.GetFunction()) << "layer " << l << " neuron " << i;
      ASSERT_EQ(na.GetNumParams(), nb.GetNumParams());
      if (na.GetNumParams() > 0) {
        EXPECT_EQ(Gain(a, l, i), Gain(b, l, i));
      }
    }
  }
  for (int f = 0; f < a.numLayers; ++f) {
    for (int t = 0; t < a.numLayers; ++t) {
      TBasicConnections& ca = *a.GetConnections(f, t);
      TBasicConnections& cb = *b.GetConnections(f, t);
      ASSERT_STREQ(ca.GetConnectionsNType(), cb.GetConnectionsNType()) << f << "->" << t;
      if (!ca.IsConnected()) continue;
      for (int i = 0; i < ca.NumFrom(); ++i) {
        for (int j = 0; j < ca.NumTo(); ++j) {
          ASSERT_EQ(ca.IsValid(i, j), cb.IsValid(i, j)) << f << "->" << t << " " << i << j;
          if (!ca.IsValid(i, j)) continue;
          EXPECT_EQ(ca.IsTrainable(i, j), cb.IsTrainable(i, j));
          EXPECT_EQ(*ca.GetWeightPtr(i, j), *cb.GetWeightPtr(i, j));
        }
      }
    }
  }
}

// Layer 0: one input neuron; layer 1: two "tanh-gain" neurons of gain 0.5;
// an empty pruneable matrix between them.
std::unique_ptr<TBasicNetwork> SmallBasic() {
  auto net = std::make_unique<TBasicNetwork>(2);
  net->SetLayer(0, std::make_unique<TSimpleInputLayer>(net.get(), 0, 1));
  net->SetLayer(1, std::make_unique<TGainLayer>(net.get(), 1, 2, 0.5));
  net->GetLayer(1)->SetFunction(&ActTanhGain);
  net->inLayer = 0;
  net->Connect(0, 1);
  net->GetConnections(0, 1)->Prune(0, 0);
  net->GetConnections(0, 1)->Prune(0, 1);
  return net;
}

const char* const kSmallBasicHead =
    "[FormatVersion = 1.0]\n"
    "\n"
    "[NeuralNetwork]\n"
    "[NetworkType = Basic]\n"
    "\n"
    "[NetworkInformation]\n"
    "[NumberOfLayers = 2]\n"
    "[InputLayer = 0]\n"
    "[OutputLayer = 1]\n"
    "[NumberOfInputs = 1]\n"
    "[NumberOfOutputs = 2]\n"
    "[~NetworkInformation]\n"
    "\n"
    "[Layer = 0]\n"
    "[LayerType = Input]\n"
    "[NumberOfNeurons = 1]\n"
    "[All ActivationFunction=linear ]\n"
    "[~Layer]\n"
    "\n"
    "[Layer = 1]\n"
    "[LayerType = Gain]\n"
    "[NumberOfNeurons = 2]\n";

const char* const kSmallBasicTail =
    "[~Layer]\n"
    "\n"
    "[ConnectionLayer]\n"
    "[LayerFrom = 0]\n"
    "[LayerTo = 1]\n"
    "[ConnectionType = Pruneable]\n"
    "[Attributes Pruneable Freezable ]\n"
    "[WeightList]\n"
    "[~WeightList]\n"
    "[~ConnectionLayer]\n"
    "\n"
    "[~NeuralNetwork]\n";

// Two layers of ten neurons joined by a pruneable matrix in which the first
// `existing` pairs, from-neuron major, exist with weight (k - 8) / 16.
std::unique_ptr<TBasicNetwork> TenByTen(int existing) {
  auto net = std::make_unique<TBasicNetwork>(2);
  net->SetLayer(0, std::make_unique<TSimpleInputLayer>(net.get(), 0, 10));
  net->SetLayer(1, std::make_unique<TSimpleLayer>(net.get(), 1, 10));
  net->GetLayer(1)->SetFunction(&ActSigmoid);
  net->inLayer = 0;
  net->Connect(0, 1);
  TBasicConnections& c = *net->GetConnections(0, 1);
  for (int k = 0; k < 100; ++k) {
    if (k < existing) {
      *c.GetWeightPtr(k / 10, k % 10) = (k - 8) / 16.0;
      if (k % 3 == 0) c.SetUntrainable(k / 10, k % 10);
    } else {
      c.Prune(k / 10, k % 10);
    }
  }
  return net;
}

}  // namespace

TEST(NetworkFileWrite, SharedParametersAndNeuronsBlock) {
  auto net = SmallBasic();
  EXPECT_EQ(Write(*net), std::string(kSmallBasicHead) +
                             "[All ActivationFunction=tanh-gain ]\n"
                             "[All Gain=0.500000000000000 ]\n" +
                             kSmallBasicTail);

  // One gain differs: every neuron lists its gain and no [All Gain=...] line.
  SetGain(*net, 1, 1, 0.75);
  EXPECT_EQ(Write(*net), std::string(kSmallBasicHead) +
                             "[All ActivationFunction=tanh-gain ]\n"
                             "[Neurons]\n"
                             "[Neuron=0 Gain=0.500000000000000 ]\n"
                             "[Neuron=1 Gain=0.750000000000000 ]\n"
                             "[~Neurons]\n" +
                             kSmallBasicTail);

  // No shared function: every neuron names its own; the common gain stays.
  SetGain(*net, 1, 1, 0.5);
  net->GetLayer(1)->GetNeuron(0)->SetFunction(&ActSigmoidGain);
  EXPECT_EQ(Write(*net), std::string(kSmallBasicHead) +
                             "[All Gain=0.500000000000000 ]\n"
                             "[Neurons]\n"
                             "[Neuron=0 ActivationFunction=sigmoid-gain ]\n"
                             "[Neuron=1 ActivationFunction=tanh-gain ]\n"
                             "[~Neurons]\n" +
                             kSmallBasicTail);
}

TEST(NetworkFileWrite, ListOrMatrixByShareOfExistingPairs) {
  // 34 of 100 pairs: below 35%, a weight list in Iterate order (to-neuron
  // major), with 15 decimals.
  auto sparse = TenByTen(34);
  const std::string list = Write(*sparse);
  EXPECT_EQ(Occurrences(list, "[WeightList]\n"), 1u);
  EXPECT_EQ(Occurrences(list, "[From="), 34u);
  EXPECT_EQ(Occurrences(list, "UnTrainable ]"), 12u);
  EXPECT_NE(list.find("[WeightList]\n[From=0 To=0 Weight=-0.500000000000000 UnTrainable ]\n"
                      "[From=1 To=0 Weight=0.125000000000000 Trainable ]\n"),
            std::string::npos);

  // 35 pairs: a matrix; absent pairs read "-" and "- ".
  auto dense = TenByTen(35);
  const std::string matrix = Write(*dense);
  EXPECT_EQ(Occurrences(matrix, "[WeightList]"), 0u);
  EXPECT_EQ(Occurrences(matrix, "                   - - "), 65u);
  EXPECT_NE(matrix.find("[Matrix Weights TrainableInfo ]\n"
                        "/* To->              0                      1"),
            std::string::npos);
  // Row 0 ends with the weights (6-8)/16 ... (9-8)/16, every third frozen.
  EXPECT_NE(matrix.find("              -0.125 F              -0.0625 T                    0 T "
                        "              0.0625 F  /* 0 */\n"),
            std::string::npos);
  // Row 3 holds the last existing pair, (3, 4).
  EXPECT_NE(matrix.find("               1.625 T                    - - "), std::string::npos);
  EXPECT_NE(matrix.find("                   - -  /* 3 */\n"), std::string::npos);

  // Both read back to the same network.
  ExpectSameNetwork(*sparse, *ReadText(list));
  ExpectSameNetwork(*dense, *ReadText(matrix));
}

TEST(NetworkFileWrite, FullMatrixAndBiasLayer) {
  // A fully connected matrix is always a matrix, without TrainableInfo.
  const int sizes[] = {2, 1};
  TMLPNetwork mlp(2, sizes, true);
  mlp.Disconnect(1, 2);
  mlp.SetConnections(1, 2, std::make_unique<TConnectedConnections>(&mlp, 1, 2));
  *mlp.GetConnections(1, 2)->GetWeightPtr(1, 0) = -2.5;
  const std::string text = Write(mlp);
  EXPECT_NE(text.find("[NumberOfInputs = 2]\n[NumberOfOutputs = 1]\n[BiasLayer = 0]\n"
                      "[~NetworkInformation]\n"),
            std::string::npos);
  EXPECT_NE(text.find("[ConnectionType = FullyConnected]\n"
                      "[Attributes UnPrunable UnFreezable ]\n"
                      "[Matrix Weights ]\n"
                      "/* To->            0  From */\n"
                      "                   0  /* 0 */\n"
                      "                -2.5  /* 1 */\n"
                      "[~Matrix]\n"),
            std::string::npos);
  ExpectSameNetwork(mlp, *ReadText(text));

  // An empty bias layer is no bias layer; a bias layer of two is refused.
  const int one[] = {1, 1};
  TMLPNetwork no_bias(2, one, false);
  EXPECT_EQ(Write(no_bias).find("BiasLayer"), std::string::npos);
  no_bias.InsertLayer(3, std::make_unique<TSimpleLayer>(&no_bias, 3, 2));
  no_bias.GetLayer(3)->SetFunction(&ActBias);
  no_bias.outLayer = 2;
  try {
    Write(no_bias);
    ADD_FAILURE() << "no error";
  } catch (const FileTools::Error& e) {
    EXPECT_EQ(e.message, "Illegal number of bias nodes");
    EXPECT_EQ(e.stream, nullptr);
  }
}

TEST(NetworkFileWrite, WrittenFilesReproduceByteForByte) {
  for (const char* name : {"pruned_gain_trained.wgt", "xor_trained.wgt"}) {
    FileTools ft;
    auto net = ft.LoadNetwork(DataFile(name));
    const std::string expected = FileText(DataFile(name));
    EXPECT_EQ(Write(*net), expected) << name;

    const std::string path = TempPath(name);
    ft.SaveNetwork(path, *net);
    EXPECT_EQ(FileText(path), expected) << name;
    std::remove(path.c_str());
  }
}

TEST(NetworkFileWrite, RoundTrip) {
  // An MLP with bias, gains that differ, functions that differ, a frozen and
  // a pruned connection, a fully connected pair and a weight list.
  const int sizes[] = {3, 4, 2};
  TMLPNetwork mlp(3, sizes, true);
  SetGain(mlp, 2, 1, 2.25);
  mlp.GetLayer(2)->GetNeuron(3)->SetFunction(&ActTanhGain);
  mlp.GetLayer(3)->SetFunction(&ActLinearGain);
  SetGain(mlp, 3, 0, -0.75);
  SetGain(mlp, 3, 1, -0.75);
  double w = -1.0;
  for (int f = 0; f < mlp.numLayers; ++f) {
    for (int t = 0; t < mlp.numLayers; ++t) {
      TBasicConnections& c = *mlp.GetConnections(f, t);
      if (!c.IsConnected()) continue;
      for (int i = 0; i < c.NumFrom(); ++i) {
        for (int j = 0; j < c.NumTo(); ++j) {
          *c.GetWeightPtr(i, j) = w;
          w += 0.375;
        }
      }
    }
  }
  // Four of twelve pairs: a weight list.
  TBasicConnections& list = *mlp.GetConnections(1, 2);
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 4; ++j) {
      if (i * 4 + j != 0 && i * 4 + j != 6 && i * 4 + j != 9 && i * 4 + j != 11) list.Prune(i, j);
    }
  }
  list.SetUntrainable(2, 3);
  mlp.GetConnections(2, 3)->SetUntrainable(1, 1);
  mlp.Disconnect(0, 3);
  mlp.Connect(0, 3);
  mlp.GetConnections(0, 3)->Prune(0, 0);
  *mlp.GetConnections(0, 3)->GetWeightPtr(0, 1) = 1e-7;
  mlp.Disconnect(2, 3);
  mlp.SetConnections(2, 3, std::make_unique<TConnectedConnections>(&mlp, 2, 3));
  *mlp.GetConnections(2, 3)->GetWeightPtr(3, 1) = 12345.5;

  const std::string text = Write(mlp);
  EXPECT_NE(text.find("[Neuron=1 ActivationFunction=sigmoid Gain=2.250000000000000 ]"),
            std::string::npos);
  EXPECT_NE(text.find("[WeightList]\n"
                      "[From=0 To=0 Weight=1.250000000000000 Trainable ]\n"
                      "[From=2 To=1 Weight=4.625000000000000 Trainable ]\n"
                      "[From=1 To=2 Weight=3.500000000000000 Trainable ]\n"
                      "[From=2 To=3 Weight=5.375000000000000 UnTrainable ]\n"
                      "[~WeightList]\n"),
            std::string::npos);
  EXPECT_NE(text.find("                   - -                1e-07 T  /* 0 */\n"),
            std::string::npos);
  auto back = ReadText(text);
  ASSERT_NE(dynamic_cast<TMLPNetwork*>(back.get()), nullptr);
  ExpectSameNetwork(mlp, *back);
  EXPECT_EQ(Write(*back), text);

  // A connected network with an empty layer.
  const int connected_sizes[] = {0, 2, 3};
  TConnectedNetwork connected(3, connected_sizes);
  connected.GetLayer(2)->SetFunction(&ActSaturatedLinear);
  connected.Connect(1, 2);
  *connected.GetConnections(1, 2)->GetWeightPtr(1, 2) = 0.0625;
  const std::string connected_text = Write(connected);
  EXPECT_NE(connected_text.find("[NumberOfNeurons = 0]\n[All ActivationFunction=null ]\n"),
            std::string::npos);
  auto connected_back = ReadText(connected_text);
  ExpectSameNetwork(connected, *connected_back);
  EXPECT_EQ(Write(*connected_back), connected_text);

  // Matrix weights keep 15 significant digits, list weights 15 decimals.
  auto third = TenByTen(35);
  *third->GetConnections(0, 1)->GetWeightPtr(0, 0) = 1.0 / 3.0;
  EXPECT_EQ(*ReadText(Write(*third))->GetConnections(0, 1)->GetWeightPtr(0, 0), 0.333333333333333);
  auto fourth = TenByTen(34);
  *fourth->GetConnections(0, 1)->GetWeightPtr(0, 0) = 2.0 / 3.0;
  EXPECT_EQ(*ReadText(Write(*fourth))->GetConnections(0, 1)->GetWeightPtr(0, 0), 0.666666666666667);
}

TEST(NetworkFileWrite, SaveReplacesTheDestinationOnlyWhenComplete) {
  const std::string path = TempPath("save.wgt");
  FileTools ft;
  std::ofstream(path) << "an earlier file that is longer than nothing at all";
  auto small = SmallBasic();
  ft.SaveNetwork(path, *small);
  EXPECT_EQ(FileText(path), Write(*small));

  // A bias layer of two: the error, the earlier file untouched, no
  // temporary left behind.
  const int one[] = {1, 1};
  TMLPNetwork bad(2, one, true);
  bad.InsertLayer(3, std::make_unique<TSimpleLayer>(&bad, 3, 2));
  bad.GetLayer(3)->SetFunction(&ActBias);
  bad.outLayer = 2;
  try {
    ft.SaveNetwork(path, bad);
    ADD_FAILURE() << "no error";
  } catch (const FileTools::Error& e) {
    EXPECT_EQ(e.message, "Illegal number of bias nodes");
  }
  EXPECT_EQ(FileText(path), Write(*small));
  EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));

  const std::string fresh = TempPath("never_written.wgt");
  EXPECT_THROW(ft.SaveNetwork(fresh, bad), FileTools::Error);
  EXPECT_FALSE(std::filesystem::exists(fresh));
  EXPECT_FALSE(std::filesystem::exists(fresh + ".tmp"));

  // A file of the temporary's name is not overwritten.
  std::ofstream(path + ".tmp") << "someone else's";
  ft.SaveNetwork(path, *small);
  EXPECT_EQ(FileText(path + ".tmp"), "someone else's");
  EXPECT_FALSE(std::filesystem::exists(path + ".tmp1"));
  std::remove((path + ".tmp").c_str());
  std::remove(path.c_str());

  // A destination that cannot be created.
  const std::string nowhere = TempPath("no_such_folder") + "/net.wgt";
  try {
    ft.SaveNetwork(nowhere, *small);
    ADD_FAILURE() << "no error";
  } catch (const FileTools::Error& e) {
    EXPECT_EQ(e.message, "Unable to write file " + nowhere);
    EXPECT_EQ(e.stream, nullptr);
  }
  // A destination that is a folder: the temporary is written, the rename fails.
  const std::string folder = TempPath("folder");
  std::filesystem::create_directory(folder);
  EXPECT_THROW(ft.SaveNetwork(folder, *small), FileTools::Error);
  EXPECT_TRUE(std::filesystem::is_directory(folder));
  EXPECT_FALSE(std::filesystem::exists(folder + ".tmp"));
  std::filesystem::remove(folder);
}
