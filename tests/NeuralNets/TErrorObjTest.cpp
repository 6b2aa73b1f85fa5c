#include <gtest/gtest.h>

#include <cmath>

#include "KQmessage/KQML.h"
#include "NeuralNets/TErrorObj.h"
#include "errors/TException.h"

namespace {

TEST(ErrorRMS, AccumulatesUntilReset) {
  TErrorRMSObj err(2);
  const double t1[2] = {1.0, 0.0}, y1[2] = {0.5, 0.5};
  const double t2[2] = {1.0, 1.0}, y2[2] = {1.0, 0.0};
  err.Add(t1, y1);
  EXPECT_EQ(err.GetError(), std::sqrt((0.25 + 0.25) / 2 / 1));
  err.Add(t2, y2);
  EXPECT_EQ(err.GetError(), std::sqrt((0.25 + 0.25 + 0.0 + 1.0) / 2 / 2));
  err.Reset();
  err.Add(t2, t2);
  EXPECT_EQ(err.GetError(), 0.0);
}

TEST(ErrorRMS, NoPatternOrOutputThrows) {
  TErrorRMSObj err(3);
  try {
    err.GetError();
    FAIL() << "no exception";
  } catch (const TException& e) {
    EXPECT_EQ(e.message, "No patterns to measure the error over");
    EXPECT_EQ(e.location, "TErrorRMSObj::GetError");
  }
  TErrorRMSObj none(0);
  none.Add(nullptr, nullptr);
  EXPECT_THROW(none.GetError(), TException);
}

TEST(ErrorCrossEntropy, TermsStayFinite) {
  TErrorCrossEntropyObj err(1);
  EXPECT_EQ(err.GetError(), 0.0);
  const double one = 1.0, zero = 0.0, half = 0.5;
  err.Add(&one, &half);
  EXPECT_EQ(err.GetError(), -1.0 * std::log(0.5) - 0.0 * std::log(0.5));
  EXPECT_NEAR(err.GetError(), std::log(2.0), 1e-15);
  err.Reset();
  err.Add(&zero, &one);  // output exactly 1, target 0
  EXPECT_EQ(err.GetError(), 1000000.0);
  err.Add(&one, &one);
  EXPECT_EQ(err.GetError(), 1000000.0);
  // Output exactly 0: exact for target 0, a miss otherwise.
  err.Reset();
  err.Add(&zero, &zero);
  EXPECT_EQ(err.GetError(), 0.0);
  err.Add(&one, &zero);
  EXPECT_EQ(err.GetError(), 1000000.0);
  const double above = 1.5, below = -0.25, mid = 0.5;
  err.Reset();
  err.Add(&mid, &above);
  err.Add(&mid, &below);
  EXPECT_EQ(err.GetError(), 2000000.0);
}

TEST(Penalty, NoneAndQuadratic) {
  TErrorRMSObj err(1);
  const double w[2] = {1.0, -2.0};
  EXPECT_EQ(err.Penalty(2, w, nullptr, 1.0), 0.0);
  TKQstructure none("none");
  none.SetReal("EPSILON2", 5.0);
  EXPECT_EQ(err.Penalty(2, w, &none, 1.0), 0.0);
  TKQstructure quad("QuadPenalty");
  EXPECT_EQ(err.Penalty(2, w, &quad, 1.0), 0.0);
  quad.SetReal("epsilon2", 1.0);
  EXPECT_EQ(err.Penalty(2, w, &quad, 1.0), 1.0 + 4.0);
  EXPECT_EQ(err.Penalty(2, w, &quad, 0.5), 0.5 + 2.0);
  quad.SetReal("EPSILON1", 2.0);
  quad.SetReal("BETA", 3.0);
  // (2*3*1)/(3*1+1) + 1 and (2*3*4)/(3*4+1) + 4
  EXPECT_EQ(err.Penalty(2, w, &quad, 1.0), (6.0 / 4.0 + 1.0) + (24.0 / 13.0 + 4.0));
  err.Add(w, w);
  err.AddPenalty(2, w, &quad);
  EXPECT_EQ(err.sum, (6.0 / 4.0 + 1.0) + (24.0 / 13.0 + 4.0));
}

TEST(Penalty, WeightForgetting) {
  TErrorCrossEntropyObj err(1);
  const double w[3] = {1.0, -2.0, 0.5};
  TKQstructure lwf("LWF");
  EXPECT_EQ(err.Penalty(3, w, &lwf, 1.0), 0.0);  // forgetting rate defaults to 0
  lwf.SetReal("FORGETTINGRATE", 2.0);
  EXPECT_EQ(err.Penalty(3, w, &lwf, 10.0), 1.0 * 2.0 * 3.5);  // scale not applied
  lwf.SetReal("LearningRate", 0.25);
  EXPECT_EQ(err.Penalty(3, w, &lwf, 1.0), 0.25 * 2.0 * 3.5);
  err.AddPenalty(3, w, &lwf);
  EXPECT_EQ(err.GetError(), 1.75);
}

TEST(Penalty, BadStructuresThrow) {
  TErrorRMSObj err(1);
  const double w = 1.0;
  TKQstructure other("L2");
  try {
    err.Penalty(1, &w, &other, 1.0);
    FAIL() << "no exception";
  } catch (const TException& e) {
    EXPECT_EQ(e.message, "Unknown penalty");
    EXPECT_EQ(e.location, "TErrorObj::Penalty");
  }
  TKQstructure quad("QUADPENALTY");
  quad.SetText("BETA", "steep");
  EXPECT_THROW(err.Penalty(1, &w, &quad, 1.0), TKQstructure::Error);
}

}  // namespace
