#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "inventory/finder.h"
#include "inventory/finding.h"
#include "inventory/status.h"
#include "platform/memory/memory_platform.h"

namespace {

using platform::MemoryPlatform;

std::string Repeated(const std::string& text, size_t times) {
  std::string out;
  for (size_t i = 0; i < times; ++i) out += text;
  return out;
}

// Drive C: is a fixed disk, A: removable, D: a CD-ROM drive, N: a network drive and R: a RAM
// disk; the folders C:\App and C:\Program Files\App exist, and no file but those of the case.
struct Disk {
  explicit Disk(const std::vector<std::string>& files) {
    mp.files.AddDrive('A', platform::kDriveRemovable);
    mp.files.AddDrive('D', platform::kDriveCdrom);
    mp.files.AddDrive('N', platform::kDriveRemote);
    mp.files.AddDrive('R', platform::kDriveRamdisk);
    mp.files.AddFolder("C:\\App");
    mp.files.AddFolder("C:\\Program Files\\App");
    mp.files.SetEnvironment("ProgramFiles", "C:\\Program Files");
    for (const std::string& f : files) mp.files.AddFile(f);
  }
  MemoryPlatform mp;
};

struct ReasonCase {
  std::string command;
  std::vector<std::string> files;
  int status;
  std::string reason;
};

TEST(ReasonTest, SaysWhyFromTheCheckThatGaveTheStatus) {
  const std::string longFolder = "C:\\App\\" + std::string(200, 'x');
  const std::string longShown = "C:\\App\\" + std::string(51, 'x') + "..." + std::string(50, 'x') + "\\gone.exe";
  const std::string wideFolder = "C:\\App\\" + Repeated("\xe8\xa1\xa8", 150);  // 表, three bytes each
  const ReasonCase cases[] = {
      {"\"C:\\Program Files\\App\\unins000.exe\" /S", {"C:\\Program Files\\App\\unins000.exe"}, kGoodLink,
       "Found C:\\Program Files\\App\\unins000.exe"},
      {"C:\\App\\remove.exe -f", {"C:\\App\\remove.exe"}, kGoodLink, "Found C:\\App\\remove.exe"},
      {"C:\\App\\ -x", {}, kGoodLink, "Found the folder C:\\App"},
      {"C:\\App\\1033", {}, kGoodLink, "Found C:\\App by a directory search"},
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
      {"\"\"", {}, kBrokenLink, "Not found: nothing to look for"},
      {"|C:", {}, kBrokenLink, "Not found: nothing to look for in |C:"},
      // Long pieces keep their two ends, cut by characters whatever their bytes.
      {longFolder + "\\gone.exe", {}, kBrokenLink,
       "Not found: " + longShown + " (looked for " + longShown + " and 4 more)"},
      {wideFolder + "\\u.exe", {wideFolder + "\\u.exe"}, kGoodLink,
       "Found C:\\App\\" + Repeated("\xe8\xa1\xa8", 51) + "..." + Repeated("\xe8\xa1\xa8", 53) + "\\u.exe"},
  };
  for (const ReasonCase& c : cases) {
    Disk disk(c.files);
    ScanChecker checker(disk.mp.files, disk.mp.system);
    const StatusResult fresh = checker.CheckCommand(c.command, false);
    EXPECT_EQ(fresh.status, c.status) << c.command;
    EXPECT_EQ(fresh.reason, c.reason) << c.command;
    // Asked again, every answer comes from the scan's memo: the line is the same.
    EXPECT_EQ(checker.CheckCommand(c.command, false).reason, c.reason) << c.command;
  }
}

// What the finder alone says of a piece, where the status check never asks in that way.
TEST(ReasonTest, TheFinderSaysWhatItFoundOrLookedFor) {
  const struct {
    std::string text;
    bool found;
    std::string line;
  } cases[] = {
      // The status check takes "@D:" for the root, which is no drive: Broken Link, for a reason.
      {"@D:\\setup.exe", false, "Not found: D:\\setup.exe (on drive D:, a CD-ROM drive: not looked at)"},
      {",x\\gone.exe", true, "Counted as found: an empty name without a folder"},
      {"x\\gone.exe", false, "Not found: x\\gone.exe (looked for x\\gone.exe, x\\gone.exe.* and x)"},
      {"C:\\App\\" + std::string(300, 'a') + ".exe", false,
       "Not found: C:\\App\\" + std::string(51, 'a') + "..." + std::string(55, 'a') +
           ".exe (looked for C:\\App and C:)"},
      {"\\\\\\server\\x", true, "Counted as found: \\\\server\\x, a network path"},
  };
  for (const auto& c : cases) {
    Disk disk({});
    Finder finder(disk.mp.files, disk.mp.system);
    Finding finding;
    EXPECT_EQ(finder.FindSpace(c.text, &finding), c.found) << c.text;
    EXPECT_EQ(finding.Found(), c.found) << c.text;
    EXPECT_EQ(FindingLine(finding), c.line) << c.text;
  }
}

TEST(ReasonTest, NamesCandidatesWhileTheLineStaysShort) {
  const std::string folder = "C:\\" + std::string(60, 'f');
  Finding finding;
  finding.kind = Finding::Kind::kNotFound;
  finding.text = folder + "\\u.exe";
  finding.lookedFor = {folder + "\\u.exe", folder + "\\u.exe.*", folder};
  finding.othersLookedFor = 2;
  EXPECT_EQ(FindingLine(finding),
            "Not found: " + folder + "\\u.exe (looked for " + folder + "\\u.exe, " + folder + "\\u.exe.* and 3 more)");
  // However long, the first candidate is named.
  finding.text = std::string(200, 'p');
  finding.lookedFor = {std::string(200, 'p'), "q"};
  finding.othersLookedFor = 0;
  const std::string p = std::string(58, 'p') + "..." + std::string(59, 'p');
  EXPECT_EQ(FindingLine(finding), "Not found: " + p + " (looked for " + p + " and 1 more)");
}

TEST(ReasonTest, ShowsTextsTrimmedAndLongOnesByTheirEnds) {
  const struct {
    std::string text, shown;
  } cases[] = {
      {"  C:\\App\\u.exe  ", "C:\\App\\u.exe"},
      {"   ", ""},
      {std::string(120, 'a'), std::string(120, 'a')},
      {std::string(60, 'a') + std::string(61, 'b'), std::string(58, 'a') + "..." + std::string(59, 'b')},
      {Repeated("\xc3\xa9", 121), Repeated("\xc3\xa9", 58) + "..." + Repeated("\xc3\xa9", 59)},  // é
  };
  for (const auto& c : cases) EXPECT_EQ(ShownInLine(c.text), c.shown) << c.text;
}

// Random commands over the characters the check treats specially: asking why changes neither the
// status nor a single question put to the disk.
TEST(ReasonTest, AskingWhyAsksTheDiskNothingMore) {
  Disk disk({"C:\\App\\u.exe", "C:\\App\\x.dll", "C:\\App\\1033\\r.txt", "D:\\setup.exe"});
  disk.mp.files.SetEnvironment("A", "C:\\App");
  const auto asked = [&] {
    const platform::MemoryFileSystem::Counts& n = disk.mp.files.Calls();
    return std::vector<int>{n.findFirst, n.attributes, n.searchDirectory, n.expand, n.driveType};
  };
  const std::string alphabet = "C:\\\\\\App.xu.dll exe,;'%-_!(@$#\"/*?<>|1033DA";
  std::mt19937 random(4711);
  for (int n = 0; n < 400; ++n) {
    std::string command;
    const int length = static_cast<int>(random() % 40);
    for (int k = 0; k < length; ++k) command += alphabet[random() % alphabet.size()];
    if (n % 3 == 0) command = "C:\\App\\" + command;
    disk.mp.files.ResetCalls();
    const int status = ScanChecker(disk.mp.files, disk.mp.system).StatusOf(command, false);
    const std::vector<int> withoutReason = asked();
    disk.mp.files.ResetCalls();
    const StatusResult result = ScanChecker(disk.mp.files, disk.mp.system).CheckCommand(command, false);
    EXPECT_EQ(result.status, status) << command;
    EXPECT_EQ(asked(), withoutReason) << command;
    EXPECT_FALSE(result.reason.empty()) << command;
  }
}

}  // namespace
