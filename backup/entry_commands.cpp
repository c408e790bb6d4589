// The commands that remove uninstall entries and installer products and change uninstall strings.
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "app/form1.h"
#include "backup/in_out_error.h"
#include "backup/undo_file.h"
#include "backup/undo_lines.h"
#include "backup/undo_lock.h"
#include "registry/nt_registry.h"

namespace {

constexpr const char* kRemoveQuestion = "Are you sure you want to remove this entry?";
constexpr const char* kRemoveCaption = "Remove Entry?";
constexpr const char* kNothingToRemove = "There are no items in this list to remove.";
constexpr const char* kUninstallStringName = "UninstallString";
constexpr const char* kProductSeparator = " - {";

// The entry that a main-list row stands for; a row without one (not made by the scan) names the
// machine's entry of its key name.
Entry EntryOfRow(const TForm1& form, int row) {
  const TListItem& item = form.ListView1.Item(row);
  if (item.Data >= 0 && item.Data < static_cast<int>(form.Entries.size())) return form.Entries[item.Data];
  Entry entry;
  entry.keyName = item.SubItems.empty() ? std::string() : item.SubItems[0];
  entry.uninstallString = item.SubItems.size() > 1 ? item.SubItems[1] : std::string();
  return entry;
}

// Writes the entry's key line and its old uninstall string, with its own type and bytes (an
// expandable string stays one when the file is merged), in one write to the file that carries
// them; a value that is not there is backed up as an empty text.
void BackUpUninstallString(TForm1& form, TNTRegistry& reg, const RegistryPlace& place, const std::string& keyPath) {
  std::uint32_t typeCode = platform::kRegSz;
  std::string bytes = StringDataOfText("");
  reg.FetchWholeValue(kUninstallStringName, typeCode, bytes);
  const auto linesFor = [&](UndoFormat format) {
    std::vector<std::string> lines{KeyLine(RootName(place.root), PathForEveryView(place, keyPath))};
    const UndoEncoding encoding = UndoEncoding::Of(format, form.Platform().system);
    const auto value = CarriedValueLines(kUninstallStringName, typeCode, bytes, encoding);
    if (!value || !encoding.Carries(lines)) return std::optional<std::vector<std::string>>();
    lines.insert(lines.end(), value->begin(), value->end());
    if (!lines.back().empty()) lines.emplace_back();
    return std::optional(lines);
  };
  UndoFormat format = UndoFormat::kRegedit4;
  auto lines = linesFor(format);
  if (!lines) lines = linesFor(format = UndoFormat::kUnicode);
  if (!lines) throw EInOutError("Cannot write the uninstall string of " + keyPath + " to an undo file: it is not text");
  UndoBlock block(form, [&] { return format; });
  AppendUndoLines(form, *lines, true);
}

// The entry's display name as the last scan read it, or its key name when it has none.
std::string ShownNameOf(const TForm1& form, Source source, const std::string& keyName) {
  for (const Entry& entry : form.Entries)
    if (entry.source == source && entry.keyName == keyName && !entry.displayName.empty()) return entry.displayName;
  return keyName;
}

// Notes whether the last removal of the entry left something of it in the registry.
void RememberPartlyRemoved(TForm1& form, Source source, const std::string& keyName, bool partly) {
  auto& entries = form.PartlyRemoved;
  std::erase(entries, std::pair(source, keyName));
  if (partly) entries.emplace_back(source, keyName);
}

}  // namespace

bool TForm1::IsPartlyRemoved(const Entry& entry) const {
  return std::find(PartlyRemoved.begin(), PartlyRemoved.end(), std::pair(entry.source, entry.keyName)) !=
         PartlyRemoved.end();
}

void TForm1::Button2Click() {
  if (ListView1.Selected() < 0) {
    platform_.ui.ShowMessage(kSelectFirst);
    return;
  }
  if (ListView1.SelectedRows().size() > 1) {
    RemoveSelectedEntries();
    return;
  }
  const Entry entry = EntryOfRow(*this, ListView1.Selected());
  RemoveEntry(entry.keyName, entry.source);
}

void TForm1::Button8Click() {
  const int index = ListBox2.ItemIndex();
  if (index < 0 || index >= ListBox2.Count()) {
    platform_.ui.ShowMessage(kSelectFirst);
    return;
  }
  const int data = ListBox2.ItemData(index);
  if (data >= 0 && data < static_cast<int>(Entries.size())) {
    const Entry entry = Entries[static_cast<size_t>(data)];
    RemoveEntry(entry.keyName, entry.source);
  } else {
    RemoveEntry(ListBox2.Items()[index]);
  }
}

