#include "restore/backups_page.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/memory/memory_platform.h"
#include "registry/nt_registry.h"

using namespace platform;

namespace {

const std::string kUninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::string kExeFolder = "C:\\Tools\\Tidewell\\";
const std::string kBackup = kExeFolder + "Backup\\";

class BackupsPageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    mp.registry.SetBackupRestoreRight(true);
    mp.files.AddFolder(kBackup);
  }
  void TearDown() override {
    EXPECT_EQ(0, mp.registry.OpenHandles());
    EXPECT_EQ(0, mp.files.OpenFinds());
    EXPECT_EQ(0, mp.system.openMutexes);
  }

  // A hive file of the entry `key` in the folder Backup, named `file`; the entry is then removed.
  void SaveEntryAs(const std::string& key, const std::string& file) {
    mp.registry.SetString(kHkeyLocalMachine, kUninstall + key, "DisplayName", key + " display");
    mp.registry.SetString(kHkeyLocalMachine, kUninstall + key + "\\Sub", "Size", "12");
    dumps[key] = Dump(key);
    TNTRegistry reg(mp.registry);
    reg.SetRoot(kHkeyLocalMachine);
    ASSERT_TRUE(reg.SaveKeyToFile("\\" + kUninstall + key, kBackup + file));
    ASSERT_TRUE(reg.DeleteTree("\\" + kUninstall + key));
  }
  std::string Dump(const std::string& key) { return mp.registry.Dump(kHkeyLocalMachine, kUninstall + key); }
  // Restore of the backup file of that name, and what it has to say.
  std::string Restore(const std::string& name) {
    return RestoreBackup(mp.platform(), undo, kExeFolder, kBackup + name, mp.system.IsWow64());
  }

  MemoryPlatform mp;
  UndoFile undo{mp.files, mp.system, BackupFolderOf(mp.system.ExecutablePath()), UndoStemOf(mp.system.Today())};
  std::map<std::string, std::string> dumps;
};

