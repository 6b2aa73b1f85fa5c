// Neurons: the units of a layer.
//
// A neuron belongs to exactly one layer, which holds it by value and re-points
// `output` and `layer` whenever it moves the neuron. `output` is the neuron's
// cell in the layer's `outputs` array; the activation function writes there.
// `layerNum` and `nodeNum` record where the neuron was created and travel with
// it unchanged. TGainNeuron adds one parameter, the gain (named "Gain").
#pragma once

#include "NeuralNets/ActFunctions.h"

class TBasicLayer;

class TBasicNeuron {
 public:
  TBasicNeuron() = default;
  TBasicNeuron(const TBasicNeuron&) = default;
  TBasicNeuron& operator=(const TBasicNeuron&) = default;
  virtual ~TBasicNeuron() = default;

  // Computes the output for net input `x` with the neuron's own function.
  virtual void Activate(double x) { function(this, x); }
  // Number of parameters (0 for a plain neuron).
  virtual int GetNumParams() const { return 0; }
  // Writes the GetNumParams() parameters to `params`.
  virtual void GetParams(double* params) const;
  // Reads the GetNumParams() parameters from `params`.
  virtual void SetParams(const double* params);
  // Name of parameter i. REQUIRES: 0 <= i < GetNumParams().
  virtual const char* GetParamName(int i) const;
  // Hook for neuron classes with state beyond the copied fields.
  virtual void CopyFrom(const TBasicNeuron& source);
  // Whether the neuron has a gain, so that a "-gain" function fits it.
  virtual bool HasGain() const { return false; }
  // The gain read by the "-gain" functions. REQUIRES: HasGain().
  virtual double GetGain() const;

  // Sets the neuron's function and clears the layer's shared-function cache.
  // REQUIRES: a "-gain" function only on a neuron that HasGain().
  void SetFunction(ActFunction f);
  ActFunction GetFunction() const { return function; }

  int layerNum = 0;
  int nodeNum = 0;
  double* output = nullptr;      // not owned: a cell of layer->outputs
  TBasicLayer* layer = nullptr;  // not owned
  ActFunction function = &ActError;
};

class TGainNeuron : public TBasicNeuron {
 public:
  TGainNeuron() = default;

  int GetNumParams() const override { return 1; }
  void GetParams(double* params) const override { params[0] = gain; }
  void SetParams(const double* params) override { gain = params[0]; }
  const char* GetParamName(int i) const override;
  bool HasGain() const override { return true; }
  double GetGain() const override { return gain; }

  double gain = 1.0;
};
