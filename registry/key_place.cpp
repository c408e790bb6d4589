#include "registry/key_place.h"

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
