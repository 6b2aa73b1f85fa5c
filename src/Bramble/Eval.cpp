#include "Bramble/Eval.h"

#include <utility>

#include "common/Assert.h"

namespace {
constexpr const char* kSourceUnit = "Bramble/Eval";
}

std::vector<float> Eval::Evaluate(std::int32_t /*gene_count*/, std::int32_t /*individual_count*/,
                                  const std::vector<IndividualRecord>& /*records*/) {
  QUILL_ASSERT(false);
  return {};
}

Reporter::Reporter(bool report_statistics, bool report_genome, std::int32_t report_best,
                   bool report_population)
    : MbrBlnReportStatistics(report_statistics),
      MbrBlnReportGenome(report_genome),
      MbrNdxReportBest(report_best),
      MbrBlnReportPopulation(report_population) {}

Reporter::~Reporter() = default;

void Reporter::Report() {}

void Reporter::SetIndividuals(PopulationImage image) {
  MbrIndividuals = std::move(image);
}
