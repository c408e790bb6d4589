// The three lists of installed programs on Wine's real registry and disk: in a 64-bit prefix the
// machine's 64-bit and 32-bit lists and the user's own, in a 32-bit prefix the machine's and the
// user's. Each entry is listed with its source and the status its own uninstaller would see, and
// its removal merges back into its own list, with the 64-bit and with the 32-bit registry editor,
// leaving the other lists as they were.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "tests/support/registry_snapshot.h"
#include "tests/wine/undo_seeds.h"
#include "tests/wine/wine_form.h"
#include "tests/wine/wine_test_support.h"

namespace {

const std::string kUninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

bool Wow64() {
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

std::string Expanded(const char* text) {
  char out[MAX_PATH] = {};
  ExpandEnvironmentStringsA(text, out, MAX_PATH);
  return out;
}

// A file made where a 64-bit program would find it (the System folder unredirected), or where
// this program does.
void MakeFile(const std::string& path, bool sixtyFourBit) {
  PVOID cell = nullptr;
  const bool off = sixtyFourBit && Wow64DisableWow64FsRedirection(&cell);
  for (size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1))
    CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  if (off) Wow64RevertWow64FsRedirection(cell);
}

void DeleteFileAnywhere(const std::string& path, bool sixtyFourBit) {
  PVOID cell = nullptr;
  const bool off = sixtyFourBit && Wow64DisableWow64FsRedirection(&cell);
  DeleteFileA(path.c_str());
  if (off) Wow64RevertWow64FsRedirection(cell);
}

struct Seeded {
  const char* name;
  Source source;
  std::string command;
  std::string file;  // empty: the uninstaller is gone
  int status;
};

HKEY RootOf(Source source) { return source == Source::kUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE; }
REGSAM ViewOf(Source source) {
  if (source == Source::kUser) return 0;
  return source == Source::kMachine64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
}

void SetText(HKEY key, const char* name, const std::string& text, DWORD type = REG_SZ) {
  RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(text.c_str()), static_cast<DWORD>(text.size() + 1));
}

void Seed(const Seeded& s) {
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(RootOf(s.source), (kUninstall + s.name).c_str(), 0, nullptr, 0,
                                           KEY_ALL_ACCESS | ViewOf(s.source), nullptr, &key, nullptr));
  SetText(key, "DisplayName", std::string("Tidewell source test ") + s.name);
  SetText(key, "UninstallString", s.command, s.command.find('%') != std::string::npos ? REG_EXPAND_SZ : REG_SZ);
  RegCloseKey(key);
  HKEY sub = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(RootOf(s.source), (kUninstall + s.name + "\\Parts").c_str(), 0, nullptr,
                                           0, KEY_ALL_ACCESS | ViewOf(s.source), nullptr, &sub, nullptr));
  const DWORD size = 1234;
  RegSetValueExA(sub, "Size", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&size), sizeof size);
  RegCloseKey(sub);
  if (!s.file.empty()) MakeFile(s.file, s.source == Source::kMachine64);
}

class SourcesUnderWine : public ::testing::Test {
 protected:
  void SetUp() override {
    wow64_ = Wow64();
    const std::string programs = Expanded("%ProgramFiles%");
    const std::string programs64 = wow64_ ? Expanded("%ProgramW6432%") : programs;
    const std::string system = Expanded("%SystemRoot%") + "\\system32\\";
    if (wow64_) {
      seeded_.push_back({"TwSrc64System", Source::kMachine64, system + "twsrc64only.exe /remove",
                         system + "twsrc64only.exe", kGoodLink});
      seeded_.push_back({"TwSrc64Programs", Source::kMachine64, "\"%ProgramFiles%\\TwSrc64\\uninst.exe\" /S",
                         programs64 + "\\TwSrc64\\uninst.exe", kGoodLink});
      seeded_.push_back({"TwSrcShared", Source::kMachine64, programs64 + "\\TwSrcGone64\\uninst.exe", "", kBrokenLink});
    }
    seeded_.push_back({"TwSrc32", Source::kMachine32, "\"" + programs + "\\TwSrc32\\uninst.exe\" /S",
                       programs + "\\TwSrc32\\uninst.exe", kGoodLink});
    seeded_.push_back({"TwSrcShared", Source::kMachine32, programs + "\\TwSrcShared\\uninst.exe",
                       programs + "\\TwSrcShared\\uninst.exe", kGoodLink});
    seeded_.push_back({"TwSrcUser", Source::kUser, Expanded("%TEMP%") + "\\TwSrcUser\\Update.exe --uninstall",
                       Expanded("%TEMP%") + "\\TwSrcUser\\Update.exe", kGoodLink});
    seeded_.push_back({"TwSrcUserGone", Source::kUser, Expanded("%TEMP%") + "\\TwSrcUserGone\\Update.exe", "",
                       kBrokenLink});
    for (const Seeded& s : seeded_) Seed(s);
    wine_.form.FormCreate();
    wine_.form.Undo().SetStem("UndoSourcesTest");
    DeleteFileA(wine_.form.Undo().FileName().c_str());
  }
  void TearDown() override {
    for (const Seeded& s : seeded_) {
      DeleteSeeded(s);
      if (!s.file.empty()) DeleteFileAnywhere(s.file, s.source == Source::kMachine64);
    }
    DeleteFileA(wine_.form.Undo().FileName().c_str());
  }
  static void DeleteSeeded(const Seeded& s) {
    RegDeleteKeyExA(RootOf(s.source), (kUninstall + s.name + "\\Parts").c_str(), ViewOf(s.source), 0);
    RegDeleteKeyExA(RootOf(s.source), (kUninstall + s.name).c_str(), ViewOf(s.source), 0);
  }
  regfile::Tree Snapshot(const Seeded& s) {
    return regfile::Snapshot(wine_.real.registry, s.source == Source::kUser ? platform::kHkeyCurrentUser
                                                                            : platform::kHkeyLocalMachine,
                             kUninstall + s.name, ViewOf(s.source));
  }
  const Entry* Find(const Seeded& s) const {
    for (const Entry& e : wine_.form.Entries)
      if (e.keyName == s.name && e.source == s.source) return &e;
    return nullptr;
  }
  int Status(const Seeded& s) const {
    for (int i = 0; i < wine_.form.list.entryList.Count(); ++i) {
      const TListItem& item = wine_.form.list.entryList.Item(i);
      const Entry& e = wine_.form.Entries.at(static_cast<size_t>(item.Data));
      if (e.keyName == s.name && e.source == s.source) return item.ImageIndex;
    }
    return -2;
  }

