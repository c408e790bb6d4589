#pragma once
// The order of the entries in the main list and in the console program's report.
#include <cstddef>
#include <vector>

#include "inventory/entry.h"
#include "platform/system.h"

// Sorts `indexes` (positions in `entries`) by the main list's column, ascending or descending:
// 0 the name shown (the display name, or the key name where there is none), 1 the key name, 2 the
// uninstall command, each text as the system orders it; 3 the source; 4 the status, Broken Link
// first, then Missing Disk, Good Link and the rest. The name shown orders the entries a column holds
// equal; entries equal in that too keep their order.
void OrderEntries(const std::vector<Entry>& entries, std::vector<std::size_t>& indexes, int column, bool ascending,
                  platform::System& system);
