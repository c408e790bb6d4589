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

// With `saveMode`, saves the key tree at `keyPath` of `place` to the new file `fileName` (a file of
// that name is deleted first); otherwise restores it from that file with LoadKeyPro. False when
// nothing was saved or restored, with what went wrong in *problem when asked.
bool SaveHive(const platform::Platform& platform, UndoFile& undo, const std::string& keyPath,
              const std::string& fileName, bool saveMode, const RegistryPlace& place = RegistryPlace{},
              std::string* problem = nullptr);
// Mounts the hive file and reads its whole tree; only then writes the entry at `keyPath` of `place`
// to the undo file and deletes it, writes the tree read in its place and reads that back. True only
// when the copy equals the backup. False when the file cannot be mounted or read whole, or the old
// entry could not be removed whole (nothing is changed then), or the copy differs; *problem says
// which, naming what is missing.
bool LoadKeyPro(const platform::Platform& platform, UndoFile& undo, const std::string& keyPath,
                const std::string& fileName, const RegistryPlace& place = RegistryPlace{},
                std::string* problem = nullptr);
