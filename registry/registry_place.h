#pragma once
// Where a key lives: a root and the registry view that reaches it, and the key there by its path.
#include <cstdint>
#include <string>

#include "platform/win_codes.h"

struct RegistryPlace {
  platform::Hkey root = platform::kHkeyLocalMachine;
  // 0 (the program's own view) or a KEY_WOW64_* flag.
  std::uint32_t view = 0;
};

// The program's own name below HKEY_USERS for another account's hive that it loads: "Tidewell.<SID>".
inline constexpr const char* kOwnMountPrefix = "Tidewell.";

// A path below HKEY_USERS (with its leading backslash) as the account's own: "\Tidewell.<SID>\..."
// is "\<SID>\...", which the registry editor merges while the account's hive is loaded; any other
// path as it stands.
std::string PathOfAccount(const std::string& pathBelowUsers);

// The key's path as a program of either kind names it from the root: a key of the 32-bit view of
// HKLM\SOFTWARE on 64-bit Windows lies under SOFTWARE\WOW6432Node, so that both registry editors
// put it back where it was; a key of another account's hive is named by the account's SID (see
// PathOfAccount); every other path is as it stands.
std::string PathForEveryView(const RegistryPlace& place, const std::string& keyPath);

// The root's name in key lines ("HKEY_LOCAL_MACHINE", ...); empty for a root that has none.
std::string RootName(platform::Hkey root);

// A key: the place that reaches it and its path below the root.
struct KeyPlace {
  RegistryPlace place;
  // Below the root, with its leading backslash.
  std::string path;

  // The path as a program of either kind names it from the root (PathForEveryView).
  std::string LinePath() const;
  // The root's name and LinePath, as key lines and messages name the key:
  // "HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\...".
  std::string Name() const;
  // The key `name` below this one; this one for an empty name.
  KeyPlace Below(const std::string& name) const { return {place, name.empty() ? path : path + "\\" + name}; }
};
