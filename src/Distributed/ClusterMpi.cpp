// The run over MPI: `mpirun -np K Quill params.txt`.
//
// Process 0 is the run as one process would make it, with this cluster
// installed; processes 1 ... K-1 only measure. Every message starts with a
// command that process 0 broadcasts: Share (the compiled network and data,
// and the thread count: once per run), Measure (each process gets the genes
// of its slice and returns the errors) or Stop. At start-up every process
// tells process 0 the fingerprint of its program file, so that a run of
// different builds is refused before anything is read.
//
// Bytes per generation: 12 for the command to every other process, then
// 4 bytes per gene and 8 per error for every record measured by another
// process: (records - slice of process 0) * (4 * genes + 8).
//
// A process that ends (or is killed) ends the run: mpirun then stops the
// others with SIGTERM, and process 0 says so and ends at once without
// writing anything more (see InterruptEndsAtOnce); a process that cannot
// take its share says why and aborts the run.
#include <mpi.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "Distributed/Cluster.h"
#include "Distributed/ClusterMain.h"
#include "MLP/Quill/Quill.h"
#include "NeuralNets/TRecallPlan.h"
#include "common/Fingerprint.h"
#include "common/Interrupt.h"
#include "common/ThreadPool.h"
#include "common/Version.h"

namespace {

enum Command : std::int32_t { kShare = 1, kMeasure = 2, kStop = 3 };

// The command every process receives first: what to do and two numbers
// (Share: plan bytes and threads; Measure: records and genes).
struct Header {
  std::int32_t command = kStop;
  std::int32_t a = 0;
  std::int32_t b = 0;
};

void Broadcast(Header& header) {
  MPI_Bcast(&header, 3, MPI_INT32_T, 0, MPI_COMM_WORLD);
}

// Ends every process of the run after `message` (from this process).
[[noreturn]] void Abort(const std::string& message) {
  std::cerr << message << std::endl;
  MPI_Abort(MPI_COMM_WORLD, 1);
  std::_Exit(1);
}

// The per-slice counts and offsets of `count` records, scaled by `unit`.
void Layout(std::size_t count, int size, int unit, std::vector<int>& counts,
            std::vector<int>& offsets) {
  counts.assign(static_cast<std::size_t>(size), 0);
  offsets.assign(static_cast<std::size_t>(size), 0);
  for (int r = 0; r < size; ++r) {
    const auto [first, n] = quill::Slice(count, r, size);
    counts[static_cast<std::size_t>(r)] = static_cast<int>(n) * unit;
    offsets[static_cast<std::size_t>(r)] = static_cast<int>(first) * unit;
  }
}

// The measuring side of every process but the first: the plan, a pool and
// one workspace per thread.
class Measurer {
 public:
  void Take(const std::vector<char>& bytes, int threads) {
    plan_ = TRecallPlan::FromBytes(bytes, quill::simd::BestKernels());
    pool_ = std::make_unique<quill::ThreadPool>(threads);
    workspaces_.clear();
    for (int w = 0; w < pool_->Size(); ++w)
      workspaces_.push_back(plan_->NewWorkspace());
  }

  // Errors of `count` records of `genes` genes each (float bits).
  void Measure(const std::vector<std::uint32_t>& cells, int count, int genes,
               std::vector<double>& errors) {
    errors.assign(static_cast<std::size_t>(count), 0.0);
    pool_->ForEach(count, [&](int worker, int index) {
      TRecallPlan::Workspace& ws = *workspaces_[static_cast<std::size_t>(worker)];
      const std::uint32_t* record =
          cells.data() + static_cast<std::size_t>(index) * static_cast<std::size_t>(genes);
      plan_->LoadWeights(ws, [record](std::size_t k) { return std::bit_cast<float>(record[k]); });
      errors[static_cast<std::size_t>(index)] = plan_->MeanRMSError(ws);
    });
  }

  bool Ready() const { return plan_ != nullptr; }

