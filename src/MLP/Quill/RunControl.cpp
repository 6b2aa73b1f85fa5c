#include "MLP/Quill/RunControl.h"

#include <charconv>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iostream>

#include "Bramble/DeathCap.h"
#include "GA-Apps/GenTrain/TGenTrain.h"
#include "GA-Apps/GenTrain/TGenTrainEval.h"
#include "MLP/Quill/ParameterFile.h"
#include "MLP/Quill/ParameterKeys.h"
#include "common/AtomicFile.h"
#include "common/Clock.h"
#include "common/Fingerprint.h"
#include "common/Interrupt.h"
#include "common/NumberText.h"
#include "common/Random.h"
#include "common/Version.h"

namespace {

// Calendar seconds as an ISO 8601 UTC time.
std::string UtcTime(std::int64_t seconds) {
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return text;
}

}  // namespace

RunControl::RunControl(const QuillParameters& params, TGenTrain& trainer,
                       std::uint64_t network_fingerprint,
                       std::vector<std::uint64_t> data_fingerprints)
    : params_(params),
      trainer_(trainer),
      network_fingerprint_(network_fingerprint),
      data_fingerprints_(std::move(data_fingerprints)),
      started_(quill::SteadySeconds()),
      generation_started_(started_) {}

double RunControl::Elapsed() const {
  return elapsed_before_ + (quill::SteadySeconds() - started_);
}

std::vector<std::string> RunControl::Comments(std::uint32_t seed, bool seed_given) const {
  std::vector<std::string> c;
  c.push_back(std::string("Quill ") + quill::Version() + " run log");
  c.push_back(RunLog::SeedComment(seed, seed_given));
  // Every parameter the table logs, as the parameter file takes it back; the
  // input files with a fingerprint of their content.
  std::size_t data_file = 0;
  for (const ParameterKey& key : ParameterKeys()) {
    if (!key.logged) continue;
    const std::string name = key.name;
    for (const std::string& value : key.values(params_)) {
      std::string line = name + " =" + (value.empty() ? "" : " " + value);
      if (name == "WeightFile")
        line += "  fingerprint " + quill::FingerprintText(network_fingerprint_);
      if (name == "DataFile" && data_file < data_fingerprints_.size())
        line += "  fingerprint " + quill::FingerprintText(data_fingerprints_[data_file++]);
      c.push_back(line);
    }
  }
  c.push_back("started: " + UtcTime(quill::CurrentTimeSeconds()));
  return c;
}

bool RunControl::StartLog(std::uint32_t seed, bool seed_given) {
  status_ = std::make_unique<StatusLine>(StatusLine::Enabled(), 0, params_.Generations);
  seed_ = seed;
  seed_given_ = seed_given;
  if (params_.RunLog.empty()) return true;
  return log_.Start(params_.RunLog, Comments(seed, seed_given));
}

bool RunControl::ResumeFrom(const RunCheckpoint& checkpoint) {
  first_generation_ = checkpoint.generation;
  last_generation_ = checkpoint.generation;
  status_ = std::make_unique<StatusLine>(StatusLine::Enabled(), checkpoint.generation,
                                         params_.Generations);
  seed_ = checkpoint.seed;
  seed_given_ = checkpoint.seed_given;
  elapsed_before_ = checkpoint.elapsed_seconds;
  evaluations_ = checkpoint.evaluations;
  if (params_.RunLog.empty()) return true;
  const std::string resumed = "resumed from " + params_.Resume + " after generation " +
                              quill::ShortestText(checkpoint.generation) + " at " +
                              UtcTime(quill::CurrentTimeSeconds());
  return log_.Continue(params_.RunLog, checkpoint.log_bytes, Comments(seed_, seed_given_), resumed);
}

RunCheckpoint RunControl::Snapshot(std::int32_t generation) const {
  RunCheckpoint c;
  c.generation = generation;
  c.random_state = quill::RandState();
  c.seed = seed_;
  c.seed_given = seed_given_;
  c.elapsed_seconds = Elapsed();
  c.evaluations = evaluations_;
  c.log_bytes = log_.Bytes();
  const TGenTrainReport& report = *trainer_.Reporter();
  c.lowest_error = report.MbrDblLowestError;
  c.lowest_fitness = report.MbrFltLowestErrorFitness;
  const TGenTrainEval& eval = *trainer_.Evaluator();
  c.best_error = eval.BestSoFarError();
  c.best = eval.BestSoFar();
  c.network_fingerprint = network_fingerprint_;
  c.data_fingerprints = data_fingerprints_;
  c.settings = RunSettings::Of(params_);
  PopulationImage image = DeathCap::MakeImage(trainer_.Engine()->Working());
  c.gene_count = image.gene_count;
  c.individuals = std::move(image.records);
  return c;
}

bool RunControl::WriteCheckpoint(std::int32_t generation) {
  if (params_.Checkpoint.empty()) return true;
  const RunCheckpoint c = Snapshot(generation);
  if (!quill::WriteFileAtomically(params_.Checkpoint,
                                  [&](std::ostream& out) { ::WriteCheckpoint(out, c); })) {
    std::cerr << "Unable to write checkpoint file " << params_.Checkpoint << std::endl;
    return false;
  }
  checkpoint_generation_ = generation;
  return true;
}

