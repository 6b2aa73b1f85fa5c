// Activation functions of the neural-network library.
//
// An activation function turns a neuron's net input into its output. It is a
// plain function (compared by address): it receives the neuron and the net
// input and stores its result in the neuron's output cell, which lies in the
// owning layer's `outputs` array. The ten built-in functions are registered by
// name in every network's TFnRegistry; their addresses are the same in every
// registry, so a function taken from one network can be named through another.
//
// The three "-gain" functions read the neuron's gain and therefore fit only
// neurons that have one (TGainNeuron). FunctionNeedsGain tells them apart, so
// that code building networks from files can reject a "-gain" function on a
// layer of plain neurons with a message; evaluating one on a plain neuron
// anyway is an internal fault and stops the program with an assertion.
#pragma once

class TBasicNeuron;

using ActFunction = void (*)(TBasicNeuron* neuron, double x);

// "error": the function every new neuron starts with; evaluating it stops the
// program, so a neuron whose function was never set cannot go unnoticed.
void ActError(TBasicNeuron* neuron, double x);
// "null": the shared function reported by a layer without neurons; evaluating
// it stops the program.
void ActNull(TBasicNeuron* neuron, double x);
// "bias": 1.0 whatever the input.
void ActBias(TBasicNeuron* neuron, double x);
// "linear": x.
void ActLinear(TBasicNeuron* neuron, double x);
// "saturated-linear": 1 for x >= 1, x for 0 < x < 1, otherwise 0 (NaN too).
void ActSaturatedLinear(TBasicNeuron* neuron, double x);
// "sigmoid": 1 / (1 + e^-x); exactly 1e-300 for x < -500.
void ActSigmoid(TBasicNeuron* neuron, double x);
// "tanh": tanh(x).
void ActTanh(TBasicNeuron* neuron, double x);
// "linear-gain": g * x.
void ActLinearGain(TBasicNeuron* neuron, double x);
// "sigmoid-gain": 1 / (1 + e^-(g*x)), without the cut-off of "sigmoid".
void ActSigmoidGain(TBasicNeuron* neuron, double x);
// "tanh-gain": tanh(g * x).
void ActTanhGain(TBasicNeuron* neuron, double x);

// True for the functions that read the neuron's gain ("linear-gain",
// "sigmoid-gain", "tanh-gain").
bool FunctionNeedsGain(ActFunction fn);
