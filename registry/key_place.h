#pragma once
// A key: the place that reaches it and its path below the root, with the name that key lines,
// messages and the registry editor give it.
#include <string>

#include "platform/win_codes.h"
#include "registry/registry_place.h"

// The root's name in key lines ("HKEY_LOCAL_MACHINE", ...); empty for a root that has none.
std::string RootName(platform::Hkey root);

struct KeyPlace {
  RegistryPlace place;
  // Below the root, with its leading backslash.
  std::string path;

  // The path as a program of either kind names it from the root (PathForEveryView).
  std::string LinePath() const { return PathForEveryView(place, path); }
  // The root's name and LinePath: "HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\...", the key as the
  // undo file's key line names it.
  std::string Name() const { return RootName(place.root) + LinePath(); }
  // The key `name` below this one; this one for an empty name.
  KeyPlace Below(const std::string& name) const { return {place, name.empty() ? path : path + "\\" + name}; }
};
