// Names and texts of every script, removed by the program on Wine's real registry and merged back
// by Wine's registry editor: every character comes back. A change that the system's code page
// carries goes to the REGEDIT4 file as before; any other goes whole to the day's Unicode file.
// Runs in the test prefix (code page 1252) and again in one of code page 932
// (tests/wine/code_page_932_test.sh).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "backup/undo_file.h"
#include "platform/text_encoding.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_system.h"
#include "registry/nt_registry.h"
#include "restore/hive_restore.h"
#include "restore/short_name.h"
#include "tests/support/reg_file_reader.h"
#include "tests/support/registry_snapshot.h"
#include "tests/wine/tree_compare.h"
#include "tests/wine/undo_seeds.h"
#include "tests/wine/wine_form.h"
#include "tests/wine/wine_test_support.h"

using undo_seeds::Create;
using undo_seeds::kUninstallPath;
using undo_seeds::Set;
using undo_seeds::Text;
using undo_seeds::Wide;

namespace {

// Chinese, Cyrillic, Greek, a combining acute accent after an e, and a character outside the Basic
// Multilingual Plane (a surrogate pair in UTF-16).
const std::string kEveryScript = "TWU-\xd0\xba\xd0\xb8\xd1\x80\xd0\xb8\xd0\xbb\xd0\xbb\xd0\xb8\xd1\x86\xd0\xb0 "
                                 "\xe5\xbe\xae\xe4\xbf\xa1 \xce\x95\xce\xbb\xce\xbb\xce\xb7\xce\xbd\xce\xb9\xce\xba\xce\xac "
                                 "e\xcc\x81 \xf0\x9f\x98\x80";
const std::string kWeChat = "\xe5\xbe\xae\xe4\xbf\xa1 WeChat";
// Japanese whose second bytes in code page 932 are 0x5C, the backslash: 成績表 ソフト 能 十.
const std::string kSecondByteBackslash = "\xe6\x88\x90\xe7\xb8\xbe\xe8\xa1\xa8 \xe3\x82\xbd\xe3\x83\x95\xe3\x83\x88 "
                                         "\xe8\x83\xbd \xe5\x8d\x81";

// An entry with names and texts of every script in key names, value names and every string type,
// and data that is no whole text (a surrogate without its partner).
bool SeedEveryScript(const std::string& path) {
  HKEY key = Create(HKEY_LOCAL_MACHINE, path);
  if (!key) return false;
  bool ok = true;
  ok &= Set(key, "DisplayName", REG_SZ, Text(kWeChat));
  ok &= Set(key, "Publisher", REG_SZ, Text("\xd0\x9e\xd0\x9e\xd0\x9e \xd0\xa0\xd0\xbe\xd0\xbc\xd0\xb0\xd1\x88\xd0\xba\xd0\xb0"));
  ok &= Set(key, "Comments", REG_SZ, Text("\xce\x95\xce\xbb\xce\xbb\xce\xb7\xce\xbd\xce\xb9\xce\xba\xce\xac "
                                                  "\xc3\xbcn\xc3\xaf" "c\xc3\xb6" "d\xc3\xa9 \xe2\x9c\x93"));
  ok &= Set(key, "UninstallString", REG_EXPAND_SZ,
                Text("\"%ProgramFiles%\\\xce\x95\xce\xbb\xce\xbb\xce\xb7\xce\xbd\xce\xb9\xce\xba\xce\xac\\unins000.exe\" /x"));
  ok &= Set(key, "", REG_SZ, Text("\xe9\xbb\x98\xe8\xae\xa4 default \"quoted\" \\ back\\slash\r\nline"));
  ok &= Set(key, "\xd0\x98\xd0\xbc\xd1\x8f", REG_SZ, Text("\xd0\xb7\xd0\xbd\xd0\xb0\xd1\x87\xd0\xb5\xd0\xbd\xd0\xb8\xd0\xb5"));
  ok &= Set(key, "\xe5\x90\x8d\xe5\x89\x8d", REG_MULTI_SZ,
                Wide(std::string("\xe4\xb8\x80\0\xe4\xba\x8c \xf0\x9d\x84\x9e\0\0", 14)));
  ok &= Set(key, "\xcf\x8c\xce\xbd\xce\xbf\xce\xbc\xce\xb1", REG_EXPAND_SZ, Text("%TEMP%\\\xce\xac"));
  ok &= Set(key, "e\xcc\x81", REG_SZ, Text("a\xcc\x88 o\xcc\x82"));
  ok &= Set(key, "\xf0\x9f\x98\x80", REG_SZ, Text("\xf0\x9f\x8e\x89 outside the BMP \xf0\x9d\x84\x9e"));
  ok &= Set(key, kSecondByteBackslash, REG_SZ, Text(kSecondByteBackslash + " \\"));
  ok &= Set(key, "Lone surrogate", REG_SZ, std::string("\x3d\xd8" "a\0\0\0", 6));
  ok &= Set(key, "Link", REG_LINK, Wide("\\Registry\\\xe8\xa1\xa8"));
  ok &= Set(key, "Binary", REG_BINARY, std::string("\x00\x5c\xff", 3));
  ok &= Set(key, "Number", REG_DWORD, std::string("\x2a\0\0\0", 4));
  RegCloseKey(key);
  HKEY deep = Create(HKEY_LOCAL_MACHINE, path + "\\\xd0\x9f\xd0\xbe\xd0\xb4 \xe5\xad\x90\\\xce\x92\xce\xb1\xce\xb8\xcf\x8d");
  ok &= deep && Set(deep, "", REG_SZ, Text("\xe9\xbb\x98\xe8\xae\xa4"));
  if (deep) RegCloseKey(deep);
  return ok;
}

// One entry that a code page carries: its text and the code page (0: every one).
struct Carried {
  const char* what;
  std::string key;
  std::string text;
  unsigned codePage;
};

// The window's commands, the hive restore and the undo file's own writes go to the same undo files,
// this test's own, so that merging them brings back nothing of other tests.
class UnicodeRoundTrip : public ::testing::Test {
 protected:
  void SetUp() override {
    form_.FormCreate();
    form_.Undo().SetStem(undo_.Stem());
    DeleteFiles();
  }
  void TearDown() override {
    for (const std::string& key : keys_) undo_seeds::DeleteTree(HKEY_LOCAL_MACHINE, kUninstallPath + key);
    DeleteFiles();
  }
  void DeleteFiles() {
    for (UndoFormat format : {UndoFormat::kRegedit4, UndoFormat::kUnicode})
      DeleteFileW(platform::Widen(undo_.FileName(format)).c_str());
  }
  bool Exists(UndoFormat format) {
    return GetFileAttributesW(platform::Widen(undo_.FileName(format)).c_str()) != INVALID_FILE_ATTRIBUTES;
  }
  std::string Content(UndoFormat format) { return ReadFileText(undo_.FileName(format)); }
  regfile::Tree Entry(const std::string& key) {
    return regfile::Snapshot(real_.registry, platform::kHkeyLocalMachine, kUninstallPath + key);
  }
  int Row(const std::string& key) { return MainListRow(form_, key); }
  // Removes the entry with "&Delete an entry >>" of All Entries, answering Yes.
  void RemoveFromAllEntries(const std::string& key) {
    form_.list.refreshButton.Click();
    const auto& lines = form_.allEntries.keys.Items();
    int line = -1;
    // The machine's entry in this program's own view: marked "(32-bit)" on 64-bit Windows.
    for (int i = 0; i < static_cast<int>(lines.size()); ++i)
      if (lines[i] == key || lines[i] == key + " (32-bit)") line = i;
    ASSERT_GE(line, 0) << key << " is not in All Entries";
    form_.allEntries.keys.ItemIndexFromUser(line);
    ui_.answers = {IDYES};
    form_.allEntries.deleteButton.Click();
    ASSERT_TRUE(ui_.Texts("error").empty()) << ui_.Texts("error").front();
    ASSERT_TRUE(Entry(key).empty()) << "the entry is gone";
  }

