#include "app/change_page.h"

#include "app/design.h"
#include "app/main_window.h"
#include "backup/entry_commands.h"

namespace {

// The error of a new command that another account's hive file did not keep.
std::string NotKeptMessage(const Entry& entry) {
  return "Tidewell could not save the uninstall command of " + ShownName(entry) +
         ": the system did not keep it in the hive file of " + (entry.account ? entry.account->name : "its account") +
         ", which still holds the old command.";
}

}  // namespace

void ChangePage::Build() {
  Place(warning, &sheet, 16, 4, 489, 26);
  Text(warning,
       "For advanced users only. An entry can be bad because its program was moved, or because a "
       "temporary folder that held its uninstall information was deleted.");
  Place(help, &sheet, 16, 34, 489, 39);
  Text(help,
       "If that information exists elsewhere on your computer, change the uninstall string below to "
       "point at it and the entry will work again.");
  Place(commandBox, &sheet, 16, 76, 385, 21, 0);
  Place(saveButton, &sheet, 400, 76, 91, 21, 1);
  saveButton.SetCaption("Save Changes");
  saveButton.SetEnabled(false);
  warning.Anchors = help.Anchors = commandBox.Anchors = kWidens;
  saveButton.Anchors = kAnchorTop | kAnchorRight;
}

void ChangePage::AddControls(std::vector<TControl*>* controls) {
  controls->insert(controls->end(), {&warning, &help, &commandBox, &saveButton});
}

const Entry* ChangePage::BoxEntry() const { return boxEntry_ ? window_.EntryOfId(*boxEntry_) : nullptr; }

void ChangePage::FillBoxes(const Entry& entry) {
  const platform::Platform& platform = window_.Platform();
  const bool edited = boxEntry_ && commandBox.Text() != boxCommand_;
  if (boxEntry_ == IdOf(entry)) {
    // The same entry: an edit not yet saved stays, unless the entry now holds that very command.
    if (edited && commandBox.Text() != entry.uninstallString) {
      window_.finder.command.SetText(entry.uninstallString);
      return;
    }
  } else if (edited) {
    // Another entry: the edit of the one before is saved or given up first, as the user says;
    // Cancel, the default, keeps the edit and its entry's row.
    const Entry* before = window_.EntryOfId(*boxEntry_);
    const int answer =
        before ? platform.ui.AskWithButtons("The uninstall command of " + ShownName(*before) + " (" +
                                                 SourceName(*before) + ") was changed but not saved.\n\n" +
                                                 commandBox.Text() + "\n\nSave it before going on?",
                                             "Save Changes?",
                                             {{platform::kIdYes, "&Save"}, {platform::kIdNo, "&Discard"},
                                              {platform::kIdCancel, "Cancel"}},
                                             platform::kIdCancel)
               : platform::kIdNo;
    if (answer == platform::kIdCancel) {
      ReselectEditedEntry(*before);
      return;
    }
    if (answer == platform::kIdYes) SaveCommand(*before, commandBox.Text());
  }
  // The Finder's answer was about the entry before.
  if (boxEntry_ != IdOf(entry)) window_.finder.ClearResult();
  boxEntry_ = IdOf(entry);
  boxCommand_ = entry.uninstallString;
  window_.finder.command.SetText(entry.uninstallString);
  commandBox.SetText(entry.uninstallString);
}

void ChangePage::ReselectEditedEntry(const Entry& entry) {
  window_.list.SelectEntry(IdOf(entry));
  window_.finder.command.SetText(entry.uninstallString);
  window_.list.ShowWhy();
}

void ChangePage::OnSaveChanges() {
  const platform::Platform& platform = window_.Platform();
  // The box holds the command of the entry it was filled from, which is the one selected entry.
  const std::vector<Entry> selected = window_.list.SelectedEntries();
  if (selected.size() != 1 || boxEntry_ != IdOf(selected.front())) return;
  const Entry& entry = selected.front();
  const std::string command = commandBox.Text();
  if (command != entry.uninstallString) {
    // A command whose file the status check does not find is saved only when the user says so.
    // Another account's command names that account's folders.
    const std::string checked = entry.account ? entry.account->WithOwnFolders(command) : command;
    const StatusResult check = ScanChecker(platform.files, platform.system).CheckCommand(checked, entry.SixtyFourBit());
    if (check.status == kBrokenLink &&
        platform.ui.AskMessageBox("The file that the new command names was not found:\n" + check.reason +
                                       "\n\nSave the command of " + ShownName(entry) + " in the " + SourceName(entry) +
                                       " list anyway?",
                                   "Save Changes?",
                                   platform::kMbYesNo | platform::kMbIconWarning | platform::kMbDefButton2) != platform::kIdYes)
      return;
  }
  std::string undoFile;
  const CommandChange change = ChangeUninstallString(window_.Undo(), platform.registry, entry, window_.Wow64, command, &undoFile);
  window_.FillListBox();
  if (change == CommandChange::kChanged) NoteSaved(entry, undoFile);
  else if (change == CommandChange::kUnchanged) window_.status.Notice("Nothing to save: " + ShownName(entry) + " holds that command.");
  if (change == CommandChange::kNotKept) platform.ui.ShowError(NotKeptMessage(entry));
}

void ChangePage::SaveCommand(Entry entry, const std::string& command) {
  const platform::Platform& platform = window_.Platform();
  std::string undoFile;
  const CommandChange change = ChangeUninstallString(window_.Undo(), platform.registry, entry, window_.Wow64, command, &undoFile);
  if (change == CommandChange::kNotKept) platform.ui.ShowError(NotKeptMessage(entry));
  if (change != CommandChange::kChanged) return;
  // Without a scan, which would select anew: the entry and its row take the command and its status.
  std::vector<Entry>& entries = window_.Entries;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (IdOf(entries[i]) != IdOf(entry)) continue;
    entries[i].uninstallString = command;
    const StatusResult result = ScanChecker(platform.files, platform.system).Check(entries[i]);
    ApplyStatus(entries[i], result);
    TListView& rows = window_.list.entryList;
    const int row = window_.list.RowOf(i);
    if (row >= 0) {
      rows.Item(row).SubItems.at(1) = command;
      rows.Item(row).SubItems.at(3) = StatusName(result.status);
      rows.Item(row).Hint = result.reason;
      rows.SetImageIndex(row, result.status);
    }
  }
  NoteSaved(entry, undoFile);
}

void ChangePage::NoteSaved(const Entry& entry, const std::string& undoFile) {
  window_.status.Notice("Saved the uninstall command of " + ShownName(entry) + ", the old one backed up in " + undoFile + ".",
                        undoFile);
}
