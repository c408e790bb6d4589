// The window over the three lists of installed programs of 64-bit Windows: the machine's in the
// 64-bit and in the 32-bit view of the registry, and the user's own. Each entry is listed,
// judged, removed and backed up where it lives.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/main_window.h"
#include "platform/memory/memory_platform.h"
#include "platform/text_encoding.h"
#include "tests/support/reg_file_reader.h"
#include "tests/support/registry_snapshot.h"
#include "tests/support/seeded_entries.h"

using namespace platform;

namespace {

const std::string kNative = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::string kWow = "SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::string kUser = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr const char* kUndo = "C:\\Tools\\Tidewell\\Backup\\Undo20261207.reg";

struct Place {
  Hkey root;
  std::string path;  // literal, below the root
  std::uint32_t view;
};

struct Machine {
  explicit Machine(bool wow64) {
    if (wow64) p.SetWow64();
    p.files.AddFile("C:\\WINDOWS\\system32\\big-remove.exe");
    p.files.AddFile("C:\\Apps\\small.exe");
    p.files.AddFile("C:\\Users\\ann\\AppData\\Local\\Chat\\Update.exe");
    Seed(kHkeyLocalMachine, (wow64 ? kNative : std::string("SOFTWARE\\Unused\\")) + "Big", "Big Suite 64",
         "C:\\WINDOWS\\system32\\big-remove.exe /x");
    Seed(kHkeyLocalMachine, (wow64 ? kWow : kNative) + "Small", "Small Tool", "C:\\Apps\\small.exe");
    Seed(kHkeyLocalMachine, (wow64 ? kWow : kNative) + "Shared", "Shared (32-bit)", "C:\\Apps\\small.exe /s");
    if (wow64) Seed(kHkeyLocalMachine, kNative + "Shared", "Shared (64-bit)", "C:\\Apps\\gone64.exe");
    Seed(kHkeyCurrentUser, kUser + "Chat", "Chat", "C:\\Users\\ann\\AppData\\Local\\Chat\\Update.exe --uninstall");
    p.registry.SetString(kHkeyLocalMachine, (wow64 ? kWow : kNative) + "Chat\\Sub", "Note", "a machine key of the same name");
    p.registry.SetString(kHkeyClassesRoot, "Installer\\Products\\AA11", "ProductName", "Machine Product");
    p.registry.SetString(kHkeyCurrentUser, "Software\\Microsoft\\Installer\\Products\\BB22", "ProductName",
                         "User Product");
    // The installer keeps the installed state of both in the 64-bit view, which 64-bit Windows
    // shows this program only when asked for.
    const std::string userData = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\";
    p.registry.SetString(kHkeyLocalMachine, userData + "S-1-5-18\\Products\\AA11\\InstallProperties", "DisplayName",
                         "Machine Product");
    p.registry.SetString(kHkeyLocalMachine, userData + "S-1-5-21-1-2-3-1001\\Products\\BB22\\InstallProperties",
                         "DisplayName", "User Product");
    form.FormCreate();
  }
  void Seed(Hkey root, const std::string& key, const std::string& name, const std::string& command) {
    p.registry.SetString(root, key, "DisplayName", name);
    p.registry.SetString(root, key, "UninstallString", command);
    p.registry.SetValue(root, key + "\\Parts", "Size", kRegDword, std::string("\x01\0\0\0", 4));
  }
  // The main list as "caption|key|source|icon".
  std::vector<std::string> Rows() const {
    std::vector<std::string> rows;
    for (int i = 0; i < form.list.entryList.Count(); ++i) {
      const TListItem& item = form.list.entryList.Item(i);
      rows.push_back(item.Caption + "|" + item.SubItems.at(0) + "|" + item.SubItems.at(2) + "|" +
                     std::to_string(item.ImageIndex));
    }
    return rows;
  }
  int Row(const std::string& caption) const {
    for (int i = 0; i < form.list.entryList.Count(); ++i)
      if (form.list.entryList.Item(i).Caption == caption) return i;
    return -1;
  }
  regfile::Tree Snapshot(const Place& place) { return regfile::Snapshot(p.registry, place.root, place.path, place.view); }

