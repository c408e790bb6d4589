#include "platform/win32/win32_system.h"

#include "platform/win32/system_libraries.h"

#include <windows.h>
#include <sddl.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/win32/wide_text.h"

namespace platform {

namespace {

HANDLE H(std::uintptr_t id) { return reinterpret_cast<HANDLE>(id); }
std::uintptr_t Id(HANDLE handle) { return reinterpret_cast<std::uintptr_t>(handle); }

// The 260-character buffer of the directory calls, cut at the first zero character.
std::string DirectoryFrom(UINT (WINAPI *query)(LPWSTR, UINT)) {
  std::vector<wchar_t> buffer(MAX_PATH + 1, L'\0');
  query(buffer.data(), MAX_PATH);
  return NarrowUpToNul(buffer);
}

std::wstring WideFromAnsi(const std::string& ansi) {
  const int size = static_cast<int>(ansi.size());
  const int length = MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, nullptr, 0);
  std::wstring wide(static_cast<size_t>(length > 0 ? length : 0), L'\0');
  if (length > 0) MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, wide.data(), length);
  return wide;
}

LUID ToLuid(std::uint64_t value) {
  LUID luid;
  luid.LowPart = static_cast<DWORD>(value & 0xFFFFFFFFu);
  luid.HighPart = static_cast<LONG>(value >> 32);
  return luid;
}

std::uint64_t FromLuid(const LUID& luid) {
  return (static_cast<std::uint64_t>(static_cast<DWORD>(luid.HighPart)) << 32) | luid.LowPart;
}

using Wow64Disable = BOOL(WINAPI*)(PVOID*);
using Wow64Revert = BOOL(WINAPI*)(PVOID);

// Present only on systems that run 32-bit programs on a 64-bit kernel, so looked up by name.
template <class Function>
Function Kernel32Function(const char* name) {
  return LibraryFunction<Function>(GetModuleHandleW(L"kernel32.dll"), name);
}

}  // namespace

class Win32System::InstallerLibrary {
 public:
  // INSTALLSTATE is an enumeration: an int.
  using QueryState = int(WINAPI*)(LPCWSTR);
  using GetInfo = UINT(WINAPI*)(LPCWSTR, LPCWSTR, LPWSTR, LPDWORD);
  // The system's own copy, by its full path: a msi.dll beside the program or in the working folder
  // is never loaded.
  InstallerLibrary() : module_(LoadSystemLibrary(L"msi.dll")) {
    query_ = LibraryFunction<QueryState>(module_, "MsiQueryProductStateW");
    info_ = LibraryFunction<GetInfo>(module_, "MsiGetProductInfoW");
  }
  ~InstallerLibrary() {
    if (module_) FreeLibrary(module_);
  }
  InstallerLibrary(const InstallerLibrary&) = delete;
  InstallerLibrary& operator=(const InstallerLibrary&) = delete;

  QueryState query() const { return query_; }
  GetInfo info() const { return info_; }

 private:
  HMODULE module_;
  QueryState query_ = nullptr;
  GetInfo info_ = nullptr;
};

Win32System::Win32System() = default;

Win32System::~Win32System() = default;

bool Win32System::QueryProductState(const std::string& productCode, int* state) {
  std::call_once(installerLoaded_, [this] { installer_ = std::make_unique<InstallerLibrary>(); });
  const InstallerLibrary::QueryState query = installer_->query();
  if (!query) return false;
  *state = query(Widen(productCode).c_str());
  return true;
}

bool Win32System::ProductLocalPackage(const std::string& productCode, std::string* path) {
  std::call_once(installerLoaded_, [this] { installer_ = std::make_unique<InstallerLibrary>(); });
  const InstallerLibrary::GetInfo info = installer_->info();
  if (!info) return false;
  const std::wstring code = Widen(productCode);
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  DWORD length = static_cast<DWORD>(buffer.size());
  UINT result = info(code.c_str(), L"LocalPackage", buffer.data(), &length);
  if (result == ERROR_MORE_DATA) {
    buffer.resize(length + 1);
    length = static_cast<DWORD>(buffer.size());
    result = info(code.c_str(), L"LocalPackage", buffer.data(), &length);
  }
  if (result != ERROR_SUCCESS || length == 0) return false;
  *path = Narrow(buffer.data(), length);
  return true;
}

