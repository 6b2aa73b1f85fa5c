// The run parameters of one training job and the reader of the parameter file.
//
// A parameter file is a stream of whitespace-separated words; line ends carry
// no meaning. A word equal to a key (any letter case) is followed by one
// separator character, any non-whitespace character ("=" by convention), and
// the key's value; every other word is skipped on its own. The reader never
// exits or prints: it returns the message the driver prints on standard error
// before exiting with status 1.
#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <vector>

#include "GA-Apps/GenTrain/TGenTrain.h"

struct ReadEvent;

// The validated parameters handed from the driver to the run sequence. Each
// field starts at the default that applies when its key is absent.
struct QuillParameters {
  // Selection codes of the population's breeding (SELECT_ROULETTE and
  // SELECT_TOURNAMENT) and the default weight file, which stands for "none".
  static constexpr std::int32_t kSelectRoulette = 21;
  static constexpr std::int32_t kSelectTournament = 22;
  static constexpr const char* kNoWeightFile = "nonamespecified.wgt";
  // The most threads a run may use.
  static constexpr std::int32_t kMaxThreads = 1024;

  // The thread count when `Threads` is absent: the machine's hardware threads
  // (1 when the machine does not tell), at most kMaxThreads.
  static std::int32_t DefaultThreads();

  // `WeightFile`: the starting network description file to load.
  std::string WeightFile = kNoWeightFile;
  // `DestinationFile`: where the trained network is written.
  std::string DestinationFile = "GenTrain.wgt";
  // `#DataClasses`: the number of data classes, at least 1 once validated.
  std::int32_t DataClasses = 0;
  // `DataFile` entries in file order, one data-set file per data class; after
  // a read without a message it holds exactly DataClasses names.
  std::vector<std::string> DataFiles;
  // `PopulationSize`: individuals per generation, at least 1 once validated.
  std::int32_t PopulationSize = 0;
  // `Generations`: number of generations to breed, at least 1 once validated.
  std::int32_t Generations = 0;
  // `EliteIndividuals`: best individuals carried over unchanged (not checked).
  std::int32_t EliteIndividuals = 1;
  // `MutationRate`: probability of mutating a gene (not checked).
  float MutationRate = 0.0f;
  // `CrossoverPoints`: cut points of each crossover (not checked).
  std::int32_t CrossoverPoints = 1;
  // `Selection`: kSelectRoulette or kSelectTournament.
  std::int32_t Selection = kSelectRoulette;
  // `Normalisation`: 1 to normalise fitness linearly before selection, 0 not.
  std::int32_t Normalisation = 1;
  // `MaxWeight` and `MinWeight`: weight bounds before the trainer widens them
  // to the starting weights. Both default to plus ten.
  float MaxWeight = 10.0f;
  float MinWeight = 10.0f;
  // `#Features`: the number of input features to keep.
  std::int32_t NumFeatures = 0;
  // Set when `#Features` was given: the data sets are then restricted to the
  // input columns listed in Features.
  bool FeaturesGiven = false;
  // `Features`: input column indexes as written in the file (not range
  // checked); after a read without a message it holds exactly NumFeatures
  // entries whenever FeaturesGiven is set.
  std::vector<std::int32_t> Features;
  // `Threads`: threads that evaluate each generation, counting the main
  // thread, so 1 starts no worker thread; between 1 and kMaxThreads once
  // validated. Every value gives the same results.
  std::int32_t Threads = DefaultThreads();
  // The file gives `Threads`: exactly that many threads evaluate every
  // generation. Without it a generation of little work is evaluated on one.
  bool ThreadsGiven = false;

  // Long runs (all optional; a file without them runs exactly as before).
  // `Seed`: seeds the generator instead of the clock; SeedGiven tells
  // whether the key was read.
  bool SeedGiven = false;
  std::int32_t Seed = 0;
  // `RunLog`: a CSV file of every generation's statistics; empty for none.
  std::string RunLog;
  // `Checkpoint`: where the run's state is saved every CheckpointEvery
  // generations and when it is interrupted; empty for none.
  std::string Checkpoint;
  // `CheckpointEvery`: generations between checkpoints, at least 1.
  std::int32_t CheckpointEvery = 10;
  // `Resume`: a checkpoint to continue from; empty to start afresh.
  std::string Resume;
  // `TargetError`: the run ends after the first generation whose lowest error
  // is at most this (a number of at least 0); TargetErrorGiven tells whether
  // the key was read.
  bool TargetErrorGiven = false;
  double TargetError = 0.0;
  // `TimeLimit`: the run ends after the generation during which this many
  // seconds have passed since it started (above 0); TimeLimitGiven tells
  // whether the key was read.
  bool TimeLimitGiven = false;
  double TimeLimit = 0.0;
  // `Precision`: each generation is measured in single precision (float32)
  // when true, in double precision (the default) when false.
  bool SinglePrecision = false;

  // Validation (all optional). `#ValidationClasses`: the number of validation
  // data sets, given once before the ValidationFile entries; when given it
  // must equal DataClasses. ValidationGiven tells whether it was read.
  bool ValidationGiven = false;
  std::int32_t ValidationClasses = 0;
  // `ValidationFile` entries in file order, one per data class, in the order
  // of the DataFile entries: rows the run measures but never trains on.
  std::vector<std::string> ValidationFiles;
  // `Patience`: the run ends once the validation error has not improved for
  // this many generations; 0 (the default) for never.
  std::int32_t Patience = 0;
  // `KeepBest`: which network the destination receives: the fittest of the
  // last generation (kKeepLast, the default) or the one with the lowest
  // validation error seen (kKeepValidation).
  static constexpr std::int32_t kKeepLast = 0;
  static constexpr std::int32_t kKeepValidation = 1;
  std::int32_t KeepBest = kKeepLast;

  // The trainer's settings. The run's target error stays 0 (a perfect
  // network stops it): TargetError ends a run through the generation hook,
  // so that the run log and the checkpoint see the generation that met it.
  TrainSettings Training() const;
};

// The longest word the reader takes: a longer one (the endless word of
// /dev/zero, say) ends reading with kWordTooLong.
inline constexpr std::size_t kMaxParameterWord = 4096;
inline constexpr const char* kWordTooLong =
    "a word longer than 4096 characters (not a parameter file)";

// Reads the words of `in` into `params` (which should hold the defaults).
// Returns the message for the first bad entry, or nothing when the whole
// stream was read; reading stops at the first bad entry. Integers are read
// with base prefixes (010 is 8, 0x10 is 16); reals beyond the float range are
// stored as plus or minus the largest float.
// When `events` is given, what the reader met is recorded there (the
// parameter check shows it); the reading is the same either way.
std::optional<std::string> ReadQuillParameters(std::istream& in, QuillParameters& params,
                                               std::vector<ReadEvent>* events = nullptr);

// Checks, in this order, that a weight file was named, that the number of
// data classes, of generations and the population size are at least 1, and
// that Threads is between 1 and kMaxThreads; returns the message for the
// first failure.
std::optional<std::string> ValidateQuillParameters(const QuillParameters& params);
