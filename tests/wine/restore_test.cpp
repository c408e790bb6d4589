// Restoring backups under Wine from the Backups page: hive files saved by the program, undo files
// merged by the registry editor, restores in several processes at once. Real registry, real files.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "registry/nt_registry.h"
#include "restore/hive_restore.h"
#include "restore/short_name.h"
#include "tests/support/reg_file_reader.h"
#include "tests/support/registry_snapshot.h"
#include "tests/wine/wine_form.h"
#include "tests/wine/wine_test_support.h"

namespace {

const std::string kUninstallPath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::string kEntry = "TidewellRestoreTest";

std::string BackupFolder() { return TestFolder() + "Backup\\"; }
std::string SettingsFile() { return TestFolder() + "kestrel.ini"; }

void WriteFileText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

bool KeyExists(const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

void SetValue(HKEY key, const char* name, DWORD type, const std::string& bytes) {
  RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()));
}

std::string Text(const std::string& text) { return text + std::string(1, '\0'); }

// An uninstall entry with a value of every kind the program meets, and subkeys two deep.
void SeedEntry(const std::string& name, int extraValues = 0) {
  HKEY entry = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, (kUninstallPath + name).c_str(), 0, nullptr, 0,
                                           KEY_ALL_ACCESS, nullptr, &entry, nullptr));
  SetValue(entry, "DisplayName", REG_SZ, Text(name + " display"));
  SetValue(entry, "UninstallString", REG_SZ, Text("\"C:\\windows\\notepad.exe\" /uninstall " + name));
  SetValue(entry, "", REG_SZ, Text("default value"));
  SetValue(entry, "InstallLocation", REG_EXPAND_SZ, Text("%ProgramFiles%\\Tidewell Test"));
  SetValue(entry, "EstimatedSize", REG_DWORD, std::string("\x39\x30\0\0", 4));
  SetValue(entry, "Names", REG_MULTI_SZ, std::string("one\0two words\0\0", 16));
  SetValue(entry, "Big", 11, std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8));
  SetValue(entry, "Empty", REG_BINARY, "");
  SetValue(entry, "Quote \"and\" \\slash", REG_SZ, Text("C:\\Path\\\"quoted\""));
  std::string blob;
  for (int i = 0; i < 300; ++i) blob += static_cast<char>(i & 0xFF);
  SetValue(entry, "Blob", REG_BINARY, blob);
  for (int i = 0; i < extraValues; ++i) SetValue(entry, ("Extra " + std::to_string(i)).c_str(), REG_SZ, Text("x"));
  HKEY deep = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(entry, "Components\\Part 1\\Deep", 0, nullptr, 0, KEY_ALL_ACCESS,
                                           nullptr, &deep, nullptr));
  SetValue(deep, "Level", REG_DWORD, std::string("\x03\0\0\0", 4));
  RegCloseKey(deep);
  RegCloseKey(entry);
}

// Whether the backup and the restore privilege of this process's token are switched on, as "BR",
// "B-", "-R" or "--".
std::string PrivilegeState() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return "no token";
  DWORD size = 0;
  GetTokenInformation(token, TokenPrivileges, nullptr, 0, &size);
  std::vector<unsigned char> buffer(size);
  std::string state = "--";
  if (GetTokenInformation(token, TokenPrivileges, buffer.data(), size, &size)) {
    const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
    LUID backup{}, restore{};
    LookupPrivilegeValueA(nullptr, "SeBackupPrivilege", &backup);
    LookupPrivilegeValueA(nullptr, "SeRestorePrivilege", &restore);
    for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
      const LUID& luid = privileges->Privileges[i].Luid;
      const bool on = privileges->Privileges[i].Attributes & SE_PRIVILEGE_ENABLED;
      if (on && luid.LowPart == backup.LowPart && luid.HighPart == backup.HighPart) state[0] = 'B';
      if (on && luid.LowPart == restore.LowPart && luid.HighPart == restore.HighPart) state[1] = 'R';
    }
  }
  CloseHandle(token);
  return state;
}

void SwitchPrivilege(const char* name, bool on) {
  HANDLE token = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token));
  TOKEN_PRIVILEGES wanted{};
  wanted.PrivilegeCount = 1;
  LookupPrivilegeValueA(nullptr, name, &wanted.Privileges[0].Luid);
  wanted.Privileges[0].Attributes = on ? SE_PRIVILEGE_ENABLED : 0;
  AdjustTokenPrivileges(token, FALSE, &wanted, sizeof wanted, nullptr, nullptr);
  CloseHandle(token);
}