  bool wow64_ = false;
  std::vector<Seeded> seeded_;
  WineForm wine_;
};

TEST_F(SourcesUnderWine, EveryEntryIsListedFromItsSourceWithItsOwnStatus) {
  std::printf("%s prefix: %zu entries in all, of them", wow64_ ? "64-bit" : "32-bit", wine_.form.Entries.size());
  for (Source source : SourcesOf(wow64_)) {
    int count = 0;
    for (const Entry& e : wine_.form.Entries) count += e.source == source ? 1 : 0;
    std::printf(" %d %s", count, SourceName(source));
  }
  std::printf("\n");
  for (const Seeded& s : seeded_) {
    SCOPED_TRACE(std::string(s.name) + " " + SourceName(s.source));
    ASSERT_NE(nullptr, Find(s));
    EXPECT_EQ(s.status, Status(s));
  }
}

// The 64-bit editor (what a double click on the file and the Backups page run) puts every entry
// back; the 32-bit one can reach the 32-bit view and the user's keys only: a 64-bit program's key
// line merged by it lands in the 32-bit view, whatever the line says.
TEST_F(SourcesUnderWine, EachRemovalMergesBackIntoItsOwnListWithEitherRegistryEditor) {
  const std::string windows = Expanded("%SystemRoot%");
  struct Editor {
    std::string path;
    bool sixtyFourBit;
  };
  std::vector<Editor> editors = {{windows + "\\regedit.exe", wow64_}};
  if (wow64_) editors.push_back({windows + "\\SysWOW64\\regedit.exe", false});
  for (const Editor& editor : editors) {
    for (const Seeded& s : seeded_) {
      if (!editor.sixtyFourBit && s.source == Source::kMachine64) continue;
      SCOPED_TRACE(std::string(s.name) + " " + SourceName(s.source) + " merged by " + editor.path);
      std::vector<regfile::Tree> before;
      for (const Seeded& each : seeded_) before.push_back(Snapshot(each));
      DeleteFileA(wine_.form.Undo().FileName().c_str());
      ASSERT_NE(nullptr, Find(s));
      wine_.ui.answers = {IDYES};
      wine_.form.commands.RemoveEntry(*Find(s));
      const std::vector<std::string> asked = wine_.ui.Texts("ask");
      ASSERT_FALSE(asked.empty());
      EXPECT_EQ(0u, asked.back().rfind("Are you sure you want to remove this entry?\n\nTidewell source test " +
                                            std::string(s.name) + " (" + SourceName(s.source) + ")",
                                        0))
          << "the question names the entry and its list: " << asked.back();
      ASSERT_TRUE(Snapshot(s).empty()) << "removed";
      ASSERT_EQ(nullptr, Find(s)) << "and gone from the list";
      ASSERT_TRUE(undo_seeds::MergeWithEditor(editor.path, editor.sixtyFourBit, wine_.form.Undo().FileName()));
      for (size_t i = 0; i < seeded_.size(); ++i)
        EXPECT_EQ(before[i], Snapshot(seeded_[i])) << seeded_[i].name << " " << SourceName(seeded_[i].source);
      wine_.form.FillListBox();
      EXPECT_NE(nullptr, Find(s)) << "listed again in its own source";
    }
  }
}

}  // namespace
