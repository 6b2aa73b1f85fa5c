#include "MLP/Quill/TQuillEval.h"

#include "DataObject/Data.h"
#include "NeuralNets/TErrorObj.h"
#include "NeuralNets/TMLPNetwork.h"
#include "common/Assert.h"

namespace {
constexpr const char* kSourceUnit = "MLP/Quill/TQuillEval";
}

TQuillEval::TQuillEval(TGenTrainReport* reporter) : TGenTrainEval(reporter) {}

TQuillEval::~TQuillEval() = default;

bool TQuillEval::IsValid(const IndividualRecord& /*record*/) {
  return true;
}

void TQuillEval::SetNetwork(const TMLPNetwork& network) {
  CloneNetwork(network, MbrPtrMLPWorking);
  MbrDyaDblWeights.resize(static_cast<std::size_t>(MbrPtrMLPWorking->GetNumWeights(0)));
}

void TQuillEval::CloneNetwork(const TMLPNetwork& network, std::unique_ptr<TMLPNetwork>& out) {
  out = std::make_unique<TMLPNetwork>(network);
}

PopulationImage TQuillEval::MakeSeed(TMLPNetwork& network, std::int32_t identifier) {
  const int n = network.GetNumWeights(0);
  std::vector<double> weights(static_cast<std::size_t>(n > 0 ? n : 0));
  network.GetWeights(weights.data(), 0);
  IndividualRecord record;
  record.identifier = identifier;
  record.parent_one = 0;
  record.parent_two = 0;
  record.fitness = 0.0f;
  record.values.reserve(weights.size());
  for (double weight : weights)
    record.values.push_back(GeneCell::FromReal(static_cast<float>(weight)));
  PopulationImage image;
  image.gene_count = n;
  image.individual_count = 1;
  image.records.push_back(std::move(record));
  return image;
}

void TQuillEval::LoadWeights(TMLPNetwork& network, const IndividualRecord& record) {
  const int n = network.GetNumWeights(0);
  const std::size_t count = static_cast<std::size_t>(n > 0 ? n : 0);
  QUILL_ASSERT(record.values.size() >= count);
  // Grows only for a network larger than any seen before.
  if (MbrDyaDblWeights.size() < count) MbrDyaDblWeights.resize(count);
  for (std::size_t i = 0; i < count; ++i)
    MbrDyaDblWeights[i] = static_cast<double>(record.values[i].AsReal());
  network.SetWeights(MbrDyaDblWeights.data(), 0);
}

void TQuillEval::DefineGenes() {
  QUILL_ASSERT(MbrPtrMLPWorking != 0);
  const int n = MbrPtrMLPWorking->GetNumWeights(0);
  MbrGeneSpecs = GeneSpecList{};
  MbrGeneSpecs.count = n;
  if (n <= 0) return;
  GeneSpec gene;
  gene.type = GENE_REAL;
  gene.maximum.SetReal(static_cast<float>(MbrDblMaxWeight));
  gene.minimum.SetReal(static_cast<float>(MbrDblMinWeight));
  MbrGeneSpecs.entries.assign(static_cast<std::size_t>(n), gene);
}

float TQuillEval::EvaluateRecord(const IndividualRecord& record, double& error) {
  QUILL_ASSERT(MbrPtrMLPWorking != 0);
  QUILL_ASSERT(MbrNdxDataSets >= 1);
  LoadWeights(*MbrPtrMLPWorking, record);
  // One error object for as many outputs as the first data set has; a reset
  // object is the same as a new one.
  const int outputs = MbrDyaPtrDatSets[0]->NumOutputs();
  if (MbrPtrErrRMS == nullptr || MbrPtrErrRMS->numOutputs != outputs)
    MbrPtrErrRMS = std::make_unique<TErrorRMSObj>(outputs);
  MbrPtrErrRMS->Reset();
  double sum = 0.0;
  for (std::int32_t k = 0; k < MbrNdxDataSets; ++k)
    sum += MbrPtrMLPWorking->GetError(MbrDyaPtrDatSets[static_cast<std::size_t>(k)],
                                      MbrPtrErrRMS.get());
  error = sum / MbrNdxDataSets;
  return FitnessOf(error);
}
