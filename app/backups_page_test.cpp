// The Backups page as the user works it: the selected line restored or deleted, the message, and the
// lists afterwards.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/main_window.h"
#include "platform/memory/memory_platform.h"
#include "registry/nt_registry.h"
#include "tests/support/registry_snapshot.h"

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
    const auto& items = form.backups.files.Items();
    for (size_t i = 0; i < items.size(); ++i) {
      if (items[i] != name) continue;
      form.backups.files.ItemIndexFromUser(static_cast<int>(i));
      form.backups.files.Click();
      return;
    }
    FAIL() << name << " is not listed";
  }
  std::string Read(const std::string& key, const std::string& name) {
    TNTRegistry reg(mp.registry);
    reg.SetRoot(kHkeyLocalMachine);
    return reg.OpenPath("\\" + kUninstall + key, false) ? reg.ReadText(name) : "(gone)";
  }
  // The one question shown: a warning with No the default, its caption and its text.
  void ExpectOneQuestion(const std::string& caption, const std::string& text) {
    ASSERT_EQ(1u, mp.ui.shown.size());
    EXPECT_EQ(caption, mp.ui.shown[0].caption);
    EXPECT_EQ(kMbYesNo | kMbIconWarning | kMbDefButton2, mp.ui.shown[0].style);
    EXPECT_EQ(text, mp.ui.shown[0].text);
  }
  static bool Listed(const TListBox& list, const std::string& line) {
    for (const std::string& item : list.Items())
      if (item == line) return true;
    return false;
  }

  MemoryPlatform mp;
  MainWindow form{mp.platform()};
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
  ASSERT_FALSE(Listed(form.allEntries.keys, "Saved"));

  Select("Saved");
  form.backups.restoreButton.Click();
  EXPECT_EQ(std::vector<std::string>{"Key Restored"}, mp.ui.Texts("message"));
  EXPECT_TRUE(Listed(form.allEntries.keys, "Saved")) << "the scan ran after the restore";
  EXPECT_EQ(-1, form.backups.files.ItemIndex()) << "the scan refilled the list";
  EXPECT_FALSE(form.backups.restoreButton.Enabled());
  EXPECT_FALSE(form.backups.deleteFileButton.Enabled());

  mp.ui.shown.clear();
  Select("Other.hiv");
  form.backups.files.DblClick();
  EXPECT_EQ(std::vector<std::string>{"Key Restored"}, mp.ui.Texts("message")) << "a double click restores as the button does";

  mp.ui.shown.clear();
  Select("gone.reg");
  mp.files.RemoveFile(kBackup + "gone.reg");
  form.backups.restoreButton.Click();
  EXPECT_TRUE(mp.ui.shown.empty()) << "a registry file that is gone: nothing but the scan";
  EXPECT_FALSE(Listed(form.backups.files, "gone.reg"));
}

