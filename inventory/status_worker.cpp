#include "inventory/status_worker.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

#include "inventory/status.h"

using Clock = std::chrono::steady_clock;

struct StatusWorker::Shared {
  std::atomic<bool> cancelled{false};
  Deliver deliver;
  BatchDelivered batchDelivered;
  std::vector<StatusJob> jobs;
  // The next job that a thread takes, and the threads still running.
  std::atomic<size_t> next{0};
  std::atomic<int> running{0};
  const Clock::time_point start = Clock::now();
  // The rest is guarded by the mutex.
  std::mutex mutex;
  // The results that no posted batch has taken yet.
  struct Result {
    int index;
    std::string command;
    StatusResult result;
  };
  std::vector<Result> waiting;
  // A batch is posted and not yet taken, and when the window took the last one.
  bool batchQueued = false;
  Clock::time_point lastTaken{};
  Timings timings;
  // The threads held back at the start wait for this, or for the cancel.
  bool startAll = false;
  std::condition_variable started;
};

namespace {

using Shared = StatusWorker::Shared;

// Posts the task that delivers the results waiting when it runs, and after them, when `end`, that
// every job is done; after the delay, when there is one.
void PostBatch(platform::Ui& ui, const std::shared_ptr<Shared>& shared, bool end,
               Clock::duration delay = Clock::duration::zero()) {
  delay = std::max(delay, Clock::duration::zero());
  auto task = [shared, end, due = Clock::now() + delay] {
    const Clock::time_point taken = Clock::now();
    std::vector<Shared::Result> batch;
    {
      std::lock_guard<std::mutex> lock(shared->mutex);
      batch.swap(shared->waiting);
      shared->batchQueued = false;
      shared->lastTaken = taken;
      // A delayed batch that the end has already taken counts for nothing.
      if (!batch.empty() || end) {
        shared->timings.queued += taken - due;
        ++shared->timings.batches;
      }
    }
    for (const Shared::Result& r : batch) {
      if (shared->cancelled) return;
      shared->deliver(r.index, r.command, r.result);
    }
    if (shared->cancelled) return;
    if (!batch.empty() && shared->batchDelivered) shared->batchDelivered();
    {
      std::lock_guard<std::mutex> lock(shared->mutex);
      shared->timings.delivering += Clock::now() - taken;
    }
    if (end) shared->deliver(-1, {}, StatusResult{});
  };
  if (delay != Clock::duration::zero())
    ui.PostAfter(std::chrono::ceil<std::chrono::milliseconds>(delay), std::move(task));
  else
    ui.Post(std::move(task));
}

// Keeps a result for the window's thread, and posts a batch when none is waiting in its queue, to
// be taken kBatchInterval after the last: a busy window takes many at once, the window's thread
// draws a few times a second rather than once for each check, and neither the checkers wait for
// it nor a result for a later check.
void Hand(platform::Ui& ui, const std::shared_ptr<Shared>& shared, int index, std::string command, StatusResult result,
          Clock::duration took) {
  bool post = false;
  Clock::duration delay{};
  {
    std::lock_guard<std::mutex> lock(shared->mutex);
    shared->waiting.push_back({index, std::move(command), std::move(result)});
    const Clock::time_point now = Clock::now();
    shared->timings.checking = now - shared->start;
    shared->timings.checkTime += took;
    if (!shared->batchQueued) {
      post = shared->batchQueued = true;
      delay = shared->lastTaken + kBatchInterval - now;
    }
  }
  if (!post) return;
  try {
    PostBatch(ui, shared, false, delay);
  } catch (...) {
    std::lock_guard<std::mutex> lock(shared->mutex);
    shared->batchQueued = false;
    throw;
  }
}

// Wakes the threads held back at the start, to look again whether they may go; taking the mutex
// means a thread between its look and its wait has reached the wait and hears the notice.
void WakeHeld(Shared& shared, bool startAll = false) {
  {
    std::lock_guard<std::mutex> lock(shared.mutex);
    if (startAll) shared.startAll = true;
  }
  shared.started.notify_all();
}

StatusResult Unchecked(const std::string& why) {
  StatusResult result;
  result.status = kStatusUnknown;
  result.reason = kCouldNotBeChecked + why;
  return result;
}

}  // namespace

StatusWorker::StatusWorker(platform::FileSystem& files, platform::System& system, platform::Ui& ui,
                           std::vector<StatusJob> jobs, Deliver deliver, const StartThread& start,
                           BatchDelivered batchDelivered, size_t startAtOnce)
    : shared_(std::make_shared<Shared>()) {
  shared_->deliver = std::move(deliver);
  shared_->batchDelivered = std::move(batchDelivered);
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
      const bool held = t >= std::max<size_t>(1, startAtOnce);
      std::function<void()> work = [&files, &system, &ui, shared = shared_, held] {
        // Nothing that raises here may leave the thread: that would end the program.
        try {
          if (held) {
            std::unique_lock<std::mutex> lock(shared->mutex);
            // Nor does it wait once the others have taken every entry.
            shared->started.wait(lock, [&] {
              return shared->startAll || shared->cancelled || shared->next >= shared->jobs.size();
            });
          }
          ScanChecker checker(files, system);
          for (size_t i; !shared->cancelled && (i = shared->next++) < shared->jobs.size();) {
            StatusJob& job = shared->jobs[i];
            StatusResult result;
            const Clock::time_point began = Clock::now();
            try {
              result = checker.Check(job.entry);
            } catch (const std::exception& error) {
              result = Unchecked(error.what());
            }
            // The job's copy of the entry is done with: its command goes with the result, and the
            // memory of its other texts to the results that follow.
            std::string command = std::move(job.entry.uninstallString);
            job.entry = Entry{};
            Hand(ui, shared, job.index, std::move(command), std::move(result), Clock::now() - began);
          }
        } catch (const std::exception&) {
          // Out of memory for the queue itself: the entries not yet told stay as they are.
        }
        // A thread still held back has nothing left to take.
        WakeHeld(*shared);
        // The last checker to finish hands over what waits and says that all are done, after every
        // result of the others.
        if (--shared->running == 0) {
          try {
            PostBatch(ui, shared, true);
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
        if (threads_.empty()) {
          std::lock_guard<std::mutex> lock(shared_->mutex);
          for (const StatusJob& job : shared_->jobs)
            shared_->waiting.push_back(
                {job.index, job.entry.uninstallString, Unchecked("no thread could be started (" + failure + ")")});
        }
        PostBatch(ui, shared_, true);
      }
    }
  }
}

StatusWorker::~StatusWorker() {
  Cancel();
  for (std::thread& thread : threads_)
    if (thread.joinable()) thread.join();
}

void StatusWorker::StartAll() { WakeHeld(*shared_, true); }

void StatusWorker::Cancel() {
  shared_->cancelled = true;
  WakeHeld(*shared_);
}

bool StatusWorker::Finished() const { return shared_->running == 0; }

StatusWorker::Timings StatusWorker::Timed() const {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  return shared_->timings;
}
