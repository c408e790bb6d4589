#include "app/all_entries_page.h"

#include "app/design.h"
#include "app/main_window.h"

namespace {

// A line: the key name, marked with its source where this Windows has more than one list of the
// machine's, and always for the user's own.
std::string AllEntriesLine(const Entry& entry, bool wow64) {
  if (!wow64 && entry.source != Source::kUser) return entry.keyName;
  return entry.keyName + " (" + SourceName(entry) + ")";
}

}  // namespace

void AllEntriesPage::Build() {
  Place(help, &sheet, 8, 4, 177, 72);
  Text(help,
       "Not every entry is shown in the list above, because some should not be removed. This list "
       "holds them all; the button below deletes the selected one.");
  Place(keys, &sheet, 192, 0, 313, 71, 0);
  keys.SortKeyOf = window_.SystemOrder();
  // The lines are key names; under them, the selected line's display name and command.
  Place(detail, &sheet, 192, 73, 313, 26);
  Text(detail, "");
  Place(deleteButton, &sheet, 16, 80, 161, 17, 1);
  deleteButton.SetCaption("&Delete an entry >>");
  keys.Anchors = kGrows;
  detail.Anchors = kUnder;
  deleteButton.Anchors = kBelow;
}

void AllEntriesPage::AddControls(std::vector<TControl*>* controls) {
  controls->insert(controls->end(), {&help, &keys, &deleteButton, &detail});
}

void AllEntriesPage::Fill() {
  keys.Clear();
  const std::vector<Entry>& entries = window_.Entries;
  for (size_t i = 0; i < entries.size(); ++i) keys.Add(AllEntriesLine(entries[i], window_.Wow64), static_cast<int>(i));
}

void AllEntriesPage::OnKeyClick() {
  const int data = keys.ItemData(keys.ItemIndex());
  if (data < 0 || data >= static_cast<int>(window_.Entries.size())) {
    detail.SetCaption("");
    return;
  }
  const Entry& entry = window_.Entries[static_cast<size_t>(data)];
  const auto or_none = [](const std::string& text) { return text.empty() ? std::string("(none)") : text; };
  detail.SetCaption("Display name: " + or_none(entry.displayName) + "\nCommand: " + or_none(entry.uninstallString));
}

void AllEntriesPage::OnDeleteKey() {
  const int index = keys.ItemIndex();
  if (index < 0 || index >= keys.Count()) {
    window_.Platform().ui.ShowMessage(kSelectFirst);
    return;
  }
  const int data = keys.ItemData(index);
  if (data >= 0 && data < static_cast<int>(window_.Entries.size())) {
    window_.commands.RemoveEntry(window_.Entries[static_cast<size_t>(data)]);
  } else {
    // A line not made by the scan names the machine's entry of its key name.
    Entry entry;
    entry.keyName = keys.Items()[index];
    window_.commands.RemoveEntry(entry);
  }
}
