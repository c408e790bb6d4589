// Entries whose keys nest deep, removed through "&Remove Entry" on Wine's real registry and merged
// back by Wine's registry editor: removed whole where the undo file can give every key back, and
// otherwise removed down to the last key it can give back, with a message that names what stays.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "backup/undo_lines.h"
#include "platform/win32/wide_text.h"
#include "registry/registry_place.h"
#include "tests/support/reg_file_reader.h"
#include "tests/support/registry_snapshot.h"
#include "tests/wine/tree_compare.h"
#include "tests/wine/undo_seeds.h"
#include "tests/wine/wine_form.h"

using undo_seeds::kUninstallPath;

namespace {

std::string Name(const std::string& stem, int level, size_t length) {
  std::string name = stem + std::to_string(level);
  if (name.size() < length) name.resize(length, 'x');
  return name;
}

// The entry and a chain of `levels` keys below it, each made below its parent's handle (a path
// from the root is cut past 32,766 characters), each with a number and a text.
bool SeedChain(const std::string& entry, const std::string& displayName, const std::string& stem, int levels,
               size_t nameLength) {
  HKEY key = undo_seeds::Create(HKEY_LOCAL_MACHINE, kUninstallPath + entry);
  if (!key) return false;
  bool ok = undo_seeds::Set(key, "DisplayName", REG_SZ, undo_seeds::Text(displayName)) &&
            undo_seeds::Set(key, "UninstallString", REG_SZ, undo_seeds::Text("C:\\Deep\\unins000.exe"));
  for (int level = 1; ok && level <= levels; ++level) {
    HKEY child = nullptr;
    ok = RegCreateKeyExW(key, platform::Widen(Name(stem, level, nameLength)).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                         nullptr, &child, nullptr) == ERROR_SUCCESS;
    if (ok) {
      const DWORD number = static_cast<DWORD>(level);
      ok = undo_seeds::Set(child, "Level", REG_DWORD, std::string(reinterpret_cast<const char*>(&number), 4)) &&
           undo_seeds::Set(child, "Text", REG_SZ, undo_seeds::Text("level " + std::to_string(level)));
    }
    RegCloseKey(key);
    key = child;
  }
  if (key) RegCloseKey(key);
  return ok;
}

// Deletes the entry and whatever stays of its chain, bottom up, each key below its parent's handle.
void DeleteChain(const std::string& entry) {
  std::vector<HKEY> keys;
  std::vector<std::wstring> names;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, platform::Widen(kUninstallPath + entry).c_str(), 0, KEY_ALL_ACCESS, &key) !=
      ERROR_SUCCESS)
    return;
  keys.push_back(key);
  for (;;) {
    wchar_t name[300];
    DWORD length = 300;
    HKEY child = nullptr;
    if (RegEnumKeyExW(keys.back(), 0, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS ||
        RegOpenKeyExW(keys.back(), name, 0, KEY_ALL_ACCESS, &child) != ERROR_SUCCESS)
      break;
    keys.push_back(child);
    names.emplace_back(name, length);
  }
  for (size_t i = keys.size(); i-- > 1;) {
    RegCloseKey(keys[i]);
    RegDeleteKeyW(keys[i - 1], names[i - 1].c_str());
  }
  RegCloseKey(keys[0]);
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, platform::Widen(kUninstallPath + entry).c_str());
}

class DeepRemoval : public ::testing::Test {
 protected:
  void SetUp() override {
    form_.FormCreate();
    form_.Undo().SetStem("UndoDeepRemovalTest");
    DeleteFiles();
  }
  void TearDown() override { DeleteFiles(); }
  std::string Stem() { return TestFolder() + "Backup\\" + form_.Undo().Stem(); }
  void DeleteFiles() {
    for (const char* suffix : {".reg", ".unicode.reg"}) DeleteFileA((Stem() + suffix).c_str());
  }
  regfile::Tree Entry(const std::string& entry) {
    return regfile::Snapshot(wine_.real.registry, platform::kHkeyLocalMachine, kUninstallPath + entry);
  }
  int Row(const std::string& keyName) { return MainListRow(form_, keyName); }
  // Selects the entry's row, answers Yes and removes it: the milliseconds the removal took.
  double RemoveThroughTheWindow(const std::string& entry) {
    form_.list.refreshButton.Click();
    EXPECT_GE(Row(entry), 0);
    ClickRow(form_, Row(entry));
    wine_.ui.answers = {IDYES};
    LARGE_INTEGER frequency, begin, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&begin);
    form_.list.removeButton.Click();
    QueryPerformanceCounter(&end);
    return 1000.0 * static_cast<double>(end.QuadPart - begin.QuadPart) / static_cast<double>(frequency.QuadPart);
  }

  WineForm wine_;
  MainWindow& form_ = wine_.form;
};

