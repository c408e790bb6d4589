// Running an uninstaller under Wine: real processes, the real registry, the real message queue.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "app/main_window.h"
#include "launch/command_line.h"
#include "launch/exec.h"
#include "tests/wine/wine_form.h"
#include "tests/wine/wine_test_support.h"

namespace {

const std::string kUninstallPath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

std::string FakeUninstaller() { return TestFolder() + "fake_uninstaller.exe"; }

void SeedEntry(const std::string& key, const std::string& name, const std::string& command) {
  HKEY entry = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, (kUninstallPath + key).c_str(), 0, nullptr, 0,
                                           KEY_ALL_ACCESS, nullptr, &entry, nullptr));
  RegSetValueExA(entry, "DisplayName", 0, REG_SZ, reinterpret_cast<const BYTE*>(name.c_str()), name.size() + 1);
  RegSetValueExA(entry, "UninstallString", 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                 command.size() + 1);
  RegCloseKey(entry);
}

bool EntryExists(const std::string& key) {
  HKEY entry = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, (kUninstallPath + key).c_str(), 0, KEY_READ, &entry) != ERROR_SUCCESS)
    return false;
  RegCloseKey(entry);
  return true;
}

double ProcessCpuSeconds() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  const auto ticks = [](const FILETIME& t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
  return (ticks(kernel) + ticks(user)) / 1e7;
}

// Uninstall Program in the window, on the seeded entry selected as the user selects it.
class LaunchUnderWine : public ::testing::Test {
 protected:
  void SetUp() override {
    SeedEntry("TidewellLaunchTest", "Tidewell launch test", "\"" + FakeUninstaller() + "\" --remove-key TidewellLaunchTest");
    form_.FormCreate();
    SelectSeededEntry();
  }
  void SelectSeededEntry() {
    ClickRow(form_, MainListRow(form_, "TidewellLaunchTest"));
    ASSERT_GE(form_.list.entryList.Selected(), 0);
    ASSERT_TRUE(form_.list.uninstallButton.Enabled());
  }
  void TearDown() override {
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, (std::string(kUninstallPath) + "TidewellLaunchTest").c_str());
  }

  WineForm wine_;
  RecordingUi& ui_ = wine_.ui;
  MainWindow& form_ = wine_.form;
};

TEST_F(LaunchUnderWine, TheRescanShowsTheEntryTheUninstallerRemoved) {
  ui_.answers = {IDYES};
  form_.list.uninstallButton.Click();
  EXPECT_FALSE(EntryExists("TidewellLaunchTest"));
  for (int i = 0; i < form_.list.entryList.Count(); ++i)
    EXPECT_NE("TidewellLaunchTest", form_.list.entryList.Item(i).SubItems[0]);
  EXPECT_TRUE(ui_.Texts("message").empty());
}

TEST_F(LaunchUnderWine, NoRunsNothing) {
  ui_.answers = {IDNO};
  form_.list.uninstallButton.Click();
  EXPECT_TRUE(EntryExists("TidewellLaunchTest"));
}

TEST_F(LaunchUnderWine, AMissingProgramSaysUnableToUninstall) {
  SeedEntry("TidewellLaunchTest", "Tidewell launch test", "C:\\No\\Such\\uninst.exe /S");
  form_.FillListBox();
  ASSERT_NO_FATAL_FAILURE(SelectSeededEntry());
  ui_.answers = {IDYES};
  form_.list.uninstallButton.Click();
  // The program's words, then why nothing was run and the command.
  ASSERT_EQ(1u, ui_.Texts("message").size());
  const std::string message = ui_.Texts("message")[0];
  EXPECT_EQ(0u, message.rfind("Unable to Uninstall\nNothing was run: the program's file is not there.\n", 0)) << message;
  EXPECT_NE(std::string::npos, message.find("Not found: C:\\No\\Such\\uninst.exe (looked for")) << message;
  EXPECT_NE(std::string::npos, message.find("\nCommand: C:\\No\\Such\\uninst.exe /S")) << message;
  EXPECT_TRUE(EntryExists("TidewellLaunchTest"));
}

// Exec, which starts an uninstaller and serves the message queue until it ends.
class ExecUnderWine : public ::testing::Test {
 protected:
  WinePlatform wine_;
};

TEST_F(ExecUnderWine, AMissingProgramStartsNothing) {
  EXPECT_FALSE(Exec(wine_.platform, "C:\\No\\Such\\uninst.exe /S", SW_SHOW));
}

TEST_F(ExecUnderWine, AnswersTrueWhenTheChildEndsWhateverItsExitCode) {
  for (int code : {0, 3, 259}) {
    const std::string marker = TestFolder() + "exit-" + std::to_string(code) + ".txt";
    DeleteFileA(marker.c_str());
    EXPECT_TRUE(Exec(wine_.platform,
                     "\"" + FakeUninstaller() + "\" --sleep 200 --marker \"" + marker + "\" --exit " +
                         std::to_string(code),
                     SW_SHOW))
        << code;
    EXPECT_FALSE(ReadFileText(marker).empty()) << "the wait ended before the child did, code " << code;
    DeleteFileA(marker.c_str());
  }
}

TEST_F(ExecUnderWine, WaitingUsesAlmostNoProcessorTime) {
  const double before = ProcessCpuSeconds();
  const DWORD start = GetTickCount();
  ASSERT_TRUE(Exec(wine_.platform, "\"" + FakeUninstaller() + "\" --sleep 3000", SW_SHOW));
  const DWORD elapsed = GetTickCount() - start;
  const double used = ProcessCpuSeconds() - before;
  std::printf("waited %lu ms for the child, using %.3f s of processor time\n", elapsed, used);
  EXPECT_GE(elapsed, 2900u);
  EXPECT_LT(used, 0.1);
}

