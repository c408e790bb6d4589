// CheckUninstall over the uninstall strings that each kind of installer writes, against an
// in-memory file system: time per entry and file-system queries per entry, with the finder
// remembering answers within a search ("memo") and without it ("no_memo").
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "app/form1.h"
#include "platform/memory/memory_platform.h"

namespace {

struct Entry {
  const char* style;
  std::string uninstall;
  std::vector<std::string> files;  // present on the disk; none: the program is gone
};

const std::string kGuid = "{8E5B5B5F-1B2C-4E3D-9F00-0123456789AB}";

const std::vector<Entry>& Entries() {
  static const std::vector<Entry> entries = {
      {"nsis_quoted", "\"C:\\Program Files\\Acme Editor\\uninst.exe\"",
       {"C:\\Program Files\\Acme Editor\\uninst.exe"}},
      {"nsis_gone", "\"C:\\Program Files\\Acme Editor 2.1\\uninst.exe\" /S", {}},
      {"inno", "\"C:\\Program Files\\Acme Tools\\unins000.exe\"", {"C:\\Program Files\\Acme Tools\\unins000.exe"}},
      {"inno_gone", "\"C:\\Program Files\\Acme Tools\\unins000.exe\"", {}},
      {"msi", "MsiExec.exe /X" + kGuid, {}},
      {"installshield",
       "RunDll32 C:\\PROGRA~1\\COMMON~1\\INSTAL~1\\PROFES~1\\RunTime\\11\\50\\Intel32\\Ctor.dll,LaunchSetup "
       "\"C:\\Program Files\\InstallShield Installation Information\\" + kGuid + "\\setup.exe\" -l0x9 -removeonly",
       {"C:\\Program Files\\Common Files\\InstallShield\\Professional\\RunTime\\11\\50\\Intel32\\Ctor.dll",
        "C:\\Program Files\\InstallShield Installation Information\\" + kGuid + "\\setup.exe"}},
      {"installshield_gone",
       "RunDll32 C:\\PROGRA~1\\COMMON~1\\INSTAL~1\\PROFES~1\\RunTime\\11\\50\\Intel32\\Ctor.dll,LaunchSetup "
       "\"C:\\Program Files\\InstallShield Installation Information\\" + kGuid + "\\setup.exe\" -l0x9 -removeonly",
       {}},
      {"installshield_legacy", "C:\\WINDOWS\\IsUn0409.exe -f\"C:\\Program Files\\Acme\\Uninst.isu\"",
       {"C:\\WINDOWS\\IsUn0409.exe", "C:\\Program Files\\Acme\\Uninst.isu"}},
      {"wise", "C:\\WINDOWS\\UNWISE.EXE C:\\Program Files\\Acme Viewer 3.0\\INSTALL.LOG",
       {"C:\\WINDOWS\\UNWISE.EXE", "C:\\Program Files\\Acme Viewer 3.0\\INSTALL.LOG"}},
      {"wise_gone", "C:\\WINDOWS\\UNWISE.EXE C:\\Program Files\\Acme Viewer 3.0\\INSTALL.LOG",
       {"C:\\WINDOWS\\UNWISE.EXE"}},
      {"burn_bundle", "\"C:\\ProgramData\\Package Cache\\" + kGuid + "\\AcmeSetup.exe\" /uninstall /quiet",
       {"C:\\ProgramData\\Package Cache\\" + kGuid + "\\AcmeSetup.exe"}},
      {"inf", "RunDll32 advpack.dll,LaunchINFSection C:\\WINDOWS\\INF\\acme.inf,DefaultUninstall",
       {"C:\\WINDOWS\\INF\\acme.inf"}},
      {"setupapi", "rundll32.exe setupapi.dll,InstallHinfSection DefaultUninstall 132 C:\\WINDOWS\\INF\\acme.inf",
       {"C:\\WINDOWS\\INF\\acme.inf"}},
      {"squirrel", "\"C:\\Documents and Settings\\User\\Local Settings\\Application Data\\Acme\\Update.exe\" --uninstall",
       {"C:\\Documents and Settings\\User\\Local Settings\\Application Data\\Acme\\Update.exe"}},
      {"setup_factory",
       "C:\\Program Files\\Acme Suite\\uninstall.exe \"/U:C:\\Program Files\\Acme Suite\\Uninstall\\uninstall.xml\"",
       {"C:\\Program Files\\Acme Suite\\uninstall.exe", "C:\\Program Files\\Acme Suite\\Uninstall\\uninstall.xml"}},
      {"variable", "%ProgramFiles%\\Acme Player\\Uninstall.exe", {"C:\\Program Files\\Acme Player\\Uninstall.exe"}},
      {"unquoted_gone", "C:\\Program Files\\Gone Company\\Gone Product v2.1 (x86)\\uninstall-helper_1.0.exe -remove", {}},
      {"cdrom", "D:\\SETUP\\SETUP.EXE /uninstall", {}},
  };
  return entries;
}

struct World {
  explicit World(const std::vector<std::string>& files) {
    mp.files.AddDrive('D', platform::kDriveCdrom);
    mp.files.SetEnvironment("ProgramFiles", "C:\\Program Files");
    // Folders that outlive their programs; the programs' own folders come with their files.
    for (const char* folder : {"C:\\Program Files\\Common Files", "C:\\Program Files\\Gone Company",
                               "C:\\WINDOWS\\INF", "C:\\ProgramData\\Package Cache"}) {
      mp.files.AddFolder(folder);
    }
    for (const std::string& f : files) mp.files.AddFile(f);
    mp.files.AddFolder("C:\\Program Files\\Common Files\\InstallShield\\Professional");
    mp.files.SetShortName("C:\\Program Files", "PROGRA~1");
    mp.files.SetShortName("C:\\Program Files\\Common Files", "COMMON~1");
    mp.files.SetShortName("C:\\Program Files\\Common Files\\InstallShield", "INSTAL~1");
    mp.files.SetShortName("C:\\Program Files\\Common Files\\InstallShield\\Professional", "PROFES~1");
    row = form.ListView1.Add();
  }
  platform::MemoryPlatform mp;
  TForm1 form{mp.platform()};
  int row = 0;
};

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
