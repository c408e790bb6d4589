// CheckUninstall over the uninstall strings that each kind of installer writes, against an
// in-memory file system: time per entry and file-system queries per entry, with the finder
// remembering answers within a search ("memo") and without it ("no_memo").
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "platform/memory/memory_platform.h"
#include "tests/support/reference_status.h"
#include "tests/support/uninstall_corpus.h"

namespace {

using corpus::Entries;
using corpus::Entry;
using corpus::World;

void CheckOne(benchmark::State& state, const Entry& entry, bool memo) {
  World world(entry.files);
  world.mp.files.ResetCalls();
  int icon = -1;
  for (auto _ : state) {
    icon = world.Check(entry.uninstall, memo);
    benchmark::DoNotOptimize(icon);
  }
  state.counters["queries"] =
      benchmark::Counter(world.mp.files.Calls().Queries(), benchmark::Counter::kAvgIterations);
  state.counters["icon"] = icon;
}

// Every entry once per iteration: the figures per entry of a scan of this mix.
void CheckAll(benchmark::State& state, bool memo) {
  std::vector<std::string> files;
  for (const Entry& e : Entries()) files.insert(files.end(), e.files.begin(), e.files.end());
  World world(files);
  world.mp.files.ResetCalls();
  for (auto _ : state) {
    for (const Entry& e : Entries()) benchmark::DoNotOptimize(world.Check(e.uninstall, memo));
  }
  const double entries = static_cast<double>(state.iterations()) * Entries().size();
  state.counters["queries_per_entry"] = world.mp.files.Calls().Queries() / entries;
  state.counters["entries"] = benchmark::Counter(entries, benchmark::Counter::kIsRate);
}

// Every entry once per iteration, the whole mix as one scan sharing its answers: what a scan of
// the window asks of the disk per entry.
void CheckAllAsOneScan(benchmark::State& state) {
  std::vector<std::string> files;
  for (const Entry& e : Entries()) files.insert(files.end(), e.files.begin(), e.files.end());
  World world(files);
  world.mp.files.ResetCalls();
  for (auto _ : state) {
    ScanChecker checker(world.mp.files, world.mp.system);
    for (const Entry& e : Entries()) benchmark::DoNotOptimize(checker.StatusOf(e.uninstall, false));
  }
  const double entries = static_cast<double>(state.iterations()) * Entries().size();
  state.counters["queries_per_entry"] = world.mp.files.Calls().Queries() / entries;
  state.counters["entries"] = benchmark::Counter(entries, benchmark::Counter::kIsRate);
}

// A machine of 1,000 entries of every style: the file-system queries per entry of a scan that
// remembers answers within each search only (as the window did) and of one that shares them for
// the whole scan and skips the pieces whose answer changes nothing, side by side; and the whole
// scan again with each entry's line of reason, as the window's scan asks for it.
enum class Scan { kPerSearchMemo, kScanMemo, kScanMemoWithReasons };

void ScanMachine(benchmark::State& state, Scan scan) {
  const std::vector<Entry> machine = corpus::Machine(1000);
  std::vector<std::string> files;
  for (const Entry& e : machine) files.insert(files.end(), e.files.begin(), e.files.end());
  World world(files);
  world.mp.files.ResetCalls();
  for (auto _ : state) {
    if (scan == Scan::kPerSearchMemo) {
      Finder finder(world.mp.files, world.mp.system);
      for (const Entry& e : machine)
        benchmark::DoNotOptimize(reference::PerCallMemoStatus(world.mp.files, finder, e.uninstall));
    } else if (scan == Scan::kScanMemo) {
      ScanChecker checker(world.mp.files, world.mp.system);
      for (const Entry& e : machine) benchmark::DoNotOptimize(checker.StatusOf(e.uninstall, false));
    } else {
      ScanChecker checker(world.mp.files, world.mp.system);
      for (const Entry& e : machine) benchmark::DoNotOptimize(checker.CheckCommand(e.uninstall, false));
    }
  }
  const double entries = static_cast<double>(state.iterations()) * machine.size();
  state.counters["queries_per_entry"] = world.mp.files.Calls().Queries() / entries;
}

// Megabyte strings of the shapes that cost the most: the queries of one check, and its time.
void CheckWorst(benchmark::State& state, const std::string& unit, const std::string& head) {
  std::string text = head;
  while (text.size() < (1u << 20)) text += unit;
  World world({"C:\\App\\u.exe"});
  world.mp.files.ResetCalls();
  for (auto _ : state) benchmark::DoNotOptimize(world.Check(text));
  state.counters["queries"] = benchmark::Counter(world.mp.files.Calls().Queries(), benchmark::Counter::kAvgIterations);
}

void Register() {
  for (const Entry& e : Entries()) {
    for (bool memo : {false, true}) {
      benchmark::RegisterBenchmark((std::string("CheckUninstall/") + e.style + (memo ? "/memo" : "/no_memo")).c_str(),
                                   [&e, memo](benchmark::State& s) { CheckOne(s, e, memo); });
    }
  }
  benchmark::RegisterBenchmark("CheckUninstall/all/no_memo", [](benchmark::State& s) { CheckAll(s, false); });
  benchmark::RegisterBenchmark("CheckUninstall/all/memo", [](benchmark::State& s) { CheckAll(s, true); });
  benchmark::RegisterBenchmark("CheckUninstall/all/scan_memo", CheckAllAsOneScan);
  const struct {
    const char* name;
    Scan scan;
  } scans[] = {{"per_search_memo", Scan::kPerSearchMemo},
               {"scan_memo", Scan::kScanMemo},
               {"scan_memo_reasons", Scan::kScanMemoWithReasons}};
  for (const auto& s : scans) {
    benchmark::RegisterBenchmark((std::string("Machine1000/") + s.name).c_str(),
                                 [scan = s.scan](benchmark::State& state) { ScanMachine(state, scan); })
        ->Unit(benchmark::kMillisecond);
  }
  const struct {
    const char* name;
    const char* unit;
    const char* head;
  } worst[] = {
      {"drive_roots", "C:\\", ""},
      {"drive_pieces", "C:\\x", ""},
      {"repeated_command", "C:\\App\\u.exe ", "C:\\App\\u.exe "},
      {"marks", ",.-;\\'(.!@ 1", "C:\\App\\u.exe "},
      {"folders", "x.y\\", "C:\\App\\"},
      {"blanks", "ab ", ""},
      {"launchers", "rundll32 ", ""},
  };
  for (const auto& w : worst) {
    benchmark::RegisterBenchmark((std::string("Worst/") + w.name).c_str(),
                                 [w](benchmark::State& s) { CheckWorst(s, w.unit, w.head); })
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
  }
}

}  // namespace

int main(int argc, char** argv) {
  Register();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
