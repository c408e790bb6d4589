#pragma once
// Uninstall strings as each kind of installer writes them, and a disk on which some of their
// programs are still there: the realistic mix of the finder's benchmark and differential tests.
#include <cstdio>
#include <string>
#include <vector>

#include "inventory/finder.h"
#include "inventory/status.h"
#include "platform/memory/memory_platform.h"

namespace corpus {

struct Entry {
  const char* style;
  std::string uninstall;
  std::vector<std::string> files;  // present on the disk; none: the program is gone
};

inline const std::string kGuid = "{8E5B5B5F-1B2C-4E3D-9F00-0123456789AB}";

inline const std::vector<Entry>& Entries() {
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
  }
  // The status of the text by a check of its own, each question of the disk asked once within it
  // (with `memo`) or each time one of its searches comes to it.
  int Check(const std::string& text, bool memo = true) {
    FinderMemo answers;
    FinderOptions options;
    options.rememberAnswers = memo;
    options.memo = memo ? &answers : nullptr;
    Finder finder(mp.files, mp.system, options);
    return CheckUninstall(finder, text);
  }
  platform::MemoryPlatform mp;
};

// A machine's worth of entries: `count` entries spread over the installer styles above, each with
// a product and vendor name of its own (vendors of 25 products each, as vendors share folders),
// every other one with its program still on the disk.
inline std::vector<Entry> Machine(int count) {
  const auto replaced = [](std::string text, const std::string& from, const std::string& to) {
    for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) text.replace(at, from.size(), to);
    return text;
  };
  std::vector<Entry> machine;
  const std::vector<Entry>& styles = Entries();
  for (int i = 0; i < count; ++i) {
    const Entry& style = styles[static_cast<size_t>(i) % styles.size()];
    const std::string vendor = "Vendor " + std::to_string(i / 25);
    const std::string product = "Product " + std::to_string(i);
    char guid[40];
    std::snprintf(guid, sizeof guid, "{%08X-1B2C-4E3D-9F00-0123456789AB}", static_cast<unsigned>(i));
    const auto personal = [&](std::string text) {
      text = replaced(text, kGuid, guid);
      text = replaced(text, "Acme", vendor);
      return replaced(text, "Gone Product", product);
    };
    Entry entry{style.style, personal(style.uninstall), {}};
    if (i % 2 == 0)
      for (const std::string& file : style.files) entry.files.push_back(personal(file));
    machine.push_back(entry);
  }
  return machine;
}

}  // namespace corpus
