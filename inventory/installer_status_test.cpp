#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "inventory/installer_status.h"
#include "inventory/status.h"
#include "platform/memory/memory_platform.h"

using namespace platform;

namespace {

constexpr const char* kCode = "{6A1C2C39-1F4E-4E57-9E10-0B6B3B6D2C11}";
const std::string kMsiExec = "C:\\WINDOWS\\system32\\MsiExec.exe";
const std::string kForgotten = "the system installer does not know product {6A1C2C39-1F4E-4E57-9E10-0B6B3B6D2C11}";

// Each case: an entry, the installer's answer about the product, whether MsiExec.exe is on the disk,
// and the status and reason the scan gives, with the product codes the installer was asked about.
TEST(InstallerStatusTest, TheInstallerDecidesForItsProductsAndTheFileForTheRest) {
  const struct {
    const char* what;
    std::string key;
    std::string command;
    bool windowsInstaller;
    int state;  // the installer's answer; 0: it does not know the product
    bool installerThere;
    bool msiExecThere;
    int status;
    bool forgotten;  // the reason names the forgotten product
    std::vector<std::string> asked;
  } cases[] = {
      {"a known product", "T", "MsiExec.exe /X" + std::string(kCode), false, kInstallStateDefault, true, true, kGoodLink,
       false, {kCode}},
      {"a forgotten product", "T", "MsiExec.exe /X" + std::string(kCode), false, 0, true, true, kBrokenLink, true,
       {kCode}},
      {"a forgotten product, asked in upper case", "T", "msiexec /i{6a1c2c39-1f4e-4e57-9e10-0b6b3b6d2c11}", false, 0,
       true, true, kBrokenLink, true, {kCode}},
      {"an advertised product", "T", "MsiExec.exe /I" + std::string(kCode), false, kInstallStateAdvertised, true, true,
       kGoodLink, false, {kCode}},
      {"a product installed for another user", "T", "MsiExec.exe /X" + std::string(kCode), false,
       kInstallStateAbsent, true, true, kGoodLink, false, {kCode}},
      {"the installer's answer of a bad argument is no verdict", "T", "MsiExec.exe /X" + std::string(kCode), false,
       kInstallStateInvalidArg, true, true, kGoodLink, false, {kCode}},
      {"a known product whose MsiExec.exe is gone", "T", "C:\\WINDOWS\\system32\\MsiExec.exe /X" + std::string(kCode),
       false, kInstallStateDefault, true, false, kBrokenLink, false, {kCode}},
      {"the key names the product, WindowsInstaller 1", kCode, "C:\\WINDOWS\\system32\\MsiExec.exe /qb", true, 0, true,
       true, kBrokenLink, true, {kCode}},
      {"the key is a code without WindowsInstaller", kCode, "C:\\WINDOWS\\system32\\MsiExec.exe /qb", false, 0, true,
       true, kGoodLink, false, {}},
      {"a malformed code is not asked about", "T", "MsiExec.exe /X{6A1C2C39-1F4E-4E57-9E10-0B6B3B6D2C1}", false, 0,
       true, true, kGoodLink, false, {}},
      {"an installer that cannot be asked", "T", "MsiExec.exe /X" + std::string(kCode), false, 0, false, true,
       kGoodLink, false, {kCode}},
      {"another program is not asked about", "T", "C:\\Apps\\uninst.exe /X" + std::string(kCode), false, 0, true,
       false, kBrokenLink, false, {}},
  };
  for (const auto& c : cases) {
    MemoryPlatform p;
    if (c.msiExecThere) p.files.AddFile(kMsiExec);
    if (c.state != 0) p.system.productStates[kCode] = c.state;
    p.system.installerAvailable = c.installerThere;
    Entry entry;
    entry.keyName = c.key;
    entry.displayName = "Tool";
    entry.uninstallString = c.command;
    entry.windowsInstaller = c.windowsInstaller;
    ScanChecker checker(p.files, p.system);
    const StatusResult result = checker.Check(entry);
    EXPECT_EQ(c.status, result.status) << c.what;
    EXPECT_EQ(c.forgotten, result.reason == kForgotten) << c.what << ": " << result.reason;
    EXPECT_EQ(c.asked, p.system.ProductQueries()) << c.what;
  }
}

}  // namespace
