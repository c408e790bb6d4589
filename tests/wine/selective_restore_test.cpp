// Giving back exactly what the user chooses, on Wine's real registry: five entries removed (three of
// them in one command with several), two chosen on the Backups page and one named to the console
// program put back, and the lists compared value by value with what they were: exactly those three
// back, the two others gone, nothing else changed. On 64-bit Windows an entry of the 64-bit list goes
// and comes back too. A block damaged by hand is listed as unreadable,
// with its line, and restored neither from the window nor from the command line.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "report/command_line.h"
#include "tests/support/registry_snapshot.h"
#include "tests/wine/console_run.h"
#include "tests/wine/tree_compare.h"
#include "tests/wine/undo_seeds.h"
#include "tests/wine/wine_form.h"
#include "tests/wine/wine_test_support.h"

namespace {

using undo_seeds::kUninstallPath;

struct Seeded {
  HKEY root;
  std::string key;
  std::string displayName;
  // KEY_WOW64_64KEY for an entry of the 64-bit list.
  REGSAM view = 0;
};
const Seeded kAlpha{HKEY_LOCAL_MACHINE, "TWR Alpha", "TWR Alpha 1.0"};
const Seeded kBravo{HKEY_LOCAL_MACHINE, "TWR Bravo", "TWR Bravo caf\xc3\xa9"};
const Seeded kCharlie{HKEY_CURRENT_USER, "TWR Charlie", "TWR Charlie \"quoted\""};
const Seeded kDelta{HKEY_LOCAL_MACHINE, "TWR \xce\x94\xce\xad\xce\xbb\xcf\x84\xce\xb1",
                    "TWR \xce\x94\xce\xad\xce\xbb\xcf\x84\xce\xb1 \xe5\xbe\xae\xe4\xbf\xa1"};
const Seeded kEcho{HKEY_LOCAL_MACHINE, "TWR Echo", "TWR Echo"};
// On 64-bit Windows, an entry of the 64-bit list too.
const Seeded kFoxtrot{HKEY_LOCAL_MACHINE, "TWR Foxtrot", "TWR Foxtrot 64-bit", KEY_WOW64_64KEY};
const Seeded* const kAll[] = {&kAlpha, &kBravo, &kCharlie, &kDelta, &kEcho, &kFoxtrot};

const std::string kStem = "UndoSelectiveRestoreTest";
const std::string kUserPath = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

HKEY CreateKey(const Seeded& entry, const std::string& below) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(entry.root, platform::Widen(kUninstallPath + entry.key + below).c_str(), 0, nullptr, 0,
                      KEY_ALL_ACCESS | entry.view, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return nullptr;
  return key;
}

void Seed(const Seeded& entry) {
  HKEY key = CreateKey(entry, "");
  ASSERT_NE(nullptr, key);
  EXPECT_TRUE(undo_seeds::Set(key, "DisplayName", REG_SZ, undo_seeds::Text(entry.displayName)));
  EXPECT_TRUE(undo_seeds::Set(key, "UninstallString", REG_EXPAND_SZ,
                              undo_seeds::Text("\"%ProgramFiles%\\" + entry.key + "\\unins000.exe\" /x")));
  EXPECT_TRUE(undo_seeds::Set(key, "EstimatedSize", REG_DWORD, std::string("\x10\x27\0\0", 4)));
  EXPECT_TRUE(undo_seeds::Set(key, "Blob", REG_BINARY, undo_seeds::EveryByte(300)));
  RegCloseKey(key);
  HKEY part = CreateKey(entry, "\\Parts\\Deep");
  ASSERT_NE(nullptr, part);
  EXPECT_TRUE(undo_seeds::Set(part, "", REG_MULTI_SZ, undo_seeds::Wide(std::string("one\0\xc3\xa9\0\0", 8))));
  RegCloseKey(part);
}

bool Exists(const Seeded& entry) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(entry.root, platform::Widen(kUninstallPath + entry.key).c_str(), 0, KEY_READ | entry.view, &key) !=
      ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

bool SixtyFourBitWindows() {
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

// The lines of a file, each without its line end.
std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end - start - (end > start && text[end - 1] == '\r' ? 1 : 0)));
  return lines;
}

