#pragma once
// TNTRegistry: the program's registry class, the only code that calls the registry.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/handles.h"
#include "platform/registry_api.h"
#include "registry/registry_place.h"

enum RegKind : std::uint8_t {
  kindUnknown = 0,
  kindNone = 1,
  kindString = 2,
  kindExpandString = 3,
  kindBinary = 4,
  kindDWord = 5,
  kindDWordLittleEndian = 6,
  kindDWordBigEndian = 7,
  kindLink = 8,
  kindMultiString = 9,
  kindResourceList = 10,
  kindFullResourceDescriptor = 11,
  kindResourceRequirementsList = 12,
};

// Platform type code read from the registry -> RegKind; codes above 10 give kindUnknown.
RegKind KindOfType(std::uint32_t typeCode);
// RegKind -> the platform type code that StoreValue writes.
std::uint32_t TypeOfKind(RegKind kind);

// The text of string data as the registry keeps it (UTF-16LE), up to its first NUL character.
std::string TextOfStringData(const std::string& data);
// The string data of a text: UTF-16LE with one NUL character at its end.
std::string StringDataOfText(const std::string& text);

struct KeyInfo {
  std::uint32_t SubkeyCount = 0;
  std::uint32_t MaxSubkeyNameLength = 0;
  std::uint32_t ValueCount = 0;
  std::uint32_t MaxValueNameLength = 0;
  std::uint32_t MaxValueDataSize = 0;
  std::uint64_t LastWriteTime = 0;
};

struct RegValueInfo {
  RegKind Kind = kindUnknown;
  std::int32_t DataSize = 0;
};

class ERegistryException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

using TStrings = std::vector<std::string>;

struct NamedValue {
  std::string name;
  std::uint32_t typeCode = 0;
  // The bytes as the registry keeps them (a string's are UTF-16LE).
  std::string data;
};

class TNTRegistry {
 public:
  // `view` is 0 (the process's own view) or a KEY_WOW64_* flag: every open, create and delete of
  // the instance asks for it.
  explicit TNTRegistry(platform::RegistryApi& api, std::uint32_t view = 0);
  // At the place: its view for every call, its root as the root.
  TNTRegistry(platform::RegistryApi& api, const RegistryPlace& place);
  ~TNTRegistry();
  TNTRegistry(const TNTRegistry&) = delete;
  TNTRegistry& operator=(const TNTRegistry&) = delete;

  void SetRoot(platform::Hkey root);
  void ClosePath();
  bool OpenPath(const std::string& path, bool canCreate);
  // OpenPath without create, asking for reading only: what a scan needs, in one call where the
  // user may read but not change the key.
  bool OpenPathToRead(const std::string& path);
  bool CreatePath(const std::string& path);
  // The caller owns the handle; 0 when every attempt fails. Never creates a missing key.
  platform::Hkey OpenSubkeyHandle(const std::string& path);
  bool PathExists(const std::string& path);

  bool QueryKeyInfo(KeyInfo& info);
  void ListSubkeys(TStrings& list);
  void ListValueNames(TStrings& list);
  // Every value of the active key with its type and data, in enumeration order, one call each.
  // A value that cannot be read raises "Failed to get data for '%s'".
  void ListValues(std::vector<NamedValue>& values);

  bool ValueInfo(const std::string& name, RegValueInfo& info);
  std::int32_t ValueSize(const std::string& name);
  RegKind ValueKind(const std::string& name);
  std::string ReadText(const std::string& name);
  std::int32_t ReadNumber(const std::string& name);
  std::int32_t ReadBytes(const std::string& name, void* buffer, std::int32_t bufferSize);
  void WriteText(const std::string& name, const std::string& text);
  bool RemoveValue(const std::string& name);
  // Deletes the key with the plain call, which refuses a key that has subkeys.
  bool DeleteKey(const std::string& path);
  void StoreValue(const std::string& name, const void* data, RegKind kind, std::int32_t size);
  // Writes the value with the platform type code itself (for codes that have no RegKind).
  void StoreValueOfType(const std::string& name, const void* data, std::uint32_t typeCode,
                        std::int32_t size);
  std::int32_t FetchValue(const std::string& name, void* buffer, RegKind& kind, std::int32_t size);
  // The value's own type code and every byte of its data, whatever its kind and size; false when
  // the value is missing. A read that fails raises as FetchValue does.
  bool FetchWholeValue(const std::string& name, std::uint32_t& typeCode, std::string& bytes);
  // FetchValue that also hands back the platform type code unmapped.
  std::int32_t FetchValueOfType(const std::string& name, void* buffer, std::uint32_t& typeCode,
                                std::int32_t size);

  // Tree operations.
  bool DeleteTree(const std::string& path);
  void MoveTree(const std::string& sourcePath, const std::string& destPath, bool deleteSource);
  // Copies the tree behind `source` (a handle of the caller's, left open) to the new key
  // `destPath` of this instance, in this instance's view; nothing when `destPath` exists already.
  void CopyTreeFrom(platform::Hkey source, const std::string& destPath);
  bool LoadHive(const std::string& path, const std::string& fileName);
  bool UnloadHive(const std::string& path);
  bool SaveKeyToFile(const std::string& path, const std::string& fileName);

  static bool IsRelativePath(const std::string& path);

  platform::Hkey ActiveKey = 0;
  platform::Hkey Root = 0;
  bool CloseOnRelease = true;
  std::string ActivePath;
  bool RootIsOwned = false;
  // The platform's answer to the last OpenPath, OpenPathToRead, RemoveValue or DeleteKey that failed.
  long LastError = 0;
  const std::uint32_t View;

 private:
  friend class ActiveHandleSwap;

  platform::Hkey BaseKey(bool relative) const;
  void AdoptKey(platform::UniqueHkey handle, const std::string& pathText);
  void SwapActiveHandle(platform::Hkey handle);
  long CreateCascade(platform::Hkey base, const std::string& path, platform::Hkey* out);
  long OpenCascade(platform::Hkey base, const std::string& path, platform::Hkey* out);

  void CopyValues(platform::Hkey src, platform::Hkey dst);
  void CopyTree(platform::Hkey src, platform::Hkey dst);
  void MoveValue(platform::Hkey src, platform::Hkey dst, const std::string& name);

  platform::RegistryApi& api_;
  platform::UniqueHkey owned_;  // the handle behind ActiveKey while no tree operation swaps it
};

// Whether the key at `path` is there and holds neither values nor subkeys, so that deleting it
// loses nothing. Opens the key with `reg` and closes it again.
bool IsEmptyKey(TNTRegistry& reg, const std::string& path);

// Points a registry object's active key at another handle and puts the previous one back when
// it goes out of scope, also when an exception passes.
class ActiveHandleSwap {
 public:
  ActiveHandleSwap(TNTRegistry& reg, platform::Hkey handle) : reg_(reg), saved_(reg.ActiveKey) {
    reg_.SwapActiveHandle(handle);
  }
  ~ActiveHandleSwap() { reg_.SwapActiveHandle(saved_); }
  ActiveHandleSwap(const ActiveHandleSwap&) = delete;
  ActiveHandleSwap& operator=(const ActiveHandleSwap&) = delete;

 private:
  TNTRegistry& reg_;
  platform::Hkey saved_;
};
