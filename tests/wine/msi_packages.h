#pragma once
// Packages of the system installer, built with the installer's own database calls, for the Windows
// tests that install products with msiexec. Link the test with msi.
#include <windows.h>
#include <wtypes.h>
#include <msi.h>
#include <msiquery.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "platform/win32/wide_text.h"

// A file of a package: the component it belongs to (its name in the package and its id, the same
// in every package that shares it), its name, and its size in bytes.
struct PackageFile {
  std::string component;
  std::string componentId;
  std::string name;
  size_t size = 0;
};

struct Package {
  std::string productCode;
  std::string name;
  std::string version = "1.0.0";
  // Empty: none. Otherwise the package also finds its older versions and removes them first.
  std::string upgradeCode;
  // None: one component without files. Otherwise each file in its component, installed into
  // Program Files\<folder> from an uncompressed source: <package's folder>\<folder>\<file>.
  std::vector<PackageFile> files;
  std::string folder = "TidewellTest";
};

inline bool Sql(MSIHANDLE database, const std::string& query) {
  MSIHANDLE view = 0;
  if (MsiDatabaseOpenViewW(database, platform::Widen(query).c_str(), &view) != ERROR_SUCCESS) return false;
  const bool done = MsiViewExecute(view, 0) == ERROR_SUCCESS;
  MsiViewClose(view);
  MsiCloseHandle(view);
  return done;
}

namespace msi_packages_detail {

// The rows of the files, their components and their source, and the folder they go to.
inline std::vector<std::string> FileRows(const Package& package) {
  std::vector<std::string> rows = {
      "INSERT INTO `Directory` (`Directory`, `Directory_Parent`, `DefaultDir`) VALUES ('ProgramFilesFolder', "
      "'TARGETDIR', '.')",
      "INSERT INTO `Directory` (`Directory`, `Directory_Parent`, `DefaultDir`) VALUES ('INSTALLDIR', "
      "'ProgramFilesFolder', '" + package.folder + "')",
      "CREATE TABLE `File` (`File` CHAR(72) NOT NULL, `Component_` CHAR(72) NOT NULL, `FileName` CHAR(255) NOT NULL "
      "LOCALIZABLE, `FileSize` LONG NOT NULL, `Version` CHAR(72), `Language` CHAR(20), `Attributes` SHORT, "
      "`Sequence` SHORT NOT NULL PRIMARY KEY `File`)",
      // One disk, no cabinet: the files are read from the folders beside the package.
      "CREATE TABLE `Media` (`DiskId` SHORT NOT NULL, `LastSequence` SHORT NOT NULL, `DiskPrompt` CHAR(64) "
      "LOCALIZABLE, `Cabinet` CHAR(255), `VolumeLabel` CHAR(32), `Source` CHAR(72) PRIMARY KEY `DiskId`)",
      "INSERT INTO `Media` (`DiskId`, `LastSequence`, `DiskPrompt`, `Cabinet`, `VolumeLabel`, `Source`) VALUES (1, " +
          std::to_string(package.files.size()) + ", '', NULL, 'DISK1', NULL)",
  };
  std::vector<std::string> components;
  int sequence = 0;
  for (const PackageFile& file : package.files) {
    if (std::find(components.begin(), components.end(), file.component) == components.end()) {
      components.push_back(file.component);
      rows.push_back("INSERT INTO `Component` (`Component`, `ComponentId`, `Directory_`, `Attributes`, `Condition`, "
                     "`KeyPath`) VALUES ('" + file.component + "', '" + file.componentId + "', 'INSTALLDIR', 0, '', '" +
                     file.name + "')");
      rows.push_back("INSERT INTO `FeatureComponents` (`Feature_`, `Component_`) VALUES ('Main', '" + file.component +
                     "')");
    }
    rows.push_back("INSERT INTO `File` (`File`, `Component_`, `FileName`, `FileSize`, `Version`, `Language`, "
                   "`Attributes`, `Sequence`) VALUES ('" + file.name + "', '" + file.component + "', '" + file.name +
                   "', " + std::to_string(file.size) + ", NULL, NULL, 0, " + std::to_string(++sequence) + ")");
  }
  return rows;
}

// The older versions of the same upgrade code, found and removed before this one is installed.
inline std::vector<std::string> UpgradeRows(const Package& package) {
  return {
      "INSERT INTO `Property` (`Property`, `Value`) VALUES ('UpgradeCode', '" + package.upgradeCode + "')",
      "INSERT INTO `Property` (`Property`, `Value`) VALUES ('SecureCustomProperties', 'OLDERFOUND')",
      "CREATE TABLE `Upgrade` (`UpgradeCode` CHAR(38) NOT NULL, `VersionMin` CHAR(20), `VersionMax` CHAR(20), "
      "`Language` CHAR(255), `Attributes` LONG NOT NULL, `Remove` CHAR(255), `ActionProperty` CHAR(72) NOT NULL "
      "PRIMARY KEY `UpgradeCode`, `VersionMin`, `VersionMax`, `Language`, `Attributes`)",
      // From 0.0.1 (256: the lowest included) up to this version, not included.
      "INSERT INTO `Upgrade` (`UpgradeCode`, `VersionMin`, `VersionMax`, `Language`, `Attributes`, `Remove`, "
      "`ActionProperty`) VALUES ('" + package.upgradeCode + "', '0.0.1', '" + package.version +
          "', NULL, 256, NULL, 'OLDERFOUND')",
  };
}

}  // namespace msi_packages_detail

