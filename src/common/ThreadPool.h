// A fixed set of worker threads that runs one indexed loop at a time.
//
// A run creates one pool and hands it a loop per generation. Workers are
// numbered 0 to Size() - 1; the thread that calls ForEach is worker 0 and
// takes indexes like the others, and each of the Size() - 1 started threads
// is always the same worker. Between loops the started threads sleep, so
// that the caller's work between two loops (breeding the next generation)
// has the processor to itself; only the caller, waiting for the last calls
// of a loop, spins for a few microseconds first (when the machine has a core
// for each worker).
//
// What a task may assume:
// - task(worker, index) runs exactly once for each index in [0, count),
//   unless a call throws (see below);
// - calls with the same worker never overlap, so per-worker scratch indexed
//   by `worker` needs no lock; calls with different workers run concurrently,
//   so whatever they share must be read-only or kept apart by index;
// - everything the caller wrote before ForEach is visible to every call, and
//   everything the calls wrote is visible to the caller when ForEach returns;
// - which worker takes which index, and in what order, is unspecified (with
//   Size() == 1 it is worker 0, in index order, on the calling thread).
// Results that must not depend on the thread count therefore go to per-index
// slots, and are combined by the caller afterwards in index order.
//
// Exceptions: once a call throws, no further index is handed out, the calls
// already started finish, and ForEach rethrows the exception of the lowest
// index that threw. Indexes are handed out in increasing order, so every
// index below a throwing one has been started: for a task whose throwing
// depends only on its index, the rethrown exception is the one of the lowest
// such index, whatever the thread count. Which higher indexes ran is not
// defined.
//
// ForEach is not reentrant: a task must not call ForEach on its own pool,
// and two threads must not call it at once on one pool. Both throw
// std::logic_error instead of deadlocking. Size() may be called from anywhere.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace quill {

class ThreadPool {
 public:
  using Task = std::function<void(int worker, int index)>;

  // Starts threads - 1 threads, which live until destruction. Throws
  // std::invalid_argument for threads below 1, and std::system_error when a
  // thread cannot be started (the threads already started are then stopped).
  explicit ThreadPool(int threads);
  // Stops and joins the started threads. Must not run during a ForEach.
  ~ThreadPool();
  ThreadPool(const ThreadPool&) = delete;
  ThreadPool& operator=(const ThreadPool&) = delete;

  // The number of workers, counting the calling thread.
  int Size() const { return size_; }

  // Calls task(worker, index) for every index in [0, count) and returns when
  // all calls are done; a count of 0 or below calls nothing. Indexes are
  // handed out one at a time from a shared counter, so uneven calls balance.
  void ForEach(int count, const Task& task);

 private:
  // The loop of started worker `worker`.
  void WorkerMain(int worker);
  // Takes indexes of the current loop until none is left or a call threw.
  void RunIndexes(int worker);
  // Sets stop_, wakes and joins every started thread.
  void StopWorkers();

  const int size_;
  // The caller spins before sleeping: only when every worker can have a
  // core to itself.
  const bool spin_;

  std::mutex mutex_;
  std::condition_variable wake_;  // started threads wait for a loop or stop_
  std::condition_variable done_;  // the caller waits for busy_ to reach 0
  // Guarded by mutex_.
  std::uint64_t loop_ = 0;       // number of loops published so far
  int slots_ = 0;                // started threads the current loop still takes
  bool stop_ = false;            // set once, by the destructor
  std::exception_ptr error_;     // exception of the lowest index that threw
  std::int64_t errorIndex_ = 0;  // its index
  const Task* task_ = nullptr;   // the current loop
  std::int64_t count_ = 0;

  // Started threads that joined the current loop and have not left it.
  std::atomic<int> busy_{0};
  // Next index to hand out; 64 bits so that the workers' final increments
  // past a count near INT_MAX cannot wrap.
  std::atomic<std::int64_t> next_{0};
  std::atomic<bool> failed_{false};  // a call threw: hand out no more indexes
  std::atomic<bool> inUse_{false};   // a ForEach is running

  std::vector<std::thread> threads_;
};

}  // namespace quill