// An uninstaller in a folder of any name, with arguments of any script, is started as the command
// says, unquoted path mended as for any other; it removes an entry whose key name no code page holds.
TEST_F(ExecUnderWine, ACommandOfAnyScriptRunsAsItIsWritten) {
  const std::string folder = "C:\\Program Files\\\xce\x95\xce\xbb\xce\xbb\xce\xac \xe8\xa1\xa8 \xd0\x96";  // Ελλά 表 Ж
  const std::string program = folder + "\\\xc3\xbcninst \xe2\x9c\x93.exe";                        // ünist ✓.exe
  const std::string key = "TidewellLaunch \xe5\xbe\xae\xe4\xbf\xa1 \xf0\x9f\x98\x80";
  const std::string marker = TestFolder() + "marker \xce\xb1.txt";
  RemoveTree(folder);
  ASSERT_TRUE(CreateDirectoryW(platform::Widen(folder).c_str(), nullptr));
  ASSERT_TRUE(CopyFileW(platform::Widen(FakeUninstaller()).c_str(), platform::Widen(program).c_str(), FALSE));
  HKEY entry = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, platform::Widen(kUninstallPath + key).c_str(), 0, nullptr,
                                           0, KEY_ALL_ACCESS, nullptr, &entry, nullptr));
  RegCloseKey(entry);
  for (const std::string& command : {"\"" + program + "\" --remove-key \"" + key + "\" --marker \"" + marker + "\"",
                                     program + " --marker \"" + marker + "\""}) {
    DeleteFileW(platform::Widen(marker).c_str());
    ASSERT_TRUE(Exec(wine_.platform, command, SW_SHOW)) << command;
    std::string ran;
    const HANDLE file = CreateFileW(platform::Widen(marker).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      char buffer[512];
      DWORD read = 0;
      ReadFile(file, buffer, sizeof buffer, &read, nullptr);
      ran.assign(buffer, read);
      CloseHandle(file);
    }
    EXPECT_EQ(program, ran) << command;
  }
  HKEY gone = nullptr;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND,
            RegOpenKeyExW(HKEY_LOCAL_MACHINE, platform::Widen(kUninstallPath + key).c_str(), 0, KEY_READ, &gone));
  DeleteFileW(platform::Widen(marker).c_str());
  RemoveTree(folder);
}

TEST_F(ExecUnderWine, APlantedProgramAtTheFirstBlankDoesNotRun) {
  const std::string folder = "C:\\Program Files\\Tidewell Launch Test\\";
  CreateDirectoryA(folder.c_str(), nullptr);
  const std::string real = folder + "uninst.exe";
  const std::string planted = "C:\\Program.exe";
  ASSERT_TRUE(CopyFileA(FakeUninstaller().c_str(), real.c_str(), FALSE));
  ASSERT_TRUE(CopyFileA(FakeUninstaller().c_str(), planted.c_str(), FALSE));
  const std::string marker = TestFolder() + "planted-marker.txt";
  DeleteFileA(marker.c_str());
  ASSERT_TRUE(Exec(wine_.platform, real + " --marker " + marker, SW_SHOW));
  const std::string ran = ReadFileText(marker);
  DeleteFileA(marker.c_str());
  DeleteFileA(real.c_str());
  DeleteFileA(planted.c_str());
  RemoveDirectoryA(folder.c_str());
  EXPECT_NE(std::string::npos, ran.find("Tidewell Launch Test")) << "ran: " << ran;
}

// A name without a folder runs from the system's folders alone: an MsiExec.exe beside this program
// and one in the current folder are not run, whichever view of the disk the entry's program has.
TEST_F(ExecUnderWine, APlantedMsiExecBesideTheProgramOrInTheCurrentFolderDoesNotRun) {
  const std::string current = TestFolder() + "planted-current\\";
  CreateDirectoryA(current.c_str(), nullptr);
  const std::string planted[] = {TestFolder() + "MsiExec.exe", current + "MsiExec.exe"};
  for (const std::string& file : planted) ASSERT_TRUE(CopyFileA(FakeUninstaller().c_str(), file.c_str(), FALSE));
  char before[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, before);
  ASSERT_TRUE(SetCurrentDirectoryA(current.c_str()));
  // The system's MsiExec.exe ends at once, without a window, for a product it does not know; a
  // planted one (the stand-in uninstaller) writes the marker.
  const std::string marker = TestFolder() + "planted-msiexec.txt";
  const std::string command = "MsiExec.exe /qn /X{0C0A5E7E-1D6B-4C57-9C2E-7B3A1F0D4E21} --marker " + marker;
  for (bool sixtyFourBit : {false, true}) {
    SCOPED_TRACE(sixtyFourBit ? "a 64-bit program's entry" : "a 32-bit program's entry");
    DeleteFileA(marker.c_str());
    std::string failure;
    EXPECT_TRUE(Exec(wine_.platform, command, SW_SHOW, sixtyFourBit, &failure)) << failure;
    EXPECT_EQ("", ReadFileText(marker)) << "a planted MsiExec.exe ran";
    EXPECT_EQ(wine_.real.system.SystemDirectory() + "\\MsiExec.exe",
              ResolveProgram(wine_.real.files, wine_.real.system, command, sixtyFourBit).application);
  }
  SetCurrentDirectoryA(before);
  DeleteFileA(marker.c_str());
  for (const std::string& file : planted) DeleteFileA(file.c_str());
  RemoveDirectoryA(current.c_str());
}

}  // namespace