// Restore of a whole undo file asks first, naming the file and what it puts back, No the default;
// Yes puts back every backup through the same restore as Restore Selected, whatever it overwrites
// written to the day's undo file first, and says so.
TEST_F(BackupsPageWindowTest, RestoreOfAWholeUndoFileAsksThenBacksUpWhatItOverwrites) {
  for (const char* file : {"C:\\Kept\\old.exe", "C:\\Kept\\new.exe", "C:\\Gone\\u.exe"}) mp.files.AddFile(file);
  mp.registry.SetString(kHkeyLocalMachine, kUninstall + "Kept", "DisplayName", "Kept Tool");
  mp.registry.SetString(kHkeyLocalMachine, kUninstall + "Kept", "UninstallString", "C:\\Kept\\old.exe");
  mp.registry.SetString(kHkeyLocalMachine, kUninstall + "Gone", "DisplayName", "Gone Tool");
  mp.registry.SetString(kHkeyLocalMachine, kUninstall + "Gone", "UninstallString", "C:\\Gone\\u.exe");
  mp.files.AddFile(kBackup + "Present.reg",
                   "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\" + kUninstall + "Kept]\r\n\"DisplayName\"=\"Kept Tool\"\r\n");
  form.FormCreate();
  const auto selectEntry = [&](const std::string& key) {
    for (int row = 0; row < form.list.entryList.Count(); ++row)
      if (form.list.entryList.Item(row).SubItems.at(0) == key) {
        form.list.entryList.SelectionFromUser({row});
        form.list.entryList.SelectItem();
      }
  };
  selectEntry("Kept");
  form.change.commandBox.TextFromUser("C:\\Kept\\new.exe");
  form.change.saveButton.Click();
  selectEntry("Gone");
  mp.ui.answers = {kIdYes};
  form.commands.OnRemoveEntry();
  ASSERT_FALSE(mp.registry.KeyExists(kHkeyLocalMachine, kUninstall + "Gone"));
  const std::string undo = kBackup + "Undo20261207.reg";
  const std::string written = mp.files.Content(undo);
  const std::string entries = mp.registry.Dump(kHkeyLocalMachine, kUninstall);

  Select("Undo20261207.reg");
  mp.ui.shown.clear();
  mp.ui.answers = {kIdNo};
  form.backups.restoreButton.Click();
  ExpectOneQuestion("Restore File?",
                    "Restore every backup in this undo file? Whatever they overwrite goes to the day's undo file first.\n\n" +
                        undo + "\n\nIt puts back 2 of its 2 backups: 1 absent now, 1 present but different.");
  EXPECT_EQ(entries, mp.registry.Dump(kHkeyLocalMachine, kUninstall)) << "No changes nothing";
  EXPECT_EQ(written, mp.files.Content(undo));
  EXPECT_TRUE(mp.processes.started.empty());
  EXPECT_TRUE(mp.ui.Texts("shell").empty());

  mp.ui.shown.clear();
  mp.ui.answers = {kIdYes};
  form.backups.restoreButton.Click();
  EXPECT_TRUE(mp.processes.started.empty()) << "no registry editor";
  EXPECT_TRUE(mp.ui.Texts("shell").empty());
  EXPECT_EQ("C:\\Kept\\old.exe", Read("Kept", "UninstallString"));
  EXPECT_EQ("Gone Tool", Read("Gone", "DisplayName"));
  const std::string now = mp.files.Content(undo);
  ASSERT_EQ(written, now.substr(0, written.size())) << "appended to";
  const std::string added = now.substr(written.size());
  EXPECT_NE(std::string::npos, added.find("restored the values of \"Kept Tool\" (32-bit)")) << added;
  EXPECT_NE(std::string::npos, added.find("\"UninstallString\"=\"C:\\\\Kept\\\\new.exe\"")) << added;
  EXPECT_EQ((std::vector<std::string>{"Restored 2 of 2: Kept Tool (32-bit), line 3; Gone Tool (32-bit), line 7.\n\nWhat "
                                      "the restore replaced is in the undo file " + undo + "."}),
            mp.ui.Texts("message"));
  EXPECT_EQ(2, form.list.entryList.Count()) << "the main list was read again";

  // Everything there already: nothing to ask.
  mp.ui.shown.clear();
  Select("Present.reg");
  form.backups.restoreButton.Click();
  EXPECT_TRUE(mp.ui.Texts("ask").empty());
  EXPECT_EQ((std::vector<std::string>{"Everything in " + kBackup + "Present.reg is in the registry already: nothing was "
                                      "restored."}),
            mp.ui.Texts("message"));
}

