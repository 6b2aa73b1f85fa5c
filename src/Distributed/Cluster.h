// Evaluation spread over several processes (an MPI run).
//
// A Cluster is the run's processes seen from the first one, which reads the
// inputs, runs the genetic algorithm, prints and writes files: it hands every
// other process the compiled network and data once, and then each
// generation's genes; each process measures a contiguous slice of the
// records with its own threads and returns their errors, which the first
// process takes in record order. Only genes and errors cross between the
// processes, and the results are those of one process, bit for bit.
//
// The MPI implementation lives in the program (ClusterMpi.cpp, built when MPI
// is found); the library sees only this interface and the cluster installed
// for the run, if any.
#pragma once

#include <cstddef>
#include <functional>
#include <utility>
#include <vector>

#include "Bramble/Eval.h"

namespace quill {

class Cluster {
 public:
  virtual ~Cluster() = default;

  // The number of processes, this one included.
  virtual int Size() const = 0;
  // Hands every other process the compiled network and data (the bytes of
  // TRecallPlan::ToBytes) and the number of threads each may use; they keep
  // them for every later Measure. A process that cannot take them ends the
  // run with a message.
  virtual void Share(const std::vector<char>& plan, int threads) = 0;
  // Measures `records` (each with `genes` real genes): process r measures
  // Slice(records.size(), r, Size()), this process by calling
  // local(first, count) while the others measure theirs. errors[i] receives
  // record i's mean error, for the records of the other processes (`local`
  // writes its own).
  virtual void Measure(const std::vector<const IndividualRecord*>& records, int genes,
                       const std::function<void(std::size_t first, std::size_t count)>& local,
                       std::vector<double>& errors) = 0;
};

// The first record and the count of the slice of `count` records that
// process `rank` of `size` measures: contiguous slices in rank order, the
// first count % size of them one record longer.
std::pair<std::size_t, std::size_t> Slice(std::size_t count, int rank, int size);

// The cluster of this run, or null when the run has one process. Not owned.
Cluster* CurrentCluster();
void SetCurrentCluster(Cluster* cluster);

}  // namespace quill
