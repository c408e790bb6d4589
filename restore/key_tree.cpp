#include "restore/key_tree.h"

#include <algorithm>
#include <map>
#include <utility>

#include "platform/handles.h"
#include "platform/text_encoding.h"

namespace {

// Every value of the open key, or false with *problem naming what could not be read.
bool ReadValues(platform::RegistryApi& api, platform::Hkey key, const std::string& path,
                std::vector<NamedValue>* values, std::string* problem) {
  for (std::uint32_t index = 0;; ++index) {
    NamedValue value;
    const long result = api.EnumValueData(key, index, &value.name, &value.typeCode, &value.data);
    if (result == platform::kErrorNoMoreItems) return true;
    if (result != platform::kErrorSuccess) {
      *problem = "a value of " + (path.empty() ? std::string("the top key") : path) + " cannot be read (error " +
                 std::to_string(result) + ")";
      return false;
    }
    values->push_back(std::move(value));
  }
}

// The names of the open key's subkeys, or false with *problem naming the key.
bool ReadSubkeyNames(platform::RegistryApi& api, platform::Hkey key, const std::string& path,
                     std::vector<std::string>* names, std::string* problem) {
  platform::RawKeyInfo info;
  long result = api.QueryInfoKey(key, &info);
  for (std::uint32_t index = 0; result == platform::kErrorSuccess && index < info.subkeyCount; ++index) {
    std::string name;
    result = api.EnumKeyEx(key, index, info.maxSubkeyNameLength + 1, &name);
    names->push_back(name);
  }
  if (result == platform::kErrorSuccess) return true;
  *problem = "the subkeys of " + (path.empty() ? std::string("the top key") : path) + " cannot be listed (error " +
             std::to_string(result) + ")";
  return false;
}

}  // namespace

bool ReadSavedTree(platform::RegistryApi& api, platform::Hkey top, std::uint32_t view, SavedTree* tree,
                   std::string* problem) {
  struct Open {
    platform::UniqueHkey key;
    platform::Hkey handle;
    std::size_t saved;  // its place in the tree
    std::vector<std::string> subkeys;
    std::size_t next = 0;
  };
  tree->assign(1, SavedKey{});
  std::vector<Open> open;
  open.push_back({platform::UniqueHkey(), top, 0, {}, 0});
  if (!ReadValues(api, top, "", &tree->front().values, problem) ||
      !ReadSubkeyNames(api, top, "", &open.back().subkeys, problem))
    return false;
  while (!open.empty()) {
    Open& parent = open.back();
    if (parent.next == parent.subkeys.size()) {
      open.pop_back();
      continue;
    }
    const std::string& name = parent.subkeys[parent.next++];
    const SavedKey& above = (*tree)[parent.saved];
    SavedKey key{above.depth + 1, name, above.path.empty() ? name : above.path + "\\" + name, {}};
    platform::Hkey handle = 0;
    const long result = api.OpenKeyEx(parent.handle, name.c_str(), platform::kKeyRead | view, &handle);
    if (result != platform::kErrorSuccess) {
      *problem = key.path + " cannot be opened (error " + std::to_string(result) + ")";
      return false;
    }
    Open child{platform::UniqueHkey(api, handle), handle, tree->size(), {}, 0};
    if (!ReadValues(api, handle, key.path, &key.values, problem) ||
        !ReadSubkeyNames(api, handle, key.path, &child.subkeys, problem))
      return false;
    tree->push_back(std::move(key));
    open.push_back(std::move(child));
  }
  return true;
}

void WriteSavedTree(platform::RegistryApi& api, const RegistryPlace& place, const std::string& keyPath,
                    const SavedTree& tree) {
  TNTRegistry destination(api, place.view);
  destination.SetRoot(place.root);
  if (!destination.CreatePath(keyPath)) return;
  std::vector<platform::UniqueHkey> open;
  open.emplace_back(api, destination.OpenSubkeyHandle(keyPath));
  // Below a key that could not be made, nothing is written.
  int skipBelow = -1;
  for (const SavedKey& key : tree) {
    if (skipBelow >= 0 && key.depth > skipBelow) continue;
    skipBelow = -1;
    if (key.depth > 0) {
      open.resize(static_cast<std::size_t>(key.depth));
      platform::Hkey handle = 0;
      if (!open.back() || api.CreateKeyEx(open.back().get(), key.name.c_str(), 0, platform::kKeyAllAccess | place.view,
                                          &handle) != platform::kErrorSuccess) {
        skipBelow = key.depth;
        continue;
      }
      open.emplace_back(api, handle);
    }
    if (!open.back()) continue;
    for (const NamedValue& value : key.values)
      api.SetValueEx(open.back().get(), value.name.c_str(), value.typeCode,
                     reinterpret_cast<const std::uint8_t*>(value.data.data()), static_cast<std::uint32_t>(value.data.size()));
  }
}

