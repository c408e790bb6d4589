#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/form1.h"
#include "platform/memory/memory_platform.h"

namespace {

using platform::MemoryPlatform;

class FinderPageWindowTest : public ::testing::Test {
 protected:
  FinderPageWindowTest() {
    form.WinDir = "C:\\WINDOWS\\";
    form.SysDir = "C:\\WINDOWS\\system32\\";
  }

  MemoryPlatform mp;
  TForm1 form{mp.platform()};
};

// The panel's caption and colours, and the beep, say what Find found.
TEST_F(FinderPageWindowTest, FindShowsItsAnswerInThePanelAndBeeps) {
  mp.files.AddFile("C:\\WINDOWS\\notepad.exe");
  const struct {
    std::string text, caption;
    TColor background, font;
    std::string beep;
  } cases[] = {
      {"notepad", "Exists", clLime, clBlack, "0"},
      {"gone.exe", "NonExistent", clRed, clWhite, "16"},
  };
  for (const auto& c : cases) {
    mp.ui.shown.clear();
    form.Edit2.SetText(c.text);
    form.Button3.Click();
    EXPECT_EQ(c.caption, form.Panel3.Caption()) << c.text;
    EXPECT_EQ(c.background, form.Panel3.Color()) << c.text;
    EXPECT_EQ(c.font, form.Panel3.FontColor()) << c.text;
    EXPECT_EQ(std::vector<std::string>{c.beep}, mp.ui.Texts("beep")) << c.text;
  }
}

TEST_F(FinderPageWindowTest, KeepsTheResultUntilTheNextFindOrAClickInTheUninstallString) {
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
TEST_F(FinderPageWindowTest, PasteTakesTheSelectedCharactersWhateverTheirSize) {
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
