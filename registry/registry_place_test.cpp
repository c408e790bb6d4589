#include "registry/registry_place.h"

#include <gtest/gtest.h>

#include <string>

using namespace platform;

namespace {

TEST(RegistryPlaceTest, RootNames) {
  const struct {
    Hkey root;
    const char* name;
  } roots[] = {{kHkeyClassesRoot, "HKEY_CLASSES_ROOT"}, {kHkeyCurrentUser, "HKEY_CURRENT_USER"},
               {kHkeyLocalMachine, "HKEY_LOCAL_MACHINE"}, {kHkeyUsers, "HKEY_USERS"},
               {kHkeyCurrentConfig, "HKEY_CURRENT_CONFIG"}, {kHkeyDynData, "HKEY_DYN_DATA"},
               {kHkeyPerformanceData, ""}, {0x1234, ""}};
  for (const auto& r : roots) EXPECT_EQ(r.name, RootName(r.root));
}

TEST(RegistryPlaceTest, TheKeyIsNamedFromItsRootAsEitherViewNamesIt) {
  const std::string uninstall = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
  const struct {
    KeyPlace key;
    std::string below, name;
  } cases[] = {
      {{{kHkeyLocalMachine, kKeyWow6432Key}, uninstall}, "",
       "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall"},
      {{{kHkeyLocalMachine, kKeyWow6432Key}, uninstall}, "App",
       "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App"},
      {{{kHkeyLocalMachine, kKeyWow6464Key}, uninstall}, "App",
       "HKEY_LOCAL_MACHINE" + uninstall + "\\App"},
      {{{kHkeyLocalMachine, 0}, uninstall}, "", "HKEY_LOCAL_MACHINE" + uninstall},
      {{{kHkeyUsers, 0}, "\\Tidewell.S-1-5-21-7" + uninstall}, "App",
       "HKEY_USERS\\S-1-5-21-7" + uninstall + "\\App"},
      {{{kHkeyCurrentUser, kKeyWow6432Key}, uninstall}, "", "HKEY_CURRENT_USER" + uninstall},
      {{{kHkeyPerformanceData, 0}, "\\X"}, "Y", "\\X\\Y"},
  };
  for (const auto& c : cases) {
    const KeyPlace key = c.key.Below(c.below);
    EXPECT_EQ(c.name, key.Name()) << c.key.path << " " << c.below;
    EXPECT_EQ(c.key.place.root, key.place.root);
    EXPECT_EQ(c.key.place.view, key.place.view);
  }
}

}  // namespace