class SelectiveRestore : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const Seeded* entry : kAll) undo_seeds::DeleteTree(entry->root, kUninstallPath + entry->key, entry->view);
    DeleteFiles();
    RemoveTree(console_);
    CreateDirectoryW(platform::Widen(console_).c_str(), nullptr);
    ASSERT_TRUE(CopyFileW(platform::Widen(TestFolder() + "..\\bin\\Tidewell.com").c_str(),
                          platform::Widen(console_ + "\\Tidewell.com").c_str(), FALSE));
  }
  void TearDown() override {
    for (const Seeded* entry : kAll) undo_seeds::DeleteTree(entry->root, kUninstallPath + entry->key, entry->view);
    DeleteFiles();
    RemoveTree(console_);
  }
  void DeleteFiles() {
    for (const char* suffix : {".reg", ".unicode.reg"}) DeleteFileW(platform::Widen(Stem() + suffix).c_str());
  }
  std::string Stem() const { return TestFolder() + "Backup\\" + kStem; }

  // Both lists this program sees, and the machine's 64-bit one where there is one.
  regfile::Tree Lists() {
    regfile::Tree lists = regfile::Snapshot(wine_.real.registry, platform::kHkeyLocalMachine, kUninstallPath.substr(0, kUninstallPath.size() - 1));
    for (auto& [key, values] : regfile::Snapshot(wine_.real.registry, platform::kHkeyCurrentUser,
                                                  kUserPath.substr(0, kUserPath.size() - 1)))
      lists["HKCU\\" + key] = values;
    for (auto& [key, values] : regfile::Snapshot(wine_.real.registry, platform::kHkeyLocalMachine,
                                                  kUninstallPath.substr(0, kUninstallPath.size() - 1), KEY_WOW64_64KEY))
      lists["64\\" + key] = values;
    return lists;
  }
  // The lists as they were, without the entry (which a 32-bit Windows shows in its one view twice).
  static void Drop(regfile::Tree& lists, const Seeded& entry) {
    const std::string path = regfile::Upper((entry.root == HKEY_CURRENT_USER ? "HKCU\\" + kUserPath : kUninstallPath) + entry.key);
    for (const std::string& key : {path, "64\\" + path})
      for (auto at = lists.begin(); at != lists.end();)
        at = at->first == key || at->first.rfind(key + "\\", 0) == 0 ? lists.erase(at) : std::next(at);
  }

  int Row(const Seeded& entry) {
    for (int i = 0; i < form_.list.entryList.Count(); ++i)
      if (form_.list.entryList.Item(i).SubItems.at(0) == entry.key) return i;
    return -1;
  }
  // The Backups page's row of the entry's block, -1 when none is listed.
  int BlockRow(const Seeded& entry) {
    for (int i = 0; i < form_.backups.rows.Count(); ++i)
      if (form_.backups.rows.Item(i).SubItems.at(4) == entry.key) return i;
    return -1;
  }
  void SelectBackup(const std::string& name) {
    form_.list.refreshButton.Click();
    const auto& items = form_.backups.files.Items();
    const auto at = std::find(items.begin(), items.end(), name);
    ASSERT_NE(items.end(), at) << name << " is not listed";
    form_.backups.files.ItemIndexFromUser(static_cast<int>(at - items.begin()));
    form_.backups.files.Click();
  }

  WineForm wine_;
  RecordingUi& ui_ = wine_.ui;
  MainWindow& form_ = wine_.form;
  const std::string console_ = TestFolder() + "selective_restore";
};

