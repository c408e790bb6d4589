// Two other people's lists of installed programs, in hive files that the registry itself wrote
// (RegSaveKey): Анна's loaded at HKEY_USERS\<her SID> as while she is logged on, bob's only in his
// file. The console program lists both with their sources and statuses, each command judged in its
// owner's folders; it takes her entry out of her hive and puts it back from the undo file; it says
// whether his file kept a removal; the window lists them; and no hive that the program loaded stays
// loaded.
#include <windows.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/win32/wide_text.h"
#include "tests/wine/console_run.h"
#include "tests/wine/wine_form.h"
#include "tests/wine/wine_test_support.h"

namespace {

const std::string kAnn = "S-1-5-21-71-72-73-2001";
const std::string kBob = "S-1-5-21-71-72-73-2002";
const std::wstring kProfiles = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\";
const std::string kList = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::wstring kScratch = L"SOFTWARE\\TidewellHiveScratch";

void EnablePrivilege(const char* name) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return;
  TOKEN_PRIVILEGES wanted{};
  wanted.PrivilegeCount = 1;
  LookupPrivilegeValueA(nullptr, name, &wanted.Privileges[0].Luid);
  wanted.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  AdjustTokenPrivileges(token, FALSE, &wanted, sizeof wanted, nullptr, nullptr);
  CloseHandle(token);
}

void SetText(HKEY root, const std::wstring& path, const wchar_t* name, const std::string& text, DWORD type = REG_SZ) {
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr,
                                           &key, nullptr));
  const std::wstring wide = platform::Widen(text);
  RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(wide.c_str()),
                 static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
}

// Deletes a key of the 64-bit view (on 64-bit Windows) with everything below it.
void DeleteTree(HKEY root, const std::wstring& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) return;
  std::vector<std::wstring> children;
  wchar_t name[256];
  for (DWORD i = 0;; ++i) {
    DWORD size = 256;
    if (RegEnumKeyExW(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    children.push_back(name);
  }
  RegCloseKey(key);
  for (const std::wstring& child : children) DeleteTree(root, path + L"\\" + child);
  RegDeleteKeyExW(root, path.c_str(), KEY_WOW64_64KEY, 0);
}

// A hive file of one entry, written by the registry from a scratch key.
void SaveHive(const std::string& file, const std::string& keyName, const std::string& name, const std::string& command) {
  const std::wstring entry = kScratch + L"\\" + platform::Widen(kList + keyName);
  SetText(HKEY_LOCAL_MACHINE, entry, L"DisplayName", name);
  SetText(HKEY_LOCAL_MACHINE, entry, L"UninstallString", command, REG_EXPAND_SZ);
  HKEY scratch = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, kScratch.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &scratch));
  DeleteFileW(platform::Widen(file).c_str());
  const LONG saved = RegSaveKeyW(scratch, platform::Widen(file).c_str(), nullptr);
  RegCloseKey(scratch);
  DeleteTree(HKEY_LOCAL_MACHINE, kScratch);
  ASSERT_EQ(ERROR_SUCCESS, saved) << file;
}

// The day as the undo files are named: "20261208".
std::string Today() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char text[16];
  std::snprintf(text, sizeof text, "%04u%02u%02u", now.wYear, now.wMonth, now.wDay);
  return text;
}

bool Loaded(const std::string& name) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_USERS, platform::Widen(name).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

