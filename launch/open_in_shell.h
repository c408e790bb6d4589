#pragma once
// The list's shell commands on an entry: its key in the registry editor, its uninstaller's folder.
#include <string>

#include "inventory/entry.h"
#include "platform/platform.h"

// Starts the registry editor with the arguments: on 64-bit Windows the 64-bit one, which alone
// reaches both registry views. Answers what ShellExecute would: above 32 when it started.
int StartRegistryEditor(const platform::Platform& platform, bool wow64, const std::string& arguments);
// Starts the registry editor showing the entry's key. The message for a failure, otherwise empty.
std::string OpenKeyInRegistryEditor(const platform::Platform& platform, const Entry& entry, bool wow64);
// Opens the folder of the first absolute path in the entry's command that exists, walking up from
// the file it names. The message for a failure, or for a folder other than the uninstaller's own
// (which is gone), otherwise empty.
std::string OpenUninstallerFolder(const platform::Platform& platform, const Entry& entry);
