#pragma once
// Removing key trees and values, each written to the undo file before it leaves the registry.
#include <string>

#include "backup/removal_outcome.h"
#include "backup/undo_comment.h"
#include "backup/undo_file.h"
#include "platform/registry_api.h"
#include "registry/registry_place.h"

// The "REGEDIT4" file when the system's code page carries every name and text of the key tree
// exactly, otherwise the Unicode companion. Reads the tree without changing anything.
UndoFormat UndoFormatForKey(platform::RegistryApi& registry, platform::System& system, const RegistryPlace& place,
                            const std::string& path);

// Writes the key tree to the undo file, ended by an empty line, in one write that reaches the disk,
// then deletes it; answers what stayed in the registry. With a comment, its line goes in with the
// key's first line. Raises, having deleted nothing, when the lines cannot be written.
RemovalOutcome RemoveRegistryKey(UndoFile& undo, platform::RegistryApi& registry, const RegistryPlace& place,
                                 const std::string& path, const UndoComment* comment = nullptr);
// Writes the value to the undo file and deletes it: kErrorSuccess when it is gone (or was not
// there), otherwise the registry's reason for keeping it.
long RemoveRegistryValue(UndoFile& undo, platform::RegistryApi& registry, const RegistryPlace& place,
                         const std::string& keyPath, const std::string& name);
