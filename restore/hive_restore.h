#pragma once
// The routines of the hive restore that work on key trees.
#include <string>

#include "platform/registry_api.h"
#include "registry/registry_place.h"

// The key where a hive file is mounted while it is copied: HKEY_LOCAL_MACHINE\TEMP_KEY.
inline constexpr const char* kHiveMountPath = "\\TEMP_KEY";
inline constexpr const char* kHiveMountName = "TEMP_KEY";
// The system-wide lock that one restore at a time holds, across every running instance.
inline constexpr const char* kRestoreMutexName = "REG_RESTORE";

// Copies the tree at `sourcePath` under `sourceRoot` to the new key `destPath` of the place
// `dest`; the source stays, and nothing is copied when `destPath` exists already.
void CopyKey(platform::RegistryApi& api, platform::Hkey sourceRoot, const std::string& sourcePath,
             const RegistryPlace& dest, const std::string& destPath);
