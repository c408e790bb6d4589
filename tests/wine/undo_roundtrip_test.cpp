// The proof that a removal loses nothing: entries and products removed by the program on Wine's
// real registry, the day's undo file merged back by Wine's registry editor, and the tree compared
// value by value with the original. Also removals killed at twenty moments, each merged back.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "backup/undo_file.h"
#include "platform/win32/win32_platform.h"
#include "registry/nt_registry.h"
#include "tests/support/reg_file_reader.h"
#include "tests/support/registry_snapshot.h"
#include "tests/wine/tree_compare.h"
#include "tests/wine/wine_form.h"
#include "tests/wine/wine_test_support.h"
#include "tests/wine/undo_seeds.h"

using undo_seeds::kUninstallPath;

namespace {

const std::string kEntry = "TidewellRoundTrip";
const std::string kProductsPath = "Installer\\Products\\";
const std::string kProduct = "7D2F3870AB99RoundTrip";

void WriteFileText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

// The window's commands and the undo file's own writes go to the same undo files, this test's own,
// so that merging them brings back nothing of other tests.
class UndoRoundTrip : public ::testing::Test {
 protected:
  void SetUp() override {
    form_.FormCreate();
    form_.Undo().SetStem(undo_.Stem());
    DeleteFiles();
  }
  // The day's undo files without their endings; both are deleted before and after each test.
  std::string Stem() { return TestFolder() + "Backup\\" + undo_.Stem(); }
  void DeleteFiles() {
    for (const char* suffix : {".reg", ".unicode.reg"}) DeleteFileA((Stem() + suffix).c_str());
  }
  void TearDown() override {
    undo_seeds::DeleteTree(HKEY_LOCAL_MACHINE, kUninstallPath + kEntry);
    undo_seeds::DeleteTree(HKEY_CLASSES_ROOT, kProductsPath + kProduct);
    DeleteFiles();
  }

  regfile::Tree Entry() { return regfile::Snapshot(real_.registry, platform::kHkeyLocalMachine, kUninstallPath + kEntry); }
  regfile::Tree Product() { return regfile::Snapshot(real_.registry, platform::kHkeyClassesRoot, kProductsPath + kProduct); }

  int Row(const std::string& name) { return MainListRow(form_, name); }

