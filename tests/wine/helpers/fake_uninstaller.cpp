// Stands in for an uninstaller in the Windows tests:
//   fake_uninstaller [--sleep ms] [--marker file] [--remove-key name] [--exit code]
// It waits, writes the marker file, removes an uninstall entry, and exits with the code.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
  DWORD sleep = 0;
  const char* marker = nullptr;
  const char* removeKey = nullptr;
  int code = 0;
  for (int i = 1; i + 1 < argc; ++i) {
    if (!std::strcmp(argv[i], "--sleep")) sleep = std::strtoul(argv[i + 1], nullptr, 10);
    else if (!std::strcmp(argv[i], "--marker")) marker = argv[i + 1];
    else if (!std::strcmp(argv[i], "--remove-key")) removeKey = argv[i + 1];
    else if (!std::strcmp(argv[i], "--exit")) code = std::atoi(argv[i + 1]);
  }
  if (sleep) Sleep(sleep);
  if (marker) {
    HANDLE file = CreateFileA(marker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      DWORD written = 0;
      WriteFile(file, argv[0], static_cast<DWORD>(std::strlen(argv[0])), &written, nullptr);
      CloseHandle(file);
    }
  }
  if (removeKey) {
    const std::string path = std::string("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + removeKey;
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, path.c_str());
  }
  return code;
}
