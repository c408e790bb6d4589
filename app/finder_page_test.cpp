#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "platform/memory/memory_platform.h"
#include "tests/support/seeded_entries.h"

namespace {

using platform::MemoryPlatform;

class FinderPageWindowTest : public ::testing::Test {
 protected:
  FinderPageWindowTest() {
    form.WinDir = "C:\\WINDOWS\\";
    form.SysDir = "C:\\WINDOWS\\system32\\";
  }

  MemoryPlatform mp;
  MainWindow form{mp.platform()};
};

// The panel's caption and colours, and the beep, say what Find found, and the line under the box
// the path it looked for when variables made it another; an empty box gets a message, not an answer.
TEST_F(FinderPageWindowTest, FindShowsItsAnswerInThePanelAndBeeps) {
  mp.files.AddFile("C:\\WINDOWS\\notepad.exe");
  mp.files.SetEnvironment("ProgramFiles", "C:\\Program Files");
  mp.files.AddFile("C:\\Program Files\\Anchor Tools\\unins000.exe");
  const struct {
    std::string text, caption;
    TColor background, font;
    std::vector<std::string> beeps, messages;
    std::string lookedFor;
  } cases[] = {
      {"notepad", "Exists", clLime, clBlack, {"0"}, {}, ""},
      {"gone.exe", "NonExistent", clRed, clWhite, {"16"}, {}, ""},
      {"%ProgramFiles%\\Anchor Tools\\unins000.exe", "Exists", clLime, clBlack, {"0"}, {},
       "Looked for C:\\Program Files\\Anchor Tools\\unins000.exe"},
      {"%ProgramFiles%\\Anchor Tools\\gone.exe", "NonExistent", clRed, clWhite, {"16"}, {},
       "Looked for C:\\Program Files\\Anchor Tools\\gone.exe"},
      {" \"\" ", "Result", clBtnFace, clWindowText, {},
       {"Type or paste the path of a file or folder into the box, then press Find."}, ""},
  };
  for (const auto& c : cases) {
    mp.ui.shown.clear();
    form.finderPath.SetText(c.text);
    form.findButton.Click();
    EXPECT_EQ(c.caption, form.findResult.Caption()) << c.text;
    EXPECT_EQ(c.background, form.findResult.Color()) << c.text;
    EXPECT_EQ(c.font, form.findResult.FontColor()) << c.text;
    EXPECT_EQ(c.beeps, mp.ui.Texts("beep")) << c.text;
    EXPECT_EQ(c.messages, mp.ui.Texts("message")) << c.text;
    EXPECT_EQ(c.lookedFor, form.lookedForLabel.Caption()) << c.text;
  }
}

// The answer is about the box's text as it stood: typing, or a click in the uninstall string,
// takes it away.
TEST_F(FinderPageWindowTest, TheResultGoesWhenTheBoxChangesOrTheUninstallStringIsClicked) {
  form.finderCommand.SetText("\"C:\\WINDOWS\\notepad.exe\" /S");
  form.finderCommand.Select(1, 22);
  form.pasteButton.Click();
  EXPECT_EQ(form.finderPath.Text(), "C:\\WINDOWS\\notepad.exe");
  for (const auto& change : std::vector<std::function<void()>>{
           [&] { form.finderPath.TextFromUser("C:\\WINDOWS"), form.finderPath.Change(); }, [&] { form.finderCommand.Click(); }}) {
    form.findButton.Click();
    EXPECT_NE(form.findResult.Caption(), "Result");
    change();
    EXPECT_EQ(form.findResult.Caption(), "Result");
    EXPECT_EQ(form.findResult.Color(), clBtnFace);
    EXPECT_EQ(form.findResult.FontColor(), clWindowText);
  }
  form.finderCommand.Select(0, 0);
  form.pasteButton.Click();
  EXPECT_EQ(form.finderPath.Text(), "");
  EXPECT_TRUE(mp.ui.Texts("message").empty());
}

// Test in Finder looks for the file that decided the entry's status, and the answer goes with the
// entry: another row chosen takes it away.
TEST(FinderPageTest, TestInFinderLooksForTheFileThatDecidedTheEntrysStatus) {
  MemoryPlatform mp;
  seeded::Seed(mp);
  MainWindow form{mp.platform()};
  form.FormCreate();
  const auto select = [&](const std::string& key) {
    for (int i = 0; i < form.entryList.Count(); ++i)
      if (form.entryList.Item(i).SubItems.at(0) == key) form.entryList.SelectRows({i});
    form.entryList.SelectItem();
  };
  const struct {
    std::string key, file, caption;
  } cases[] = {
      {"Alpha", "C:\\Alpha\\unins000.exe", "Exists"},
      {"Beta", "C:\\Beta\\remove.exe", "NonExistent"},
  };
  for (const auto& c : cases) {
    select(c.key);
    form.TestInFinder();
    EXPECT_EQ(3, form.pageControl.ActivePage()) << c.key;
    EXPECT_EQ(c.file, form.finderPath.Text()) << c.key;
    EXPECT_EQ(c.caption, form.findResult.Caption()) << c.key;
  }
  select("Alpha");
  EXPECT_EQ("Result", form.findResult.Caption());
}

// The edit box counts its selection in UTF-16 units: a character outside the BMP is two of them.
TEST_F(FinderPageWindowTest, PasteTakesTheSelectedCharactersWhateverTheirSize) {
  form.finderCommand.SetText("\"C:\\\xe8\xa1\xa8\\\xf0\x9f\x98\x80 \xc3\xa9.exe\" /S");  // "C:\表\😀 é.exe" /S
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
    form.finderCommand.Select(c.start, c.length);
    form.pasteButton.Click();
    EXPECT_EQ(form.finderPath.Text(), c.text) << c.start << "+" << c.length;
  }
}

}  // namespace
