#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "app/form1.h"
#include "platform/memory/memory_platform.h"
#include "registry/nt_registry.h"

using namespace platform;

namespace {

const std::string kUninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

class BackupsPageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    mp.registry.SetBackupRestoreRight(true);
    backup = mp.system.executablePath.substr(0, mp.system.executablePath.rfind('\\') + 1) + "Backup\\";
    mp.files.AddFolder(backup);
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
    ASSERT_TRUE(reg.SaveKeyToFile("\\" + kUninstall + key, backup + file));
    ASSERT_TRUE(reg.DeleteTree("\\" + kUninstall + key));
  }
  std::string Dump(const std::string& key) { return mp.registry.Dump(kHkeyLocalMachine, kUninstall + key); }
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
  void Start() { form.FormCreate(); }
  bool Listed(const TListBox& list, const std::string& line) {
    for (const std::string& item : list.Items())
      if (item == line) return true;
    return false;
  }

  MemoryPlatform mp;
  TForm1 form{mp.platform()};
  std::string backup;
  std::map<std::string, std::string> dumps;
};

TEST_F(BackupsPageTest, TheExtensionDecidesHowAFileIsRestored) {
  const char* names[] = {"a.reg", "B.REG", "c.Reg", "d.reg.bak", "e.regx", "noextension", "f.hiv", ".reg"};
  for (const char* name : names) mp.files.AddFile(backup + name, "REGEDIT4\r\n\r\n");
  Start();
  const struct {
    const char* name;
    bool shell;
  } cases[] = {{"a.reg", true},   {"B.REG", true},        {"c.Reg", true}, {"d.reg.bak", false},
               {"e.regx", false}, {"noextension", false}, {"f.hiv", false}, {".reg", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    mp.ui.shown.clear();
    Select(c.name);
    form.Button6.Click();
    if (c.shell) {
      ASSERT_EQ(1u, mp.ui.shown.size());
      EXPECT_EQ("shell", mp.ui.shown[0].kind);
      EXPECT_EQ(backup + c.name, mp.ui.shown[0].text);
      EXPECT_EQ(5u, mp.ui.shown[0].style);
    } else {
      EXPECT_EQ(std::vector<std::string>{"Key could not be Restored"}, mp.ui.Texts("message"));
      EXPECT_TRUE(mp.ui.Texts("shell").empty());
    }
    EXPECT_EQ(-1, form.ListBox1.ItemIndex()) << "the scan refilled the list";
    EXPECT_FALSE(form.Button6.Enabled());
    EXPECT_FALSE(form.Button7.Enabled());
  }
}

TEST_F(BackupsPageTest, AHiveGoesIntoTheEntryThatTheSettingsFileNames) {
  SaveEntryAs("Plain Name", "Plain Name");
  SaveEntryAs("Mapped Key", "saved.hiv");
  SaveEntryAs("Empty Setting", "Empty Setting");
  mp.files.AddFile(mp.system.executablePath.substr(0, mp.system.executablePath.rfind('\\') + 1) + "kestrel.ini",
                   "[Other]\r\nPlain Name=Wrong\r\n[Backups]\r\nsaved.hiv=Mapped Key\r\nEmpty Setting=\r\n");
  Start();

  Select("Plain Name");
  form.Button6.Click();
  EXPECT_EQ(dumps["Plain Name"], Dump("Plain Name")) << "without a setting the file's name is the key";
  EXPECT_TRUE(Listed(form.ListBox2, "Plain Name")) << "the scan ran after the restore";

  Select("saved.hiv");
  form.ListBox1.DblClick();
  EXPECT_EQ(dumps["Mapped Key"], Dump("Mapped Key")) << "a double click restores as the button does";
  EXPECT_EQ("(missing)", Dump("saved.hiv"));

  Select("Empty Setting");
  form.Button6.Click();
  EXPECT_EQ(dumps["Empty Setting"], Dump("Empty Setting")) << "an empty setting never names the Uninstall key";
  EXPECT_TRUE(Listed(form.ListBox2, "Plain Name")) << "the other entries are still there";
  EXPECT_EQ((std::vector<std::string>{"Key Restored", "Key Restored", "Key Restored"}), mp.ui.Texts("message"));
}

TEST_F(BackupsPageTest, ABackupThatIsGoneIsNeverRestoredFromAnotherFile) {
  SaveEntryAs("Other Entry", "Missing Two.hiv");
  mp.files.SetShortName(backup + "Missing Two.hiv", "MISSIN~1.HIV");
  mp.files.AddFile(backup + "Missing One.hiv", "x");
  Start();
  Select("Missing One.hiv");
  mp.files.RemoveFile(backup + "Missing One.hiv");
  form.Button6.Click();
  EXPECT_EQ(std::vector<std::string>{"Key could not be Restored"}, mp.ui.Texts("message"));
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
    for (const char* file : {"a.hiv", "b.hiv", "c.hiv"}) ASSERT_TRUE(reg.SaveKeyToFile("\\" + kUninstall + "Saved", backup + file));
    ASSERT_TRUE(reg.DeleteTree("\\" + kUninstall + "Saved"));
  }
  mp.files.AddFile(mp.system.executablePath.substr(0, mp.system.executablePath.rfind('\\') + 1) + "kestrel.ini",
                   "[Backups]\r\na.hiv=Into32\r\n[Backups 64-bit]\r\nb.hiv=Into64\r\n[Backups user]\r\nc.hiv=IntoUser\r\n");
  Start();
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
    Select(c.file);
    form.Button6.Click();
    EXPECT_EQ(std::vector<std::string>{"Key Restored"}, mp.ui.Texts("message"));
    mp.ui.shown.clear();
    std::string expected = saved;
    for (size_t at; (at = expected.find(kUninstall + "Saved")) != std::string::npos;)
      expected.replace(at, kUninstall.size() + 5, c.key);
    EXPECT_EQ(expected, mp.registry.Dump(c.root, c.key));
  }
  EXPECT_FALSE(mp.registry.KeyExists(kHkeyLocalMachine, wow + "Into64"));
  EXPECT_FALSE(mp.registry.KeyExists(kHkeyLocalMachine, kUninstall + "Into32"));
}

