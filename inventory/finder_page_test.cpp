#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "inventory/finder_page.h"
#include "platform/memory/memory_platform.h"

namespace {

using platform::MemoryPlatform;

// The Windows folder is C:\WINDOWS and the System folder C:\WINDOWS\system32.
TEST(FinderPageTest, TestsTheTypedTextAsAFileFolderOrProgram) {
  MemoryPlatform mp;
  const auto Find = [&](const std::string& text) {
    return AddressExists(mp.files, "C:\\WINDOWS\\", "C:\\WINDOWS\\system32\\", text);
  };
  const bool exists = true, missing = false;
  mp.files.AddFile("C:\\WINDOWS\\notepad.exe");
  mp.files.AddFile("C:\\WINDOWS\\system32\\calc.exe");
  mp.files.AddFile("C:\\Tools\\old.exe");
  mp.files.SetLastWriteTime("C:\\Tools\\old.exe", 0);
  mp.files.AddFolder("C:\\Folders\\a.exe");
  mp.files.AddFile("C:\\Folders\\b.exe");
  mp.files.AddFile("C:\\Files\\b.exe");
  struct Case {
    std::string text;
    bool look;
  } cases[] = {
      {"notepad.exe", exists},  // through the Windows folder
      {"notepad", exists},      // ".exe" added
      {"calc", exists},         // through the System folder
      {"C:\\WINDOWS", exists},  // folder test
      {"C:\\WINDOWS\\", exists},
      {"c:\\windows\\NOTEPAD.EXE", exists},
      {"\"C:\\WINDOWS\\notepad.exe\"", missing},  // the quotes stay part of the text
      {" notepad.exe", missing},                 // no trimming
      {"", missing},
      {"C:\\Tools\\old.exe", exists},            // its time has no DOS date
      {"C:\\Files\\*.exe", exists},              // the first match is a file
      {"C:\\Folders\\*.exe", missing},           // the first match is a folder
      {"C:\\WINDOWS\\notepad.exe /S", missing},
      {"C:\\WINDOWS\\" + std::string(300, 'n'), missing},
      {"C:\\\xce\x95\xce\xbb\xce\xbb\xce\xac\\\xc3\xbc.exe", exists},   // Ελλά\ü.exe
      {"c:\\\xce\xb5\xce\x9b\xce\x9b\xce\x86\\\xc3\x9c", exists},      // in capitals, ".exe" added
      {"C:\\\xce\x95\xce\xbb\xce\xbb\xce\xac\\\xc3\xbc\xc3\xbc.exe", missing},
  };
  mp.files.AddFile("C:\\\xce\x95\xce\xbb\xce\xbb\xce\xac\\\xc3\xbc.exe");
  for (const Case& c : cases) EXPECT_EQ(Find(c.text), c.look) << c.text;

  mp.files.AddFile("C:\\WINDOWS\\.exe");
  EXPECT_EQ(Find(""), exists);
}

// A typed command's variables expand as the status check expands them: a 64-bit program's
// %ProgramFiles% is the 64-bit folder, and its System folder the 64-bit one.
TEST(FinderPageTest, ExpandsVariablesAsTheStatusCheckDoes) {
  MemoryPlatform mp;
  mp.SetWow64();
  mp.files.SetEnvironment("ProgramFiles", "C:\\Programs32");
  mp.files.SetEnvironment("ProgramW6432", "C:\\Program Files");
  mp.files.AddFile("C:\\Program Files\\Anchor Tools\\unins000.exe");
  mp.files.AddFile("C:\\Programs32\\Kelp\\uninstall.exe");
  mp.files.AddFile("C:\\WINDOWS\\system32\\remove64.exe");
  const struct {
    std::string text;
    bool sixtyFourBit;
    std::string path;
    bool exists;
  } cases[] = {
      {"%ProgramFiles%\\Anchor Tools\\unins000.exe", true, "C:\\Program Files\\Anchor Tools\\unins000.exe", true},
      {"%programfiles%\\Anchor Tools\\unins000", true, "C:\\Program Files\\Anchor Tools\\unins000", true},
      {"%ProgramFiles%\\Anchor Tools\\unins000.exe", false, "C:\\Programs32\\Anchor Tools\\unins000.exe", false},
      {"%ProgramFiles%\\Kelp\\uninstall.exe", false, "C:\\Programs32\\Kelp\\uninstall.exe", true},
      {"%NoSuchVariable%\\x.exe", false, "%NoSuchVariable%\\x.exe", false},
      {"remove64.exe", true, "remove64.exe", true},
      {"remove64.exe", false, "remove64.exe", false},
  };
  for (const auto& c : cases) {
    const AddressAnswer answer =
        FindAddress(mp.files, mp.system, "C:\\WINDOWS\\", "C:\\WINDOWS\\system32\\", c.text, c.sixtyFourBit);
    EXPECT_EQ(c.path, answer.path) << c.text;
    EXPECT_EQ(c.exists, answer.exists) << c.text << " " << c.sixtyFourBit;
  }
}

}  // namespace
