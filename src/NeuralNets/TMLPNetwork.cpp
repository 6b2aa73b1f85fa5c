#include "NeuralNets/TMLPNetwork.h"

#include "DataObject/Data.h"
#include "KQmessage/KQML.h"
#include "NeuralNets/TErrorObj.h"
#include "NeuralNets/TSimpleLayer.h"
#include "common/Assert.h"
#include "errors/TException.h"

namespace {
constexpr const char* kSourceUnit = "NeuralNets/TMLPNetwork";
}  // namespace

TMLPNetwork::TMLPNetwork(int numLayers, bool bias) : TBasicNetwork(numLayers + 1), hasBias(bias) {}

TMLPNetwork::TMLPNetwork(int numLayers, const int* sizes, bool bias)
    : TBasicNetwork(numLayers + 1), hasBias(bias) {
  SetLayer(0, std::make_unique<TSimpleLayer>(this, 0, bias ? 1 : 0));
  SetLayer(1, std::make_unique<TSimpleInputLayer>(this, 1, sizes[0]));
  for (int i = 2; i <= numLayers; ++i) {
    SetLayer(i, std::make_unique<TGainLayer>(this, i, sizes[i - 1], 1.0));
  }
  for (int j = 2; j <= numLayers; ++j) {
    Connect(j - 1, j);
    layers[static_cast<std::size_t>(j)]->SetFunction(&ActSigmoid);
  }
  if (bias) {
    layers[0]->SetFunction(&ActBias);
    for (int j = 2; j <= numLayers; ++j)
      Connect(0, j);
  }
  inLayer = 1;
}

TMLPNetwork::TMLPNetwork(const TMLPNetwork& x) : TBasicNetwork(x), hasBias(x.hasBias) {}

TMLPNetwork& TMLPNetwork::operator=(const TMLPNetwork& x) {
  if (this == &x) return *this;
  TBasicNetwork::operator=(x);
  hasBias = x.hasBias;
  return *this;
}

TMLPNetwork::~TMLPNetwork() = default;

void TMLPNetwork::PrepareFor(const Data& in, bool withOutputs, const char* location) {
  const int nIn = layers[static_cast<std::size_t>(inLayer)]->numNeurons;
  const int nOut = layers[static_cast<std::size_t>(outLayer)]->numNeurons;
  // The row width a sequential read delivers, selections applied.
  int inputs = in.NumInputs();
  if (in.HasInputFeatures()) in.GetInputFeatures(&inputs, &workFeatures);
  bool fits = inputs == nIn;
  if (withOutputs) {
    // An output selection's width cannot be read back from the data set.
    fits = fits && !(in.HasInputFeatures() && in.HasOutputFeatures()) && in.NumOutputs() == nOut;
  }
  if (!fits)
    throw TException("Data set does not fit the network", "Bad Parameter", location, nullptr);
  workInputs.resize(static_cast<std::size_t>(nIn));
  workTargets.resize(static_cast<std::size_t>(nOut));
  workOutputs.resize(static_cast<std::size_t>(nOut));
}

double TMLPNetwork::GetError(Data* in, TErrorObj* err) {
  QUILL_ASSERT_TEXT(in != nullptr, "in != nil");
  QUILL_ASSERT_TEXT(err != nullptr, "err != nil");
  PrepareFor(*in, true, "TMLPNetwork::GetError");
  if (err->numOutputs != layers[static_cast<std::size_t>(outLayer)]->numNeurons) {
    throw TException("Error measure does not fit the network", "Bad Parameter",
                     "TMLPNetwork::GetError", nullptr);
  }
  in->Rewind();
  double* inputs = workInputs.data();
  double* targets = workTargets.data();
  double* outputs = workOutputs.data();
  // Every stored row once: a data set whose capacity exceeds its stored rows
  // would otherwise count some rows twice (the cursor wraps) or count rows
  // that were never stored.
  const int rows = in->NumDataRows();
  for (int r = 0; r < rows; ++r) {
    in->GetNextRow(inputs, targets, nullptr);
    Recall(inputs, outputs);
    err->Add(targets, outputs);
  }
  return err->GetError();
}

std::unique_ptr<Data> TMLPNetwork::RecallData(Data* in) {
  QUILL_ASSERT_TEXT(in != nullptr, "in != nil");
  PrepareFor(*in, false, "TMLPNetwork::RecallData");
  const int nIn = layers[static_cast<std::size_t>(inLayer)]->numNeurons;
  const int nOut = layers[static_cast<std::size_t>(outLayer)]->numNeurons;
  in->Rewind();
  auto result = std::make_unique<Data>(in->NumRows(), nIn, nOut, false);
  const int rows = in->NumDataRows();
  for (int r = 0; r < rows; ++r) {
    in->GetNextRow(workInputs.data(), nullptr, nullptr);
    Recall(workInputs.data(), workOutputs.data());
    result->AddRow(workInputs.data(), workOutputs.data(), nullptr);
  }
  return result;
}

void TMLPNetwork::RecallOutputOnly(Data* in, std::unique_ptr<Data>& out) {
  if (in == nullptr) {
    throw TException("Null data pointer", "Null Pointer Parameter", "TVexa::RecallOutputOnly",
                     nullptr);
  }
  PrepareFor(*in, false, "TMLPNetwork::RecallOutputOnly");
  const int nOut = layers[static_cast<std::size_t>(outLayer)]->numNeurons;
  in->Rewind();
  out = std::make_unique<Data>(in->NumDataRows(), 0, nOut, false);
  const int rows = in->NumDataRows();
  for (int r = 0; r < rows; ++r) {
    in->GetNextRow(workInputs.data(), nullptr, nullptr);
    Recall(workInputs.data(), workOutputs.data());
    out->AddRow(nullptr, workOutputs.data(), nullptr);
  }
}
