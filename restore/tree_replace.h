#pragma once
// How every restore puts a saved key tree in its place: what is there backed up first, the tree
// written, and read back.
#include <optional>
#include <string>

#include "backup/removal_outcome.h"
#include "backup/undo_comment.h"
#include "backup/undo_file.h"
#include "platform/registry_api.h"
#include "registry/registry_place.h"
#include "restore/key_tree.h"

struct TreeReplacement {
  // The removal of the key that was there, when one was replaced: what stayed of it, and the undo
  // file it went to.
  RemovalOutcome removal;
  // False when something of the key it replaces stayed: then nothing was written.
  bool written = false;
  // The key as read back after the writing; false when it could not be read, with what could not
  // in `unreadable` where the reading says.
  bool readBack = false;
  SavedTree copy;
  std::string unreadable;
};

// Writes `tree` at the key and reads it back. With `replaced`, the key there is first
// written to the day's undo file with that comment and removed whole as a removal does, and nothing
// is written when anything of it stays; `block`, which the caller holds until its restore ends,
// keeps that undo file from its first line. The caller holds the undo lock.
TreeReplacement ReplaceTree(platform::RegistryApi& registry, UndoFile& undo, const KeyPlace& key, const SavedTree& tree,
                            const UndoComment* replaced, std::optional<UndoBlock>& block);
