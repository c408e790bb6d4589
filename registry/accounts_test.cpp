#include "registry/accounts.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "backup/entry_commands.h"
#include "backup/undo_file.h"
#include "inventory/inventory.h"
#include "inventory/status.h"
#include "platform/memory/memory_platform.h"
#include "restore/undo_reader.h"
#include "restore/undo_restore.h"
#include "platform/text_encoding.h"
#include "tests/support/other_accounts.h"

namespace {

using namespace platform;
using Machine = OtherAccountsMachine;

TEST(AccountsTest, TheProfileListsOtherAccountsWithTheirNamesAndFolders) {
  Machine m;
  const std::vector<Account> accounts = m.Others();
  ASSERT_EQ(4u, accounts.size());
  const struct {
    std::string sid, name, folder, mount;
    bool loggedOn;
  } expected[] = {{kAnn, "ann", "C:\\Users\\ann", kAnn, true},
                  {kBob, "bob", "C:\\Users\\bob", "Tidewell." + kBob, false},
                  {kCleo, "Cléo", "C:\\Users\\cleo", "Tidewell." + kCleo, false},
                  {kDan, "Дан", "C:\\Users\\dan", "Tidewell." + kDan, false}};
  for (size_t i = 0; i < accounts.size(); ++i) {
    EXPECT_EQ(expected[i].sid, accounts[i].sid);
    EXPECT_EQ(expected[i].name, accounts[i].name);
    EXPECT_EQ(expected[i].folder, accounts[i].folder);
    EXPECT_EQ(expected[i].mount, accounts[i].Mount());
    EXPECT_EQ(expected[i].loggedOn, accounts[i].loggedOn);
  }
  EXPECT_EQ("\\" + kBob + "\\Software", PathOfAccount("\\Tidewell." + kBob + "\\Software"));
  EXPECT_EQ("\\" + kAnn + "\\Software", PathOfAccount("\\" + kAnn + "\\Software"));
}

TEST(AccountsTest, HivesAreLoadedOnlyWhenNotLoadedAndAlwaysUnloaded) {
  const struct {
    const char* what;
    std::function<void(Machine&)> before;
    std::vector<std::string> readable;
    std::vector<std::string> problems;
  } cases[] = {
      {"as an administrator", {}, {"ann", "bob"},
       {"Cléo: its hive file is not there", "Дан: its hive file is damaged"}},
      {"without the backup and restore rights", [](Machine& m) { m.p.registry.SetBackupRestoreRight(false); },
       {"ann"},
       {"bob: reading another account's list takes an administrator's rights",
        "Cléo: reading another account's list takes an administrator's rights",
        "Дан: reading another account's list takes an administrator's rights"}},
      {"a hive file in use",
       [](Machine& m) {
         m.p.registry.interfere = [](const std::string& call, const std::string&, const std::string& name) {
           return call == "load" && name == "Tidewell." + kBob ? kErrorSharingViolation : kErrorSuccess;
         };
       },
       {"ann"},
       {"bob: its hive file is in use by another program", "Cléo: its hive file is not there",
        "Дан: its hive file is damaged"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Machine m;
    if (c.before) c.before(m);
    const std::string bobsFile = m.p.files.Content("C:\\Users\\bob\\NTUSER.DAT");
    {
      AccountHives hives(m.p.registry, m.p.system, m.Others());
      std::vector<std::string> readable, problems;
      for (const Account& account : hives.Readable()) readable.push_back(account.name);
      for (const AccountProblem& problem : hives.Problems()) problems.push_back(problem.name + ": " + problem.why);
      EXPECT_EQ(c.readable, readable);
      EXPECT_EQ(c.problems, problems);
      if (readable.size() > 1) {
        EXPECT_TRUE(m.p.registry.KeyExists(kHkeyUsers, "Tidewell." + kBob + kList + "\\Notes"));
      }
      for (const auto& [name, on] : m.p.system.privileges) EXPECT_FALSE(on) << name << " switched off after loading";
    }
    for (const std::string& sid : {kBob, kCleo, kDan}) EXPECT_FALSE(m.Mounted("Tidewell." + sid)) << "left loaded";
    EXPECT_TRUE(m.Mounted(kAnn)) << "the system's own stays";
    EXPECT_EQ(bobsFile, m.p.files.Content("C:\\Users\\bob\\NTUSER.DAT")) << "read only, the file as it was";
  }
}

TEST(AccountsTest, AChangeInALoadedHiveIsInItsFileOnceUnloaded) {
  Machine m;
  {
    AccountHives hives(m.p.registry, m.p.system, m.Others());
    ASSERT_EQ(2u, hives.Readable().size());
    m.p.registry.SetString(kHkeyUsers, "Tidewell." + kBob + kList + "\\Notes", "DisplayName", "Changed");
  }
  ASSERT_FALSE(m.Mounted("Tidewell." + kBob));
  AccountHives again(m.p.registry, m.p.system, m.Others());
  Hkey key = 0;
  ASSERT_EQ(kErrorSuccess, m.p.registry.OpenKeyEx(kHkeyUsers, ("Tidewell." + kBob + kList + "\\Notes").c_str(), kKeyRead, &key));
  std::uint32_t type = 0, size = 64;
  std::uint8_t data[64] = {};
  EXPECT_EQ(kErrorSuccess, m.p.registry.QueryValueEx(key, "DisplayName", &type, data, &size));
  m.p.registry.CloseKey(key);
  EXPECT_EQ(Utf16LeFromUtf8("Changed") + std::string(2, '\0'), std::string(reinterpret_cast<char*>(data), size));
}

}  // namespace

namespace {

// Another account's entry read from its hive, removed with its hive loaded for the removal alone, its
// undo lines naming the account's own key, which the registry editor merges while it is logged on.
TEST(AccountsTest, AnEntryOfAnotherAccountIsReadAndRemovedInItsOwnHive) {
  Machine m;
  std::vector<Account> readable;
  Inventory inventory;
  {
    AccountHives hives(m.p.registry, m.p.system, m.Others());
    readable = hives.Readable();
    inventory = ReadInventory(m.p.registry, false, readable);
  }
  ASSERT_FALSE(m.Mounted("Tidewell." + kBob));
  std::vector<std::string> read;
  for (const Entry& entry : inventory.entries) read.push_back(SourceName(entry) + "\\" + entry.keyName + " " + entry.displayName);
  EXPECT_EQ((std::vector<std::string>{"user:ann\\Chat Ann's Chat", "user:bob\\Notes Bob's Notes"}), read);

  const Entry& notes = inventory.entries.back();
  UndoFile undo(m.p.files, m.p.system, "C:\\Tools\\Tidewell\\Backup", "Undo20261207");
  const RemovalOutcome outcome = RemoveEntryKey(undo, m.p.registry, notes, false);
  EXPECT_TRUE(outcome.Complete());
  EXPECT_EQ(1, outcome.keysRemoved);
  EXPECT_FALSE(m.Mounted("Tidewell." + kBob)) << "unloaded after the removal";
  const std::string lines = m.p.files.Content(undo.FileName());
  EXPECT_NE(std::string::npos, lines.find("removed entry \"Bob's Notes\" (user:bob)\r\n; In the hive of bob, below HKEY_USERS: the registry "
                                          "editor merges this block only while that hive is loaded, as it is while bob is "
                                          "logged on. Tidewell's Restore loads it itself.\r\n[HKEY_USERS\\" + kBob +
                                          "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Notes]\r\n"))
      << lines;
  // Gone from his hive file, which the next reading finds without it.
  {
    AccountHives again(m.p.registry, m.p.system, m.Others());
    EXPECT_FALSE(m.p.registry.KeyExists(kHkeyUsers, "Tidewell." + kBob + kList + "\\Notes"));
    EXPECT_TRUE(m.p.registry.KeyExists(kHkeyUsers, "Tidewell." + kBob + kList));
  }
  // The block names his entry and goes back into his hive, loaded for the restore alone.
  const UndoContents contents = ReadUndoFile(m.p.files, m.p.system, undo.FileName());
  ASSERT_EQ(1u, contents.records.size());
  const RecordTarget target = TargetOf(contents.records.front(), false);
  EXPECT_EQ(RecordKind::kEntry, target.kind);
  EXPECT_EQ("Notes", target.keyName);
  EXPECT_EQ("user:bob", target.source);
  UndoFile scratch(m.p.files, m.p.system, "C:\\Scratch", "Undo");
  EXPECT_TRUE(RestoreRecord(m.p.registry, scratch, contents.records.front(), false).restored);
  EXPECT_FALSE(m.Mounted("Tidewell." + kBob)) << "unloaded after the restore";
  AccountHives again(m.p.registry, m.p.system, m.Others());
  EXPECT_TRUE(m.p.registry.KeyExists(kHkeyUsers, "Tidewell." + kBob + kList + "\\Notes"));
}

}  // namespace

namespace {

// Another account's command is checked in that account's folders, whatever the variables of whoever
// runs the program say.
TEST(AccountsTest, AnotherAccountsCommandNamesItsOwnFolders) {
  Account bob;
  bob.folder = "C:\\Users\\bob";
  const struct {
    const char* text;
    const char* expanded;
  } cases[] = {
      {"%LocalAppData%\\Chat\\Update.exe --uninstall", "C:\\Users\\bob\\AppData\\Local\\Chat\\Update.exe --uninstall"},
      {"\"%APPDATA%\\Zoom\\uninstall.exe\"", "\"C:\\Users\\bob\\AppData\\Roaming\\Zoom\\uninstall.exe\""},
      {"%USERPROFILE%\\x.exe %TEMP%\\log %tmp%", "C:\\Users\\bob\\x.exe C:\\Users\\bob\\AppData\\Local\\Temp\\log C:\\Users\\bob\\AppData\\Local\\Temp"},
      {"%SystemRoot%\\unins.exe %LOCALAPPDATA", "%SystemRoot%\\unins.exe %LOCALAPPDATA"},
      {"C:\\Users\\bob\\AppData\\Local\\x.exe", "C:\\Users\\bob\\AppData\\Local\\x.exe"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.expanded, bob.WithOwnFolders(c.text)) << c.text;

  MemoryPlatform p;
  p.files.SetEnvironment("LOCALAPPDATA", "C:\\Users\\me\\AppData\\Local");
  p.files.AddFile("C:\\Users\\bob\\AppData\\Local\\Chat\\Update.exe");
  Entry entry;
  entry.source = Source::kOtherUser;
  entry.account = std::make_shared<const Account>(bob);
  entry.uninstallString = "%LOCALAPPDATA%\\Chat\\Update.exe --uninstall";
  EXPECT_EQ(kGoodLink, ScanChecker(p.files, p.system).Check(entry).status);
  entry.account = nullptr;
  EXPECT_EQ(kBrokenLink, ScanChecker(p.files, p.system).Check(entry).status) << "the current user's folder";
}

}  // namespace
