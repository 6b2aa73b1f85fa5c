#include "NeuralNets/TConnectedConnections.h"

#include "NeuralNets/MatrixRemap.h"
#include "NeuralNets/RowSums.h"
#include "NeuralNets/TBasicNetwork.h"
#include "NeuralNets/TIterateObj.h"
#include "common/Assert.h"

namespace {
constexpr const char* kSourceUnit = "NeuralNets/TConnectedConnections";
}  // namespace

TConnectedConnections::TConnectedConnections(TBasicNetwork* owner, int from, int to)
    : TBasicConnections(owner, from, to) {
  Install(std::vector<double>(static_cast<std::size_t>(NumFrom()) * NumTo(), 0.0), NumFrom(),
          NumTo());
}

TConnectedConnections::~TConnectedConnections() = default;

void TConnectedConnections::Install(std::vector<double> weights, int nFrom, int nTo) {
  array_weights = std::move(weights);
  BuildRowIndex(array_weights, index_weights, nFrom, nTo);
}

int TConnectedConnections::GetNumWeights(int) {
  return NumFrom() * NumTo();
}

int TConnectedConnections::GetWeights(double* dest, int) {
  int nFrom = NumFrom();
  int nTo = NumTo();
  for (int f = 0; f < nFrom; ++f) {
    for (int t = 0; t < nTo; ++t)
      *dest++ = index_weights[static_cast<std::size_t>(t)][f];
  }
  return nFrom * nTo;
}

int TConnectedConnections::SetWeights(const double* src, int) {
  int nFrom = NumFrom();
  int nTo = NumTo();
  for (int f = 0; f < nFrom; ++f) {
    for (int t = 0; t < nTo; ++t)
      index_weights[static_cast<std::size_t>(t)][f] = *src++;
  }
  return nFrom * nTo;
}

void TConnectedConnections::Randomize(double lo, double hi) {
  // Storage order: to-neuron major.
  if (lo != hi) {
    for (double& w : array_weights)
      w = RandomWeight(lo, hi);
  } else {
    for (double& w : array_weights)
      w = lo;
  }
}

void TConnectedConnections::AddWeightedInputs(double* net) {
  const double* o = network->layers[static_cast<std::size_t>(fromLayer)]->outputs.data();
  AddRowSums(array_weights.data(), nullptr, o, NumFrom(), NumTo(), net);
}

void TConnectedConnections::IterateTo(TIterateObj& visitor, int to, int) {
  visitor.Setup(this);
  visitor.trainable = true;
  visitor.to = to;
  int nFrom = NumFrom();
  for (int f = 0; f < nFrom; ++f) {
    visitor.from = f;
    visitor.weight = GetWeightPtr(f, to);
    visitor.Visit();
  }
}

void TConnectedConnections::IterateFrom(TIterateObj& visitor, int from, int) {
  visitor.Setup(this);
  visitor.trainable = true;
  visitor.from = from;
  int nTo = NumTo();
  for (int t = 0; t < nTo; ++t) {
    visitor.to = t;
    visitor.weight = GetWeightPtr(from, t);
    visitor.Visit();
  }
}

void TConnectedConnections::Iterate(TIterateObj& visitor, int) {
  visitor.Setup(this);
  int nFrom = NumFrom();
  int nTo = NumTo();
  for (int t = 0; t < nTo; ++t) {
    for (int f = 0; f < nFrom; ++f) {
      visitor.to = t;
      visitor.from = f;
      visitor.trainable = true;
      visitor.weight = GetWeightPtr(f, t);
      visitor.Visit();
    }
  }
}

void TConnectedConnections::Iterate2(TIterateObj2& visitor, TBasicNetwork* second, int) {
  visitor.Setup(network, second, fromLayer, toLayer);
  visitor.trainable = true;
  int nFrom = NumFrom();
  int nTo = NumTo();
  for (int t = 0; t < nTo; ++t) {
    for (int f = 0; f < nFrom; ++f) {
      visitor.to = t;
      visitor.from = f;
      visitor.weight1 = GetWeightPtr(f, t);
      visitor.weight2 = visitor.conn2->GetWeightPtr(f, t);
      visitor.Visit();
    }
  }
}

void TConnectedConnections::Iterate3(TIterateObj3& visitor, TBasicNetwork* second,
                                     TBasicNetwork* third, int) {
  visitor.Setup(network, second, third, fromLayer, toLayer);
  visitor.trainable = true;
  int nFrom = NumFrom();
  int nTo = NumTo();
  for (int t = 0; t < nTo; ++t) {
    for (int f = 0; f < nFrom; ++f) {
      visitor.to = t;
      visitor.from = f;
      visitor.weight1 = GetWeightPtr(f, t);
      visitor.weight2 = visitor.conn2->GetWeightPtr(f, t);
      visitor.weight3 = visitor.conn3->GetWeightPtr(f, t);
      visitor.Visit();
    }
  }
}

std::unique_ptr<TBasicConnections> TConnectedConnections::Clone(TBasicNetwork* owner) const {
  auto x = std::make_unique<TConnectedConnections>(owner, fromLayer, toLayer);
  // Same shape as this object's network; the weights are copied as stored.
  x->array_weights = array_weights;
  BuildRowIndex(x->array_weights, x->index_weights, NumFrom(), NumTo());
  return x;
}

void TConnectedConnections::RemoveFromNeuron(int index) {
  int nFrom = NumFrom();
  int rows = RowsBeforeToStep(+1);
  Install(RemapMatrix(array_weights, nFrom + 1, nFrom, rows, SkipIndex(index), SameIndex(), 0.0),
          nFrom, rows);
}

void TConnectedConnections::RemoveToNeuron(int index) {
  int nFrom = NumFrom();
  int nTo = NumTo();
  Install(RemapMatrix(array_weights, nFrom, nFrom, nTo, SameIndex(), SkipIndex(index), 0.0), nFrom,
          nTo);
}

void TConnectedConnections::InsertFromNeuron(int index, double lo, double hi, bool attached) {
  QUILL_ASSERT(attached);
  int nFrom = NumFrom();
  int rows = RowsBeforeToStep(-1);
  Install(RemapMatrix(array_weights, nFrom - 1, nFrom, rows, GapIndex(index), SameIndex(), 0.0),
          nFrom, rows);
  for (int t = 0; t < rows; ++t)
    *GetWeightPtr(index, t) = RandomWeight(lo, hi);
}

void TConnectedConnections::InsertToNeuron(int index, double lo, double hi, bool attached) {
  QUILL_ASSERT(attached);
  int nFrom = NumFrom();
  int nTo = NumTo();
  Install(RemapMatrix(array_weights, nFrom, nFrom, nTo, SameIndex(), GapIndex(index), 0.0), nFrom,
          nTo);
  for (int f = 0; f < nFrom; ++f)
    *GetWeightPtr(f, index) = RandomWeight(lo, hi);
}