// A Ui that records like RecordingUi and also what the shell answered.

// The keys that a merge of an undo file creates below `path`, with their values, as a snapshot
// gives them.
// The keys and values that the undo file's lines hold under `path` (a key of this program's own
// view), whose key lines name the 32-bit view's keys under WOW6432Node on 64-bit Windows.
regfile::Tree MergedTree(const std::string& undoText, const std::string& path) {
  BOOL wow64 = FALSE;
  IsWow64Process(GetCurrentProcess(), &wow64);
  const std::string named = regfile::Upper(PathForEveryView({platform::kHkeyLocalMachine, wow64 ? platform::kKeyWow6432Key : 0u}, "\\" + path).substr(1));
  const std::string own = regfile::Upper(path);
  regfile::Tree tree;
  for (const regfile::Merge::Step& step : regfile::Read(undoText).steps) {
    if (step.root != "HKEY_LOCAL_MACHINE") continue;
    std::string key = regfile::Upper(step.path);
    if (key.compare(0, named.size(), named) == 0) key = own + key.substr(named.size());
    if (step.kind == 'K') tree[key];
    else tree[key][regfile::Upper(step.value.name)] = step.value;
  }
  return regfile::Subtree(tree, path);
}

class RestoreUnderWine : public ::testing::Test {
 protected:
  void SetUp() override {
    CreateDirectoryA(BackupFolder().c_str(), nullptr);
    form_.FormCreate();
    // An undo file of this test's own, so that merging it brings back nothing of other tests.
    form_.Undo().SetStem("UndoRestoreTest");
    DeleteFileA(form_.Undo().FileName().c_str());
  }
  void TearDown() override {
    for (const std::string& name : keys_) DeleteKey(kUninstallPath + name);
    for (const std::string& file : files_made_) DeleteFileA(file.c_str());
    DeleteFileA(SettingsFile().c_str());
    DeleteFileA(form_.Undo().FileName().c_str());
    EXPECT_FALSE(KeyExists("TEMP_KEY")) << "the hive stayed mounted";
  }

  void DeleteKey(const std::string& path) {
    TNTRegistry reg(wine_.real.registry);
    reg.SetRoot(platform::kHkeyLocalMachine);
    reg.DeleteTree("\\" + path);
  }
  regfile::Tree Snapshot(const std::string& name) {
    return regfile::Snapshot(wine_.real.registry, platform::kHkeyLocalMachine, kUninstallPath + name);
  }
  std::string Backup(const std::string& file) {
    files_made_.push_back(BackupFolder() + file);
    return BackupFolder() + file;
  }
  // Saves the entry as the program does, into the folder Backup.
  void SaveEntry(const std::string& name, const std::string& file) {
    keys_.push_back(name);
    DeleteFileA(Backup(file).c_str());
    ASSERT_TRUE(SaveHive(wine_.platform, form_.Undo(), "\\" + kUninstallPath + name, BackupFolder() + file, true));
  }
  // Selects the line of the Backups list as a click does; the list is refilled first.
  void SelectBackup(const std::string& file) {
    form_.list.refreshButton.Click();
    const auto& items = form_.backups.files.Items();
    const auto at = std::find(items.begin(), items.end(), file);
    ASSERT_NE(items.end(), at) << file << " is not listed";
    form_.backups.files.ItemIndexFromUser(static_cast<int>(at - items.begin()));
    form_.backups.files.Click();
    ASSERT_TRUE(form_.backups.restoreButton.Enabled());
  }
  int Row(const std::string& name) { return MainListRow(form_, name); }
  void RemoveFromTheMainList(const std::string& name) {
    form_.list.refreshButton.Click();
    const int row = Row(name);
    ASSERT_GE(row, 0);
    ClickRow(form_, row);
    ui_.answers = {IDYES};
    form_.list.removeButton.Click();
    ASSERT_FALSE(KeyExists(kUninstallPath + name));
    ASSERT_LT(Row(name), 0);
  }

  WineForm wine_;
  RecordingUi& ui_ = wine_.ui;
  MainWindow& form_ = wine_.form;
  std::vector<std::string> keys_;
  std::vector<std::string> files_made_;
};

