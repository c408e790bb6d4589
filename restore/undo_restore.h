#pragma once
// Putting back chosen records of an undo file: what each stands for, whether the registry holds it
// now, and the restore itself, which writes whatever it overwrites to the day's undo file first.
#include <optional>
#include <string>

#include "backup/undo_file.h"
#include "inventory/entry.h"
#include "platform/registry_api.h"
#include "registry/accounts.h"
#include "registry/registry_place.h"
#include "restore/undo_reader.h"

// An entry, a product's key, a product's whole registration (keys and values of several places, as
// a removal of it took them), or any other key.
enum class RecordKind { kEntry, kProduct, kRegistration, kOtherKey };

// The key that a record puts back, and where it lives.
struct RecordTarget {
  RecordKind kind = RecordKind::kOtherKey;
  // The root and view that reach the key from this program, and its path below the root there (a
  // key line under SOFTWARE\WOW6432Node names a key of the 32-bit view on 64-bit Windows).
  KeyPlace key;
  // The entry's or the product's key name, the registration's product code ("{...}"); the whole
  // key, root and path, for another key.
  std::string keyName;
  // "64-bit", "32-bit" or "user" for an entry, "machine" or "user" for a product (a registration:
  // "machine and user" too); empty otherwise.
  std::string source;
  // The entry's list.
  Source entrySource = Source::kMachine32;
};

RecordTarget TargetOf(const UndoRecord& record, bool wow64);
// Whether a restore replaces the key whole: the record holds an entry or a product whole, as a
// removal took it (or as a restore replaced it). Otherwise it sets the record's values, as a merge
// does, and removes nothing.
bool RestoresWhole(const UndoRecord& record, const RecordTarget& target);

// What the comment calls the record's key: the entry's display name, the product's name; without
// a comment, the key name.
std::string RecordName(const UndoRecord& record, const RecordTarget& target);
// The comment's words ("removed entry"), or "backed up" for a record without one.
std::string RecordWhat(const UndoRecord& record);
// Why the record cannot be restored, with its line: "line 40: ..."; empty for a readable one.
std::string UnreadableText(const UndoRecord& record);

enum class RecordState {
  // The key is not in the registry.
  kAbsent,
  // The registry holds what the record holds: the key tree exactly, or the record's values.
  kPresent,
  kDifferent,
  // The record cannot be read: it is never restored.
  kUnreadable,
  // The key is in another account's hive, which is not loaded (RecordHives loads it).
  kNotLoaded,
};
// "absent", "present", "present but different", "unreadable".
const char* StateName(RecordState state);
RecordState StateOf(platform::RegistryApi& registry, const UndoRecord& record, bool wow64);

// The hives of the other accounts whose keys the records name, loaded while it lives unless the
// system has them loaded, so that StateOf can read their keys; any that cannot be loaded stay
// not loaded, and their records' state not known.
class RecordHives {
 public:
  RecordHives(platform::RegistryApi& registry, platform::System& system, platform::FileSystem& files,
              const std::vector<UndoRecord>& records, bool wow64);

 private:
  std::optional<AccountHives> hives_;
};

struct RecordRestore {
  bool restored = false;
  // The registry refused what the restore needs for lack of rights; nothing was changed.
  bool accessDenied = false;
  // Why it was not restored.
  std::string problem;
  // Where what the restore overwrote went; empty when it overwrote nothing.
  std::string undoFile;
};

// Puts the record back. A key it replaces whole, or values it overwrites, go to the day's undo file
// first, under the undo lock, each command's lines with their comment; then the record's keys and
// values are written and read back: restored only when the registry holds them. A record whose
// keys are there already as it holds them is restored without a change. Raises as a removal does
// when the undo file cannot be written.
RecordRestore RestoreRecord(platform::RegistryApi& registry, UndoFile& undo, const UndoRecord& record, bool wow64);
