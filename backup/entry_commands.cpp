// The commands that remove uninstall entries and installer products and change uninstall strings.
#include <string>

#include "app/form1.h"
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

// Sub-item 0 of the selected row, the entry's key name; empty when the row has none.
std::string SelectedKeyName(const TListView& list) {
  const TListItem& item = list.Item(list.Selected());
  return item.SubItems.empty() ? std::string() : item.SubItems[0];
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
  RemovalOutcome outcome;
  {
    UndoLock lock(platform_.system);
    outcome = RemoveRegistryKey(platform::kHkeyLocalMachine, kUninstallKey + keyName);
    WriteReg("");
  }
  FillListBox();
  if (!outcome.Complete()) platform_.ui.ShowError(IncompleteRemovalMessage(keyName, outcome));
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
        UndoLock lock(platform_.system);
        WriteReg(KeyLine(RootName(platform::kHkeyLocalMachine), keyPath));
        // The old value with its own type and bytes (an expandable string stays one when the file
        // is merged); a value that is not there is backed up as an empty text.
        std::vector<std::string> lines;
        RegValueInfo info;
        if (reg.ValueInfo(kUninstallStringName, info)) {
          std::string bytes(static_cast<size_t>(info.DataSize > 0 ? info.DataSize : 0) + 1, '\0');
          std::uint32_t typeCode = 0;
          bytes.resize(static_cast<size_t>(
              reg.FetchValueOfType(kUninstallStringName, bytes.data(), typeCode, info.DataSize)));
          lines = ValueLines(kUninstallStringName, typeCode, bytes);
          if (!lines.back().empty()) lines.emplace_back();
        } else {
          lines = {TextValueLine(NamePart(kUninstallStringName), oldText), ""};
        }
        AppendUndoLines(*this, lines, true);
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
  // The key name follows the last separator: a product's name may hold the separator too, its key
  // name (32 hexadecimal digits) never does.
  const auto separator = line.rfind(kProductSeparator);
  const std::string product =
      separator == std::string::npos ? line : line.substr(separator + std::string(kProductSeparator).size());
  // An empty name would address the product list itself.
  if (product.empty()) return;
  const std::string productPath = std::string(kProductsKey) + "\\" + product;
  TNTRegistry reg(platform_.registry);
  reg.SetRoot(platform::kHkeyClassesRoot);
  if (!reg.PathExists(productPath)) {
    platform_.ui.ShowMessage("The installer product " + product + " is not registered any more.");
    FillListBox();
    return;
  }
  if (platform_.ui.AskMessageBox(kRemoveQuestion, kRemoveCaption, platform::kMbYesNo) != platform::kIdYes) return;
  RemovalOutcome outcome;
  {
    UndoLock lock(platform_.system);
    outcome = RemoveRegistryKey(platform::kHkeyClassesRoot, productPath);
  }
  FillListBox();
  if (!outcome.Complete()) {
    const std::string name = separator == std::string::npos ? product : line.substr(0, separator);
    platform_.ui.ShowError(IncompleteRemovalMessage(name, outcome));
  }
  platform_.ui.ProcessMessages();
}
