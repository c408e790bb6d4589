#pragma once
// Uninstallers that are there but will fail: the system installer's product whose cached package is
// gone, and Inno Setup's uninstaller whose data file is gone.
#include <optional>
#include <string>

#include "inventory/entry.h"
#include "inventory/finder_listings.h"
#include "inventory/status.h"
#include "platform/file_system.h"
#include "platform/system.h"

// Broken Link for an entry of a product whose cached package (the copy of its package that the
// installer keeps, under the Windows folder's Installer, and uninstalls from) is gone: its
// uninstall fails ("the installation source for this product is not available", error 1612).
// Nothing when the entry names no product, or the installer keeps no package for it, or the
// package is there.
std::optional<StatusResult> CachedPackageStatus(platform::FileSystem& files, platform::System& system,
                                                const Entry& entry);
// Whether the file name is Inno Setup's uninstaller: "unins", three digits, ".exe", in any case.
bool IsInnoUninstaller(const std::string& path);
// Broken Link for Inno Setup's uninstaller (unins000.exe, its number varies) whose data file of the
// same number (unins000.dat) is not beside it: it cannot run without it. Nothing for any other file,
// or when the data file is there.
// With `listings`, the data file is asked about through the scan's listings.
std::optional<StatusResult> UninstallerDataStatus(platform::FileSystem& files, const std::string& uninstallerPath,
                                                  FolderListings* listings = nullptr);
