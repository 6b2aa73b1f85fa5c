#include "common/ThreadPool.h"

#include <atomic>
#include <thread>
#include <vector>

namespace quill {

void ThreadPool::ForEach(int count, const std::function<void(int worker, int index)>& task) {
  std::atomic<int> next{0};
  auto work = [&](int worker) {
    for (int i = next++; i < count; i = next++)
      task(worker, i);
  };
  std::vector<std::thread> threads;
  for (int w = 1; w < threads_; ++w)
    threads.emplace_back(work, w);
  work(0);
  for (auto& t : threads)
    t.join();
}

}  // namespace quill
