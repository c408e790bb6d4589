#include "restore/undo_restore.h"

#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "backup/entry_commands.h"
#include "backup/in_out_error.h"
#include "backup/key_export.h"
#include "backup/undo_lines.h"
#include "backup/undo_lock.h"
#include "platform/handles.h"
#include "platform/text_encoding.h"
#include "restore/key_tree.h"

namespace {

constexpr const char* kSoftware = "\\SOFTWARE\\";
constexpr const char* kWow6432Node = "WOW6432Node\\";

bool StartsWithIgnoringCase(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() &&
         platform::UpperCaseText(text.substr(0, prefix.size())) == platform::UpperCaseText(prefix);
}

// The key name after `list` (a path ending in a backslash) when the path names a key right below
// it; empty otherwise.
std::string NameBelow(const std::string& path, const std::string& list) {
  if (!StartsWithIgnoringCase(path, list)) return {};
  const std::string name = path.substr(list.size());
  return name.find('\\') == std::string::npos ? name : std::string();
}

// The record's keys as a tree below its top key.
SavedTree TreeOfRecord(const UndoRecord& record) {
  const std::size_t top = record.keys.front().path.size();
  std::vector<std::pair<std::string, std::vector<NamedValue>>> keys;
  for (const UndoKeyLines& key : record.keys) keys.emplace_back(key.path.size() > top ? key.path.substr(top + 1) : "", key.values);
  return TreeOfPaths(keys);
}

enum class Found { kAbsent, kRead, kUnreadable };

// The key tree at the target as the registry holds it now.
Found ReadNow(platform::RegistryApi& registry, const RecordTarget& target, SavedTree* tree) {
  platform::Hkey opened = 0;
  const long result = registry.OpenKeyEx(target.place.root, target.keyPath.substr(1).c_str(),
                                         platform::kKeyRead | target.place.view, &opened);
  if (result == platform::kErrorFileNotFound || result == platform::kErrorPathNotFound) return Found::kAbsent;
  if (result != platform::kErrorSuccess) return Found::kUnreadable;
  const platform::UniqueHkey key(registry, opened);
  std::string problem;
  return ReadSavedTree(registry, opened, target.place.view, tree, &problem) ? Found::kRead : Found::kUnreadable;
}

// Whether the registry holds what the record holds: the tree exactly, or the record's values.
bool Holds(const SavedTree& now, const SavedTree& record, bool whole) {
  return whole ? SameTree(record, now) : DifferenceOf(record, now).empty();
}

// Whether the registry refuses this user what the restore needs, for lack of rights: to read and
// write the key that is there (and delete it, when it is replaced whole), or to make it below its
// parent. Asked before anything is changed.
bool Refused(platform::RegistryApi& registry, const RecordTarget& target, bool exists, bool whole) {
  std::string path = target.keyPath.substr(1);
  std::uint32_t rights = platform::kKeyRead | platform::kKeySetValue | platform::kKeyCreateSubKey;
  if (exists && whole) rights |= platform::kDelete;
  if (!exists) {
    path = path.substr(0, path.find_last_of('\\') == std::string::npos ? 0 : path.find_last_of('\\'));
    rights = platform::kKeyCreateSubKey;
  }
  platform::Hkey opened = 0;
  const long result = registry.OpenKeyEx(target.place.root, path.c_str(), rights | target.place.view, &opened);
  const platform::UniqueHkey key(registry, opened);
  return result == platform::kErrorAccessDenied;
}

std::string WithSource(const std::string& name, const RecordTarget& target) {
  return target.source.empty() ? name : name + " (" + target.source + ")";
}

// What a restore's comment names the key by: its name in the registry now, else the record's.
std::string NameNow(platform::RegistryApi& registry, const UndoRecord& record, const RecordTarget& target) {
  const char* valueName = target.kind == RecordKind::kProduct ? "ProductName" : "DisplayName";
  return NameForComment(registry, target.place, target.keyPath, valueName, RecordName(record, target));
}

// The values of the record that the registry holds otherwise now, each with its key's path below
// the top key: what a restore of the record's values overwrites.
std::vector<std::pair<std::string, NamedValue>> Overwritten(const SavedTree& now, const SavedTree& record) {
  std::map<std::string, std::map<std::string, const NamedValue*>> held;
  for (const SavedKey& key : now)
    for (const NamedValue& value : key.values) held[platform::UpperCaseText(key.path)][platform::UpperCaseText(value.name)] = &value;
  std::vector<std::pair<std::string, NamedValue>> overwritten;
  for (const SavedKey& key : record) {
    const auto values = held.find(platform::UpperCaseText(key.path));
    if (values == held.end()) continue;
    for (const NamedValue& value : key.values) {
      const auto old = values->second.find(platform::UpperCaseText(value.name));
      if (old == values->second.end()) continue;
      if (old->second->typeCode == value.typeCode && old->second->data == value.data) continue;
      overwritten.emplace_back(key.path, *old->second);
    }
  }
  return overwritten;
}

// Writes the values that the restore overwrites to the day's undo file, with their comment and
// key lines, in one write that reaches the disk: the "REGEDIT4" file when it carries them, else the
// Unicode one, held open by `block` until the restore is written. Answers the file.
std::string BackUpValues(UndoFile& undo, const RecordTarget& target, const UndoComment& comment,
                         const std::vector<std::pair<std::string, NamedValue>>& values, std::optional<UndoBlock>& block) {
  const std::string rootName = RootName(target.place.root);
  const auto linesFor = [&](UndoFormat format) -> std::optional<std::vector<std::string>> {
    const UndoEncoding encoding = UndoEncoding::Of(format, undo.System());
    std::vector<std::string> lines{CommentLine(comment, encoding)};
    std::string lastKey = "\n";
    for (const auto& [below, value] : values) {
      if (below != lastKey) {
        const std::string keyLine =
            KeyLine(rootName, PathForEveryView(target.place, below.empty() ? target.keyPath : target.keyPath + "\\" + below));
        if (!encoding.Carries({keyLine})) return std::nullopt;
        lines.push_back(keyLine);
        lastKey = below;
      }
      const auto valueLines = CarriedValueLines(value.name, value.typeCode, value.data, encoding);
      if (!valueLines) return std::nullopt;
      lines.insert(lines.end(), valueLines->begin(), valueLines->end());
    }
    if (!lines.back().empty()) lines.emplace_back();
    return lines;
  };
  UndoFormat format = UndoFormat::kRegedit4;
  auto lines = linesFor(format);
  if (!lines) lines = linesFor(format = UndoFormat::kUnicode);
  if (!lines) throw EInOutError("Cannot write the values of " + target.keyName + " to an undo file");
  block.emplace(undo, [&] { return format; });
  undo.AppendLines(*lines, true);
  return undo.FileName(format);
}

// Writes the record's tree and reads it back: restored when the registry holds it.
RecordRestore WriteAndCheck(platform::RegistryApi& registry, const RecordTarget& target, const SavedTree& tree,
                            bool whole, RecordRestore restore) {
  WriteSavedTree(registry, target.place, target.keyPath, tree);
  SavedTree written;
  if (ReadNow(registry, target, &written) != Found::kRead) {
    restore.problem = "the restored key cannot be read back";
    return restore;
  }
  restore.problem = DifferenceOf(tree, written);
  if (restore.problem.empty() && whole && !SameTree(tree, written)) restore.problem = "the key holds more than the backup";
  restore.restored = restore.problem.empty();
  return restore;
}

}  // namespace

