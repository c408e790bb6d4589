// Seeds or removes uninstall entries whose names and texts break a careless report, for the test of
// Tidewell.exe's report read by another program:
//   hostile_entries seed|remove
// The texts are the ones tests/wine/report_json_test.sh expects back.
#include <windows.h>

#include <cstring>
#include <string>

namespace {

const wchar_t kUninstall[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

struct Hostile {
  HKEY root;
  const wchar_t* key;
  const wchar_t* displayName;
  const wchar_t* command;
};

// Quotes, backslashes, a tab, line breaks, other control characters, DEL, accented Latin, Chinese,
// and a character outside the Basic Multilingual Plane (U+1F600, a surrogate pair).
const Hostile kEntries[] = {
    {HKEY_LOCAL_MACHINE, L"TidewellHostile \"Quoted\"\tTab",
     L"Display \"quoted\" \\back\\slash\\ tab\there line\nbreak cr\r bell\x07 esc\x1b[31m del\x7f end",
     L"\"C:\\Program Files\\Hostile \\\"Tool\\\"\\gone.exe\" /S"},
    {HKEY_LOCAL_MACHINE, L"TidewellHostile \x00c9\x4e2d\xd83d\xde00",
     L"\x00c9" L"diteur \x4e2d\x6587 \xd83d\xde00 \x0416", L"C:\\\x041f\x0440\x043e\\\x00e9\\u.exe"},
    {HKEY_CURRENT_USER, L"TidewellHostile user\x01", L"User \x01\x02\x1f entry", L"MsiExec.exe /X{7F1C2C39-1F4E-4E57-9E10-0B6B3B6D2C15}"},
};

void Seed(const Hostile& entry) {
  HKEY key = nullptr;
  const std::wstring path = std::wstring(kUninstall) + entry.key;
  if (RegCreateKeyExW(entry.root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return;
  for (const auto& [name, text] : {std::pair{L"DisplayName", entry.displayName}, std::pair{L"UninstallString", entry.command}})
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                   static_cast<DWORD>((std::wcslen(text) + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const bool seed = std::strcmp(argv[1], "seed") == 0;
  for (const Hostile& entry : kEntries) {
    if (seed) Seed(entry);
    else RegDeleteKeyW(entry.root, (std::wstring(kUninstall) + entry.key).c_str());
  }
  return 0;
}