// A file that the program's reader cannot read whole (edited by hand, or written by another tool)
// is not restored through it: the question says why, and that the registry editor's merge cannot
// back up what it overwrites; only Yes hands it to the editor, and the window reads its lists
// again once the editor has finished.
TEST_F(BackupsPageWindowTest, AFileTheReaderRefusesIsMergedOnlyAfterAWarning) {
  const struct {
    const char* name;
    std::string content;
    std::string why;
  } cases[] = {
      {"deletes.reg", "REGEDIT4\r\n\r\n[-HKEY_LOCAL_MACHINE\\" + kUninstall + "Old]\r\n",
       "the backup at line 3 cannot be read at line 3: a line that deletes a key"},
      {"edited.reg",
       "REGEDIT4\r\n\r\n; Tidewell 2.12, 2026-12-06 09:00:00, removed entry \"Kept\" (32-bit)\r\n[HKEY_LOCAL_MACHINE\\" +
           kUninstall + "Kept]\r\n\"DisplayName\"=\"Kept\"\r\n\"Size\"=dword:12345678z\r\n\r\n[HKEY_LOCAL_MACHINE\\" +
           kUninstall + "Fine]\r\n\"DisplayName\"=\"Fine\"\r\n",
       "the backup at line 3 cannot be read at line 6: a dword that is not 1 to 8 hexadecimal digits. Restore "
       "Selected puts back its other backups, backing up what they overwrite"},
      {"version5.reg", "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\" + kUninstall + "X]\r\n",
       "it is not an undo file: its first line is not \"REGEDIT4\""},
  };
  for (const auto& c : cases) mp.files.AddFile(kBackup + c.name, c.content);
  mp.files.AddFile("C:\\WINDOWS\\regedit.exe");
  form.FormCreate();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = kBackup + c.name;
    const std::string editor = "\"C:\\WINDOWS\\regedit.exe\" \"" + file + "\"";
    mp.processes.started.clear();
    mp.processes.startable[editor] = 2;
    // The editor merges while it runs: the entry comes back then.
    mp.processes.onInput = [&](int) {
      mp.registry.SetString(kHkeyLocalMachine, kUninstall + "Back", "DisplayName", "Back Again");
      mp.registry.SetString(kHkeyLocalMachine, kUninstall + "Back", "UninstallString", "C:\\gone.exe");
    };
    {
      TNTRegistry reg(mp.registry);
      reg.SetRoot(kHkeyLocalMachine);
      reg.DeleteTree("\\" + kUninstall + "Back");
    }
    Select(c.name);
    mp.ui.shown.clear();
    mp.ui.answers = {kIdNo};
    form.backups.restoreButton.Click();
    ExpectOneQuestion("Merge File?", "Tidewell cannot restore this file and back up what it overwrites: " + c.why +
                                         ".\n\n" + file +
                                         "\n\nThe registry editor can merge it, but what the merge overwrites cannot be "
                                         "backed up. Merge it with the registry editor?");
    EXPECT_TRUE(mp.processes.started.empty()) << "No merges nothing";

    mp.ui.shown.clear();
    mp.ui.answers = {kIdYes};
    form.backups.restoreButton.Click();
    ASSERT_EQ(1u, mp.processes.started.size());
    EXPECT_EQ(editor, mp.processes.started[0].commandLine);
    EXPECT_TRUE(mp.ui.Texts("shell").empty()) << "the editor itself, not the shell, which does not wait";
    EXPECT_EQ((std::vector<std::string>{file + " was handed to the registry editor to merge; what it overwrote was not "
                                                "backed up."}),
              mp.ui.Texts("message"));
    ASSERT_EQ(1, form.list.entryList.Count());
    EXPECT_EQ("Back Again", form.list.entryList.Item(0).Caption) << "listed without Refresh List";
  }
}

TEST_F(BackupsPageWindowTest, DeleteFile) {
  mp.files.AddFile(kBackup + "read only.hiv", "x", kFileAttributeReadOnly | kFileAttributeHidden);
  mp.files.AddFile(kBackup + "removed meanwhile.reg", "x");
  mp.files.AddFile(kBackup + "kept.reg", "x");
  mp.files.AddFolder(kBackup + "a folder");
  form.FormCreate();
  form.list.entryList.Add();
  form.list.entryList.Item(0).Caption = "row";
  form.list.entryList.Select(0);
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
  form.backups.deleteFileButton.Click();
  ExpectOneQuestion("Delete File?", "Are you sure you want to delete this backup file? It cannot be restored "
                                    "afterwards.\n\n" + kBackup + "kept.reg");
  EXPECT_TRUE(mp.files.FileExistsAt(kBackup + "kept.reg"));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    mp.ui.shown.clear();
    Select(c.name);
    if (std::string(c.name) == "removed meanwhile.reg") mp.files.RemoveFile(kBackup + c.name);
    mp.ui.answers = {kIdYes};
    form.backups.deleteFileButton.Click();
    EXPECT_EQ(c.messages, mp.ui.Texts("message"));
    EXPECT_EQ(1u, mp.ui.Texts("ask").size()) << "asked first";
    EXPECT_EQ(c.listedAfter, Listed(form.backups.files, c.name));
    EXPECT_TRUE(Listed(form.backups.files, "kept.reg"));
    EXPECT_EQ(-1, form.backups.files.ItemIndex());
    EXPECT_FALSE(form.backups.restoreButton.Enabled());
    EXPECT_FALSE(form.backups.deleteFileButton.Enabled());
    EXPECT_EQ(1, form.list.entryList.Count()) << "the main list is not rescanned";
    EXPECT_EQ(0, form.list.entryList.Selected());
  }

  mp.ui.shown.clear();
  form.backups.deleteFileButton.Click();
  form.backups.restoreButton.Click();
  EXPECT_TRUE(mp.ui.shown.empty()) << "with no line selected both do nothing";
}