TEST_F(RestoreUnderWine, ARemovedEntryComesBackFromTheBackupsPage) {
  SeedEntry(kEntry);
  const regfile::Tree before = Snapshot(kEntry);
  form_.list.refreshButton.Click();
  ASSERT_GE(Row(kEntry), 0);
  const TListItem rowBefore = form_.list.entryList.Item(Row(kEntry));

  SaveEntry(kEntry, "Saved Restore Entry.hive");
  WriteFileText(SettingsFile(), "[Backups]\r\nSaved Restore Entry.hive=" + kEntry + "\r\n");
  std::printf("short name of the backup: %s\n",
              ShortFileName(wine_.real.files, BackupFolder() + "Saved Restore Entry.hive").c_str());
  RemoveFromTheMainList(kEntry);

  SelectBackup("Saved Restore Entry.hive");
  // One privilege on beforehand: the restore switches both on and then only the other one off.
  SwitchPrivilege("SeBackupPrivilege", true);
  const std::string rightsBefore = PrivilegeState();
  form_.backups.restoreButton.Click();
  EXPECT_EQ("B-", rightsBefore);
  EXPECT_EQ(rightsBefore, PrivilegeState()) << "the token is left as it was";
  std::printf("backup and restore privileges before and after the restore: %s %s\n", rightsBefore.c_str(),
              PrivilegeState().c_str());
  SwitchPrivilege("SeBackupPrivilege", false);
  EXPECT_EQ(std::vector<std::string>{"Key Restored"}, ui_.Texts("message"));
  const regfile::Tree after = Snapshot(kEntry);
  EXPECT_TRUE(before == after) << "before:\n" << regfile::Describe(before) << "after:\n" << regfile::Describe(after);
  std::printf("restored %zu keys, %zu values of the top key, value by value equal: %s\n", after.size(),
              after.count(regfile::Upper(kUninstallPath + kEntry)) ? after.at(regfile::Upper(kUninstallPath + kEntry)).size() : 0,
              before == after ? "yes" : "no");

  form_.list.refreshButton.Click();
  ASSERT_GE(Row(kEntry), 0) << "back in the list after Refresh List";
  const TListItem& rowAfter = form_.list.entryList.Item(Row(kEntry));
  EXPECT_EQ(rowBefore.Caption, rowAfter.Caption);
  EXPECT_EQ(rowBefore.SubItems, rowAfter.SubItems);
  EXPECT_EQ(rowBefore.ImageIndex, rowAfter.ImageIndex);
}

TEST_F(RestoreUnderWine, ARestoreOntoAnExistingEntryReplacesItAndKeepsTheOldOneInTheUndoFile) {
  SeedEntry(kEntry);
  const regfile::Tree saved = Snapshot(kEntry);
  SaveEntry(kEntry, kEntry);
  HKEY entry = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, (kUninstallPath + kEntry + "\\Extra\\More").c_str(), 0,
                                           nullptr, 0, KEY_ALL_ACCESS, nullptr, &entry, nullptr));
  SetValue(entry, "Only Later", REG_SZ, Text("not in the backup"));
  RegCloseKey(entry);
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, (kUninstallPath + kEntry).c_str(), 0, KEY_ALL_ACCESS, &entry));
  SetValue(entry, "DisplayName", REG_SZ, Text("changed since the backup"));
  RegDeleteValueA(entry, "Names");
  RegCloseKey(entry);
  const regfile::Tree changed = Snapshot(kEntry);
  ASSERT_FALSE(saved == changed);

  SelectBackup(kEntry);  // no settings file: the file's own name is the entry's
  form_.backups.restoreButton.Click();
  EXPECT_EQ(std::vector<std::string>{"Key Restored"}, ui_.Texts("message"));
  const regfile::Tree after = Snapshot(kEntry);
  EXPECT_TRUE(saved == after) << "after:\n" << regfile::Describe(after);
  const regfile::Tree inUndo = MergedTree(ReadFileText(form_.Undo().FileName()), kUninstallPath + kEntry);
  EXPECT_TRUE(changed == inUndo) << "undo file holds:\n" << regfile::Describe(inUndo);
  std::printf("replaced entry: %zu keys back as saved; the undo file holds the %zu keys it replaced\n", after.size(),
              inUndo.size());
}

