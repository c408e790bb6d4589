#include "app/main_list.h"

#include <algorithm>

#include "app/design.h"
#include "app/main_window.h"
#include "inventory/entry_order.h"
#include "platform/text_encoding.h"

void MainList::Build() {
  Place(filterBox, nullptr, 8, 6, 401, 21, 5);
  filterBox.Cue = "Filter by name, key, publisher or command (Ctrl+F)";
  filterBox.Hint = "Type to show only the entries that hold the text; Escape clears it";
  Place(filterCount, nullptr, 416, 10, 113, 13);
  Text(filterCount, "", false);
  filterCount.TextAlignment = TextAlign::kRight;
  Place(entryList, nullptr, 8, 31, 521, 140, 2);
  // The first column keeps its name; the status found has a column of its own, named apart from it.
  entryList.Columns = {"Status - Display Name", "Key Name", "Uninstall String", "Source", "Link"};
  // The short columns first, the long command last.
  entryList.ColumnOrder = {0, 4, 3, 1, 2};
  entryList.ColumnFits = {
      {}, {}, {}, {}, {StatusName(kBrokenLink), StatusName(kGoodLink), StatusName(kMissingDisk), kCheckingText}};
  Place(statusWhy, nullptr, 8, 174, 521, 14);
  Text(statusWhy, "", false);

  Place(refreshButton, nullptr, 8, 192, 75, 17, 4);
  refreshButton.SetCaption("Refresh &List");
  Place(uninstallButton, nullptr, 312, 192, 105, 25, 0);
  uninstallButton.SetCaption("&Uninstall Program");
  uninstallButton.Hint = "Uninstalls the Selected Program";
  uninstallButton.SetEnabled(false);
  Place(removeButton, nullptr, 424, 192, 105, 25, 1);
  removeButton.SetCaption("&Remove Entry");
  removeButton.Hint = "Removes the Selected Entry from the list of installed programs";
  removeButton.SetEnabled(false);

  // The list takes the room a larger window gives; the filter box grows with its width; the rest
  // keeps to its edges.
  entryList.Anchors = kGrows;
  filterBox.Anchors = kWidens;
  filterCount.Anchors = kAnchorTop | kAnchorRight;
  statusWhy.Anchors = kUnder;
  refreshButton.Anchors = kBelow;
  uninstallButton.Anchors = removeButton.Anchors = kAnchorRight | kAnchorBottom;
}

void MainList::AddControls(std::vector<TControl*>* controls) {
  controls->insert(controls->end(),
                   {&entryList, &refreshButton, &uninstallButton, &removeButton, &filterBox, &filterCount, &statusWhy});
}

std::vector<Entry> MainList::SelectedEntries() const {
  std::vector<Entry> chosen;
  for (int row : entryList.SelectedRows()) {
    const int index = entryList.Item(row).Data;
    if (index >= 0 && index < static_cast<int>(window_.Entries.size()))
      chosen.push_back(window_.Entries[static_cast<size_t>(index)]);
  }
  return chosen;
}

std::vector<EntryId> MainList::SelectedEntryIds() const {
  std::vector<EntryId> ids;
  for (const Entry& entry : SelectedEntries()) ids.push_back(IdOf(entry));
  return ids;
}

void MainList::OnKeyDown(int key) {
  window_.backups.EnableButtons();
  constexpr int kVkDelete = 0x2E;
  if (key == kVkDelete) window_.commands.OnRemoveEntry();
}

namespace {

const char* StatusText(int status, bool pending) {
  return status == kStatusUnknown && pending ? kCheckingText : StatusName(status);
}

}  // namespace

bool MainList::EntryMatchesFilter(const Entry& entry) const {
  const std::string wanted = platform::UpperCaseText(filterBox.Text());
  if (wanted.empty()) return true;
  for (const std::string* text : {&entry.displayName, &entry.keyName, &entry.publisher, &entry.uninstallString})
    if (platform::UpperCaseText(*text).find(wanted) != std::string::npos) return true;
  // Another account's entries by its list's name: "user:ann".
  return entry.account && platform::UpperCaseText(SourceName(entry)).find(wanted) != std::string::npos;
}