void TForm1::RemoveEntry(const std::string& keyName, Source source) {
  // An empty name would address the Uninstall key itself, and with it every entry.
  if (keyName.empty()) return;
  if (platform_.ui.AskMessageBox(kRemoveQuestion, kRemoveCaption, platform::kMbYesNo | platform::kMbIconError) !=
      platform::kIdYes)
    return;
  const RemovalOutcome outcome = RemoveEntryKey(keyName, source);
  // The message names the entry as the list showed it.
  const std::string shownName = ShownNameOf(*this, source, keyName);
  FillListBox();
  if (!outcome.Complete()) platform_.ui.ShowError(IncompleteRemovalMessage(shownName, outcome));
  platform_.ui.ProcessMessages();
}

RemovalOutcome TForm1::RemoveEntryKey(const std::string& keyName, Source source) {
  if (keyName.empty()) return {};
  UndoLock lock(platform_.system);
  // The entry's lines and the empty line after them go to one file.
  const RegistryPlace place = PlaceOf(source, Wow64);
  const std::string path = kUninstallKey + keyName;
  UndoBlock block(*this, [&] { return UndoFormatForKey(place, path); });
  const RemovalOutcome outcome = RemoveRegistryKey(place, path);
  WriteReg("");
  RememberPartlyRemoved(*this, source, keyName, !outcome.Complete());
  return outcome;
}

void TForm1::Button15Click() {
  if (ListView1.Selected() < 0) return;
  {
    const Entry entry = EntryOfRow(*this, ListView1.Selected());
    const RegistryPlace place = PlaceOf(entry.source, Wow64);
    TNTRegistry reg(platform_.registry, place.view);
    reg.SetRoot(place.root);
    const std::string& keyName = entry.keyName;
    const std::string keyPath = kUninstallKey + keyName;
    // Without a name the path would be the Uninstall key itself; a name with a line break cannot
    // be written as a key line.
    const bool addressable = !keyName.empty() && keyName.find_first_of("\r\n") == std::string::npos;
    if (addressable && reg.OpenPath(keyPath, false)) {
      const std::string oldText = reg.ReadText(kUninstallStringName);
      const std::string newText = Edit3.Text();
      if (oldText != newText) {
        UndoLock lock(platform_.system);
        BackUpUninstallString(*this, reg, place, keyPath);
        reg.WriteText(kUninstallStringName, newText);
      }
    }
  }
  FillListBox();
}

void TForm1::Button9Click() {
  const int index = ListBox3.ItemIndex();
  if (index < 0 || index >= ListBox3.Count()) {
    platform_.ui.ShowMessage(kSelectFirst);
    return;
  }
  const std::string line = ListBox3.Items()[index];
  if (line == kNoItems) {
    platform_.ui.ShowMessage(kNothingToRemove);
    return;
  }
  // The product the line stands for; a line without one (not made by the scan) names a machine
  // product by its key name, which follows the last separator: a product's name may hold the
  // separator too, its key name (32 hexadecimal digits) never does.
  Product product;
  const int data = ListBox3.ItemData(index);
  if (data >= 0 && data < static_cast<int>(Products.size())) {
    product = Products[static_cast<size_t>(data)];
  } else {
    const auto separator = line.rfind(kProductSeparator);
    product.keyName =
        separator == std::string::npos ? line : line.substr(separator + std::string(kProductSeparator).size());
    product.named = separator != std::string::npos;
    if (product.named) product.productName = line.substr(0, separator);
  }
  // An empty name would address the product list itself.
  if (product.keyName.empty()) return;
  const std::string productPath = product.KeyPath();
  const RegistryPlace place = product.Place();
  TNTRegistry reg(platform_.registry, place.view);
  reg.SetRoot(place.root);
  if (!reg.PathExists(productPath)) {
    platform_.ui.ShowMessage("The installer product " + product.keyName + " is not registered any more.");
    FillListBox();
    return;
  }
  if (platform_.ui.AskMessageBox(kRemoveQuestion, kRemoveCaption, platform::kMbYesNo) != platform::kIdYes) return;
  RemovalOutcome outcome;
  {
    UndoLock lock(platform_.system);
    outcome = RemoveRegistryKey(place, productPath);
  }
  FillListBox();
  if (!outcome.Complete())
    platform_.ui.ShowError(IncompleteRemovalMessage(product.named ? product.productName : product.keyName, outcome));
  platform_.ui.ProcessMessages();
}
