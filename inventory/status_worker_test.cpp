#include "inventory/status_worker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "inventory/status.h"
#include "platform/memory/memory_platform.h"

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
    return [this](int entry, const StatusResult& result) {
      if (entry < 0) done = true;
      else delivered.push_back({entry, result.status});
    };
  }
};

TEST(StatusWorkerTest, DeliversEveryStatusOnceOnTheWindowsThreadAndTheEndAfterThem) {
  Disk disk;
  const std::thread::id window = std::this_thread::get_id();
  std::vector<std::thread::id> threads;
  StatusWorker worker(disk.p.files, disk.p.system, disk.p.ui, disk.jobs, [&](int entry, const StatusResult& result) {
    threads.push_back(std::this_thread::get_id());
    disk.Collect()(entry, result);
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
  StatusWorker worker(p.files, p.system, p.ui, jobs, [&](int entry, const StatusResult& result) {
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

}  // namespace
