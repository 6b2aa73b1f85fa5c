// The evaluator base of the network trainer.
//
// Every individual is a network's vector of trainable weights, one real gene
// per weight in the network's flat weight order (mask 0). Evaluate loads each
// record's weights into a private copy of the network, measures the mean
// error over the data sets and returns the fitness 1 / error for it; the
// lowest error of the generation and its fitness go to the reporter.
//
// Fitness promise: every fitness handed to the engine is positive and finite,
// so that neither the roulette wheel nor the statistics can fail on it:
//   - an error of exactly 0 gives 2147483648.0 (2^31), the fitness that stops
//     a run aiming at error 0;
//   - a finite positive error otherwise gives 1 / error as a float;
//   - an error that is NaN, infinite, negative, or so large that 1 / error
//     rounds to 0 as a float gives FLT_MIN, the smallest positive normal
//     float: such an individual can still be picked, but hardly ever;
//   - a fitness above kFitnessCeiling (an error below about 1.3e-29) is held
//     at the ceiling, so the float total of a whole population stays finite.
// The bounds apply to whatever a derived evaluator returns.
//
// Ownership: the evaluator owns its working network, its gene definitions
// and its list of data-set pointers; the data sets and the reporter are not
// owned and must outlive the evaluation.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Bramble/Eval.h"

class Data;
class TGenTrainReport;
class TMLPNetwork;

class TGenTrainEval : public Eval {
 public:
  // Highest fitness handed to the engine: 2^96. Even 2^31 individuals at the
  // ceiling sum to less than the largest float.
  static constexpr float kFitnessCeiling = 0x1p96f;
  // Lowest error that any record can report (and the reported error of a
  // generation in which no record did better).
  static constexpr double kNoError = 2147483647.0;

  // `reporter` (not owned) receives the lowest error of every generation.
  explicit TGenTrainEval(TGenTrainReport* reporter);
  TGenTrainEval(const TGenTrainEval&) = delete;
  TGenTrainEval& operator=(const TGenTrainEval&) = delete;
  // Releases the data-set list, the working network and the gene definitions.
  ~TGenTrainEval() override;

  // One fitness per record, in order. Valid records are measured with
  // EvaluateRecord; the others get a random fitness in [0, 0.5]. Stores the
  // strictly lowest error (the earlier record on ties) and its fitness in the
  // reporter.
  std::vector<float> Evaluate(std::int32_t gene_count, std::int32_t individual_count,
                              const std::vector<IndividualRecord>& records) override;

  // Forgets what a derived evaluator keeps about the last run; nothing here.
  virtual void Clear();
  // Whether the record can be measured at all.
  virtual bool IsValid(const IndividualRecord& record) = 0;
  // Makes the working network a copy of `network`.
  virtual void SetNetwork(const TMLPNetwork& network) = 0;
  // Stores a new copy of `network` in `out`.
  virtual void CloneNetwork(const TMLPNetwork& network, std::unique_ptr<TMLPNetwork>& out) = 0;
  // A one-individual image holding the network's weights, with `identifier`.
  virtual PopulationImage MakeSeed(TMLPNetwork& network, std::int32_t identifier) = 0;
  // Puts the record's gene values into the network's trainable weights.
  virtual void LoadWeights(TMLPNetwork& network, const IndividualRecord& record) = 0;
  // One gene definition per trainable weight of the working network.
  virtual void DefineGenes() = 0;
  // The record's fitness; `error` receives its mean error over the data sets.
  virtual float EvaluateRecord(const IndividualRecord& record, double& error) = 0;

  // Whether this evaluator measures a whole generation at once with
  // MeasureRecords instead of record by record with EvaluateRecord. Such an
  // evaluator must draw no random numbers while measuring: Evaluate then draws
  // the fitness of every invalid record first, in order.
  virtual bool MeasuresInBatches() { return false; }
  // Measures the records at `positions` (ascending), writing each one's mean
  // error and fitness (before the bounds of Evaluate) at its position of
  // `errors` and `fitness`, as EvaluateRecord would.
  virtual void MeasureRecords(const std::vector<IndividualRecord>& records,
                              const std::vector<std::size_t>& positions,
                              std::vector<double>& errors, std::vector<float>& fitness);
  // How many threads may measure records at once (1: the calling thread
  // alone). Results never depend on it.
  virtual void SetThreads(int threads);

  // Keeps copies of the `count` data-set pointers (the data sets stay the
  // caller's).
  void SetData(std::int32_t count, Data* const* data_sets);
  // Releases the working network and the gene definitions.
  void ReleaseNetwork();

  // The record with the lowest error measured since the last Clear (the
  // earliest of equal ones), and that error (kNoError before any). A record
  // without genes until one has been measured.
  const IndividualRecord& BestSoFar() const { return MbrBestSoFar; }
  double BestSoFarError() const { return MbrDblBestSoFarError; }
  // The record with the lowest error of the last Evaluate (the one the
  // reporter's lowest error belongs to), its fitness as handed to the engine;
  // a record without genes when no record could be measured.
  const IndividualRecord& GenerationBest() const { return MbrGenerationBest; }
  // Restores them, for a run continued from a saved state.
  void SetBestSoFar(IndividualRecord record, double error) {
    MbrBestSoFar = std::move(record);
    MbrDblBestSoFarError = error;
  }

  // The fitness of a mean error: 2147483648.0 for exactly 0, else 1 / error
  // as a float (before the bounds of Evaluate).
  static float FitnessOf(double error);
  // `fitness` within the bounds promised above.
  static float BoundedFitness(float fitness);
  // The random fitness of an invalid record, in [0, 0.5]: one draw.
  static float RandomFitness();

  void SetWeightBounds(double maximum, double minimum) {
    MbrDblMaxWeight = maximum;
    MbrDblMinWeight = minimum;
  }
  double MaxWeight() const { return MbrDblMaxWeight; }
  double MinWeight() const { return MbrDblMinWeight; }
  const GeneSpecList& GeneSpecs() const { return MbrGeneSpecs; }
  TMLPNetwork* WorkingNetwork() const { return MbrPtrMLPWorking.get(); }
  std::int32_t NumDataSets() const { return MbrNdxDataSets; }

 protected:
  // Called when SetData or ReleaseNetwork changed what is measured.
  virtual void DataChanged() {}

  std::unique_ptr<TMLPNetwork> MbrPtrMLPWorking;
  GeneSpecList MbrGeneSpecs;
  std::int32_t MbrNdxDataSets = 0;
  std::vector<Data*> MbrDyaPtrDatSets;
  TGenTrainReport* MbrPtrRptReporter;
  IndividualRecord MbrBestSoFar;
  IndividualRecord MbrGenerationBest;
  double MbrDblBestSoFarError = kNoError;
  double MbrDblMaxWeight = 0.0;
  double MbrDblMinWeight = 0.0;
};
