#include "restore/tree_replace.h"

#include "backup/key_export.h"
#include "platform/handles.h"

namespace {

// RegOpenKeyExW to read, the key's path without its leading backslash.
long OpenToRead(platform::RegistryApi& registry, const KeyPlace& key, platform::Hkey* opened) {
  const std::string path = !key.path.empty() && key.path[0] == '\\' ? key.path.substr(1) : key.path;
  return registry.OpenKeyEx(key.place.root, path.c_str(), platform::kKeyRead | key.place.view, opened);
}

}  // namespace

TreeReplacement ReplaceTree(platform::RegistryApi& registry, UndoFile& undo, const KeyPlace& key, const SavedTree& tree,
                            const UndoComment* replaced, std::optional<UndoBlock>& block) {
  TreeReplacement replacement;
  if (replaced) {
    block.emplace(undo, [&] { return UndoFormatForKey(registry, undo.System(), key); });
    replacement.removal = RemoveRegistryKey(undo, registry, key, replaced);
    // Whatever the removal left could not be backed up or deleted; writing over it would merge two
    // entries. Only a registry that says the key is not there tells that nothing stayed.
    platform::Hkey opened = 0;
    const long result = OpenToRead(registry, key, &opened);
    const platform::UniqueHkey left(registry, result == platform::kErrorSuccess ? opened : 0);
    if (result != platform::kErrorFileNotFound && result != platform::kErrorPathNotFound) return replacement;
  }
  WriteSavedTree(registry, key.place, key.path, tree);
  replacement.written = true;
  platform::Hkey opened = 0;
  if (OpenToRead(registry, key, &opened) != platform::kErrorSuccess) return replacement;
  const platform::UniqueHkey copy(registry, opened);
  replacement.readBack = ReadSavedTree(registry, opened, key.place.view, &replacement.copy, &replacement.unreadable);
  return replacement;
}
