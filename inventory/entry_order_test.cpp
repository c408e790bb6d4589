#include "inventory/entry_order.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "inventory/status.h"
#include "platform/memory/memory_platform.h"

namespace {

Entry Make(const char* keyName, const char* displayName, const char* command, Source source, int status) {
  Entry entry;
  entry.keyName = keyName;
  entry.displayName = displayName;
  entry.uninstallString = command;
  entry.source = source;
  entry.status = status;
  return entry;
}

// Each column as the main list sorts it, both ways, over all entries or some; "Kelp2" and "kelp"
// show the same name, so the name leaves them in the order they are given.
TEST(EntryOrderTest, EachColumnOrdersTheEntriesGivenAndTheNameShownDecidesBetweenEquals) {
  platform::MemoryPlatform p;
  const std::vector<Entry> entries = {
      Make("zebra", "Zebra Notes", "C:\\Gone\\z.exe", Source::kMachine32, kBrokenLink),
      Make("eclair", "\xc3\x89" "clair", "C:\\Apps\\e.exe", Source::kUser, kGoodLink),
      Make("anchor", "anchor tools", "D:\\a.exe", Source::kMachine64, kGoodLink),
      Make("nameless", "", "c:\\b.exe", Source::kOtherUser, kMissingDisk),
      Make("Kelp2", "Kelp", "", Source::kMachine32, kStatusUnknown),
      Make("kelp", "Kelp", "C:\\k.exe", Source::kMachine32, kBrokenLink),
  };
  const std::vector<std::size_t> all = {0, 1, 2, 3, 4, 5};
  const struct {
    std::vector<std::size_t> given;
    int column;
    bool ascending;
    std::vector<std::string> keys;
  } cases[] = {
      {all, 0, true, {"anchor", "eclair", "Kelp2", "kelp", "nameless", "zebra"}},
      {all, 0, false, {"zebra", "nameless", "Kelp2", "kelp", "eclair", "anchor"}},
      {{5, 3, 4}, 0, true, {"kelp", "Kelp2", "nameless"}},
      {all, 1, true, {"anchor", "eclair", "kelp", "Kelp2", "nameless", "zebra"}},
      {all, 1, false, {"zebra", "nameless", "Kelp2", "kelp", "eclair", "anchor"}},
      {all, 2, true, {"Kelp2", "eclair", "nameless", "zebra", "kelp", "anchor"}},
      {all, 3, true, {"anchor", "Kelp2", "kelp", "zebra", "eclair", "nameless"}},
      {all, 3, false, {"nameless", "eclair", "zebra", "Kelp2", "kelp", "anchor"}},
      {all, 4, true, {"kelp", "zebra", "nameless", "anchor", "eclair", "Kelp2"}},
      {all, 4, false, {"Kelp2", "eclair", "anchor", "nameless", "zebra", "kelp"}},
  };
  for (const auto& c : cases) {
    std::vector<std::size_t> order = c.given;
    OrderEntries(entries, order, c.column, c.ascending, p.system);
    std::vector<std::string> keys;
    for (const std::size_t i : order) keys.push_back(entries[i].keyName);
    EXPECT_EQ(c.keys, keys) << "column " << c.column << (c.ascending ? " ascending" : " descending");
  }
}

}  // namespace
