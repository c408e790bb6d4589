#pragma once
// The Backups page's files: listing, restoring and deleting the files of the backup folder.
#include <string>
#include <vector>

#include "backup/undo_file.h"
#include "platform/platform.h"

inline constexpr const char* kKeyRestored = "Key Restored";
inline constexpr const char* kKeyNotRestored = "Key could not be Restored";

// Whether the file's name ends in ".reg", in any letter case: a registry text file, which the
// registry editor merges.
bool IsRegistryTextFile(const std::string& name);
// The names of the files in the folder (without a final backslash), in the order the system lists them.
std::vector<std::string> BackupFileNames(platform::FileSystem& files, const std::string& folder);
// Restores the backup file (a full path): a registry text file is merged by the registry editor (on
// 64-bit Windows the 64-bit one), waited for while the thread's messages are served, or else handed
// to the shell; any other file is a hive backup of the entry that Tidewell.ini (else kestrel.ini), in
// the executable's folder, names for it (or of the entry of its own name). Answers what to tell the
// user: kKeyRestored, or kKeyNotRestored and on the next line why; empty when the shell took the
// file, or a registry text file is gone.
std::string RestoreBackup(const platform::Platform& platform, UndoFile& undo, const std::string& exeFolder,
                          const std::string& file, bool wow64);
// Deletes the backup file, whatever its attributes: empty when it is gone, otherwise the message that
// says why it is not ("File does not Exist.", or that it could not be deleted).
std::string DeleteBackupFile(platform::FileSystem& files, const std::string& file);
