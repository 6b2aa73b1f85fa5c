#include "MLP/Quill/TQuillEval.h"

#include <iostream>
#include <system_error>

#include "DataObject/Data.h"
#include "Distributed/Cluster.h"
#include "NeuralNets/TErrorObj.h"
#include "NeuralNets/TMLPNetwork.h"
#include "common/Assert.h"
#include "common/ThreadPool.h"

namespace {
constexpr const char* kSourceUnit = "MLP/Quill/TQuillEval";
}

TQuillEval::TQuillEval(TGenTrainReport* reporter) : TGenTrainEval(reporter) {}

TQuillEval::~TQuillEval() = default;

bool TQuillEval::IsValid(const IndividualRecord& /*record*/) {
  return true;
}

void TQuillEval::SetNetwork(const TMLPNetwork& network) {
  DropPlan();
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

void TQuillEval::DropPlan() {
  MbrBlnShared = false;
  MbrPtrPlan.reset();
  MbrDyaWorkspaces.clear();
  MbrDyaPlanSets.clear();
  MbrBlnPlanTried = false;
}

void TQuillEval::DataChanged() {
  // The same data sets again (a run hands them over before its starting
  // error and again when it trains) keep the plan made for them.
  if (MbrBlnPlanTried && MbrPtrMLPWorking != nullptr && MbrDyaPtrDatSets == MbrDyaPlanSets) return;
  DropPlan();
}

void TQuillEval::SetPrecision(TRecallPlan::Precision precision) {
  if (precision != MbrPrecision) DropPlan();
  MbrPrecision = precision;
}

void TQuillEval::Clear() {
  TGenTrainEval::Clear();
  DropPlan();
}

void TQuillEval::SetThreads(int threads) {
  MbrIntThreads = threads < 1 ? 1 : threads;
  MbrPtrPool.reset();
  MbrDyaWorkspaces.clear();
}

bool TQuillEval::MeasuresInBatches() {
  if (!MbrBlnPlanTried && MbrPtrMLPWorking != nullptr && MbrNdxDataSets >= 1) {
    MbrBlnPlanTried = true;
    MbrDyaPlanSets = MbrDyaPtrDatSets;
    MbrPtrPlan = TRecallPlan::Compile(*MbrPtrMLPWorking, MbrNdxDataSets, MbrDyaPtrDatSets.data(),
                                      quill::simd::BestKernels(), MbrPrecision);
    // What single precision cannot measure (a value beyond the float range)
    // is measured in double precision, on the compiled network when there
    // is one: its results are the object network's.
    if (MbrPtrPlan == nullptr && MbrPrecision == TRecallPlan::Precision::kSingle) {
      MbrPtrPlan =
          TRecallPlan::Compile(*MbrPtrMLPWorking, MbrNdxDataSets, MbrDyaPtrDatSets.data(),
                               quill::simd::BestKernels(), TRecallPlan::Precision::kDouble);
    }
  }
  return MbrPtrPlan != nullptr;
}

bool TQuillEval::MeasuresInSingle() {
  return MeasuresInBatches() && MbrPtrPlan->GetPrecision() == TRecallPlan::Precision::kSingle;
}

bool TQuillEval::StartingErrors(std::vector<double>& errors) {
  if (!MeasuresInBatches()) return false;
  // The first thread's workspace, made now: it holds the weights as
  // compiled, and is the first to be loaded with genes later.
  if (MbrDyaWorkspaces.empty()) MbrDyaWorkspaces.push_back(MbrPtrPlan->NewWorkspace());
  errors.assign(static_cast<std::size_t>(MbrPtrPlan->NumDataSets()), 0.0);
  MbrPtrPlan->RMSErrors(*MbrDyaWorkspaces[0], errors.data());
  WriteWarnings(1);
  return true;
}

void TQuillEval::WriteWarnings(std::size_t records) const {
  // What the object network writes on standard error while recalling: the
  // same lines for every pattern of every record.
  const std::vector<const char*>& warnings = MbrPtrPlan->WarningsPerPattern();
  if (warnings.empty()) return;
  for (std::size_t r = 0; r < records; ++r) {
    for (std::int64_t p = 0; p < MbrPtrPlan->NumPatterns(); ++p) {
      for (const char* warning : warnings)
        std::cerr << warning << '\n';
    }
  }
}

bool TQuillEval::LittleWork(const TRecallPlan& plan, int records) {
  // Measured at 0.5 M multiply-adds per generation: one thread 20 % faster
  // than two; at 4 M, two threads ahead in both precisions.
  const double work = static_cast<double>(records) * static_cast<double>(plan.NumPatterns()) *
                      static_cast<double>(plan.NumWeights()) *
                      (plan.GetPrecision() == TRecallPlan::Precision::kSingle ? 0.5 : 1.0);
  return work < kSharedWork;
}

int TQuillEval::UsefulThreads(int records) const {
  // More threads than records would only wait; every generation has as many
  // records as the first. A generation of little work (the small examples)
  // is measured on the calling thread alone: waking the others and waiting
  // for them costs more than they save.
  if (MbrBlnOneForLittle && LittleWork(*MbrPtrPlan, records)) return 1;
  return records < MbrIntThreads ? (records < 1 ? 1 : records) : MbrIntThreads;
}

std::unique_ptr<quill::ThreadPool> TQuillEval::MakePool(int records) const {
  const int threads = UsefulThreads(records);
  try {
    return std::make_unique<quill::ThreadPool>(threads);
  } catch (const std::system_error&) {
    // The system refused the threads: the run goes on in the calling thread
    // alone, with the same results.
    std::cerr << "Unable to start " << threads << " threads; continuing with one" << std::endl;
    return std::make_unique<quill::ThreadPool>(1);
  }
}

void TQuillEval::MeasureRecords(const std::vector<IndividualRecord>& records,
                                const std::vector<std::size_t>& positions,
                                std::vector<double>& errors, std::vector<float>& fitness) {
  QUILL_ASSERT(MbrPtrPlan != 0);
  const TRecallPlan& plan = *MbrPtrPlan;
  if (MbrPtrPool == nullptr) MbrPtrPool = MakePool(static_cast<int>(positions.size()));
  while (MbrDyaWorkspaces.size() < static_cast<std::size_t>(MbrPtrPool->Size()))
    MbrDyaWorkspaces.push_back(plan.NewWorkspace());
  const std::size_t n = static_cast<std::size_t>(plan.NumWeights());
  // Measures positions[first] ... positions[first + count - 1] here.
  auto local = [&](std::size_t first, std::size_t count) {
    MbrPtrPool->ForEach(static_cast<int>(count), [&](int worker, int index) {
      const std::size_t i = positions[first + static_cast<std::size_t>(index)];
      const IndividualRecord& record = records[i];
      QUILL_ASSERT(record.values.size() >= n);
      TRecallPlan::Workspace& ws = *MbrDyaWorkspaces[static_cast<std::size_t>(worker)];
      // The genes straight into the plan's weights.
      plan.LoadWeights(ws, [&record](std::size_t k) { return record.values[k].AsReal(); });
      errors[i] = plan.MeanRMSError(ws);
    });
  };
  quill::Cluster* cluster = quill::CurrentCluster();
  if (cluster != nullptr && cluster->Size() > 1) {
    // The other processes measure their slices on the same plan.
    if (!MbrBlnShared) {
      cluster->Share(plan.ToBytes(),
                     UsefulThreads(static_cast<int>(positions.size())) == 1 ? 1 : MbrIntThreads);
      MbrBlnShared = true;
    }
    std::vector<const IndividualRecord*> measured;
    measured.reserve(positions.size());
    for (std::size_t i : positions)
      measured.push_back(&records[i]);
    std::vector<double> slice_errors(positions.size(), 0.0);
    cluster->Measure(measured, static_cast<int>(n), local, slice_errors);
    const auto [first, count] = quill::Slice(positions.size(), 0, cluster->Size());
    for (std::size_t j = 0; j < positions.size(); ++j) {
      if (j < first || j >= first + count) errors[positions[j]] = slice_errors[j];
    }
  } else {
    local(0, positions.size());
  }
  for (std::size_t i : positions)
    fitness[i] = FitnessOf(errors[i]);
  WriteWarnings(positions.size());
}
