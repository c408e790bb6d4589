// Removing an entry of 800 values into a day's undo file that already holds 0, 1 or 20 MB: the
// removal writes and flushes each value before it deletes it, and should cost what it writes,
// whatever the size of the day's file.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "backup/entry_commands.h"
#include "backup/undo_file.h"
#include "platform/memory/memory_platform.h"

namespace {

constexpr const char* kEntry = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Big";
constexpr int kValues = 800;

struct Day {
  explicit Day(std::int64_t megabytes) {
    for (int i = 0; i < kValues; ++i)
      p.registry.SetString(platform::kHkeyLocalMachine, kEntry, "Value " + std::to_string(i), "text of value " + std::to_string(i));
    std::string lines = "REGEDIT4\r\n\r\n";
    const std::string line = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Earlier]\r\n\"Name\"=\"an earlier removal's line\"\r\n\r\n";
    while (static_cast<std::int64_t>(lines.size()) < megabytes * (1 << 20)) lines += line;
    p.files.AddFile(undo.FileName(), lines);
  }
  platform::MemoryPlatform p;
  UndoFile undo{p.files, p.system, BackupFolderOf(p.system.ExecutablePath()), UndoStemOf(p.system.Today())};
};

void RemoveIntoDaysFile(benchmark::State& state) {
  std::unique_ptr<Day> day;
  for (auto _ : state) {
    state.PauseTiming();
    day.reset();
    day = std::make_unique<Day>(state.range(0));
    Entry entry;
    entry.keyName = "Big";
    state.ResumeTiming();
    const RemovalOutcome outcome = RemoveEntryKey(day->undo, day->p.registry, entry, false);
    benchmark::DoNotOptimize(outcome.keysLeft);
  }
  state.counters["read_MB"] = static_cast<double>(day->p.files.Calls().bytesRead) / (1 << 20);
}

}  // namespace

BENCHMARK(RemoveIntoDaysFile)->ArgName("day_MB")->Arg(0)->Arg(1)->Arg(20)->Unit(benchmark::kMillisecond)->Iterations(3);

BENCHMARK_MAIN();
