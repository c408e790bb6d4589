#pragma once
// A system installer product's registration seeded into the in-memory registry as the installer
// writes it on Windows: published product and features, upgrade codes, installed state, component
// clients, uninstall entry, and where wanted the patches and policy keys that Wine does not write.
#include <string>
#include <vector>

#include "inventory/product_code.h"
#include "platform/memory/memory_registry.h"

namespace installer_seeds {

inline constexpr const char* kMachineSid = "S-1-5-18";
inline constexpr const char* kInstaller = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer";

struct SeededProduct {
  std::string code = {};
  std::string upgradeCode = {};
  std::string name = {};
  // S-1-5-18 for the machine's product, a user's SID for that user's own (published in HKCU).
  std::string sid = kMachineSid;
  // The component codes (any GUIDs) whose clients it is.
  std::vector<std::string> components = {};
  // The patch codes it has.
  std::vector<std::string> patches = {};
  // Below HKLM or HKCU (literal, with WOW6432Node where it lies there); empty: no entry.
  std::string uninstallKey = {};
  bool uninstallPerUser = false;
  // Assigned by policy: Installer\Managed keys for its SID.
  bool managed = false;
  // Published in the machine's or the current user's keys; not for another user's own product,
  // which that user's keys publish.
  bool published = true;
};

inline bool Machine(const SeededProduct& p) { return p.sid == kMachineSid; }
inline std::string Packed(const std::string& code) { return PackedProductCode(code); }

inline void SeedRegistration(platform::MemoryRegistry& r, const SeededProduct& p) {
  using platform::kHkeyCurrentUser;
  using platform::kHkeyLocalMachine;
  const std::string packed = Packed(p.code);
  const platform::Hkey publishedRoot = Machine(p) ? kHkeyLocalMachine : kHkeyCurrentUser;
  const std::string published = Machine(p) ? "SOFTWARE\\Classes\\Installer" : "Software\\Microsoft\\Installer";
  const std::string product = published + "\\Products\\" + packed;
  if (p.published) {
    r.SetString(publishedRoot, product, "ProductName", p.name);
    r.SetValue(publishedRoot, product, "Version", platform::kRegDword, std::string("\x00\x00\x01\x01", 4));
    r.SetString(publishedRoot, product + "\\SourceList", "PackageName", "setup.msi");
    r.SetString(publishedRoot, product + "\\SourceList\\Net", "1", "C:\\Setup\\");
    r.SetString(publishedRoot, published + "\\Features\\" + packed, "Main", "");
  }
  if (p.published && !p.upgradeCode.empty()) {
    r.SetString(publishedRoot, published + "\\UpgradeCodes\\" + Packed(p.upgradeCode), packed, "");
    r.SetString(kHkeyLocalMachine, std::string(kInstaller) + "\\UpgradeCodes\\" + Packed(p.upgradeCode), packed, "");
  }
  const std::string userData = std::string(kInstaller) + "\\UserData\\" + p.sid;
  const std::string state = userData + "\\Products\\" + packed;
  r.SetString(kHkeyLocalMachine, state + "\\InstallProperties", "DisplayName", p.name);
  r.SetString(kHkeyLocalMachine, state + "\\InstallProperties", "LocalPackage", "C:\\WINDOWS\\Installer\\1a2b.msi");
  r.SetString(kHkeyLocalMachine, state + "\\Features", "Main", "Core");
  r.AddKey(kHkeyLocalMachine, state + "\\Patches");
  for (const std::string& component : p.components)
    r.SetString(kHkeyLocalMachine, userData + "\\Components\\" + Packed(component), packed,
                "C:\\Program Files\\" + p.name + "\\shared.dll");
  for (const std::string& patch : p.patches) {
    r.SetValue(kHkeyLocalMachine, state + "\\Patches\\" + Packed(patch), "State", platform::kRegDword,
               std::string("\x01\x00\x00\x00", 4));
    r.SetString(publishedRoot, published + "\\Patches\\" + Packed(patch), "PatchName", "Fix for " + p.name);
    r.SetString(kHkeyLocalMachine, userData + "\\Patches\\" + Packed(patch), "LocalPackage",
                "C:\\WINDOWS\\Installer\\" + Packed(patch).substr(0, 6) + ".msp");
  }
  if (p.managed) {
    const std::string managed = std::string(kInstaller) + "\\Managed\\" + p.sid + "\\Installer";
    r.SetString(kHkeyLocalMachine, managed + "\\Products\\" + packed, "ProductName", p.name);
    r.SetString(kHkeyLocalMachine, managed + "\\Features\\" + packed, "Main", "");
    if (!p.upgradeCode.empty()) r.SetString(kHkeyLocalMachine, managed + "\\UpgradeCodes\\" + Packed(p.upgradeCode), packed, "");
  }
  if (!p.uninstallKey.empty()) {
    const platform::Hkey root = p.uninstallPerUser ? kHkeyCurrentUser : kHkeyLocalMachine;
    r.SetString(root, p.uninstallKey, "DisplayName", p.name);
    r.SetString(root, p.uninstallKey, "UninstallString", "MsiExec.exe /X" + p.code);
    r.SetValue(root, p.uninstallKey, "WindowsInstaller", platform::kRegDword, std::string("\x01\x00\x00\x00", 4));
  }
}

}  // namespace installer_seeds
