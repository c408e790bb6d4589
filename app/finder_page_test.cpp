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
    form.finder.winDir = "C:\\WINDOWS\\";
    form.finder.sysDir = "C:\\WINDOWS\\system32\\";
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
    form.finder.path.SetText(c.text);
    form.finder.findButton.Click();
    EXPECT_EQ(c.caption, form.finder.result.Caption()) << c.text;
    EXPECT_EQ(c.background, form.finder.result.Color()) << c.text;
    EXPECT_EQ(c.font, form.finder.result.FontColor()) << c.text;
    EXPECT_EQ(c.beeps, mp.ui.Texts("beep")) << c.text;
    EXPECT_EQ(c.messages, mp.ui.Texts("message")) << c.text;
    EXPECT_EQ(c.lookedFor, form.finder.lookedFor.Caption()) << c.text;
  }
}

// The answer is about the box's text as it stood: typing, or a click in the uninstall string,
// takes it away.
TEST_F(FinderPageWindowTest, TheResultGoesWhenTheBoxChangesOrTheUninstallStringIsClicked) {
  form.finder.command.SetText("\"C:\\WINDOWS\\notepad.exe\" /S");
  form.finder.command.Select(1, 22);
  form.finder.pasteButton.Click();
  EXPECT_EQ(form.finder.path.Text(), "C:\\WINDOWS\\notepad.exe");
  for (const auto& change : std::vector<std::function<void()>>{
           [&] { form.finder.path.TextFromUser("C:\\WINDOWS"), form.finder.path.Change(); }, [&] { form.finder.command.Click(); }}) {
    form.finder.findButton.Click();
    EXPECT_NE(form.finder.result.Caption(), "Result");
    change();
    EXPECT_EQ(form.finder.result.Caption(), "Result");
    EXPECT_EQ(form.finder.result.Color(), clBtnFace);
    EXPECT_EQ(form.finder.result.FontColor(), clWindowText);
  }
  form.finder.command.Select(0, 0);
  form.finder.pasteButton.Click();
  EXPECT_EQ(form.finder.path.Text(), "");
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
    for (int i = 0; i < form.list.entryList.Count(); ++i)
      if (form.list.entryList.Item(i).SubItems.at(0) == key) form.list.entryList.SelectRows({i});
    form.list.entryList.SelectItem();
  };
  const struct {
    std::string key, file, caption;
  } cases[] = {
      {"Alpha", "C:\\Alpha\\unins000.exe", "Exists"},
      {"Beta", "C:\\Beta\\remove.exe", "NonExistent"},
  };
  for (const auto& c : cases) {
    select(c.key);
    form.commands.TestInFinder();
    EXPECT_EQ(3, form.pageControl.ActivePage()) << c.key;
    EXPECT_EQ(c.file, form.finder.path.Text()) << c.key;
    EXPECT_EQ(c.caption, form.finder.result.Caption()) << c.key;
  }
  select("Alpha");
  EXPECT_EQ("Result", form.finder.result.Caption());
}

// The edit box counts its selection in UTF-16 units: a character outside the BMP is two of them.
TEST_F(FinderPageWindowTest, PasteTakesTheSelectedCharactersWhateverTheirSize) {
  form.finder.command.SetText("\"C:\\\xe8\xa1\xa8\\\xf0\x9f\x98\x80 \xc3\xa9.exe\" /S");  // "C:\表\😀 é.exe" /S
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
    form.finder.command.Select(c.start, c.length);
    form.finder.pasteButton.Click();
    EXPECT_EQ(form.finder.path.Text(), c.text) << c.start << "+" << c.length;
  }
}

}  // namespace

TEST(FinderPageTest, CheckPathAddsOneBackslash) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"", ""},
      {"C:\\Windows", "C:\\Windows\\"},
      {"C:\\Windows\\", "C:\\Windows\\"},
      {"C:\\Windows\\\\", "C:\\Windows\\\\"},
      {"\\", "\\"},
      {"x", "x\\"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.out, CheckPath(c.in)) << c.in;
}
