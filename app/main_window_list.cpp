// The main list's own commands: several entries removed at once, the broken ones selected, the
// context menu and its commands, and the line that says why the selected entry has its status.
#include <algorithm>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "app/main_window.h"
#include "launch/open_in_shell.h"
#include "platform/text_encoding.h"

namespace {

constexpr int kFinderPage = 3;
constexpr int kBackupsPage = 5;

}  // namespace

std::vector<Entry> MainWindow::SelectedEntries() const {
  std::vector<Entry> chosen;
  for (int row : entryList.SelectedRows()) {
    const int index = entryList.Item(row).Data;
    if (index >= 0 && index < static_cast<int>(Entries.size())) chosen.push_back(Entries[static_cast<size_t>(index)]);
  }
  return chosen;
}

std::vector<MainWindow::EntryId> MainWindow::SelectedEntryIds() const {
  std::vector<EntryId> ids;
  for (const Entry& entry : SelectedEntries()) ids.push_back(IdOf(entry));
  return ids;
}

std::vector<TButton*> MainWindow::RegistryButtons() {
  return {&uninstallButton, &removeButton, &saveButton, &deleteKeyButton, &deleteProductButton, &restoreButton, &restoreSelectedButton};
}

void MainWindow::RemoveSelectedEntries() {
  const std::vector<Entry> chosen = SelectedEntries();
  if (removing_ || chosen.empty()) return;
  std::vector<std::string> names;
  size_t withUninstaller = 0;
  for (const Entry& entry : chosen) {
    const bool good = entry.status == kGoodLink;
    withUninstaller += good ? 1 : 0;
    // Each key with its list, as /remove names it.
    names.push_back(entry.displayName + "  (" + SourceName(entry) + "\\" + entry.keyName + ")" +
                    (good ? "  - its uninstaller exists" : ""));
  }
  std::string question = "Are you sure you want to remove these " + std::to_string(chosen.size()) + " entries?";
  if (withUninstaller > 0)
    question += " " + std::to_string(withUninstaller) + (withUninstaller == 1 ? " of them has" : " of them have") +
                " an uninstaller that exists: removing " + (withUninstaller == 1 ? "it leaves its program" : "them leaves their programs") +
                " installed, with no way to uninstall from this list.";
  if (platform_.ui.AskWithList(question, "Remove Entries?", names) != platform::kIdYes) return;
  // One after another, each written to the undo file and flushed before it goes, as a single
  // removal is; the first that fails stops the rest.
  size_t removed = 0;
  // The entries handled: at a failure, the one that failed.
  size_t done = 0;
  std::string failure;
  // The undo files the removals went to, each named once.
  std::vector<std::string> undoFiles;
  // The entries another program removed meanwhile: nothing written, nothing to fail.
  std::vector<std::string> gone;
  {
    // The messages handled between entries may press Remove again or another button that changes
    // the registry: until the last entry is done they do nothing. The buttons are as they were again
    // when the removal ends, however it ends; the scan after it sets them by the selection.
    struct Run {
      MainWindow& form;
      std::vector<std::pair<TButton*, bool>> buttons;
      ~Run() {
        form.removing_ = false;
        for (const auto& [button, enabled] : buttons) button->SetEnabled(enabled);
      }
    } run{*this, {}};
    removing_ = true;
    for (TButton* button : RegistryButtons()) {
      run.buttons.push_back({button, button->Enabled()});
      button->SetEnabled(false);
    }
    for (; done < chosen.size(); ++done) {
      const Entry& entry = chosen[done];
      statusLine.SetCaption("Removing " + std::to_string(done + 1) + " of " + std::to_string(chosen.size()) + ": " +
                         entry.displayName);
      platform_.ui.ProcessMessages();
      try {
        const RemovalOutcome outcome = RemoveEntryKey(entry);
        if (!outcome.undoFile.empty() && std::find(undoFiles.begin(), undoFiles.end(), outcome.undoFile) == undoFiles.end())
          undoFiles.push_back(outcome.undoFile);
        if (outcome.alreadyGone) {
          gone.push_back(entry.displayName);
          continue;
        }
        if (!outcome.Complete()) failure = IncompleteRemovalMessage(entry.displayName, outcome);
      } catch (const std::exception& error) {
        // Raised before anything of the entry was deleted: its backup could not be written whole.
        failure = NotRemovedMessage(entry.displayName, error.what());
      }
      if (!failure.empty()) break;
      ++removed;
    }
  }
  FillListBox();
  std::string goneNames;
  for (const std::string& name : gone) goneNames += (goneNames.empty() ? "" : ", ") + name;
  if (removed > 0 || !gone.empty()) {
    std::string files;
    for (const std::string& file : undoFiles) files += (files.empty() ? "" : " and ") + file;
    notice_ = removed == 0 ? std::string()
                           : "Removed " + std::to_string(removed) + (removed == 1 ? " entry" : " entries") +
                                 (files.empty() ? "." : ", backed up in " + files + ".");
    noticeFile_ = undoFiles.empty() ? std::string() : undoFiles.front();
    if (!gone.empty()) notice_ += (notice_.empty() ? "" : " ") + std::string("Already gone (another program removed ") +
                                  (gone.size() == 1 ? "it" : "them") + "): " + goneNames + ".";
    ShowNotice();
  }
  if (failure.empty()) return;
  std::string text = "Removed " + std::to_string(removed) + " of " + std::to_string(chosen.size()) + " entries. " +
                     failure;
  if (text.back() != '.') text += '.';
  if (done + 1 < chosen.size()) {
    text += " Not removed: ";
    for (size_t i = done + 1; i < chosen.size(); ++i)
      text += (i > done + 1 ? ", " : "") + chosen[i].displayName;
    text += ".";
  }
  platform_.ui.ShowError(text);
}

