#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600  // RegDeleteTreeA, for cleaning up the scratch key
#include <windows.h>

#include <string>

#include "platform/registry_contract_env.h"
#include "platform/win32/win32_registry.h"

namespace platform {
namespace {

void EnablePrivilege(const char* name) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return;
  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  if (LookupPrivilegeValueA(nullptr, name, &privileges.Privileges[0].Luid))
    AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
  CloseHandle(token);
}

class Win32ContractEnv : public RegistryContractEnv {
 public:
  Win32ContractEnv() {
    RegDeleteTreeA(HKEY_CURRENT_USER, kScratch);
    registry_.CreateKeyEx(kHkeyCurrentUser, kScratch, 0, kKeyAllAccess, &scratch_);
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    folder_ = std::string(temp) + "tidewell-contract-" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(folder_.c_str(), nullptr);
  }
  ~Win32ContractEnv() override {
    registry_.CloseKey(scratch_);
    RegDeleteTreeA(HKEY_CURRENT_USER, kScratch);
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder_ + "*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
      do DeleteFileA((folder_ + data.cFileName).c_str());
      while (FindNextFileA(find, &data));
      FindClose(find);
    }
    RemoveDirectoryA(folder_.c_str());
  }
  RegistryApi& Api() override { return registry_; }
  Hkey Scratch() override { return scratch_; }
  std::string HiveFile(const std::string& name) override { return folder_ + name; }
  bool FileExists(const std::string& path) override {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
  }
  void GrantHiveRights() override {
    EnablePrivilege("SeBackupPrivilege");
    EnablePrivilege("SeRestorePrivilege");
  }
  bool IsWine() const override { return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version"); }

 private:
  static constexpr const char* kScratch = "Software\\TidewellContract";
  Win32Registry registry_;
  Hkey scratch_ = 0;
  std::string folder_;
};

}  // namespace

std::unique_ptr<RegistryContractEnv> MakeRegistryContractEnv() { return std::make_unique<Win32ContractEnv>(); }

}  // namespace platform
