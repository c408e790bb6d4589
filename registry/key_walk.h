#pragma once
// Walking a key tree through handles: each subkey opened relative to its parent's open handle, so
// that keys at any depth are reached whatever the length of their path from the root, and with a
// stack of open keys on the heap, so that the deepest tree the registry holds never exhausts the
// thread's stack.
#include <functional>
#include <memory>
#include <string>

#include "platform/registry_api.h"
#include "registry/nt_registry.h"

// A wrapper of its own, in the parent's view, with the subkey `name` of the key active in `parent`
// as its active key, opened relative to the parent's handle; null when it does not open, with the
// registry's answer in *error.
std::unique_ptr<TNTRegistry> OpenSubkeyRelative(platform::RegistryApi& api, TNTRegistry& parent,
                                                const std::string& name, long* error);

enum class WalkStep { kDescend, kSkip, kStop };

// Visits the key active in `top` and every key below it, each key before its subkeys, subkeys in
// the registry's enumeration order. `visit` gets the key's wrapper (active on the key) and its path
// below the top key ("" for the top, "a\\b" below it) and answers whether to go below the key,
// pass over what is below it, or end the walk. A subkey that does not open goes to `unopened` with
// its path and the registry's answer (one that vanished meanwhile, too). False when a visit ended
// the walk.
bool WalkKeyTree(platform::RegistryApi& api, TNTRegistry& top,
                 const std::function<WalkStep(TNTRegistry& key, const std::string& path)>& visit,
                 const std::function<void(const std::string& path, long error)>& unopened = {});

struct TreeCount {
  int keys = 0;
  int values = 0;
};

// The keys and values of the tree whose top key is active in `top`, the top included; a subkey
// that does not open counts as one key.
TreeCount CountKeyTree(platform::RegistryApi& api, TNTRegistry& top);
