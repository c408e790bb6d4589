#include "inventory/entry_order.h"

#include <algorithm>
#include <string>

#include "inventory/status.h"

namespace {

int StatusRank(int status) {
  switch (status) {
    case kBrokenLink: return 0;
    case kMissingDisk: return 1;
    case kGoodLink: return 2;
    default: return 3;
  }
}

const std::string& ListedName(const Entry& entry) { return entry.displayName.empty() ? entry.keyName : entry.displayName; }

}  // namespace

void OrderEntries(const std::vector<Entry>& entries, std::vector<std::size_t>& indexes, int column, bool ascending,
                  platform::System& system) {
  // One sort key per text: thousands of entries are not sorted by asking the system about each pair.
  std::vector<std::string> nameKey(entries.size()), columnKey(column == 1 || column == 2 ? entries.size() : 0);
  for (const std::size_t i : indexes) {
    nameKey[i] = system.SortKey(ListedName(entries[i]), false);
    if (!columnKey.empty())
      columnKey[i] = system.SortKey(column == 1 ? entries[i].keyName : entries[i].uninstallString, false);
  }
  const auto before = [&](std::size_t a, std::size_t b) {
    int order = 0;
    switch (column) {
      case 1:
      case 2: order = columnKey[a].compare(columnKey[b]); break;
      case 3: order = static_cast<int>(entries[a].source) - static_cast<int>(entries[b].source); break;
      case 4: order = StatusRank(entries[a].status) - StatusRank(entries[b].status); break;
      default: break;
    }
    if (order == 0) order = nameKey[a].compare(nameKey[b]);
    return order < 0;
  };
  if (ascending) std::stable_sort(indexes.begin(), indexes.end(), before);
  else std::stable_sort(indexes.begin(), indexes.end(), [&](std::size_t a, std::size_t b) { return before(b, a); });
}