// Removed in one command with several, then two of them chosen on the Backups page: only those
// come back; the page lists each backup with the state of its entry, before and after.
TEST_F(BackupsPageWindowTest, RestoreSelectedPutsBackOnlyTheChosenBackups) {
  const std::string latin = "Caf\xc3\xa9 M\xc3\xbcller \xc2\xbd";
  const std::string cyrillic = "\xd0\x9e\xd0\x9e\xd0\x9e \xd0\xa0\xd0\xbe\xd0\xbc\xd0\xb0\xd1\x88\xd0\xba\xd0\xb0";
  const std::vector<std::pair<std::string, std::string>> entries = {
      {"Alpha", "Alpha Tool"}, {"Beta", "Beta \"B\""}, {"Gamma", latin}, {"Delta", cyrillic}};
  for (const auto& [key, name] : entries) {
    mp.registry.SetString(kHkeyLocalMachine, kUninstall + key, "DisplayName", name);
    mp.registry.SetString(kHkeyLocalMachine, kUninstall + key, "UninstallString", "C:\\gone\\" + key + ".exe");
    mp.registry.SetString(kHkeyLocalMachine, kUninstall + key + "\\Parts", "", key);
  }
  const auto listed = [&] {
    return regfile::Describe(regfile::Snapshot(mp.registry, kHkeyLocalMachine, kUninstall.substr(0, kUninstall.size() - 1)));
  };
  const std::string before = listed();
  form.FormCreate();
  form.list.entryList.SelectionFromUser({0, 1, 2, 3});
  mp.ui.answers = {kIdYes};
  form.commands.OnRemoveEntry();
  ASSERT_EQ(0, form.list.entryList.Count()) << "all four removed";

  const auto row = [&](int i) {
    const TListItem& item = form.backups.rows.Item(i);
    std::string text = item.Caption;
    for (const std::string& sub : item.SubItems) text += "|" + sub;
    return text;
  };
  // The Cyrillic name went to the Unicode file.
  Select("Undo20261207.unicode.reg");
  ASSERT_EQ(1, form.backups.rows.Count());
  EXPECT_EQ(cyrillic + "|absent|32-bit|14:03:11|removed entry|Delta", row(0));

  Select("Undo20261207.reg");
  EXPECT_FALSE(form.backups.restoreSelectedButton.Enabled()) << "no backup chosen yet";
  ASSERT_EQ(3, form.backups.rows.Count());
  EXPECT_EQ("Alpha Tool|absent|32-bit|14:03:11|removed entry|Alpha", row(0));
  EXPECT_EQ("Beta \"B\"|absent|32-bit|14:03:11|removed entry|Beta", row(1));
  EXPECT_EQ(latin + "|absent|32-bit|14:03:11|removed entry|Gamma", row(2));
  EXPECT_EQ("3 backups.", form.backups.summary.Caption());

  form.backups.rows.SelectionFromUser({0, 2});
  form.backups.rows.Click();
  ASSERT_TRUE(form.backups.restoreSelectedButton.Enabled());
  mp.ui.shown.clear();
  mp.ui.listLines.clear();
  mp.ui.answers = {kIdNo};
  form.backups.restoreSelectedButton.Click();
  ASSERT_EQ(1u, mp.ui.listLines.size());
  EXPECT_EQ((std::vector<std::string>{"Alpha Tool (32-bit), line 3", latin + " (32-bit), line 17"}), mp.ui.listLines[0]);
  EXPECT_EQ("Restore Selected?", mp.ui.shown[0].caption);
  EXPECT_FALSE(mp.registry.KeyExists(kHkeyLocalMachine, kUninstall + "Alpha")) << "No restores nothing";

  mp.ui.shown.clear();
  mp.ui.answers = {kIdYes};
  form.backups.restoreSelectedButton.Click();
  EXPECT_EQ((std::vector<std::string>{"Restored 2 of 2: Alpha Tool (32-bit), line 3; " + latin + " (32-bit), line 17.\n\nIt overwrote nothing, so nothing "
                                      "was backed up."}),
            mp.ui.Texts("message"));
  EXPECT_EQ(2, form.list.entryList.Count()) << "the main list was read again";
  EXPECT_FALSE(mp.registry.KeyExists(kHkeyLocalMachine, kUninstall + "Beta"));
  EXPECT_FALSE(mp.registry.KeyExists(kHkeyLocalMachine, kUninstall + "Delta"));
  // Put back by hand, the two others make the list as it was before the removal.
  for (const std::string& key : {std::string("Beta"), std::string("Delta")}) {
    const auto& name = key == "Beta" ? entries[1].second : entries[3].second;
    mp.registry.SetString(kHkeyLocalMachine, kUninstall + key, "DisplayName", name);
    mp.registry.SetString(kHkeyLocalMachine, kUninstall + key, "UninstallString", "C:\\gone\\" + key + ".exe");
    mp.registry.SetString(kHkeyLocalMachine, kUninstall + key + "\\Parts", "", key);
  }
  EXPECT_EQ(before, listed()) << "Alpha and Gamma came back as they were, and nothing else changed";
  EXPECT_EQ("Undo20261207.reg", form.backups.files.Items()[form.backups.files.ItemIndex()]) << "the file stays selected";
  EXPECT_EQ("Alpha Tool|present|32-bit|14:03:11|removed entry|Alpha", row(0));
  EXPECT_EQ("Beta \"B\"|absent|32-bit|14:03:11|removed entry|Beta", row(1));
}

