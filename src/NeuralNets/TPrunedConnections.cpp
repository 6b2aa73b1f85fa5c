#include "NeuralNets/TPrunedConnections.h"

#include "NeuralNets/MatrixRemap.h"
#include "NeuralNets/RowSums.h"
#include "NeuralNets/TBasicNetwork.h"
#include "NeuralNets/TIterateObj.h"
#include "common/Assert.h"

namespace {

bool Selected(unsigned char flags, unsigned char required) {
  return (flags & required) == required;
}
}  // namespace

TPrunedConnections::TPrunedConnections(TBasicNetwork* owner, int from, int to)
    : TBasicConnections(owner, from, to) {
  std::size_t size = static_cast<std::size_t>(NumFrom()) * NumTo();
  Install(std::vector<double>(size, 0.0), std::vector<unsigned char>(size, FMaskAll), NumFrom(),
          NumTo());
}

TPrunedConnections::~TPrunedConnections() = default;

void TPrunedConnections::Install(std::vector<double> weights, std::vector<unsigned char> masks,
                                 int nFrom, int nTo) {
  array_weights = std::move(weights);
  array_masks = std::move(masks);
  BuildRowIndex(array_weights, index_weights, nFrom, nTo);
  BuildRowIndex(array_masks, index_masks, nFrom, nTo);
}

template <class OldFrom, class OldTo>
void TPrunedConnections::Remap(int oldNumFrom, int nFrom, int nTo, OldFrom oldFrom, OldTo oldTo) {
  Install(RemapMatrix(array_weights, oldNumFrom, nFrom, nTo, oldFrom, oldTo, 0.0),
          RemapMatrix(array_masks, oldNumFrom, nFrom, nTo, oldFrom, oldTo,
                      static_cast<unsigned char>(0)),
          nFrom, nTo);
}

void TPrunedConnections::Randomize(double lo, double hi) {
  // Storage order; untrainable and pruned connections keep their weights.
  for (std::size_t k = 0; k < array_weights.size(); ++k) {
    if ((array_masks[k] & FMaskTrainable) == 0) continue;
    array_weights[k] = (lo != hi) ? RandomWeight(lo, hi) : lo;
  }
}

void TPrunedConnections::AddWeightedInputs(double* net) {
  const double* o = network->layers[static_cast<std::size_t>(fromLayer)]->outputs.data();
  AddRowSums(array_weights.data(), array_masks.data(), o, NumFrom(), NumTo(), net);
}

void TPrunedConnections::Prune(int from, int to) {
  FlagRef(from, to) = 0;
  *GetWeightPtr(from, to) = 0.0;
}

void TPrunedConnections::Unprune(int from, int to) {
  if (IsValid(from, to)) return;
  FlagRef(from, to) = FMaskAll;
  *GetWeightPtr(from, to) = 0.0;
}

void TPrunedConnections::SetTrainable(int from, int to) {
  if (IsValid(from, to)) FlagRef(from, to) |= FMaskTrainable;
}

void TPrunedConnections::SetUntrainable(int from, int to) {
  FlagRef(from, to) &= static_cast<unsigned char>(~FMaskTrainable);
}

void TPrunedConnections::SetFlags(int from, int to, unsigned char val) {
  FlagRef(from, to) = val;
}

void TPrunedConnections::IterateTo(TIterateObj& visitor, int to, int mask) {
  visitor.Setup(this);
  unsigned char required = RequiredFlags(mask);
  visitor.to = to;
  int nFrom = NumFrom();
  for (int f = 0; f < nFrom; ++f) {
    unsigned char flags = Flags(f, to);
    if (!Selected(flags, required)) continue;
    visitor.trainable = (flags & FMaskTrainable) != 0;
    visitor.from = f;
    visitor.weight = GetWeightPtr(f, to);
    visitor.Visit();
  }
}

void TPrunedConnections::IterateFrom(TIterateObj& visitor, int from, int mask) {
  visitor.Setup(this);
  unsigned char required = RequiredFlags(mask);
  visitor.from = from;
  int nTo = NumTo();
  for (int t = 0; t < nTo; ++t) {
    unsigned char flags = Flags(from, t);
    if (!Selected(flags, required)) continue;
    visitor.trainable = (flags & FMaskTrainable) != 0;
    visitor.to = t;
    visitor.weight = GetWeightPtr(from, t);
    visitor.Visit();
  }
}

