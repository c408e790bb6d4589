#include "backup/entry_commands.h"

#include <optional>
#include <string>
#include <vector>

#include "backup/in_out_error.h"
#include "backup/key_export.h"
#include "backup/undo_lines.h"
#include "backup/undo_lock.h"
#include "registry/nt_registry.h"

namespace {

constexpr const char* kUninstallStringName = "UninstallString";
constexpr const char* kDisplayNameName = "DisplayName";
constexpr const char* kProductNameName = "ProductName";

// The text of the open key's value, when it is a text.
std::string TextValueOf(TNTRegistry& reg, const char* name) {
  std::uint32_t typeCode = 0;
  std::string bytes;
  try {
    if (!reg.FetchWholeValue(name, typeCode, bytes)) return {};
  } catch (const ERegistryException&) {
    return {};
  }
  if (typeCode != platform::kRegSz && typeCode != platform::kRegExpandSz) return {};
  return TextOfStringData(bytes);
}

// Another account's hive, loaded for as long as a command changes its entry unless the system or the
// command has it loaded already; raises, having changed nothing, when it cannot be had.
class AccountHive {
 public:
  AccountHive(platform::RegistryApi& registry, platform::System& system, const Entry& entry) {
    if (!entry.account) return;
    hives_.emplace(registry, system, std::vector<Account>{*entry.account});
    if (!hives_->Problems().empty())
      throw EInOutError("Cannot read the list of " + entry.account->name + ": " + hives_->Problems().front().why);
  }
  // Whether the change is in the hive's file (AccountHives::Kept); always for the program's own lists.
  bool Kept(const std::function<bool()>& holds) { return !hives_ || hives_->Kept(holds); }

 private:
  std::optional<AccountHives> hives_;
};

std::string NameOf(const Entry& entry) { return entry.displayName.empty() ? entry.keyName : entry.displayName; }

// The entry's key line and its old uninstall string, with its own type and bytes (an expandable
// string stays one when the file is merged), for the file that carries them; a value that is not
// there is backed up as an empty text.
struct CommandBackup {
  UndoFormat format = UndoFormat::kRegedit4;
  std::vector<std::string> lines;
  std::uint32_t typeCode = platform::kRegSz;
};

CommandBackup UninstallStringBackup(UndoFile& undo, TNTRegistry& reg, const KeyPlace& key, const UndoComment& comment) {
  CommandBackup backup;
  std::string bytes = StringDataOfText("");
  reg.FetchWholeValue(kUninstallStringName, backup.typeCode, bytes);
  const auto linesFor = [&](UndoFormat format) {
    const UndoEncoding encoding = UndoEncoding::Of(format, undo.System());
    std::vector<std::string> lines{KeyLine(key)};
    const auto value = CarriedValueLines(kUninstallStringName, backup.typeCode, bytes, encoding);
    if (!value || !encoding.Carries(lines)) return std::optional<std::vector<std::string>>();
    lines.insert(lines.end(), value->begin(), value->end());
    if (!lines.back().empty()) lines.emplace_back();
    const std::vector<std::string> said = CommentLines(comment, encoding);
    lines.insert(lines.begin(), said.begin(), said.end());
    return std::optional(lines);
  };
  auto lines = linesFor(backup.format);
  if (!lines) lines = linesFor(backup.format = UndoFormat::kUnicode);
  if (!lines) throw EInOutError("Cannot write the uninstall string of " + key.path + " to an undo file: it is not text");
  backup.lines = std::move(*lines);
  return backup;
}

}  // namespace

std::string NameForComment(platform::RegistryApi& registry, const KeyPlace& key, const char* valueName,
                           const std::string& fallback) {
  TNTRegistry reg(registry, key.place);
  const std::string name = reg.OpenPathToRead(key.path) ? TextValueOf(reg, valueName) : std::string();
  return name.empty() ? fallback : name;
}

