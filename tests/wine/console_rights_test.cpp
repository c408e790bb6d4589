// Tidewell.com's removals where the registry refuses this user an entry, as Windows refuses a user
// who is not elevated the machine's lists: the entry's key lets everyone only read it (Wine checks a
// key's access list as Windows does). The refused removal is the last one: it says which entry and
// what to do, lists what went before it, and the program ends with its own exit code.
#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <string>

#include "report/command_line.h"
#include "tests/wine/console_run.h"
#include "tests/wine/wine_test_support.h"

namespace {

const std::wstring kUninstall = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

struct Seeded {
  HKEY root;
  std::wstring key;
};
const Seeded kFirst{HKEY_CURRENT_USER, L"TidewellRights First"};
const Seeded kRefused{HKEY_LOCAL_MACHINE, L"TidewellRights Refused"};
const Seeded kLast{HKEY_CURRENT_USER, L"TidewellRights Last"};

void Seed(const Seeded& entry) {
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(entry.root, (kUninstall + entry.key).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                           nullptr, &key, nullptr));
  const std::wstring name = entry.key + L" 1.0", command = L"C:\\gone\\" + entry.key + L"\\uninst.exe";
  RegSetValueExW(key, L"DisplayName", 0, REG_SZ, reinterpret_cast<const BYTE*>(name.c_str()),
                 static_cast<DWORD>((name.size() + 1) * sizeof(wchar_t)));
  RegSetValueExW(key, L"UninstallString", 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                 static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
}

bool Exists(const Seeded& entry) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(entry.root, (kUninstall + entry.key).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

// The key's access list: everyone may read it, nobody may change it ("D:P(A;;KR;;;WD)"), or, with
// `open`, everyone may do everything.
void SetAccess(const Seeded& entry, bool open) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(open ? L"D:P(A;;KA;;;WD)" : L"D:P(A;;KR;;;WD)",
                                                                   SDDL_REVISION_1, &descriptor, nullptr));
  // The owner may always change the access list, so the key can be opened for that after it is locked.
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(entry.root, (kUninstall + entry.key).c_str(), 0, WRITE_DAC, &key));
  EXPECT_EQ(ERROR_SUCCESS, RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor));
  RegCloseKey(key);
  LocalFree(descriptor);
}

TEST(ConsoleRightsTest, ARemovalTheRegistryRefusesIsTheLastAndSaysSo) {
  // A copy of the program in a folder of its own, which keeps its own undo file.
  const std::string folder = TestFolder() + "console_rights";
  RemoveTree(folder);
  CreateDirectoryW(platform::Widen(folder).c_str(), nullptr);
  ASSERT_TRUE(CopyFileW(platform::Widen(TestFolder() + "..\\bin\\Tidewell.com").c_str(),
                        platform::Widen(folder + "\\Tidewell.com").c_str(), FALSE));
  for (const Seeded* entry : {&kFirst, &kRefused, &kLast}) Seed(*entry);
  SetAccess(kRefused, false);

  const Finished run = RunConsoleProgramIn(folder,
                                           "/remove \"user\\TidewellRights First\" \"32-bit\\TidewellRights Refused\" "
                                           "\"user\\TidewellRights Last\"");
  EXPECT_EQ(static_cast<DWORD>(kExitNeedsElevation), run.exitCode);
  EXPECT_EQ("removed user\\TidewellRights First\n"
            "not removed 32-bit\\TidewellRights Refused: access denied: run it from an elevated prompt\n",
            run.out);
  EXPECT_EQ("Tidewell: stopped at 32-bit\\TidewellRights Refused, which the registry refused for lack of rights: "
            "run it from an elevated prompt. Nothing after it was removed; removed before it: "
            "user\\TidewellRights First.\n",
            run.error);
  EXPECT_FALSE(Exists(kFirst));
  EXPECT_TRUE(Exists(kRefused));
  EXPECT_TRUE(Exists(kLast)) << "nothing after the refused entry is removed";

  // The undo file holds what was removed, and nothing of the entry that was not.
  WIN32_FIND_DATAW found;
  const HANDLE find = FindFirstFileW(platform::Widen(folder + "\\Backup\\Undo*.reg").c_str(), &found);
  ASSERT_NE(INVALID_HANDLE_VALUE, find);
  FindClose(find);
  const std::string undo = ReadFileText(folder + "\\Backup\\" + platform::Narrow(found.cFileName));
  EXPECT_NE(std::string::npos, undo.find("TidewellRights First"));
  EXPECT_EQ(std::string::npos, undo.find("TidewellRights Refused"));

  SetAccess(kRefused, true);
  for (const Seeded* entry : {&kFirst, &kRefused, &kLast})
    RegDeleteKeyW(entry->root, (kUninstall + entry->key).c_str());
  RemoveTree(folder);
}

}  // namespace
