// CheckUninstall over the uninstall strings that each kind of installer writes, against an
// in-memory file system: time per entry and file-system queries per entry, with the finder
// remembering answers within a search ("memo") and without it ("no_memo").
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "app/form1.h"
#include "platform/memory/memory_platform.h"
#include "tests/support/uninstall_corpus.h"

namespace {

using corpus::Entries;
using corpus::Entry;
using corpus::World;

void CheckOne(benchmark::State& state, const Entry& entry, bool memo) {
  World world(entry.files);
  world.form.RememberFinderAnswers = memo;
  world.mp.files.ResetCalls();
  for (auto _ : state) {
    world.form.CheckUninstall(entry.uninstall, world.row);
    benchmark::DoNotOptimize(world.form.ListView1.Item(world.row).ImageIndex);
  }
  state.counters["queries"] =
      benchmark::Counter(world.mp.files.Calls().Queries(), benchmark::Counter::kAvgIterations);
  state.counters["icon"] = world.form.ListView1.Item(world.row).ImageIndex;
}

// Every entry once per iteration: the figures per entry of a scan of this mix.
void CheckAll(benchmark::State& state, bool memo) {
  std::vector<std::string> files;
  for (const Entry& e : Entries()) files.insert(files.end(), e.files.begin(), e.files.end());
  World world(files);
  world.form.RememberFinderAnswers = memo;
  world.mp.files.ResetCalls();
  for (auto _ : state) {
    for (const Entry& e : Entries()) world.form.CheckUninstall(e.uninstall, world.row);
  }
  const double entries = static_cast<double>(state.iterations()) * Entries().size();
  state.counters["queries_per_entry"] = world.mp.files.Calls().Queries() / entries;
  state.counters["entries"] = benchmark::Counter(entries, benchmark::Counter::kIsRate);
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