bool RunControl::AfterGeneration(std::int32_t generation, bool last) {
  const double now = quill::SteadySeconds();
  const std::int32_t size = trainer_.Engine()->Working()->Size();
  evaluations_ += size;
  last_generation_ = generation;
  if (log_.IsOpen()) {
    const TGenTrainReport& report = *trainer_.Reporter();
    const double took = now - generation_started_;
    if (!log_.Row(report.MbrStatistics.generation, report.MbrDblLowestError,
                  report.MbrFltLowestErrorFitness, report.MbrStatistics.mean_fitness,
                  report.MbrStatistics.worst_fitness, Elapsed(), took > 0.0 ? size / took : 0.0)) {
      // A log that stops mid-run without a word would pass for a complete
      // one: the run ends here, the log holding every row before this one.
      std::cerr << "Unable to write run log " << params_.RunLog << ": " << log_.Error()
                << std::endl;
      log_failed_ = true;
    }
  }
  generation_started_ = now;
  if (status_ != nullptr) status_->Update(generation, trainer_.Reporter()->MbrDblLowestError);
  if (!warned_ && data_note_ && trainer_.Reporter()->MbrDblLowestError >= TGenTrainEval::kNoError) {
    // The progress line shows 2.14748e+09 0: every error was infinite, not a
    // number, or beyond 2^31.
    std::cerr << "Warning: no individual of generation " << generation
              << " has an error below 2147483647 (shown as 2.14748e+09 0): squared errors "
                 "overflow; "
              << data_note_() << ": scale the data or the weights" << std::endl;
    warned_ = true;
  }

  // The last generation is followed by no breeding and no periodic
  // checkpoint; a signal or a failed log stops it like any other.
  if (!last && generation % params_.CheckpointEvery == 0) WriteCheckpoint(generation);
  bool stop = false;
  if (const int signal = quill::InterruptSignal()) {
    interrupted_ = signal;
    stop = true;
  } else if (log_failed_) {
    stop = true;
  } else if (last) {
    return false;
  } else if (params_.TargetErrorGiven &&
             trainer_.Reporter()->MbrDblLowestError <= params_.TargetError) {
    std::cerr << "Stopped after generation " << generation << ": the lowest error reached "
              << "TargetError" << std::endl;
    stop_reason_ = "the lowest error reached TargetError";
    stop = true;
  } else if (params_.TimeLimitGiven && now - started_ >= params_.TimeLimit) {
    std::cerr << "Stopped after generation " << generation << ": TimeLimit reached" << std::endl;
    stop_reason_ = "TimeLimit reached";
    stop = true;
  }
  if (!stop) return false;
  stopped_after_ = generation;
  if ((interrupted_ != 0 || log_failed_) && !params_.Checkpoint.empty()) {
    checkpoint_written_ = checkpoint_generation_ == generation || WriteCheckpoint(generation);
  }
  return true;
}

void RunControl::Summarize() {
  if (status_ == nullptr || !StatusLine::Enabled()) return;
  std::vector<std::string> written = {params_.DestinationFile};
  if (!params_.RunLog.empty()) written.push_back(params_.RunLog);
  if (checkpoint_generation_ != 0) written.push_back(params_.Checkpoint);
  const double seconds = status_->Elapsed();
  const std::int32_t run = last_generation_ - first_generation_;
  std::string why = stop_reason_;
  if (interrupted_ != 0) {
    why = interrupted_ == 2 ? "interrupted (SIGINT)" : "interrupted (SIGTERM)";
  } else if (why.empty()) {
    why = last_generation_ >= params_.Generations ? "all generations run"
                                                  : "a network with error 0 was found";
  }
  char time[32];
  if (seconds < 60.0) {
    std::snprintf(time, sizeof time, "%.3g s", seconds);
  } else {
    std::snprintf(time, sizeof time, "%s", StatusLine::Duration(seconds).c_str());
  }
  std::string text = "Ran generations " + quill::ShortestText(first_generation_ + 1) + " to " +
                     quill::ShortestText(last_generation_) + " in " + time;
  if (seconds > 0.0 && run > 0) {
    char rate[32];
    std::snprintf(rate, sizeof rate,
                  run / seconds >= 100.0 ? " (%.0f a second)" : " (%.3g a second)", run / seconds);
    text += rate;
  }
  char error[32];
  std::snprintf(error, sizeof error, "%.6g", trainer_.Reporter()->MbrDblLowestError);
  text += "; lowest error " + std::string(error) + "; ";
  if (written.empty()) {
    text += "wrote nothing";
  } else {
    text += "wrote ";
    for (std::size_t i = 0; i < written.size(); ++i)
      text += (i == 0 ? "" : i + 1 == written.size() ? " and " : ", ") + written[i];
  }
  text += "; ended: " + why;
  status_->Finish(text);
}