void MainList::ShowEntries(const std::vector<EntryId>& keep, int position) {
  const std::vector<Entry>& entries = window_.Entries;
  const bool pending = window_.checks.Running();
  int listed = 0;
  {
    BulkUpdate<TListView> update(entryList);
    entryList.Clear();
    for (size_t i = 0; i < entries.size(); ++i) {
      const Entry& entry = entries[i];
      if (!window_.commands.ShownInMainList(entry)) continue;
      ++listed;
      if (!EntryMatchesFilter(entry)) continue;
      TListItem& item = entryList.Item(entryList.Add());
      item.Caption = entry.displayName.empty() ? entry.keyName : entry.displayName;
      item.SubItems = {entry.keyName, entry.uninstallString, SourceName(entry), StatusText(entry.status, pending)};
      item.Data = static_cast<int>(i);
      item.ImageIndex = entry.status != kStatusUnknown ? entry.status : pending ? kCheckingImage : -1;
      item.Hint = entry.reason;
    }
    SortEntries();
  }
  rowOfEntry_.assign(entries.size(), -1);
  for (int row = 0; row < entryList.Count(); ++row) rowOfEntry_[static_cast<size_t>(entryList.Item(row).Data)] = row;
  filterCount.SetCaption(filterBox.Text().empty() ? "" : std::to_string(entryList.Count()) + " of " + std::to_string(listed));

  // The entries selected before stay selected where they are still shown; otherwise the row at
  // the position selected before (the next entry, after a removal).
  std::vector<int> rows;
  for (const EntryId& id : keep) {
    for (int row = 0; row < entryList.Count(); ++row)
      if (IdOf(entries[static_cast<size_t>(entryList.Item(row).Data)]) == id) rows.push_back(row);
  }
  if (rows.empty() && entryList.Count() > 0) rows.push_back(std::clamp(position, 0, entryList.Count() - 1));
  entryList.SelectRows(rows);
  if (!rows.empty()) entryList.MakeVisible();
  // The boxes and the buttons follow the selection, whatever moved it.
  window_.OnEntrySelected();
}

void MainList::SortEntries() {
  std::vector<std::size_t> order;
  for (int row = 0; row < entryList.Count(); ++row) order.push_back(static_cast<std::size_t>(entryList.Item(row).Data));
  OrderEntries(window_.Entries, order, entryList.SortColumn(), entryList.SortAscending(), window_.Platform().system);
  std::vector<std::size_t> rank(window_.Entries.size());
  for (std::size_t i = 0; i < order.size(); ++i) rank[order[i]] = i;
  entryList.SortRows([&](const TListItem& a, const TListItem& b) {
    return rank[static_cast<std::size_t>(a.Data)] < rank[static_cast<std::size_t>(b.Data)];
  });
}

void MainList::OnSortByColumn(int column) {
  const bool ascending = column == entryList.SortColumn() ? !entryList.SortAscending() : true;
  const std::vector<EntryId> selected = SelectedEntryIds();
  entryList.SetSortMark(column, ascending);
  ShowEntries(selected, entryList.Selected());
}

void MainList::OnFilterChange() { ShowEntries(SelectedEntryIds(), -1); }

void MainList::ShowWhy() {
  const std::vector<Entry> selected = SelectedEntries();
  std::string why;
  if (selected.size() == 1) {
    const Entry& entry = selected.front();
    why = entry.status == kStatusUnknown ? (window_.checks.Running() ? "Checking..." : "") : entry.reason;
  } else if (selected.size() > 1) {
    why = std::to_string(selected.size()) + " entries selected";
  }
  statusWhy.SetCaption(why);
}

int MainList::RowOf(size_t entry) const {
  const int row = entry < rowOfEntry_.size() ? rowOfEntry_[entry] : -1;
  return row < entryList.Count() ? row : -1;
}

void MainList::SelectEntry(const EntryId& id) {
  for (size_t i = 0; i < window_.Entries.size(); ++i) {
    const int row = RowOf(i);
    if (IdOf(window_.Entries[i]) != id || row < 0) continue;
    entryList.SelectRows({row});
    entryList.MakeVisible();
    break;
  }
}

int MainList::ShowStatus(size_t entry) {
  const int row = RowOf(entry);
  if (row < 0) return row;
  // A result is never "Checking": an entry that could not be checked has no status.
  const Entry& checked = window_.Entries[entry];
  TListItem& item = entryList.Item(row);
  item.SubItems.at(3) = StatusName(checked.status);
  item.Hint = checked.reason;
  item.ImageIndex = checked.status;
  if (row == entryList.Selected()) ShowWhy();
  return row;
}