RecordTarget TargetOf(const UndoRecord& record, bool wow64) {
  RecordTarget target;
  const std::string path = record.keys.empty() ? std::string() : record.keys.front().path;
  target.place.root = record.root;
  target.keyPath = path;
  target.keyName = record.rootName + path;
  if (record.root == platform::kHkeyLocalMachine && wow64) {
    // As the 64-bit registry editor merges it: a key under WOW6432Node goes to the 32-bit view.
    if (StartsWithIgnoringCase(path, std::string(kSoftware) + kWow6432Node)) {
      target.place.view = platform::kKeyWow6432Key;
      target.keyPath = path.substr(0, std::string(kSoftware).size()) +
                       path.substr(std::string(kSoftware).size() + std::string(kWow6432Node).size());
    } else {
      target.place.view = platform::kKeyWow6464Key;
    }
  }
  if (record.root == platform::kHkeyLocalMachine || record.root == platform::kHkeyCurrentUser) {
    const std::string name = NameBelow(target.keyPath, kUninstallKey);
    if (!name.empty()) {
      target.kind = RecordKind::kEntry;
      target.keyName = name;
      target.entrySource = *SourceAt(target.place);
      target.source = SourceName(target.entrySource);
      return target;
    }
  }
  const bool perUser = record.root == platform::kHkeyCurrentUser;
  if (perUser || record.root == platform::kHkeyClassesRoot) {
    const std::string name = NameBelow(target.keyPath, std::string(perUser ? kUserProductsKey : kProductsKey) + "\\");
    if (!name.empty()) {
      target.kind = RecordKind::kProduct;
      target.keyName = name;
      target.source = perUser ? "user" : "machine";
    }
  }
  return target;
}