  WineForm wine_;
  platform::Win32Platform& real_ = wine_.real;
  RecordingUi& ui_ = wine_.ui;
  MainWindow& form_ = wine_.form;
  UndoFile undo_{real_.files, real_.system, BackupFolderOf(real_.system.ExecutablePath()), "UndoRoundTripTest"};
};

TEST_F(UndoRoundTrip, AnEntryOfEveryTypeComesBackWhole) {
  ASSERT_TRUE(undo_seeds::SeedEveryType(HKEY_LOCAL_MACHINE, kUninstallPath + kEntry, "Round Trip Entry"));
  const regfile::Tree before = Entry();
  ASSERT_EQ(4u, before.size());

  form_.list.refreshButton.Click();
  ASSERT_GE(Row(kEntry), 0);
  ClickRow(form_, Row(kEntry));
  ui_.answers = {IDYES};
  form_.list.removeButton.Click();
  ASSERT_TRUE(ui_.Texts("error").empty()) << ui_.Texts("error").front();
  ASSERT_TRUE(Entry().empty()) << "the entry is gone";
  EXPECT_LT(Row(kEntry), 0);

  ASSERT_TRUE(undo_seeds::MergeUndoFiles(Stem()));
  std::printf("Round trip of an entry through \"&Remove Entry\" and regedit:\n");
  EXPECT_EQ(0, CompareTrees(before, Entry(), true));
}

TEST_F(UndoRoundTrip, AnInstallerProductComesBackWhole) {
  ASSERT_TRUE(undo_seeds::SeedEveryType(HKEY_CLASSES_ROOT, kProductsPath + kProduct, "unused"));
  HKEY product = undo_seeds::Create(HKEY_CLASSES_ROOT, kProductsPath + kProduct);
  ASSERT_TRUE(undo_seeds::Set(product, "ProductName", REG_SZ, undo_seeds::Text("Round \"Trip\" Product")));
  RegCloseKey(product);
  const regfile::Tree before = Product();

  form_.list.refreshButton.Click();
  const std::string line = "Round \"Trip\" Product [no entry, incomplete] - {" + kProduct;
  int index = -1;
  for (int i = 0; i < form_.installer.products.Count(); ++i)
    if (form_.installer.products.Items()[i] == line) index = i;
  ASSERT_GE(index, 0);
  form_.installer.products.ItemIndexFromUser(index);
  ui_.answers = {IDYES};
  form_.installer.deleteButton.Click();
  ASSERT_TRUE(ui_.Texts("error").empty()) << ui_.Texts("error").front();
  ASSERT_TRUE(Product().empty());

  ASSERT_TRUE(undo_seeds::MergeUndoFiles(Stem()));
  std::printf("Round trip of an installer product:\n");
  EXPECT_EQ(0, CompareTrees(before, Product(), true));
}

TEST_F(UndoRoundTrip, SaveChangesGivesBackTheOldCommandWithItsType) {
  HKEY entry = undo_seeds::Create(HKEY_LOCAL_MACHINE, kUninstallPath + kEntry);
  ASSERT_TRUE(undo_seeds::Set(entry, "DisplayName", REG_SZ, undo_seeds::Text("Round Trip Entry")));
  ASSERT_TRUE(undo_seeds::Set(entry, "UninstallString", REG_EXPAND_SZ,
                              undo_seeds::Text("\"%ProgramFiles%\\Round \"Trip\"\\unins.exe\" /x \xc3\xa9\r\n")));
  RegCloseKey(entry);
  const regfile::Tree before = Entry();

  form_.list.refreshButton.Click();
  ASSERT_GE(Row(kEntry), 0);
  ClickRow(form_, Row(kEntry));
  ASSERT_TRUE(form_.change.saveButton.Enabled());
  form_.change.commandBox.TextFromUser("C:\\new\\uninstall.exe");
  // The new command's file is not there: saved anyway, as the user says.
  ui_.answers = {IDYES};
  form_.change.saveButton.Click();
  const regfile::Tree changed = Entry();
  const regfile::Value& now = changed.at(regfile::Upper(kUninstallPath + kEntry)).at("UNINSTALLSTRING");
  EXPECT_EQ(static_cast<std::uint32_t>(REG_EXPAND_SZ), now.type) << "an expandable command stays expandable";
  EXPECT_EQ(undo_seeds::Text("C:\\new\\uninstall.exe"), now.bytes);

  ASSERT_TRUE(undo_seeds::MergeUndoFiles(Stem()));
  std::printf("Round trip of \"Save Changes\":\n");
  EXPECT_EQ(0, CompareTrees(before, Entry(), true));
}

// Why only the exact header is appended to: the registry editor imports nothing from a file that
// begins "regedit4".
TEST_F(UndoRoundTrip, TheRegistryEditorImportsOnlyTheExactHeader) {
  const std::string file = TestFolder() + "header-case.reg";
  for (const char* header : {"REGEDIT4", "regedit4"}) {
    undo_seeds::DeleteTree(HKEY_LOCAL_MACHINE, kUninstallPath + kEntry);
    WriteFileText(file, std::string(header) + "\r\n\r\n[HKEY_LOCAL_MACHINE\\" + kUninstallPath + kEntry +
                            "]\r\n\"v\"=dword:00000001\r\n");
    ASSERT_TRUE(undo_seeds::MergeWithRegedit(file));
    EXPECT_EQ(std::string(header) == "REGEDIT4", !Entry().empty()) << header;
  }
  DeleteFileA(file.c_str());
}

// Lines that a write left cut short, followed by the mark the program writes before its next
// lines: the editor sets no part of the cut value, and the next block reaches its own key.
TEST_F(UndoRoundTrip, LinesCutShortAreNotMergedAndDoNotSwallowTheNextBlock) {
  const std::string key = "HKEY_LOCAL_MACHINE\\" + kUninstallPath + kEntry;
  undo_.WriteReg("[" + key + "]");
  undo_.WriteReg("\"Whole\"=dword:00000007");
  std::ofstream(undo_.FileName(), std::ios::binary | std::ios::app) << "\"Cut\"=hex:01,02,03,\\\r\n04,0";
  undo_.WriteReg("[" + key + "\\Next]");
  undo_.WriteReg("\"After\"=dword:00000009");
  EXPECT_NE(std::string::npos,
            ReadFileText(undo_.FileName()).find("04,0<cut short>\r\n-- incomplete lines above are not merged --\r\n"));
  ASSERT_TRUE(undo_seeds::MergeUndoFiles(Stem()));
  const regfile::Tree merged = Entry();
  const std::string top = regfile::Upper(kUninstallPath + kEntry);
  ASSERT_TRUE(merged.count(top));
  EXPECT_TRUE(merged.at(top).count("WHOLE"));
  EXPECT_FALSE(merged.at(top).count("CUT")) << "a part of a value was merged";
  ASSERT_TRUE(merged.count(top + "\\NEXT"));
  EXPECT_TRUE(merged.at(top + "\\NEXT").count("AFTER"));
  EXPECT_FALSE(merged.at(top).count("AFTER"));
}

// A removal in a child process ended with TerminateProcess at twenty moments spread over its run;
// after each, the merge of the undo file gives back the original tree whole.
TEST_F(UndoRoundTrip, ARemovalKilledAtTwentyMomentsComesBackWholeEveryTime) {
  const std::string entry = "TidewellKilledRemoval";
  const std::string stem = "UndoKilledRemovalTest";
  const std::string undoStem = TestFolder() + "Backup\\" + stem;
  const auto seed = [&] {
    undo_seeds::DeleteTree(HKEY_LOCAL_MACHINE, kUninstallPath + entry);
    for (const char* suffix : {".reg", ".unicode.reg"}) DeleteFileA((undoStem + suffix).c_str());
    return undo_seeds::SeedLargeEntry(HKEY_LOCAL_MACHINE, kUninstallPath + entry, 300, 5, 100 * 1024) &&
           undo_seeds::SeedEveryType(HKEY_LOCAL_MACHINE, kUninstallPath + entry + "\\Every type", "x");
  };
  const auto snapshot = [&] {
    return regfile::Snapshot(real_.registry, platform::kHkeyLocalMachine, kUninstallPath + entry);
  };
  HANDLE started = CreateEventA(nullptr, TRUE, FALSE, "TidewellRemovalStarted");
  ASSERT_NE(nullptr, started);
  // Starts the child, waits for the removal to begin, ends it after `delay` ms (never when negative):
  // answers the milliseconds from the start of the removal to the end of the child.
  const auto run = [&](int delay) -> double {
    ResetEvent(started);
    std::string command = "\"" + TestFolder() + "removal_child.exe\" " + stem + " \"" + entry + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child))
      return -1;
    WaitForSingleObject(started, 60000);
    LARGE_INTEGER frequency, begin, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&begin);
    if (delay >= 0 && WaitForSingleObject(child.hProcess, delay) == WAIT_TIMEOUT) TerminateProcess(child.hProcess, 9);
    WaitForSingleObject(child.hProcess, 120000);
    QueryPerformanceCounter(&end);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    return 1000.0 * (end.QuadPart - begin.QuadPart) / frequency.QuadPart;
  };

  ASSERT_TRUE(seed());
  const regfile::Tree original = snapshot();
  size_t originalValues = 0;
  for (const auto& [key, values] : original) originalValues += values.size();
  // The flushes make the time vary with the disk: the median of three whole runs sets the moments.
  std::vector<double> wholeRuns;
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(seed());
    wholeRuns.push_back(run(-1));
    ASSERT_GT(wholeRuns.back(), 0);
    ASSERT_TRUE(snapshot().empty()) << "the removal without a kill removes the entry";
  }
  std::sort(wholeRuns.begin(), wholeRuns.end());
  const double whole = wholeRuns[1];
  std::printf("A whole removal of %zu values in %zu keys takes %.0f ms.\n", originalValues, original.size(), whole);

  int partial = 0, halfway = 0;
  for (int i = 0; i < 20; ++i) {
    ASSERT_TRUE(seed());
    const int delay = static_cast<int>(whole * (i + 0.5) / 20);
    run(delay);
    const regfile::Tree left = snapshot();
    size_t leftValues = 0;
    for (const auto& [key, values] : left) leftValues += values.size();
    // Stopped before the removal ended. Its lines reach the disk whole before the first value goes,
    // so a kill in its first part leaves every value.
    if (leftValues > 0) ++partial;
    if (leftValues > 0 && leftValues < originalValues) ++halfway;
    ASSERT_TRUE(undo_seeds::MergeUndoFiles(undoStem));
    const int differences = CompareTrees(original, snapshot(), false);
    std::printf("killed after %4d ms: %4zu of %zu values were gone, %zu keys left; after the merge %s\n", delay,
                originalValues - leftValues, originalValues, left.size(),
                differences ? "DIFFERENCES" : "the whole tree is back");
    EXPECT_EQ(0, differences) << "killed after " << delay << " ms";
  }
  std::printf("%d of 20 kills stopped the removal before it ended, %d of them with part of it gone.\n", partial, halfway);
  EXPECT_GE(partial, 8) << "too few kills landed inside the removal to show anything";
  CloseHandle(started);
  undo_seeds::DeleteTree(HKEY_LOCAL_MACHINE, kUninstallPath + entry);
  for (const char* suffix : {".reg", ".unicode.reg"}) DeleteFileA((undoStem + suffix).c_str());
}

