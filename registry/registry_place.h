#pragma once
// Where a key lives: a root and the registry view that reaches it.
#include <cstdint>
#include <string>

#include "platform/win_codes.h"

struct RegistryPlace {
  platform::Hkey root = platform::kHkeyLocalMachine;
  // 0 (the program's own view) or a KEY_WOW64_* flag.
  std::uint32_t view = 0;
};

// The key's path as a program of either kind names it from the root: a key of the 32-bit view of
// HKLM\SOFTWARE on 64-bit Windows lies under SOFTWARE\WOW6432Node, so that both registry editors
// put it back where it was; every other path is as it stands.
std::string PathForEveryView(const RegistryPlace& place, const std::string& keyPath);
