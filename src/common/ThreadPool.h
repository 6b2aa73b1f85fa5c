// Placeholder pool until the worker pool lands (same interface).
#pragma once

#include <functional>

namespace quill {

class ThreadPool {
 public:
  explicit ThreadPool(int threads) : threads_(threads) {}
  int Size() const { return threads_; }
  void ForEach(int count, const std::function<void(int worker, int index)>& task);

 private:
  int threads_;
};

}  // namespace quill
