// The evaluator of the Quill trainer: measures a TMLPNetwork's RMS error.
//
// Every record is measured the same way: its genes are loaded as the working
// network's trainable weights (mask 0, widened from float to double), and one
// RMS error object, not reset between the data sets, is fed by GetError over
// every data set in order; the k-th value is the RMS over the rows of data
// sets 1 ... k together. The mean of those values is the record's error.
//
// The weight buffer and the error object are kept between records and reset
// for each one, so measuring a record allocates nothing.
//
// A whole generation is measured at once on the compiled form of the working
// network (TRecallPlan), made when the first generation is evaluated and kept
// while the network and the data sets stay the same: each of the evaluator's
// threads has its own copy of the weights and loads a record's genes straight
// into it. The results are those of the object network bit for bit; a network
// or data that the plan cannot reproduce is measured record by record on the
// object network instead.
//
// In single precision (SetPrecision) the plan computes in float (see
// TRecallPlan); where no single-precision plan can be made, the run measures
// in double precision as before (on a double-precision plan when there is
// one, else on the object network).
#pragma once

#include <memory>
#include <vector>

#include "GA-Apps/GenTrain/TGenTrainEval.h"
#include "NeuralNets/TRecallPlan.h"

class TErrorRMSObj;
namespace quill {
class ThreadPool;
}

class TQuillEval : public TGenTrainEval {
 public:
  explicit TQuillEval(TGenTrainReport* reporter);
  ~TQuillEval() override;

  // Every record can be measured.
  bool IsValid(const IndividualRecord& record) override;
  void SetNetwork(const TMLPNetwork& network) override;
  void CloneNetwork(const TMLPNetwork& network, std::unique_ptr<TMLPNetwork>& out) override;
  // Identifier as given, parents 0 and 0, fitness 0, the trainable weights
  // narrowed to float.
  PopulationImage MakeSeed(TMLPNetwork& network, std::int32_t identifier) override;
  void LoadWeights(TMLPNetwork& network, const IndividualRecord& record) override;
  // Every weight a GENE_REAL bounded by the weight bounds narrowed to float.
  void DefineGenes() override;
  // REQUIRES: SetNetwork and SetData with at least one data set.
  float EvaluateRecord(const IndividualRecord& record, double& error) override;

  // True when the working network and the data sets compile to a plan.
  bool MeasuresInBatches() override;
  void MeasureRecords(const std::vector<IndividualRecord>& records,
                      const std::vector<std::size_t>& positions, std::vector<double>& errors,
                      std::vector<float>& fitness) override;
  void SetThreads(int threads) override;
  void Clear() override;

  // Work per generation (records x patterns x weights multiply-adds, each
  // counted as half in single precision) below which a generation is
  // measured on one thread when set so; results are the same either way.
  static constexpr double kSharedWork = 1e6;
  // Whether `records` records a generation on `plan` are less than that.
  static bool LittleWork(const TRecallPlan& plan, int records);
  // Whether a generation of little work goes to one thread whatever
  // SetThreads said (off unless set: the thread count is then exact).
  void SetOneThreadForLittleWork(bool one) { MbrBlnOneForLittle = one; }

  // The arithmetic of the compiled network (double unless set). Set it
  // before the first measurement.
  void SetPrecision(TRecallPlan::Precision precision);
  // The starting network's error after each data set (the values
  // TMLPNetwork::GetError returns for them, one error object over all of
  // them), measured on the compiled network with the weights it was compiled
  // with, in its precision, into `errors`; writes the warnings the object
  // network writes while recalling. False, with nothing written, when no
  // plan can be made. REQUIRES: SetNetwork and SetData.
  bool StartingErrors(std::vector<double>& errors);

  // Whether the measurement is in single precision: asked for, and a
  // single-precision plan made.
  bool MeasuresInSingle();

  // The compiled network in use, or null (tests).
  const TRecallPlan* Plan() const { return MbrPtrPlan.get(); }

 protected:
  void DataChanged() override;

 private:
  // Drops the compiled network and the threads' copies of it.
  void DropPlan();
  // Writes the warnings of `records` recalls of every pattern.
  void WriteWarnings(std::size_t records) const;
  // The threads worth using for `records` records a generation: at most the
  // Threads setting and the records, and one for little work when set so.
  int UsefulThreads(int records) const;
  // A pool for measuring `records` records at a time.
  std::unique_ptr<quill::ThreadPool> MakePool(int records) const;

  std::vector<double> MbrDyaDblWeights;
  std::unique_ptr<TErrorRMSObj> MbrPtrErrRMS;
  int MbrIntThreads = 1;
  bool MbrBlnPlanTried = false;
  bool MbrBlnOneForLittle = false;
  bool MbrBlnShared = false;  // the plan was handed to the run's other processes
  TRecallPlan::Precision MbrPrecision = TRecallPlan::Precision::kDouble;
  std::unique_ptr<TRecallPlan> MbrPtrPlan;
  std::vector<Data*> MbrDyaPlanSets;  // the data sets the plan was compiled from
  std::vector<std::unique_ptr<TRecallPlan::Workspace>> MbrDyaWorkspaces;
  std::unique_ptr<quill::ThreadPool> MbrPtrPool;
};