 private:
  std::unique_ptr<TRecallPlan> plan_;
  std::unique_ptr<quill::ThreadPool> pool_;
  std::vector<std::unique_ptr<TRecallPlan::Workspace>> workspaces_;
};

class MpiCluster : public quill::Cluster {
 public:
  explicit MpiCluster(int size) : size_(size) {}

  int Size() const override { return size_; }

  void Share(const std::vector<char>& plan, int threads) override {
    Header header{kShare, static_cast<std::int32_t>(plan.size()), threads};
    if (plan.size() > static_cast<std::size_t>(INT32_MAX))
      Abort("The network and data are too large to share between the processes of the run");
    Broadcast(header);
    MPI_Bcast(const_cast<char*>(plan.data()), header.a, MPI_CHAR, 0, MPI_COMM_WORLD);
    // Every process says whether it took its share.
    std::int32_t mine = 1;
    std::vector<std::int32_t> taken(static_cast<std::size_t>(size_), 0);
    MPI_Gather(&mine, 1, MPI_INT32_T, taken.data(), 1, MPI_INT32_T, 0, MPI_COMM_WORLD);
    for (int r = 1; r < size_; ++r) {
      if (taken[static_cast<std::size_t>(r)] != 1)
        Abort("Process " + std::to_string(r) +
              " of the run could not take its share of the work: not enough memory");
    }
  }

  void Measure(const std::vector<const IndividualRecord*>& records, int genes,
               const std::function<void(std::size_t, std::size_t)>& local,
               std::vector<double>& errors) override {
    const std::size_t count = records.size();
    Header header{kMeasure, static_cast<std::int32_t>(count), genes};
    Broadcast(header);
    std::vector<int> counts, offsets;
    Layout(count, size_, genes, counts, offsets);
    // The genes of the other processes' slices, one after another.
    const std::size_t g = static_cast<std::size_t>(genes);
    cells_.resize(count * g);
    const auto [first, own] = quill::Slice(count, 0, size_);
    for (std::size_t i = first + own; i < count; ++i) {
      for (std::size_t k = 0; k < g; ++k)
        cells_[i * g + k] = records[i]->values[k].Bits();
    }
    MPI_Scatterv(cells_.data(), counts.data(), offsets.data(), MPI_UINT32_T, MPI_IN_PLACE,
                 counts[0], MPI_UINT32_T, 0, MPI_COMM_WORLD);
    local(first, own);
    Layout(count, size_, 1, counts, offsets);
    MPI_Gatherv(MPI_IN_PLACE, counts[0], MPI_DOUBLE, errors.data(), counts.data(), offsets.data(),
                MPI_DOUBLE, 0, MPI_COMM_WORLD);
  }

  // Tells every other process that the run is over.
  void Stop() {
    Header header{kStop, 0, 0};
    Broadcast(header);
  }