TEST_F(BackupsPageTest, TheExtensionDecidesHowAFileIsRestored) {
  const char* names[] = {"a.reg", "B.REG", "c.Reg", "d.reg.bak", "e.regx", "noextension", "f.hiv", ".reg"};
  for (const char* name : names) mp.files.AddFile(kBackup + name, "REGEDIT4\r\n\r\n");
  const struct {
    const char* name;
    bool shell;
  } cases[] = {{"a.reg", true},   {"B.REG", true},        {"c.Reg", true}, {"d.reg.bak", false},
               {"e.regx", false}, {"noextension", false}, {"f.hiv", false}, {".reg", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    mp.ui.shown.clear();
    const std::string message = Restore(c.name);
    if (c.shell) {
      ASSERT_EQ(1u, mp.ui.shown.size());
      EXPECT_EQ("shell", mp.ui.shown[0].kind);
      EXPECT_EQ(kBackup + c.name, mp.ui.shown[0].text);
      EXPECT_EQ(5u, mp.ui.shown[0].style);
      EXPECT_EQ("", message);
    } else {
      EXPECT_EQ(std::string(kKeyNotRestored) + "\nThe file is not a registry hive that this system can load.", message);
      EXPECT_TRUE(mp.ui.Texts("shell").empty());
    }
  }
}

TEST_F(BackupsPageTest, AHiveGoesIntoTheEntryThatTheSettingsFileNames) {
  SaveEntryAs("Plain Name", "Plain Name");
  SaveEntryAs("Mapped Key", "saved.hiv");
  SaveEntryAs("Empty Setting", "Empty Setting");
  mp.files.AddFile(kExeFolder + "Tidewell.ini",
                   "[Other]\r\nPlain Name=Wrong\r\n[Backups]\r\nsaved.hiv=Mapped Key\r\nEmpty Setting=\r\n");
  // Read only where there is no Tidewell.ini.
  mp.files.AddFile(kExeFolder + "kestrel.ini", "[Backups]\r\nsaved.hiv=Plain Name\r\nEmpty Setting=Plain Name\r\n");

  EXPECT_EQ(kKeyRestored, Restore("Plain Name"));
  EXPECT_EQ(dumps["Plain Name"], Dump("Plain Name")) << "without a setting the file's name is the key";
  EXPECT_EQ(kKeyRestored, Restore("saved.hiv"));
  EXPECT_EQ(dumps["Mapped Key"], Dump("Mapped Key"));
  EXPECT_EQ("(missing)", Dump("saved.hiv"));
  EXPECT_EQ(kKeyRestored, Restore("Empty Setting"));
  EXPECT_EQ(dumps["Empty Setting"], Dump("Empty Setting")) << "an empty setting never names the Uninstall key";
  EXPECT_EQ(dumps["Plain Name"], Dump("Plain Name")) << "the other entries are still there";
}

TEST_F(BackupsPageTest, ABackupThatIsGoneIsNeverRestoredFromAnotherFile) {
  SaveEntryAs("Other Entry", "Missing Two.hiv");
  mp.files.SetShortName(kBackup + "Missing Two.hiv", "MISSIN~1.HIV");
  EXPECT_EQ(std::string(kKeyNotRestored) + "\nThe file " + kBackup + "Missing One.hiv is not there.",
            Restore("Missing One.hiv"));
  EXPECT_TRUE(mp.system.mutexLog.empty()) << "no restore was tried";
  EXPECT_EQ("(missing)", Dump("Other Entry"));
  EXPECT_EQ("(missing)", Dump("Missing One.hiv"));
}

// On 64-bit Windows the settings file's [Backups] names the machine's entries in the 32-bit view
// as before; [Backups 64-bit] and [Backups user] name the other two lists.
TEST_F(BackupsPageTest, AHiveGoesBackIntoTheListThatTheSettingsFileNames) {
  mp.SetWow64();
  const std::string wow = "SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
  const std::string user = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
  mp.registry.SetString(kHkeyLocalMachine, kUninstall + "Saved", "DisplayName", "Saved");
  mp.registry.SetString(kHkeyLocalMachine, kUninstall + "Saved\\Sub", "Size", "12");
  const std::string saved = mp.registry.Dump(kHkeyLocalMachine, kUninstall + "Saved");
  {
    TNTRegistry reg(mp.registry, kKeyWow6464Key);
    reg.SetRoot(kHkeyLocalMachine);
    for (const char* file : {"a.hiv", "b.hiv", "c.hiv"})
      ASSERT_TRUE(reg.SaveKeyToFile("\\" + kUninstall + "Saved", kBackup + file));
    ASSERT_TRUE(reg.DeleteTree("\\" + kUninstall + "Saved"));
  }
  // Under its other name, read where there is no Tidewell.ini.
  mp.files.AddFile(kExeFolder + "kestrel.ini",
                   "[Backups]\r\na.hiv=Into32\r\n[Backups 64-bit]\r\nb.hiv=Into64\r\n[Backups user]\r\nc.hiv=IntoUser\r\n");
  const struct {
    const char* file;
    Hkey root;
    std::string key;
  } cases[] = {
      {"a.hiv", kHkeyLocalMachine, wow + "Into32"},
      {"b.hiv", kHkeyLocalMachine, kUninstall + "Into64"},
      {"c.hiv", kHkeyCurrentUser, user + "IntoUser"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    EXPECT_EQ(kKeyRestored, Restore(c.file));
    std::string expected = saved;
    for (size_t at; (at = expected.find(kUninstall + "Saved")) != std::string::npos;)
      expected.replace(at, kUninstall.size() + 5, c.key);
    EXPECT_EQ(expected, mp.registry.Dump(c.root, c.key));
  }
  EXPECT_FALSE(mp.registry.KeyExists(kHkeyLocalMachine, wow + "Into64"));
  EXPECT_FALSE(mp.registry.KeyExists(kHkeyLocalMachine, kUninstall + "Into32"));
}

TEST_F(BackupsPageTest, ARegistryFileTheShellCannotOpenGoesToTheRegistryEditor) {
  mp.files.AddFile(kBackup + "Undo20261207.reg", "REGEDIT4\r\n\r\n");
  const std::string file = kBackup + "Undo20261207.reg";
  // On a terminal server the user's own Windows folder holds no registry editor; the system's does.
  mp.system.windowsDirectory = "C:\\Users\\ann\\WINDOWS";
  mp.system.systemWindowsDirectory = "C:\\WINDOWS";
  const std::string editor = "C:\\WINDOWS\\regedit.exe";

  mp.ui.shellResults[file] = 31;
  EXPECT_EQ("", Restore("Undo20261207.reg"));
  ASSERT_EQ(2u, mp.ui.shown.size());
  EXPECT_EQ(editor + " \"" + file + "\"", mp.ui.shown[1].text);
  EXPECT_EQ(5u, mp.ui.shown[1].style);

  mp.ui.shown.clear();
  mp.ui.shellResults[editor] = 2;
  EXPECT_EQ("The backup could not be opened: The specified file was not found.", Restore("Undo20261207.reg"));

  mp.ui.shown.clear();
  EXPECT_EQ("", Restore("gone.reg"));
  EXPECT_TRUE(mp.ui.shown.empty()) << "a registry file that is gone is not handed to anyone";
}

TEST_F(BackupsPageTest, DeleteFile) {
  mp.files.AddFile(kBackup + "read only.hiv", "x", kFileAttributeReadOnly | kFileAttributeHidden);
  mp.files.AddFolder(kBackup + "a folder");
  EXPECT_EQ("", DeleteBackupFile(mp.files, kBackup + "read only.hiv"));
  EXPECT_FALSE(mp.files.FileExistsAt(kBackup + "read only.hiv"));
  EXPECT_EQ("File does not Exist.", DeleteBackupFile(mp.files, kBackup + "gone.reg"));
  EXPECT_EQ("File does not Exist.", DeleteBackupFile(mp.files, kBackup + "a folder"));
  EXPECT_TRUE(mp.files.FolderExistsAt(kBackup + "a folder"));
  // A file another program holds open stays, with its attributes, and the message says so.
  mp.files.AddFile(kBackup + "held.reg", "x", kFileAttributeReadOnly);
  const FileId held = mp.files.OpenFile(kBackup + "held.reg", FileOpen::kRead, nullptr);
  EXPECT_EQ("Tidewell could not delete " + kBackup + "held.reg: another program may have it open, or this user may "
            "not delete it. The file is still there.",
            DeleteBackupFile(mp.files, kBackup + "held.reg"));
  EXPECT_EQ(kFileAttributeReadOnly, mp.files.Attributes(kBackup + "held.reg"));
  mp.files.CloseFile(held, nullptr);
}

}  // namespace
