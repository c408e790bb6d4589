#pragma once
// Facts of the running system, privileges and the named mutex.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace platform {

struct LocalDate {
  int year = 0;
  int month = 0;
  int day = 0;
};

struct LocalTime {
  LocalDate date;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

inline constexpr std::uint32_t kInfinite = 0xFFFFFFFFu;

using TokenId = std::uintptr_t;
using MutexId = std::uintptr_t;

// One privilege of a token and its attributes (SE_PRIVILEGE_ENABLED is 2).
struct PrivilegeSetting {
  std::uint64_t luid = 0;
  std::uint32_t attributes = 0;
};
inline constexpr std::uint32_t kSePrivilegeEnabled = 2;

class System {
 public:
  virtual ~System() = default;

  // GetWindowsDirectoryW / GetSystemDirectoryW into 260 characters, cut at the first zero.
  virtual std::string WindowsDirectory() = 0;
  // GetSystemWindowsDirectoryW: the system's own Windows folder, also on a terminal server where
  // each user has a Windows folder of their own.
  virtual std::string SystemWindowsDirectory() = 0;
  virtual std::string SystemDirectory() = 0;
  // The running executable's full path.
  virtual std::string ExecutablePath() = 0;
  virtual LocalDate Today() = 0;
  // GetLocalTime: the date and the time of day, to the second.
  virtual LocalTime Now() = 0;
  // LCMapStringW(LCMAP_SORTKEY) in the locale lstrcmpW uses: bytes that, compared as unsigned
  // bytes, order texts in the locale's word order as lstrcmpW does (lstrcmpiW, with `ignoreCase`).
  // A long list is sorted by one key per text rather than by asking the system about each pair.
  virtual std::string SortKey(const std::string& text, bool ignoreCase) = 0;
  // The text in the system's ANSI code page, which the registry editor reads "REGEDIT4" files in:
  // false when the code page cannot carry every character of it exactly (a character it lacks,
  // or one it would only approximate, as it writes "a" for a Greek alpha).
  virtual bool ToAnsiCodePage(const std::string& text, std::string* ansi) = 0;
  // The text of bytes in that code page, as the registry editor reads a "REGEDIT4" file
  // (MultiByteToWideChar(CP_ACP) with MB_ERR_INVALID_CHARS): false when a byte, or a pair of bytes,
  // is no character of the code page. NUL bytes are characters like any other.
  virtual bool FromAnsiCodePage(const std::string& ansi, std::string* text) = 0;

  // Wow64DisableWow64FsRedirection / Wow64RevertWow64FsRedirection, looked up at run time.
  // Disable answers false when the function is missing or fails.
  virtual bool Wow64DisableRedirection(std::uintptr_t* cell) = 0;
  virtual void Wow64RevertRedirection(std::uintptr_t value) = 0;

  virtual bool IsNtFamily() = 0;
  // IsWow64Process of this process: a 32-bit program on 64-bit Windows.
  virtual bool IsWow64() = 0;
  // OpenProcessToken(current process, TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY): 0 on failure.
  virtual TokenId OpenProcessToken() = 0;
  virtual void CloseToken(TokenId token) = 0;
  virtual bool LookupPrivilege(const std::string& name, std::uint64_t* luid) = 0;
  // AdjustTokenPrivileges(token, FALSE, settings, previous): true when every privilege was set.
  virtual bool AdjustPrivileges(TokenId token, const std::vector<PrivilegeSetting>& settings,
                                std::vector<PrivilegeSetting>* previous) = 0;
  // The user this process runs as, by the security identifier of its token's user as text
  // ("S-1-5-21-..."); empty when it cannot be read.
  virtual std::string CurrentUserSid() = 0;
  // LookupAccountSidW of the security identifier given as text: the account's name without its
  // domain; empty when the system does not know it.
  virtual std::string AccountNameOfSid(const std::string& sid) = 0;

  // CreateMutexW(no security, initialOwner, name): 0 on failure; *alreadyExists from GetLastError.
  virtual MutexId CreateNamedMutex(const std::string& name, bool initialOwner, bool* alreadyExists) = 0;
  // WaitForSingleObject(mutex, milliseconds): true once owned (also when abandoned by its holder),
  // false when the time ran out first.
  virtual bool WaitForMutex(MutexId mutex, std::uint32_t milliseconds) = 0;
  virtual void ReleaseNamedMutex(MutexId mutex) = 0;
  virtual void CloseMutex(MutexId mutex) = 0;

  // MsiQueryProductStateW(productCode) of msi.dll, loaded at the first question: false when the
  // system installer cannot be asked, otherwise true with its answer (kInstallState...). Safe to
  // call from any thread.
  virtual bool QueryProductState(const std::string& productCode, int* state) = 0;
  // MsiGetProductInfoW(productCode, INSTALLPROPERTY_LOCALPACKAGE): the path of the installer's own
  // copy of the product's package, which its uninstall reads; false when the installer cannot be
  // asked or keeps none for the product. Safe to call from any thread.
  virtual bool ProductLocalPackage(const std::string& productCode, std::string* path) = 0;
};

}  // namespace platform
