// The Backups page as the user works it: the selected line restored or deleted, the message, and the
// lists afterwards.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/form1.h"
#include "platform/memory/memory_platform.h"
#include "registry/nt_registry.h"

using namespace platform;

namespace {

const std::string kUninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::string kBackup = "C:\\Tools\\Tidewell\\Backup\\";

class BackupsPageWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    mp.registry.SetBackupRestoreRight(true);
    mp.files.AddFolder(kBackup);
  }
  // Selects the line as a click on it does.
  void Select(const std::string& name) {
    const auto& items = form.ListBox1.Items();
    for (size_t i = 0; i < items.size(); ++i) {
      if (items[i] != name) continue;
      form.ListBox1.ItemIndexFromUser(static_cast<int>(i));
      form.ListBox1.Click();
      return;
    }
    FAIL() << name << " is not listed";
  }
  static bool Listed(const TListBox& list, const std::string& line) {
    for (const std::string& item : list.Items())
      if (item == line) return true;
    return false;
  }

  MemoryPlatform mp;
  TForm1 form{mp.platform()};
};

// Restore, by the button or a double click, says what it did and reads the lists again.
TEST_F(BackupsPageWindowTest, RestoreSaysWhatItDidAndReadsTheListsAgain) {
  mp.registry.SetString(kHkeyLocalMachine, kUninstall + "Saved", "DisplayName", "Saved");
  {
    TNTRegistry reg(mp.registry);
    reg.SetRoot(kHkeyLocalMachine);
    for (const char* file : {"Saved", "Other.hiv"}) ASSERT_TRUE(reg.SaveKeyToFile("\\" + kUninstall + "Saved", kBackup + file));
    ASSERT_TRUE(reg.DeleteTree("\\" + kUninstall + "Saved"));
  }
  mp.files.AddFile(kBackup + "gone.reg", "REGEDIT4\r\n\r\n");
  form.FormCreate();
  ASSERT_FALSE(Listed(form.ListBox2, "Saved"));

  Select("Saved");
  form.Button6.Click();
  EXPECT_EQ(std::vector<std::string>{"Key Restored"}, mp.ui.Texts("message"));
  EXPECT_TRUE(Listed(form.ListBox2, "Saved")) << "the scan ran after the restore";
  EXPECT_EQ(-1, form.ListBox1.ItemIndex()) << "the scan refilled the list";
  EXPECT_FALSE(form.Button6.Enabled());
  EXPECT_FALSE(form.Button7.Enabled());

  mp.ui.shown.clear();
  Select("Other.hiv");
  form.ListBox1.DblClick();
  EXPECT_EQ(std::vector<std::string>{"Key Restored"}, mp.ui.Texts("message")) << "a double click restores as the button does";

  mp.ui.shown.clear();
  Select("gone.reg");
  mp.files.RemoveFile(kBackup + "gone.reg");
  form.Button6.Click();
  EXPECT_TRUE(mp.ui.shown.empty()) << "a registry file that is gone: nothing but the scan";
  EXPECT_FALSE(Listed(form.ListBox1, "gone.reg"));
}

// A registry file is merged by the registry editor, and the window reads its lists again once the
// editor has finished: what came back is listed without Refresh List.
TEST_F(BackupsPageWindowTest, TheListsAreReadAgainOnceTheEditorHasMerged) {
  mp.files.AddFile(kBackup + "Undo20261207.reg", "REGEDIT4\r\n\r\n");
  form.FormCreate();
  const std::string editor = "\"C:\\WINDOWS\\regedit.exe\" \"" + kBackup + "Undo20261207.reg\"";
  mp.processes.startable[editor] = 2;
  // The editor merges while it runs: the entry comes back then.
  mp.processes.onInput = [&](int) {
    mp.registry.SetString(kHkeyLocalMachine, kUninstall + "Back", "DisplayName", "Back Again");
    mp.registry.SetString(kHkeyLocalMachine, kUninstall + "Back", "UninstallString", "C:\\gone.exe");
  };
  Select("Undo20261207.reg");
  form.Button6.Click();
  ASSERT_EQ(1u, mp.processes.started.size());
  EXPECT_EQ(editor, mp.processes.started[0].commandLine);
  EXPECT_TRUE(mp.ui.Texts("shell").empty()) << "the editor itself, not the shell, which does not wait";
  ASSERT_EQ(1, form.ListView1.Count());
  EXPECT_EQ("Back Again", form.ListView1.Item(0).Caption) << "listed without Refresh List";
}

