// The interfaces between the generational engine and the application: the
// evaluator that gives every individual its fitness, the reporter that is
// told about every generation, and the plain records they exchange.
//
// The records hold plain values only (std::vector storage), so a copy never
// shares storage with the original: a reporter may keep any image it is
// handed after the engine has released its own.
#pragma once

#include <cstdint>
#include <vector>

#include "Bramble/Codes.h"
#include "Bramble/GeneCell.h"

// The type and bounds of one gene position. `maximum` and `minimum` are read
// by `type`: int32 for GENE_INTEGER, float for GENE_REAL; for GENE_BINARY
// `maximum` is the probability of a 1 (float) and `minimum` is unused.
struct GeneSpec {
  std::int32_t type = GENE_UNDEFINED;
  GeneCell maximum;
  GeneCell minimum;
};

// One entry per gene position, in order; `count` equals entries.size().
struct GeneSpecList {
  std::int32_t count = 0;
  std::vector<GeneSpec> entries;
};

// One individual as plain values. `values` holds one cell per gene, read by
// the gene's type (a binary gene's 0 or 1 is the cell's low byte).
struct IndividualRecord {
  std::int32_t identifier = 0;
  std::int32_t parent_one = 0;
  std::int32_t parent_two = 0;
  float fitness = 0.0f;
  std::vector<GeneCell> values;
};

// A population as plain values, records in population order;
// `individual_count` equals records.size().
struct PopulationImage {
  std::int32_t gene_count = 0;
  std::int32_t individual_count = 0;
  std::vector<IndividualRecord> records;
};

// The statistics of one evaluated generation. Positions count from 0.
struct PopulationStatistics {
  std::int32_t generation = 0;
  float best_fitness = 0.0f;
  float worst_fitness = 0.0f;
  float mean_fitness = 0.0f;
  std::int32_t best_position = 0;
  std::int32_t worst_position = 0;
};

// Gives every individual of a generation its fitness. Applications derive
// from it and override Evaluate.
class Eval {
 public:
  virtual ~Eval() = default;

  // Returns one fitness (>= 0, higher is better) per record, in order. The
  // base version marks a missing override and stops the program.
  virtual std::vector<float> Evaluate(std::int32_t gene_count, std::int32_t individual_count,
                                      const std::vector<IndividualRecord>& records);
};

// Told about every evaluated generation. Before each Report the engine fills
// the members the flags ask for; applications derive and override Report.
class Reporter {
 public:
  Reporter(bool report_statistics, bool report_genome, std::int32_t report_best,
           bool report_population);
  virtual ~Reporter();

  // Called once per evaluated generation; does nothing in the base.
  virtual void Report();

  // Replaces the stored individuals with `image`.
  void SetIndividuals(PopulationImage image);

  bool MbrBlnReportStatistics;    // fill MbrStatistics every generation
  bool MbrBlnReportGenome;        // fill MbrGenome every generation
  std::int32_t MbrNdxReportBest;  // above 0: that many best individuals in MbrIndividuals
  bool MbrBlnReportPopulation;    // the whole population in MbrIndividuals
  PopulationStatistics MbrStatistics;
  GeneSpecList MbrGenome;
  PopulationImage MbrIndividuals;
};