// A backup damaged by hand is listed as unreadable with its line and is never restored, in part or
// whole; a hive backup lists nothing.
TEST_F(BackupsPageWindowTest, ADamagedBackupIsListedUnreadableAndNotRestored) {
  mp.files.AddFile(kBackup + "edited.reg",
                   "REGEDIT4\r\n\r\n; Tidewell 2.12, 2026-12-06 09:00:00, removed entry \"Kept\" (32-bit)\r\n[HKEY_LOCAL_MACHINE\\" +
                       kUninstall + "Kept]\r\n\"DisplayName\"=\"Kept\"\r\n\"Size\"=dword:12345678z\r\n\r\nstray line\r\n");
  mp.files.AddFile(kBackup + "Saved", "hive");
  form.FormCreate();
  Select("edited.reg");
  ASSERT_EQ(1, form.backups.rows.Count());
  EXPECT_EQ("unreadable (line 6)", form.backups.rows.Item(0).SubItems[0]);
  EXPECT_EQ("1 backup, 1 unreadable (line 6).", form.backups.summary.Caption());
  EXPECT_NE(std::string::npos, form.backups.rows.Item(0).Hint.find("line 6: a dword that is not 1 to 8 hexadecimal digits"));
  form.backups.rows.SelectionFromUser({0});
  form.backups.rows.Click();
  mp.ui.answers = {kIdYes};
  form.backups.restoreSelectedButton.Click();
  EXPECT_EQ((std::vector<std::string>{"Kept (32-bit), line 3 (cannot be read: it stays as it is)"}), mp.ui.listLines.at(0));
  EXPECT_FALSE(mp.registry.KeyExists(kHkeyLocalMachine, kUninstall + "Kept"));
  ASSERT_EQ(1u, mp.ui.Texts("error").size());
  EXPECT_NE(std::string::npos, mp.ui.Texts("error")[0].find("Restored 0 of 1.\n\nNot restored: Kept (32-bit), line 3: the "
                                                            "backup cannot be read at line 6"));

  Select("Saved");
  EXPECT_EQ(0, form.backups.rows.Count());
  EXPECT_EQ("A hive backup of one entry: Restore puts it back whole.", form.backups.summary.Caption());
  EXPECT_FALSE(form.backups.restoreSelectedButton.Enabled());
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
  MainWindow form(mp.platform());
  form.FormCreate();
  mp.ui.answers = {kIdYes};
  form.commands.OnRemoveEntry();
  EXPECT_TRUE(mp.ui.Texts("error").empty());
  EXPECT_TRUE(mp.files.FileExistsAt(users + "Undo20261207.reg")) << "the removal was backed up in the user's folder";
  EXPECT_EQ((std::vector<std::string>{"Undo20260101.reg", std::string("Undo20261207.reg") + kUserBackupMark}),
            form.backups.files.Items());
  mp.ui.shown.clear();
  form.backups.files.ItemIndexFromUser(1);
  form.backups.files.Click();
  mp.ui.answers = {kIdYes};
  form.backups.restoreButton.Click();
  ASSERT_EQ(1u, mp.ui.Texts("ask").size());
  EXPECT_NE(std::string::npos, mp.ui.Texts("ask")[0].find(users + "Undo20261207.reg")) << "the user's file is the one restored";
  EXPECT_EQ((std::vector<std::string>{"Restored 1 of 1: Mine (user), line 3.\n\nIt overwrote nothing, so nothing was backed up."}), mp.ui.Texts("message"));
  EXPECT_TRUE(mp.registry.KeyExists(kHkeyCurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Mine"));
}

}  // namespace
