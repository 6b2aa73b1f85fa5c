#include "common/ThreadPool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

// Uneven work, so that indexes finish out of order.
int Busy(int index) {
  volatile int sink = 0;
  for (int i = 0; i < (index % 7) * 200; ++i)
    sink = sink + i;
  return sink;
}

TEST(ThreadPool, EveryIndexOnceOneCallPerWorkerAtATime) {
  for (const int size : {1, 2, 3, 8}) {
    quill::ThreadPool pool(size);
    ASSERT_EQ(pool.Size(), size);
    // Repeated loops on one pool, with counts of none, one, fewer indexes
    // than workers, and many.
    for (int round = 0; round < 50; ++round) {
      for (const int count : {0, 1, size - 1, 2 * size + 1, 1000}) {
        SCOPED_TRACE("size " + std::to_string(size) + ", count " + std::to_string(count));
        std::vector<int> runs(count, 0), workers(count, -1);
        // Unsynchronised per-worker scratch: a lost update shows a worker id
        // used by two threads at once.
        std::vector<int> perWorker(size, 0);
        auto inside = std::make_unique<std::atomic<int>[]>(size);
        pool.ForEach(count, [&](int worker, int index) {
          ASSERT_TRUE(worker >= 0 && worker < size) << worker;
          EXPECT_EQ(inside[worker].fetch_add(1), 0);
          ++runs[index];
          workers[index] = worker;
          ++perWorker[worker];
          Busy(index);
          inside[worker].fetch_sub(1);
        });
        int total = 0;
        for (int n : perWorker)
          total += n;
        EXPECT_EQ(total, count);
        for (int index = 0; index < count; ++index) {
          ASSERT_EQ(runs[index], 1) << index;
          ASSERT_GE(workers[index], 0) << index;
        }
      }
    }
  }
}

TEST(ThreadPool, RethrowsTheLowestThrowingIndexAndStaysUsable) {
  for (const int size : {1, 2, 4, 8}) {
    quill::ThreadPool pool(size);
    for (int round = 0; round < 20; ++round) {
      SCOPED_TRACE("size " + std::to_string(size) + ", round " + std::to_string(round));
      // Indexes 37, 38 and 900 throw, whatever the thread count: 37 wins,
      // and every index below it has run exactly once.
      std::vector<std::atomic<int>> runs(1000);
      try {
        pool.ForEach(1000, [&](int, int index) {
          runs[index].fetch_add(1);
          Busy(index);
          if (index == 37 || index == 38 || index == 900) {
            throw std::runtime_error(std::to_string(index));
          }
        });
        ADD_FAILURE() << "no exception";
      } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "37");
      }
      for (int index = 0; index < 1000; ++index) {
        ASSERT_TRUE(runs[index] == 1 || (index > 37 && runs[index] == 0)) << index;
      }
      // The next loop runs in full.
      std::atomic<int> calls{0};
      pool.ForEach(100, [&](int, int) { calls.fetch_add(1); });
      EXPECT_EQ(calls.load(), 100);
    }
    // A task calling ForEach on its own pool gets std::logic_error instead of
    // a deadlock, and it reaches the caller like any exception.
    EXPECT_THROW(pool.ForEach(2 * size, [&](int, int) { pool.ForEach(1, [](int, int) {}); }),
                 std::logic_error);
  }
  EXPECT_THROW(quill::ThreadPool(0), std::invalid_argument);
}

TEST(ThreadPool, SizeOneRunsInlineInIndexOrder) {
  quill::ThreadPool pool(1);
  const std::thread::id caller = std::this_thread::get_id();
  std::vector<int> order;
  pool.ForEach(5, [&](int worker, int index) {
    EXPECT_EQ(worker, 0);
    EXPECT_EQ(std::this_thread::get_id(), caller);
    order.push_back(index);
  });
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));
}

}  // namespace
