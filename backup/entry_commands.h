#pragma once
// The commands that remove uninstall entries and installer products and change uninstall
// commands, each backing up what it changes in the day's undo file first.
#include <string>

#include "backup/removal_outcome.h"
#include "backup/undo_comment.h"
#include "backup/undo_file.h"
#include "inventory/entry.h"
#include "platform/registry_api.h"

// What the comment of a command names its key by: the key's text value `valueName` ("DisplayName",
// "ProductName") as the registry holds it now, else `fallback`.
std::string NameForComment(platform::RegistryApi& registry, const KeyPlace& key, const char* valueName,
                           const std::string& fallback);

// Under the undo lock, the entry's key tree written to the undo file and deleted: answers what
// stayed. An entry without a key name removes nothing.
RemovalOutcome RemoveEntryKey(UndoFile& undo, platform::RegistryApi& registry, const Entry& entry, bool wow64);

// Whether the product's key is still registered.
bool ProductRegistered(platform::RegistryApi& registry, const Product& product);
// Under the undo lock, the product's key tree written to the undo file and deleted: answers what
// stayed. A product without a key name removes nothing.
RemovalOutcome RemoveInstallerProduct(UndoFile& undo, platform::RegistryApi& registry, const Product& product);

enum class CommandChange {
  kChanged,
  // The entry holds that command already: nothing written.
  kUnchanged,
  // The entry's key is gone, or its name cannot be written as a key line: nothing written.
  kNotChanged,
  // Stored in another account's loaded hive, but its file did not keep it (AccountHives::Kept):
  // the entry holds its old command; the undo file holds the block.
  kNotKept,
};
// Under the undo lock, the entry's old uninstall command written to the undo file, then the new
// one stored, as an expandable string when the old one was one, otherwise as a plain string.
// Raises when the old value cannot be backed up (it is not text), before any change. The undo file
// written to in *undoFile.
CommandChange ChangeUninstallString(UndoFile& undo, platform::RegistryApi& registry, const Entry& entry, bool wow64,
                                    const std::string& newText, std::string* undoFile = nullptr);
