#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "inventory/status.h"
#include "platform/memory/memory_platform.h"

namespace {

using platform::MemoryPlatform;

// Drive C: is a fixed disk, A: removable, D: a CD-ROM drive, N: a network drive and R: a RAM
// disk; no file exists but those named in the case.
struct Status {
  explicit Status(const std::vector<std::string>& files) {
    mp.files.AddDrive('A', platform::kDriveRemovable);
    mp.files.AddDrive('D', platform::kDriveCdrom);
    mp.files.AddDrive('N', platform::kDriveRemote);
    mp.files.AddDrive('R', platform::kDriveRamdisk);
    mp.files.SetEnvironment("ProgramFiles", "C:\\Program Files");
    for (const std::string& f : files) mp.files.AddFile(f);
  }
  // The icon of one check, each question of the disk asked once within it.
  int Of(const std::string& uninstall) {
    FinderMemo memo;
    FinderOptions options;
    options.memo = &memo;
    Finder finder(mp.files, mp.system, options);
    return CheckUninstall(finder, uninstall);
  }
  MemoryPlatform mp;
};

struct Case {
  std::string uninstall;
  std::vector<std::string> files;
  int icon;
};

TEST(StatusTest, GivesEachEntryItsIcon) {
  const std::string uninst = "C:\\Program Files\\App\\uninst.exe";
  const Case cases[] = {
      {"\"" + uninst + "\" /S", {uninst}, kGoodLink},
      {"\"" + uninst + "\" /S", {}, kBrokenLink},
      {"RunDll32 C:\\App\\x.dll,Uninstall", {"C:\\App\\x.dll"}, kGoodLink},
      {"RunDll32 C:\\App\\x.dll,Uninstall", {}, kBrokenLink},
      {"rundll32.exe C:\\App\\x.dll,Uninstall", {"C:\\App\\x.dll"}, kGoodLink},
      {"rundll32.exe C:\\App\\x.dll,Uninstall", {}, kBrokenLink},
      {"C:\\App\\remove.exe C:\\App\\install.log", {"C:\\App\\remove.exe", "C:\\App\\install.log"}, kGoodLink},
      {"C:\\App\\remove.exe C:\\App\\install.log", {"C:\\App\\remove.exe"}, kBrokenLink},
      {"C:\\App\\remove.exe C:\\App\\install.log", {"C:\\App\\install.log"}, kBrokenLink},
      {"C:\\App\\remove.exe D:\\install.log", {"C:\\App\\remove.exe", "D:\\install.log"}, kMissingDisk},
      {"C:\\App\\remove.exe D:\\install.log", {}, kBrokenLink},  // the first piece decides
      {"A:\\setup.exe", {}, kMissingDisk},
      {"N:\\App\\setup.exe", {"N:\\App\\setup.exe"}, kMissingDisk},
      {"\"N:\\App\\setup.exe\"", {}, kMissingDisk},
      {"R:\\setup.exe", {"R:\\setup.exe"}, kMissingDisk},
      {"d:\\setup.exe", {}, kMissingDisk},
      {"C:\\App\\gone.exe", {}, kBrokenLink},
      {"Q:\\App\\gone.exe", {}, kBrokenLink},  // no such drive
      {"MsiExec.exe /I{8E5B5B5F-1B2C-4E3D-9F00-0123456789AB}", {}, kGoodLink},
      {"C:\\WINDOWS\\rundll32 foo.dll,Entry", {}, kGoodLink},
      {"a\\bC:\\App\\u.exe", {"C:\\App\\u.exe"}, kGoodLink},  // a piece of 3 characters is skipped
      {"a\\bC:\\App\\u.exe", {}, kBrokenLink},
      {"ab\\cC:\\App\\u.exe", {"C:\\App\\u.exe"}, kBrokenLink},  // 4 characters: it decides
      {"RUN C:\\App\\u.exe", {"C:\\App\\u.exe"}, kGoodLink},
      {" C:\\App\\u.exe", {"C:\\App\\u.exe"}, kGoodLink},
      {"RUN A:\\u.exe", {}, kMissingDisk},
      {"\\\\server\\share\\uninst.exe", {}, kGoodLink},
      {"%ProgramFiles%\\App\\uninst.exe", {uninst}, kGoodLink},
      {"%ProgramFiles%\\App\\uninst.exe", {}, kBrokenLink},
      {"\"", {}, kBrokenLink},  // the drive test of an empty root
      {"C:\\App\\u.exe /log=D:\\u.log", {"C:\\App\\u.exe"}, kMissingDisk},
      {"C:\\App\\u.exe /log=D:\\u.log", {"C:\\App\\u.exe", "D:\\u.log"}, kMissingDisk},
      {"C:\\App\\u.exe /log=C:\\u.log", {"C:\\App\\u.exe"}, kBrokenLink},
  };
  for (const Case& c : cases) {
    Status status(c.files);
    EXPECT_EQ(status.Of(c.uninstall), c.icon) << c.uninstall;
  }
}

struct ReasonCase {
  std::string command;
  std::vector<std::string> files;
  int status;
  std::string reason;
};

TEST(StatusTest, SaysWhyFromTheCheckThatGaveTheStatus) {
  const std::string longFolder = "C:\\App\\" + std::string(200, 'x');
  const std::string longShown = "C:\\App\\" + std::string(51, 'x') + "..." + std::string(50, 'x') + "\\gone.exe";
  std::string wideFolder = "C:\\App\\";
  for (int i = 0; i < 150; ++i) wideFolder += "\xe8\xa1\xa8";  // 表, three bytes each
  const ReasonCase cases[] = {
      {"\"C:\\Program Files\\App\\unins000.exe\" /S", {"C:\\Program Files\\App\\unins000.exe"}, kGoodLink,
       "Found C:\\Program Files\\App\\unins000.exe"},
      {"C:\\App\\remove.exe -f", {"C:\\App\\remove.exe"}, kGoodLink, "Found C:\\App\\remove.exe"},
      {"C:\\App\\ -x", {"C:\\App\\other.txt"}, kGoodLink, "Found the folder C:\\App"},
      {"C:\\App\\1033", {"C:\\App\\other.txt"}, kGoodLink, "Found C:\\App by a directory search"},
      {"C:\\App\\uninst", {"C:\\App\\uninst.exe"}, kGoodLink,
       "Found C:\\App\\uninst.exe, \".exe\" added by a directory search"},
      {"C:\\App\\readme", {"C:\\App\\readme.txt"}, kGoodLink, "Found a match for C:\\App\\readme.*"},
      {"MsiExec.exe /X{8E5B5B5F-1B2C-4E3D-9F00-0123456789AB}", {}, kGoodLink,
       "Counted as found: MsiExec.exe, a name without a folder"},
      {"\"\\\\server\\share\\setup.exe\" /S", {}, kGoodLink,
       "Counted as found: \\\\server\\share\\setup.exe, a network path"},
      {"\\App\\u.exe", {}, kGoodLink, "Counted as found: \\App\\u.exe, a path without a drive"},
      {"%NOSUCH%\\setup.exe /S", {}, kGoodLink,
       "Counted as found: %NOSUCH%\\setup.exe, which begins with a per-cent sign"},
      {"%ProgramFiles%\\App\\u.exe", {"C:\\Program Files\\App\\u.exe"}, kGoodLink,
       "Found C:\\Program Files\\App\\u.exe"},
      // The last piece says why; the ones before it were found too.
      {"C:\\App\\remove.exe C:\\App\\install.log", {"C:\\App\\remove.exe", "C:\\App\\install.log"}, kGoodLink,
       "Found C:\\App\\install.log"},
      {"D:\\SETUP\\SETUP.EXE /uninstall", {}, kMissingDisk, "On drive D:, a CD-ROM drive: not looked at"},
      {"A:\\setup.exe", {}, kMissingDisk, "On drive A:, a removable drive: not looked at"},
      {"N:\\App\\setup.exe", {"N:\\App\\setup.exe"}, kMissingDisk, "On drive N:, a network drive: not looked at"},
      {"R:\\setup.exe", {"R:\\setup.exe"}, kMissingDisk, "On drive R:, a RAM disk: not looked at"},
      {"C:\\App\\remove.exe D:\\install.log", {"C:\\App\\remove.exe"}, kMissingDisk,
       "On drive D:, a CD-ROM drive: not looked at"},
      {"C:\\Old\\setup.exe", {}, kBrokenLink,
       "Not found: C:\\Old\\setup.exe (looked for C:\\Old\\setup.exe, C:\\Old\\setup.exe.*, C:\\Old and 1 more)"},
      {"C:\\Program Files\\App\\My App\\gone.exe", {}, kBrokenLink,
       "Not found: C:\\Program Files\\App\\My App\\gone.exe (looked for C:\\Program Files\\App\\My App\\gone.exe, "
       "C:\\Program Files\\App\\My App\\gone.exe.*, C:\\Program Files\\App\\My and 5 more)"},
      // The first piece decides, before the drive of a later path is looked at.
      {"C:\\App\\remove.exe D:\\install.log", {}, kBrokenLink,
       "Not found: C:\\App\\remove.exe (looked for C:\\App\\remove.exe, C:\\App\\remove.exe .*, C:\\App and 1 "
       "more)"},
      {"C:\\App\\remove.exe C:\\App\\install.log", {"C:\\App\\remove.exe"}, kBrokenLink,
       "Not found: C:\\App\\install.log (looked for C:\\App\\install.log, C:\\App\\install.log.*, C:\\App and 1 "
       "more)"},
      // RunDll32's library is named without the entry point after its comma.
      {"RunDll32.exe C:\\App\\setup.dll,LaunchSetup", {"C:\\App\\setup.dll"}, kGoodLink, "Found C:\\App\\setup.dll"},
      {"RunDll32.exe C:\\Old\\setup.dll,LaunchSetup", {}, kBrokenLink,
       "Not found: C:\\Old\\setup.dll (looked for C:\\Old\\setup.dll,LaunchSetup, C:\\Old\\setup.dll,LaunchSetup.*, "
       "C:\\Old\\setup.dll and 2 more)"},
      {"\"\"", {}, kBrokenLink, "Not found: nothing to look for"},
      {"|C:", {}, kBrokenLink, "Not found: nothing to look for in |C:"},
      // Long pieces keep their two ends, cut by characters whatever their bytes.
      {longFolder + "\\gone.exe", {}, kBrokenLink,
       "Not found: " + longShown + " (looked for " + longShown + " and 4 more)"},
      {wideFolder + "\\u.exe", {wideFolder + "\\u.exe"}, kGoodLink,
       "Found C:\\App\\" + wideFolder.substr(7, 51 * 3) + "..." + wideFolder.substr(7, 53 * 3) + "\\u.exe"},
  };
  for (const ReasonCase& c : cases) {
    Status status(c.files);
    ScanChecker checker(status.mp.files, status.mp.system);
    const StatusResult fresh = checker.CheckCommand(c.command, false);
    EXPECT_EQ(fresh.status, c.status) << c.command;
    EXPECT_EQ(fresh.reason, c.reason) << c.command;
    // Asked again, every answer comes from the scan's memo: the line is the same.
    EXPECT_EQ(checker.CheckCommand(c.command, false).reason, c.reason) << c.command;
  }
}

// Paths with names outside ASCII are tested as they are; positions count characters, and the path
// limit UTF-16 units, as the wide calls count them.
TEST(StatusTest, NamesOutsideAsciiAreTestedAsTheyAre) {
  const std::string greek = "C:\\Program Files\\\xce\x95\xce\xbb\xce\xbb\xce\xb7\xce\xbd\xce\xb9\xce\xba\xce\xac";  // Ελληνικά
  const std::string uninst = greek + "\\unins000.exe";
  std::string deep = "C:\\App";
  for (int level = 0; level < 4; ++level) deep += "\\" + [] { std::string s; for (int i = 0; i < 25; ++i) s += "\xe8\xa1\xa8"; return s; }();
  const Case cases[] = {
      {"\"" + uninst + "\" /x", {uninst}, kGoodLink},
      {"\"" + uninst + "\" /x", {}, kBrokenLink},  // not the folder above a cut at an unknown character
      {uninst + " /x", {uninst}, kGoodLink},
      {"\"C:\\\xe5\xbe\xae\xe4\xbf\xa1\\WeChat Uninstall.exe\"", {"C:\\\xe5\xbe\xae\xe4\xbf\xa1\\WeChat Uninstall.exe"}, kGoodLink},
      {"\"C:\\\xe5\xbe\xae\xe4\xbf\xa1\\WeChat Uninstall.exe\"", {}, kBrokenLink},
      {"C:\\\xe6\x88\x90\xe7\xb8\xbe\xe8\xa1\xa8\\u.exe", {"C:\\\xe6\x88\x90\xe7\xb8\xbe\xe8\xa1\xa8\\u.exe"}, kGoodLink},  // 成績表
      {"\xc3\xa9\\bC:\\App\\u.exe", {"C:\\App\\u.exe"}, kGoodLink},  // a piece of 3 characters is skipped
      {"\xc3\xa9\xc3\xa9 C:\\App\\u.exe", {"C:\\App\\u.exe"}, kGoodLink},
      {"\xc3\xa9\xc3\xa9\\bC:\\App\\u.exe", {"C:\\App\\u.exe"}, kBrokenLink},  // 4 characters: it decides
      {deep + "\\u.exe", {deep + "\\u.exe"}, kGoodLink},  // 336 bytes, 113 characters
      {deep + "\\u.exe", {}, kBrokenLink},
  };
  for (const Case& c : cases) {
    Status status(c.files);
    EXPECT_EQ(status.Of(c.uninstall), c.icon) << c.uninstall;
  }
}

TEST(StatusTest, DriveTypeDecidesBetweenMissingDiskAndBrokenLink) {
  Status status({});
  struct Root {
    std::string root;
    int icon;
  } roots[] = {{"A:\\", kMissingDisk}, {"D:\\", kMissingDisk}, {"N:\\", kMissingDisk}, {"R:\\", kMissingDisk},
               {"C:\\", kBrokenLink},  {"Q:\\", kBrokenLink},  {"Msi", kBrokenLink},  {"", kBrokenLink}};
  for (const Root& r : roots) EXPECT_EQ(CheckDriveType(status.mp.files, r.root), r.icon) << r.root;
}

// Strings that drove the rules once per few characters, a megabyte long: each ends in a loop
// round, not a stack frame, and the finder answers a long piece without a query per mark.
TEST(StatusTest, CopesWithMegabyteStrings) {
  const size_t megabyte = 1 << 20;
  auto repeat = [&](const std::string& unit) {
    std::string s;
    while (s.size() < megabyte) s += unit;
    return s;
  };
  const Case cases[] = {
      {repeat("\""), {}, kBrokenLink},
      {repeat(" ") + "C:\\App\\u.exe", {"C:\\App\\u.exe"}, kGoodLink},
      {repeat("ab ") + "C:\\App\\u.exe", {"C:\\App\\u.exe"}, kGoodLink},
      {repeat("rundll32 "), {}, kBrokenLink},  // nothing is left: the drive test of ""
      {"C:\\App\\u.exe " + repeat(",.-;\\'(.!@ 1"), {}, kBrokenLink},
      {"C:\\App\\u.exe " + repeat(",.-;\\'(.!@ 1"), {"C:\\App\\u.exe"}, kGoodLink},
      {"C:\\App\\" + repeat("x.y\\"), {}, kBrokenLink},
      {repeat("C:\\x"), {}, kBrokenLink},
      {"C:\\App\\u.exe " + repeat("C:\\App\\u.exe "), {"C:\\App\\u.exe"}, kGoodLink},
  };
  for (const Case& c : cases) {
    Status status(c.files);
    status.mp.files.ResetCalls();
    EXPECT_EQ(status.Of(c.uninstall), c.icon) << c.uninstall.substr(0, 40);
    EXPECT_LT(status.mp.files.Calls().Queries(), 5000000) << c.uninstall.substr(0, 40);
  }
}

// 64-bit Windows: this program is a 32-bit one, so the System folder it sees is SysWOW64 and its
// %ProgramFiles% is the 32-bit folder. An entry of a 64-bit program is judged as that program's
// uninstaller sees the disk; a 32-bit one as before.
TEST(StatusTest, EachEntryIsJudgedAsItsOwnUninstallerSeesTheDisk) {
  MemoryPlatform mp;
  mp.SetWow64();
  // The 32-bit folder is named without a blank here, which keeps the blank rule of the finder (a
  // piece before a blank that names a folder counts as found) out of these cases.
  mp.files.SetEnvironment("ProgramFiles", "C:\\Programs32");
  mp.files.SetEnvironment("ProgramW6432", "C:\\Program Files");
  mp.files.SetEnvironment("CommonProgramFiles", "C:\\Programs32\\Common Files");
  mp.files.SetEnvironment("CommonProgramW6432", "C:\\Program Files\\Common Files");
  mp.files.AddFile("C:\\WINDOWS\\system32\\remove64.exe");
  mp.files.AddFile("C:\\WINDOWS\\SysWOW64\\remove32.exe");
  mp.files.AddFile("C:\\Program Files\\Big\\uninst.exe");
  mp.files.AddFile("C:\\Program Files\\Common Files\\Big\\setup.exe");
  mp.files.AddFile("C:\\Programs32\\Small\\uninst.exe");
  const struct {
    std::string command;
    int asSixtyFour, asThirtyTwo;
  } cases[] = {
      {"C:\\WINDOWS\\system32\\remove64.exe /x", kGoodLink, kBrokenLink},
      {"C:\\WINDOWS\\system32\\remove32.exe /x", kBrokenLink, kGoodLink},
      {"\"%ProgramFiles%\\Big\\uninst.exe\" /S", kGoodLink, kBrokenLink},
      {"%programfiles%\\Big\\uninst.exe", kGoodLink, kBrokenLink},
      {"%CommonProgramFiles%\\Big\\setup.exe -remove", kGoodLink, kBrokenLink},
      {"C:\\Program Files\\Big\\uninst.exe", kGoodLink, kGoodLink},
      {"\"%ProgramFiles%\\Small\\uninst.exe\"", kBrokenLink, kGoodLink},
      {"C:\\Programs32\\Small\\uninst.exe", kGoodLink, kGoodLink},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.asSixtyFour, StatusOfCommand(mp.files, mp.system, c.command, true)) << c.command;
    EXPECT_EQ(c.asThirtyTwo, StatusOfCommand(mp.files, mp.system, c.command, false)) << c.command;
  }
  mp.system.redirectionLog.clear();
  StatusOfCommand(mp.files, mp.system, "C:\\x.exe", true);
  EXPECT_EQ((std::vector<std::string>{"disable", "revert 24301"}), mp.system.redirectionLog)
      << "the redirection is on again afterwards";
}

}  // namespace
