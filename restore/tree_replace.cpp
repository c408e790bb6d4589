#include "restore/tree_replace.h"

#include "backup/key_export.h"
#include "platform/handles.h"

namespace {

// RegOpenKeyExW to read, the key's path without its leading backslash.
long OpenToRead(platform::RegistryApi& registry, const RegistryPlace& place, const std::string& keyPath,
                platform::Hkey* opened) {
  const std::string path = !keyPath.empty() && keyPath[0] == '\\' ? keyPath.substr(1) : keyPath;
  return registry.OpenKeyEx(place.root, path.c_str(), platform::kKeyRead | place.view, opened);
}

}  // namespace

TreeReplacement ReplaceTree(platform::RegistryApi& registry, UndoFile& undo, const RegistryPlace& place,
                            const std::string& keyPath, const SavedTree& tree, const UndoComment* replaced,
                            std::optional<UndoBlock>& block) {
  TreeReplacement replacement;
  if (replaced) {
    block.emplace(undo, [&] { return UndoFormatForKey(registry, undo.System(), place, keyPath); });
    replacement.removal = RemoveRegistryKey(undo, registry, place, keyPath, replaced);
    // Whatever the removal left could not be backed up or deleted; writing over it would merge two
    // entries. Only a registry that says the key is not there tells that nothing stayed.
    platform::Hkey opened = 0;
    const long result = OpenToRead(registry, place, keyPath, &opened);
    const platform::UniqueHkey left(registry, result == platform::kErrorSuccess ? opened : 0);
    if (result != platform::kErrorFileNotFound && result != platform::kErrorPathNotFound) return replacement;
  }
  WriteSavedTree(registry, place, keyPath, tree);
  replacement.written = true;
  platform::Hkey opened = 0;
  if (OpenToRead(registry, place, keyPath, &opened) != platform::kErrorSuccess) return replacement;
  const platform::UniqueHkey copy(registry, opened);
  replacement.readBack = ReadSavedTree(registry, opened, place.view, &replacement.copy, &replacement.unreadable);
  return replacement;
}
