#pragma once
// The registry calls of advapi32, with their Win32 meaning and result codes.
#include <cstdint>
#include <string>

#include "platform/win_codes.h"

namespace platform {

// What RegQueryInfoKeyW reports, without class names or security descriptors. Name lengths are
// counted in UTF-16 units, as the wide calls count characters.
struct RawKeyInfo {
  std::uint32_t subkeyCount = 0;
  std::uint32_t maxSubkeyNameLength = 0;
  std::uint32_t valueCount = 0;
  std::uint32_t maxValueNameLength = 0;
  std::uint32_t maxValueDataSize = 0;
  std::uint64_t lastWriteTime = 0;
};

// Each call answers a Win32 result code: kErrorSuccess (0) or the reason of the failure.
// Key paths, value names and file names are UTF-8, handed to the wide ("W") calls. Value data are
// the bytes the registry keeps, unconverted: a string value's data is UTF-16LE, as the wide calls
// read and write it.
class RegistryApi {
 public:
  virtual ~RegistryApi() = default;

  // RegOpenKeyExW(base, subKey, 0, access, result).
  virtual long OpenKeyEx(Hkey base, const char* subKey, std::uint32_t access, Hkey* result) = 0;
  // RegCreateKeyExW(base, subKey, 0, no class, options, access, no security, result, no disposition).
  virtual long CreateKeyEx(Hkey base, const char* subKey, std::uint32_t options, std::uint32_t access,
                           Hkey* result) = 0;
  virtual long CloseKey(Hkey key) = 0;
  // RegDeleteKeyExW(base, subKey, view, 0), view 0 or a KEY_WOW64_* flag: fails while the key has
  // subkeys.
  virtual long DeleteKey(Hkey base, const char* subKey, std::uint32_t view) = 0;
  virtual long DeleteValue(Hkey key, const char* name) = 0;
  // RegEnumKeyExW / RegEnumValueW into a buffer of `bufferLength` UTF-16 units (the longest name
  // that QueryInfoKey reports, plus one for the NUL): the index-th name, or kErrorMoreData when
  // it does not fit.
  virtual long EnumKeyEx(Hkey key, std::uint32_t index, std::uint32_t bufferLength, std::string* name) = 0;
  virtual long EnumValue(Hkey key, std::uint32_t index, std::uint32_t bufferLength, std::string* name) = 0;
  // RegEnumValueW with the name, the type and the data of the index-th value in one call, whatever
  // their sizes. On a failure *name holds the value's name where the platform knows it.
  virtual long EnumValueData(Hkey key, std::uint32_t index, std::string* name, std::uint32_t* type,
                             std::string* data) = 0;
  virtual long QueryInfoKey(Hkey key, RawKeyInfo* info) = 0;
  // RegQueryValueExW: data may be null to ask for the type and size only.
  virtual long QueryValueEx(Hkey key, const char* name, std::uint32_t* type, std::uint8_t* data,
                            std::uint32_t* size) = 0;
  virtual long SetValueEx(Hkey key, const char* name, std::uint32_t type, const std::uint8_t* data,
                          std::uint32_t size) = 0;
  // RegLoadKeyW / RegUnLoadKeyW under a root; RegSaveKeyW with no security attributes.
  virtual long LoadKey(Hkey root, const char* subKey, const char* file) = 0;
  virtual long UnLoadKey(Hkey root, const char* subKey) = 0;
  virtual long SaveKey(Hkey key, const char* file) = 0;

  // GetSystemMetrics(SM_DBCSENABLED) != 0, read once at start.
  virtual bool DbcsEnabled() const = 0;
  // The operating system is of the NT family (VER_PLATFORM_WIN32_NT).
  virtual bool IsNtFamily() const = 0;
};

}  // namespace platform
