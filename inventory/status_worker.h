#pragma once
// The status checks of a scan on threads of their own, so that the window lists every entry at
// once and never waits for the disk.
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "inventory/entry.h"
#include "inventory/status.h"
#include "platform/file_system.h"
#include "platform/system.h"
#include "platform/ui.h"

struct StatusJob {
  int index;  // the caller's number for the entry
  Entry entry;
};

// The most threads that check statuses at once.
constexpr size_t kMostCheckThreads = 2;

// The least time between two batches of results taken by the window: it redraws the rows and the
// status line for each, and a thousand redraws a second would leave the checkers and the user
// less of the processors (measured on two: the last status 10-20% sooner than one batch per
// result).
constexpr std::chrono::milliseconds kBatchInterval{40};

// The reason given for an entry whose check raised: it has no status.
inline constexpr const char* kCouldNotBeChecked = "could not be checked: ";

class StatusWorker {
 public:
  // Called on the window's thread with each entry's status as it is known, with the command that
  // was checked (the entry's when its job was made), and once more with index -1 when every job is
  // done.
  using Deliver = std::function<void(int index, const std::string& command, const StatusResult& result)>;
  // Called on the window's thread after each batch of results has been delivered.
  using BatchDelivered = std::function<void()>;
  // Makes a thread that runs the work; may raise when the system has none to give.
  using StartThread = std::function<std::thread(std::function<void()> work)>;

  // Starts checking a snapshot of the commands at once, in their order, on as many threads as
  // could be made (up to one per processor, at most kMostCheckThreads); the results are posted to
  // the window's thread through `ui` in batches, one posted task at a time, taken at least
  // kBatchInterval apart: the results that come while a batch waits go with it, none waits for a
  // later check, and the last batch and the end are posted at once. A check that raises gives its
  // entry kStatusUnknown and a reason that begins with kCouldNotBeChecked; when no thread can be
  // made, every entry gets one. Only the first `startAtOnce` threads (at least one) begin at once;
  // the others wait for StartAll, so that a window still drawing its first rows shares the
  // processors with one checker only.
  StatusWorker(platform::FileSystem& files, platform::System& system, platform::Ui& ui, std::vector<StatusJob> jobs,
               Deliver deliver, const StartThread& start = {}, BatchDelivered batchDelivered = {},
               size_t startAtOnce = kMostCheckThreads);
  // Cancels and waits for the threads: no thread outlives its worker.
  ~StatusWorker();
  StatusWorker(const StatusWorker&) = delete;
  StatusWorker& operator=(const StatusWorker&) = delete;

  // The threads held back at the start begin too. Any thread.
  void StartAll();
  // No result is delivered once this has returned (on the window's thread), not even one already
  // posted; each thread stops after the check it is in. Never waits.
  void Cancel();
  // Every thread has ended: destroying the worker now waits for nothing.
  bool Finished() const;

  // Where the time went, for the scan benchmark: from the start until the last check ended, the
  // checks' own time summed over the threads, the batches posted, how long they waited in the
  // window's queue and how long the window took to take them in, all told. Read on the window's
  // thread once every result is delivered.
  struct Timings {
    std::chrono::steady_clock::duration checking{}, checkTime{}, queued{}, delivering{};
    int batches = 0;
  };
  Timings Timed() const;

  // What the threads share with the worker and the tasks they post.
  struct Shared;

 private:
  std::shared_ptr<Shared> shared_;
  std::vector<std::thread> threads_;
};
