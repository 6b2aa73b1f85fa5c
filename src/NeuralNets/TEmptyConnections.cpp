#include "NeuralNets/TEmptyConnections.h"

#include "common/Assert.h"

namespace {
constexpr const char* kSourceUnit = "NeuralNets/TBasicNetwork";
}  // namespace

TEmptyConnections::TEmptyConnections(TBasicNetwork* owner, int from, int to)
    : TBasicConnections(owner, from, to) {}

double* TEmptyConnections::GetWeightPtr(int, int) {
  QUILL_ASSERT(false);
  return nullptr;
}

std::unique_ptr<TBasicConnections> TEmptyConnections::Clone(TBasicNetwork* owner) const {
  return std::make_unique<TEmptyConnections>(owner, fromLayer, toLayer);
}