TEST_F(BackupsPageTest, ARegistryFileTheShellCannotOpenGoesToTheRegistryEditor) {
  mp.files.AddFile(backup + "Undo20261207.reg", "REGEDIT4\r\n\r\n");
  mp.files.AddFile(backup + "gone.reg", "REGEDIT4\r\n\r\n");
  Start();
  const std::string file = backup + "Undo20261207.reg";
  // On a terminal server the user's own Windows folder holds no registry editor; the system's does.
  mp.system.windowsDirectory = "C:\\Users\\ann\\WINDOWS";
  mp.system.systemWindowsDirectory = "C:\\WINDOWS";
  const std::string editor = "C:\\WINDOWS\\regedit.exe";

  mp.ui.shellResults[file] = 31;
  Select("Undo20261207.reg");
  form.Button6.Click();
  ASSERT_EQ(2u, mp.ui.shown.size());
  EXPECT_EQ(editor + " \"" + file + "\"", mp.ui.shown[1].text);
  EXPECT_EQ(5u, mp.ui.shown[1].style);
  EXPECT_TRUE(mp.ui.Texts("message").empty());

  mp.ui.shown.clear();
  mp.ui.shellResults[editor] = 2;
  Select("Undo20261207.reg");
  form.Button6.Click();
  EXPECT_EQ(std::vector<std::string>{"The backup could not be opened: The specified file was not found."},
            mp.ui.Texts("message"));

  mp.ui.shown.clear();
  Select("gone.reg");
  mp.files.RemoveFile(backup + "gone.reg");
  form.Button6.Click();
  EXPECT_TRUE(mp.ui.shown.empty()) << "a registry file that is gone: nothing but the scan";
  EXPECT_FALSE(Listed(form.ListBox1, "gone.reg"));
}

TEST_F(BackupsPageTest, DeleteFile) {
  mp.files.AddFile(backup + "read only.hiv", "x", kFileAttributeReadOnly | kFileAttributeHidden);
  mp.files.AddFile(backup + "removed meanwhile.reg", "x");
  mp.files.AddFile(backup + "kept.reg", "x");
  mp.files.AddFolder(backup + "a folder");
  Start();
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
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    mp.ui.shown.clear();
    Select(c.name);
    if (std::string(c.name) == "removed meanwhile.reg") mp.files.RemoveFile(backup + c.name);
    form.Button7.Click();
    EXPECT_EQ(c.messages, mp.ui.Texts("message"));
    EXPECT_TRUE(mp.ui.Texts("ask").empty()) << "no confirmation";
    EXPECT_EQ(c.listedAfter, Listed(form.ListBox1, c.name));
    EXPECT_TRUE(Listed(form.ListBox1, "kept.reg"));
    EXPECT_EQ(-1, form.ListBox1.ItemIndex());
    EXPECT_FALSE(form.Button6.Enabled());
    EXPECT_FALSE(form.Button7.Enabled());
    EXPECT_EQ(1, form.ListView1.Count()) << "the main list is not rescanned";
    EXPECT_EQ(0, form.ListView1.Selected());
  }
  EXPECT_FALSE(mp.files.FileExistsAt(backup + "read only.hiv"));
  EXPECT_TRUE(mp.files.FolderExistsAt(backup + "a folder"));

  mp.ui.shown.clear();
  form.Button7.Click();
  form.Button6.Click();
  EXPECT_TRUE(mp.ui.shown.empty()) << "with no line selected both do nothing";
}

}  // namespace