std::string Win32System::WindowsDirectory() { return DirectoryFrom(GetWindowsDirectoryW); }

std::string Win32System::SystemWindowsDirectory() { return DirectoryFrom(GetSystemWindowsDirectoryW); }

std::string Win32System::SystemDirectory() { return DirectoryFrom(GetSystemDirectoryW); }

std::string Win32System::ExecutablePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return std::string();
    // A full buffer may hold a cut path; try again with more room.
    if (length < path.size()) return Narrow(path.data(), length);
    path.resize(path.size() * 2);
  }
}

LocalDate Win32System::Today() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return LocalDate{now.wYear, now.wMonth, now.wDay};
}

LocalTime Win32System::Now() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return LocalTime{LocalDate{now.wYear, now.wMonth, now.wDay}, now.wHour, now.wMinute, now.wSecond};
}

std::string Win32System::SortKey(const std::string& text, bool ignoreCase) {
  // lstrcmpW and lstrcmpiW compare in the thread's locale, the second with NORM_IGNORECASE; the key
  // ends at the text's first NUL, as the comparison does.
  const std::wstring wide = Widen(text);
  const DWORD flags = LCMAP_SORTKEY | (ignoreCase ? NORM_IGNORECASE : 0);
  const LCID locale = GetThreadLocale();
  const int size = LCMapStringW(locale, flags, wide.c_str(), -1, nullptr, 0);
  if (size <= 0) return {};
  std::string key(static_cast<size_t>(size), '\0');
  const int made = LCMapStringW(locale, flags, wide.c_str(), -1, reinterpret_cast<LPWSTR>(key.data()), size);
  key.resize(static_cast<size_t>(std::max(made, 0)));
  return key;
}

bool Win32System::ToAnsiCodePage(const std::string& text, std::string* ansi) {
  const std::wstring wide = Widen(text);
  if (wide.empty()) {
    ansi->clear();
    return text.empty();
  }
  const int units = static_cast<int>(wide.size());
  BOOL usedDefault = FALSE;
  const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), units, nullptr, 0, nullptr, &usedDefault);
  if (size <= 0 || usedDefault) return false;
  std::string bytes(static_cast<size_t>(size), '\0');
  usedDefault = FALSE;
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), units, bytes.data(), size, nullptr, &usedDefault);
  // The registry editor reads the bytes back with the same code page: only a text that comes back
  // as it was is carried.
  if (usedDefault || WideFromAnsi(bytes) != wide || Narrow(wide) != text) return false;
  *ansi = std::move(bytes);
  return true;
}

bool Win32System::FromAnsiCodePage(const std::string& ansi, std::string* text) {
  if (ansi.empty()) {
    text->clear();
    return true;
  }
  const int size = static_cast<int>(ansi.size());
  const int length = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, ansi.data(), size, nullptr, 0);
  if (length <= 0) return false;
  std::wstring wide(static_cast<size_t>(length), L'\0');
  if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, ansi.data(), size, wide.data(), length) != length) return false;
  *text = Narrow(wide);
  return true;
}

bool Win32System::Wow64DisableRedirection(std::uintptr_t* cell) {
  const auto disable = Kernel32Function<Wow64Disable>("Wow64DisableWow64FsRedirection");
  if (!disable) return false;
  PVOID old = nullptr;
  const BOOL done = disable(&old);
  *cell = reinterpret_cast<std::uintptr_t>(old);
  return done != FALSE;
}

void Win32System::Wow64RevertRedirection(std::uintptr_t value) {
  const auto revert = Kernel32Function<Wow64Revert>("Wow64RevertWow64FsRedirection");
  if (revert) revert(reinterpret_cast<PVOID>(value));
}

