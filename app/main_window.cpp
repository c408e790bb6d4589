#include "app/main_window.h"

#include "app/design.h"
#include "backup/undo_file.h"

MainWindow::MainWindow(const platform::Platform& platform)
    : platform_(platform),
      exeFolder_([&] {
        const std::string exe = platform.system.ExecutablePath();
        return exe.substr(0, exe.find_last_of('\\') + 1);
      }()),
      undo_(platform.files, platform.system, backups.ProgramFolder(), {}, backups.UserFolder()) {
  BuildDesign();
  BindEvents();
}

void MainWindow::BuildDesign() {
  list.Build();
  status.Build();
  Place(pageControl, nullptr, 8, 219, 521, 129, 3);
  // The pages take their share of the room a larger window gives, and their lists and texts with them.
  // (Its top follows the list's bottom: the window moves it by the list's share.)
  pageControl.Anchors = kGrows;
  const struct {
    TTabSheet* sheet;
    const char* caption;
  } pages[] = {{&info.introductionSheet, "Introduction"},
               {&info.accuracySheet, "Accuracy"},
               {&info.statusSheet, "Status"},
               {&finder.sheet, "Finder"},
               {&change.sheet, "Change Uninstall String"},
               {&backups.sheet, "Backups"},
               {&allEntries.sheet, "All Entries"},
               {&installer.sheet, "Installer List"}};
  for (const auto& page : pages) {
    page.sheet->Parent = &pageControl;
    page.sheet->SetCaption(page.caption);
    pageControl.Pages.push_back(page.sheet);
  }
  info.Build();
  finder.Build();
  change.Build();
  backups.Build();
  allEntries.Build();
  installer.Build();
  footer.Build();
}

std::vector<TControl*> MainWindow::Controls() {
  std::vector<TControl*> controls;
  list.AddControls(&controls);
  controls.push_back(&pageControl);
  for (TTabSheet* sheet : pageControl.Pages) controls.push_back(sheet);
  info.AddControls(&controls);
  finder.AddControls(&controls);
  change.AddControls(&controls);
  backups.AddControls(&controls);
  allEntries.AddControls(&controls);
  installer.AddControls(&controls);
  footer.AddControls(&controls);
  controls.push_back(&status.line);
  return controls;
}

void MainWindow::BindEvents() {
  TListView& entries = list.entryList;
  entries.OnClick = Guarded(*this, &MainWindow::OnEntrySelected);
  entries.OnSelectItem = Guarded(*this, &MainWindow::OnEntrySelected);
  entries.OnKeyDown = Guarded(list, &MainList::OnKeyDown);
  entries.OnMouseDown = Guarded(backups, &BackupsPage::EnableButtons);
  entries.OnColumnClick = Guarded(list, &MainList::OnSortByColumn);
  entries.OnContextMenu = Guarded(commands, &ListCommands::OnEntryContextMenu);
  list.filterBox.OnChange = Guarded(list, &MainList::OnFilterChange);
  list.refreshButton.OnClick = Guarded(*this, &MainWindow::FillListBox);
  list.uninstallButton.OnClick = Guarded(commands, &ListCommands::OnUninstall);
  list.removeButton.OnClick = Guarded(commands, &ListCommands::OnRemoveEntry);
  status.line.OnClick = Guarded(status, &StatusLine::OnClick);
  footer.helpLink.OnClick = Guarded(footer, &Footer::OnHelpLink);
  change.saveButton.OnClick = Guarded(change, &ChangePage::OnSaveChanges);
  allEntries.keys.OnClick = Guarded(allEntries, &AllEntriesPage::OnKeyClick);
  allEntries.deleteButton.OnClick = Guarded(allEntries, &AllEntriesPage::OnDeleteKey);
  installer.deleteButton.OnClick = Guarded(installer, &InstallerPage::OnDeleteProduct);
  finder.command.OnClick = Guarded(finder, &FinderPage::ClearResult);
  finder.path.OnChange = Guarded(finder, &FinderPage::ClearResult);
  finder.findButton.OnClick = Guarded(finder, &FinderPage::OnFind);
  finder.pasteButton.OnClick = Guarded(finder, &FinderPage::OnPaste);
  backups.files.OnClick = Guarded(backups, &BackupsPage::OnFileClick);
  backups.files.OnDblClick = Guarded(backups, &BackupsPage::OnRestore);
  backups.restoreButton.OnClick = Guarded(backups, &BackupsPage::OnRestore);
  backups.deleteFileButton.OnClick = Guarded(backups, &BackupsPage::OnDeleteFile);
  backups.rows.OnClick = Guarded(backups, &BackupsPage::OnRowsClick);
  backups.rows.OnSelectItem = Guarded(backups, &BackupsPage::OnRowsClick);
  backups.restoreSelectedButton.OnClick = Guarded(backups, &BackupsPage::OnRestoreSelected);
}

void MainWindow::ShowException(const std::exception& error) {
  std::string text = error.what();
  if (text.empty() || text.back() != '.') text += '.';
  platform_.ui.ShowError(text);
}

void MainWindow::FormCreate() {
  finder.winDir = CheckPath(platform_.system.WindowsDirectory());
  finder.sysDir = CheckPath(platform_.system.SystemDirectory());
  undo_.SetStem(UndoStemOf(platform_.system.Today()));
  Wow64 = platform_.system.IsWow64();
  FillListBox();
  backups.EnableButtons();
}

void MainWindow::OnEntrySelected() {
  const std::vector<Entry> selected = list.SelectedEntries();
  // With none selected the boxes keep the command they show; Save Changes waits for a selection.
  if (!selected.empty()) change.FillBoxes(selected.front());
  const bool busy = commands.Busy();
  list.uninstallButton.SetEnabled(!busy && selected.size() == 1);
  list.removeButton.SetEnabled(!busy);
  change.saveButton.SetEnabled(!busy && selected.size() == 1);
  list.ShowWhy();
}

const Entry* MainWindow::EntryOfId(const EntryId& id) const {
  for (const Entry& entry : Entries)
    if (IdOf(entry) == id) return &entry;
  return nullptr;
}
