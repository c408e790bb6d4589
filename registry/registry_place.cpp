#include "registry/registry_place.h"

#include "platform/text_encoding.h"

std::string PathOfAccount(const std::string& pathBelowUsers) {
  const std::string prefix = std::string("\\") + kOwnMountPrefix;
  if (!platform::StartsWithIgnoringCase(pathBelowUsers, prefix)) return pathBelowUsers;
  return "\\" + pathBelowUsers.substr(prefix.size());
}

std::string PathForEveryView(const RegistryPlace& place, const std::string& keyPath) {
  if (place.root == platform::kHkeyUsers) return PathOfAccount(keyPath);
  if (place.root != platform::kHkeyLocalMachine || place.view != platform::kKeyWow6432Key) return keyPath;
  const std::string software = "\\SOFTWARE\\";
  if (!platform::StartsWithIgnoringCase(keyPath, software) ||
      platform::StartsWithIgnoringCase(keyPath, software + "WOW6432Node\\"))
    return keyPath;
  return keyPath.substr(0, software.size()) + "WOW6432Node\\" + keyPath.substr(software.size());
}

std::string RootName(platform::Hkey root) {
  switch (root) {
    case platform::kHkeyClassesRoot: return "HKEY_CLASSES_ROOT";
    case platform::kHkeyCurrentUser: return "HKEY_CURRENT_USER";
    case platform::kHkeyLocalMachine: return "HKEY_LOCAL_MACHINE";
    case platform::kHkeyUsers: return "HKEY_USERS";
    case platform::kHkeyCurrentConfig: return "HKEY_CURRENT_CONFIG";
    case platform::kHkeyDynData: return "HKEY_DYN_DATA";
    default: return {};
  }
}

std::string KeyPlace::LinePath() const { return PathForEveryView(place, path); }

std::string KeyPlace::Name() const { return RootName(place.root) + LinePath(); }
