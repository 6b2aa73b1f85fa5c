// What a run does between two generations beyond breeding: the run log's
// row, the periodic checkpoint, and the decision to stop early (a signal,
// TargetError, TimeLimit). The run sequence installs AfterGeneration as the
// trainer's generation hook.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "MLP/Quill/Checkpoint.h"
#include "MLP/Quill/RunLog.h"
#include "MLP/Quill/StatusLine.h"

struct QuillParameters;
class TGenTrain;

class RunControl {
 public:
  // `trainer` must outlive the control; `fingerprints` are the weight file's
  // and then each data file's, in class order.
  RunControl(const QuillParameters& params, TGenTrain& trainer, std::uint64_t network_fingerprint,
             std::vector<std::uint64_t> data_fingerprints);

  // Opens the run log of a new run (when one is asked for), with the seed and
  // whether the parameter file gave it. False when the log cannot be written.
  bool StartLog(std::uint32_t seed, bool seed_given);
  // Continues the run from `checkpoint` (its seed, its totals and its log).
  bool ResumeFrom(const RunCheckpoint& checkpoint);

  // The generation hook: writes the log row and, every CheckpointEvery
  // generations, the checkpoint; returns true to end the run after this
  // generation. `last` is the run's final generation. A signal, or a log row
  // that cannot be written, ends the run after any generation, the last one
  // included, with the checkpoint of that generation written.
  bool AfterGeneration(std::int32_t generation, bool last);

  // What the warning printed (once) for a generation in which no individual
  // has an error below TGenTrainEval::kNoError says about the data.
  void SetDataNote(std::function<std::string()> note) { data_note_ = std::move(note); }

  // Writes the checkpoint of the generation just evaluated. False when it
  // could not be written (the message has been printed).
  bool WriteCheckpoint(std::int32_t generation);

  // The signal that ended the run (0 for none), whether a failed log write
  // ended it, the generation after which it stopped, and whether the
  // checkpoint of that generation was written.
  int Interrupted() const { return interrupted_; }
  bool LogFailed() const { return log_failed_; }
  std::int32_t StoppedAfter() const { return stopped_after_; }
  bool CheckpointWritten() const { return checkpoint_written_; }
  // The last generation the hook was called for (0 before the first).
  std::int32_t LastGeneration() const { return last_generation_; }

  // The checkpoint of the trainer's current state after `generation`.
  RunCheckpoint Snapshot(std::int32_t generation) const;

  // Ends the live status line (on a terminal only) with a summary: the
  // generations run, the final lowest error, the time, the files written
  // (the destination, which the caller has just written, the run log and the
  // checkpoint) and why the run ended.
  void Summarize();

 private:
  std::vector<std::string> Comments(std::uint32_t seed, bool seed_given) const;
  double Elapsed() const;

  const QuillParameters& params_;
  TGenTrain& trainer_;
  std::uint64_t network_fingerprint_;
  std::vector<std::uint64_t> data_fingerprints_;
  RunLog log_;
  double started_ = 0.0;          // steady seconds when this process's run began
  double elapsed_before_ = 0.0;   // the run's time before this process
  std::int64_t evaluations_ = 0;  // individuals evaluated over the whole run
  double generation_started_ = 0.0;
  std::uint32_t seed_ = 0;
  bool seed_given_ = false;
  int interrupted_ = 0;
  bool log_failed_ = false;
  std::function<std::string()> data_note_;
  bool warned_ = false;
  std::int32_t stopped_after_ = 0;
  std::int32_t checkpoint_generation_ = 0;
  bool checkpoint_written_ = false;
  std::int32_t first_generation_ = 0;  // the generation the run starts after
  std::int32_t last_generation_ = 0;   // the last one evaluated
  std::string stop_reason_;            // why the run ended early, if it did
  std::unique_ptr<StatusLine> status_;
};