  WineForm wine_;
  platform::Win32Platform& real_ = wine_.real;
  RecordingUi& ui_ = wine_.ui;
  MainWindow& form_ = wine_.form;
  UndoFile undo_{real_.files, real_.system, BackupFolderOf(real_.system.ExecutablePath()), "UndoUnicodeTest"};
  std::vector<std::string> keys_;
};

// The run of another code page says which one it wants, so that a prefix that fell back to the
// default is not taken for it.
TEST_F(UnicodeRoundTrip, RunsInTheCodePageItWasStartedFor) {
  const char* expected = std::getenv("TIDEWELL_EXPECT_CODE_PAGE");
  if (expected) {
    EXPECT_EQ(std::strtoul(expected, nullptr, 10), GetACP());
  }
  std::printf("ANSI code page %u, double-byte: %s\n", GetACP(), GetSystemMetrics(SM_DBCSENABLED) ? "yes" : "no");
}

// The lists are sorted by the system's sort keys, one per name: they order names of every script
// as the system's comparison (lstrcmpW, lstrcmpiW) does, with letter case counted and ignored.
TEST(TextOrder, SortKeysOrderNamesAsTheSystemComparesThem) {
  platform::Win32System system;
  const std::vector<std::string> names = {
      "", "Zebra", "zebra", "\xc3\x89" "clair", "eclair", "Eclair", "co-op", "coop", "Co-op", "o'neil", "Oneil",
      "App 10", "App 9", "App9", "{0A1B}", "_under", "\xc3\x9f" "e", "sse", "e\xcc\x81", "\xc3\xa9",
      "\xce\xb1\xce\xbb\xcf\x86\xce\xb1", "\xce\x86\xce\xbb\xcf\x86\xce\xb1", "\xd0\xba\xd0\xb8\xd1\x80",
      "\xd0\x9a\xd0\xb8\xd1\x80", kEveryScript, kWeChat, kSecondByteBackslash, "\xf0\x9f\x98\x80", "\xe5\xbe\xae"};
  const auto sign = [](int v) { return (v > 0) - (v < 0); };
  for (const bool ignoreCase : {false, true}) {
    for (const std::string& a : names) {
      for (const std::string& b : names) {
        const std::wstring wideA = platform::Widen(a), wideB = platform::Widen(b);
        const int compared = ignoreCase ? lstrcmpiW(wideA.c_str(), wideB.c_str()) : lstrcmpW(wideA.c_str(), wideB.c_str());
        EXPECT_EQ(sign(compared), sign(system.SortKey(a, ignoreCase).compare(system.SortKey(b, ignoreCase))))
            << a << " | " << b << (ignoreCase ? " (case ignored)" : "");
      }
    }
  }
}

TEST_F(UnicodeRoundTrip, AnEntryOfEveryScriptIsListedRemovedAndMergedBackWhole) {
  keys_.push_back(kEveryScript);
  ASSERT_TRUE(SeedEveryScript(kUninstallPath + kEveryScript));
  const regfile::Tree before = Entry(kEveryScript);
  ASSERT_EQ(3u, before.size());

  form_.list.refreshButton.Click();
  const int row = Row(kEveryScript);
  ASSERT_GE(row, 0) << "listed under its own key name";
  EXPECT_EQ(kWeChat, form_.list.entryList.Item(row).Caption);
  ClickRow(form_, row);
  ui_.answers = {IDYES};
  form_.list.removeButton.Click();
  ASSERT_TRUE(ui_.Texts("error").empty()) << ui_.Texts("error").front();
  ASSERT_TRUE(Entry(kEveryScript).empty()) << "the entry is gone";

  EXPECT_FALSE(Exists(UndoFormat::kRegedit4)) << "no code page carries it: the REGEDIT4 file is not touched";
  const std::string unicode = Content(UndoFormat::kUnicode);
  // The header, then the removal's comment line, which names the entry in its own script.
  EXPECT_EQ(0u, unicode.rfind("\xff\xfe" + Wide("Windows Registry Editor Version 5.00\r\n\r\n; Tidewell "), 0));
  EXPECT_NE(std::string::npos, unicode.find(Wide(", removed entry \"" + kWeChat + "\" (32-bit)\r\n[")));
  ASSERT_TRUE(undo_seeds::MergeWithRegedit(undo_.FileName(UndoFormat::kUnicode)));
  std::printf("Round trip of an entry of every script (code page %u) through the Unicode file:\n", GetACP());
  EXPECT_EQ(0, CompareTrees(before, Entry(kEveryScript), true));
}

// The registry does not check names: a key or value name may hold an unpaired surrogate. Such an
// entry is listed under its own key, removed exactly, and merged back unit for unit from the Unicode
// file; the list shows the unit as U+FFFD.
TEST_F(UnicodeRoundTrip, AnUnpairedSurrogateInANameIsListedRemovedAndMergedBackUnitForUnit) {
  const std::string key = "TWU-lone \xed\xb0\x80 key";
  keys_.push_back(key);
  HKEY created = Create(HKEY_LOCAL_MACHINE, kUninstallPath + key);
  ASSERT_TRUE(created);
  ASSERT_TRUE(Set(created, "DisplayName", REG_SZ, Text("Lone surrogate entry")));
  ASSERT_TRUE(Set(created, "UninstallString", REG_SZ, Text("C:\\gone\\u.exe")));
  ASSERT_TRUE(Set(created, "Lone \xed\xa0\x80 value", REG_SZ, Text("kept")));
  RegCloseKey(created);
  const regfile::Tree before = Entry(key);
  ASSERT_EQ(1u, before.size());
  ASSERT_EQ(1u, before.begin()->second.count(regfile::Upper("Lone \xed\xa0\x80 value"))) << "the name as the registry keeps it";

  form_.list.refreshButton.Click();
  const int row = Row(key);
  ASSERT_GE(row, 0) << "listed under its own key name";
  EXPECT_EQ("Lone surrogate entry", form_.list.entryList.Item(row).Caption);
  ClickRow(form_, row);
  ui_.answers = {IDYES};
  form_.list.removeButton.Click();
  ASSERT_TRUE(ui_.Texts("error").empty()) << ui_.Texts("error").front();
  ASSERT_TRUE(Entry(key).empty()) << "the entry is gone";
  EXPECT_NE(std::string::npos, Content(UndoFormat::kUnicode).find(Wide("TWU-lone ") + std::string("\x00\xdc", 2) + Wide(" key")))
      << "the unit itself is in the Unicode file";
  ASSERT_TRUE(undo_seeds::MergeWithRegedit(undo_.FileName(UndoFormat::kUnicode)));
  EXPECT_EQ(0, CompareTrees(before, Entry(key), true));
}

TEST_F(UnicodeRoundTrip, AChangeGoesWholeToTheFileWhoseCodePageCarriesIt) {
  const Carried cases[] = {
      {"ASCII", "TWU Plain", "Plain text \"quoted\" C:\\x", 0},
      {"Latin-1", "TWU Caf\xc3\xa9 M\xc3\xbcller", "Caf\xc3\xa9 M\xc3\xbcller \xe2\x80\x93 \xc2\xbd \xe2\x82\xac \xc3\x9cn\xc3\xaf", 1252},
      {"second bytes 0x5C", "TWU " + kSecondByteBackslash, kSecondByteBackslash + " \xe8\xa1\xa8\\", 932},
      {"Cyrillic and plain Greek", "TWU \xd0\x96 \xce\xb1", "\xd0\x9e\xd0\x9e\xd0\x9e \xd0\xa0\xd0\xbe\xd0\xbc\xd0\xb0\xd1\x88\xd0\xba\xd0\xb0 \xce\x91\xce\xb2\xce\xb3", 932},
  };
  for (const Carried& c : cases) {
    SCOPED_TRACE(c.what);
    keys_.push_back(c.key);
    DeleteFiles();
    HKEY key = Create(HKEY_LOCAL_MACHINE, kUninstallPath + c.key);
    ASSERT_NE(nullptr, key);
    ASSERT_TRUE(Set(key, "DisplayName", REG_SZ, Text(c.text)));
    ASSERT_TRUE(Set(key, c.text, REG_SZ, Text(c.text)));
    ASSERT_TRUE(Set(key, "Expand", REG_EXPAND_SZ, Text("%TEMP%\\" + c.text)));
    ASSERT_TRUE(Set(key, "Multi", REG_MULTI_SZ, Wide(c.text + std::string(1, '\0') + c.text + std::string(2, '\0'))));
    RegCloseKey(key);
    const regfile::Tree before = Entry(c.key);

    RemoveFromAllEntries(c.key);
    const bool regedit4 = c.codePage == 0 || c.codePage == GetACP();
    const UndoFormat format = regedit4 ? UndoFormat::kRegedit4 : UndoFormat::kUnicode;
    EXPECT_TRUE(Exists(format));
    EXPECT_FALSE(Exists(regedit4 ? UndoFormat::kUnicode : UndoFormat::kRegedit4)) << "the other file is not touched";
    ASSERT_TRUE(undo_seeds::MergeWithRegedit(undo_.FileName(format)));
    std::printf("%s, code page %u, through the %s file:\n", c.what, GetACP(), regedit4 ? "REGEDIT4" : "Unicode");
    EXPECT_EQ(0, CompareTrees(before, Entry(c.key), true));
  }
}

TEST_F(UnicodeRoundTrip, SaveChangesGivesBackAnOldCommandOfEveryScript) {
  const std::string entry = "TWU Save \xe8\xa1\xa8";
  keys_.push_back(entry);
  HKEY key = Create(HKEY_LOCAL_MACHINE, kUninstallPath + entry);
  ASSERT_TRUE(Set(key, "DisplayName", REG_SZ, Text("Save \xe8\xa1\xa8")));
  ASSERT_TRUE(Set(key, "UninstallString", REG_EXPAND_SZ,
                      Text("\"%ProgramFiles%\\\xce\x95\xce\xbb\xce\xbb\xce\xac\\unins.exe\" /x \xf0\x9f\x98\x80")));
  RegCloseKey(key);
  const regfile::Tree before = Entry(entry);

  form_.list.refreshButton.Click();
  ASSERT_GE(Row(entry), 0);
  ClickRow(form_, Row(entry));
  ASSERT_TRUE(form_.change.saveButton.Enabled());
  const std::string newText = "C:\\\xe6\x96\xb0\\uninstall.exe \xd0\x96";
  form_.change.commandBox.TextFromUser(newText);
  // The new command's file is not there: saved anyway, as the user says.
  ui_.answers = {IDYES};
  form_.change.saveButton.Click();
  ASSERT_TRUE(ui_.Texts("error").empty()) << ui_.Texts("error").front();
  TNTRegistry reg(real_.registry);
  reg.SetRoot(platform::kHkeyLocalMachine);
  ASSERT_TRUE(reg.OpenPath("\\" + kUninstallPath + entry, false));
  EXPECT_EQ(newText, reg.ReadText("UninstallString"));
  reg.ClosePath();

  EXPECT_FALSE(Exists(UndoFormat::kRegedit4));
  ASSERT_TRUE(undo_seeds::MergeWithRegedit(undo_.FileName(UndoFormat::kUnicode)));
  EXPECT_EQ(0, CompareTrees(before, Entry(entry), false));
}

// A hive restore copies values and subkeys of every name.
TEST_F(UnicodeRoundTrip, AHiveRestoreCopiesNamesOfEveryScript) {
  keys_.push_back(kEveryScript);
  ASSERT_TRUE(SeedEveryScript(kUninstallPath + kEveryScript));
  const regfile::Tree before = Entry(kEveryScript);
  const std::string hive = TestFolder() + "Backup\\every script.hive";
  CreateDirectoryW(platform::Widen(TestFolder() + "Backup").c_str(), nullptr);
  DeleteFileW(platform::Widen(hive).c_str());
  ASSERT_TRUE(SaveHive(wine_.platform, undo_, kUninstallKey + kEveryScript, hive, true));
  undo_seeds::DeleteTree(HKEY_LOCAL_MACHINE, kUninstallPath + kEveryScript);
  ASSERT_TRUE(Entry(kEveryScript).empty());

  ASSERT_TRUE(SaveHive(wine_.platform, undo_, kUninstallKey + kEveryScript, ShortFileName(real_.files, hive), false));
  EXPECT_EQ(0, CompareTrees(before, Entry(kEveryScript), false));
  DeleteFileW(platform::Widen(hive).c_str());
}

// Lines that a write left cut short in the Unicode file, followed by the mark the program writes
// before its next lines: the registry editor sets no part of the cut value, and the next block
// reaches its own key.
TEST_F(UnicodeRoundTrip, LinesCutShortInTheUnicodeFileAreNotMergedAndDoNotSwallowTheNextBlock) {
  const std::string entry = "TWU Cut \xe8\xa1\xa8";
  keys_.push_back(entry);
  const std::string key = "HKEY_LOCAL_MACHINE\\" + kUninstallPath + entry;
  const std::string file = undo_.FileName(UndoFormat::kUnicode);
  {
    UndoBlock block(undo_, [] { return UndoFormat::kUnicode; });
    undo_.WriteReg("[" + key + "]");
    undo_.WriteReg("\"Whole \xce\xb1\"=dword:00000007");
  }
  // Half a UTF-16 unit at the end, as a write stopped by a full disk can leave it.
  const std::string cut = Wide("\"Cut\"=hex:01,02,03,\\\r\n04,0").append("\x30", 1);
  std::ofstream(file, std::ios::binary | std::ios::app) << cut;
  {
    UndoBlock block(undo_, [] { return UndoFormat::kUnicode; });
    undo_.WriteReg("[" + key + "\\Next \xd0\x96]");
    undo_.WriteReg("\"After\"=dword:00000009");
  }
  ASSERT_TRUE(undo_seeds::MergeWithRegedit(file));
  const regfile::Tree merged = Entry(entry);
  const std::string top = regfile::Upper(kUninstallPath + entry);
  ASSERT_TRUE(merged.count(top)) << regfile::Describe(merged);
  EXPECT_TRUE(merged.at(top).count(regfile::Upper("Whole \xce\xb1")));
  EXPECT_FALSE(merged.at(top).count("CUT")) << "a part of a value was merged";
  ASSERT_TRUE(merged.count(top + regfile::Upper("\\Next \xd0\x96")));
  EXPECT_TRUE(merged.at(top + regfile::Upper("\\Next \xd0\x96")).count("AFTER"));
}

// The program in a folder whose name no code page holds finds itself, makes its Backup folder there
// and writes its undo file into it.
TEST_F(UnicodeRoundTrip, TheProgramInAFolderOfAnyNameKeepsItsUndoFileBesideItself) {
  const std::string folder = "C:\\Tidewell \xc3\x9cn\xc3\xaf" "c\xc3\xb6" "d\xc3\xa9 \xe8\xa1\xa8 \xd0\x96";
  const std::string entry = "TWU Folder";
  keys_.push_back(entry);
  RemoveTree(folder);
  ASSERT_TRUE(CreateDirectoryW(platform::Widen(folder).c_str(), nullptr));
  const std::string child = folder + "\\removal_child.exe";
  ASSERT_TRUE(CopyFileW(platform::Widen(TestFolder() + "removal_child.exe").c_str(), platform::Widen(child).c_str(), FALSE));
  HKEY key = Create(HKEY_LOCAL_MACHINE, kUninstallPath + entry);
  ASSERT_TRUE(Set(key, "DisplayName", REG_SZ, Text("Folder")));
  RegCloseKey(key);
  const regfile::Tree before = Entry(entry);

  std::wstring command = platform::Widen("\"" + child + "\" UndoFolderTest \"" + entry + "\"");
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
  WaitForSingleObject(process.hProcess, 60000);
  DWORD code = 99;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  EXPECT_EQ(0u, code);
  EXPECT_TRUE(Entry(entry).empty());
  const std::string undo = folder + "\\Backup\\UndoFolderTest.reg";
  ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(platform::Widen(undo).c_str()));
  ASSERT_TRUE(undo_seeds::MergeWithRegedit(undo));
  EXPECT_EQ(0, CompareTrees(before, Entry(entry), false));
  RemoveTree(folder);
}

}  // namespace
