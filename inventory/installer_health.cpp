#include "inventory/installer_health.h"

#include <cctype>

#include "inventory/file_tests.h"
#include "inventory/product_code.h"

std::optional<StatusResult> CachedPackageStatus(platform::FileSystem& files, platform::System& system,
                                                const Entry& entry) {
  const ProductReference product = ProductOfEntry(entry);
  if (product.kind != ProductReference::Kind::kProduct) return std::nullopt;
  std::string package;
  if (!system.ProductLocalPackage(product.code, &package) || package.empty() || FileTest(files, package))
    return std::nullopt;
  return StatusResult{kBrokenLink,
                      "the installer's cached package " + package + " is gone: its uninstall will fail", package};
}

bool IsInnoUninstaller(const std::string& path) {
  const std::string name = path.substr(path.find_last_of("\\/") + 1);
  if (name.size() != 12) return false;
  const auto lower = [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); };
  static const char kPrefix[] = "unins";
  static const char kSuffix[] = ".exe";
  for (int i = 0; i < 5; ++i)
    if (lower(name[i]) != kPrefix[i]) return false;
  for (int i = 5; i < 8; ++i)
    if (!std::isdigit(static_cast<unsigned char>(name[i]))) return false;
  for (int i = 0; i < 4; ++i)
    if (lower(name[8 + i]) != kSuffix[i]) return false;
  return true;
}

std::optional<StatusResult> UninstallerDataStatus(platform::FileSystem& files, const std::string& uninstallerPath,
                                                  FolderListings* listings) {
  if (!IsInnoUninstaller(uninstallerPath)) return std::nullopt;
  // The data file has the uninstaller's name with ".dat" for ".exe", beside it.
  const std::string data = uninstallerPath.substr(0, uninstallerPath.size() - 4) + ".dat";
  if (listings ? listings->FileTest(files, data) : FileTest(files, data)) return std::nullopt;
  const std::string name = data.substr(data.find_last_of("\\/") + 1);
  return StatusResult{kBrokenLink, "its data file " + name + " is gone", data};
}
