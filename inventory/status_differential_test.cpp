// The status check with its scan-wide memo, its folder listings and its skipped short pieces gives
// every entry the status that the plain check, asking every question anew, gives it, with a reason
// that says the same: on the realistic mix of installers and on many random commands, in both
// kinds of Windows.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "inventory/status.h"
#include "platform/memory/memory_platform.h"
#include "tests/support/reason_verdict.h"
#include "tests/support/reference_status.h"
#include "tests/support/uninstall_corpus.h"

namespace {

// Pieces that commands are made of: drives of every kind, folders that are there and some that
// are not, quotes, blanks, marks, launchers, variables and digits.
const std::vector<std::string> kPieces = {
    "C:\\", "D:\\", "A:\\", "N:\\", "c:", "\\", "\\\\", "\"", " ", "  ", "Program Files", "Common Files", "App",
    "Gone", "uninst", "unins000", ".exe", ".dll", ".log", "Uninstall", ",", ";", "'", "%", "-", "_", "!", "(",
    ")", "@", "$", "#", ".", "/S", "/x", "RunDll32 ", "rundll32.exe ", "rundll ", "%ProgramFiles%",
    "%ProgramFiles(x86)%", "%CommonProgramFiles%", "%SystemRoot%", "%NOSUCH%", "1033", "12", "7", "MsiExec.exe",
    "WINDOWS", "system32", "SysWOW64", "notepad", "x86", "{8E5B}", "*", "?", "<", "|", ":", "/", "PROGRA~1",
    "progra~1", "COMMON~1", "program files", "APP", "UNINST.EXE", "nul", ".."};

std::string RandomCommand(std::mt19937& random) {
  std::uniform_int_distribution<size_t> piece(0, kPieces.size() - 1);
  std::uniform_int_distribution<int> length(1, 14);
  std::string text;
  for (int n = length(random); n > 0; --n) text += kPieces[piece(random)];
  return text;
}

struct Disk {
  explicit Disk(bool wow64) {
    if (wow64) p.SetWow64();
    p.files.AddDrive('A', platform::kDriveRemovable);
    p.files.AddDrive('D', platform::kDriveCdrom);
    p.files.AddDrive('N', platform::kDriveRemote);
    p.files.SetEnvironment("ProgramFiles", wow64 ? "C:\\Program Files (x86)" : "C:\\Program Files");
    p.files.SetEnvironment("ProgramW6432", "C:\\Program Files");
    p.files.SetEnvironment("CommonProgramFiles", "C:\\Program Files\\Common Files");
    p.files.SetEnvironment("CommonProgramW6432", "C:\\Program Files\\Common Files");
    p.files.SetEnvironment("SystemRoot", "C:\\WINDOWS");
    for (const char* file : {"C:\\App\\uninst.exe", "C:\\App\\1033\\x.dll", "C:\\Program Files\\App\\unins000.exe",
                             "C:\\Program Files\\Common Files\\App\\Uninstall.exe", "C:\\App\\Gone.log",
                             "C:\\WINDOWS\\system32\\MsiExec.exe", "C:\\WINDOWS\\notepad.exe", "D:\\App\\uninst.exe",
                             "C:\\WINDOWS\\SysWOW64\\rundll32.exe", "C:\\Program Files (x86)\\App\\uninst.exe"})
      p.files.AddFile(file);
    for (const corpus::Entry& entry : corpus::Entries())
      for (const std::string& file : entry.files) p.files.AddFile(file);
    for (const corpus::Entry& entry : corpus::Machine(300))
      for (const std::string& file : entry.files) p.files.AddFile(file);
    // Folders named by their 8.3 names too, as commands name them.
    for (const auto& [folder, shortName] : {std::pair{"C:\\Program Files", "PROGRA~1"},
                                            {"C:\\Program Files\\Common Files", "COMMON~1"},
                                            {"C:\\Program Files\\Common Files\\InstallShield", "INSTAL~1"},
                                            {"C:\\Program Files\\Common Files\\InstallShield\\Professional", "PROFES~1"}})
      p.files.SetShortName(folder, shortName);
  }
  platform::MemoryPlatform p;
};

// What a check asks of the disk, kind by kind.
std::vector<int> Asked(const platform::MemoryFileSystem& files) {
  const platform::MemoryFileSystem::Counts& n = files.Calls();
  return {n.findFirst, n.attributes, n.searchDirectory, n.expand, n.driveType};
}

// The reason a check without the scan's memo gives; empty when asking for it asks the disk anything
// the status alone does not.
std::string FreshReason(platform::MemoryPlatform& p, const std::string& command, bool sixtyFourBit) {
  p.files.ResetCalls();
  ScanChecker(p.files, p.system).StatusOf(command, sixtyFourBit);
  const std::vector<int> forTheStatus = Asked(p.files);
  p.files.ResetCalls();
  const std::string reason = ScanChecker(p.files, p.system).CheckCommand(command, sixtyFourBit).reason;
  return Asked(p.files) == forTheStatus ? reason : std::string();
}

// Each command's status, from the scan's memo, is the plain check's; its reason agrees with it and
// is the reason a check without the memo gives, which asks the disk nothing more.
void ExpectSameStatuses(bool wow64, const std::vector<std::string>& commands) {
  Disk disk(wow64);
  ScanChecker checker(disk.p.files, disk.p.system);
  std::map<std::pair<std::string, bool>, std::string> freshReasons;
  int differences = 0;
  for (const std::string& command : commands) {
    for (bool sixtyFourBit : {false, true}) {
      if (sixtyFourBit && !wow64) continue;
      const int expected = reference::StatusOfCommand(disk.p.files, disk.p.system, command, sixtyFourBit);
      const int got = checker.StatusOf(command, sixtyFourBit);
      const StatusResult result = checker.CheckCommand(command, sixtyFourBit);
      auto [known, added] = freshReasons.try_emplace({command, sixtyFourBit});
      if (added) known->second = FreshReason(disk.p, command, sixtyFourBit);
      const std::string& fresh = known->second;
      const bool same = got == expected && result.status == expected && reason::VerdictOf(result.reason) == expected &&
                        result.reason == fresh;
      if (!same && ++differences <= 10)
        ADD_FAILURE() << "[" << command << "]" << (sixtyFourBit ? " (64-bit)" : "") << ": " << got << " and "
                      << result.status << " \"" << result.reason << "\" instead of " << expected << " \"" << fresh
                      << "\"";
    }
  }
  EXPECT_EQ(0, differences);
}

TEST(StatusDifferentialTest, TheRealisticMixGetsTheSameStatuses) {
  std::vector<std::string> commands;
  for (const corpus::Entry& entry : corpus::Entries()) commands.push_back(entry.uninstall);
  for (const corpus::Entry& entry : corpus::Machine(300)) commands.push_back(entry.uninstall);
  // Programs in the System folder, which is another folder for a 64-bit program's entry.
  for (const char* command : {"C:\\WINDOWS\\system32\\MsiExec.exe /X{8E5B}", "C:\\WINDOWS\\system32\\rundll32.exe x.dll,Remove",
                              "%SystemRoot%\\system32\\MsiExec.exe /I{8E5B}", "%ProgramFiles%\\App\\uninst.exe"})
    commands.push_back(command);
  // A scan meets each command many times, in every order: the memo must never carry an answer
  // from one way of asking into another.
  const std::vector<std::string> once = commands;
  for (int round = 0; round < 3; ++round) commands.insert(commands.end(), once.rbegin(), once.rend());
  for (bool wow64 : {false, true}) ExpectSameStatuses(wow64, commands);
}

TEST(StatusDifferentialTest, RandomCommandsGetTheSameStatuses) {
  std::mt19937 random(20261207);
  std::vector<std::string> commands;
  for (int i = 0; i < 4000; ++i) commands.push_back(RandomCommand(random));
  for (bool wow64 : {false, true}) ExpectSameStatuses(wow64, commands);
}

}  // namespace