// 40 levels came back whole with the ANSI calls, 66 and more did not (their paths passed 260
// characters); 600 is past the 512 levels that Windows allows, which Wine does not limit. Names
// outside the code page send the 100 levels to the Unicode undo file.
TEST_F(DeepRemoval, DeepEntriesAreRemovedWholeAndComeBackWhole) {
  const struct {
    int levels;
    const char* stem;
    bool unicode;
  } cases[] = {
      {40, "k", false},
      {66, "k", false},
      {100, "\xd0\xb6", true},
      {600, "k", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.levels);
    const std::string entry = "TidewellDeep" + std::to_string(c.levels);
    const std::string displayName = "Deep Tree " + std::to_string(c.levels);
    DeleteChain(entry);
    DeleteFiles();
    wine_.ui.shown.clear();
    ASSERT_TRUE(SeedChain(entry, displayName, c.stem, c.levels, 0));
    const regfile::Tree before = Entry(entry);
    ASSERT_EQ(static_cast<size_t>(c.levels + 1), before.size());

    const double ms = RemoveThroughTheWindow(entry);
    std::printf("%d levels removed in %.0f ms\n", c.levels, ms);
    EXPECT_EQ(std::vector<std::string>{}, wine_.ui.Texts("error"));
    EXPECT_TRUE(Entry(entry).empty()) << "removed whole";
    EXPECT_LT(Row(entry), 0);
    EXPECT_EQ(c.unicode, GetFileAttributesA((Stem() + ".unicode.reg").c_str()) != INVALID_FILE_ATTRIBUTES);

    ASSERT_TRUE(undo_seeds::MergeUndoFiles(Stem()));
    EXPECT_EQ(0, CompareTrees(before, Entry(entry), false)) << "merged back";
    DeleteChain(entry);
  }
}

// Names of 255 characters take the paths of levels 128 and below past the 32,766 characters that
// the registry editor merges back (it would make a key of the cut path): those levels stay,
// unwritten; every key above them is written and emptied, and stays to hold them; the message
// names the last key the undo file carries; merged back, the entry is whole again.
TEST_F(DeepRemoval, KeysPastWhatTheRegistryEditorMergesStayAndAreNamed) {
  const std::string entry = "TidewellDeepLong";
  const int levels = 130;
  DeleteChain(entry);
  ASSERT_TRUE(SeedChain(entry, "Deep Tree 130", "k", levels, 255));
  const regfile::Tree before = Entry(entry);
  ASSERT_EQ(static_cast<size_t>(levels + 1), before.size());
  // The key lines name the entry as either registry editor finds it: on 64-bit Windows, under
  // WOW6432Node.
  BOOL wow64 = FALSE;
  IsWow64Process(GetCurrentProcess(), &wow64);
  const RegistryPlace place{platform::kHkeyLocalMachine, wow64 ? platform::kKeyWow6432Key : 0u};
  const size_t entryPath = PathForEveryView(place, "\\" + kUninstallPath + entry).size() - 1;
  int deepestWritten = 0;
  while (entryPath + 256 * (deepestWritten + 1) <= kLongestMergedKeyPath) ++deepestWritten;
  ASSERT_EQ(127, deepestWritten);

  RemoveThroughTheWindow(entry);
  const int staying = levels - deepestWritten;
  EXPECT_EQ(std::vector<std::string>{"Tidewell partly removed 'Deep Tree 130': " + std::to_string(staying) +
                                     " keys and " + std::to_string(2 * staying) +
                                     " values remain under HKEY_LOCAL_MACHINE\\...\\" +
                                     Name("k", deepestWritten, 57) +
                                     "... (the key path is too long for the registry editor to put back), and the " +
                                     std::to_string(deepestWritten + 1) +
                                     " keys that hold them stay. What was removed is in the undo file " + wine_.form.Undo().FileName() + "."},
            wine_.ui.Texts("error"));
  const regfile::Tree after = Entry(entry);
  size_t valuesLeft = 0;
  for (const auto& [key, values] : after) valuesLeft += values.size();
  EXPECT_EQ(before.size(), after.size()) << "every key stays";
  EXPECT_EQ(static_cast<size_t>(2 * staying), valuesLeft) << "only the values of the levels past the limit";
  EXPECT_GE(Row(entry), 0) << "still listed";
  if (Row(entry) >= 0) {
    EXPECT_EQ(entry, form_.list.entryList.Item(Row(entry)).Caption) << "by its key name";
  }

  ASSERT_TRUE(undo_seeds::MergeUndoFiles(Stem()));
  EXPECT_EQ(0, CompareTrees(before, Entry(entry), false)) << "merged back";
  DeleteChain(entry);
}

}  // namespace
