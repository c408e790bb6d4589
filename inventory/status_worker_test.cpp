#include "inventory/status_worker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <set>
#include <chrono>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "inventory/status.h"
#include "platform/memory/memory_platform.h"
#include "tests/support/stopping_files.h"

namespace {

using platform::MemoryPlatform;

struct Disk {
  Disk() {
    p.files.AddFile("C:\\App\\uninst.exe");
    p.files.AddDrive('D', platform::kDriveCdrom);
    for (int i = 0; i < 300; ++i) {
      Entry entry;
      entry.uninstallString = i % 3 == 0   ? "\"C:\\App\\uninst.exe\" /S"
                              : i % 3 == 1 ? "C:\\Gone " + std::to_string(i) + "\\uninst.exe"
                                           : "D:\\SETUP.EXE";
      jobs.push_back({i, entry});
    }
  }
  // Runs what the worker posted until the end is delivered (or a minute has passed).
  void RunUntilDone() {
    const auto until = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (!done && std::chrono::steady_clock::now() < until) {
      if (p.ui.RunPosted() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  MemoryPlatform p;
  std::vector<StatusJob> jobs;
  std::vector<std::pair<int, int>> delivered;
  bool done = false;
  StatusWorker::Deliver Collect() {
    return [this](int entry, const std::string&, const StatusResult& result) {
      if (entry < 0) done = true;
      else delivered.push_back({entry, result.status});
    };
  }
};

TEST(StatusWorkerTest, DeliversEveryStatusOnceOnTheWindowsThreadAndTheEndAfterThem) {
  Disk disk;
  const std::thread::id window = std::this_thread::get_id();
  std::vector<std::thread::id> threads;
  StatusWorker worker(disk.p.files, disk.p.system, disk.p.ui, disk.jobs,
                      [&](int entry, const std::string& command, const StatusResult& result) {
                        threads.push_back(std::this_thread::get_id());
                        // Each result names the command it is about.
                        if (entry >= 0) {
                          EXPECT_EQ(disk.jobs.at(static_cast<size_t>(entry)).entry.uninstallString, command);
                        }
                        disk.Collect()(entry, command, result);
                      });
  disk.RunUntilDone();
  ASSERT_TRUE(disk.done);
  // The checkers share the entries out, so their results come in any order; the end comes after
  // all of them (the collecting stops there).
  ASSERT_EQ(disk.jobs.size(), disk.delivered.size());
  std::sort(disk.delivered.begin(), disk.delivered.end());
  for (size_t i = 0; i < disk.jobs.size(); ++i) {
    EXPECT_EQ(disk.jobs[i].index, disk.delivered[i].first);
    const std::string& command = disk.jobs[i].entry.uninstallString;
    EXPECT_EQ(StatusOfCommand(disk.p.files, disk.p.system, command, false), disk.delivered[i].second) << command;
  }
  for (const std::thread::id& id : threads) EXPECT_EQ(window, id);
}

// A window's thread that is busy while the checks run finds their results in a few posted tasks,
// not one per result: a task stays queued until it runs and takes every result known by then, and
// each batch is followed by one call to redraw its rows, the end after the last.
TEST(StatusWorkerTest, AWindowThatIsBusyTakesTheResultsInAFewBatches) {
  Disk disk;
  std::vector<std::string> calls;
  StatusWorker worker(
      disk.p.files, disk.p.system, disk.p.ui, disk.jobs,
      [&](int entry, const std::string& command, const StatusResult& result) {
        calls.push_back(entry < 0 ? "end" : "result");
        disk.Collect()(entry, command, result);
      },
      {}, [&] { calls.push_back("batch"); });
  for (int i = 0; i < 60000 && !worker.Finished(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_TRUE(worker.Finished());
  const int tasks = disk.p.ui.RunPosted();
  EXPECT_LE(tasks, 2) << "one batch posted while none was queued, and the end";
  ASSERT_TRUE(disk.done);
  EXPECT_EQ(disk.jobs.size(), disk.delivered.size());
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ("end", calls.back());
  EXPECT_EQ("batch", calls[calls.size() - 2]) << "the last results are redrawn before the end is told";
  EXPECT_LE(std::count(calls.begin(), calls.end(), "batch"), 2);
}

// A window that is idle while slow checks run (each question to the disk takes a millisecond) takes
// their results a batch at a time, kBatchInterval apart, not one batch per result; the last
// results come with the end, at once.
TEST(StatusWorkerTest, AnIdleWindowTakesABatchAtMostOnceAnInterval) {
  Disk disk;
  class SlowFiles : public StoppingFiles {
   public:
    using StoppingFiles::StoppingFiles;
    std::uint32_t Attributes(const std::string& path) override {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      return StoppingFiles::Attributes(path);
    }
    platform::FindId FindFirst(const std::string& pattern, platform::FindData* data) override {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      return StoppingFiles::FindFirst(pattern, data);
    }
  } files(disk.p.files);
  using Clock = std::chrono::steady_clock;
  // When each batch began: its first result.
  std::vector<Clock::time_point> batches;
  bool fresh = true;
  const Clock::time_point start = Clock::now();
  StatusWorker worker(
      files, disk.p.system, disk.p.ui, disk.jobs,
      [&](int entry, const std::string& command, const StatusResult& result) {
        if (fresh && entry >= 0) batches.push_back(Clock::now());
        fresh = false;
        disk.Collect()(entry, command, result);
      },
      {}, [&] { fresh = true; });
  disk.RunUntilDone();
  const Clock::duration took = Clock::now() - start;
  ASSERT_TRUE(disk.done);
  EXPECT_EQ(disk.jobs.size(), disk.delivered.size());
  ASSERT_GE(batches.size(), 2u) << "the checks take long enough for more than one batch";
  EXPECT_LE(batches.size(), static_cast<size_t>(took / kBatchInterval) + 2);
  // The last batch goes with the end, as soon as the last check ends.
  for (size_t i = 1; i + 1 < batches.size(); ++i)
    EXPECT_GE(batches[i] - batches[i - 1], kBatchInterval - std::chrono::milliseconds(2)) << "batch " << i;
}

// On 64-bit Windows the checkers of a 64-bit program's entry turn the file-system redirection off
// for their own thread only: the 32-bit entries checked at the same moment still see the 32-bit
// System folder.
TEST(StatusWorkerTest, EachCheckerTurnsTheRedirectionOffForItselfOnly) {
  MemoryPlatform p;
  p.SetWow64();
  const std::string system = p.system.systemDirectory;
  p.files.AddFile(system + "\\Only64\\remove.exe");
  std::vector<StatusJob> jobs;
  for (int i = 0; i < 400; ++i) {
    Entry entry;
    entry.source = i % 2 == 0 ? Source::kMachine64 : Source::kMachine32;
    entry.uninstallString = system + "\\Only64\\remove.exe /uninstall " + std::to_string(i);
    jobs.push_back({i, entry});
  }
  ASSERT_EQ(kGoodLink, StatusOfCommand(p.files, p.system, jobs[0].entry.uninstallString, true));
  ASSERT_EQ(kBrokenLink, StatusOfCommand(p.files, p.system, jobs[1].entry.uninstallString, false));
  std::vector<std::pair<int, int>> delivered;
  bool done = false;
  StatusWorker worker(p.files, p.system, p.ui, jobs, [&](int entry, const std::string&, const StatusResult& result) {
    if (entry < 0) done = true;
    else delivered.push_back({entry, result.status});
  });
  const auto until = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  while (!done && std::chrono::steady_clock::now() < until)
    if (p.ui.RunPosted() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_EQ(jobs.size(), delivered.size());
  for (const auto& [entry, status] : delivered)
    EXPECT_EQ(entry % 2 == 0 ? kGoodLink : kBrokenLink, status) << "entry " << entry;
}

TEST(StatusWorkerTest, NothingLandsAfterACancelOrOnceTheWorkerIsGone) {
  for (bool destroy : {false, true}) {
    SCOPED_TRACE(destroy ? "worker destroyed" : "worker cancelled");
    Disk disk;
    {
      StatusWorker worker(disk.p.files, disk.p.system, disk.p.ui, disk.jobs, disk.Collect());
      // Let some results be posted, then cancel before the window's thread runs them.
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      if (!destroy) {
        worker.Cancel();
        disk.p.ui.RunPosted();
        EXPECT_TRUE(disk.delivered.empty());
      }
    }
    disk.p.ui.RunPosted();
    EXPECT_TRUE(disk.delivered.empty());
    EXPECT_FALSE(disk.done);
  }
}

// A worker that starts one checker at once holds the others back until StartAll: until then one
// thread asks the disk, and when StartAll never comes that one checks every entry and the end is
// still told. Neither a StartAll nor the worker's end finds a held thread stuck.
TEST(StatusWorkerTest, CheckersHeldBackWaitForStartAllAndNeverHoldUpTheEnd) {
  class ThreadsAsking : public StoppingFiles {
   public:
    using StoppingFiles::StoppingFiles;
    platform::FindId FindFirst(const std::string& pattern, platform::FindData* data) override {
      Note();
      return StoppingFiles::FindFirst(pattern, data);
    }
    std::uint32_t Attributes(const std::string& path) override {
      Note();
      return StoppingFiles::Attributes(path);
    }
    size_t Threads() {
      std::lock_guard<std::mutex> lock(mutex_);
      return threads_.size();
    }

   private:
    void Note() {
      std::lock_guard<std::mutex> lock(mutex_);
      threads_.insert(std::this_thread::get_id());
    }
    std::mutex mutex_;
    std::set<std::thread::id> threads_;
  };
  enum class Then { kNothing, kStartAll, kEnd };
  for (Then then : {Then::kNothing, Then::kStartAll, Then::kEnd}) {
    SCOPED_TRACE(static_cast<int>(then));
    Disk disk;
    ThreadsAsking files(disk.p.files);
    {
      StatusWorker worker(files, disk.p.system, disk.p.ui, disk.jobs, disk.Collect(), {}, {}, 1);
      if (then == Then::kEnd) continue;
      if (then == Then::kStartAll) worker.StartAll();
      disk.RunUntilDone();
    }
    ASSERT_TRUE(disk.done);
    EXPECT_EQ(disk.jobs.size(), disk.delivered.size());
    if (then == Then::kNothing) {
      EXPECT_EQ(1u, files.Threads());
    }
  }
}

// The disk of Disk, where any question about a path that holds "Throw" raises, as running out of
// memory on a multi-megabyte command would.
class RaisingFiles : public StoppingFiles {
 public:
  using StoppingFiles::StoppingFiles;
  platform::FindId FindFirst(const std::string& pattern, platform::FindData* data) override {
    Raise(pattern);
    return StoppingFiles::FindFirst(pattern, data);
  }
  std::uint32_t Attributes(const std::string& path) override {
    Raise(path);
    return StoppingFiles::Attributes(path);
  }

 private:
  static void Raise(const std::string& path) {
    if (path.find("Throw") != std::string::npos) throw std::runtime_error("out of memory");
  }
};

// A check that raises leaves its entry without a status, with a reason; the other entries are
// checked. Threads that cannot be made leave the work to those that could; with none, every entry
// is said to be unchecked. The end is told in every case, and nothing ends the program.
TEST(StatusWorkerTest, ACheckThatRaisesOrAThreadThatCannotBeMadeLeavesTheRestChecked) {
  const struct {
    const char* what;
    int threadsMade;  // of the two asked for; -1: as many as the system gives
  } cases[] = {{"every thread made", -1}, {"the second thread cannot be made", 1}, {"no thread can be made", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Disk disk;
    disk.jobs[7].entry.uninstallString = "C:\\Throw\\uninst.exe";
    // A folder that is there, so that the check asks about it rather than answering from C:\'s listing.
    disk.p.files.AddFolder("C:\\Throw");
    RaisingFiles files(disk.p.files);
    int asked = 0;
    const StatusWorker::StartThread start = [&](std::function<void()> work) {
      if (c.threadsMade >= 0 && asked++ >= c.threadsMade)
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
      return std::thread(std::move(work));
    };
    std::map<int, StatusResult> results;
    {
      StatusWorker worker(files, disk.p.system, disk.p.ui, disk.jobs,
                          [&](int entry, const std::string&, const StatusResult& result) {
                            if (entry < 0) disk.done = true;
                            else results[entry] = result;
                          },
                          start);
      disk.RunUntilDone();
      EXPECT_TRUE(worker.Finished());
    }
    ASSERT_TRUE(disk.done);
    ASSERT_EQ(disk.jobs.size(), results.size());
    for (const auto& [entry, result] : results) {
      const bool unchecked = c.threadsMade == 0 || entry == 7;
      EXPECT_EQ(unchecked ? kStatusUnknown : StatusOfCommand(disk.p.files, disk.p.system,
                                                               disk.jobs[static_cast<size_t>(entry)].entry.uninstallString, false),
                result.status)
          << entry;
      EXPECT_EQ(unchecked, result.reason.rfind(kCouldNotBeChecked, 0) == 0) << entry << ": " << result.reason;
    }
    EXPECT_NE(std::string::npos, results[7].reason.find(c.threadsMade == 0 ? "no thread could be started" : "out of memory"));
  }
}

// Cancelling never waits for the check in progress: a check that takes long (a network drive that
// does not answer) keeps its thread, not the window.
TEST(StatusWorkerTest, CancellingDoesNotWaitForTheCheckInProgress) {
  Disk disk;
  std::atomic<bool> release{false};
  class SlowFiles : public StoppingFiles {
   public:
    SlowFiles(platform::FileSystem& inner, std::atomic<bool>& release) : StoppingFiles(inner), release_(release) {}
    std::uint32_t Attributes(const std::string& path) override {
      while (!release_) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      return StoppingFiles::Attributes(path);
    }
    platform::FindId FindFirst(const std::string& pattern, platform::FindData* data) override {
      while (!release_) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      return StoppingFiles::FindFirst(pattern, data);
    }

   private:
    std::atomic<bool>& release_;
  } files(disk.p.files, release);
  StatusWorker worker(files, disk.p.system, disk.p.ui, disk.jobs, disk.Collect());
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const auto before = std::chrono::steady_clock::now();
  worker.Cancel();
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(100));
  EXPECT_FALSE(worker.Finished()) << "the check in progress goes on";
  release = true;
  for (int i = 0; i < 5000 && !worker.Finished(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_TRUE(worker.Finished()) << "and then the thread ends, without taking another entry";
  disk.p.ui.RunPosted();
  EXPECT_TRUE(disk.delivered.empty());
}

}  // namespace
