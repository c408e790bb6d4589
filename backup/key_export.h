#pragma once
// Removing key trees and values, each written to the undo file before it leaves the registry.
#include <optional>
#include <string>
#include <vector>

#include "backup/removal_outcome.h"
#include "backup/undo_comment.h"
#include "backup/undo_file.h"
#include "platform/registry_api.h"
#include "registry/registry_place.h"

// The "REGEDIT4" file when the system's code page carries every name and text of the key tree
// exactly, otherwise the Unicode companion. Reads the tree without changing anything.
UndoFormat UndoFormatForKey(platform::RegistryApi& registry, platform::System& system, const KeyPlace& key);

// Writes the key tree to the undo file, ended by an empty line, in one write that reaches the disk,
// then deletes it; answers what stayed in the registry. With a comment, its line goes in with the
// key's first line. Raises, having deleted nothing, when the lines cannot be written.
RemovalOutcome RemoveRegistryKey(UndoFile& undo, platform::RegistryApi& registry, const KeyPlace& key,
                                 const UndoComment* comment = nullptr);
// One part of a command's removal: a key tree whole, or one value of a key.
struct RegistryPart {
  KeyPlace key;
  // The value alone; its key goes too when that leaves it empty.
  std::optional<std::string> value;
};
// The parts removed as one command: the comment's line and every part's lines go to the undo file in
// one write that reaches the disk, ended by an empty line, then each part is deleted as
// RemoveRegistryKey deletes a tree, a value only while it holds what was written. Answers what stayed,
// over all of them; alreadyGone when none of them was there. Raises, having deleted nothing, when the
// lines cannot be written.
RemovalOutcome RemoveRegistryParts(UndoFile& undo, platform::RegistryApi& registry, const std::vector<RegistryPart>& parts,
                                   const UndoComment* comment);
