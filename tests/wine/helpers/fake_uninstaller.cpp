// Stands in for an uninstaller in the Windows tests:
//   fake_uninstaller [--sleep ms] [--marker file] [--remove-key name] [--view 32|64] [--exit code]
// It waits, writes its own first argument (in UTF-8) to the marker file, removes an uninstall
// entry of the machine's list in the registry view given (where a 64-bit or a 32-bit program
// lists itself; by default this 32-bit program's own), and exits with the code. Its arguments are
// read wide, so names of any script arrive whole.
#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <string>

#include "platform/win32/wide_text.h"

int main() {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv) return 2;
  DWORD sleep = 0;
  const wchar_t* marker = nullptr;
  const wchar_t* removeKey = nullptr;
  int code = 0;
  REGSAM view = 0;
  for (int i = 1; i + 1 < argc; ++i) {
    const std::wstring option = argv[i];
    if (option == L"--sleep") sleep = std::wcstoul(argv[i + 1], nullptr, 10);
    else if (option == L"--marker") marker = argv[i + 1];
    else if (option == L"--remove-key") removeKey = argv[i + 1];
    else if (option == L"--view") view = std::wstring(argv[i + 1]) == L"64" ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
    else if (option == L"--exit") code = std::wcstol(argv[i + 1], nullptr, 10);
  }
  if (sleep) Sleep(sleep);
  if (marker) {
    HANDLE file = CreateFileW(marker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      const std::string self = platform::Narrow(argv[0]);
      DWORD written = 0;
      WriteFile(file, self.data(), static_cast<DWORD>(self.size()), &written, nullptr);
      CloseHandle(file);
    }
  }
  if (removeKey) {
    const std::wstring path = std::wstring(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + removeKey;
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), view, 0);
  }
  LocalFree(argv);
  return code;
}