// Writes the package at `path` (and, beside it, the source of its files, each of its size), one
// feature of its components, with the product's properties and the standard actions that
// register and publish it, install and remove its files, and remove its older versions.
inline bool MakePackage(const std::string& path, const Package& package) {
  using namespace msi_packages_detail;
  DeleteFileW(platform::Widen(path).c_str());
  MSIHANDLE database = 0;
  if (MsiOpenDatabaseW(platform::Widen(path).c_str(), reinterpret_cast<LPCWSTR>(MSIDBOPEN_CREATE), &database) !=
      ERROR_SUCCESS)
    return false;
  const bool withFiles = !package.files.empty();
  MSIHANDLE summary = 0;
  bool ok = MsiGetSummaryInformationW(database, nullptr, 10, &summary) == ERROR_SUCCESS;
  ok = ok && MsiSummaryInfoSetPropertyW(summary, 7, VT_LPSTR, 0, nullptr, L"Intel;1033") == ERROR_SUCCESS;  // template
  ok = ok && MsiSummaryInfoSetPropertyW(summary, 9, VT_LPSTR, 0, nullptr,
                                        platform::Widen(package.productCode).c_str()) == ERROR_SUCCESS;
  ok = ok && MsiSummaryInfoSetPropertyW(summary, 14, VT_I4, 200, nullptr, nullptr) == ERROR_SUCCESS;  // schema
  // Word count: 0, long names from an uncompressed source; 2, compressed (no files to read at all).
  ok = ok && MsiSummaryInfoSetPropertyW(summary, 15, VT_I4, withFiles ? 0 : 2, nullptr, nullptr) == ERROR_SUCCESS;
  ok = ok && MsiSummaryInfoPersist(summary) == ERROR_SUCCESS;
  MsiCloseHandle(summary);
  std::vector<std::string> queries = {
      "CREATE TABLE `Property` (`Property` CHAR(72) NOT NULL, `Value` CHAR(0) NOT NULL PRIMARY KEY `Property`)",
      "INSERT INTO `Property` (`Property`, `Value`) VALUES ('ProductCode', '" + package.productCode + "')",
      "INSERT INTO `Property` (`Property`, `Value`) VALUES ('ProductName', '" + package.name + "')",
      "INSERT INTO `Property` (`Property`, `Value`) VALUES ('ProductVersion', '" + package.version + "')",
      "INSERT INTO `Property` (`Property`, `Value`) VALUES ('Manufacturer', 'Tidewell tests')",
      "INSERT INTO `Property` (`Property`, `Value`) VALUES ('ProductLanguage', '1033')",
      "INSERT INTO `Property` (`Property`, `Value`) VALUES ('ALLUSERS', '1')",
      "CREATE TABLE `Directory` (`Directory` CHAR(72) NOT NULL, `Directory_Parent` CHAR(72), "
      "`DefaultDir` CHAR(255) NOT NULL LOCALIZABLE PRIMARY KEY `Directory`)",
      "INSERT INTO `Directory` (`Directory`, `Directory_Parent`, `DefaultDir`) VALUES ('TARGETDIR', '', 'SourceDir')",
      "CREATE TABLE `Feature` (`Feature` CHAR(38) NOT NULL, `Feature_Parent` CHAR(38), `Title` CHAR(64) LOCALIZABLE, "
      "`Description` CHAR(255) LOCALIZABLE, `Display` SHORT, `Level` SHORT NOT NULL, `Directory_` CHAR(72), "
      "`Attributes` SHORT NOT NULL PRIMARY KEY `Feature`)",
      "INSERT INTO `Feature` (`Feature`, `Feature_Parent`, `Title`, `Description`, `Display`, `Level`, `Directory_`, "
      "`Attributes`) VALUES ('Main', '', 'Main', '', 1, 1, 'TARGETDIR', 0)",
      "CREATE TABLE `Component` (`Component` CHAR(72) NOT NULL, `ComponentId` CHAR(38), `Directory_` CHAR(72) NOT "
      "NULL, `Attributes` SHORT NOT NULL, `Condition` CHAR(255), `KeyPath` CHAR(72) PRIMARY KEY `Component`)",
      "CREATE TABLE `FeatureComponents` (`Feature_` CHAR(38) NOT NULL, `Component_` CHAR(72) NOT NULL PRIMARY KEY "
      "`Feature_`, `Component_`)",
      "CREATE TABLE `InstallExecuteSequence` (`Action` CHAR(72) NOT NULL, `Condition` CHAR(255), `Sequence` SHORT "
      "PRIMARY KEY `Action`)",
  };
  if (withFiles) {
    for (std::string& row : FileRows(package)) queries.push_back(std::move(row));
  } else {
    queries.push_back("INSERT INTO `Component` (`Component`, `ComponentId`, `Directory_`, `Attributes`, `Condition`, "
                      "`KeyPath`) VALUES ('Core', '{C" + package.productCode.substr(2) + "', 'TARGETDIR', 0, '', '')");
    queries.push_back("INSERT INTO `FeatureComponents` (`Feature_`, `Component_`) VALUES ('Main', 'Core')");
  }
  if (!package.upgradeCode.empty())
    for (std::string& row : UpgradeRows(package)) queries.push_back(std::move(row));
  for (const std::string& query : queries) ok = ok && Sql(database, query);
  std::vector<std::pair<const char*, int>> actions = {
      {"CostInitialize", 800},     {"FileCost", 900},           {"CostFinalize", 1000},  {"InstallValidate", 1400},
      {"InstallInitialize", 1500}, {"ProcessComponents", 1600}, {"RegisterUser", 6000}, {"RegisterProduct", 6100},
      {"PublishFeatures", 6300},   {"PublishProduct", 6400},    {"InstallFinalize", 6600}};
  if (withFiles) actions.insert(actions.end(), {{"UnpublishFeatures", 1800}, {"RemoveFiles", 3500}, {"InstallFiles", 4000}});
  if (!package.upgradeCode.empty())
    actions.insert(actions.end(), {{"FindRelatedProducts", 200}, {"RemoveExistingProducts", 1401}});
  for (const auto& [action, sequence] : actions)
    ok = ok && Sql(database, std::string("INSERT INTO `InstallExecuteSequence` (`Action`, `Condition`, `Sequence`) "
                                         "VALUES ('") + action + "', '', " + std::to_string(sequence) + ")");
  ok = ok && MsiDatabaseCommit(database) == ERROR_SUCCESS;
  MsiCloseHandle(database);
  if (!ok || !withFiles) return ok;
  const std::string source = path.substr(0, path.find_last_of('\\') + 1) + package.folder;
  CreateDirectoryW(platform::Widen(source).c_str(), nullptr);
  for (const PackageFile& file : package.files) {
    const HANDLE out = CreateFileW(platform::Widen(source + "\\" + file.name).c_str(), GENERIC_WRITE, 0, nullptr,
                                   CREATE_ALWAYS, 0, nullptr);
    const std::string bytes(file.size, 'x');
    DWORD written = 0;
    ok = ok && out != INVALID_HANDLE_VALUE &&
         WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
    if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
  }
  return ok;
}

inline int ProductState(const std::string& code) { return MsiQueryProductStateW(platform::Widen(code).c_str()); }
