#include "restore/undo_restore.h"

#include <algorithm>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "backup/entry_commands.h"
#include "backup/in_out_error.h"
#include "backup/key_export.h"
#include "backup/undo_lines.h"
#include "backup/undo_lock.h"
#include "inventory/product_code.h"
#include "registry/accounts.h"
#include "platform/handles.h"
#include "platform/text_encoding.h"
#include "restore/key_tree.h"
#include "restore/tree_replace.h"

namespace {

constexpr const char* kSoftware = "\\SOFTWARE\\";
constexpr const char* kWow6432Node = "WOW6432Node\\";

// The key name after `list` (a path ending in a backslash) when the path names a key right below
// it; empty otherwise.
std::string NameBelow(const std::string& path, const std::string& list) {
  if (!platform::StartsWithIgnoringCase(path, list)) return {};
  const std::string name = path.substr(list.size());
  return name.find('\\') == std::string::npos ? name : std::string();
}

// A record's or a part's keys as a tree below its top key.
SavedTree TreeOfKeys(const std::vector<UndoKeyLines>& lines) {
  const std::size_t top = lines.front().path.size();
  std::vector<std::pair<std::string, std::vector<NamedValue>>> keys;
  for (const UndoKeyLines& key : lines) keys.emplace_back(key.path.size() > top ? key.path.substr(top + 1) : "", key.values);
  return TreeOfPaths(keys);
}

SavedTree TreeOfRecord(const UndoRecord& record) { return TreeOfKeys(record.keys); }

// The root, view and path below the root that reach the key from this program, as the 64-bit registry
// editor merges it: on 64-bit Windows a key of HKLM under SOFTWARE\WOW6432Node goes to the 32-bit view,
// any other key of HKLM to the 64-bit one.
RegistryPlace PlaceOfKeyLine(platform::Hkey root, const std::string& path, bool wow64, std::string* keyPath) {
  RegistryPlace place{root, 0};
  *keyPath = path;
  if (root == platform::kHkeyLocalMachine && wow64) {
    if (platform::StartsWithIgnoringCase(path, std::string(kSoftware) + kWow6432Node)) {
      place.view = platform::kKeyWow6432Key;
      *keyPath = path.substr(0, std::string(kSoftware).size()) +
                 path.substr(std::string(kSoftware).size() + std::string(kWow6432Node).size());
    } else {
      place.view = platform::kKeyWow6464Key;
    }
  }
  return place;
}

// The product code that a registration's keys name: its product's, features' or installed state's
// key by the packed code, or its uninstall entry by the code.
std::string CodeOfRegistration(const UndoRecord& record) {
  for (const UndoPart& part : record.Parts()) {
    const std::string& path = part.keys.front().path;
    const std::size_t slash = path.find_last_of('\\');
    const std::string name = path.substr(slash + 1);
    const std::string parent = platform::UpperCaseText(path.substr(0, slash));
    const auto endsWith = [&](const std::string& tail) {
      return parent.size() >= tail.size() && parent.compare(parent.size() - tail.size(), tail.size(), tail) == 0;
    };
    if ((endsWith("\\PRODUCTS") || endsWith("\\FEATURES")) && !ProductCodeOfPacked(name).empty())
      return ProductCodeOfPacked(name);
    if (endsWith("\\UNINSTALL") && IsProductCode(name)) return platform::UpperCaseText(name);
  }
  return {};
}

enum class Found { kAbsent, kRead, kUnreadable };

// The key tree at the target as the registry holds it now.
Found ReadNow(platform::RegistryApi& registry, const RecordTarget& target, SavedTree* tree) {
  platform::Hkey opened = 0;
  const long result = registry.OpenKeyEx(target.key.place.root, target.key.path.substr(1).c_str(),
                                         platform::kKeyRead | target.key.place.view, &opened);
  if (result == platform::kErrorFileNotFound || result == platform::kErrorPathNotFound) return Found::kAbsent;
  if (result != platform::kErrorSuccess) return Found::kUnreadable;
  const platform::UniqueHkey key(registry, opened);
  std::string problem;
  return ReadSavedTree(registry, opened, target.key.place.view, tree, &problem) ? Found::kRead : Found::kUnreadable;
}

// Whether the registry holds what the record holds: the tree exactly, or the record's values.
bool Holds(const SavedTree& now, const SavedTree& record, bool whole) {
  return whole ? SameTree(record, now) : DifferenceOf(record, now).empty();
}

// Whether the registry refuses this user what the restore needs, for lack of rights: to read and
// write the key that is there (and delete it, when it is replaced whole), or to make it below its
// parent. Asked before anything is changed.
bool Refused(platform::RegistryApi& registry, const RecordTarget& target, bool exists, bool whole) {
  std::string path = target.key.path.substr(1);
  std::uint32_t rights = platform::kKeyRead | platform::kKeySetValue | platform::kKeyCreateSubKey;
  if (exists && whole) rights |= platform::kDelete;
  if (!exists) {
    path = path.substr(0, path.find_last_of('\\') == std::string::npos ? 0 : path.find_last_of('\\'));
    rights = platform::kKeyCreateSubKey;
  }
  platform::Hkey opened = 0;
  const long result = registry.OpenKeyEx(target.key.place.root, path.c_str(), rights | target.key.place.view, &opened);
  const platform::UniqueHkey key(registry, opened);
  return result == platform::kErrorAccessDenied;
}

std::string WithSource(const std::string& name, const RecordTarget& target) {
  return target.source.empty() ? name : name + " (" + target.source + ")";
}

// What a restore's comment names the key by: its name in the registry now, else the record's.
std::string NameNow(platform::RegistryApi& registry, const UndoRecord& record, const RecordTarget& target) {
  const char* valueName = target.kind == RecordKind::kProduct ? "ProductName" : "DisplayName";
  return NameForComment(registry, target.key, valueName, RecordName(record, target));
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

// A value that a restore overwrites: the key it is in, as its target and the path below it.
struct OverwrittenValue {
  const RecordTarget* target;
  std::string below;
  NamedValue value;
};

// Writes the values that the restore overwrites to the day's undo file, with their comment and
// key lines, in one write that reaches the disk: the "REGEDIT4" file when it carries them, else the
// Unicode one, held open by `block` until the restore is written. Answers the file.
std::string BackUpValues(UndoFile& undo, const std::string& what, const UndoComment& comment,
                         const std::vector<OverwrittenValue>& values, std::optional<UndoBlock>& block) {
  const auto linesFor = [&](UndoFormat format) -> std::optional<std::vector<std::string>> {
    const UndoEncoding encoding = UndoEncoding::Of(format, undo.System());
    std::vector<std::string> lines = CommentLines(comment, encoding);
    std::string lastKey = "\n";
    for (const auto& [target, below, value] : values) {
      const std::string keyLine = KeyLine(target->key.Below(below));
      if (keyLine != lastKey) {
        if (!encoding.Carries({keyLine})) return std::nullopt;
        lines.push_back(keyLine);
        lastKey = keyLine;
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
  if (!lines) throw EInOutError("Cannot write the values of " + what + " to an undo file");
  block.emplace(undo, [&] { return format; });
  undo.AppendLines(*lines, true);
  return undo.FileName(format);
}

// What the record's tree read back says: restored when the registry holds it.
RecordRestore Checked(const TreeReplacement& replacement, const SavedTree& tree, bool whole, RecordRestore restore) {
  if (!replacement.readBack) {
    restore.problem = "the restored key cannot be read back";
    return restore;
  }
  const SavedTree& written = replacement.copy;
  restore.problem = DifferenceOf(tree, written);
  if (restore.problem.empty() && whole && !SameTree(tree, written)) restore.problem = "the key holds more than the backup";
  restore.restored = restore.problem.empty();
  return restore;
}

// A part of a registration's record as the registry holds it now.
struct PartNow {
  RecordTarget target;
  // The record's, and the registry's now.
  SavedTree tree;
  SavedTree now;
  Found found = Found::kAbsent;
};

std::vector<PartNow> PartsNow(platform::RegistryApi& registry, const UndoRecord& record, bool wow64) {
  std::vector<PartNow> parts;
  for (const UndoPart& part : record.Parts()) {
    PartNow now;
    now.target.key.place = PlaceOfKeyLine(part.root, part.keys.front().path, wow64, &now.target.key.path);
    now.target.keyName = part.rootName + part.keys.front().path;
    now.tree = TreeOfKeys(part.keys);
    now.found = ReadNow(registry, now.target, &now.now);
    parts.push_back(std::move(now));
  }
  return parts;
}

// Whether nothing of the part is in the registry: no key below its top key and none of its values,
// as its removal left it (a key that other products share keeps their values).
bool Gone(const PartNow& part) {
  if (part.found != Found::kRead) return part.found == Found::kAbsent;
  for (const SavedKey& key : part.now)
    if (!key.path.empty()) return false;
  for (const NamedValue& value : part.tree.front().values)
    for (const NamedValue& held : part.now.front().values)
      if (platform::UpperCaseText(held.name) == platform::UpperCaseText(value.name)) return false;
  return true;
}

RecordState RegistrationState(const std::vector<PartNow>& parts) {
  bool allGone = true, allHeld = true;
  for (const PartNow& part : parts) {
    allGone = allGone && Gone(part);
    allHeld = allHeld && part.found == Found::kRead && Holds(part.now, part.tree, false);
  }
  if (allHeld) return RecordState::kPresent;
  return allGone ? RecordState::kAbsent : RecordState::kDifferent;
}

// Puts a registration back as a merge of its lines does: every key made and every value set, nothing
// removed, what it overwrites written to the day's undo file first.
RecordRestore RestoreRegistration(platform::RegistryApi& registry, UndoFile& undo, const UndoRecord& record,
                                  const RecordTarget& target, bool wow64) {
  RecordRestore restore;
  std::vector<PartNow> parts = PartsNow(registry, record, wow64);
  if (RegistrationState(parts) == RecordState::kPresent) {
    restore.restored = true;
    return restore;
  }
  for (const PartNow& part : parts) {
    if (part.found == Found::kUnreadable) {
      restore.accessDenied = Refused(registry, part.target, true, false);
      restore.problem = restore.accessDenied ? "the registry refused it for lack of rights" : "the key there cannot be read";
    } else if (Refused(registry, part.target, part.found == Found::kRead, false)) {
      restore.accessDenied = true;
      restore.problem = "the registry refused it for lack of rights";
    } else {
      continue;
    }
    restore.problem += " (" + part.target.keyName + ")";
    return restore;
  }
  UndoLock lock(undo.System());
  std::optional<UndoBlock> block;
  std::vector<OverwrittenValue> overwritten;
  for (const PartNow& part : parts)
    for (auto& [below, value] : Overwritten(part.now, part.tree)) overwritten.push_back({&part.target, below, std::move(value)});
  if (!overwritten.empty()) {
    const UndoComment comment =
        CommentNow(undo.System(), UndoAction::kRestoredRegistration, RecordName(record, target), target.source);
    restore.undoFile = BackUpValues(undo, target.keyName, comment, overwritten, block);
  }
  for (const PartNow& part : parts) {
    const TreeReplacement replacement =
        ReplaceTree(registry, undo, part.target.key, part.tree, nullptr, block);
    const RecordRestore written = Checked(replacement, part.tree, false, {});
    if (!written.restored) {
      restore.problem = written.problem + ": " + part.target.keyName;
      return restore;
    }
  }
  restore.restored = true;
  return restore;
}

// The SID of the account whose hive holds the target's key, below HKEY_USERS.
std::string SidOf(const RecordTarget& target) {
  const std::size_t slash = target.key.path.find('\\', 1);
  return target.key.path.substr(1, slash == std::string::npos ? std::string::npos : slash - 1);
}

// Points the target at its account's hive where it is loaded: at the SID's own key when the system
// has it loaded, else at the program's own name for it; false when it is loaded at neither.
bool PointAtLoadedHive(platform::RegistryApi& registry, RecordTarget& target) {
  const std::string sid = SidOf(target);
  TNTRegistry users(registry, 0);
  users.SetRoot(platform::kHkeyUsers);
  if (users.PathExists("\\" + sid)) return true;
  if (!users.PathExists("\\" + std::string(kOwnMountPrefix) + sid)) return false;
  target.key.path = "\\" + std::string(kOwnMountPrefix) + target.key.path.substr(1);
  return true;
}

// Makes the key of another account's hive that the target names reachable: its SID's key when the
// system has its hive loaded, else the hive loaded by `hive` under the program's own name, which
// the target's path then names. Answers why not, or nothing.
std::string ReachAccount(platform::RegistryApi& registry, UndoFile& undo, RecordTarget& target,
                         std::optional<AccountHives>& hive) {
  if (PointAtLoadedHive(registry, target)) return {};
  const std::string sid = SidOf(target);
  Account account;
  if (!AccountOfSid(registry, undo.System(), undo.Files(), sid, &account))
    return "the account " + sid + " is not in this machine's profile list";
  hive.emplace(registry, undo.System(), std::vector<Account>{account});
  if (!hive->Problems().empty()) return "the list of " + account.name + " cannot be read: " + hive->Problems().front().why;
  if (!PointAtLoadedHive(registry, target)) return "the list of " + account.name + " cannot be read";
  return {};
}

}  // namespace

RecordTarget TargetOf(const UndoRecord& record, bool wow64) {
  RecordTarget target;
  const std::string path = record.keys.empty() ? std::string() : record.keys.front().path;
  target.key.place = PlaceOfKeyLine(record.root, path, wow64, &target.key.path);
  target.keyName = record.rootName + path;
  if (record.comment && HoldsRegistration(record.comment->action)) {
    const std::string code = CodeOfRegistration(record);
    if (!code.empty()) {
      target.kind = RecordKind::kRegistration;
      target.keyName = code;
      target.source = record.comment->source;
      return target;
    }
  }
  if (record.root == platform::kHkeyLocalMachine || record.root == platform::kHkeyCurrentUser) {
    const std::string name = NameBelow(target.key.path, kUninstallKey);
    if (!name.empty()) {
      target.kind = RecordKind::kEntry;
      target.keyName = name;
      target.entrySource = *SourceAt(target.key.place);
      target.source = SourceName(target.entrySource);
      return target;
    }
  }
  if (record.root == platform::kHkeyUsers) {
    // Another account's entry: "\\<SID>\\SOFTWARE\\...\\Uninstall\\KEY".
    const std::size_t slash = target.key.path.find('\\', 1);
    const std::string name = slash == std::string::npos ? "" : NameBelow(target.key.path.substr(slash), kUninstallKey);
    if (!name.empty() && !IsSystemAccount(target.key.path.substr(1, slash - 1))) {
      target.kind = RecordKind::kEntry;
      target.keyName = name;
      target.entrySource = Source::kOtherUser;
      const std::string account = SourceName(Source::kOtherUser);
      target.source = record.comment && record.comment->source.rfind(account, 0) == 0
                          ? record.comment->source
                          : account + target.key.path.substr(1, slash - 1);
      return target;
    }
  }
  const bool perUser = record.root == platform::kHkeyCurrentUser;
  if (perUser || record.root == platform::kHkeyClassesRoot) {
    const std::string name = NameBelow(target.key.path, std::string(perUser ? kUserProductsKey : kProductsKey) + "\\");
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
    case RecordState::kNotLoaded: return "not known: its account's list is not loaded";
  }
  return "";
}

RecordState StateOf(platform::RegistryApi& registry, const UndoRecord& record, bool wow64) {
  if (!record.Readable()) return RecordState::kUnreadable;
  const RecordTarget target = TargetOf(record, wow64);
  if (target.kind == RecordKind::kRegistration) return RegistrationState(PartsNow(registry, record, wow64));
  RecordTarget reached = target;
  if (target.key.place.root == platform::kHkeyUsers && !PointAtLoadedHive(registry, reached)) return RecordState::kNotLoaded;
  SavedTree now;
  switch (ReadNow(registry, reached, &now)) {
    case Found::kAbsent: return RecordState::kAbsent;
    case Found::kUnreadable: return RecordState::kDifferent;
    case Found::kRead: break;
  }
  return Holds(now, TreeOfRecord(record), RestoresWhole(record, target)) ? RecordState::kPresent : RecordState::kDifferent;
}

RecordHives::RecordHives(platform::RegistryApi& registry, platform::System& system, platform::FileSystem& files,
                         const std::vector<UndoRecord>& records, bool wow64) {
  std::vector<Account> accounts;
  for (const UndoRecord& record : records) {
    if (!record.Readable()) continue;
    RecordTarget target = TargetOf(record, wow64);
    if (target.key.place.root != platform::kHkeyUsers || PointAtLoadedHive(registry, target)) continue;
    const std::string sid = platform::UpperCaseText(SidOf(target));
    const auto named = [&](const Account& account) { return platform::UpperCaseText(account.sid) == sid; };
    Account account;
    if (std::none_of(accounts.begin(), accounts.end(), named) && AccountOfSid(registry, system, files, sid, &account))
      accounts.push_back(std::move(account));
  }
  if (!accounts.empty()) hives_.emplace(registry, system, accounts);
}

RecordRestore RestoreRecord(platform::RegistryApi& registry, UndoFile& undo, const UndoRecord& record, bool wow64) {
  RecordRestore restore;
  if (!record.Readable()) {
    restore.problem = "the backup cannot be read at " + UnreadableText(record);
    return restore;
  }
  RecordTarget target = TargetOf(record, wow64);
  if (target.kind == RecordKind::kRegistration) return RestoreRegistration(registry, undo, record, target, wow64);
  // Another account's key goes into its hive, loaded for the restore when no one has it loaded.
  std::optional<AccountHives> hive;
  if (target.key.place.root == platform::kHkeyUsers) {
    restore.problem = ReachAccount(registry, undo, target, hive);
    if (!restore.problem.empty()) return restore;
  }
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
  std::optional<UndoComment> replaced;
  if (whole && exists) {
    replaced =
        CommentNow(undo.System(), target.kind == RecordKind::kProduct ? UndoAction::kRestoredProduct : UndoAction::kRestoredEntry,
                   NameNow(registry, record, target), target.source);
  } else if (exists) {
    std::vector<OverwrittenValue> overwritten;
    for (auto& [below, value] : Overwritten(now, tree)) overwritten.push_back({&target, below, std::move(value)});
    if (!overwritten.empty()) {
      const UndoComment comment =
          CommentNow(undo.System(), UndoAction::kRestoredValues, NameNow(registry, record, target), target.source);
      restore.undoFile = BackUpValues(undo, target.keyName, comment, overwritten, block);
    }
  }
  const TreeReplacement replacement =
      ReplaceTree(registry, undo, target.key, tree, replaced ? &*replaced : nullptr, block);
  if (replaced) restore.undoFile = replacement.removal.undoFile;
  // Nothing is restored over what the removal left.
  if (!replacement.written) {
    restore.accessDenied = replacement.removal.accessDenied;
    restore.problem = IncompleteRemovalMessage(WithSource(RecordName(record, target), target), replacement.removal);
    if (restore.problem.empty()) restore.problem = "the key there could not be removed first";
    return restore;
  }
  restore = Checked(replacement, tree, whole, std::move(restore));
  // Written into a hive loaded for the restore: restored only once its file holds it.
  if (!restore.restored || !hive) return restore;
  const bool kept = hive->Kept([&] {
    SavedTree written;
    return ReadNow(registry, target, &written) == Found::kRead && Holds(written, tree, whole);
  });
  if (kept) return restore;
  restore.restored = false;
  restore.problem = "the system did not keep it in the account's hive file, which holds what it held before";
  return restore;
}
