#include "inventory/status_worker.h"

#include <atomic>

#include "inventory/status.h"

struct StatusWorker::Shared {
  std::atomic<bool> cancelled{false};
  Deliver deliver;
};

StatusWorker::StatusWorker(platform::FileSystem& files, platform::System& system, platform::Ui& ui,
                           std::vector<StatusJob> jobs, Deliver deliver)
    : shared_(std::make_shared<Shared>()) {
  shared_->deliver = std::move(deliver);
  // The posted tasks hold the shared state, never the worker: a task that runs after the worker is
  // gone finds it cancelled and does nothing.
  thread_ = std::thread([&files, &system, &ui, jobs = std::move(jobs), shared = shared_] {
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
    post(-1, StatusResult{});
  });
}

StatusWorker::~StatusWorker() {
  Cancel();
  if (thread_.joinable()) thread_.join();
}

void StatusWorker::Cancel() { shared_->cancelled = true; }
