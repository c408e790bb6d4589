#include "inventory/status_worker.h"

#include <gtest/gtest.h>

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

TEST(StatusWorkerTest, DeliversEveryStatusOnTheWindowsThreadInOrder) {
  Disk disk;
  const std::thread::id window = std::this_thread::get_id();
  std::vector<std::thread::id> threads;
  StatusWorker worker(disk.p.files, disk.p.system, disk.p.ui, disk.jobs, [&](int entry, const StatusResult& result) {
    threads.push_back(std::this_thread::get_id());
    disk.Collect()(entry, result);
  });
  disk.RunUntilDone();
  ASSERT_TRUE(disk.done);
  ASSERT_EQ(disk.jobs.size(), disk.delivered.size());
  for (size_t i = 0; i < disk.jobs.size(); ++i) {
    EXPECT_EQ(disk.jobs[i].index, disk.delivered[i].first);
    const std::string& command = disk.jobs[i].entry.uninstallString;
    EXPECT_EQ(StatusOfCommand(disk.p.files, disk.p.system, command, false), disk.delivered[i].second) << command;
  }
  for (const std::thread::id& id : threads) EXPECT_EQ(window, id);
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
