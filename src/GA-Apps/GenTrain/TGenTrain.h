// The network trainer: evolves the trainable weights of a multi-layer
// perceptron with the genetic-algorithm engine.
//
// Use, in this order: construct (a derived trainer also installs its
// evaluator), set the evaluator's weight bounds, SetNetwork, CreatePopulation,
// Train, then GetBestNetwork any number of times. Setting a second network
// starts over (Reset).
//
// SetNetwork widens the weight bounds to the starting weights, so the seed
// individual always lies inside them. CreatePopulation seeds the
// pseudo-random generator from the clock (quill::CurrentTimeSeconds).
//
// Ownership: the trainer owns the engine with its populations, the evaluator,
// the reporter and the copy of the network that receives the best weights;
// the starting network and the data sets stay the caller's and must outlive
// the training. They are released in that order.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "Bramble/DeathCap.h"
#include "GA-Apps/GenTrain/TGenTrainEval.h"
#include "GA-Apps/GenTrain/TGenTrainReport.h"

class Data;
class TMLPNetwork;

// The settings of a training run, as the parameter file gives them.
struct TrainSettings {
  // The run ends after the first generation with an error at most this
  // (0: a perfect network).
  double target_error = 0.0;
  // Generations to run, counting the first.
  std::int32_t generations = 0;
  // Fittest individuals carried over unchanged; 0 <= elite <= population.
  std::int32_t elite = 1;
  // Cut points of each crossover.
  int crossover_points = 1;
  // Probability of mutating a gene.
  float mutation_rate = 0.0f;
  // SELECT_ROULETTE or SELECT_TOURNAMENT.
  int selection = 21;
  // 1 to normalise fitness linearly before selection, 0 not.
  int normalisation = 1;

  // The engine's settings: the stopping fitness is 2^31 for a target error
  // of 0, else 1 / target error as a float.
  DeathCap::Settings Engine() const;
};

class TGenTrain {
 public:
  // Creates the reporter; no evaluator, engine or network yet.
  TGenTrain();
  TGenTrain(const TGenTrain&) = delete;
  TGenTrain& operator=(const TGenTrain&) = delete;
  virtual ~TGenTrain();

  // Makes `network` (not owned) the starting network: widens the evaluator's
  // bounds to its trainable weights, defines one real gene per weight and
  // copies the network for the best weights. REQUIRES: an evaluator.
  void SetNetwork(TMLPNetwork* network);
  // Widens `maximum` and `minimum` to the network's trainable weights, as
  // SetNetwork widens the evaluator's bounds (never narrowing them).
  static void WidenBounds(TMLPNetwork& network, double& maximum, double& minimum);
  // Releases the best copy, the evaluator's network and genes, and the engine
  // with its populations; leaves a new empty engine.
  void Reset();
  // A first population of `size` individuals: size - 1 random ones within
  // the bounds (identifiers 1 ... size - 1) and the starting weights, narrowed
  // to float, as individual `size`. REQUIRES: SetNetwork, size >= 1.
  void CreatePopulation(std::int32_t size);
  // The same with the generator seeded with `random_seed` instead of the clock.
  void CreatePopulation(std::int32_t size, std::uint32_t random_seed);
  // Runs the settings' generations over the `count` data sets, stopping early
  // once an individual reaches the target error, and loads the fittest
  // weights into the best network. Returns the lowest error of the last
  // generation evaluated. REQUIRES: 0 <= elite <= population size, count >=
  // 1, data sets that fit the network.
  double Train(std::int32_t count, Data* const* data_sets, const TrainSettings& settings);
  // Continues a run saved right after generation `generation` was evaluated,
  // instead of CreatePopulation and Train: `working` holds that generation's
  // individuals with their fitness values, and the generator must be in the
  // state it had then. The rest is as Train. REQUIRES: SetNetwork,
  // 1 <= generation < settings.generations.
  double Continue(const PopulationImage& working, std::int32_t generation, std::int32_t count,
                  Data* const* data_sets, const TrainSettings& settings);
  // Called after every generation, as DeathCap::SetGenerationHook; returning
  // true ends the training there.
  void SetGenerationHook(DeathCap::GenerationHook hook);
  // The last Train or Continue was ended by the generation hook.
  bool Stopped() const;

  // A new copy of the network holding the best weights found.
  std::unique_ptr<TMLPNetwork> GetBestNetwork();
  // A new copy of the starting network holding the weights of the record with
  // the lowest error measured so far (the starting weights before any).
  std::unique_ptr<TMLPNetwork> GetBestSoFarNetwork();

  TGenTrainEval* Evaluator() const { return MbrPtrEvlEvaluator.get(); }
  TGenTrainReport* Reporter() const { return MbrPtrRptReporter.get(); }
  DeathCap* Engine() const { return MbrPtrDtcTrainer.get(); }

 protected:
  std::unique_ptr<DeathCap> MbrPtrDtcTrainer;
  std::unique_ptr<TGenTrainEval> MbrPtrEvlEvaluator;
  std::unique_ptr<TGenTrainReport> MbrPtrRptReporter;
  TMLPNetwork* MbrPtrMLPNetwork = nullptr;
  std::unique_ptr<TMLPNetwork> MbrPtrMLPBest;

 private:
  // A new engine for the evaluator and the reporter, with the hook.
  void NewEngine();
  // After Run or Resume: the fittest individual's weights into the best copy.
  double Finish();

  DeathCap::GenerationHook MbrFnHook;
};
