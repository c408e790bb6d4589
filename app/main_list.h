#pragma once
// The main list: the entries with a display name and an uninstall command, with the filter box
// above it, the line under it that says why the selected entry has its status, and the buttons
// under it.
#include <string>
#include <vector>

#include "app/controls.h"
#include "inventory/entry.h"
#include "inventory/status.h"

class MainWindow;

// An entry's identity from scan to scan: where it lives and its key name.
struct EntryId {
  Source source;
  std::string keyName;
  bool operator==(const EntryId&) const = default;
};
inline EntryId IdOf(const Entry& entry) { return {entry.source, entry.keyName}; }
// The entry's name in quotes, as messages name it: its display name, else its key name.
inline std::string ShownName(const Entry& entry) {
  return "'" + (entry.displayName.empty() ? entry.keyName : entry.displayName) + "'";
}

class MainList {
 public:
  explicit MainList(MainWindow& window) : window_(window) {}

  TEdit filterBox{"filterBox"};
  TLabel filterCount{"filterCount"};
  TListView entryList{"entryList"};
  TLabel statusWhy{"statusWhy"};
  TButton refreshButton{"refreshButton"};
  TButton uninstallButton{"uninstallButton"};
  TButton removeButton{"removeButton"};

  void Build();
  void AddControls(std::vector<TControl*>* controls);

  // The entries of the selected rows, in the list's order: what every command of the buttons,
  // keys and context menu acts on.
  std::vector<Entry> SelectedEntries() const;
  std::vector<EntryId> SelectedEntryIds() const;
  // Fills the list with the listed entries that pass the filter, in the chosen order, and selects
  // the entries of `keep` that are shown, or else the row at `position`.
  void ShowEntries(const std::vector<EntryId>& keep, int position);
  bool EntryMatchesFilter(const Entry& entry) const;
  void SortEntries();
  // A click on a column's header sorts by it; a second click turns the order round.
  void OnSortByColumn(int column);
  // Delete removes the selected entries, after the question.
  void OnKeyDown(int key);
  // Typing in the filter box narrows the list at once.
  void OnFilterChange();
  // The line under the list: why the selected entry has its status.
  void ShowWhy();
  // The row of the last scan's entry; -1 when it is not shown.
  int RowOf(size_t entry) const;
  // Selects the entry's row alone.
  void SelectEntry(const EntryId& id);
  // The entry's row takes its status, to be redrawn with the others of its batch; its row, or -1
  // when it is not shown.
  int ShowStatus(size_t entry);

 private:
  MainWindow& window_;
  // The row of each entry of the last scan (-1: not listed).
  std::vector<int> rowOfEntry_;
};