TEST_F(RestoreUnderWine, AFileThatIsNotAHiveChangesNothing) {
  SeedEntry(kEntry);
  keys_.push_back(kEntry);
  const regfile::Tree before = Snapshot(kEntry);
  const struct {
    const char* file;
    std::string content;
  } cases[] = {
      {"garbage.bin", std::string("\x00\x01not a hive at all\xff", 20)},
      {"empty.hive", ""},
      {"text export.txt", "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\" + kUninstallPath + kEntry + "]\r\n\"DisplayName\"=\"x\"\r\n"},
  };
  std::string settings = "[Backups]\r\n";
  for (const auto& c : cases) settings += std::string(c.file) + "=" + kEntry + "\r\n";
  WriteFileText(SettingsFile(), settings);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    WriteFileText(Backup(c.file), c.content);
    ui_.shown.clear();
    SelectBackup(c.file);
    form_.backups.restoreButton.Click();
    EXPECT_EQ(std::vector<std::string>{"Key could not be Restored\nThe file is not a registry hive that this system can load."},
              ui_.Texts("message"));
    EXPECT_TRUE(before == Snapshot(kEntry));
    EXPECT_FALSE(KeyExists("TEMP_KEY"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(form_.Undo().FileName().c_str())) << "nothing was backed up";
  }
}

struct Event {
  std::string who;
  std::string what;
  unsigned long long time;
};

std::vector<Event> ReadLog(const std::string& who, const std::string& file) {
  std::vector<Event> events;
  std::istringstream in(ReadFileText(file));
  std::string what;
  unsigned long long time = 0;
  while (in >> what) {
    if (what == "mounted") {
      std::string code;
      in >> code;
      what += " " + code;
    }
    in >> time;
    events.push_back({who, what, time});
  }
  return events;
}

TEST_F(RestoreUnderWine, RestoresStartedAtOnceInTwoProcessesRunOneAfterTheOther) {
  const std::string runner = TestFolder() + "restore_runner.exe";
  ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(runner.c_str()));
  std::map<std::string, regfile::Tree> saved;
  for (const std::string& name : {std::string("TidewellRestoreA"), std::string("TidewellRestoreB")}) {
    SeedEntry(name, 1500);
    saved[name] = Snapshot(name);
    SaveEntry(name, name);
    DeleteKey(kUninstallPath + name);
  }
  const std::string logs[] = {Backup("hold.log"), Backup("a.log"), Backup("b.log")};
  for (const std::string& log : logs) DeleteFileA(log.c_str());

  const auto start = [&](const std::string& arguments) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    std::string command = "\"" + runner + "\" " + arguments;
    EXPECT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started));
    CloseHandle(started.hThread);
    return started.hProcess;
  };
  HANDLE holder = start("\"" + logs[0] + "\" hold 1500");
  for (int i = 0; i < 200 && ReadFileText(logs[0]).find("owned") == std::string::npos; ++i) Sleep(20);
  ASSERT_NE(std::string::npos, ReadFileText(logs[0]).find("owned")) << "the holder never took the lock";
  HANDLE a = start("\"" + logs[1] + "\" restore \"\\" + kUninstallPath + "TidewellRestoreA\" \"" + BackupFolder() + "TidewellRestoreA\"");
  HANDLE b = start("\"" + logs[2] + "\" restore \"\\" + kUninstallPath + "TidewellRestoreB\" \"" + BackupFolder() + "TidewellRestoreB\"");
  HANDLE all[] = {holder, a, b};
  ASSERT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(3, all, TRUE, 60000));
  DWORD codes[3] = {};
  for (int i = 0; i < 3; ++i) {
    GetExitCodeProcess(all[i], &codes[i]);
    CloseHandle(all[i]);
  }
  EXPECT_EQ(0u, codes[0]);
  EXPECT_EQ(0u, codes[1]) << "restore A";
  EXPECT_EQ(0u, codes[2]) << "restore B";

  std::vector<Event> events;
  const char* who[] = {"hold", "A", "B"};
  for (int i = 0; i < 3; ++i) {
    const std::vector<Event> some = ReadLog(who[i], logs[i]);
    events.insert(events.end(), some.begin(), some.end());
  }
  std::sort(events.begin(), events.end(), [](const Event& x, const Event& y) { return x.time < y.time; });
  const unsigned long long origin = events.empty() ? 0 : events.front().time;
  for (const Event& e : events) std::printf("%8.1f ms  %-4s %s\n", (e.time - origin) / 1e4, e.who.c_str(), e.what.c_str());

  // Each process's span from "owned" to "releasing"; the spans must not overlap, and each mount
  // and unmount must lie in its own process's span.
  std::map<std::string, std::pair<unsigned long long, unsigned long long>> span;
  for (const Event& e : events) {
    if (e.what == "owned") span[e.who].first = e.time;
    if (e.what == "releasing") span[e.who].second = e.time;
  }
  ASSERT_EQ(3u, span.size());
  for (const char* x : who)
    for (const char* y : who)
      if (std::string(x) < y) {
        EXPECT_TRUE(span[x].second <= span[y].first || span[y].second <= span[x].first) << x << " and " << y << " overlap";
      }
  for (const Event& e : events) {
    if (e.what.rfind("mounted", 0) == 0 || e.what == "unmounting") {
      EXPECT_GE(e.time, span[e.who].first) << e.who << " " << e.what;
      EXPECT_LE(e.time, span[e.who].second) << e.who << " " << e.what;
    }
    if (e.what == "start" && e.who != "hold") {
      EXPECT_LT(e.time, span["hold"].second) << e.who << " started while held";
    }
    if (e.what == "waiting") {
      EXPECT_LT(e.time, span["hold"].second);
    }
  }
  EXPECT_EQ(2, std::count_if(events.begin(), events.end(), [](const Event& e) { return e.what == "waiting"; }));
  for (const auto& [name, tree] : saved) EXPECT_TRUE(tree == Snapshot(name)) << name;
}

