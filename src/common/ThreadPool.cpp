#include "common/ThreadPool.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <utility>

// How a loop runs: the caller publishes it under the mutex (task, count,
// a fresh index counter and a number of slots, one per started thread it
// wants) and wakes that many threads. A thread joins by taking a slot under
// the mutex, which also makes the published loop visible to it; it then takes
// indexes from the atomic counter and leaves by decrementing busy_. Once the
// caller has run out of indexes itself, it withdraws the slots nobody took
// and waits for busy_ to reach 0, so when ForEach returns no thread still
// touches the loop, and the next loop may reset the counter without a race.

namespace quill {
namespace {

// How long the caller waiting for the last calls of a loop spins before it
// sleeps: a sleeping thread takes several microseconds to wake.
constexpr std::chrono::microseconds kSpinTime{50};

void CpuRelax() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#elif defined(__aarch64__)
  asm volatile("yield");
#endif
}

// Spins while `pending()` holds, for at most kSpinTime.
template <typename Pending>
void SpinWhile(Pending pending) {
  const auto end = std::chrono::steady_clock::now() + kSpinTime;
  for (unsigned i = 1; pending(); ++i) {
    CpuRelax();
    if (i % 64 == 0 && std::chrono::steady_clock::now() > end) return;
  }
}

int CheckedSize(int threads) {
  if (threads < 1) throw std::invalid_argument("ThreadPool needs at least one thread");
  return threads;
}

// Clears the in-use flag when ForEach ends, however it ends.
class InUseGuard {
 public:
  explicit InUseGuard(std::atomic<bool>& flag) : flag_(flag) {}
  ~InUseGuard() { flag_.store(false, std::memory_order_release); }
  InUseGuard(const InUseGuard&) = delete;
  InUseGuard& operator=(const InUseGuard&) = delete;

 private:
  std::atomic<bool>& flag_;
};

}  // namespace

ThreadPool::ThreadPool(int threads)
    : size_(CheckedSize(threads)),
      spin_(threads > 1 && static_cast<unsigned>(threads) <= std::thread::hardware_concurrency()) {
  threads_.reserve(static_cast<std::size_t>(threads - 1));
  try {
    for (int worker = 1; worker < threads; ++worker) {
      threads_.emplace_back(&ThreadPool::WorkerMain, this, worker);
    }
  } catch (...) {
    StopWorkers();
    throw;
  }
}

ThreadPool::~ThreadPool() {
  StopWorkers();
}

void ThreadPool::StopWorkers() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  for (std::thread& thread : threads_)
    thread.join();
  threads_.clear();
}

void ThreadPool::WorkerMain(int worker) {
  std::uint64_t seenLoop = 0;  // the last loop this thread looked at
  for (;;) {
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [&] { return stop_ || loop_ != seenLoop; });
      if (stop_) return;
      seenLoop = loop_;
      if (slots_ == 0) continue;  // the loop has all the threads it wants, or is over
      --slots_;
      busy_.fetch_add(1, std::memory_order_relaxed);
    }
    RunIndexes(worker);
    if (busy_.fetch_sub(1, std::memory_order_acq_rel) == 1) {
      // Taking the mutex orders this with the caller's check of busy_ before
      // it sleeps, so the notification cannot fall in between.
      { std::lock_guard lock(mutex_); }
      done_.notify_one();
    }
  }
}

void ThreadPool::RunIndexes(int worker) {
  const Task& task = *task_;
  const std::int64_t count = count_;
  // The flag is read before an index is taken, never after: an index once
  // taken always runs, so every index below one that threw has run.
  while (!failed_.load(std::memory_order_relaxed)) {
    const std::int64_t index = next_.fetch_add(1, std::memory_order_relaxed);
    if (index >= count) return;
    try {
      task(worker, static_cast<int>(index));
    } catch (...) {
      std::lock_guard lock(mutex_);
      if (!error_ || index < errorIndex_) {
        error_ = std::current_exception();
        errorIndex_ = index;
      }
      failed_.store(true, std::memory_order_relaxed);
    }
  }
}

void ThreadPool::ForEach(int count, const Task& task) {
  if (inUse_.exchange(true, std::memory_order_acquire)) {
    throw std::logic_error("ThreadPool::ForEach called while it is running");
  }
  InUseGuard guard(inUse_);
  if (count <= 0) return;

  // Started threads wanted: no more than there are indexes for.
  const int helpers = std::min(count, size_) - 1;
  if (helpers == 0) {
    for (int index = 0; index < count; ++index)
      task(0, index);
    return;
  }

  {
    std::lock_guard lock(mutex_);
    task_ = &task;
    count_ = count;
    next_.store(0, std::memory_order_relaxed);
    failed_.store(false, std::memory_order_relaxed);
    error_ = nullptr;
    slots_ = helpers;
    ++loop_;
  }
  if (helpers == size_ - 1) {
    wake_.notify_all();
  } else {
    for (int i = 0; i < helpers; ++i)
      wake_.notify_one();
  }

  RunIndexes(0);

  std::unique_lock lock(mutex_);
  slots_ = 0;  // threads that have not joined yet would find nothing left
  if (busy_.load(std::memory_order_acquire) != 0) {
    if (spin_) {
      lock.unlock();
      SpinWhile([&] { return busy_.load(std::memory_order_acquire) != 0; });
      lock.lock();
    }
    done_.wait(lock, [&] { return busy_.load(std::memory_order_acquire) == 0; });
  }
  task_ = nullptr;
  if (error_) {
    std::exception_ptr error = std::exchange(error_, nullptr);
    lock.unlock();
    std::rethrow_exception(error);
  }
}

}  // namespace quill