  MemoryPlatform p;
  MainWindow form{p.platform()};
};

TEST(SourcesTest, SixtyFourBitWindowsListsEveryEntryOfTheThreeListsWithItsOwnStatus) {
  Machine m(true);
  EXPECT_EQ((std::vector<std::string>{"Big Suite 64|Big|64-bit|1", "Chat|Chat|user|1", "Shared (32-bit)|Shared|32-bit|1",
                                      "Shared (64-bit)|Shared|64-bit|0", "Small Tool|Small|32-bit|1"}),
            m.Rows());
  EXPECT_EQ((std::vector<std::string>{"Big (64-bit)", "Chat (32-bit)", "Chat (user)", "Shared (32-bit)",
                                      "Shared (64-bit)", "Small (32-bit)"}),
            m.form.allEntries.keys.Items());
  EXPECT_EQ((std::vector<std::string>{"Machine Product [no entry] - {AA11", "User Product [no entry] - {BB22 (user)"}),
            m.form.installer.products.Items());
}

TEST(SourcesTest, ThirtyTwoBitWindowsAddsOnlyTheUsersOwnList) {
  Machine m(false);
  EXPECT_EQ((std::vector<std::string>{"Chat|Chat|user|1", "Shared (32-bit)|Shared|32-bit|1", "Small Tool|Small|32-bit|1"}),
            m.Rows());
  EXPECT_EQ((std::vector<std::string>{"Chat", "Chat (user)", "Shared", "Small"}), m.form.allEntries.keys.Items());
}

// Each removal writes its key lines so that either registry editor puts the entry back where it
// was, and touches nothing of the same name in another list.
TEST(SourcesTest, EachEntryIsRemovedAndBackedUpWhereItLives) {
  const struct {
    const char* caption;
    Place place;
    std::string keyLine;
    Place other;  // an entry of the same key name elsewhere, or an empty path
    const char* source;  // as the comment line before the key line names it
  } cases[] = {
      {"Shared (64-bit)", {kHkeyLocalMachine, kNative + "Shared", kKeyWow6464Key},
       "[HKEY_LOCAL_MACHINE\\" + kNative + "Shared]", {kHkeyLocalMachine, kWow + "Shared", kKeyWow6464Key}, "64-bit"},
      {"Shared (32-bit)", {kHkeyLocalMachine, kWow + "Shared", kKeyWow6464Key},
       "[HKEY_LOCAL_MACHINE\\" + kWow + "Shared]", {kHkeyLocalMachine, kNative + "Shared", kKeyWow6464Key}, "32-bit"},
      {"Chat", {kHkeyCurrentUser, kUser + "Chat", 0}, "[HKEY_CURRENT_USER\\" + kNative + "Chat]",
       {kHkeyLocalMachine, kWow + "Chat", kKeyWow6464Key}, "user"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.caption);
    Machine m(true);
    const regfile::Tree before = m.Snapshot(c.place);
    const regfile::Tree other = m.Snapshot(c.other);
    ASSERT_FALSE(before.empty());
    m.form.list.entryList.SelectedFromUser(m.Row(c.caption));
    m.form.list.entryList.SelectItem();
    m.p.ui.answers = {kIdYes};
    m.form.list.removeButton.Click();
    EXPECT_TRUE(m.Snapshot(c.place).empty()) << "removed";
    EXPECT_EQ(other, m.Snapshot(c.other)) << "the entry of the same name elsewhere is untouched";
    EXPECT_EQ(-1, m.Row(c.caption));
    const std::string undo = m.p.files.Content(kUndo);
    EXPECT_EQ(0u, undo.find("REGEDIT4\r\n\r\n" + seeded::Comment("removed entry", c.caption, c.source) + "\r\n" +
                            c.keyLine + "\r\n"))
        << undo;
    // The file merged as written, into the literal paths that its key lines name.
    regfile::Tree merged = m.Snapshot({c.place.root, "", kKeyWow6464Key});
    regfile::Read(undo).ApplyTo(merged, c.place.root == kHkeyCurrentUser ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE");
    EXPECT_EQ(before, regfile::Subtree(merged, c.place.path));
  }
}

TEST(SourcesTest, SaveChangesWritesTheCommandOfTheSelectedEntryWhereItLives) {
  Machine m(true);
  m.form.list.entryList.SelectedFromUser(m.Row("Shared (32-bit)"));
  m.form.list.entryList.SelectItem();
  m.form.change.commandBox.SetText("C:\\Apps\\small.exe /new");
  m.form.change.saveButton.Click();
  EXPECT_EQ(0u, m.p.files.Content(kUndo).find(
                    "REGEDIT4\r\n\r\n" + seeded::Comment("changed the uninstall command of", "Shared (32-bit)", "32-bit") +
                    "\r\n[HKEY_LOCAL_MACHINE\\" + kWow +
                    "Shared]\r\n\"UninstallString\"=\"C:\\\\Apps\\\\small.exe /s\"\r\n\r\n"));
  const auto text = [&](const std::string& key) {
    return regfile::Snapshot(m.p.registry, kHkeyLocalMachine, key, kKeyWow6464Key)
        .at(regfile::Upper(key))
        .at("UNINSTALLSTRING")
        .bytes;
  };
  EXPECT_EQ(Utf16LeFromUtf8(std::string("C:\\Apps\\small.exe /new\0", 23)), text(kWow + "Shared"));
  EXPECT_EQ(Utf16LeFromUtf8(std::string("C:\\Apps\\gone64.exe\0", 19)), text(kNative + "Shared"));
}

TEST(SourcesTest, ASixtyFourBitUninstallerStartsWithTheRedirectionOff) {
  Machine m(true);
  m.p.processes.startable["C:\\WINDOWS\\system32\\big-remove.exe /x"] = 0;
  m.p.processes.startable["C:\\Apps\\small.exe"] = 0;
  for (const char* caption : {"Big Suite 64", "Small Tool"}) {
    SCOPED_TRACE(caption);
    m.p.system.redirectionLog.clear();
    m.form.list.entryList.SelectedFromUser(m.Row(caption));
    m.form.list.entryList.SelectItem();
    m.p.ui.answers = {kIdYes};
    m.form.list.uninstallButton.Click();
    const bool sixtyFour = std::string(caption) == "Big Suite 64";
    ASSERT_FALSE(m.p.processes.started.empty());
    EXPECT_TRUE(m.p.ui.Texts("message").empty());
    // The rescan after it checks the 64-bit entries with the redirection off too: only the first
    // pair belongs to the start.
    const std::vector<std::string> first(m.p.system.redirectionLog.begin(),
                                         m.p.system.redirectionLog.begin() + 2);
    if (sixtyFour) {
      EXPECT_EQ((std::vector<std::string>{"disable", "revert 24301"}), first);
    }
  }
  EXPECT_EQ(2u, m.p.processes.started.size());
}

}  // namespace

#include "tests/support/other_accounts.h"

namespace {

// Another account's entries in the window: listed with their own source and status, the accounts
// that cannot be read said once, an entry removed in its hive file, and no hive left loaded.
TEST(SourcesTest, OtherAccountsEntriesAreListedCheckedAndRemovedInTheirHives) {
  OtherAccountsMachine m;
  MainWindow form{m.p.platform()};
  form.FormCreate();
  const auto loaded = [&] { return m.Mounted("Tidewell." + kBob) || m.Mounted("Tidewell." + kCleo); };
  std::vector<std::string> rows;
  for (int i = 0; i < form.list.entryList.Count(); ++i) {
    const TListItem& item = form.list.entryList.Item(i);
    rows.push_back(item.Caption + "|" + item.SubItems.at(2) + "|" + std::to_string(item.ImageIndex));
  }
  EXPECT_EQ((std::vector<std::string>{"Ann's Chat|user:ann|0", "Bob's Notes|user:bob|1"}), rows);
  EXPECT_EQ(0u, form.status.line.Caption().find("Other accounts' lists not read: Cléo: its hive file is not there; "
                                            "Дан: its hive file is damaged."))
      << form.status.line.Caption();
  EXPECT_FALSE(loaded());
  form.list.filterBox.TextFromUser("USER:BOB");
  form.list.filterBox.Change();
  EXPECT_EQ(1, form.list.entryList.Count()) << "the filter takes another account's list by its name";
  form.list.filterBox.TextFromUser("");
  form.list.filterBox.Change();

  // Not logged on: the registry editor could not show his key.
  form.list.entryList.SelectedFromUser(1);
  form.list.entryList.SelectItem();
  form.commands.OpenKeyInRegistryEditor();
  EXPECT_EQ(std::vector<std::string>{"The list of bob is in that account's hive, which is loaded only while it is logged "
                                     "on or while Tidewell reads it: the registry editor cannot show its key."},
            m.p.ui.Texts("message"));
  EXPECT_TRUE(m.p.processes.started.empty());

  // His command checked in his folders: no question; a system that drops the change is told.
  m.p.registry.SetKeepsLoadedHives(false);
  form.change.commandBox.SetText("%LOCALAPPDATA%\\Notes\\uninstall.exe /quiet");
  form.change.saveButton.Click();
  EXPECT_TRUE(m.p.ui.Texts("ask").empty());
  EXPECT_EQ(std::vector<std::string>{"Tidewell could not save the uninstall command of 'Bob's Notes': the system did not "
                                     "keep it in the hive file of bob, which still holds the old command."},
            m.p.ui.Texts("error"));
  m.p.registry.SetKeepsLoadedHives(true);
  form.change.saveButton.Click();
  EXPECT_EQ(0u, form.status.line.Caption().find("Saved the uninstall command of 'Bob's Notes', the old one backed up in "
                                            "C:\\Tools\\Tidewell\\Backup\\Undo20261207.reg."))
      << form.status.line.Caption();

  m.p.ui.answers = {kIdYes};
  form.list.entryList.SelectedFromUser(1);
  form.list.entryList.SelectItem();
  form.list.removeButton.Click();
  EXPECT_EQ(1, form.list.entryList.Count());
  EXPECT_FALSE(loaded());
  EXPECT_NE(std::string::npos, form.status.line.Caption().find("Removed 'Bob's Notes', backed up in "))
      << form.status.line.Caption();
  EXPECT_EQ(std::string::npos, form.status.line.Caption().find("not read")) << "said once";
  EXPECT_NE(std::string::npos, m.p.files.Content(kUndo).find("[HKEY_USERS\\" + kBob + "\\SOFTWARE\\Microsoft"));
  const std::vector<Account> others = m.Others();
  AccountHives hives(m.p.registry, m.p.system, others);
  EXPECT_FALSE(m.p.registry.KeyExists(kHkeyUsers, "Tidewell." + kBob + kList + "\\Notes")) << "gone from his hive file";
}

}  // namespace
