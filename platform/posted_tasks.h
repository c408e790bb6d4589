#pragma once
// The tasks posted to a window's thread, to run at once or once their delay has passed, as the
// queues of both platforms keep them. Any thread may post; the window's thread takes them.
#include <algorithm>
#include <chrono>
#include <deque>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

namespace platform {

class PostedTasks {
 public:
  using Clock = std::chrono::steady_clock;

  void Post(std::function<void()> task) {
    std::lock_guard<std::mutex> lock(mutex_);
    now_.push_back(std::move(task));
  }
  void PostAfter(std::chrono::milliseconds delay, std::function<void()> task) {
    std::lock_guard<std::mutex> lock(mutex_);
    later_.emplace_back(Clock::now() + delay, std::move(task));
  }
  // The next task to run: the first posted to run at once; when none, the delayed one due first
  // once its time has come. Otherwise none, with `*wait` the time until the first delayed task is
  // due (zero when none waits).
  std::function<void()> Take(Clock::duration* wait = nullptr) {
    if (wait) *wait = Clock::duration::zero();
    std::lock_guard<std::mutex> lock(mutex_);
    if (!now_.empty()) {
      std::function<void()> task = std::move(now_.front());
      now_.pop_front();
      return task;
    }
    const auto first = std::min_element(later_.begin(), later_.end(),
                                        [](const auto& a, const auto& b) { return a.first < b.first; });
    if (first == later_.end()) return {};
    const Clock::duration left = first->first - Clock::now();
    if (left > Clock::duration::zero()) {
      if (wait) *wait = left;
      return {};
    }
    std::function<void()> task = std::move(first->second);
    later_.erase(first);
    return task;
  }

 private:
  std::mutex mutex_;
  std::deque<std::function<void()>> now_;
  std::vector<std::pair<Clock::time_point, std::function<void()>>> later_;
};

}  // namespace platform
