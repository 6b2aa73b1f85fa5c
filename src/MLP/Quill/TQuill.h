// The trainer the driver uses: a TGenTrain whose evaluator is a TQuillEval,
// sharing the trainer's reporter.
#pragma once

#include "GA-Apps/GenTrain/TGenTrain.h"

class TQuill : public TGenTrain {
 public:
  TQuill();
  ~TQuill() override;
};