TEST_F(SelectiveRestore, ExactlyTheChosenEntriesComeBack) {
  const bool wow64 = SixtyFourBitWindows();
  for (const Seeded* entry : {&kAlpha, &kBravo, &kCharlie, &kDelta, &kEcho}) Seed(*entry);
  if (wow64) Seed(kFoxtrot);
  const regfile::Tree before = Lists();
  form_.FormCreate();
  form_.Undo().SetStem(kStem);

  // Two removed one at a time, three in one command with several.
  for (const Seeded* entry : {&kAlpha, &kBravo}) {
    ASSERT_GE(Row(*entry), 0) << entry->key;
    ClickRow(form_, Row(*entry));
    ui_.answers = {IDYES};
    form_.list.removeButton.Click();
  }
  std::vector<int> rows;
  for (const Seeded* entry : {&kCharlie, &kDelta, &kEcho}) rows.push_back(Row(*entry));
  if (wow64) rows.push_back(Row(kFoxtrot));
  std::sort(rows.begin(), rows.end());
  ASSERT_GE(rows.front(), 0);
  form_.list.entryList.SelectionFromUser(rows);
  ui_.answers = {IDYES};
  form_.commands.OnRemoveEntry();
  ASSERT_TRUE(ui_.Texts("error").empty()) << ui_.Texts("error").front();
  for (const Seeded* entry : kAll) ASSERT_FALSE(Exists(*entry)) << entry->key << " was removed";
  ASSERT_TRUE(ui_.Texts("error").empty()) << ui_.Texts("error").front();

  // Echo's block damaged by hand: a value line that no longer reads.
  const std::string file = Stem() + ".reg";
  std::vector<std::string> lines = LinesOf(ReadFileText(file));
  int damaged = 0;
  for (size_t i = 0, echo = 0; i < lines.size() && !damaged; ++i) {
    if (lines[i].find("\\" + kEcho.key + "]") != std::string::npos) echo = i;
    if (echo && lines[i].rfind("\"EstimatedSize\"=", 0) == 0) {
      lines[i] = "\"EstimatedSize\"=dword:0000271G";
      damaged = static_cast<int>(i) + 1;
    }
  }
  ASSERT_GT(damaged, 0) << "Echo's lines are in " << file;
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    for (const std::string& line : lines) out << line << "\r\n";
  }

  // The Backups page lists every block of the file with its entry's state.
  SelectBackup(kStem + ".reg");
  ASSERT_GE(BlockRow(kAlpha), 0);
  ASSERT_GE(BlockRow(kCharlie), 0);
  ASSERT_GE(BlockRow(kEcho), 0);
  EXPECT_EQ("absent", form_.backups.rows.Item(BlockRow(kAlpha)).SubItems.at(0));
  EXPECT_EQ("user", form_.backups.rows.Item(BlockRow(kCharlie)).SubItems.at(1));
  EXPECT_EQ("removed entry", form_.backups.rows.Item(BlockRow(kCharlie)).SubItems.at(3));
  EXPECT_EQ(kCharlie.displayName, form_.backups.rows.Item(BlockRow(kCharlie)).Caption);
  EXPECT_EQ("unreadable (line " + std::to_string(damaged) + ")", form_.backups.rows.Item(BlockRow(kEcho)).SubItems.at(0));

  // Alpha and Charlie chosen, and the damaged Echo with them.
  form_.backups.rows.SelectionFromUser({BlockRow(kAlpha), BlockRow(kCharlie), BlockRow(kEcho)});
  form_.backups.rows.Click();
  ASSERT_TRUE(form_.backups.restoreSelectedButton.Enabled());
  ui_.shown.clear();
  ui_.answers = {IDYES};
  form_.backups.restoreSelectedButton.Click();
  EXPECT_EQ(3u, ui_.listLines.back().size());
  ASSERT_EQ(1u, ui_.Texts("error").size());
  const std::string told = ui_.Texts("error").front();
  std::printf("Restore Selected said: %s\n", told.c_str());
  EXPECT_EQ(0u, told.find("Restored 2 of 3")) << told;
  EXPECT_NE(std::string::npos, told.find("Not restored: TWR Echo (32-bit), line ")) << told;
  EXPECT_NE(std::string::npos, told.find("the backup cannot be read at line " + std::to_string(damaged))) << told;
  EXPECT_TRUE(Exists(kAlpha));
  EXPECT_TRUE(Exists(kCharlie));
  EXPECT_FALSE(Exists(kEcho));
  EXPECT_GE(Row(kAlpha), 0) << "the main list was read again";
  EXPECT_EQ("present", form_.backups.rows.Item(BlockRow(kAlpha)).SubItems.at(0)) << "the page lists the file afresh";

  // Delta, from the console program, out of whichever file carried its name.
  std::string deltaFile = Stem() + ".unicode.reg";
  if (GetFileAttributesW(platform::Widen(deltaFile).c_str()) == INVALID_FILE_ATTRIBUTES) deltaFile = file;
  const Finished listed = RunConsoleProgramIn(console_, "/restore \"" + file + "\" /list");
  EXPECT_EQ(0u, listed.exitCode) << listed.error;
  std::printf("/restore /list printed:\n%s", listed.out.c_str());
  EXPECT_NE(std::string::npos, listed.out.find("\t32-bit\tTWR Alpha\tTWR Alpha 1.0\tpresent\t\n"));
  EXPECT_NE(std::string::npos, listed.out.find("\t32-bit\tTWR Bravo\t" + kBravo.displayName + "\tabsent\t\n"));
  EXPECT_NE(std::string::npos, listed.out.find("\t32-bit\tTWR Echo\tTWR Echo\tunreadable\tline " + std::to_string(damaged) +
                                               ": a dword that is not 1 to 8 hexadecimal digits\n"));
  const Finished echo = RunConsoleProgramIn(console_, "/restore \"" + file + "\" \"TWR Echo\"");
  EXPECT_EQ(static_cast<DWORD>(kExitFailure), echo.exitCode);
  EXPECT_NE(std::string::npos, echo.out.find("not restored 32-bit\\TWR Echo (line ")) << echo.out;
  const Finished delta = RunConsoleProgramIn(console_, "/restore \"" + deltaFile + "\" \"" + kDelta.key + "\"");
  EXPECT_EQ(0u, delta.exitCode) << delta.out << delta.error;
  EXPECT_EQ(0u, delta.out.find("restored 32-bit\\" + kDelta.key + " (line ")) << delta.out;
  if (wow64) {
    // The 64-bit list's entry, whose key lines name the 64-bit view's key.
    const Finished foxtrot = RunConsoleProgramIn(console_, "/restore \"" + file + "\" \"64-bit\\" + kFoxtrot.key + "\"");
    EXPECT_EQ(0u, foxtrot.exitCode) << foxtrot.out << foxtrot.error;
    EXPECT_EQ(0u, foxtrot.out.find("restored 64-bit\\" + kFoxtrot.key + " (line ")) << foxtrot.out;
  }

  // Exactly the three chosen are back, each as it was; Bravo and the damaged Echo stay gone; nothing
  // else in the lists changed.
  regfile::Tree expected = before;
  Drop(expected, kBravo);
  Drop(expected, kEcho);
  std::printf("The lists after the restores, against the lists before without Bravo and Echo:\n");
  EXPECT_EQ(0, CompareTrees(expected, Lists(), false));
  EXPECT_FALSE(Exists(kBravo));
  EXPECT_FALSE(Exists(kEcho));
}

}  // namespace
