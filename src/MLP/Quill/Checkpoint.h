// The state of a training run between two generations, and its file.
//
// A checkpoint holds everything a run needs to go on as if it had never
// stopped: the last generation evaluated, every individual of it (identifier,
// parents, fitness and genes), the generator's state, what the reporter and
// the evaluator carry from one generation to the next (the generation's
// lowest error, the best record so far), fingerprints of the network and
// data files and the settings that shape the run (so that a checkpoint is
// never continued with other inputs), and the run's time and evaluations so
// far (so that a run log goes on where it stopped).
//
// The file is in the program's bracketed block syntax ([Key = value], blocks
// [Name] ... [~Name], numbers as plain tokens), every number written in the
// shortest form that reads back to the same bits, and ends with the line
// "[Checksum = <16 hexadecimal digits>]": the checksum (quill::Checksum) of
// every byte before that line, so that a torn or altered file is refused
// rather than resumed. Files of Format 1, written before the checksum was
// added, carry no such line and are still read. WriteCheckpoint writes the
// text; ReadCheckpoint reads it and checks it is complete, intact and
// consistent with itself, with every value one a run can produce; whether it
// fits the run being resumed is the caller's question (CompareCheckpoint).
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "Bramble/Eval.h"

struct QuillParameters;

// The parameter-file settings that decide a run's course from one
// generation to the next.
struct RunSettings {
  std::int32_t PopulationSize = 0;
  std::int32_t EliteIndividuals = 0;
  float MutationRate = 0.0f;
  std::int32_t CrossoverPoints = 0;
  std::int32_t Selection = 0;
  std::int32_t Normalisation = 0;
  float MaxWeight = 0.0f;
  float MinWeight = 0.0f;
  bool FeaturesGiven = false;
  std::vector<std::int32_t> Features;
  // Precision = single; a checkpoint without the entry was measured in
  // double precision.
  bool SinglePrecision = false;

  // The settings of a parameter file.
  static RunSettings Of(const QuillParameters& params);
};

// What a checkpoint keeps of a run measured on validation data
// (ValidationFile): their fingerprints
// in class order, and the lowest validation error so far with the
// generation it was met in (0: none yet, and no error or record) and that
// generation's best record. Absent for a run without validation data,
// whose checkpoint has no [Validation] block.
struct CheckpointValidation {
  std::vector<std::uint64_t> fingerprints;
  std::int32_t best_generation = 0;
  double best_error = 0.0;
  IndividualRecord best;
};

struct RunCheckpoint {
  // The version of the layout written; a file of a later one is refused.
  // Format 1 is the same layout without the checksum line.
  static constexpr int kFormat = 2;

  std::int32_t generation = 0;     // the last generation evaluated
  std::uint32_t random_state = 0;  // the generator, after that generation
  std::uint32_t seed = 0;          // the seed the run started with
  bool seed_given = false;         // it came from the parameter file, not the clock
  double elapsed_seconds = 0.0;    // the run's time so far, over every resumption
  std::int64_t evaluations = 0;    // individuals evaluated so far
  std::int64_t log_bytes = 0;      // the run log's length after that generation's row
  double lowest_error = 0.0;       // the generation's lowest error and its fitness
  float lowest_fitness = 0.0f;
  double best_error = 0.0;  // the best record so far and its error (no genes: none yet)
  IndividualRecord best;

  std::uint64_t network_fingerprint = 0;
  std::vector<std::uint64_t> data_fingerprints;  // one per data class, in order
  RunSettings settings;

  using Validation = CheckpointValidation;
  std::optional<Validation> validation;

  std::int32_t gene_count = 0;
  std::vector<IndividualRecord> individuals;  // the population, in order
};

// A checkpoint file that cannot be read: truncated, altered or of another
// format. The message says what is wrong.
class CheckpointError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Writes `checkpoint` in the checkpoint format, checksum line last. The
// genes are real.
void WriteCheckpoint(std::ostream& out, const RunCheckpoint& checkpoint);

// How ReadCheckpoint reads.
struct CheckpointReading {
  // A longer input is refused once this many bytes have been read (see
  // CheckpointSizeLimit), so that an endless stream ends.
  std::uint64_t max_bytes = UINT64_MAX;
  // Reads the gene lists with the generic tag reader instead of the fast
  // path for them: the reference the fast path is tested against.
  bool plain = false;
};

// Reads a checkpoint; throws CheckpointError for anything but a complete,
// intact, consistent one: a checksum that matches (Format 2), counts that
// agree, finite numbers, distinct identifiers, and values a run can produce
// (fitness from 0 to TGenTrainEval::kFitnessCeiling, errors from 0 to
// TGenTrainEval::kNoError, counts up to 2^53). Text with a NUL byte is
// refused as soon as it is met. Memory grows with the file, never with the
// counts it claims.
RunCheckpoint ReadCheckpoint(std::istream& in, const CheckpointReading& how = {});

// The most bytes a checkpoint of a run with these counts takes as
// WriteCheckpoint writes it, with room to spare for changes of spacing and
// for a checkpoint of a population up to four times as large.
std::uint64_t CheckpointSizeLimit(std::int64_t population, std::int64_t genes, std::int64_t classes,
                                  std::int64_t features);

// `text` with its checksum line (when it ends with one) replaced by the
// checksum of the bytes before it, or with one appended: what a checkpoint
// holding this content would end with.
std::string SealCheckpoint(std::string_view text);

// What differs between a checkpoint and the run about to continue it, as a
// message naming it, or nothing when it fits: the settings, the network and
// data files (by content), the validation files (by content), and the
// generation against `generations`.
std::optional<std::string> CompareCheckpoint(
    const RunCheckpoint& checkpoint, const QuillParameters& params,
    std::uint64_t network_fingerprint, const std::vector<std::uint64_t>& data_fingerprints,
    const std::vector<std::uint64_t>& validation_fingerprints = {});
