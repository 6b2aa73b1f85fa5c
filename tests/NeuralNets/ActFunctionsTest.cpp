#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "NeuralNets/ActFunctions.h"
#include "NeuralNets/TBasicNeuron.h"
#include "NeuralNets/TFnRegistry.h"

namespace {

const char* const kNames[] = {"error",   "null", "bias",        "linear",       "saturated-linear",
                              "sigmoid", "tanh", "linear-gain", "sigmoid-gain", "tanh-gain"};

// Evaluates `fn` on a gain neuron with gain `g`.
double Eval(ActFunction fn, double x, double g = 1.0) {
  TGainNeuron n;
  double cell = -99.0;
  n.output = &cell;
  n.gain = g;
  fn(&n, x);
  return cell;
}

TEST(FnRegistry, DefaultsInOrderAnyCase) {
  TFnRegistry reg;
  reg.RegisterDefaults();
  ASSERT_EQ(reg.Count(), 10);
  EXPECT_EQ(reg.Capacity(), 16);
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(reg.EntryAt(i).name, kNames[i]);
    ActFunction fn = reg.EntryAt(i).function;
    std::string upper = kNames[i];
    for (char& c : upper)
      c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(reg.Lookup(upper.c_str()), fn);
    EXPECT_STREQ(reg.LookupName(fn), kNames[i]);
  }
  EXPECT_EQ(reg.Lookup("Sigmoid"), &ActSigmoid);
  EXPECT_EQ(reg.Find("softmax"), nullptr);
}

void Dummy(TBasicNeuron*, double) {}

TEST(FnRegistry, GrowsFrom16To32KeepingOrder) {
  TFnRegistry reg;
  reg.RegisterDefaults();
  for (int i = 0; i < 7; ++i) {
    std::string name = "extra" + std::to_string(i);
    reg.Register(i == 6 ? &Dummy : &ActLinear, name.c_str());
    name.assign("overwritten");  // the registry keeps its own copy
  }
  EXPECT_EQ(reg.Count(), 17);
  EXPECT_EQ(reg.Capacity(), 32);
  for (int i = 0; i < 10; ++i)
    EXPECT_EQ(reg.EntryAt(i).name, kNames[i]);
  EXPECT_EQ(reg.EntryAt(16).name, "extra6");
  EXPECT_EQ(reg.Lookup("EXTRA6"), &Dummy);
  // Searched from the last entry: the latest registration of a function wins.
  EXPECT_STREQ(reg.LookupName(&ActLinear), "extra5");
}

TEST(FnRegistryDeathTest, DuplicateAndUnknownNamesStop) {
  TFnRegistry reg;
  reg.RegisterDefaults();
  EXPECT_DEATH(reg.Register(&ActTanh, "Tanh"),
               "Assertion failed: strcasecmp\\(p,pp->name\\)!=0, file NeuralNets/ActFunctions");
  EXPECT_DEATH(reg.Lookup("softmax"), "Assertion failed: false, file NeuralNets/ActFunctions");
  EXPECT_DEATH(reg.LookupName(&Dummy), "Assertion failed: false, file NeuralNets/ActFunctions");
}

TEST(ActFunctions, SigmoidCutOffIsStrict) {
  EXPECT_EQ(Eval(&ActSigmoid, -500.5), 1e-300);
  EXPECT_EQ(Eval(&ActSigmoid, -500.0), 1.0 / (1.0 + std::exp(500.0)));
  EXPECT_EQ(Eval(&ActSigmoid, 0.0), 0.5);
  // The gain version has no cut-off.
  EXPECT_EQ(Eval(&ActSigmoidGain, -500.5, 1.0), 1.0 / (1.0 + std::exp(500.5)));
}

TEST(ActFunctions, SaturatedLinear) {
  EXPECT_EQ(Eval(&ActSaturatedLinear, -3.0), 0.0);
  EXPECT_EQ(Eval(&ActSaturatedLinear, 0.0), 0.0);
  EXPECT_EQ(Eval(&ActSaturatedLinear, 0.25), 0.25);
  EXPECT_EQ(Eval(&ActSaturatedLinear, 1.0), 1.0);
  EXPECT_EQ(Eval(&ActSaturatedLinear, 7.0), 1.0);
  EXPECT_EQ(Eval(&ActSaturatedLinear, std::numeric_limits<double>::quiet_NaN()), 0.0);
}

TEST(ActFunctions, PlainAndGainFunctions) {
  EXPECT_EQ(Eval(&ActBias, 0.0), 1.0);
  EXPECT_EQ(Eval(&ActBias, -4.0), 1.0);
  EXPECT_EQ(Eval(&ActLinear, -2.5), -2.5);
  EXPECT_EQ(Eval(&ActTanh, 0.5), std::tanh(0.5));
  EXPECT_EQ(Eval(&ActLinearGain, 3.0, 2.0), 6.0);
  EXPECT_EQ(Eval(&ActTanhGain, 0.5, 2.0), std::tanh(1.0));
  EXPECT_EQ(Eval(&ActSigmoidGain, 1.0, 2.0), 1.0 / (1.0 + std::exp(-2.0)));
}

TEST(ActFunctions, GainFunctionsNeedAGain) {
  EXPECT_TRUE(FunctionNeedsGain(&ActLinearGain));
  EXPECT_TRUE(FunctionNeedsGain(&ActSigmoidGain));
  EXPECT_TRUE(FunctionNeedsGain(&ActTanhGain));
  EXPECT_FALSE(FunctionNeedsGain(&ActSigmoid));
  EXPECT_FALSE(FunctionNeedsGain(&ActLinear));
}

TEST(ActFunctionsDeathTest, ErrorNullAndGainlessNeuronStop) {
  TBasicNeuron plain;
  double cell = 0.0;
  plain.output = &cell;
  EXPECT_DEATH(ActError(&plain, 1.0), "Assertion failed: false, file NeuralNets/ActFunctions");
  EXPECT_DEATH(ActNull(&plain, 1.0), "Assertion failed: false, file NeuralNets/ActFunctions");
  // A "-gain" function can neither be set on nor evaluated for a plain neuron.
  EXPECT_DEATH(ActSigmoidGain(&plain, 1.0), "Assertion failed: HasGain\\(\\)");
  EXPECT_DEATH(plain.SetFunction(&ActTanhGain), "Assertion failed: !FunctionNeedsGain");
}

}  // namespace
