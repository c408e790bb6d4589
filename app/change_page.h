#pragma once
// The Change Uninstall String page: the selected entry's command in a box to edit, and Save Changes.
// It keeps which entry the box was filled from, so that an edit is never saved to another entry.
#include <optional>
#include <string>
#include <vector>

#include "app/controls.h"
#include "app/main_list.h"
#include "inventory/entry.h"

class MainWindow;

class ChangePage {
 public:
  explicit ChangePage(MainWindow& window) : window_(window) {}

  TTabSheet sheet{"changeSheet"};
  TLabel warning{"changeWarning"}, help{"changeHelp"};
  TEdit commandBox{"commandBox"};
  TButton saveButton{"saveButton"};

  void Build();
  void AddControls(std::vector<TControl*>* controls);
  // Shows the entry's command in the Finder's and this page's boxes; an edit of another entry's
  // command not yet saved is saved or given up first, after a question.
  void FillBoxes(const Entry& entry);
  void OnSaveChanges();
  // The entry whose command the boxes were filled from; null when none is, or it is gone.
  const Entry* BoxEntry() const;

 private:
  // The entry whose command the box holds, edited, is selected again, its row alone.
  void ReselectEditedEntry(const Entry& entry);
  // Stores the command as the entry's (backed up first) and shows it in the entry's row, with its
  // status checked again; says so on the status line.
  void SaveCommand(Entry entry, const std::string& command);
  // The status line's word on a saved command, naming the undo file that holds the old one.
  void NoteSaved(const Entry& entry, const std::string& undoFile);

  MainWindow& window_;
  std::optional<EntryId> boxEntry_;
  std::string boxCommand_;
};
