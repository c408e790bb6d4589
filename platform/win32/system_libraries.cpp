#include "platform/win32/system_libraries.h"

#include <string>

namespace platform {

namespace {

// Not declared for the oldest Windows this builds for; there since Windows 8 (and Windows 7 with
// its update), on every Windows that the program runs on today.
constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);

std::wstring SystemFolder() {
  wchar_t folder[MAX_PATH];
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  return length > 0 && length < MAX_PATH ? std::wstring(folder, length) : std::wstring();
}

}  // namespace

void LoadLibrariesFromTheSystemOnly() {
  // The working folder leaves the search first, whatever follows.
  SetDllDirectoryW(L"");
  const auto set =
      LibraryFunction<SetDefaultDllDirectoriesFn>(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories");
  if (set) set(kSearchSystem32);
}

HMODULE LoadSystemLibrary(const wchar_t* name) {
  // By its name, searched for in the System folder only: a name, unlike a full path, is first
  // looked up in the program's manifest, which makes the common controls those of version 6.
  if (HMODULE module = LoadLibraryExW(name, nullptr, kSearchSystem32)) return module;
  // A Windows that does not know the flag: by the full path.
  const std::wstring folder = SystemFolder();
  return folder.empty() ? nullptr : LoadLibraryExW((folder + L"\\" + name).c_str(), nullptr, 0);
}

}  // namespace platform
