#include "backup/key_export.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "backup/in_out_error.h"
#include "backup/undo_lines.h"
#include "registry/key_walk.h"
#include "inventory/finder.h"
#include "registry/nt_registry.h"

namespace {

LeftReason ReasonOf(KeyLineFit fit) {
  return fit == KeyLineFit::kLineBreak ? LeftReason::kNameHoldsLineBreak : LeftReason::kPathTooLong;
}

// Whether the file carries every key line, value name and text of the tree that a removal would
// write, read the way the removal reads it. Keys whose lines would not give them back are neither
// written nor removed, so they do not count.
bool CarriesKeyTree(platform::RegistryApi& api, const UndoEncoding& encoding, const RegistryPlace& place,
                    const std::string& keyPath) {
  if (FitOfKeyLine(PathForEveryView(place, keyPath)) != KeyLineFit::kFits) return true;
  TNTRegistry reg(api, place.view);
  reg.SetRoot(place.root);
  if (!reg.OpenPath(keyPath, false)) return true;
  const std::string rootName = RootName(place.root);
  return WalkKeyTree(api, reg, [&](TNTRegistry& key, const std::string& below) {
    const std::string linePath = PathForEveryView(place, below.empty() ? keyPath : keyPath + "\\" + below);
    if (FitOfKeyLine(linePath) != KeyLineFit::kFits) return WalkStep::kSkip;
    if (!encoding.Carries({KeyLine(rootName, linePath)})) return WalkStep::kStop;
    TStrings valueNames;
    key.ListValueNames(valueNames);
    for (const std::string& name : valueNames) {
      std::uint32_t typeCode = 0;
      std::string bytes;
      if (key.FetchWholeValue(name, typeCode, bytes) && !CarriedValueLines(name, typeCode, bytes, encoding))
        return WalkStep::kStop;
    }
    return WalkStep::kDescend;
  });
}

// Writes the value of the key active in `key` to the undo file and deletes it: kErrorSuccess when
// it is gone (or was not there), otherwise the registry's reason for keeping it.
long RemoveValueOf(UndoFile& undo, TNTRegistry& key, const std::string& name) {
  // The value's own type code and every byte, whatever its kind and size; a read that fails
  // raises here, before anything is deleted.
  std::uint32_t typeCode = 0;
  std::string bytes;
  if (!key.FetchWholeValue(name, typeCode, bytes)) return platform::kErrorSuccess;

  const auto carried = [&](UndoFormat format) {
    return CarriedValueLines(name, typeCode, bytes, UndoEncoding::Of(format, undo.System()));
  };
  UndoBlock block(undo, [&] { return carried(UndoFormat::kRegedit4) ? UndoFormat::kRegedit4 : UndoFormat::kUnicode; });
  // A value that changed since its file was chosen, into one the file cannot carry, stops the
  // removal here, before it is deleted.
  const auto lines = carried(undo.FormatInUse());
  if (!lines)
    throw EInOutError("Cannot write the value \"" + name + "\" to the undo file " +
                      undo.FileName(undo.FormatInUse()) + ": it holds characters the file cannot carry");
  // The value's lines go in with one write and reach the disk before the value is deleted: a stop
  // between two lines would leave a value cut short that a merge would put back in place of the
  // whole one.
  undo.AppendLines(*lines, true);
  if (key.RemoveValue(name) || key.LastError == platform::kErrorFileNotFound) return platform::kErrorSuccess;
  return key.LastError;
}

// Whether the open key holds a value or a subkey; false when it cannot be asked (deleted meanwhile).
bool HoldsAnything(TNTRegistry& key) {
  KeyInfo info;
  return key.QueryKeyInfo(info) && (info.SubkeyCount > 0 || info.ValueCount > 0);
}

// Whether the key `target` (a path from the root, or a name below the key active in `base`) holds a
// value or a subkey now.
bool HoldsAnythingNow(platform::RegistryApi& api, const TNTRegistry& base, const std::string& target) {
  TNTRegistry reg(api, base.View);
  reg.SetRoot(base.ActiveKey != 0 ? base.ActiveKey : base.Root);
  return reg.OpenPath(target, false) && HoldsAnything(reg);
}

// A key of the tree on the way down, and what is still to do in it.
struct KeyInRemoval {
  // Active on the key, opened relative to its parent's handle.
  std::unique_ptr<TNTRegistry> reg;
  // Below its parent; empty for the top key.
  std::string name;
  // The length of the key's path from the root.
  std::size_t pathLength = 0;
  TStrings subkeys;
  std::size_t next = 0;
  // Something in it or below it stays, so it stays too.
  bool holds = false;
};

// One removal of a key tree. The tree is walked with a stack of open keys rather than a recursion, so
// no depth the registry allows exhausts the thread's stack; each subkey is opened and deleted
// relative to its parent's handle, so no key is out of reach for the length of its path, while its
// key line still names it from the root.
class TreeRemoval {
 public:
  TreeRemoval(UndoFile& undo, platform::RegistryApi& api, const RegistryPlace& place, const UndoComment* comment)
      : undo_(undo), api_(api), place_(place), rootName_(RootName(place.root)), comment_(comment) {}

