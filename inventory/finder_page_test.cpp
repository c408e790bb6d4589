#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/form1.h"
#include "platform/memory/memory_platform.h"

namespace {

using platform::MemoryPlatform;

// The Windows folder is C:\WINDOWS and the System folder C:\WINDOWS\system32.
class FinderPageTest : public ::testing::Test {
 protected:
  FinderPageTest() {
    form.WinDir = "C:\\WINDOWS\\";
    form.SysDir = "C:\\WINDOWS\\system32\\";
  }
  // The panel's look after a Find of the text, and the beep it sounded.
  struct Look {
    std::string caption;
    TColor background, font;
    std::string beep;
    bool operator==(const Look&) const = default;
  };
  Look Find(const std::string& text) {
    mp.ui.shown.clear();
    form.Edit2.SetText(text);
    form.Button3.Click();
    const std::vector<std::string> beeps = mp.ui.Texts("beep");
    return {form.Panel3.Caption(), form.Panel3.Color(), form.Panel3.FontColor(),
            beeps.size() == 1 ? beeps.front() : "beeps: " + std::to_string(beeps.size())};
  }

  MemoryPlatform mp;
  TForm1 form{mp.platform()};
};

TEST_F(FinderPageTest, TestsTheTypedTextAsAFileFolderOrProgram) {
  const Look exists{"Exists", clLime, clBlack, "0"};
  const Look missing{"NonExistent", clRed, clWhite, "16"};
  mp.files.AddFile("C:\\WINDOWS\\notepad.exe");
  mp.files.AddFile("C:\\WINDOWS\\system32\\calc.exe");
  mp.files.AddFile("C:\\Tools\\old.exe");
  mp.files.SetLastWriteTime("C:\\Tools\\old.exe", 0);
  mp.files.AddFolder("C:\\Folders\\a.exe");
  mp.files.AddFile("C:\\Folders\\b.exe");
  mp.files.AddFile("C:\\Files\\b.exe");
  struct Case {
    std::string text;
    Look look;
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

TEST_F(FinderPageTest, KeepsTheResultUntilTheNextFindOrAClickInTheUninstallString) {
  form.Edit1.SetText("\"C:\\WINDOWS\\notepad.exe\" /S");
  form.Edit1.Select(1, 22);
  form.Button5.Click();
  EXPECT_EQ(form.Edit2.Text(), "C:\\WINDOWS\\notepad.exe");
  form.Button3.Click();
  EXPECT_EQ(form.Panel3.Caption(), "NonExistent");

  form.Edit2.SetText("C:\\WINDOWS");  // typing leaves the panel alone
  form.Edit2.TextFromUser("C:\\WINDOWS");
  EXPECT_EQ(form.Panel3.Caption(), "NonExistent");

  form.Edit1.Click();
  EXPECT_EQ(form.Panel3.Caption(), "Result");
  EXPECT_EQ(form.Panel3.Color(), clBtnFace);
  EXPECT_EQ(form.Panel3.FontColor(), clWindowText);

  form.Edit1.Select(0, 0);
  form.Button5.Click();
  EXPECT_EQ(form.Edit2.Text(), "");
  EXPECT_TRUE(mp.ui.Texts("message").empty());
}

// The edit box counts its selection in UTF-16 units: a character outside the BMP is two of them.
TEST_F(FinderPageTest, PasteTakesTheSelectedCharactersWhateverTheirSize) {
  form.Edit1.SetText("\"C:\\\xe8\xa1\xa8\\\xf0\x9f\x98\x80 \xc3\xa9.exe\" /S");  // "C:\表\😀 é.exe" /S
  const struct {
    int start, length;
    std::string text;
  } cases[] = {
      {1, 13, "C:\\\xe8\xa1\xa8\\\xf0\x9f\x98\x80 \xc3\xa9.exe"},
      {4, 1, "\xe8\xa1\xa8"},
      {6, 2, "\xf0\x9f\x98\x80"},
      {8, 2, " \xc3\xa9"},
      {15, 5, " /S"},
      {30, 2, ""},
  };
  for (const auto& c : cases) {
    form.Edit1.Select(c.start, c.length);
    form.Button5.Click();
    EXPECT_EQ(form.Edit2.Text(), c.text) << c.start << "+" << c.length;
  }
}

}  // namespace
