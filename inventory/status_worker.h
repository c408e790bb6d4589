#pragma once
// The status checks of a scan on a thread of their own, so that the window lists every entry at
// once and never waits for the disk.
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

class StatusWorker {
 public:
  // Called on the window's thread with each entry's status as it is known, and once more with
  // index -1 when every job is done.
  using Deliver = std::function<void(int index, const StatusResult& result)>;

  // Starts checking a snapshot of the commands at once, in their order; each result is posted to
  // the window's thread through `ui`.
  StatusWorker(platform::FileSystem& files, platform::System& system, platform::Ui& ui, std::vector<StatusJob> jobs,
               Deliver deliver);
  // Cancels and waits for the thread: no thread outlives its worker.
  ~StatusWorker();
  StatusWorker(const StatusWorker&) = delete;
  StatusWorker& operator=(const StatusWorker&) = delete;

  // No result is delivered once this has returned (on the window's thread), not even one already
  // posted; the thread stops after the check it is in.
  void Cancel();

 private:
  struct Shared;
  std::shared_ptr<Shared> shared_;
  std::vector<std::thread> threads_;
};
