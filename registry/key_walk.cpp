#include "registry/key_walk.h"

#include <vector>

namespace {

// A key whose subkeys the walk is going through.
struct Level {
  TNTRegistry* reg;
  // Null for the top key, whose wrapper is the caller's.
  std::unique_ptr<TNTRegistry> owned;
  // The length of the key's path below the top.
  std::size_t pathLength;
  TStrings subkeys;
  std::size_t next = 0;
};

}  // namespace

std::unique_ptr<TNTRegistry> OpenSubkeyRelative(platform::RegistryApi& api, TNTRegistry& parent,
                                                const std::string& name, long* error) {
  auto child = std::make_unique<TNTRegistry>(api, parent.View);
  // The parent's handle as the child's root: a name without a leading backslash opens below it.
  child->SetRoot(parent.ActiveKey);
  if (!child->OpenPath(name, false)) {
    *error = child->LastError;
    return nullptr;
  }
  *error = platform::kErrorSuccess;
  return child;
}

bool WalkKeyTree(platform::RegistryApi& api, TNTRegistry& top,
                 const std::function<WalkStep(TNTRegistry& key, const std::string& path)>& visit,
                 const std::function<void(const std::string& path, long error)>& unopened) {
  std::string path;
  std::vector<Level> stack;
  const auto enter = [&](TNTRegistry& reg, std::unique_ptr<TNTRegistry> owned) {
    const WalkStep step = visit(reg, path);
    if (step != WalkStep::kDescend) return step;
    Level level{&reg, std::move(owned), path.size(), {}, 0};
    reg.ListSubkeys(level.subkeys);
    stack.push_back(std::move(level));
    return step;
  };
  if (enter(top, nullptr) == WalkStep::kStop) return false;
  while (!stack.empty()) {
    Level& level = stack.back();
    if (level.next == level.subkeys.size()) {
      stack.pop_back();
      continue;
    }
    const std::string name = level.subkeys[level.next++];
    path.resize(level.pathLength);
    if (!path.empty()) path += '\\';
    path += name;
    long error = platform::kErrorSuccess;
    std::unique_ptr<TNTRegistry> child = OpenSubkeyRelative(api, *level.reg, name, &error);
    if (!child) {
      if (unopened) unopened(path, error);
      continue;
    }
    TNTRegistry& reg = *child;
    if (enter(reg, std::move(child)) == WalkStep::kStop) return false;
  }
  return true;
}

TreeCount CountKeyTree(platform::RegistryApi& api, TNTRegistry& top) {
  TreeCount count;
  WalkKeyTree(
      api, top,
      [&](TNTRegistry& key, const std::string&) {
        ++count.keys;
        KeyInfo info;
        if (key.QueryKeyInfo(info)) count.values += static_cast<int>(info.ValueCount);
        return WalkStep::kDescend;
      },
      [&](const std::string&, long error) {
        if (error != platform::kErrorFileNotFound) ++count.keys;
      });
  return count;
}
