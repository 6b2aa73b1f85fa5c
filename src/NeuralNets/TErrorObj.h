// Error measures: accumulate target-versus-output differences pattern by
// pattern and report one number.
//
// TErrorRMSObj reports the root mean square difference over every output of
// every accumulated pattern: sqrt(sum / numOutputs / numPatterns). Nothing is
// reset between Add calls, so one object fed over several data sets reports
// the RMS over all their patterns together. An RMS of no pattern (or of no
// output) is undefined: GetError throws TException instead of returning NaN.
//
// TErrorCrossEntropyObj reports the summed cross-entropy. An output of 1 or
// above (0 or below) counts 0 when the target is exactly 1 (0) and 1,000,000
// otherwise, so the sum stays finite where the logarithm would not be.
//
// Penalty adds a weight penalty described by a TKQstructure whose head names
// it, compared case-insensitively:
//   "NONE"         no penalty (also for a null structure);
//   "QUADPENALTY"  sum over w of scale * ((EPSILON1*BETA*w^2)/(BETA*w^2 + 1)
//                  + EPSILON2*w^2); EPSILON1 and EPSILON2 default to 0, BETA
//                  to 1;
//   "LWF"          LEARNINGRATE * FORGETTINGRATE * sum |w|, scale not applied;
//                  LEARNINGRATE defaults to 1 and FORGETTINGRATE to 0, so an
//                  "LWF" without keys adds nothing, like a bare "QUADPENALTY".
// Key values must be numbers (TKQstructure::Error otherwise); another head
// throws TException "Unknown penalty".
#pragma once

class TKQstructure;

class TErrorObj {
 public:
  // An accumulator for patterns of `outputs` values.
  explicit TErrorObj(int outputs) : numOutputs(outputs) {}
  virtual ~TErrorObj() = default;

  // Forgets every accumulated pattern.
  virtual void Reset() = 0;
  // Accumulates one pattern of numOutputs targets and outputs.
  virtual void Add(const double* target, const double* output) = 0;
  // The error over the patterns accumulated so far.
  virtual double GetError() const = 0;
  // Adds Penalty(n, weights, params, 1.0) to the accumulated error.
  virtual void AddPenalty(int n, const double* weights, const TKQstructure* params) = 0;

  // The penalty of the n `weights` described by `params` (see above).
  double Penalty(int n, const double* weights, const TKQstructure* params, double scale) const;

  int numOutputs;
  int numPatterns = 0;
};

class TErrorRMSObj : public TErrorObj {
 public:
  explicit TErrorRMSObj(int outputs) : TErrorObj(outputs) {}

  void Reset() override;
  void Add(const double* target, const double* output) override;
  // REQUIRES (else TException): at least one pattern and one output.
  double GetError() const override;
  void AddPenalty(int n, const double* weights, const TKQstructure* params) override;

  double sum = 0.0;
};

class TErrorCrossEntropyObj : public TErrorObj {
 public:
  explicit TErrorCrossEntropyObj(int outputs) : TErrorObj(outputs) {}

  void Reset() override;
  void Add(const double* target, const double* output) override;
  // The accumulated sum (0 before any pattern).
  double GetError() const override { return sum; }
  void AddPenalty(int n, const double* weights, const TKQstructure* params) override;

  double sum = 0.0;
};
