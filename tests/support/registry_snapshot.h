#pragma once
// Reads a key tree through the registry calls into the model of reg_file_reader.h, so that tests
// compare a registry before and after a removal and a merge, on either platform.
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "platform/registry_api.h"
#include "tests/support/reg_file_reader.h"

namespace regfile {

namespace detail {

inline void SnapshotKey(platform::RegistryApi& api, platform::Hkey key, const std::string& path, Tree& tree) {
  Values& values = tree[Upper(path)];
  platform::RawKeyInfo info;
  if (api.QueryInfoKey(key, &info) != platform::kErrorSuccess) return;
  for (std::uint32_t i = 0; i < info.valueCount; ++i) {
    Value value;
    if (api.EnumValue(key, i, info.maxValueNameLength + 1, &value.name) != platform::kErrorSuccess) continue;
    std::uint32_t size = 0;
    api.QueryValueEx(key, value.name.c_str(), &value.type, nullptr, &size);
    std::string bytes(size + 1, '\0');
    size = static_cast<std::uint32_t>(bytes.size());
    api.QueryValueEx(key, value.name.c_str(), &value.type, reinterpret_cast<std::uint8_t*>(bytes.data()), &size);
    value.bytes = bytes.substr(0, size);
    values[Upper(value.name)] = value;
  }
  std::vector<std::string> children;
  for (std::uint32_t i = 0; i < info.subkeyCount; ++i) {
    std::string name;
    if (api.EnumKeyEx(key, i, info.maxSubkeyNameLength + 1, &name) == platform::kErrorSuccess) children.push_back(name);
  }
  for (const std::string& child : children) {
    platform::Hkey sub = 0;
    if (api.OpenKeyEx(key, child.c_str(), platform::kKeyRead, &sub) != platform::kErrorSuccess) continue;
    SnapshotKey(api, sub, path + "\\" + child, tree);
    api.CloseKey(sub);
  }
}

}  // namespace detail

// The key at `path` (below the root, no leading backslash) and everything below it; an empty
// tree when the key is missing.
inline Tree Snapshot(platform::RegistryApi& api, platform::Hkey root, const std::string& path,
                     std::uint32_t view = 0) {
  Tree tree;
  platform::Hkey key = 0;
  if (api.OpenKeyEx(root, path.c_str(), platform::kKeyRead | view, &key) != platform::kErrorSuccess) return tree;
  detail::SnapshotKey(api, key, path, tree);
  api.CloseKey(key);
  return tree;
}

// Only the keys at or below `path`.
inline Tree Subtree(const Tree& tree, const std::string& path) {
  Tree sub;
  const std::string top = Upper(path);
  for (const auto& [key, values] : tree)
    if (key == top || key.rfind(top + "\\", 0) == 0) sub[key] = values;
  return sub;
}

// A readable listing, one line per key and per value, for test messages.
inline std::string Describe(const Tree& tree) {
  std::ostringstream out;
  for (const auto& [key, values] : tree) {
    out << "[" << key << "]\n";
    for (const auto& [upper, value] : values) {
      out << "  \"" << value.name << "\" type " << value.type << ", " << value.bytes.size() << " bytes:";
      for (size_t i = 0; i < value.bytes.size() && i < 24; ++i) {
        static const char digits[] = "0123456789abcdef";
        const auto b = static_cast<unsigned char>(value.bytes[i]);
        out << ' ' << digits[b >> 4] << digits[b & 15];
      }
      out << (value.bytes.size() > 24 ? " ...\n" : "\n");
    }
  }
  return out.str();
}

}  // namespace regfile
