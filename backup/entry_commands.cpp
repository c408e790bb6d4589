// The commands that remove uninstall entries and installer products and change uninstall strings.
#include <optional>
#include <string>
#include <vector>

#include "app/form1.h"
#include "backup/in_out_error.h"
#include "backup/undo_file.h"
#include "backup/undo_lines.h"
#include "registry/nt_registry.h"

namespace {

constexpr const char* kRemoveQuestion = "Are you sure you want to remove this entry?";
constexpr const char* kRemoveCaption = "Remove Entry?";
constexpr const char* kNothingToRemove = "There are no items in this list to remove.";
constexpr const char* kUninstallStringName = "UninstallString";
constexpr const char* kProductSeparator = " - {";

// Sub-item 0 of the selected row, the entry's key name; empty when the row has none.
std::string SelectedKeyName(const TListView& list) {
  const TListItem& item = list.Item(list.Selected());
  return item.SubItems.empty() ? std::string() : item.SubItems[0];
}

// Writes the entry's key line and its old uninstall string, with its own type and bytes (an
// expandable string stays one when the file is merged), in one write to the file that carries
// them; a value that is not there is backed up as an empty text.
void BackUpUninstallString(TForm1& form, TNTRegistry& reg, const std::string& keyPath) {
  std::uint32_t typeCode = platform::kRegSz;
  std::string bytes = StringDataOfText("");
  reg.FetchWholeValue(kUninstallStringName, typeCode, bytes);
  const auto linesFor = [&](UndoFormat format) {
    std::vector<std::string> lines{KeyLine(RootName(platform::kHkeyLocalMachine), keyPath)};
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

}  // namespace

void TForm1::Button2Click() {
  if (ListView1.Selected() < 0) {
    platform_.ui.ShowMessage(kSelectFirst);
    return;
  }
  RemoveEntry(SelectedKeyName(ListView1));
}

void TForm1::Button8Click() {
  const int index = ListBox2.ItemIndex();
  if (index < 0 || index >= ListBox2.Count()) {
    platform_.ui.ShowMessage(kSelectFirst);
    return;
  }
  RemoveEntry(ListBox2.Items()[index]);
}

void TForm1::RemoveEntry(const std::string& keyName) {
  // An empty name would address the Uninstall key itself, and with it every entry.
  if (keyName.empty()) return;
  if (platform_.ui.AskMessageBox(kRemoveQuestion, kRemoveCaption, platform::kMbYesNo | platform::kMbIconError) !=
      platform::kIdYes)
    return;
  {
    // The entry's lines and the empty line after them go to one file.
    const std::string path = kUninstallKey + keyName;
    UndoBlock block(*this, [&] { return UndoFormatForKey(platform::kHkeyLocalMachine, path); });
    RemoveRegistryKey(platform::kHkeyLocalMachine, path);
    WriteReg("");
  }
  FillListBox();
  platform_.ui.ProcessMessages();
}

void TForm1::Button15Click() {
  if (ListView1.Selected() < 0) return;
  {
    TNTRegistry reg(platform_.registry);
    reg.SetRoot(platform::kHkeyLocalMachine);
    const std::string keyName = SelectedKeyName(ListView1);
    const std::string keyPath = kUninstallKey + keyName;
    // Without a name the path would be the Uninstall key itself; a name with a line break cannot
    // be written as a key line.
    const bool addressable = !keyName.empty() && keyName.find_first_of("\r\n") == std::string::npos;
    if (addressable && reg.OpenPath(keyPath, false)) {
      const std::string oldText = reg.ReadText(kUninstallStringName);
      const std::string newText = Edit3.Text();
      if (oldText != newText) {
        BackUpUninstallString(*this, reg, keyPath);
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
  const auto separator = line.find(kProductSeparator);
  const std::string product =
      separator == std::string::npos ? line : line.substr(separator + std::string(kProductSeparator).size());
  // An empty name would address the product list itself.
  if (product.empty()) return;
  if (platform_.ui.AskMessageBox(kRemoveQuestion, kRemoveCaption, platform::kMbYesNo) != platform::kIdYes) return;
  RemoveRegistryKey(platform::kHkeyClassesRoot, std::string(kProductsKey) + "\\" + product);
  FillListBox();
  platform_.ui.ProcessMessages();
}