void TPrunedConnections::Iterate(TIterateObj& visitor, int mask) {
  visitor.Setup(this);
  unsigned char required = RequiredFlags(mask);
  int nFrom = NumFrom();
  int nTo = NumTo();
  for (int t = 0; t < nTo; ++t) {
    for (int f = 0; f < nFrom; ++f) {
      unsigned char flags = Flags(f, t);
      if (!Selected(flags, required)) continue;
      visitor.to = t;
      visitor.from = f;
      visitor.trainable = (flags & FMaskTrainable) != 0;
      visitor.weight = GetWeightPtr(f, t);
      visitor.Visit();
    }
  }
}

void TPrunedConnections::Iterate2(TIterateObj2& visitor, TBasicNetwork* second, int mask) {
  visitor.Setup(network, second, fromLayer, toLayer);
  unsigned char required = RequiredFlags(mask);
  int nFrom = NumFrom();
  int nTo = NumTo();
  for (int t = 0; t < nTo; ++t) {
    for (int f = 0; f < nFrom; ++f) {
      unsigned char flags = Flags(f, t);
      if (!Selected(flags, required)) continue;
      visitor.to = t;
      visitor.from = f;
      visitor.trainable = (flags & FMaskTrainable) != 0;
      visitor.weight1 = GetWeightPtr(f, t);
      visitor.weight2 = visitor.conn2->GetWeightPtr(f, t);
      visitor.Visit();
    }
  }
}

void TPrunedConnections::Iterate3(TIterateObj3& visitor, TBasicNetwork* second,
                                  TBasicNetwork* third, int mask) {
  visitor.Setup(network, second, third, fromLayer, toLayer);
  unsigned char required = RequiredFlags(mask);
  int nFrom = NumFrom();
  int nTo = NumTo();
  for (int t = 0; t < nTo; ++t) {
    for (int f = 0; f < nFrom; ++f) {
      unsigned char flags = Flags(f, t);
      if (!Selected(flags, required)) continue;
      visitor.to = t;
      visitor.from = f;
      visitor.trainable = (flags & FMaskTrainable) != 0;
      visitor.weight1 = GetWeightPtr(f, t);
      visitor.weight2 = visitor.conn2->GetWeightPtr(f, t);
      visitor.weight3 = visitor.conn3->GetWeightPtr(f, t);
      visitor.Visit();
    }
  }
}

std::unique_ptr<TBasicConnections> TPrunedConnections::Clone(TBasicNetwork* owner) const {
  auto x = std::make_unique<TPrunedConnections>(owner, fromLayer, toLayer);
  int nFrom = NumFrom();
  int nTo = NumTo();
  x->array_weights = array_weights;
  x->array_masks = array_masks;
  BuildRowIndex(x->array_weights, x->index_weights, nFrom, nTo);
  BuildRowIndex(x->array_masks, x->index_masks, nFrom, nTo);
  return x;
}

void TPrunedConnections::RemoveFromNeuron(int index) {
  int nFrom = NumFrom();
  Remap(nFrom + 1, nFrom, RowsBeforeToStep(+1), SkipIndex(index), SameIndex());
}

void TPrunedConnections::RemoveToNeuron(int index) {
  int nFrom = NumFrom();
  Remap(nFrom, nFrom, NumTo(), SameIndex(), SkipIndex(index));
}

void TPrunedConnections::MakeNew(int from, int to, double lo, double hi, bool attached) {
  if (attached) {
    *GetWeightPtr(from, to) = RandomWeight(lo, hi);
    FlagRef(from, to) = FMaskAll;
  } else {
    *GetWeightPtr(from, to) = 0.0;
    FlagRef(from, to) = 0;
  }
}

void TPrunedConnections::InsertFromNeuron(int index, double lo, double hi, bool attached) {
  int nFrom = NumFrom();
  int rows = RowsBeforeToStep(-1);
  Remap(nFrom - 1, nFrom, rows, GapIndex(index), SameIndex());
  for (int t = 0; t < rows; ++t)
    MakeNew(index, t, lo, hi, attached);
}

void TPrunedConnections::InsertToNeuron(int index, double lo, double hi, bool attached) {
  int nFrom = NumFrom();
  int nTo = NumTo();
  Remap(nFrom, nFrom, nTo, SameIndex(), GapIndex(index));
  for (int f = 0; f < nFrom; ++f)
    MakeNew(f, index, lo, hi, attached);
}
