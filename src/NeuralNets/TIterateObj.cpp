#include "NeuralNets/TIterateObj.h"

#include <cstring>

#include "NeuralNets/TBasicNetwork.h"
#include "common/Assert.h"

namespace {
constexpr const char* kSourceUnit = "NeuralNets/TBasicNetwork";

TBasicLayer* LayerOf(TBasicNetwork* net, int i) {
  return net->layers[static_cast<std::size_t>(i)].get();
}

TBasicConnections* ConnsOf(TBasicNetwork* net, int from, int to) {
  return net->priv_conns_index[static_cast<std::size_t>(to)][from].get();
}

bool SameType(const TBasicConnections* a, const TBasicConnections* b) {
  return std::strcmp(a->GetConnectionsNType(), b->GetConnectionsNType()) == 0;
}

bool SameShape(TBasicNetwork* a, TBasicNetwork* b, int fromLayer, int toLayer) {
  return LayerOf(a, fromLayer)->numNeurons == LayerOf(b, fromLayer)->numNeurons &&
         LayerOf(a, toLayer)->numNeurons == LayerOf(b, toLayer)->numNeurons;
}
}  // namespace

void TIterateObj::Setup(TBasicConnections* c) {
  TBasicNetwork* net = c->network;
  fromLayer = c->fromLayer;
  toLayer = c->toLayer;
  layerFrom = LayerOf(net, fromLayer);
  layerTo = LayerOf(net, toLayer);
  outFrom = layerFrom->outputs.data();
  outTo = layerTo->outputs.data();
  conn = ConnsOf(net, fromLayer, toLayer);
}

void TIterateObjRandomize::Visit() {
  *weight = (lo != hi) ? RandomWeight(lo, hi) : lo;
}

void TIterateObjGetFlags::Visit() {
  destination[count] = conn->GetFlags(from, to);
  ++count;
}

void TIterateObjSetFlags::Visit() {
  conn->SetFlags(from, to, source[index]);
  ++index;
}

void TIterateObjAllUntrainable::Visit() {
  conn->SetUntrainable(from, to);
}

TIterateObj2::TIterateObj2(TBasicNetwork* net1, TBasicNetwork* net2, int fromLayerNum,
                           int toLayerNum, int fromNode, int toNode) {
  Setup(net1, net2, fromLayerNum, toLayerNum);
  from = fromNode;
  to = toNode;
}

void TIterateObj2::Setup(TBasicNetwork* net1, TBasicNetwork* net2, int fromLayerNum,
                         int toLayerNum) {
  fromLayer = fromLayerNum;
  toLayer = toLayerNum;
  conn1 = ConnsOf(net1, fromLayer, toLayer);
  conn2 = ConnsOf(net2, fromLayer, toLayer);
  QUILL_ASSERT_TEXT(SameType(conn1, conn2),
                    "conn1 -> GetConnectionsNType() == conn2 -> GetConnectionsNType()");
  // Corresponding connections are addressed by the same indices in both.
  QUILL_ASSERT(SameShape(net1, net2, fromLayer, toLayer));
  layerFrom1 = LayerOf(net1, fromLayer);
  layerTo1 = LayerOf(net1, toLayer);
  layerFrom2 = LayerOf(net2, fromLayer);
  layerTo2 = LayerOf(net2, toLayer);
  outFrom1 = layerFrom1->outputs.data();
  outTo1 = layerTo1->outputs.data();
  outFrom2 = layerFrom2->outputs.data();
  outTo2 = layerTo2->outputs.data();
}

TIterateObj3::TIterateObj3(TBasicNetwork* net1, TBasicNetwork* net2, TBasicNetwork* net3,
                           int fromLayerNum, int toLayerNum, int fromNode, int toNode) {
  Setup(net1, net2, net3, fromLayerNum, toLayerNum);
  from = fromNode;
  to = toNode;
}

void TIterateObj3::Setup(TBasicNetwork* net1, TBasicNetwork* net2, TBasicNetwork* net3,
                         int fromLayerNum, int toLayerNum) {
  fromLayer = fromLayerNum;
  toLayer = toLayerNum;
  conn1 = ConnsOf(net1, fromLayer, toLayer);
  conn2 = ConnsOf(net2, fromLayer, toLayer);
  conn3 = ConnsOf(net3, fromLayer, toLayer);
  QUILL_ASSERT_TEXT(SameType(conn1, conn2),
                    "conn1 -> GetConnectionsNType() == conn2 -> GetConnectionsNType()");
  QUILL_ASSERT_TEXT(SameType(conn1, conn3),
                    "conn1 -> GetConnectionsNType() == conn3 -> GetConnectionsNType()");
  QUILL_ASSERT(SameShape(net1, net2, fromLayer, toLayer) &&
               SameShape(net1, net3, fromLayer, toLayer));
  layerFrom1 = LayerOf(net1, fromLayer);
  layerTo1 = LayerOf(net1, toLayer);
  layerFrom2 = LayerOf(net2, fromLayer);
  layerTo2 = LayerOf(net2, toLayer);
  layerFrom3 = LayerOf(net3, fromLayer);
  layerTo3 = LayerOf(net3, toLayer);
  outFrom1 = layerFrom1->outputs.data();
  outTo1 = layerTo1->outputs.data();
  outFrom2 = layerFrom2->outputs.data();
  outTo2 = layerTo2->outputs.data();
  outFrom3 = layerFrom3->outputs.data();
  outTo3 = layerTo3->outputs.data();
}
