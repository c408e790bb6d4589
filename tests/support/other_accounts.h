#pragma once
// A machine whose profile list names, besides the current user and the system's accounts, four other
// people: one logged on, one whose hive file is there to load, one whose file is gone and one whose
// file is no hive.
#include <string>
#include <utility>
#include <vector>

#include "platform/memory/memory_platform.h"
#include "registry/accounts.h"

namespace {

using namespace platform;

constexpr const char* kProfiles = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\";
constexpr const char* kList = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const std::string kAnn = "S-1-5-21-1-2-3-1001";  // logged on
const std::string kBob = "S-1-5-21-1-2-3-1002";  // not logged on, no name the system knows
const std::string kCleo = "S-1-5-21-1-2-3-1003";  // her hive file is gone
const std::string kDan = "S-1-5-21-1-2-3-1004";  // his hive file is no hive

// The current user, the system's accounts and four others in the machine's profile list.
inline void SeedOtherAccounts(MemoryPlatform& p) {
  p.registry.SetBackupRestoreRight(true);
  p.files.SetEnvironment("SystemDrive", "C:");
  for (const auto& [sid, folder] : std::vector<std::pair<std::string, std::string>>{
           {"S-1-5-18", "%systemroot%\\system32\\config\\systemprofile"},
           {p.system.userSid, "C:\\Users\\me"},
           {kAnn, "C:\\Users\\ann"},
           {kBob, "%SystemDrive%\\Users\\bob\\"},
           {kCleo, "C:\\Users\\cleo"},
           {kDan, "C:\\Users\\dan"}})
    p.registry.SetString(kHkeyLocalMachine, kProfiles + sid, "ProfileImagePath", folder, kRegExpandSz);
  p.registry.AddKey(kHkeyLocalMachine, std::string(kProfiles) + "S-1-5-21-1-2-3-1005");  // no folder: skipped
  p.system.accountNames[kAnn] = "ann";
  p.system.accountNames[kCleo] = "Cléo";
  p.system.accountNames[kDan] = "Дан";
  p.registry.SetString(kHkeyUsers, kAnn + kList + "\\Chat", "DisplayName", "Ann's Chat");
  p.registry.SetString(kHkeyUsers, kAnn + kList + "\\Chat", "UninstallString", "C:\\Users\\ann\\gone\\chat.exe");
  // Bob's hive, saved from a key as the system saves one.
  p.registry.SetString(kHkeyLocalMachine, "Scratch" + std::string(kList) + "\\Notes", "DisplayName", "Bob's Notes");
  p.registry.SetString(kHkeyLocalMachine, "Scratch" + std::string(kList) + "\\Notes", "UninstallString",
                       "%LOCALAPPDATA%\\Notes\\uninstall.exe", kRegExpandSz);
  p.files.AddFile("C:\\Users\\bob\\AppData\\Local\\Notes\\uninstall.exe");
  p.files.AddFolder("C:\\Users\\bob");
  Hkey scratch = 0;
  p.registry.OpenKeyEx(kHkeyLocalMachine, "Scratch", kKeyRead, &scratch);
  p.registry.SaveKey(scratch, "C:\\Users\\bob\\NTUSER.DAT");
  p.registry.CloseKey(scratch);
  p.files.AddFile("C:\\Users\\dan\\NTUSER.DAT", "not a hive");
}

// A machine of its own with them.
struct OtherAccountsMachine {
  OtherAccountsMachine() { SeedOtherAccounts(p); }
  std::vector<Account> Others() { return OtherAccounts(p.registry, p.system, p.files, p.system.userSid); }
  bool Mounted(const std::string& name) { return p.registry.KeyExists(kHkeyUsers, name); }

  MemoryPlatform p;
};

}  // namespace