bool Win32System::IsWow64() {
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

bool Win32System::IsNtFamily() {
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof version;
  return GetVersionExW(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

TokenId Win32System::OpenProcessToken() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return 0;
  return Id(token);
}

void Win32System::CloseToken(TokenId token) { CloseHandle(H(token)); }

std::string Win32System::CurrentUserSid() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<unsigned char> buffer(size);
  std::string sid;
  wchar_t* text = nullptr;
  if (size > 0 && GetTokenInformation(token, TokenUser, buffer.data(), size, &size) &&
      ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
    sid = Narrow(std::wstring(text));
    LocalFree(text);
  }
  CloseHandle(token);
  return sid;
}

std::string Win32System::AccountNameOfSid(const std::string& sid) {
  PSID binary = nullptr;
  if (!ConvertStringSidToSidW(Widen(sid).c_str(), &binary)) return {};
  wchar_t name[256] = {}, domain[256] = {};
  DWORD nameLength = 256, domainLength = 256;
  SID_NAME_USE use{};
  const bool found = LookupAccountSidW(nullptr, binary, name, &nameLength, domain, &domainLength, &use);
  LocalFree(binary);
  return found ? Narrow(std::wstring(name)) : std::string();
}

bool Win32System::LookupPrivilege(const std::string& name, std::uint64_t* luid) {
  LUID found{};
  if (!LookupPrivilegeValueW(nullptr, Widen(name).c_str(), &found)) return false;
  *luid = FromLuid(found);
  return true;
}

bool Win32System::AdjustPrivileges(TokenId token, const std::vector<PrivilegeSetting>& settings,
                                   std::vector<PrivilegeSetting>* previous) {
  if (settings.empty()) {
    if (previous) previous->clear();
    return true;
  }
  // TOKEN_PRIVILEGES ends in a one-element array; room for every setting follows it.
  const DWORD size = sizeof(TOKEN_PRIVILEGES) + (settings.size() - 1) * sizeof(LUID_AND_ATTRIBUTES);
  std::vector<unsigned char> wanted(size), before(size);
  auto* request = reinterpret_cast<TOKEN_PRIVILEGES*>(wanted.data());
  request->PrivilegeCount = static_cast<DWORD>(settings.size());
  for (size_t i = 0; i < settings.size(); ++i) {
    request->Privileges[i].Luid = ToLuid(settings[i].luid);
    request->Privileges[i].Attributes = settings[i].attributes;
  }
  DWORD returned = 0;
  SetLastError(ERROR_SUCCESS);
  const BOOL done = AdjustTokenPrivileges(H(token), FALSE, request, size,
                                          reinterpret_cast<TOKEN_PRIVILEGES*>(before.data()), &returned);
  // The call succeeds also when a privilege is not held; only ERROR_SUCCESS means all were set.
  const bool all = done && GetLastError() == ERROR_SUCCESS;
  if (previous) {
    previous->clear();
    if (done) {
      const auto* old = reinterpret_cast<const TOKEN_PRIVILEGES*>(before.data());
      for (DWORD i = 0; i < old->PrivilegeCount; ++i)
        previous->push_back(PrivilegeSetting{FromLuid(old->Privileges[i].Luid), old->Privileges[i].Attributes});
    }
  }
  return all;
}

MutexId Win32System::CreateNamedMutex(const std::string& name, bool initialOwner, bool* alreadyExists) {
  HANDLE mutex = CreateMutexW(nullptr, initialOwner ? TRUE : FALSE, Widen(name).c_str());
  const DWORD error = GetLastError();
  if (alreadyExists) *alreadyExists = mutex && error == ERROR_ALREADY_EXISTS;
  return Id(mutex);
}

bool Win32System::WaitForMutex(MutexId mutex, std::uint32_t milliseconds) {
  const DWORD result = WaitForSingleObject(H(mutex), milliseconds);
  return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

void Win32System::ReleaseNamedMutex(MutexId mutex) { ReleaseMutex(H(mutex)); }

void Win32System::CloseMutex(MutexId mutex) { CloseHandle(H(mutex)); }

}  // namespace platform
