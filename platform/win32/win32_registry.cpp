#include "platform/win32/win32_registry.h"

#include <windows.h>

namespace platform {

namespace {
HKEY H(Hkey key) { return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(key)); }
Hkey K(HKEY key) { return static_cast<Hkey>(reinterpret_cast<ULONG_PTR>(key)); }

bool QueryNtFamily() {
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof version;
  return GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}
}  // namespace

Win32Registry::Win32Registry() : dbcs_(GetSystemMetrics(SM_DBCSENABLED) != 0), nt_(QueryNtFamily()) {}

long Win32Registry::OpenKeyEx(Hkey base, const char* subKey, std::uint32_t access, Hkey* result) {
  HKEY opened = nullptr;
  const long status = RegOpenKeyExA(H(base), subKey, 0, access, &opened);
  *result = status == ERROR_SUCCESS ? K(opened) : 0;
  return status;
}

long Win32Registry::CreateKeyEx(Hkey base, const char* subKey, std::uint32_t options, std::uint32_t access,
                                Hkey* result) {
  HKEY created = nullptr;
  const long status =
      RegCreateKeyExA(H(base), subKey, 0, nullptr, options, access, nullptr, &created, nullptr);
  *result = status == ERROR_SUCCESS ? K(created) : 0;
  return status;
}

long Win32Registry::CloseKey(Hkey key) { return RegCloseKey(H(key)); }

long Win32Registry::DeleteKey(Hkey base, const char* subKey, std::uint32_t view) {
  return RegDeleteKeyExA(H(base), subKey, view, 0);
}

long Win32Registry::DeleteValue(Hkey key, const char* name) { return RegDeleteValueA(H(key), name); }

long Win32Registry::EnumKeyEx(Hkey key, std::uint32_t index, char* name, std::uint32_t* nameLength) {
  DWORD length = *nameLength;
  const long status = RegEnumKeyExA(H(key), index, name, &length, nullptr, nullptr, nullptr, nullptr);
  *nameLength = length;
  return status;
}

long Win32Registry::EnumValue(Hkey key, std::uint32_t index, char* name, std::uint32_t* nameLength) {
  DWORD length = *nameLength;
  const long status = RegEnumValueA(H(key), index, name, &length, nullptr, nullptr, nullptr, nullptr);
  *nameLength = length;
  return status;
}

long Win32Registry::QueryInfoKey(Hkey key, RawKeyInfo* info) {
  DWORD subkeys = 0, maxSubkey = 0, values = 0, maxValueName = 0, maxValueData = 0;
  FILETIME lastWrite{};
  const long status = RegQueryInfoKeyA(H(key), nullptr, nullptr, nullptr, &subkeys, &maxSubkey, nullptr, &values,
                                       &maxValueName, &maxValueData, nullptr, &lastWrite);
  info->subkeyCount = subkeys;
  info->maxSubkeyNameLength = maxSubkey;
  info->valueCount = values;
  info->maxValueNameLength = maxValueName;
  info->maxValueDataSize = maxValueData;
  info->lastWriteTime = (static_cast<std::uint64_t>(lastWrite.dwHighDateTime) << 32) | lastWrite.dwLowDateTime;
  return status;
}

long Win32Registry::QueryValueEx(Hkey key, const char* name, std::uint32_t* type, std::uint8_t* data,
                                 std::uint32_t* size) {
  DWORD valueType = 0;
  DWORD length = size ? *size : 0;
  const long status = RegQueryValueExA(H(key), name, nullptr, &valueType, data, size ? &length : nullptr);
  if (type) *type = valueType;
  if (size) *size = length;
  return status;
}

long Win32Registry::SetValueEx(Hkey key, const char* name, std::uint32_t type, const std::uint8_t* data,
                               std::uint32_t size) {
  return RegSetValueExA(H(key), name, 0, type, data, size);
}

long Win32Registry::LoadKey(Hkey root, const char* subKey, const char* file) {
  return RegLoadKeyA(H(root), subKey, file);
}

long Win32Registry::UnLoadKey(Hkey root, const char* subKey) { return RegUnLoadKeyA(H(root), subKey); }

long Win32Registry::SaveKey(Hkey key, const char* file) { return RegSaveKeyA(H(key), file, nullptr); }

}  // namespace platform
