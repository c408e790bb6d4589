#pragma once
// The status that a line of reason explains, read from its first words.
#include <string>

#include "inventory/entry.h"
#include "inventory/status.h"

namespace reason {

// kGoodLink, kMissingDisk or kBrokenLink; kStatusUnknown for a line that explains none.
inline int VerdictOf(const std::string& line) {
  const auto begins = [&](const char* words) { return line.rfind(words, 0) == 0; };
  if (begins("Found ") || begins("Counted as found: ")) return kGoodLink;
  if (begins("On drive ")) return kMissingDisk;
  if (begins("Not found: ")) return kBrokenLink;
  return kStatusUnknown;
}

}  // namespace reason
