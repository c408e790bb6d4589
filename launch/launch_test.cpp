#include <gtest/gtest.h>

#include <set>

#include "app/form1.h"
#include "launch/command_line.h"
#include "platform/memory/memory_platform.h"
#include "registry/nt_registry.h"

using namespace platform;

namespace {

const char* kUninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

TEST(QuoteProgramPath, APlantedProgramIsNotWhatRuns) {
  const std::set<std::string> files = {"C:\\Program.exe", "C:\\Program Files\\App\\uninst.exe",
                                       "C:\\Tools\\remove.EXE", "C:\\Windows\\system32\\MsiExec.exe"};
  const auto isFile = [&](const std::string& p) { return files.count(p) > 0; };
  const struct {
    const char* line;
    const char* expected;
  } cases[] = {
      // Unquoted, the system would try C:\Program.exe first; quoted, only the named file runs.
      {"C:\\Program Files\\App\\uninst.exe /S", "\"C:\\Program Files\\App\\uninst.exe\" /S"},
      {"C:\\Program Files\\App\\uninst.exe", "\"C:\\Program Files\\App\\uninst.exe\""},
      // A line that names C:\Program.exe itself runs it, as before.
      {"C:\\Program.exe Files\\App\\uninst.exe", "C:\\Program.exe Files\\App\\uninst.exe"},
      {"\"C:\\Program Files\\App\\uninst.exe\" /S", "\"C:\\Program Files\\App\\uninst.exe\" /S"},
      {"MsiExec.exe /X{12345678-ABCD}", "MsiExec.exe /X{12345678-ABCD}"},
      {"RunDll32 C:\\PROGRA~1\\COMMON~1\\INSTAL~1\\engine\\6\\INTEL3~1\\Ctor.dll,LaunchSetup",
       "RunDll32 C:\\PROGRA~1\\COMMON~1\\INSTAL~1\\engine\\6\\INTEL3~1\\Ctor.dll,LaunchSetup"},
      {"C:\\Tools\\remove.EXE -f", "C:\\Tools\\remove.EXE -f"},
      {"C:\\Program Files\\Gone\\uninst.exe /S", "C:\\Program Files\\Gone\\uninst.exe /S"},
      {"C:\\Program Files\\App\\uninst.exe.bak /S", "C:\\Program Files\\App\\uninst.exe.bak /S"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(c.expected, QuoteProgramPath(c.line, isFile)) << c.line;
}

class LaunchTest : public ::testing::Test {
 protected:
  LaunchTest() : form(mp.platform()) {
    mp.registry.SetString(kHkeyLocalMachine, std::string(kUninstall) + "App", "DisplayName", "App");
    mp.registry.SetString(kHkeyLocalMachine, std::string(kUninstall) + "App", "UninstallString", "C:\\App\\u.exe");
    form.FormCreate();
    form.ListView1.Select(0);
  }
  MemoryPlatform mp;
  TForm1 form;
};

TEST_F(LaunchTest, UninstallRunsTheCommandAndRescansWhenItEnds) {
  mp.processes.startable["C:\\App\\u.exe"] = 2;
  mp.ui.answers = {kIdYes};
  // The uninstaller removes its own entry while it runs.
  mp.processes.onInput = [&](int) {
    TNTRegistry reg(mp.registry);
    reg.SetRoot(kHkeyLocalMachine);
    reg.DeleteTree(std::string("\\") + kUninstall + "App");
  };
  form.Button1.Click();
  ASSERT_EQ(1u, mp.processes.started.size());
  EXPECT_EQ(kSwShow, mp.processes.started[0].show);
  EXPECT_TRUE(mp.processes.started[0].closed);
  EXPECT_EQ(0, mp.processes.openProcesses);
  EXPECT_EQ(0, form.ListView1.Count()) << "the rescan shows the entry gone";
  ASSERT_EQ(1u, mp.ui.Texts("ask").size());
  EXPECT_EQ("Uninstall Program?", mp.ui.shown[0].caption);
  EXPECT_EQ(20u, mp.ui.shown[0].style);
}

TEST_F(LaunchTest, NoRunsNothingAndDoesNotRescan) {
  mp.processes.startable["C:\\App\\u.exe"] = 0;
  mp.registry.SetString(kHkeyLocalMachine, std::string(kUninstall) + "New", "DisplayName", "New");
  mp.registry.SetString(kHkeyLocalMachine, std::string(kUninstall) + "New", "UninstallString", "x");
  mp.ui.answers = {kIdNo};
  form.Button1.Click();
  EXPECT_TRUE(mp.processes.started.empty());
  EXPECT_EQ(1, form.ListView1.Count()) << "no rescan: the new entry is not listed yet";
}

TEST_F(LaunchTest, AProgramThatCannotStartSaysSoAndRescans) {
  mp.ui.answers = {kIdYes};
  mp.registry.SetString(kHkeyLocalMachine, std::string(kUninstall) + "New", "DisplayName", "New");
  mp.registry.SetString(kHkeyLocalMachine, std::string(kUninstall) + "New", "UninstallString", "x");
  form.Button1.Click();
  EXPECT_EQ(std::vector<std::string>{"Unable to Uninstall"}, mp.ui.Texts("message"));
  EXPECT_EQ(2, form.ListView1.Count());
}

TEST_F(LaunchTest, NoSelectionAsksToSelect) {
  form.ListView1.Select(-1);
  form.Button1.Click();
  EXPECT_EQ(std::vector<std::string>{kSelectFirst}, mp.ui.Texts("message"));
  EXPECT_TRUE(mp.ui.Texts("ask").empty());
}

TEST_F(LaunchTest, ASecondUninstallCanStartAndFinishInsideTheWait) {
  mp.processes.startable["C:\\App\\u.exe"] = 3;
  mp.ui.answers = {kIdYes, kIdYes};
  bool nested = false;
  mp.processes.onInput = [&](int) {
    if (nested) return;
    nested = true;
    mp.ui.pendingMessages.push_back([&] { form.Button1.Click(); });
  };
  form.Button1.Click();
  ASSERT_EQ(2u, mp.processes.started.size());
  EXPECT_TRUE(mp.processes.started[0].closed && mp.processes.started[1].closed);
}

TEST_F(LaunchTest, QuitWhileWaitingEndsTheProgramAtOnce) {
  mp.processes.startable["C:\\App\\u.exe"] = 5;
  mp.ui.quitAfterMessages = 0;
  mp.ui.pendingMessages.push_back([] {});
  EXPECT_THROW(form.Exec("C:\\App\\u.exe", kSwShow), ProgramExit);
}

TEST_F(LaunchTest, ExecAnswersTrueWhenTheChildEndsWhateverItsCode) {
  mp.processes.startable["C:\\App\\u.exe"] = 0;
  EXPECT_TRUE(form.Exec("C:\\App\\u.exe", kSwShow));
  EXPECT_FALSE(form.Exec("C:\\Missing\\u.exe", kSwShow));
}

TEST_F(LaunchTest, WebLinkMessages) {
  const struct {
    int result;
    const char* message;  // nullptr: nothing shown
  } cases[] = {
      {42, nullptr}, {33, nullptr}, {1, nullptr}, {4, nullptr}, {12, nullptr}, {25, nullptr},
      {0, "The operating system is out of memory or resources."},
      {2, "The specified file was not found."},
      {3, "The specified path was not found."},
      {5, "Windows 95 only: The operating system denied access to the specified file."},
      {8, "Windows 95 only: There was not enough memory to complete the operation."},
      {11, "The .EXE file is invalid (non-Win32 .EXE or error in .EXE image)."},
      {26, "A sharing violation occurred."},
      {27, "The filename association is incomplete or invalid."},
      {28, "The DDE transaction could not be completed because the request timed out."},
      {29, "The DDE transaction failed."},
      {30, "The DDE transaction could not be completed because other DDE transactions were being processed."},
      {31, "There is no application associated with the given filename extension."},
      {32, "Windows 95 only: The specified dynamic-link library was not found."},
  };
  const std::string page = "C:\\Tools\\Tidewell\\Tidewell.html";
  for (const auto& c : cases) {
    mp.ui.shown.clear();
    mp.ui.shellResults[page] = c.result;
    form.Label8.Click();
    ASSERT_EQ("shell", mp.ui.shown.at(0).kind);
    EXPECT_EQ(page, mp.ui.shown[0].text);
    EXPECT_EQ(1u, mp.ui.shown[0].style) << "SW_SHOWNORMAL";
    const auto messages = mp.ui.Texts("message");
    if (c.message) EXPECT_EQ(std::vector<std::string>{c.message}, messages) << c.result;
    else EXPECT_TRUE(messages.empty()) << c.result;
  }
}

}  // namespace
