#include "NeuralNets/TErrorObj.h"

#include <cmath>

#include "KQmessage/KQML.h"
#include "common/StrCase.h"
#include "errors/TException.h"

namespace {

// The value of key `name` in `params` as a number, or `fallback` when absent.
double KeyValue(const TKQstructure& params, const char* name, double fallback) {
  const TKQstructure* value = params.Find(name);
  return value == nullptr ? fallback : KQParseReal(value->Head());
}

bool Named(const TKQstructure& params, const char* name) {
  return quill::strcasecmp(params.Head().c_str(), name) == 0;
}

// Default rates of an "LWF" penalty whose keys are absent.
constexpr double kDefaultLearningRate = 1.0;
constexpr double kDefaultForgettingRate = 0.0;

}  // namespace

double TErrorObj::Penalty(int n, const double* weights, const TKQstructure* params,
                          double scale) const {
  if (params == nullptr || Named(*params, "NONE")) return 0.0;
  if (Named(*params, "QUADPENALTY")) {
    double epsilon1 = KeyValue(*params, "EPSILON1", 0.0);
    double epsilon2 = KeyValue(*params, "EPSILON2", 0.0);
    double beta = KeyValue(*params, "BETA", 1.0);
    double sum = 0.0;
    for (int i = 0; i < n; ++i) {
      double d = weights[i] * weights[i];
      sum += ((epsilon1 * beta * d) / (beta * d + 1.0) + epsilon2 * d) * scale;
    }
    return sum;
  }
  if (Named(*params, "LWF")) {
    double sum = 0.0;
    for (int i = 0; i < n; ++i)
      sum += std::fabs(weights[i]);
    return KeyValue(*params, "LEARNINGRATE", kDefaultLearningRate) *
           KeyValue(*params, "FORGETTINGRATE", kDefaultForgettingRate) * sum;
  }
  throw TException("Unknown penalty", "Bad Parameter", "TErrorObj::Penalty", nullptr);
}

void TErrorRMSObj::Reset() {
  numPatterns = 0;
  sum = 0.0;
}

void TErrorRMSObj::Add(const double* target, const double* output) {
  for (int i = 0; i < numOutputs; ++i) {
    double d = target[i] - output[i];
    sum += d * d;
  }
  numPatterns += 1;
}

double TErrorRMSObj::GetError() const {
  if (numOutputs <= 0) {
    throw TException("No outputs to measure the error over", "Empty Data Set",
                     "TErrorRMSObj::GetError", nullptr);
  }
  if (numPatterns <= 0) {
    throw TException("No patterns to measure the error over", "Empty Data Set",
                     "TErrorRMSObj::GetError", nullptr);
  }
  return std::sqrt((sum / numOutputs) / numPatterns);
}

void TErrorRMSObj::AddPenalty(int n, const double* weights, const TKQstructure* params) {
  sum += Penalty(n, weights, params, 1.0);
}

void TErrorCrossEntropyObj::Reset() {
  numPatterns = 0;
  sum = 0.0;
}

void TErrorCrossEntropyObj::Add(const double* target, const double* output) {
  // An output at (or beyond) 0 or 1 would take the logarithm of 0 (or of a
  // negative number); it counts as exact when the target agrees and as a
  // large fixed error otherwise.
  constexpr double kMiss = 1000000.0;
  for (int i = 0; i < numOutputs; ++i) {
    double t = target[i];
    double y = output[i];
    if (y >= 1.0) {
      sum += (t == 1.0) ? 0.0 : kMiss;
    } else if (y <= 0.0) {
      sum += (t == 0.0) ? 0.0 : kMiss;
    } else {
      sum += -t * std::log(y) - (1.0 - t) * std::log(1.0 - y);
    }
  }
  numPatterns += 1;
}

void TErrorCrossEntropyObj::AddPenalty(int n, const double* weights, const TKQstructure* params) {
  sum += Penalty(n, weights, params, 1.0);
}
