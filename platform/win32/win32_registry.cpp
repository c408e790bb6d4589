#include "platform/win32/win32_registry.h"

#include <windows.h>

#include <vector>

#include "platform/win32/wide_text.h"

namespace platform {

namespace {
HKEY H(Hkey key) { return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(key)); }
Hkey K(HKEY key) { return static_cast<Hkey>(reinterpret_cast<ULONG_PTR>(key)); }

bool QueryNtFamily() {
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof version;
  return GetVersionExW(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

// A name argument: null stays null (the key itself, the unnamed value).
class WideName {
 public:
  explicit WideName(const char* text) : null_(text == nullptr), wide_(text ? Widen(text) : std::wstring()) {}
  const wchar_t* get() const { return null_ ? nullptr : wide_.c_str(); }

 private:
  bool null_;
  std::wstring wide_;
};

// RegEnumKeyExW and RegEnumValueW take the same first four arguments.
template <class Enumerate>
long EnumerateName(Enumerate enumerate, std::uint32_t bufferLength, std::string* name) {
  std::vector<wchar_t> buffer(bufferLength + 1, L'\0');
  DWORD length = bufferLength;
  const long status = enumerate(buffer.data(), &length);
  if (status == ERROR_SUCCESS) *name = Narrow(buffer.data(), length);
  return status;
}
}  // namespace

Win32Registry::Win32Registry() : dbcs_(GetSystemMetrics(SM_DBCSENABLED) != 0), nt_(QueryNtFamily()) {}

long Win32Registry::OpenKeyEx(Hkey base, const char* subKey, std::uint32_t access, Hkey* result) {
  HKEY opened = nullptr;
  const long status = RegOpenKeyExW(H(base), WideName(subKey).get(), 0, access, &opened);
  *result = status == ERROR_SUCCESS ? K(opened) : 0;
  return status;
}

long Win32Registry::CreateKeyEx(Hkey base, const char* subKey, std::uint32_t options, std::uint32_t access,
                                Hkey* result) {
  HKEY created = nullptr;
  const long status =
      RegCreateKeyExW(H(base), WideName(subKey).get(), 0, nullptr, options, access, nullptr, &created, nullptr);
  *result = status == ERROR_SUCCESS ? K(created) : 0;
  return status;
}

long Win32Registry::CloseKey(Hkey key) { return RegCloseKey(H(key)); }

long Win32Registry::DeleteKey(Hkey base, const char* subKey, std::uint32_t view) {
  return RegDeleteKeyExW(H(base), WideName(subKey).get(), view, 0);
}

long Win32Registry::DeleteValue(Hkey key, const char* name) { return RegDeleteValueW(H(key), WideName(name).get()); }

long Win32Registry::EnumKeyEx(Hkey key, std::uint32_t index, std::uint32_t bufferLength, std::string* name) {
  return EnumerateName(
      [&](wchar_t* buffer, DWORD* length) {
        return RegEnumKeyExW(H(key), index, buffer, length, nullptr, nullptr, nullptr, nullptr);
      },
      bufferLength, name);
}

long Win32Registry::EnumValue(Hkey key, std::uint32_t index, std::uint32_t bufferLength, std::string* name) {
  return EnumerateName(
      [&](wchar_t* buffer, DWORD* length) {
        return RegEnumValueW(H(key), index, buffer, length, nullptr, nullptr, nullptr, nullptr);
      },
      bufferLength, name);
}

long Win32Registry::EnumValueData(Hkey key, std::uint32_t index, std::string* name, std::uint32_t* type,
                                  std::string* data) {
  // Most names and data fit the small buffers on the stack; a longer name (at most 16,383 units) or
  // larger data are asked for again with buffers of their size, and once more if the value grew
  // meanwhile. The buffers are not kept from call to call in thread_local storage: MinGW's runtime
  // frees a thread's copy before running its destructor when the thread ends, corrupting the heap.
  wchar_t smallName[256];
  BYTE smallData[1024];
  std::vector<wchar_t> largeName;
  std::vector<BYTE> largeData;
  wchar_t* nameBuffer = smallName;
  DWORD nameCapacity = static_cast<DWORD>(std::size(smallName));
  BYTE* bytes = smallData;
  DWORD capacity = sizeof smallData;
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD nameLength = nameCapacity;
    DWORD valueType = 0;
    DWORD size = capacity;
    const long status = RegEnumValueW(H(key), index, nameBuffer, &nameLength, nullptr, &valueType, bytes, &size);
    if (status == ERROR_MORE_DATA) {
      // The size told is the data's: when they would have fit, the name did not.
      if (size > capacity) {
        largeData.resize(size);
        bytes = largeData.data();
        capacity = size;
      } else if (nameCapacity < 16384) {
        largeName.resize(16384);
        nameBuffer = largeName.data();
        nameCapacity = 16384;
      } else {
        return status;
      }
      continue;
    }
    if (status != ERROR_SUCCESS) return status;
    *name = Narrow(nameBuffer, nameLength);
    *type = valueType;
    data->assign(reinterpret_cast<const char*>(bytes), size);
    return ERROR_SUCCESS;
  }
  return ERROR_MORE_DATA;
}

long Win32Registry::QueryInfoKey(Hkey key, RawKeyInfo* info) {
  DWORD subkeys = 0, maxSubkey = 0, values = 0, maxValueName = 0, maxValueData = 0;
  FILETIME lastWrite{};
  const long status = RegQueryInfoKeyW(H(key), nullptr, nullptr, nullptr, &subkeys, &maxSubkey, nullptr, &values,
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
  const long status =
      RegQueryValueExW(H(key), WideName(name).get(), nullptr, &valueType, data, size ? &length : nullptr);
  if (type) *type = valueType;
  if (size) *size = length;
  return status;
}

long Win32Registry::SetValueEx(Hkey key, const char* name, std::uint32_t type, const std::uint8_t* data,
                               std::uint32_t size) {
  return RegSetValueExW(H(key), WideName(name).get(), 0, type, data, size);
}

long Win32Registry::LoadKey(Hkey root, const char* subKey, const char* file) {
  return RegLoadKeyW(H(root), WideName(subKey).get(), WideName(file).get());
}

long Win32Registry::UnLoadKey(Hkey root, const char* subKey) {
  return RegUnLoadKeyW(H(root), WideName(subKey).get());
}

long Win32Registry::SaveKey(Hkey key, const char* file) {
  return RegSaveKeyW(H(key), WideName(file).get(), nullptr);
}

}  // namespace platform
