#include "inventory/status_worker.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <thread>

#include "inventory/status.h"

struct StatusWorker::Shared {
  std::atomic<bool> cancelled{false};
  Deliver deliver;
  std::vector<StatusJob> jobs;
  // The next job that a thread takes, and the threads still running.
  std::atomic<size_t> next{0};
  std::atomic<int> running{0};
};

namespace {

void Post(platform::Ui& ui, const std::shared_ptr<StatusWorker::Shared>& shared, int index, std::string command,
          StatusResult result) {
  ui.Post([shared, index, command = std::move(command), result = std::move(result)] {
    if (!shared->cancelled) shared->deliver(index, command, result);
  });
}

StatusResult Unchecked(const std::string& why) {
  StatusResult result;
  result.status = kStatusUnknown;
  result.reason = kCouldNotBeChecked + why;
  return result;
}

}  // namespace

StatusWorker::StatusWorker(platform::FileSystem& files, platform::System& system, platform::Ui& ui,
                           std::vector<StatusJob> jobs, Deliver deliver, const StartThread& start)
    : shared_(std::make_shared<Shared>()) {
  shared_->deliver = std::move(deliver);
  shared_->jobs = std::move(jobs);
  // The checks of different entries are independent: one checker per processor, at most two
  // (measured on two processors: the last status 15-22% sooner than with one; each checker keeps
  // its own answers, so a few questions are asked twice). The threads take the entries in turn,
  // so that those that could be made check them all.
  const size_t count = std::max<size_t>(1, std::min<size_t>(kMostCheckThreads, std::thread::hardware_concurrency()));
  shared_->running = static_cast<int>(count);
  threads_.reserve(count);
  for (size_t t = 0; t < count; ++t) {
    try {
      std::function<void()> work = [&files, &system, &ui, shared = shared_] {
        // Nothing that raises here may leave the thread: that would end the program.
        try {
          ScanChecker checker(files, system);
          for (size_t i; !shared->cancelled && (i = shared->next++) < shared->jobs.size();) {
            const StatusJob& job = shared->jobs[i];
            StatusResult result;
            try {
              result = checker.Check(job.entry);
            } catch (const std::exception& error) {
              result = Unchecked(error.what());
            }
            Post(ui, shared, job.index, job.entry.uninstallString, std::move(result));
          }
        } catch (const std::exception&) {
          // Out of memory for the queue itself: the entries not yet told stay as they are.
        }
        // The last checker to finish says that all are done, after every result of the others.
        if (--shared->running == 0) {
          try {
            Post(ui, shared, -1, {}, StatusResult{});
          } catch (const std::exception&) {
          }
        }
      };
      threads_.push_back(start ? start(std::move(work)) : std::thread(std::move(work)));
    } catch (const std::exception& error) {
      // This thread was never made: it is not waited for.
      const std::string failure = error.what();
      // The threads that were made take every entry; when none was, each is said to be unchecked.
      if (--shared_->running == 0) {
        if (threads_.empty())
          for (const StatusJob& job : shared_->jobs)
            Post(ui, shared_, job.index, job.entry.uninstallString,
                 Unchecked("no thread could be started (" + failure + ")"));
        Post(ui, shared_, -1, {}, StatusResult{});
      }
    }
  }
}

StatusWorker::~StatusWorker() {
  Cancel();
  for (std::thread& thread : threads_)
    if (thread.joinable()) thread.join();
}

void StatusWorker::Cancel() { shared_->cancelled = true; }

bool StatusWorker::Finished() const { return shared_->running == 0; }