TEST_F(BackupsPageWindowTest, DeleteFile) {
  mp.files.AddFile(kBackup + "read only.hiv", "x", kFileAttributeReadOnly | kFileAttributeHidden);
  mp.files.AddFile(kBackup + "removed meanwhile.reg", "x");
  mp.files.AddFile(kBackup + "kept.reg", "x");
  mp.files.AddFolder(kBackup + "a folder");
  form.FormCreate();
  form.ListView1.Add();
  form.ListView1.Item(0).Caption = "row";
  form.ListView1.Select(0);
  const struct {
    const char* name;
    std::vector<std::string> messages;
    bool listedAfter;
  } cases[] = {
      {"read only.hiv", {}, false},
      {"removed meanwhile.reg", {"File does not Exist."}, false},
      {"a folder", {"File does not Exist."}, true},
  };
  // The question names the file and No is its default; No keeps the file.
  Select("kept.reg");
  mp.ui.answers = {kIdNo};
  form.Button7.Click();
  ASSERT_EQ(1u, mp.ui.shown.size());
  EXPECT_EQ("Are you sure you want to delete this backup file? It cannot be restored afterwards.\n\n" + kBackup +
                "kept.reg",
            mp.ui.shown[0].text);
  EXPECT_EQ("Delete File?", mp.ui.shown[0].caption);
  EXPECT_EQ(kMbYesNo | kMbIconWarning | kMbDefButton2, mp.ui.shown[0].style);
  EXPECT_TRUE(mp.files.FileExistsAt(kBackup + "kept.reg"));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    mp.ui.shown.clear();
    Select(c.name);
    if (std::string(c.name) == "removed meanwhile.reg") mp.files.RemoveFile(kBackup + c.name);
    mp.ui.answers = {kIdYes};
    form.Button7.Click();
    EXPECT_EQ(c.messages, mp.ui.Texts("message"));
    EXPECT_EQ(1u, mp.ui.Texts("ask").size()) << "asked first";
    EXPECT_EQ(c.listedAfter, Listed(form.ListBox1, c.name));
    EXPECT_TRUE(Listed(form.ListBox1, "kept.reg"));
    EXPECT_EQ(-1, form.ListBox1.ItemIndex());
    EXPECT_FALSE(form.Button6.Enabled());
    EXPECT_FALSE(form.Button7.Enabled());
    EXPECT_EQ(1, form.ListView1.Count()) << "the main list is not rescanned";
    EXPECT_EQ(0, form.ListView1.Selected());
  }

  mp.ui.shown.clear();
  form.Button7.Click();
  form.Button6.Click();
  EXPECT_TRUE(mp.ui.shown.empty()) << "with no line selected both do nothing";
}

// Where the folder beside the program cannot be written, a removal's backup goes to the user's own
// folder; the Backups page lists both folders, the user's files marked, and restores either.
TEST(BackupsPageUserFolderTest, TheUsersOwnBackupsAreListedMarkedAndRestored) {
  MemoryPlatform mp;
  const std::string users = "C:\\Users\\ann\\AppData\\Local\\Tidewell\\Backup\\";
  mp.files.SetEnvironment("LOCALAPPDATA", "C:\\Users\\ann\\AppData\\Local");
  mp.files.AddFile(kBackup + "Undo20260101.reg", "REGEDIT4\r\n\r\n");
  mp.files.SetFolderReadOnly(kBackup, true);
  mp.registry.SetString(kHkeyCurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Mine", "DisplayName",
                        "Mine");
  mp.registry.SetString(kHkeyCurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Mine",
                        "UninstallString", "C:\\gone\\u.exe");
  TForm1 form(mp.platform());
  form.FormCreate();
  mp.ui.answers = {kIdYes};
  form.Button2Click();
  EXPECT_TRUE(mp.ui.Texts("error").empty());
  EXPECT_TRUE(mp.files.FileExistsAt(users + "Undo20261207.reg")) << "the removal was backed up in the user's folder";
  EXPECT_EQ((std::vector<std::string>{"Undo20260101.reg", std::string("Undo20261207.reg") + kUserBackupMark}),
            form.ListBox1.Items());
  mp.ui.shown.clear();
  form.ListBox1.ItemIndexFromUser(1);
  form.ListBox1.Click();
  form.Button6.Click();
  ASSERT_FALSE(mp.ui.Texts("shell").empty());
  EXPECT_EQ(users + "Undo20261207.reg", mp.ui.Texts("shell")[0]) << "the user's file is the one restored";
}

}  // namespace
