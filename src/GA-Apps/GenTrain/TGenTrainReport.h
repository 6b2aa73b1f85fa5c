// The progress reporter of the network trainer.
//
// The evaluator stores the lowest mean error of each generation and its
// fitness here; the engine then fills the statistics and calls Report, which
// prints one progress line on standard output:
//   "<generation> <lowest error> <its fitness> " and a line end,
// reals in the default general format with six significant digits. The
// driver's starting-error line is generation 0, so the lines form one
// numbered series.
#pragma once

#include "Bramble/Eval.h"

class TGenTrainReport : public Reporter {
 public:
  // Statistics reporting on; genome, best-individual and population off.
  TGenTrainReport();
  ~TGenTrainReport() override;

  void Report() override;

  // Lowest mean error of the generation just evaluated.
  double MbrDblLowestError = 0.0;
  // Fitness of the individual with that error.
  float MbrFltLowestErrorFitness = 0.0f;
};
