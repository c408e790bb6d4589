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
    const auto post = [&](int entry, int status) {
      ui.Post([shared, entry, status] {
        if (!shared->cancelled) shared->deliver(entry, status);
      });
    };
    for (const StatusJob& job : jobs) {
      if (shared->cancelled) return;
      post(job.entry, checker.StatusOf(job.command, job.sixtyFourBit));
    }
    post(-1, 0);
  });
}

StatusWorker::~StatusWorker() {
  Cancel();
  if (thread_.joinable()) thread_.join();
}

void StatusWorker::Cancel() { shared_->cancelled = true; }
