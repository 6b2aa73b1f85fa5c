#include "GA-Apps/GenTrain/TGenTrainReport.h"

#include <ios>
#include <iostream>

TGenTrainReport::TGenTrainReport() : Reporter(true, false, 0, false) {}

TGenTrainReport::~TGenTrainReport() = default;

void TGenTrainReport::Report() {
  // The line's format does not depend on what others left in the stream.
  const std::ios_base::fmtflags flags = std::cout.flags();
  const std::streamsize precision = std::cout.precision();
  std::cout.flags(std::ios_base::dec);
  std::cout.precision(6);
  std::cout << MbrStatistics.generation << ' ' << MbrDblLowestError << ' '
            << static_cast<double>(MbrFltLowestErrorFitness) << ' ' << std::endl;
  std::cout.flags(flags);
  std::cout.precision(precision);
}
