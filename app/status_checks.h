#pragma once
// The status checks of a scan: on worker threads while the window shows the rows, each result
// brought to its entry and row on the window's thread, cancelled by the next scan.
#include <memory>
#include <string>
#include <vector>

#include "inventory/status.h"
#include "inventory/status_worker.h"

class MainWindow;

class StatusChecks {
 public:
  explicit StatusChecks(MainWindow& window) : window_(window) {}

  // Only the scan benchmark turns this off, to weigh the status checks against the rest of a scan.
  bool CheckEntryStatus = true;
  // The window lists every entry at once and checks their statuses on a worker thread, each row
  // showing the clock until its status is known; without a window (tests, scripts) the scan checks
  // every entry before it returns.
  bool CheckInBackground = false;

  // Counts the jobs as pending and starts the worker: one checker at once, the others from the
  // window's queue, after the window has shown the rows it has.
  void Start(std::vector<StatusJob> jobs);
  // Stops the running checks: no result of theirs reaches the lists afterwards.
  void Cancel();
  // A result of the worker for the command it checked, on the window's thread; entry -1: all are
  // checked. A result for a command that the entry no longer holds is dropped, and the command it
  // holds is checked instead.
  void Checked(int entry, const std::string& command, const StatusResult& result);
  // After a batch of results: the rows they changed are redrawn at once, and the line counts on.
  void Delivered();

  // How many listed entries still wait for their status.
  int Pending() const { return pending_ > 0 ? pending_ - done_ : 0; }
  bool Running() const { return pending_ > 0; }
  // Whether the checks of this scan have begun: a notice is then said with their progress.
  bool Begun() const { return pending_ > 0 || done_ > 0; }
  // "Checking 10 of 1,000", or what the checks found.
  std::string Progress() const;
  StatusWorker::Timings Timed() const;

 private:
  MainWindow& window_;
  int pending_ = 0;
  int done_ = 0;
  int broken_ = 0;
  int missing_ = 0;
  int unchecked_ = 0;
  // The rows whose status came in the batch of results being delivered.
  std::vector<int> rowsChecked_;
  // Tells a posted start of the checks whether it still belongs to the last scan and the window.
  int generation_ = 0;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
  // Last, so that their threads are stopped before anything they report to goes. A cancelled
  // worker is kept until its threads end, so that cancelling never waits for a check.
  std::unique_ptr<StatusWorker> worker_;
  std::vector<std::unique_ptr<StatusWorker>> retired_;
};
