#pragma once
// The tasks of a window's queue that wait for their time, for the queues of both platforms; the
// queue that holds them guards them.
#include <algorithm>
#include <chrono>
#include <functional>
#include <utility>
#include <vector>

namespace platform {

class DelayedTasks {
 public:
  using Clock = std::chrono::steady_clock;

  void Add(std::chrono::milliseconds delay, std::function<void()> task) {
    tasks_.emplace_back(Clock::now() + delay, std::move(task));
  }
  // Takes out the task due first when its time has come; otherwise answers none, with `*wait` the
  // time until the first is due (zero when none waits).
  std::function<void()> TakeDue(Clock::duration* wait = nullptr) {
    if (wait) *wait = Clock::duration::zero();
    const auto first = std::min_element(tasks_.begin(), tasks_.end(),
                                        [](const auto& a, const auto& b) { return a.first < b.first; });
    if (first == tasks_.end()) return {};
    const Clock::duration left = first->first - Clock::now();
    if (left > Clock::duration::zero()) {
      if (wait) *wait = left;
      return {};
    }
    std::function<void()> task = std::move(first->second);
    tasks_.erase(first);
    return task;
  }

 private:
  std::vector<std::pair<Clock::time_point, std::function<void()>>> tasks_;
};

}  // namespace platform
