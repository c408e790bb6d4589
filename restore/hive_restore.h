#pragma once
// Saving a key tree to a hive file, and putting one back from it.
#include <string>

#include "backup/undo_file.h"
#include "platform/platform.h"
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

// With `saveMode`, saves the key tree at `keyPath` of `place` to the new file `fileName` (a file of
// that name is deleted first); otherwise restores it from that file with LoadKeyPro. False when
// nothing was saved or restored.
bool SaveHive(const platform::Platform& platform, UndoFile& undo, const std::string& keyPath,
              const std::string& fileName, bool saveMode, const RegistryPlace& place = RegistryPlace{});
// Mounts the hive file, writes the entry at `keyPath` of `place` to the undo file and deletes it,
// then copies the mounted tree in its place. False when the file cannot be mounted or read, or
// the old entry could not be removed whole (it is left as it is then).
bool LoadKeyPro(const platform::Platform& platform, UndoFile& undo, const std::string& keyPath,
                const std::string& fileName, const RegistryPlace& place = RegistryPlace{});
