#include "MLP/Quill/TQuill.h"

#include "MLP/Quill/TQuillEval.h"

TQuill::TQuill() {
  MbrPtrEvlEvaluator = std::make_unique<TQuillEval>(MbrPtrRptReporter.get());
}

TQuill::~TQuill() = default;
