#pragma once
// A key tree read whole into memory, written back into the registry, and compared.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/registry_api.h"
#include "registry/nt_registry.h"
#include "registry/registry_place.h"

// A key of a tree read whole, in the order of a walk that visits each key before its subkeys.
struct SavedKey {
  int depth = 0;
  std::string name;
  // Below the top key, "" for the top.
  std::string path;
  std::vector<NamedValue> values;
};
using SavedTree = std::vector<SavedKey>;

// Reads the whole tree below the open key `top` into memory, keys in a walk with a stack of open keys
// rather than a recursion; false with *problem naming the first thing that cannot be read.
bool ReadSavedTree(platform::RegistryApi& api, platform::Hkey top, std::uint32_t view, SavedTree* tree,
                   std::string* problem);
// Makes the key `keyPath` of `place` and writes the tree into it, each key created below its parent's
// handle; what cannot be written is left out, for the reading back to find.
void WriteSavedTree(platform::RegistryApi& api, const RegistryPlace& place, const std::string& keyPath,
                    const SavedTree& tree);
// What of `saved` the tree `copy` lacks or holds otherwise, in a few words; empty when `copy` holds
// every key and value of `saved` (names in any letter case, types and bytes exact).
std::string DifferenceOf(const SavedTree& saved, const SavedTree& copy);
// Whether the two hold the same keys and values, none more.
bool SameTree(const SavedTree& a, const SavedTree& b);

// The tree of keys named by their paths below the top key ("" the top, "a\b" two below), given in
// any order, with the keys above them that are not named; a key named twice takes the values of
// both, the later of two values of one name. Each key comes before its subkeys.
SavedTree TreeOfPaths(const std::vector<std::pair<std::string, std::vector<NamedValue>>>& keys);
