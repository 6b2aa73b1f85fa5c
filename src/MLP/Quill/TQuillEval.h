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
#pragma once

#include <memory>
#include <vector>

#include "GA-Apps/GenTrain/TGenTrainEval.h"

class TErrorRMSObj;

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

 private:
  std::vector<double> MbrDyaDblWeights;
  std::unique_ptr<TErrorRMSObj> MbrPtrErrRMS;
};
