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
bool CarriesKeyTree(platform::RegistryApi& api, const UndoEncoding& encoding, const KeyPlace& top) {
  if (FitOfKeyLine(top.LinePath()) != KeyLineFit::kFits) return true;
  TNTRegistry reg(api, top.place);
  if (!reg.OpenPath(top.path, false)) return true;
  return WalkKeyTree(api, reg, [&](TNTRegistry& key, const std::string& below) {
    const KeyPlace visited = top.Below(below);
    if (FitOfKeyLine(visited.LinePath()) != KeyLineFit::kFits) return WalkStep::kSkip;
    if (!encoding.Carries({KeyLine(visited)})) return WalkStep::kStop;
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

// Whether the registry's answer says that another program deleted the key or value meanwhile: what is
// gone needs no deleting.
bool GoneMeanwhile(long error) { return error == platform::kErrorFileNotFound || error == platform::kErrorKeyDeleted; }

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

// A key of the tree as its lines were written to the undo file, and what became of it.
struct WrittenKey {
  // Below its parent; empty for the top key.
  std::string name;
  std::size_t parent = 0;
  // The length of the key's path from the root.
  std::size_t pathLength = 0;
  // The values as they were written: only these are deleted, and only while they still hold that.
  std::vector<NamedValue> values;
  std::vector<std::size_t> children;
  // Something in it or below it stays, so it stays too.
  bool holds = false;
};

// A key open on the way through the tree, and the next of its subkeys to visit.
struct OpenKey {
  std::unique_ptr<TNTRegistry> reg;
  std::size_t index = 0;
  TStrings subkeys;
  std::size_t next = 0;
};

// One key tree's removal, in two passes: its lines are written out (Write), then, once they are in the
// undo file, the tree is deleted deepest first (Delete). Once the deletion has begun nothing raises,
// so what was deleted is always told. The tree is walked with a stack of open keys rather than a
// recursion, so no depth the registry allows exhausts the thread's stack; each subkey is opened and
// deleted relative to its parent's handle, so no key is out of reach for the length of its path,
// while its key line still names it from the root.
class TreeRemoval {
 public:
  TreeRemoval(UndoFile& undo, platform::RegistryApi& api, const KeyPlace& top, RemovalOutcome& outcome)
      : undo_(undo), api_(api), top_(top.path), key_(top), outcome_(outcome) {}

  // Adds the tree's lines; false, having added none, when there is nothing of it to write (gone, or
  // left behind whole, as the outcome says).
  bool Write(std::vector<std::string>& lines);
  void Delete() { DeleteAll(top_); }

 private:
  static constexpr std::size_t kTop = static_cast<std::size_t>(-1);

  std::unique_ptr<TNTRegistry> FromRoot() const { return std::make_unique<TNTRegistry>(api_, key_.place); }
  void EnterPath(std::size_t parentLength, const std::string& name) {
    key_.path.resize(parentLength);
    key_.path += "\\" + name;
  }

  void LeaveTopAlone(KeyLineFit fit);
  void WriteOut(std::unique_ptr<TNTRegistry> top, std::vector<std::string>& lines);
  void Export(std::unique_ptr<TNTRegistry> reg, std::string name, std::size_t parent, std::vector<OpenKey>& open,
              std::vector<std::string>& lines);
  void DeleteAll(const std::string& keyPath);
  void DeleteValues(OpenKey& key);
  void Leave(OpenKey key, std::vector<OpenKey>& open);
  void Left(LeftReason reason, int keys, int values, long error) {
    outcome_.Record({reason, key_.Name(), keys, values, error});
  }
  void Holds(std::size_t index) {
    if (index != kTop) written_[index].holds = true;
  }

  UndoFile& undo_;
  platform::RegistryApi& api_;
  // The top key's path from the root, and the key in hand (its path with its leading backslash).
  const std::string top_;
  KeyPlace key_;
  RemovalOutcome& outcome_;
  // Every key written, each after its parent.
  std::vector<WrittenKey> written_;
};

bool TreeRemoval::Write(std::vector<std::string>& lines) {
  const KeyLineFit fit = FitOfKeyLine(key_.LinePath());
  if (fit != KeyLineFit::kFits) {
    LeaveTopAlone(fit);
    return false;
  }
  std::unique_ptr<TNTRegistry> top = FromRoot();
  if (!top->OpenPath(top_, false)) {
    // Gone already, or there but closed to this program: only the second is left behind.
    const long error = top->LastError;
    if (FromRoot()->PathExists(top_)) Left(LeftReason::kNotOpened, 1, 0, error);
    return false;
  }
  WriteOut(std::move(top), lines);
  return true;
}

void TreeRemoval::LeaveTopAlone(KeyLineFit fit) {
  std::unique_ptr<TNTRegistry> top = FromRoot();
  if (top->OpenPath(key_.path, false)) {
    const TreeCount count = CountKeyTree(api_, *top);
    Left(ReasonOf(fit), count.keys, count.values, 0);
  } else if (FromRoot()->PathExists(key_.path)) {
    Left(ReasonOf(fit), 1, 0, 0);
  }
}

void TreeRemoval::WriteOut(std::unique_ptr<TNTRegistry> top, std::vector<std::string>& lines) {
  std::vector<OpenKey> open;
  Export(std::move(top), "", kTop, open, lines);
  while (!open.empty()) {
    OpenKey& key = open.back();
    if (key.next >= key.subkeys.size()) {
      open.pop_back();
      continue;
    }
    const std::string name = key.subkeys[key.next++];
    const std::size_t index = key.index;
    EnterPath(written_[index].pathLength, name);
    const KeyLineFit fit = FitOfKeyLine(key_.LinePath());
    long error = platform::kErrorSuccess;
    std::unique_ptr<TNTRegistry> child = OpenSubkeyRelative(api_, *key.reg, name, &error);
    if (!child) {
      if (error == platform::kErrorFileNotFound) continue;  // deleted meanwhile by someone else
      Holds(index);
      Left(fit == KeyLineFit::kFits ? LeftReason::kNotOpened : ReasonOf(fit), 1, 0, error);
      continue;
    }
    if (fit != KeyLineFit::kFits) {
      // A key line could not give this key back: it stays with everything below it, unwritten.
      Holds(index);
      const TreeCount count = CountKeyTree(api_, *child);
      Left(ReasonOf(fit), count.keys, count.values, 0);
      continue;
    }
    Export(std::move(child), name, index, open, lines);
  }
}

void TreeRemoval::Export(std::unique_ptr<TNTRegistry> reg, std::string name, std::size_t parent,
                         std::vector<OpenKey>& open, std::vector<std::string>& lines) {
  const UndoEncoding encoding = UndoEncoding::Of(undo_.FormatInUse(), undo_.System());
  const std::size_t index = written_.size();
  written_.push_back({std::move(name), parent, key_.path.size(), {}, {}, false});
  if (parent != kTop) written_[parent].children.push_back(index);
  lines.push_back(KeyLine(key_));
  OpenKey key{std::move(reg), index, {}, 0};
  TStrings valueNames;
  key.reg->ListSubkeys(key.subkeys);
  key.reg->ListValueNames(valueNames);
  for (const std::string& valueName : valueNames) {
    // The value's own type code and every byte, whatever its kind and size; a read that fails
    // raises here, before anything is deleted.
    NamedValue value{valueName, 0, {}};
    if (!key.reg->FetchWholeValue(valueName, value.typeCode, value.data)) continue;  // deleted meanwhile
    // A value that changed since the file was chosen, into one the file cannot carry, stops the
    // removal here, before anything is deleted.
    const auto valueLines = CarriedValueLines(value.name, value.typeCode, value.data, encoding);
    if (!valueLines)
      throw EInOutError("Cannot write the value \"" + value.name + "\" to the undo file " +
                        undo_.FileName(undo_.FormatInUse()) + ": it holds characters the file cannot carry");
    lines.insert(lines.end(), valueLines->begin(), valueLines->end());
    written_[index].values.push_back(std::move(value));
  }
  open.push_back(std::move(key));
}

void TreeRemoval::DeleteAll(const std::string& keyPath) {
  key_.path = keyPath;
  std::unique_ptr<TNTRegistry> top = FromRoot();
  if (!top->OpenPath(keyPath, false)) {
    const long error = top->LastError;
    if (!GoneMeanwhile(error) || FromRoot()->PathExists(keyPath)) Left(LeftReason::kNotOpened, 1, 0, error);
    return;
  }
  std::vector<OpenKey> open;
  open.push_back({std::move(top), 0, {}, 0});
  DeleteValues(open.back());
  while (!open.empty()) {
    OpenKey& key = open.back();
    const WrittenKey& written = written_[key.index];
    if (key.next >= written.children.size()) {
      OpenKey done = std::move(open.back());
      open.pop_back();
      Leave(std::move(done), open);
      continue;
    }
    const std::size_t child = written.children[key.next++];
    EnterPath(written.pathLength, written_[child].name);
    long error = platform::kErrorSuccess;
    std::unique_ptr<TNTRegistry> reg = OpenSubkeyRelative(api_, *key.reg, written_[child].name, &error);
    if (!reg) {
      if (GoneMeanwhile(error)) continue;
      Holds(key.index);
      Left(LeftReason::kNotOpened, 1, 0, error);
      continue;
    }
    open.push_back({std::move(reg), child, {}, 0});
    DeleteValues(open.back());
  }
}

void TreeRemoval::DeleteValues(OpenKey& key) {
  WrittenKey& written = written_[key.index];
  int refused = 0, changed = 0;
  long firstRefusal = platform::kErrorSuccess;
  for (const NamedValue& value : written.values) {
    // Only what the undo file holds goes: a value that changed since it was written stays.
    NamedValue now{value.name, 0, {}};
    long answer = platform::kErrorSuccess;
    try {
      if (!key.reg->FetchWholeValue(value.name, now.typeCode, now.data)) continue;  // deleted meanwhile
      if (now.typeCode != value.typeCode || now.data != value.data) {
        ++changed;
        continue;
      }
      if (key.reg->RemoveValue(value.name)) {
        ++outcome_.valuesRemoved;
        continue;
      }
      answer = key.reg->LastError;
      if (GoneMeanwhile(answer)) continue;
    } catch (const ERegistryException&) {
      // A key that another program deleted meanwhile cannot be asked any more.
      KeyInfo info;
      if (!key.reg->QueryKeyInfo(info)) continue;
      answer = platform::kErrorAccessDenied;
    }
    if (refused++ == 0) firstRefusal = answer;
  }
  if (refused > 0) Left(LeftReason::kValueRefused, 0, refused, firstRefusal);
  if (changed > 0) Left(LeftReason::kChangedMeanwhile, 0, changed, 0);
  if (refused + changed > 0) written.holds = true;
}

void TreeRemoval::Leave(OpenKey key, std::vector<OpenKey>& open) {
  const WrittenKey& written = written_[key.index];
  key_.path.resize(written.pathLength);
  if (written.holds) {
    outcome_.KeepHoldingKey();
    Holds(written.parent);
    return;
  }
  // Whatever is still in the key now was never written to the undo file (added meanwhile), so the
  // key goes only when it is empty, looked at just before the deletion; and with the plain
  // deletion, which refuses a key that has gained a subkey since.
  if (HoldsAnything(*key.reg)) {
    Left(LeftReason::kAddedMeanwhile, 1, 0, 0);
    Holds(written.parent);
    return;
  }
  key.reg.reset();
  const bool top = open.empty();
  std::unique_ptr<TNTRegistry> fromRoot = top ? FromRoot() : nullptr;
  TNTRegistry& base = top ? *fromRoot : *open.back().reg;
  // The top key by its path from the root, every other one by its name below its parent's handle.
  const std::string target = top ? key_.path : written.name;
  if (base.DeleteKey(target)) {
    ++outcome_.keysRemoved;
    return;
  }
  const long error = base.LastError;
  if (GoneMeanwhile(error)) return;
  Holds(written.parent);
  // The plain deletion answers "access denied" for a key that has gained a subkey, too.
  if (HoldsAnythingNow(api_, base, target)) Left(LeftReason::kAddedMeanwhile, 1, 0, 0);
  else Left(LeftReason::kKeyRefused, 1, 0, error);
}

// One value's removal: its key line and its lines are written out, then, once they are in the undo
// file, the value is deleted while it still holds what was written, and its key with it when that
// leaves the key empty.
class ValueRemoval {
 public:
  ValueRemoval(platform::RegistryApi& api, const RegistryPart& part, RemovalOutcome& outcome)
      : api_(api), part_(part), outcome_(outcome) {}

  // Reads the value; false when there is nothing of it to write (gone, or left behind).
  bool Read();
  // Whether the file carries its lines.
  bool CarriedBy(const UndoEncoding& encoding) const { return LinesFor(encoding).has_value(); }
  void Write(UndoFile& undo, std::vector<std::string>& lines) const;
  void Delete();

 private:
  std::optional<std::vector<std::string>> LinesFor(const UndoEncoding& encoding) const;
  std::unique_ptr<TNTRegistry> Open() const {
    auto reg = std::make_unique<TNTRegistry>(api_, part_.key.place);
    return reg->OpenPath(part_.key.path, false) ? std::move(reg) : nullptr;
  }

  platform::RegistryApi& api_;
  const RegistryPart& part_;
  RemovalOutcome& outcome_;
  NamedValue written_;
};

bool ValueRemoval::Read() {
  const KeyLineFit fit = FitOfKeyLine(part_.key.LinePath());
  auto reg = std::make_unique<TNTRegistry>(api_, part_.key.place);
  if (!reg->OpenPath(part_.key.path, false)) {
    const long error = reg->LastError;
    reg->SetRoot(part_.key.place.root);
    if (reg->PathExists(part_.key.path)) outcome_.Record({LeftReason::kNotOpened, part_.key.Name(), 0, 1, error});
    return false;
  }
  written_.name = *part_.value;
  if (!reg->FetchWholeValue(written_.name, written_.typeCode, written_.data)) return false;
  if (fit != KeyLineFit::kFits) {
    outcome_.Record({ReasonOf(fit), part_.key.Name(), 0, 1, 0});
    return false;
  }
  return true;
}

std::optional<std::vector<std::string>> ValueRemoval::LinesFor(const UndoEncoding& encoding) const {
  std::vector<std::string> lines{KeyLine(part_.key)};
  if (!encoding.Carries(lines)) return std::nullopt;
  const auto valueLines = CarriedValueLines(written_.name, written_.typeCode, written_.data, encoding);
  if (!valueLines) return std::nullopt;
  lines.insert(lines.end(), valueLines->begin(), valueLines->end());
  return lines;
}

void ValueRemoval::Write(UndoFile& undo, std::vector<std::string>& lines) const {
  const auto mine = LinesFor(UndoEncoding::Of(undo.FormatInUse(), undo.System()));
  if (!mine)
    throw EInOutError("Cannot write the value \"" + written_.name + "\" to the undo file " +
                      undo.FileName(undo.FormatInUse()) + ": it holds characters the file cannot carry");
  lines.insert(lines.end(), mine->begin(), mine->end());
}

void ValueRemoval::Delete() {
  std::unique_ptr<TNTRegistry> reg = Open();
  if (!reg) {
    const long error = platform::kErrorAccessDenied;
    TNTRegistry root(api_, part_.key.place);
    if (root.PathExists(part_.key.path)) outcome_.Record({LeftReason::kNotOpened, part_.key.Name(), 0, 1, error});
    return;
  }
  NamedValue now{written_.name, 0, {}};
  long answer = platform::kErrorSuccess;
  try {
    if (!reg->FetchWholeValue(now.name, now.typeCode, now.data)) return;  // deleted meanwhile
    if (now.typeCode != written_.typeCode || now.data != written_.data) {
      outcome_.Record({LeftReason::kChangedMeanwhile, part_.key.Name(), 0, 1, 0});
      return;
    }
    if (reg->RemoveValue(now.name)) {
      ++outcome_.valuesRemoved;
    } else {
      answer = reg->LastError;
    }
  } catch (const ERegistryException&) {
    KeyInfo info;
    if (!reg->QueryKeyInfo(info)) return;  // the key was deleted meanwhile
    answer = platform::kErrorAccessDenied;
  }
  if (answer != platform::kErrorSuccess) {
    if (!GoneMeanwhile(answer)) outcome_.Record({LeftReason::kValueRefused, part_.key.Name(), 0, 1, answer});
    return;
  }
  // The key held the value for this product; emptied, it goes too, as a merge of the lines makes it again.
  if (HoldsAnything(*reg)) return;
  reg.reset();
  TNTRegistry root(api_, part_.key.place);
  if (root.DeleteKey(part_.key.path)) ++outcome_.keysRemoved;
}

}  // namespace

RemovalOutcome RemoveRegistryParts(UndoFile& undo, platform::RegistryApi& registry, const std::vector<RegistryPart>& parts,
                                   const UndoComment* comment) {
  RemovalOutcome outcome;
  std::vector<std::unique_ptr<TreeRemoval>> trees;
  std::vector<std::unique_ptr<ValueRemoval>> values;
  std::vector<const RegistryPart*> treeParts;
  for (const RegistryPart& part : parts) {
    if (RootName(part.key.place.root).empty()) continue;
    if (part.value) {
      auto value = std::make_unique<ValueRemoval>(registry, part, outcome);
      if (value->Read()) values.push_back(std::move(value));
    } else {
      treeParts.push_back(&part);
    }
  }
  // Every part goes to one file, chosen before the first line is written: the "REGEDIT4" file when it
  // carries all of them.
  const auto choose = [&] {
    const UndoEncoding regedit4 = UndoEncoding::Regedit4(undo.System());
    for (const RegistryPart* part : treeParts)
      if (UndoFormatForKey(registry, undo.System(), part->key) != UndoFormat::kRegedit4)
        return UndoFormat::kUnicode;
    for (const auto& value : values)
      if (!value->CarriedBy(regedit4)) return UndoFormat::kUnicode;
    return UndoFormat::kRegedit4;
  };
  UndoBlock block(undo, choose);
  std::vector<std::string> lines;
  if (comment) {
    const std::vector<std::string> said = CommentLines(*comment, UndoEncoding::Of(undo.FormatInUse(), undo.System()));
    lines.insert(lines.end(), said.begin(), said.end());
  }
  const std::size_t commentLines = lines.size();
  for (const RegistryPart* part : treeParts) {
    const KeyPlace top{part->key.place, RemoveSlash(part->key.path)};
    auto tree = std::make_unique<TreeRemoval>(undo, registry, top, outcome);
    if (tree->Write(lines)) trees.push_back(std::move(tree));
  }
  for (const auto& value : values) value->Write(undo, lines);
  if (lines.size() == commentLines) {
    // Nothing of it to write: gone already, or only what stays for its reasons.
    outcome.alreadyGone = outcome.left.empty();
    return outcome;
  }
  outcome.undoFile = undo.FileName(undo.FormatInUse());
  // The empty line that ends the command's lines goes in the same write: a write that fails leaves
  // no whole block without it.
  lines.emplace_back();
  undo.AppendLines(lines, true);
  for (const auto& tree : trees) tree->Delete();
  for (const auto& value : values) value->Delete();
  return outcome;
}

RemovalOutcome RemoveRegistryKey(UndoFile& undo, platform::RegistryApi& registry, const KeyPlace& key,
                                 const UndoComment* comment) {
  return RemoveRegistryParts(undo, registry, {RegistryPart{key, std::nullopt}}, comment);
}

UndoFormat UndoFormatForKey(platform::RegistryApi& registry, platform::System& system, const KeyPlace& key) {
  const UndoEncoding regedit4 = UndoEncoding::Regedit4(system);
  return CarriesKeyTree(registry, regedit4, {key.place, RemoveSlash(key.path)}) ? UndoFormat::kRegedit4
                                                                                : UndoFormat::kUnicode;
}
