// Whole key trees and hive files: deleting, copying and moving trees, mounting and saving hives.
#include <string>
#include <vector>

#include "registry/nt_registry.h"

namespace {

std::string WithoutLeadingSlash(const std::string& path) {
  return TNTRegistry::IsRelativePath(path) ? path : path.substr(1);
}

}  // namespace

bool TNTRegistry::DeleteTree(const std::string& path) {
  const bool relative = IsRelativePath(path);
  const std::string subKey = WithoutLeadingSlash(path);
  {
    platform::UniqueHkey key(api_, OpenSubkeyHandle(path));
    if (key) {
      // Declared after the handle, so the previous key is active again before the handle closes.
      ActiveHandleSwap swap(*this, key.get());
      KeyInfo info;
      if (QueryKeyInfo(info)) {
        std::string name;
        // Downwards: deleting a subkey never moves one that is still to be visited.
        for (std::uint32_t index = info.SubkeyCount; index-- > 0;) {
          if (api_.EnumKeyEx(key.get(), index, info.MaxSubkeyNameLength + 1, &name) == platform::kErrorSuccess) {
            DeleteTree(name);
          }
        }
      }
    }
  }
  // The base is taken now that the caller's key is active again.
  return api_.DeleteKey(BaseKey(relative), subKey.c_str(), View) == platform::kErrorSuccess;
}

void TNTRegistry::MoveTree(const std::string& sourcePath, const std::string& destPath, bool deleteSource) {
  if (!PathExists(sourcePath)) return;
  if (PathExists(destPath)) return;
  platform::UniqueHkey src(api_, OpenSubkeyHandle(sourcePath));
  if (!src) return;
  CopyTreeFrom(src.get(), destPath);
  if (deleteSource) DeleteTree(sourcePath);
}

void TNTRegistry::CopyTreeFrom(platform::Hkey source, const std::string& destPath) {
  if (PathExists(destPath)) return;
  CreatePath(destPath);
  platform::UniqueHkey dst(api_, OpenSubkeyHandle(destPath));
  if (!dst) return;
  CopyValues(source, dst.get());
  CopyTree(source, dst.get());
}

void TNTRegistry::CopyValues(platform::Hkey src, platform::Hkey dst) {
  ActiveHandleSwap swap(*this, src);
  KeyInfo info;
  if (!QueryKeyInfo(info)) return;
  std::string name;
  for (std::uint32_t index = 0; index < info.ValueCount; ++index) {
    if (api_.EnumValue(src, index, info.MaxValueNameLength + 1, &name) == platform::kErrorSuccess) {
      MoveValue(src, dst, name);
    }
  }
}

void TNTRegistry::MoveValue(platform::Hkey src, platform::Hkey dst, const std::string& name) {
  ActiveHandleSwap swap(*this, src);
  const std::int32_t size = ValueSize(name);
  // A value that vanished is skipped; one with empty data is still a value of its own name and
  // type, and a copy without it would not give the key back as it was.
  if (size < 0) return;
  // Never a zero-length buffer: an empty value is read into spare bytes with the size 0. The spare
  // bytes are not zero: the wide call adds a NUL character to string data that seems to have
  // forgotten to count it (a zero unit right after the data), and the copy would then differ.
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(size) + 2, 0xFF);
  // The type code travels unmapped, so codes without a RegKind (above 10) keep their type.
  std::uint32_t typeCode = 0;
  const std::int32_t stored = FetchValueOfType(name, buffer.data(), typeCode, size);
  ActiveHandleSwap toDestination(*this, dst);
  StoreValueOfType(name, buffer.data(), typeCode, stored);
}

void TNTRegistry::CopyTree(platform::Hkey src, platform::Hkey dst) {
  ActiveHandleSwap swap(*this, src);
  KeyInfo info;
  if (!QueryKeyInfo(info)) return;
  std::string name;
  for (std::uint32_t index = 0; index < info.SubkeyCount; ++index) {
    if (api_.EnumKeyEx(src, index, info.MaxSubkeyNameLength + 1, &name) != platform::kErrorSuccess) continue;
    // Closed last: after the copy's handle and after src is active again.
    platform::UniqueHkey child(api_, OpenSubkeyHandle(name));
    if (!child) continue;
    ActiveHandleSwap toDestination(*this, dst);
    CreatePath(name);
    platform::UniqueHkey copy(api_, OpenSubkeyHandle(name));
    // Without the copy's handle the walk would go on against no key at all, and relative paths
    // would then resolve against the root: stop the whole copy instead, as a failed create does.
    if (!copy) throw ERegistryException("Failed to create key " + name);
    CopyValues(child.get(), copy.get());
    CopyTree(child.get(), copy.get());
  }
}

bool TNTRegistry::LoadHive(const std::string& path, const std::string& fileName) {
  return api_.LoadKey(Root, WithoutLeadingSlash(path).c_str(), fileName.c_str()) == platform::kErrorSuccess;
}

bool TNTRegistry::UnloadHive(const std::string& path) {
  return api_.UnLoadKey(Root, WithoutLeadingSlash(path).c_str()) == platform::kErrorSuccess;
}

bool TNTRegistry::SaveKeyToFile(const std::string& path, const std::string& fileName) {
  platform::UniqueHkey key(api_, OpenSubkeyHandle(path));
  if (!key) return false;
  return api_.SaveKey(key.get(), fileName.c_str()) == platform::kErrorSuccess;
}
