#include "inventory/installer_health.h"

#include <gtest/gtest.h>

#include "platform/memory/memory_platform.h"

namespace {

using platform::MemoryPlatform;

constexpr const char* kCode = "{6F1D2B7A-3C4E-4B8A-9D21-7E5F0A1C3B42}";

TEST(InstallerHealthTest, AProductWhoseCachedPackageIsGoneIsBrokenLink) {
  const struct {
    const char* what;
    std::string command;
    std::string package;  // empty: the installer keeps none
    bool packageThere;
    std::string reason;   // empty: no verdict
  } cases[] = {
      {"package there", std::string("MsiExec.exe /X") + kCode, "C:\\WINDOWS\\Installer\\1a2b.msi", true, ""},
      {"package gone", std::string("MsiExec.exe /X") + kCode, "C:\\WINDOWS\\Installer\\1a2b.msi", false,
       "the installer's cached package C:\\WINDOWS\\Installer\\1a2b.msi is gone: its uninstall will fail"},
      {"no package kept", std::string("MsiExec.exe /X") + kCode, "", false, ""},
      {"not an installer's entry", "C:\\App\\u.exe", "C:\\WINDOWS\\Installer\\1a2b.msi", false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryPlatform p;
    if (!c.package.empty()) p.system.localPackages[kCode] = c.package;
    if (c.packageThere) p.files.AddFile(c.package);
    Entry entry;
    entry.uninstallString = c.command;
    const std::optional<StatusResult> result = CachedPackageStatus(p.files, p.system, entry);
    ASSERT_EQ(!c.reason.empty(), result.has_value());
    if (result) {
      EXPECT_EQ(kBrokenLink, result->status);
      EXPECT_EQ(c.reason, result->reason);
    }
  }
}

TEST(InstallerHealthTest, AnInnoUninstallerWithoutItsDataFileIsBrokenLink) {
  const struct {
    std::string uninstaller;
    std::string data;  // empty: none
    std::string reason;
  } cases[] = {
      {"C:\\App\\unins000.exe", "C:\\App\\unins000.dat", ""},
      {"C:\\App\\unins000.exe", "", "its data file unins000.dat is gone"},
      {"C:\\App\\UNINS012.EXE", "", "its data file UNINS012.dat is gone"},
      {"C:\\App\\unins001.exe", "C:\\App\\unins000.dat", "its data file unins001.dat is gone"},
      {"C:\\App\\uninst.exe", "", ""},
      {"C:\\App\\unins00a.exe", "", ""},
      {"C:\\App\\unins0000.exe", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.uninstaller);
    MemoryPlatform p;
    p.files.AddFile(c.uninstaller);
    if (!c.data.empty()) p.files.AddFile(c.data);
    const std::optional<StatusResult> result = UninstallerDataStatus(p.files, c.uninstaller);
    ASSERT_EQ(!c.reason.empty(), result.has_value());
    if (result) EXPECT_EQ(c.reason, result->reason);
  }
}

}  // namespace
