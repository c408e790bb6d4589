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
const std::string kKnown = "the system installer knows product {6A1C2C39-1F4E-4E57-9E10-0B6B3B6D2C11}";

// Each case: an entry, the installer's answer about the product, the files on the disk, and the
// status and reason the scan gives ("" where the command's file gives the reason), with the product
// codes the installer was asked about.
TEST(InstallerStatusTest, TheInstallerDecidesForItsProductsAndTheFileForTheRest) {
  const std::string x = "MsiExec.exe /X" + std::string(kCode);
  const std::string cached = "C:\\WINDOWS\\Installer\\1a2b3c.msi";
  // A known product's cached package is asked about too.
  const std::vector<std::string> both = {kCode, "package of " + std::string(kCode)};
  const struct {
    const char* what;
    std::string key;
    std::string command;
    bool windowsInstaller;
    int state;  // the installer's answer; 0: it does not know the product
    bool installerThere;
    std::vector<std::string> files;
    int status;
    std::string reason;
    std::vector<std::string> asked;
    std::string package = "";  // the cached package the installer names
  } cases[] = {
      {"a known product", "T", x, false, kInstallStateDefault, true, {kMsiExec}, kGoodLink, kKnown, both},
      {"a forgotten product", "T", x, false, 0, true, {kMsiExec}, kBrokenLink, kForgotten, {kCode}},
      {"a forgotten product, asked in upper case", "T", "msiexec /i{6a1c2c39-1f4e-4e57-9e10-0b6b3b6d2c11}", false, 0,
       true, {kMsiExec}, kBrokenLink, kForgotten, {kCode}},
      {"an advertised product", "T", "MsiExec.exe /I" + std::string(kCode), false, kInstallStateAdvertised, true,
       {kMsiExec}, kGoodLink, kKnown, both},
      {"a product installed for another user", "T", x, false, kInstallStateAbsent, true, {kMsiExec}, kGoodLink, kKnown,
       both},
      {"the installer's answer of a bad argument is no verdict", "T", x, false, kInstallStateInvalidArg, true,
       {kMsiExec}, kGoodLink, "", {kCode}},
      {"a known product whose MsiExec.exe is gone", "T", "C:\\WINDOWS\\system32\\MsiExec.exe /X" + std::string(kCode),
       false, kInstallStateDefault, true, {}, kBrokenLink, "", both},
      {"the key names the product, WindowsInstaller 1", kCode, "C:\\WINDOWS\\system32\\MsiExec.exe /qb", true, 0, true,
       {kMsiExec}, kBrokenLink, kForgotten, {kCode}},
      {"the key is a code without WindowsInstaller", kCode, "C:\\WINDOWS\\system32\\MsiExec.exe /qb", false, 0, true,
       {kMsiExec}, kGoodLink, "", {}},
      {"a malformed code is not asked about", "T", "MsiExec.exe /X{6A1C2C39-1F4E-4E57-9E10-0B6B3B6D2C1}", false, 0,
       true, {kMsiExec}, kGoodLink, "", {}},
      {"an installer that cannot be asked", "T", x, false, 0, false, {kMsiExec}, kGoodLink, "", {kCode}},
      {"another program is not asked about", "T", "C:\\Apps\\uninst.exe /X" + std::string(kCode), false, 0, true, {},
       kBrokenLink, "", {}},
      // An uninstaller that is there but will fail.
      {"a known product whose cached package is there", "T", x, false, kInstallStateDefault, true, {kMsiExec, cached},
       kGoodLink, kKnown, both, cached},
      {"a known product whose cached package is gone", "T", x, false, kInstallStateDefault, true, {kMsiExec},
       kBrokenLink, "the installer's cached package " + cached + " is gone: its uninstall will fail", both, cached},
      {"a known product without a cached package", "T", x, false, kInstallStateDefault, true, {kMsiExec}, kGoodLink,
       kKnown, both},
      {"Inno Setup's uninstaller without its data file", "T", "\"C:\\Apps\\unins001.exe\" /SILENT", false, 0, true,
       {"C:\\Apps\\unins001.exe", "C:\\Apps\\unins000.dat"}, kBrokenLink, "its data file unins001.dat is gone", {}},
  };
  for (const auto& c : cases) {
    MemoryPlatform p;
    for (const std::string& file : c.files) p.files.AddFile(file);
    if (c.state != 0) p.system.productStates[kCode] = c.state;
    if (!c.package.empty()) p.system.localPackages[kCode] = c.package;
    p.system.installerAvailable = c.installerThere;
    Entry entry;
    entry.keyName = c.key;
    entry.displayName = "Tool";
    entry.uninstallString = c.command;
    entry.windowsInstaller = c.windowsInstaller;
    ScanChecker checker(p.files, p.system);
    // A second entry of the same product takes the first one's answers: the installer is asked once.
    for (int round = 0; round < 2; ++round) {
      const StatusResult result = checker.Check(entry);
      EXPECT_EQ(c.status, result.status) << c.what;
      if (!c.reason.empty()) {
        EXPECT_EQ(c.reason, result.reason) << c.what;
      }
    }
    EXPECT_EQ(c.asked, p.system.ProductQueries()) << c.what;
  }
}

}  // namespace
