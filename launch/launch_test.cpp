#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "launch/exec.h"
#include "launch/open_in_shell.h"
#include "launch/web_link.h"
#include "launch/command_line.h"
#include "platform/memory/memory_platform.h"

using namespace platform;

namespace {

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
  MemoryPlatform mp;
};

TEST_F(LaunchTest, QuitWhileWaitingEndsTheProgramAtOnce) {
  mp.processes.startable["C:\\App\\u.exe"] = 5;
  mp.ui.quitAfterMessages = 0;
  mp.ui.pendingMessages.push_back([] {});
  EXPECT_THROW(Exec(mp.platform(), "C:\\App\\u.exe", kSwShow), ProgramExit);
}

TEST_F(LaunchTest, ExecAnswersTrueWhenTheChildEndsWhateverItsCode) {
  mp.processes.startable["C:\\App\\u.exe"] = 0;
  EXPECT_TRUE(Exec(mp.platform(), "C:\\App\\u.exe", kSwShow));
  EXPECT_FALSE(Exec(mp.platform(), "C:\\Missing\\u.exe", kSwShow));
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
  const std::string page = HelpPageAddress("C:\\Tools\\Tidewell\\");
  EXPECT_EQ("C:\\Tools\\Tidewell\\Tidewell.html", page) << "beside the executable, so that it works offline";
  for (const auto& c : cases) {
    mp.ui.shown.clear();
    mp.ui.shellResults[page] = c.result;
    const std::string message = OpenWebLink(mp.ui, page);
    ASSERT_EQ("shell", mp.ui.shown.at(0).kind);
    EXPECT_EQ(page, mp.ui.shown[0].text);
    EXPECT_EQ(1u, mp.ui.shown[0].style) << "SW_SHOWNORMAL";
    EXPECT_EQ(c.message ? c.message : "", message) << c.result;
  }
}

// On 64-bit Windows the registry editor is the 64-bit one, started with the redirection off around
// the start alone; the shell, which loads libraries, is never called with the redirection off.
TEST(RegistryEditorTest, TheSixtyFourBitEditorStartsWithoutTheShellAndTheShellNeverWithTheRedirectionOff) {
  const std::string editor = "\"C:\\WINDOWS\\regedit.exe\" \"C:\\b\\Undo.reg\"";
  const struct {
    const char* what;
    bool wow64, startable;
    std::vector<std::string> started, shell, redirection;
  } cases[] = {
      {"64-bit Windows", true, true, {editor}, {}, {"disable", "revert 24301"}},
      {"64-bit Windows, the editor asks for rights", true, false, {}, {"C:\\WINDOWS\\regedit.exe \"C:\\b\\Undo.reg\""},
       {"disable", "revert 24301"}},
      {"32-bit Windows", false, true, {}, {"C:\\WINDOWS\\regedit.exe \"C:\\b\\Undo.reg\""}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryPlatform mp;
    if (c.wow64) mp.SetWow64();
    if (c.startable) mp.processes.startable[editor] = 0;
    EXPECT_LT(32, StartRegistryEditor(mp.platform(), c.wow64, "\"C:\\b\\Undo.reg\""));
    std::vector<std::string> started;
    for (const auto& child : mp.processes.started) started.push_back(child.commandLine);
    EXPECT_EQ(c.started, started);
    EXPECT_EQ(c.shell, mp.ui.Texts("shell"));
    EXPECT_EQ(c.redirection, mp.system.redirectionLog);
    EXPECT_EQ(0, mp.ui.shellOpensWithRedirectionOff);
    EXPECT_EQ(0, mp.processes.openProcesses);
  }
}

}  // namespace
