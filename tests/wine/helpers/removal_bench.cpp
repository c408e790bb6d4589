// Times removals with the undo file flushed to the disk before each change, as the program does,
// and without the flushes, and prints the ratios:
//   removal_bench [rounds]
// The run without flushes uses a file system of this program's own whose FlushFile does nothing;
// the program itself has no way to leave the flushes out.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "backup/key_export.h"
#include "backup/undo_file.h"
#include "inventory/entry.h"
#include "platform/win32/win32_platform.h"
#include "tests/wine/undo_seeds.h"

namespace {

class NoFlushFiles : public platform::Win32FileSystem {
 public:
  bool FlushFile(platform::FileId, std::uint32_t* error) override {
    if (error) *error = 0;
    return true;
  }
};

double Milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

struct Scenario {
  const char* name;
  int values;
  int subkeys;
  size_t binary;
};

// Seeds the entry, removes it with its undo lines as Remove Entry does after its question, answers the
// milliseconds.
double TimeOneRemoval(platform::Win32Platform& real, platform::FileSystem& files, const Scenario& scenario) {
  const std::string entry = "TidewellRemovalBench";
  undo_seeds::DeleteTree(HKEY_LOCAL_MACHINE, undo_seeds::kUninstallPath + entry);
  if (!undo_seeds::SeedLargeEntry(HKEY_LOCAL_MACHINE, undo_seeds::kUninstallPath + entry, scenario.values,
                                  scenario.subkeys, scenario.binary)) {
    std::fprintf(stderr, "cannot seed the entry\n");
    std::exit(1);
  }
  UndoFile undo(files, real.system, BackupFolderOf(real.system.ExecutablePath()), "UndoRemovalBench");
  DeleteFileA(undo.FileName().c_str());
  LARGE_INTEGER begin, end;
  QueryPerformanceCounter(&begin);
  RemoveRegistryKey(undo, real.registry, KeyPlace{RegistryPlace{}, kUninstallKey + entry});
  undo.WriteReg("");
  QueryPerformanceCounter(&end);
  HKEY left = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, (undo_seeds::kUninstallPath + entry).c_str(), 0, KEY_READ, &left) ==
      ERROR_SUCCESS) {
    RegCloseKey(left);
    std::fprintf(stderr, "the entry was not removed\n");
    std::exit(1);
  }
  DeleteFileA(undo.FileName().c_str());
  return Milliseconds(begin, end);
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
  platform::Win32Platform real;
  NoFlushFiles noFlush;
  const Scenario scenarios[] = {
      {"50 values and 5 subkeys", 50, 5, 0},
      {"one 1 MB binary value", 0, 0, 1024 * 1024},
  };
  std::printf("%-26s %14s %14s %8s   (median of %d rounds, interleaved)\n", "removal of an entry with", "flushed ms",
              "not flushed ms", "ratio", rounds);
  for (const Scenario& scenario : scenarios) {
    std::vector<double> flushed, unflushed;
    TimeOneRemoval(real, real.files, scenario);  // warms the caches of both runs alike
    for (int round = 0; round < rounds; ++round) {
      flushed.push_back(TimeOneRemoval(real, real.files, scenario));
      unflushed.push_back(TimeOneRemoval(real, noFlush, scenario));
    }
    const double a = Median(flushed), b = Median(unflushed);
    std::printf("%-26s %14.2f %14.2f %8.2f\n", scenario.name, a, b, a / b);
  }
  return 0;
}
