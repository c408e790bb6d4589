#include "inventory/installer_health.h"

#include <gtest/gtest.h>

#include "platform/memory/memory_platform.h"

namespace {

using platform::MemoryPlatform;

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
    if (result) {
      EXPECT_EQ(c.reason, result->reason);
    }
  }
}

}  // namespace