 private:
  int size_;
  std::vector<std::uint32_t> cells_;
};

// The loop of every process but the first.
int Measure(int rank, int size) {
  Measurer measurer;
  std::vector<char> plan;
  std::vector<std::uint32_t> cells;
  std::vector<double> errors;
  std::vector<int> counts, offsets;
  for (;;) {
    Header header;
    Broadcast(header);
    if (header.command == kStop) return 0;
    if (header.command == kShare) {
      std::int32_t taken = 1;
      try {
        plan.resize(static_cast<std::size_t>(header.a));
        MPI_Bcast(plan.data(), header.a, MPI_CHAR, 0, MPI_COMM_WORLD);
        measurer.Take(plan, header.b);
        plan = {};
      } catch (const std::bad_alloc&) {
        taken = 0;
      }
      MPI_Gather(&taken, 1, MPI_INT32_T, nullptr, 0, MPI_INT32_T, 0, MPI_COMM_WORLD);
      continue;
    }
    // Measure: this process's slice of header.a records of header.b genes.
    const std::size_t count = static_cast<std::size_t>(header.a);
    const int genes = header.b;
    const auto [first, mine] = quill::Slice(count, rank, size);
    Layout(count, size, genes, counts, offsets);
    cells.resize(mine * static_cast<std::size_t>(genes));
    MPI_Scatterv(nullptr, counts.data(), offsets.data(), MPI_UINT32_T, cells.data(),
                 counts[static_cast<std::size_t>(rank)], MPI_UINT32_T, 0, MPI_COMM_WORLD);
    if (!measurer.Ready())
      Abort("Process " + std::to_string(rank) + " has nothing to measure with");
    measurer.Measure(cells, static_cast<int>(mine), genes, errors);
    Layout(count, size, 1, counts, offsets);
    MPI_Gatherv(errors.data(), static_cast<int>(mine), MPI_DOUBLE, nullptr, counts.data(),
                offsets.data(), MPI_DOUBLE, 0, MPI_COMM_WORLD);
    (void)first;
  }
}

// The program's identity: its version and the fingerprint of its file.
struct Build {
  std::uint64_t fingerprint = 0;
  char version[32] = {};
};

Build ThisBuild() {
  Build b;
  b.fingerprint = quill::FileFingerprint("/proc/self/exe").value_or(0);
  std::snprintf(b.version, sizeof b.version, "%s", quill::Version());
  return b;
}

}  // namespace

bool LaunchedByMpi() {
  for (const char* name : {"OMPI_COMM_WORLD_SIZE", "PMIX_RANK", "PMI_SIZE", "PMI_RANK"}) {
    if (std::getenv(name) != nullptr) return true;
  }
  return false;
}

int ClusterMain(int argc, char** argv) {
  if (!LaunchedByMpi()) return QuillMain(argc, argv);
  int provided = 0;
  MPI_Init_thread(&argc, &argv, MPI_THREAD_FUNNELED, &provided);
  int rank = 0, size = 1;
  MPI_Comm_rank(MPI_COMM_WORLD, &rank);
  MPI_Comm_size(MPI_COMM_WORLD, &size);

  // Every process must run the same program: results are only the same when
  // every process measures alike.
  const Build mine = ThisBuild();
  std::vector<Build> all(static_cast<std::size_t>(size));
  MPI_Gather(&mine, sizeof(Build), MPI_BYTE, all.data(), sizeof(Build), MPI_BYTE, 0,
             MPI_COMM_WORLD);
  std::int32_t same = 1;
  if (rank == 0) {
    for (int r = 1; r < size && same; ++r) {
      const Build& other = all[static_cast<std::size_t>(r)];
      if (other.fingerprint != mine.fingerprint) {
        std::cerr << "Process " << r << " of the run runs another build of Quill (" << other.version
                  << ", fingerprint " << quill::FingerprintText(other.fingerprint)
                  << ") than process 0 (" << mine.version << ", fingerprint "
                  << quill::FingerprintText(mine.fingerprint)
                  << "): every process must run the same program" << std::endl;
        same = 0;
      }
    }
  }
  MPI_Bcast(&same, 1, MPI_INT32_T, 0, MPI_COMM_WORLD);
  if (!same) {
    MPI_Finalize();
    return 1;
  }

  int status = 0;
  if (rank != 0) {
    status = Measure(rank, size);
  } else {
    MpiCluster cluster(size);
    if (size > 1) {
      quill::SetCurrentCluster(&cluster);
      // mpirun ends every process with SIGTERM when one of them ends; a run
      // that has lost a process cannot finish its generation, so the first
      // signal ends it at once (the files on disk stay whole).
      quill::InterruptEndsAtOnce(
          "Stopped by a signal while running on several processes (one of them may have "
          "ended); nothing more written\n");
    }
    status = QuillMain(argc, argv);
    quill::SetCurrentCluster(nullptr);
    if (size > 1) cluster.Stop();
  }
  MPI_Finalize();
  return status;
}