std::string DifferenceOf(const SavedTree& saved, const SavedTree& copy) {
  std::map<std::string, std::map<std::string, std::pair<std::uint32_t, std::string>>> copied;
  for (const SavedKey& key : copy) {
    auto& values = copied[platform::UpperCaseText(key.path)];
    for (const NamedValue& value : key.values) values[platform::UpperCaseText(value.name)] = {value.typeCode, value.data};
  }
  int keysMissing = 0, valuesMissing = 0;
  std::string first;
  for (const SavedKey& key : saved) {
    const auto found = copied.find(platform::UpperCaseText(key.path));
    if (found == copied.end()) {
      if (first.empty()) first = "the key " + (key.path.empty() ? std::string("itself") : key.path);
      ++keysMissing;
      valuesMissing += static_cast<int>(key.values.size());
      continue;
    }
    for (const NamedValue& value : key.values) {
      const auto got = found->second.find(platform::UpperCaseText(value.name));
      if (got != found->second.end() && got->second == std::pair(value.typeCode, value.data)) continue;
      if (first.empty()) first = "the value \"" + value.name + "\" of " + (key.path.empty() ? std::string("the key") : key.path);
      ++valuesMissing;
    }
  }
  if (keysMissing == 0 && valuesMissing == 0) return {};
  std::string text = "not restored: ";
  if (keysMissing > 0) text += std::to_string(keysMissing) + (keysMissing == 1 ? " key" : " keys");
  if (keysMissing > 0 && valuesMissing > 0) text += " and ";
  if (valuesMissing > 0) text += std::to_string(valuesMissing) + (valuesMissing == 1 ? " value" : " values");
  return text + ", " + first + " first";
}

bool SameTree(const SavedTree& a, const SavedTree& b) { return DifferenceOf(a, b).empty() && DifferenceOf(b, a).empty(); }

SavedTree TreeOfPaths(const std::vector<std::pair<std::string, std::vector<NamedValue>>>& keys) {
  struct Node {
    std::string name;
    std::vector<NamedValue> values;
    std::vector<std::size_t> children;
  };
  std::vector<Node> nodes(1);
  const auto childNamed = [&](std::size_t parent, const std::string& name) {
    const std::string upper = platform::UpperCaseText(name);
    for (std::size_t child : nodes[parent].children)
      if (platform::UpperCaseText(nodes[child].name) == upper) return child;
    nodes.push_back(Node{name, {}, {}});
    nodes[parent].children.push_back(nodes.size() - 1);
    return nodes.size() - 1;
  };
  for (const auto& [path, values] : keys) {
    std::size_t node = 0;
    for (std::size_t start = 0; start < path.size();) {
      const std::size_t end = std::min(path.find('\\', start), path.size());
      if (end > start) node = childNamed(node, path.substr(start, end - start));
      start = end + 1;
    }
    std::vector<NamedValue>& held = nodes[node].values;
    for (const NamedValue& value : values) {
      const std::string upper = platform::UpperCaseText(value.name);
      bool replaced = false;
      for (NamedValue& old : held) {
        if (platform::UpperCaseText(old.name) != upper) continue;
        old = value;
        replaced = true;
      }
      if (!replaced) held.push_back(value);
    }
  }
  // Each key before its subkeys, with a stack rather than a recursion.
  SavedTree tree;
  struct Visit {
    std::size_t node;
    int depth;
    std::string path;
  };
  std::vector<Visit> stack{{0, 0, ""}};
  while (!stack.empty()) {
    const Visit visit = std::move(stack.back());
    stack.pop_back();
    const Node& node = nodes[visit.node];
    tree.push_back(SavedKey{visit.depth, node.name, visit.path, node.values});
    for (auto child = node.children.rbegin(); child != node.children.rend(); ++child) {
      const std::string& name = nodes[*child].name;
      stack.push_back({*child, visit.depth + 1, visit.path.empty() ? name : visit.path + "\\" + name});
    }
  }
  return tree;
}