  RemovalOutcome Remove(const std::string& keyPath);

 private:
  // The path of the key in hand as its key line names it, and with its root name.
  std::string LinePath() const { return PathForEveryView(place_, path_); }
  std::string KeyName() const { return rootName_ + LinePath(); }
  std::unique_ptr<TNTRegistry> FromRoot() const {
    auto reg = std::make_unique<TNTRegistry>(api_, place_.view);
    reg->SetRoot(place_.root);
    return reg;
  }

  void LeaveTopAlone(KeyLineFit fit);
  void Enter(std::unique_ptr<TNTRegistry> reg, std::string name);
  void VisitSubkey(const std::string& name);
  void Leave();
  void Left(LeftReason reason, int keys, int values, long error) {
    outcome_.Record({reason, KeyName(), keys, values, error});
  }
  void ParentHolds() {
    if (!keys_.empty()) keys_.back().holds = true;
  }

  UndoFile& undo_;
  platform::RegistryApi& api_;
  const RegistryPlace place_;
  const std::string rootName_;
  // Written before the top key's line.
  const UndoComment* comment_;
  // The path from the root (with its leading backslash) of the key in hand.
  std::string path_;
  std::vector<KeyInRemoval> keys_;
  RemovalOutcome outcome_;
};

RemovalOutcome TreeRemoval::Remove(const std::string& keyPath) {
  path_ = keyPath;
  const KeyLineFit fit = FitOfKeyLine(LinePath());
  if (fit != KeyLineFit::kFits) {
    LeaveTopAlone(fit);
    return outcome_;
  }
  // The whole tree goes to one file, chosen before its first line is written.
  UndoBlock block(undo_, [&] { return UndoFormatForKey(api_, undo_.System(), place_, keyPath); });
  outcome_.undoFile = undo_.FileName(undo_.FormatInUse());
  std::unique_ptr<TNTRegistry> top = FromRoot();
  if (!top->OpenPath(keyPath, false)) {
    // Gone already, or there but closed to this program: only the second is left behind.
    const long error = top->LastError;
    if (FromRoot()->PathExists(keyPath)) Left(LeftReason::kNotOpened, 1, 0, error);
    return outcome_;
  }
  Enter(std::move(top), "");
  while (!keys_.empty()) {
    KeyInRemoval& key = keys_.back();
    if (key.next < key.subkeys.size()) {
      const std::string name = key.subkeys[key.next++];
      VisitSubkey(name);
    } else {
      Leave();
    }
  }
  return outcome_;
}

void TreeRemoval::LeaveTopAlone(KeyLineFit fit) {
  std::unique_ptr<TNTRegistry> top = FromRoot();
  if (top->OpenPath(path_, false)) {
    const TreeCount count = CountKeyTree(api_, *top);
    Left(ReasonOf(fit), count.keys, count.values, 0);
  } else if (FromRoot()->PathExists(path_)) {
    Left(ReasonOf(fit), 1, 0, 0);
  }
}

void TreeRemoval::Enter(std::unique_ptr<TNTRegistry> reg, std::string name) {
  std::vector<std::string> lines;
  if (keys_.empty() && comment_)
    lines.push_back(CommentLine(*comment_, UndoEncoding::Of(undo_.FormatInUse(), undo_.System())));
  lines.push_back(KeyLine(rootName_, LinePath()));
  undo_.AppendLines(lines, false);
  KeyInRemoval key{std::move(reg), std::move(name), path_.size(), {}, 0, false};
  TStrings valueNames;
  key.reg->ListSubkeys(key.subkeys);
  key.reg->ListValueNames(valueNames);
  int refused = 0;
  long firstRefusal = platform::kErrorSuccess;
  for (const std::string& valueName : valueNames) {
    const long answer = RemoveValueOf(undo_, *key.reg, valueName);
    if (answer == platform::kErrorSuccess) continue;
    if (refused++ == 0) firstRefusal = answer;
  }
  if (refused > 0) {
    Left(LeftReason::kValueRefused, 0, refused, firstRefusal);
    key.holds = true;
  }
  keys_.push_back(std::move(key));
}

void TreeRemoval::VisitSubkey(const std::string& name) {
  KeyInRemoval& parent = keys_.back();
  path_.resize(parent.pathLength);
  path_ += "\\" + name;
  const KeyLineFit fit = FitOfKeyLine(LinePath());
  long error = platform::kErrorSuccess;
  std::unique_ptr<TNTRegistry> child = OpenSubkeyRelative(api_, *parent.reg, name, &error);
  if (!child) {
    if (error == platform::kErrorFileNotFound) return;  // deleted meanwhile by someone else
    parent.holds = true;
    Left(fit == KeyLineFit::kFits ? LeftReason::kNotOpened : ReasonOf(fit), 1, 0, error);
    return;
  }
  if (fit != KeyLineFit::kFits) {
    // A key line could not give this key back: it stays with everything below it, unwritten.
    parent.holds = true;
    const TreeCount count = CountKeyTree(api_, *child);
    Left(ReasonOf(fit), count.keys, count.values, 0);
    return;
  }
  Enter(std::move(child), name);
}

void TreeRemoval::Leave() {
  KeyInRemoval key = std::move(keys_.back());
  keys_.pop_back();
  path_.resize(key.pathLength);
  if (key.holds) {
    outcome_.KeepHoldingKey();
    ParentHolds();
    return;
  }
  // Whatever is still in the key now was never written to the undo file (added meanwhile), so the
  // key goes only when it is empty, looked at after its lines reach the disk, just before the
  // deletion; and with the plain deletion, which refuses a key that has gained a subkey since.
  undo_.FlushUndo();
  if (HoldsAnything(*key.reg)) {
    Left(LeftReason::kAddedMeanwhile, 1, 0, 0);
    ParentHolds();
    return;
  }
  key.reg.reset();
  const bool top = keys_.empty();
  std::unique_ptr<TNTRegistry> fromRoot = top ? FromRoot() : nullptr;
  TNTRegistry& base = top ? *fromRoot : *keys_.back().reg;
  // The top key by its path from the root, every other one by its name below its parent's handle.
  const std::string target = top ? path_ : key.name;
  if (base.DeleteKey(target)) return;
  const long error = base.LastError;
  if (error == platform::kErrorFileNotFound) return;  // deleted meanwhile by someone else
  ParentHolds();
  // The plain deletion answers "access denied" for a key that has gained a subkey, too.
  if (HoldsAnythingNow(api_, base, target)) Left(LeftReason::kAddedMeanwhile, 1, 0, 0);
  else Left(LeftReason::kKeyRefused, 1, 0, error);
}

}  // namespace

UndoFormat UndoFormatForKey(platform::RegistryApi& registry, platform::System& system, const RegistryPlace& place,
                            const std::string& path) {
  const UndoEncoding regedit4 = UndoEncoding::Regedit4(system);
  return CarriesKeyTree(registry, regedit4, place, RemoveSlash(path)) ? UndoFormat::kRegedit4 : UndoFormat::kUnicode;
}

RemovalOutcome RemoveRegistryKey(UndoFile& undo, platform::RegistryApi& registry, const RegistryPlace& place,
                                 const std::string& path, const UndoComment* comment) {
  if (RootName(place.root).empty()) return {};
  return TreeRemoval(undo, registry, place, comment).Remove(RemoveSlash(path));
}

long RemoveRegistryValue(UndoFile& undo, platform::RegistryApi& registry, const RegistryPlace& place,
                         const std::string& keyPath, const std::string& name) {
  TNTRegistry reg(registry, place.view);
  reg.SetRoot(place.root);
  if (!reg.OpenPath(keyPath, false)) return platform::kErrorSuccess;
  return RemoveValueOf(undo, reg, name);
}
