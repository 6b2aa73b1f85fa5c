#include <gtest/gtest.h>

#include <iostream>

#include "GA-Apps/GenTrain/TGenTrainReport.h"

namespace {

std::string ReportLine(TGenTrainReport& report) {
  testing::internal::CaptureStdout();
  report.Report();
  return testing::internal::GetCapturedStdout();
}

TEST(GenTrainReport, LineHoldsGenerationErrorAndFitness) {
  TGenTrainReport report;
  report.MbrStatistics.generation = 1;
  report.MbrDblLowestError = 0.253210004;
  report.MbrFltLowestErrorFitness = 3.94929f;
  EXPECT_EQ(ReportLine(report), "1 0.25321 3.94929 \n");
  // The float fitness is widened, then printed with six digits.
  report.MbrStatistics.generation = 12;
  report.MbrDblLowestError = 2147483647.0;
  report.MbrFltLowestErrorFitness = 0.0f;
  EXPECT_EQ(ReportLine(report), "12 2.14748e+09 0 \n");
  report.MbrDblLowestError = 0.0;
  report.MbrFltLowestErrorFitness = 2147483648.0f;
  EXPECT_EQ(ReportLine(report), "12 0 2.14748e+09 \n");
}

TEST(GenTrainReport, FormatDoesNotDependOnTheStream) {
  TGenTrainReport report;
  report.MbrStatistics.generation = 3;
  report.MbrDblLowestError = 0.5;
  report.MbrFltLowestErrorFitness = 2.0f;
  std::cout << std::fixed;
  std::cout.precision(2);
  EXPECT_EQ(ReportLine(report), "3 0.5 2 \n");
  // and leaves the stream as it found it
  EXPECT_TRUE(std::cout.flags() & std::ios_base::fixed);
  EXPECT_EQ(std::cout.precision(), 2);
  std::cout << std::defaultfloat;
  std::cout.precision(6);
}

}  // namespace
