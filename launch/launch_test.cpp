#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "launch/exec.h"
#include "launch/open_in_shell.h"
#include "launch/web_link.h"
#include "launch/command_line.h"
#include "platform/memory/memory_platform.h"
#include "registry/nt_registry.h"

using namespace platform;

namespace {

// Uninstall Program hands the system the program's full path, so that the system searches no
// folder for it: a name without a folder comes from the System folder or the Windows folder alone,
// never from this program's folder or the current one, where the same names are planted here; a
// path is the file that the status check finds, and only when the command names it whole.
TEST(ExecProgramTest, TheSystemIsHandedTheProgramsFullPathOrNothingRuns) {
  const std::string msiexec = "C:\\WINDOWS\\system32\\MsiExec.exe";
  const struct {
    const char* what;
    std::string command;
    bool sixtyFourBit;        // a 64-bit program's entry on 64-bit Windows, where only System32 has the file
    std::string application;  // empty: nothing runs
    std::string started;      // the command line the child is given; or, when nothing runs, part of why
  } cases[] = {
      {"a bare name", "MsiExec.exe /X{1}", false, msiexec, "MsiExec.exe /X{1}"},
      {"a bare name without .exe", "msiexec /x{1}", false, "C:\\WINDOWS\\system32\\msiexec.exe", "msiexec /x{1}"},
      {"a bare name in quotes", "\"MsiExec.exe\" /X{1}", false, msiexec, "\"MsiExec.exe\" /X{1}"},
      {"a bare name of the Windows folder", "regedit.exe /s x.reg", false, "C:\\WINDOWS\\regedit.exe",
       "regedit.exe /s x.reg"},
      {"RunDll32 and its library", "RunDll32 C:\\PROGRA~1\\App\\Ctor.dll,LaunchSetup", false,
       "C:\\WINDOWS\\system32\\RunDll32.exe", "RunDll32 C:\\PROGRA~1\\App\\Ctor.dll,LaunchSetup"},
      {"a bare name only beside the program and in the current folder", "unins000.exe /S", false, "",
       "unins000.exe is in neither C:\\WINDOWS\\system32 nor C:\\WINDOWS"},
      {"a 64-bit program's bare name, in System32", "MsiExec.exe /X{1}", true, msiexec, "MsiExec.exe /X{1}"},
      {"a quoted path", "\"C:\\Program Files\\App\\uninst.exe\" /S", false, "C:\\Program Files\\App\\uninst.exe",
       "\"C:\\Program Files\\App\\uninst.exe\" /S"},
      {"an unquoted path with blanks, C:\\Program.exe planted", "C:\\Program Files\\App\\uninst.exe /S", false,
       "C:\\Program Files\\App\\uninst.exe", "\"C:\\Program Files\\App\\uninst.exe\" /S"},
      {"a command that names C:\\Program.exe itself", "C:\\Program.exe Files\\App\\uninst.exe", false,
       "C:\\Program.exe", "C:\\Program.exe Files\\App\\uninst.exe"},
      {"a quoted path, .exe left out", "\"C:\\Program Files\\App\\uninst\" /S", false,
       "C:\\Program Files\\App\\uninst.exe", "\"C:\\Program Files\\App\\uninst\" /S"},
      {"an unquoted path alone, .exe left out", "C:\\Tools\\remove", false, "C:\\Tools\\remove.exe",
       "C:\\Tools\\remove"},
      {"an unquoted path and more, .exe left out", "C:\\Tools\\remove -f", false, "", "cannot be told for certain"},
      {"a path after an argument holding a drive", "C:\\Tools\\remove.EXE -log C:\\x.log", false,
       "C:\\Tools\\remove.EXE", "C:\\Tools\\remove.EXE -log C:\\x.log"},
      {"%SystemRoot%", "%SystemRoot%\\System32\\MsiExec.exe /X{1}", false, "C:\\WINDOWS\\System32\\MsiExec.exe",
       "%SystemRoot%\\System32\\MsiExec.exe /X{1}"},
      {"%ProgramFiles% of a 64-bit program", "\"%ProgramFiles%\\App64\\un.exe\" /S", true,
       "C:\\Program Files\\App64\\un.exe", "\"%ProgramFiles%\\App64\\un.exe\" /S"},
      {"a file that is not there", "C:\\Gone\\uninst.exe /S", false, "",
       "the program's file is not there.\nStatus check: Not found: C:\\Gone\\uninst.exe"},
      // The system would run C:\Program.exe here; the status check finds it, with ".exe" added.
      {"a file that is not there, C:\\Program.exe planted", "C:\\Program Files\\Gone\\uninst.exe /S", false, "",
       "cannot be told for certain.\nStatus check: Found C:\\Program.exe"},
      {"an unquoted path with blanks, .exe left out", "C:\\Program Files\\App\\uninst /S", false, "",
       "cannot be told for certain"},
      {"a quoted path of which only a shorter file is there", "\"C:\\Program Files\\Gone\\uninst.exe\" /S", false, "",
       "Command: \"C:\\Program Files\\Gone\\uninst.exe\" /S"},
      {"a shorter file that ends at a mark in the name", "C:\\Tools\\un-install.exe /S", false, "",
       "cannot be told for certain.\nStatus check: Found C:\\Tools\\un\n"},
      {"a folder", "\"C:\\Program Files\\App\" /S", false, "", "C:\\Program Files\\App is not a program's file"},
      {"a path without its drive", "\\Program Files\\App\\uninst.exe /S", false, "", "a path without a drive"},
      {"a path from the current folder", "App\\uninst.exe /S", false, "", "Command: App\\uninst.exe /S"},
      {"no command", " ", false, "", "the command is empty"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryPlatform mp;
    if (c.sixtyFourBit) mp.SetWow64();
    mp.files.SetEnvironment("SystemRoot", "C:\\WINDOWS");
    mp.files.SetEnvironment("ProgramFiles", "C:\\Program Files (x86)");
    mp.files.SetEnvironment("ProgramW6432", "C:\\Program Files");
    for (const char* file : {"C:\\WINDOWS\\system32\\MsiExec.exe", "C:\\WINDOWS\\system32\\RunDll32.exe",
                             "C:\\WINDOWS\\regedit.exe", "C:\\Program.exe", "C:\\Program Files\\App\\uninst.exe",
                             "C:\\Program Files\\App64\\un.exe", "C:\\Tools\\remove.EXE", "C:\\Tools\\un",
                             // Planted beside this program and in the current folder.
                             "C:\\Tools\\Tidewell\\MsiExec.exe", "C:\\Tools\\Tidewell\\unins000.exe",
                             "C:\\Downloads\\MsiExec.exe", "C:\\Downloads\\unins000.exe", "C:\\Downloads\\App\\uninst.exe"})
      mp.files.AddFile(file);
    mp.files.SetCurrentDirectory("C:\\Downloads");
    if (!c.application.empty()) mp.processes.startable[c.started] = 0;
    std::string failure;
    EXPECT_EQ(!c.application.empty(), Exec(mp.platform(), c.command, kSwShow, c.sixtyFourBit, &failure));
    if (c.application.empty()) {
      EXPECT_TRUE(mp.processes.started.empty());
      EXPECT_EQ(0u, failure.rfind("Nothing was run: ", 0)) << failure;
      EXPECT_NE(std::string::npos, failure.find(c.started)) << failure;
      EXPECT_NE(std::string::npos, failure.find("\nCommand: ")) << failure;
      continue;
    }
    EXPECT_EQ(1u, mp.processes.started.size()) << failure;
    if (mp.processes.started.size() != 1) continue;
    EXPECT_EQ(c.application, mp.processes.started[0].application);
    EXPECT_EQ(c.started, mp.processes.started[0].commandLine);
  }
}

class LaunchTest : public ::testing::Test {
 protected:
  LaunchTest() { mp.files.AddFile("C:\\App\\u.exe"); }
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

// Open Key in Registry Editor: the editor opens at the key it showed last, which is set to the
// entry's key as the editor of this Windows names it.
TEST(RegistryEditorTest, TheEditorIsToldTheEntrysKeyAsItNamesIt) {
  const std::string uninstall = "\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App";
  const struct {
    Source source;
    bool wow64;
    std::string lastKey;
  } cases[] = {
      {Source::kMachine64, true, "Computer\\HKEY_LOCAL_MACHINE\\SOFTWARE" + uninstall},
      {Source::kMachine32, true, "Computer\\HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node" + uninstall},
      {Source::kMachine32, false, "Computer\\HKEY_LOCAL_MACHINE\\SOFTWARE" + uninstall},
      {Source::kUser, true, "Computer\\HKEY_CURRENT_USER\\SOFTWARE" + uninstall},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(SourceName(c.source) + std::string(c.wow64 ? " on 64-bit Windows" : ""));
    MemoryPlatform mp;
    if (c.wow64) mp.SetWow64();
    Entry entry;
    entry.source = c.source;
    entry.keyName = "App";
    EXPECT_EQ("", OpenKeyInRegistryEditor(mp.platform(), entry, c.wow64));
    TNTRegistry reg(mp.registry);
    reg.SetRoot(kHkeyCurrentUser);
    ASSERT_TRUE(reg.OpenPath("\\Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Regedit", false));
    EXPECT_EQ(c.lastKey, reg.ReadText("LastKey"));
  }
}

}  // namespace