void MainWindow::SelectBrokenLinks() {
  std::vector<int> rows;
  for (int row = 0; row < entryList.Count(); ++row)
    if (entryList.Item(row).ImageIndex == kBrokenLink) rows.push_back(row);
  entryList.SelectRows(rows);
  if (!rows.empty()) entryList.MakeVisible();
  OnEntrySelected();
}

void MainWindow::ShowWhy() {
  const std::vector<Entry> selected = SelectedEntries();
  std::string why;
  if (selected.size() == 1) {
    const Entry& entry = selected.front();
    why = entry.status == kStatusUnknown ? (checksPending_ > 0 ? "Checking..." : "") : entry.reason;
  } else if (selected.size() > 1) {
    why = std::to_string(selected.size()) + " entries selected";
  }
  statusWhy.SetCaption(why);
}

void MainWindow::TestInFinder() {
  const std::vector<Entry> selected = SelectedEntries();
  if (selected.size() != 1) return;
  const Entry& entry = selected.front();
  finderCommand.SetText(entry.uninstallString);
  // The file that decided the entry's status is looked for at once; without one (the installer
  // decided, or a drive not looked at), the whole command is selected for the user to cut.
  finderCommand.Select(0, static_cast<int>(platform::Utf16Length(entry.uninstallString)));
  pageControl.SetActivePage(kFinderPage);
  finderPath.SetText(entry.checkedFile);
  if (entry.checkedFile.empty()) EditChange();
  else OnFind();
}

void MainWindow::CopyCommand() {
  const std::vector<Entry> selected = SelectedEntries();
  if (selected.size() == 1) platform_.ui.CopyText(selected.front().uninstallString);
}

void MainWindow::StatusLineClick() {
  if (noticeFile_.empty()) return;
  pageControl.SetActivePage(kBackupsPage);
  SelectBackupFile(noticeFile_);
}

void MainWindow::OpenKeyInRegistryEditor() {
  const std::vector<Entry> selected = SelectedEntries();
  if (selected.size() != 1) return;
  const std::string failure = ::OpenKeyInRegistryEditor(platform_, selected.front(), Wow64);
  if (!failure.empty()) platform_.ui.ShowMessage(failure);
}

void MainWindow::OpenUninstallerFolder() {
  const std::vector<Entry> selected = SelectedEntries();
  if (selected.size() != 1) return;
  const std::string failure = ::OpenUninstallerFolder(platform_, selected.front());
  if (!failure.empty()) platform_.ui.ShowMessage(failure);
}

void MainWindow::OnEntryContextMenu() {
  const size_t selected = SelectedEntries().size();
  const bool one = selected == 1;
  const bool any = selected > 0;
  const auto item = [](bool enabled, const char* text) { return std::string(enabled ? "" : "!") + text; };
  const std::string product = one ? SelectedRegisteredProduct() : std::string();
  const std::vector<std::string> items = {
      item(one && !removing_, "&Uninstall Program"),
      item(any && !removing_, "&Remove Entry\tDel"),
      item(!product.empty() && !removing_, "Remove Installer Re&gistration..."),
      "",
      item(one, "&Test in Finder"),
      item(one, "&Copy Command\tCtrl+C"),
      item(one, "Open Key in Registry &Editor"),
      item(one, "Open Uninstaller's &Folder"),
      "",
      "Select All &Broken Link\tCtrl+B",
  };
  const auto place = entryList.MenuFromKeyboard ? platform::Ui::MenuPlace::kAtSelection : platform::Ui::MenuPlace::kAtMouse;
  switch (platform_.ui.ChooseFromMenu(items, place)) {
    case 0: OnUninstall(); break;
    case 1: OnRemoveEntry(); break;
    case 2: RemoveInstallerRegistration(product, ShownName(SelectedEntries().front())); break;
    case 4: TestInFinder(); break;
    case 5: CopyCommand(); break;
    case 6: OpenKeyInRegistryEditor(); break;
    case 7: OpenUninstallerFolder(); break;
    case 9: SelectBrokenLinks(); break;
    default: break;
  }
}
