// Fuzz target: network description files.
//
// The input is read as a network file. A network that reads is recalled
// once (MLPs, the kind the program trains), written with the network writer,
// and the text written must read back and write again to the same text.
// Only the writer's own refusal, a bias layer of several neurons, may stop
// the round trip.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "FileHandler/FileTools.h"
#include "FuzzSupport.h"
#include "NeuralNets/TBasicLayer.h"
#include "NeuralNets/TBasicNetwork.h"
#include "NeuralNets/TMLPNetwork.h"

namespace {

// Networks with more connections than this are read but not written back:
// a few hundred bytes may describe a matrix of millions of weights, and its
// text would take longer than an input may.
constexpr int kMaxWeightsToWrite = 20000;

void Recall(TBasicNetwork& network) {
  auto* mlp = dynamic_cast<TMLPNetwork*>(&network);
  if (mlp == nullptr) return;
  std::vector<double> in(static_cast<std::size_t>(mlp->GetLayer(mlp->inLayer)->numNeurons) + 1,
                         0.5);
  std::vector<double> out(static_cast<std::size_t>(mlp->GetLayer(mlp->outLayer)->numNeurons) + 1);
  mlp->Recall(in.data(), out.data());
}

// The text the writer makes of `network`, or nothing when it refuses.
bool Write(FileTools& ft, const TBasicNetwork& network, std::string* text) {
  std::ostringstream out;
  try {
    ft.WriteNetwork(out, network);
  } catch (const FileTools::Error& e) {
    FUZZ_CHECK(e.message == "Illegal number of bias nodes");
    return false;
  }
  *text = out.str();
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  FileTools ft;
  std::unique_ptr<TBasicNetwork> network;
  try {
    network = ft.ReadNetwork(in);
  } catch (const FileTools::Error& e) {
    FUZZ_CHECK(!e.message.empty());
    return 0;
  }
  FUZZ_CHECK(network != nullptr && network->IsComplete());
  Recall(*network);
  if (network->GetNumWeights(FMaskExists) > kMaxWeightsToWrite) return 0;

  std::string written;
  if (!Write(ft, *network, &written)) return 0;
  std::istringstream back(written);
  std::unique_ptr<TBasicNetwork> again;
  try {
    again = ft.ReadNetwork(back);
  } catch (const FileTools::Error& e) {
    quillfuzz::Violation(("written network reads back: " + e.message).c_str(), __FILE__, __LINE__);
  }
  FUZZ_CHECK(std::string(again->GetNetworkType()) == network->GetNetworkType());
  std::string rewritten;
  FUZZ_CHECK(Write(ft, *again, &rewritten));
  FUZZ_CHECK(rewritten == written);
  return 0;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  quillfuzz::SilenceStreams();
  return 0;
}