// The keys below HKEY_USERS that the program names as its own: none may stay.
std::vector<std::string> OwnMounts() {
  std::vector<std::string> mounts;
  wchar_t name[256];
  for (DWORD i = 0;; ++i) {
    DWORD size = 256;
    if (RegEnumKeyExW(HKEY_USERS, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    const std::string text = platform::Narrow(name);
    if (text.rfind("Tidewell.", 0) == 0) mounts.push_back(text);
  }
  return mounts;
}

class OtherAccountsUnderWine : public ::testing::Test {
 protected:
  void SetUp() override {
    EnablePrivilege("SeBackupPrivilege");
    EnablePrivilege("SeRestorePrivilege");
    top_ = TestFolder() + "other_accounts\\";
    CleanUp();
    program_ = top_ + "program";
    ann_ = top_ + "Анна";
    bob_ = top_ + "bob";
    for (const std::string& folder : {top_, program_, ann_, bob_, bob_ + "\\AppData", bob_ + "\\AppData\\Local",
                                      bob_ + "\\AppData\\Local\\Notes"})
      CreateDirectoryW(platform::Widen(folder).c_str(), nullptr);
    for (const char* program : {"Tidewell.com", "Tidewell.exe"})
      ASSERT_TRUE(CopyFileW(platform::Widen(TestFolder() + "..\\bin\\" + program).c_str(),
                            platform::Widen(program_ + "\\" + program).c_str(), FALSE));
    CloseHandle(CreateFileW(platform::Widen(bob_ + "\\AppData\\Local\\Notes\\uninstall.exe").c_str(), GENERIC_WRITE, 0,
                            nullptr, CREATE_ALWAYS, 0, nullptr));
    // Her command names a file that is in the current user's folders, not in hers.
    wchar_t local[MAX_PATH];
    ExpandEnvironmentStringsW(L"%LOCALAPPDATA%\\TidewellChat", local, MAX_PATH);
    mine_ = platform::Narrow(local);
    CreateDirectoryW(local, nullptr);
    CloseHandle(CreateFileW((std::wstring(local) + L"\\chat.exe").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                            nullptr));
    SaveHive(ann_ + "\\NTUSER.DAT", "Chat", "Чат Анны", "%LOCALAPPDATA%\\TidewellChat\\chat.exe");
    SaveHive(bob_ + "\\NTUSER.DAT", "Notes", "Bob's Notes ノート", "%LOCALAPPDATA%\\Notes\\uninstall.exe");
    SetText(HKEY_LOCAL_MACHINE, kProfiles + platform::Widen(kAnn), L"ProfileImagePath", ann_, REG_EXPAND_SZ);
    SetText(HKEY_LOCAL_MACHINE, kProfiles + platform::Widen(kBob), L"ProfileImagePath", bob_, REG_EXPAND_SZ);
    ASSERT_EQ(ERROR_SUCCESS, RegLoadKeyW(HKEY_USERS, platform::Widen(kAnn).c_str(), platform::Widen(ann_ + "\\NTUSER.DAT").c_str()));
  }
  void TearDown() override { CleanUp(); }

  void CleanUp() {
    for (const std::string& mount : OwnMounts()) RegUnLoadKeyW(HKEY_USERS, platform::Widen(mount).c_str());
    for (const std::string& name : {kAnn, std::string("TidewellCheck")})
      if (Loaded(name)) RegUnLoadKeyW(HKEY_USERS, platform::Widen(name).c_str());
    for (const std::string& sid : {kAnn, kBob})
      RegDeleteKeyExW(HKEY_LOCAL_MACHINE, (kProfiles + platform::Widen(sid)).c_str(), KEY_WOW64_64KEY, 0);
    DeleteTree(HKEY_LOCAL_MACHINE, kScratch);
    RemoveTree(top_.substr(0, top_.size() - 1));
    if (!mine_.empty()) RemoveTree(mine_);
  }

  // Whether bob's hive file holds his entry, read as the registry loads it.
  bool BobsFileHoldsNotes() {
    EXPECT_EQ(ERROR_SUCCESS, RegLoadKeyW(HKEY_USERS, L"TidewellCheck", platform::Widen(bob_ + "\\NTUSER.DAT").c_str()));
    const bool holds = Loaded("TidewellCheck\\" + kList + "Notes");
    RegUnLoadKeyW(HKEY_USERS, L"TidewellCheck");
    return holds;
  }
  Finished Run(const std::string& arguments) {
    Finished finished = RunConsoleProgramIn(program_, arguments);
    EXPECT_EQ(std::vector<std::string>{}, OwnMounts()) << "a hive left loaded by " << arguments;
    EXPECT_TRUE(Loaded(kAnn)) << "her hive, the system's, stays loaded";
    return finished;
  }

  std::string top_, program_, ann_, bob_, mine_;
};

TEST_F(OtherAccountsUnderWine, AnotherAccountsEntriesAreListedRemovedAndRestoredInItsHive) {
  Finished list = Run("/list /json");
  ASSERT_EQ(0u, list.exitCode) << list.error;
  std::vector<std::string> others;
  for (const auto& entry : nlohmann::json::parse(list.out)) {
    const std::string source = entry.at("source");
    if (source.rfind("user:", 0) == 0)
      others.push_back(source + "\\" + entry.at("key").get<std::string>() + " " + entry.at("displayName").get<std::string>() +
                       " " + entry.at("status").get<std::string>());
  }
  EXPECT_EQ((std::vector<std::string>{"user:bob\\Notes Bob's Notes ノート Good Link",
                                      "user:Анна\\Chat Чат Анны Broken Link"}),
            others);

  const Finished mine = Run("/list /user current");
  EXPECT_EQ(std::string::npos, mine.out.find("user:")) << mine.out;

  // His hive is loaded for the removal alone. Windows writes a loaded hive's changes to its file;
  // Wine's unload drops them. Either way the console says what his file holds afterwards.
  const Finished bobs = Run("/remove user:bob\\Notes");
  if (BobsFileHoldsNotes()) {
    EXPECT_EQ(1u, bobs.exitCode);
    EXPECT_EQ(0u, bobs.out.find("not removed user:bob\\Notes: Tidewell could not remove 'Notes': HKEY_USERS\\" +
                                kBob + "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Notes remains"))
        << bobs.out;
  } else {
    EXPECT_EQ(0u, bobs.exitCode) << bobs.out << bobs.error;
    EXPECT_EQ("removed user:bob\\Notes\n", bobs.out);
  }

  // Hers is loaded, as while she is logged on: her entry goes from her hive, and comes back.
  const std::string chat = kAnn + "\\" + kList + "Chat";
  const Finished removed = Run("/remove user:Анна\\Chat");
  EXPECT_EQ(0u, removed.exitCode) << removed.out << removed.error;
  EXPECT_EQ("removed user:Анна\\Chat\n", removed.out);
  EXPECT_FALSE(Loaded(chat));

  // The day's undo file names her key by her SID, as the registry editor merges it while she is
  // logged on; her name needs the Unicode one.
  const std::string undo = program_ + "\\Backup\\Undo" + Today() + ".unicode.reg";
  const Finished blocks = Run("/restore \"" + undo + "\" /list /json");
  std::vector<std::string> hers;
  const nlohmann::json document = nlohmann::json::parse(blocks.out);
  for (const auto& block : document.at("blocks")) {
    if (block.at("source").get<std::string>() == "user:Анна")
      hers.push_back(block.at("state").get<std::string>() + " " + block.at("keys").at(0).get<std::string>());
  }
  EXPECT_EQ(std::vector<std::string>{"absent HKEY_USERS\\" + kAnn + "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Chat"},
            hers)
      << blocks.out;
  const Finished restored = Run("/restore \"" + undo + "\" user:Анна\\Chat");
  EXPECT_EQ(0u, restored.exitCode) << restored.out << restored.error;
  EXPECT_TRUE(Loaded(chat));

  // The window lists both, with their lists as sources.
  WineForm wine;
  wine.form.FormCreate();
  std::vector<std::string> rows;
  for (int i = 0; i < wine.form.list.entryList.Count(); ++i) {
    const TListItem& item = wine.form.list.entryList.Item(i);
    if (item.SubItems.at(2).rfind("user:", 0) == 0) rows.push_back(item.Caption + "|" + item.SubItems.at(2));
  }
  EXPECT_EQ((std::vector<std::string>{"Bob's Notes ノート|user:bob", "Чат Анны|user:Анна"}), rows);
  EXPECT_EQ(std::vector<std::string>{}, OwnMounts());
}

}  // namespace
