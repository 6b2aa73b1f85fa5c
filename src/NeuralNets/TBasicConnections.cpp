#include "NeuralNets/TBasicConnections.h"

#include "NeuralNets/TBasicNetwork.h"
#include "NeuralNets/TIterateObj.h"
#include "common/Assert.h"
#include "common/Random.h"

namespace {
constexpr const char* kSourceUnit = "NeuralNets/TBasicNetwork";
}  // namespace

double RandomWeight(double lo, double hi) {
  int r = quill::Rand();
  return lo + static_cast<double>(r % 32767) * (1.0 / 32767) * (hi - lo);
}

TBasicConnections::TBasicConnections(TBasicNetwork* owner, int from, int to)
    : network(owner), fromLayer(from), toLayer(to) {}

TBasicConnections::~TBasicConnections() = default;

int TBasicConnections::NumFrom() const {
  return network->layers[static_cast<std::size_t>(fromLayer)]->numNeurons;
}

int TBasicConnections::NumTo() const {
  return network->layers[static_cast<std::size_t>(toLayer)]->numNeurons;
}

int TBasicConnections::GetNumWeights(int mask) {
  TIterateObjGetNumWeights visitor;
  Iterate(visitor, mask);
  return visitor.count;
}

int TBasicConnections::GetWeights(double* dest, int mask) {
  TIterateObjGetWeights visitor(dest);
  Iterate(visitor, mask);
  return visitor.count;
}

int TBasicConnections::SetWeights(const double* src, int mask) {
  TIterateObjSetWeights visitor(src);
  Iterate(visitor, mask);
  return visitor.count;
}

void TBasicConnections::Randomize(double lo, double hi) {
  TIterateObjRandomize visitor(lo, hi);
  Iterate(visitor, 0);
}

void TBasicConnections::AddWeightedInputs(double* net) {
  TIterateObjAggregate aggregate;
  int nTo = NumTo();
  for (int t = 0; t < nTo; ++t) {
    aggregate.sum = 0.0;
    IterateTo(aggregate, t, FMaskExists);
    net[t] += aggregate.sum;
  }
}

void TBasicConnections::Prune(int, int) {
  QUILL_ASSERT(false);
}

void TBasicConnections::Unprune(int, int) {
  QUILL_ASSERT(false);
}

void TBasicConnections::SetTrainable(int, int) {
  QUILL_ASSERT(false);
}

void TBasicConnections::SetUntrainable(int, int) {
  QUILL_ASSERT(false);
}

unsigned char TBasicConnections::GetFlags(int, int) const {
  return FMaskAll;
}

void TBasicConnections::SetFlags(int, int, unsigned char val) {
  QUILL_ASSERT_TEXT((val == FMaskAll) || (val == FMaskExists),
                    "(val==FMaskAll) || (val==FMaskExists)");
}

void TBasicConnections::InsertFromNeuron(int, double, double, bool) {
  QUILL_ASSERT(false);
}

void TBasicConnections::InsertToNeuron(int, double, double, bool) {
  QUILL_ASSERT(false);
}

std::vector<unsigned char> TBasicConnections::GetAllFlags() {
  std::vector<unsigned char> flags(static_cast<std::size_t>(GetNumWeights(FMaskExists)));
  TIterateObjGetFlags visitor(flags.data());
  Iterate(visitor, FMaskExists);
  return flags;
}

void TBasicConnections::SetAllFlags(const unsigned char* flags) {
  TIterateObjSetFlags visitor(flags);
  Iterate(visitor, FMaskExists);
}

void TBasicConnections::SetAllUntrainable() {
  TIterateObjAllUntrainable visitor;
  Iterate(visitor, FMaskExists);
}