RemovalOutcome RemoveEntryKey(UndoFile& undo, platform::RegistryApi& registry, const Entry& entry, bool wow64) {
  // An empty name would address the Uninstall key itself, and with it every entry.
  if (entry.keyName.empty()) return {};
  AccountHive hive(registry, undo.System(), entry);
  const KeyPlace key = PlaceOf(entry, wow64);
  RemovalOutcome outcome;
  {
    UndoLock lock(undo.System());
    // The entry's lines and the empty line after them go to one file.
    UndoBlock block(undo, [&] { return UndoFormatForKey(registry, undo.System(), key); });
    const UndoComment comment = CommentNow(undo.System(), UndoAction::kRemovedEntry,
                                           NameForComment(registry, key, kDisplayNameName, NameOf(entry)),
                                           SourceName(entry));
    outcome = RemoveRegistryKey(undo, registry, key, &comment);
  }
  if (outcome.alreadyGone || outcome.keysRemoved == 0) return outcome;
  const auto gone = [&] { return !TNTRegistry(registry, key.place).PathExists(key.path); };
  if (hive.Kept(gone)) return outcome;
  // Nothing of it went: what the undo file holds is in the registry still.
  RemovalOutcome kept;
  kept.undoFile = outcome.undoFile;
  kept.Record({LeftReason::kHiveNotKept, key.Name(), outcome.keysRemoved + outcome.keysLeft,
               outcome.valuesRemoved + outcome.valuesLeft});
  return kept;
}

bool ProductRegistered(platform::RegistryApi& registry, const Product& product) {
  if (product.keyName.empty()) return false;
  return TNTRegistry(registry, product.Place()).PathExists(product.KeyPath());
}

RemovalOutcome RemoveInstallerProduct(UndoFile& undo, platform::RegistryApi& registry, const Product& product) {
  // An empty name would address the product list itself.
  if (product.keyName.empty()) return {};
  UndoLock lock(undo.System());
  const KeyPlace key{product.Place(), product.KeyPath()};
  const std::string fallback = product.named && !product.productName.empty() ? product.productName : product.keyName;
  const UndoComment comment = CommentNow(undo.System(), UndoAction::kRemovedProduct,
                                         NameForComment(registry, key, kProductNameName, fallback),
                                         product.perUser ? "user" : "machine");
  return RemoveRegistryKey(undo, registry, key, &comment);
}

CommandChange ChangeUninstallString(UndoFile& undo, platform::RegistryApi& registry, const Entry& entry, bool wow64,
                                    const std::string& newText, std::string* undoFile) {
  // Without a name the path would be the Uninstall key itself; a name with a line break cannot
  // be written as a key line.
  const std::string& keyName = entry.keyName;
  if (keyName.empty() || keyName.find_first_of("\r\n") != std::string::npos) return CommandChange::kNotChanged;
  AccountHive hive(registry, undo.System(), entry);
  const KeyPlace key = PlaceOf(entry, wow64);
  TNTRegistry reg(registry, key.place);
  if (!reg.OpenPath(key.path, false)) return CommandChange::kNotChanged;
  if (reg.ReadText(kUninstallStringName) == newText) return CommandChange::kUnchanged;
  UndoLock lock(undo.System());
  const std::string displayName = TextValueOf(reg, kDisplayNameName);
  const UndoComment comment = CommentNow(undo.System(), UndoAction::kChangedCommand,
                                         displayName.empty() ? NameOf(entry) : displayName, SourceName(entry));
  const CommandBackup backup = UninstallStringBackup(undo, reg, key, comment);
  // Held from its line until the new command is stored.
  UndoBlock block(undo, [&] { return backup.format; });
  undo.AppendLines(backup.lines, true);
  if (undoFile) *undoFile = undo.FileName(backup.format);
  // An expandable command stays expandable: %ProgramFiles% in it must go on naming the folder.
  if (backup.typeCode == platform::kRegExpandSz) {
    const std::string data = StringDataOfText(newText);
    reg.StoreValueOfType(kUninstallStringName, data.data(), platform::kRegExpandSz, static_cast<std::int32_t>(data.size()));
  } else {
    reg.WriteText(kUninstallStringName, newText);
  }
  // The key is let go first: a hive with a key open does not unload.
  reg.ClosePath();
  const bool kept = hive.Kept([&] {
    TNTRegistry again(registry, key.place);
    return again.OpenPathToRead(key.path) && again.ReadText(kUninstallStringName) == newText;
  });
  return kept ? CommandChange::kChanged : CommandChange::kNotKept;
}
