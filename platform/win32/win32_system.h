#pragma once
// Facts of the running system, token privileges and named mutexes through kernel32 and advapi32.
#include <memory>
#include <mutex>

#include "platform/system.h"

namespace platform {

class Win32System : public System {
 public:
  Win32System();
  ~Win32System() override;
  Win32System(const Win32System&) = delete;
  Win32System& operator=(const Win32System&) = delete;

  std::string WindowsDirectory() override;
  std::string SystemWindowsDirectory() override;
  std::string SystemDirectory() override;
  std::string ExecutablePath() override;
  LocalDate Today() override;
  LocalTime Now() override;
  std::string SortKey(const std::string& text, bool ignoreCase) override;
  bool ToAnsiCodePage(const std::string& text, std::string* ansi) override;
  bool FromAnsiCodePage(const std::string& ansi, std::string* text) override;
  bool Wow64DisableRedirection(std::uintptr_t* cell) override;
  void Wow64RevertRedirection(std::uintptr_t value) override;
  bool IsNtFamily() override;
  bool IsWow64() override;
  TokenId OpenProcessToken() override;
  void CloseToken(TokenId token) override;
  bool LookupPrivilege(const std::string& name, std::uint64_t* luid) override;
  bool AdjustPrivileges(TokenId token, const std::vector<PrivilegeSetting>& settings,
                        std::vector<PrivilegeSetting>* previous) override;
  MutexId CreateNamedMutex(const std::string& name, bool initialOwner, bool* alreadyExists) override;
  bool WaitForMutex(MutexId mutex, std::uint32_t milliseconds) override;
  void ReleaseNamedMutex(MutexId mutex) override;
  void CloseMutex(MutexId mutex) override;
  std::string CurrentUserSid() override;
  std::string AccountNameOfSid(const std::string& sid) override;
  bool QueryProductState(const std::string& productCode, int* state) override;
  bool ProductLocalPackage(const std::string& productCode, std::string* path) override;

 private:
  // msi.dll, loaded by whichever thread asks first and kept until the program ends.
  class InstallerLibrary;
  std::once_flag installerLoaded_;
  std::unique_ptr<InstallerLibrary> installer_;
};

}  // namespace platform