bool RestoresWhole(const UndoRecord& record, const RecordTarget& target) {
  return record.comment && HoldsWholeKey(record.comment->action) && target.kind != RecordKind::kOtherKey;
}

std::string RecordName(const UndoRecord& record, const RecordTarget& target) {
  return record.comment && !record.comment->name.empty() ? record.comment->name : target.keyName;
}

std::string RecordWhat(const UndoRecord& record) { return record.comment ? record.comment->what : "backed up"; }

std::string UnreadableText(const UndoRecord& record) {
  if (record.Readable()) return {};
  return "line " + std::to_string(record.unreadableLine) + ": " + record.unreadable;
}

const char* StateName(RecordState state) {
  switch (state) {
    case RecordState::kAbsent: return "absent";
    case RecordState::kPresent: return "present";
    case RecordState::kDifferent: return "present but different";
    case RecordState::kUnreadable: return "unreadable";
  }
  return "";
}

RecordState StateOf(platform::RegistryApi& registry, const UndoRecord& record, bool wow64) {
  if (!record.Readable()) return RecordState::kUnreadable;
  const RecordTarget target = TargetOf(record, wow64);
  SavedTree now;
  switch (ReadNow(registry, target, &now)) {
    case Found::kAbsent: return RecordState::kAbsent;
    case Found::kUnreadable: return RecordState::kDifferent;
    case Found::kRead: break;
  }
  return Holds(now, TreeOfRecord(record), RestoresWhole(record, target)) ? RecordState::kPresent : RecordState::kDifferent;
}

RecordRestore RestoreRecord(platform::RegistryApi& registry, UndoFile& undo, const UndoRecord& record, bool wow64) {
  RecordRestore restore;
  if (!record.Readable()) {
    restore.problem = "the backup cannot be read at " + UnreadableText(record);
    return restore;
  }
  const RecordTarget target = TargetOf(record, wow64);
  const bool whole = RestoresWhole(record, target);
  const SavedTree tree = TreeOfRecord(record);
  SavedTree now;
  const Found found = ReadNow(registry, target, &now);
  if (found == Found::kRead && Holds(now, tree, whole)) {
    restore.restored = true;
    return restore;
  }
  if (found == Found::kUnreadable) {
    // What the restore would overwrite could not be backed up.
    restore.accessDenied = Refused(registry, target, true, whole);
    restore.problem = restore.accessDenied ? "the registry refused it for lack of rights" : "the key there cannot be read";
    return restore;
  }
  const bool exists = found == Found::kRead;
  // A changed command goes back into its entry; without the entry it would make a key of one value.
  const bool needsKey = record.comment && (record.comment->action == UndoAction::kChangedCommand ||
                                           record.comment->action == UndoAction::kRestoredValues);
  if (!exists && needsKey) {
    restore.problem = "the key it belongs to is not there any more";
    return restore;
  }
  if (Refused(registry, target, exists, whole)) {
    restore.accessDenied = true;
    restore.problem = "the registry refused it for lack of rights";
    return restore;
  }
  UndoLock lock(undo.System());
  // The backup's file stays held from its first line until the restore is written over what it backs up.
  std::optional<UndoBlock> block;
  if (whole && exists) {
    const UndoComment comment =
        CommentNow(undo.System(), target.kind == RecordKind::kProduct ? UndoAction::kRestoredProduct : UndoAction::kRestoredEntry,
                   NameNow(registry, record, target), target.source);
    block.emplace(undo, [&] { return UndoFormatForKey(registry, undo.System(), target.place, target.keyPath); });
    const RemovalOutcome outcome = RemoveRegistryKey(undo, registry, target.place, target.keyPath, &comment);
    restore.undoFile = outcome.undoFile;
    // What the removal left could not be backed up or deleted; writing over it would merge two
    // entries. Nothing is restored then.
    if (ReadNow(registry, target, &now) != Found::kAbsent) {
      restore.accessDenied = outcome.accessDenied;
      restore.problem = IncompleteRemovalMessage(WithSource(RecordName(record, target), target), outcome);
      if (restore.problem.empty()) restore.problem = "the key there could not be removed first";
      return restore;
    }
  } else if (exists) {
    const auto overwritten = Overwritten(now, tree);
    if (!overwritten.empty()) {
      const UndoComment comment =
          CommentNow(undo.System(), UndoAction::kRestoredValues, NameNow(registry, record, target), target.source);
      restore.undoFile = BackUpValues(undo, target, comment, overwritten, block);
    }
  }
  return WriteAndCheck(registry, target, tree, whole, std::move(restore));
}