// Two running copies of the program remove one entry each at the same moment, from a day's file
// that neither has made yet: every round, the merge of the one file gives back both entries whole.
TEST_F(UndoRoundTrip, TwoCopiesRemovingAtTheSameMomentLoseNothing) {
  const std::string stem = "UndoTwoCopiesTest";
  const std::string undoFile = TestFolder() + "Backup\\" + stem + ".reg";
  const std::string entries[] = {"TidewellFirstCopy", "TidewellSecondCopy"};
  const auto snapshot = [&](const std::string& entry) {
    return regfile::Snapshot(real_.registry, platform::kHkeyLocalMachine, kUninstallPath + entry);
  };
  HANDLE go = CreateEventA(nullptr, TRUE, FALSE, "TidewellTwoCopiesGo");
  ASSERT_NE(nullptr, go);
  for (int round = 0; round < 8; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    ResetEvent(go);
    DeleteFileA(undoFile.c_str());
    regfile::Tree originals[2];
    for (int i = 0; i < 2; ++i) {
      undo_seeds::DeleteTree(HKEY_LOCAL_MACHINE, kUninstallPath + entries[i]);
      ASSERT_TRUE(undo_seeds::SeedLargeEntry(HKEY_LOCAL_MACHINE, kUninstallPath + entries[i], 40, 3, 64));
      originals[i] = snapshot(entries[i]);
    }
    PROCESS_INFORMATION children[2] = {};
    for (int i = 0; i < 2; ++i) {
      std::string command = "\"" + TestFolder() + "removal_child.exe\" " + stem + " \"" + entries[i] +
                            "\" TidewellTwoCopiesGo";
      STARTUPINFOA startup{};
      startup.cb = sizeof startup;
      ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                 &children[i]));
    }
    Sleep(300);
    SetEvent(go);
    for (PROCESS_INFORMATION& child : children) {
      EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(child.hProcess, 120000));
      DWORD code = 99;
      GetExitCodeProcess(child.hProcess, &code);
      EXPECT_EQ(0u, code) << "the removal raised";
      CloseHandle(child.hThread);
      CloseHandle(child.hProcess);
    }
    for (const std::string& entry : entries) ASSERT_TRUE(snapshot(entry).empty()) << entry << " was removed";
    ASSERT_TRUE(undo_seeds::MergeWithRegedit(undoFile));
    for (int i = 0; i < 2; ++i) EXPECT_EQ(0, CompareTrees(originals[i], snapshot(entries[i]), false)) << entries[i];
  }
  CloseHandle(go);
  for (const std::string& entry : entries) undo_seeds::DeleteTree(HKEY_LOCAL_MACHINE, kUninstallPath + entry);
  DeleteFileA(undoFile.c_str());
}

}  // namespace
