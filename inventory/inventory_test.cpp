#include "inventory/inventory.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "platform/memory/memory_platform.h"

namespace {

using namespace platform;

constexpr const char* kEntries = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

std::string KeyName(int i) {
  char name[16];
  std::snprintf(name, sizeof name, "Entry %04d", i);
  return name;
}

// A long list is read in parts at once: every entry that opens comes once, in the registry's
// order, with its own values, whichever part it fell in; a key that cannot be opened or read at
// the edge of a part costs only itself.
TEST(InventoryTest, ALongListReadsEveryEntryOnceInTheRegistrysOrder) {
  MemoryPlatform p;
  const int count = 1000;
  // Next to the edges of the parts, whatever their number.
  const std::set<int> locked = {0, 249, 333, 500, 999};
  const std::set<int> unreadable = {1, 250, 334, 499, 501, 750, 998};
  for (int i = 0; i < count; ++i) {
    const std::string key = kEntries + KeyName(i);
    p.registry.SetString(kHkeyLocalMachine, key, "DisplayName", "Program " + std::to_string(i));
    p.registry.SetString(kHkeyLocalMachine, key, "UninstallString", "C:\\Apps\\" + std::to_string(i) + "\\uninst.exe");
    p.registry.SetString(kHkeyLocalMachine, key, "Publisher", "Vendor " + std::to_string(i % 7));
    if (locked.count(i)) p.registry.LimitAccess(kHkeyLocalMachine, key, 0);
  }
  p.registry.interfere = [&](const std::string& call, const std::string& path, const std::string& name) {
    for (int i : unreadable)
      if (call == "read" && name == "Publisher" && path.size() > 10 && path.compare(path.size() - 10, 10, KeyName(i)) == 0)
        return kErrorMoreData;
    return kErrorSuccess;
  };

  const Inventory inventory = ReadInventory(p.registry, false);

  std::vector<std::string> expected;
  for (int i = 0; i < count; ++i)
    if (!locked.count(i)) expected.push_back(KeyName(i));
  std::vector<std::string> read;
  for (const Entry& entry : inventory.entries) read.push_back(entry.keyName);
  ASSERT_EQ(expected, read);
  for (const Entry& entry : inventory.entries) {
    const int i = std::stoi(entry.keyName.substr(6));
    SCOPED_TRACE(entry.keyName);
    EXPECT_EQ(Source::kMachine32, entry.source);
    if (unreadable.count(i)) {
      EXPECT_NE(std::string::npos, entry.readError.find("Publisher"));
      continue;
    }
    EXPECT_EQ("", entry.readError);
    EXPECT_EQ("Program " + std::to_string(i), entry.displayName);
    EXPECT_EQ("C:\\Apps\\" + std::to_string(i) + "\\uninst.exe", entry.uninstallString);
    EXPECT_EQ("Vendor " + std::to_string(i % 7), entry.publisher);
  }
  std::vector<std::string> lockedNames, unopened;
  for (int i : locked) lockedNames.push_back(KeyName(i));
  for (const UnopenedKey& key : inventory.unopened) {
    unopened.push_back(key.keyName);
    EXPECT_EQ(kErrorAccessDenied, key.error) << key.keyName;
  }
  EXPECT_EQ(lockedNames, unopened) << "a key that is there but does not open is said, in the registry's order";
  EXPECT_EQ(0, p.registry.OpenHandles()) << "a registry handle was left open";
}

}  // namespace