// Restore of an undo file asks, then puts the entry back itself and says so; a file its reader
// cannot read whole goes to the registry editor only after a question that says why.
TEST_F(RestoreUnderWine, AnUndoFileRestoredFromThePagePutsARemovedEntryBack) {
  SeedEntry(kEntry);
  keys_.push_back(kEntry);
  const regfile::Tree before = Snapshot(kEntry);
  RemoveFromTheMainList(kEntry);
  const std::string undo = form_.Undo().Stem() + ".reg";

  ui_.shown.clear();
  SelectBackup(undo);
  ui_.answers = {IDYES};
  form_.backups.restoreButton.Click();
  ASSERT_EQ(1u, ui_.Texts("ask").size());
  EXPECT_EQ("Restore File?", ui_.shown[0].caption);
  EXPECT_EQ(static_cast<std::uint32_t>(MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2), ui_.shown[0].style);
  ASSERT_EQ(1u, ui_.Texts("message").size());
  EXPECT_EQ(0u, ui_.Texts("message")[0].find("Restored 1 of 1: ")) << ui_.Texts("message")[0];
  EXPECT_TRUE(ui_.shellAnswers.empty());
  regfile::Tree after = Snapshot(kEntry);
  EXPECT_TRUE(before == after) << "after:\n" << regfile::Describe(after);
  EXPECT_GE(Row(kEntry), 0) << "in the list at once";

  // The same lines after one that deletes a key: the reader does not take it, the editor merges.
  RemoveFromTheMainList(kEntry);
  const std::string written = ReadFileText(BackupFolder() + undo);
  const std::string header = "REGEDIT4\r\n";
  ASSERT_EQ(0u, written.find(header));
  WriteFileText(Backup("edited.reg"),
                header + "\r\n[-HKEY_LOCAL_MACHINE\\SOFTWARE\\TidewellNoSuchKey]\r\n" + written.substr(header.size()));
  ui_.shown.clear();
  SelectBackup("edited.reg");
  ui_.answers = {IDYES};
  form_.backups.restoreButton.Click();
  ASSERT_EQ(1u, ui_.Texts("ask").size());
  EXPECT_EQ("Merge File?", ui_.shown[0].caption);
  EXPECT_EQ(static_cast<std::uint32_t>(MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2), ui_.shown[0].style);
  // The registry editor itself (on 64-bit Windows the 64-bit one), waited for: not the shell.
  EXPECT_TRUE(ui_.shellAnswers.empty());
  // The restore ended when the editor had merged: the entry is back, and listed without Refresh List.
  after = Snapshot(kEntry);
  EXPECT_TRUE(before == after) << "after:\n" << regfile::Describe(after);
  EXPECT_GE(Row(kEntry), 0) << "in the list at once";
}

}  // namespace
