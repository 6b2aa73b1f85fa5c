#include "GA-Apps/GenTrain/TGenTrain.h"

#include <vector>

#include "NeuralNets/TMLPNetwork.h"
#include "common/Assert.h"
#include "common/Clock.h"

namespace {
constexpr const char* kSourceUnit = "GA-Apps/GenTrain/TGenTrain";
}

TGenTrain::TGenTrain() : MbrPtrRptReporter(std::make_unique<TGenTrainReport>()) {
  QUILL_ASSERT(MbrPtrRptReporter != 0);
}

TGenTrain::~TGenTrain() {
  // The engine goes first: its populations were bred for this evaluator.
  MbrPtrDtcTrainer.reset();
  MbrPtrEvlEvaluator.reset();
  MbrPtrRptReporter.reset();
  MbrPtrMLPBest.reset();
}

void TGenTrain::SetNetwork(TMLPNetwork* network) {
  QUILL_ASSERT(MbrPtrEvlEvaluator != 0);
  QUILL_ASSERT(network != 0);
  if (MbrPtrMLPNetwork != nullptr) Reset();
  MbrPtrMLPNetwork = network;
  MbrPtrEvlEvaluator->SetNetwork(*network);

  double maximum = MbrPtrEvlEvaluator->MaxWeight();
  double minimum = MbrPtrEvlEvaluator->MinWeight();
  WidenBounds(*network, maximum, minimum);
  MbrPtrEvlEvaluator->SetWeightBounds(maximum, minimum);
  MbrPtrEvlEvaluator->DefineGenes();
  MbrPtrEvlEvaluator->CloneNetwork(*network, MbrPtrMLPBest);
}

void TGenTrain::WidenBounds(TMLPNetwork& network, double& maximum, double& minimum) {
  const int n = network.GetNumWeights(0);
  if (n <= 0) return;
  std::vector<double> weights(static_cast<std::size_t>(n));
  network.GetWeights(weights.data(), 0);
  double smallest = weights[0];
  double largest = weights[0];
  for (int i = 1; i < n; ++i) {
    if (weights[static_cast<std::size_t>(i)] < smallest)
      smallest = weights[static_cast<std::size_t>(i)];
    if (weights[static_cast<std::size_t>(i)] > largest)
      largest = weights[static_cast<std::size_t>(i)];
  }
  if (smallest < minimum) minimum = smallest;
  if (largest > maximum) maximum = largest;
}

void TGenTrain::Reset() {
  MbrPtrMLPBest.reset();
  MbrPtrEvlEvaluator->ReleaseNetwork();
  MbrPtrEvlEvaluator->Clear();
  MbrPtrDtcTrainer.reset();
  NewEngine();
  MbrPtrMLPNetwork = nullptr;
}

void TGenTrain::NewEngine() {
  MbrPtrDtcTrainer = std::make_unique<DeathCap>(MbrPtrEvlEvaluator.get(), MbrPtrRptReporter.get());
  QUILL_ASSERT(MbrPtrDtcTrainer != 0);
  MbrPtrDtcTrainer->SetGenerationHook(MbrFnHook);
}

void TGenTrain::SetGenerationHook(DeathCap::GenerationHook hook) {
  MbrFnHook = std::move(hook);
  if (MbrPtrDtcTrainer != nullptr) MbrPtrDtcTrainer->SetGenerationHook(MbrFnHook);
}

bool TGenTrain::Stopped() const {
  return MbrPtrDtcTrainer != nullptr && MbrPtrDtcTrainer->Stopped();
}

void TGenTrain::CreatePopulation(std::int32_t size) {
  CreatePopulation(size, static_cast<std::uint32_t>(quill::CurrentTimeSeconds()));
}

void TGenTrain::CreatePopulation(std::int32_t size, std::uint32_t random_seed) {
  QUILL_ASSERT(MbrPtrEvlEvaluator != 0);
  QUILL_ASSERT(MbrPtrMLPNetwork != 0);
  NewEngine();
  MbrPtrDtcTrainer->CreatePopulation(MbrPtrEvlEvaluator->GeneSpecs(), size - 1);
  MbrPtrDtcTrainer->Randomize(random_seed);
  // The random individuals carry the identifiers 1 ... size - 1; the seed
  // continues that numbering.
  PopulationImage seed = MbrPtrEvlEvaluator->MakeSeed(*MbrPtrMLPNetwork, size);
  MbrPtrDtcTrainer->AddSeeds(seed);
  DeathCap::FreeImage(seed);
}

DeathCap::Settings TrainSettings::Engine() const {
  DeathCap::Settings engine;
  engine.generations = generations;
  engine.stopping_fitness =
      target_error == 0.0 ? 2147483648.0f : static_cast<float>(1.0 / target_error);
  engine.elite = elite;
  engine.crossover_points = crossover_points;
  engine.mutation_rate = mutation_rate;
  engine.selection = selection;
  engine.normalise = normalisation;
  return engine;
}

double TGenTrain::Train(std::int32_t count, Data* const* data_sets, const TrainSettings& settings) {
  QUILL_ASSERT(MbrPtrDtcTrainer != 0);
  QUILL_ASSERT(MbrPtrMLPBest != 0);
  MbrPtrEvlEvaluator->SetData(count, data_sets);
  MbrPtrDtcTrainer->Run(settings.Engine());
  return Finish();
}

double TGenTrain::Continue(const PopulationImage& working, std::int32_t generation,
                           std::int32_t count, Data* const* data_sets,
                           const TrainSettings& settings) {
  QUILL_ASSERT(MbrPtrMLPBest != 0);
  NewEngine();
  MbrPtrEvlEvaluator->SetData(count, data_sets);
  MbrPtrDtcTrainer->Resume(working, MbrPtrEvlEvaluator->GeneSpecs(), generation, settings.Engine());
  return Finish();
}

double TGenTrain::Finish() {
  MbrPtrDtcTrainer->Promote();
  PopulationImage best = MbrPtrDtcTrainer->BestImage(1);
  QUILL_ASSERT(best.individual_count == 1);
  MbrPtrEvlEvaluator->LoadWeights(*MbrPtrMLPBest, best.records[0]);
  DeathCap::FreeImage(best);
  return MbrPtrRptReporter->MbrDblLowestError;
}

std::unique_ptr<TMLPNetwork> TGenTrain::GetBestSoFarNetwork() {
  QUILL_ASSERT(MbrPtrMLPNetwork != 0);
  std::unique_ptr<TMLPNetwork> copy;
  MbrPtrEvlEvaluator->CloneNetwork(*MbrPtrMLPNetwork, copy);
  if (!MbrPtrEvlEvaluator->BestSoFar().values.empty())
    MbrPtrEvlEvaluator->LoadWeights(*copy, MbrPtrEvlEvaluator->BestSoFar());
  return copy;
}

std::unique_ptr<TMLPNetwork> TGenTrain::GetBestNetwork() {
  QUILL_ASSERT(MbrPtrMLPBest != 0);
  std::unique_ptr<TMLPNetwork> copy;
  MbrPtrEvlEvaluator->CloneNetwork(*MbrPtrMLPBest, copy);
  return copy;
}
