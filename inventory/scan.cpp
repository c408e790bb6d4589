#include <algorithm>
#include <stdexcept>

#include "app/form1.h"
#include "platform/handles.h"
#include "registry/nt_registry.h"

namespace {

// The text of the last value named exactly `wanted` (letter case counted), when it is a string.
std::string TextOfValue(TNTRegistry& reg, const TStrings& valueNames, const std::string& wanted) {
  std::string text;
  for (const std::string& name : valueNames) {
    if (name != wanted) continue;
    const RegKind kind = reg.ValueKind(name);
    text = (kind == kindString || kind == kindExpandString) ? reg.ReadText(name) : std::string();
  }
  return text;
}

}  // namespace

void TForm1::FillListBox() {
  const int position = ListView1.Count() > 0 ? ListView1.Selected() : -1;
  // The first entry that could not be read; it is shown once, after the lists are whole.
  std::string unreadable;

  {
    BulkUpdate<TListView> update(ListView1);
    ListView1.Clear();
    ListBox2.Clear();
    TNTRegistry reg(platform_.registry);
    TStrings subkeys, valueNames;

    reg.SetRoot(platform::kHkeyLocalMachine);
    if (reg.OpenPath(kUninstallKey, false)) {
      reg.ListSubkeys(subkeys);
      reg.ClosePath();
      for (const std::string& name : subkeys) {
        if (name.empty() || !reg.OpenPath(kUninstallKey + name, false)) continue;
        ListBox2.Add(name);
        reg.ListValueNames(valueNames);
        std::string caption, uninstall;
        try {
          caption = TextOfValue(reg, valueNames, "DisplayName");
          uninstall = TextOfValue(reg, valueNames, "UninstallString");
        } catch (const ERegistryException& error) {
          // A value rewritten between its size query and its read: the entry stays in All
          // Entries by its key, the main list leaves it out, and the scan goes on.
          if (unreadable.empty()) unreadable = "The entry '" + name + "' could not be read: " + error.what();
          reg.ClosePath();
          continue;
        }
        const int row = ListView1.Add();
        TListItem& item = ListView1.Item(row);
        item.SubItems.push_back(name);
        item.Caption = caption;
        item.SubItems.push_back(uninstall);
        if (!uninstall.empty() && CheckEntryStatus) CheckUninstall(uninstall, row);
        if (ListView1.Item(row).Caption.empty() || uninstall.empty()) ListView1.Delete(row);
        reg.ClosePath();
      }
    }

    ListBox3.Clear();
    reg.SetRoot(platform::kHkeyClassesRoot);
    if (reg.OpenPath(kProductsKey, false)) {
      reg.ListSubkeys(subkeys);
      reg.ClosePath();
      for (const std::string& product : subkeys) {
        if (product.empty() || !reg.OpenPath(std::string(kProductsKey) + "\\" + product, false)) continue;
        reg.ListValueNames(valueNames);
        std::string line = product;
        try {
          for (const std::string& name : valueNames) {
            if (name != "ProductName") continue;
            const RegKind kind = reg.ValueKind(name);
            if (kind == kindString || kind == kindExpandString) line = reg.ReadText(name) + " - {" + product;
          }
        } catch (const ERegistryException& error) {
          if (unreadable.empty()) unreadable = "The installer product '" + product + "' could not be read: " + error.what();
          line = product;
        }
        ListBox3.Add(line);
        reg.ClosePath();
      }
    }
    if (ListBox3.Count() == 0) ListBox3.Add(kNoItems);
    ListView1.SortByCaption(
        [this](const std::string& a, const std::string& b) { return platform_.system.CompareText(a, b); });
  }

  RefillBackupList();
  ListBox1Click();

  if (ListView1.Count() > 0) {
    const int index = std::clamp(position, 0, ListView1.Count() - 1);
    ListView1.Select(index);
    ListView1.MakeVisible();
  }
  ListView1Click();
  if (!unreadable.empty()) ShowException(std::runtime_error(unreadable));
}

void TForm1::RefillBackupList() {
  ListBox1.Clear();
  BulkUpdate<TListBox> update(ListBox1);
  platform::FindData found;
  platform::UniqueFind find(platform_.files, platform_.files.FindFirst(exeFolder_ + "Backup\\*.*", &found));
  if (find) {
    do {
      if (found.name != "." && found.name != "..") ListBox1.Add(found.name);
    } while (platform_.files.FindNext(find.get(), &found));
  }
}
