#pragma once
// Compares two registry trees value by value, as the round trips of removal and merge need it.
#include <cstdio>
#include <string>

#include "tests/support/reg_file_reader.h"

inline const char* TypeName(std::uint32_t type) {
  static const char* const names[] = {"REG_NONE", "REG_SZ", "REG_EXPAND_SZ", "REG_BINARY", "REG_DWORD",
                                      "REG_DWORD_BIG_ENDIAN", "REG_LINK", "REG_MULTI_SZ", "REG_RESOURCE_LIST",
                                      "REG_FULL_RESOURCE_DESCRIPTOR", "REG_RESOURCE_REQUIREMENTS_LIST", "REG_QWORD"};
  return type < 12 ? names[type] : "other";
}

// Compares value by value and prints one line per value: its type, its size and whether name,
// type and bytes came back. Answers the number of differences.
inline int CompareTrees(const regfile::Tree& before, const regfile::Tree& after, bool print) {
  int differences = 0;
  for (const auto& [key, values] : before) {
    const auto found = after.find(key);
    if (found == after.end()) {
      std::printf("  key missing: %s\n", key.c_str());
      ++differences;
      continue;
    }
    for (const auto& [upper, value] : values) {
      const auto other = found->second.find(upper);
      const bool same = other != found->second.end() && other->second == value;
      if (print || !same)
        std::printf("  %-30s %-4u %-30s %7zu bytes: %s\n", TypeName(value.type), value.type,
                    value.name.substr(0, 30).c_str(), value.bytes.size(),
                    same ? "name, type and bytes back" : "DIFFERENT");
      differences += same ? 0 : 1;
    }
    for (const auto& [upper, value] : found->second) {
      if (!values.count(upper)) {
        std::printf("  extra value %s in %s\n", value.name.c_str(), key.c_str());
        ++differences;
      }
    }
  }
  for (const auto& [key, values] : after) {
    if (!before.count(key)) {
      std::printf("  extra key: %s\n", key.c_str());
      ++differences;
    }
  }
  return differences;
}

