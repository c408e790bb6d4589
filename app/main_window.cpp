#include "app/main_window.h"

#include <cstdio>

#include "app/resource_ids.h"

namespace {

void Place(TControl& control, TControl* parent, int left, int top, int width, int height, int tabOrder = -1) {
  control.Parent = parent;
  control.Left = left;
  control.Top = top;
  control.Width = width;
  control.Height = height;
  control.TabOrder = tabOrder;
}

void Text(TControl& control, const std::string& caption, bool wordWrap = true) {
  control.SetCaption(caption);
  control.WordWrap = wordWrap;
}

}  // namespace

MainWindow::MainWindow(const platform::Platform& platform)
    : platform_(platform),
      programBackups_(BackupFolderOf(platform.system.ExecutablePath())),
      userBackups_(UserBackupFolder(platform.files)),
      undo_(platform.files, platform.system, programBackups_, {}, userBackups_) {
  const std::string exe = platform_.system.ExecutablePath();
  exeFolder_ = exe.substr(0, exe.find_last_of('\\') + 1);
  BuildDesign();
  BindEvents();
}

std::string MainWindow::ExeFolder() const { return exeFolder_; }

void MainWindow::BuildDesign() {
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
  Place(statusLine, nullptr, 90, 196, 216, 13);
  Text(statusLine, "", false);
  Place(removeButton, nullptr, 424, 192, 105, 25, 1);
  removeButton.SetCaption("&Remove Entry");
  removeButton.Hint = "Removes the Selected Entry from the list of installed programs";
  removeButton.SetEnabled(false);

  Place(pageControl, nullptr, 8, 219, 521, 129, 3);
  const struct {
    TTabSheet* sheet;
    const char* caption;
  } pages[] = {{&introductionSheet, "Introduction"}, {&accuracySheet, "Accuracy"},     {&statusSheet, "Status"},
               {&finderSheet, "Finder"},       {&changeSheet, "Change Uninstall String"},
               {&backupsSheet, "Backups"},      {&allEntriesSheet, "All Entries"}, {&installerSheet, "Installer List"}};
  for (const auto& page : pages) {
    page.sheet->Parent = &pageControl;
    page.sheet->SetCaption(page.caption);
    pageControl.Pages.push_back(page.sheet);
  }

  // Introduction.
  Place(introductionText, &introductionSheet, 8, 8, 497, 73, 0);
  introductionText.Borderless = true;
  introductionText.Lines = {
      "Over time the list of installed programs fills with entries whose programs are gone,",
      "and finding those broken entries by hand in the registry is slow and risky.",
      "Tidewell checks every entry and shows with an icon which entries are bad.",
      "Select an entry and press Remove Entry to take it off the list (a backup is kept).",
      "Press Uninstall Program to run the selected program's own uninstaller.",
  };
  std::string memoText;
  for (const std::string& line : introductionText.Lines) memoText += (memoText.empty() ? "" : "\r\n") + line;
  introductionText.SetText(memoText);
  Place(developersLine, &introductionSheet, 8, 84, 497, 13);
  Text(developersLine, "The Tidewell developers");
  developersLine.TextAlignment = TextAlign::kRight;

  // Accuracy.
  Place(accuracyIcons, &accuracySheet, 8, 4, 497, 26);
  Text(accuracyIcons,
       "The icons show whether an entry is good, but some uninstall strings cannot be tested "
       "reliably; that is what the Finder is for.");
  Place(accuracyFinder, &accuracySheet, 8, 34, 497, 26);
  Text(accuracyFinder,
       "Use the Finder to test each file named in an uninstall string. An entry whose file does not "
       "exist may be removed.");
  Place(accuracyRestore, &accuracySheet, 8, 64, 497, 26);
  Text(accuracyRestore, "An entry removed by accident can be restored from the Backups page.");

  // Status: the icons in the order Good Link, Missing Disk, Broken Link, as the list shows them.
  const struct {
    TImage* image;
    TLabel* label;
    int resource;
    const char* text;
  } rows[] = {
      {&goodLinkIcon, &goodLinkText, kIconGoodLink,
       "Good Link: each file named in the uninstall string was found. Use Uninstall Program to uninstall."},
      {&missingDiskIcon, &missingDiskText, kIconMissingDisk,
       "Missing Disk: the uninstall string names a file on a removable, CD, network or RAM drive, which "
       "is not looked at. The right disk may not be inserted."},
      {&brokenLinkIcon, &brokenLinkText, kIconBrokenLink,
       "Broken Link: the uninstaller was not found; or it is there but will fail, since a file its command "
       "names, its data file or the system installer's cached package is gone; or the system installer no "
       "longer knows the product. Check with the Finder before Remove Entry."},
  };
  int top = 3;
  for (const auto& row : rows) {
    // The Broken Link line names every kind, on three lines.
    const int height = row.label == &brokenLinkText ? 39 : 26;
    Place(*row.image, &statusSheet, 12, top, 17, 17);
    row.image->ResourceId = row.resource;
    Place(*row.label, &statusSheet, 36, top, 469, height);
    Text(*row.label, row.text);
    top += height + 1;
  }

  // Finder.
  Place(finderIntro, &finderSheet, 16, 3, 489, 13);
  Text(finderIntro, "Use this Finder to see if a file in the uninstall string exists on your computer.", false);
  Place(finderCommandCaption, &finderSheet, 16, 22, 78, 13);
  Text(finderCommandCaption, "Uninstall String:", false);
  Place(finderCommand, &finderSheet, 96, 19, 409, 21, 0);
  finderCommand.ReadOnly = true;
  Place(pasteButton, &finderSheet, 32, 43, 337, 17, 1);
  pasteButton.SetCaption("Paste Highlighted Text from Uninstall String to the Text Box below");
  Place(finderPath, &finderSheet, 16, 63, 305, 21, 2);
  Place(findButton, &finderSheet, 320, 64, 65, 21, 3);
  findButton.SetCaption("&Find");
  finderPath.DefaultButton = &findButton;
  Place(findResult, &finderSheet, 400, 43, 105, 42);
  findResult.SetCaption("Result");
  Place(lookedForLabel, &finderSheet, 16, 87, 489, 13);
  Text(lookedForLabel, "", false);

  // Change Uninstall String.
  Place(changeWarning, &changeSheet, 16, 4, 489, 26);
  Text(changeWarning,
       "For advanced users only. An entry can be bad because its program was moved, or because a "
       "temporary folder that held its uninstall information was deleted.");
  Place(changeHelp, &changeSheet, 16, 34, 489, 39);
  Text(changeHelp,
       "If that information exists elsewhere on your computer, change the uninstall string below to "
       "point at it and the entry will work again.");
  Place(commandBox, &changeSheet, 16, 76, 385, 21, 0);
  Place(saveButton, &changeSheet, 400, 76, 91, 21, 1);
  saveButton.SetCaption("Save Changes");
  saveButton.SetEnabled(false);

  // Backups: the files on the left with the buttons that act on a file, what the selected undo file
  // holds on the right, the entry's name and its state first.
  Place(backupFiles, &backupsSheet, 8, 4, 150, 52, 0);
  backupFiles.Hint = "The backups beside Tidewell.exe, and those marked (AppData) in %LOCALAPPDATA%\\Tidewell\\Backup, "
                  "where they go when the folder beside the program cannot be written";
  Place(restoreButton, &backupsSheet, 8, 59, 74, 17, 1);
  // T: R is Remove Entry's, under the list.
  restoreButton.SetCaption("Res&tore");
  restoreButton.Hint = "Puts back what the selected file holds: an undo file after a question, whatever it overwrites backed up first";
  Place(deleteFileButton, &backupsSheet, 84, 59, 74, 17, 2);
  deleteFileButton.SetCaption("&Delete File");
  Place(restoreSelectedButton, &backupsSheet, 8, 79, 150, 17, 4);
  restoreSelectedButton.SetCaption("Restore &Selected");
  restoreSelectedButton.Hint = "Puts back only the rows selected on the right; whatever they overwrite is backed up first";
  restoreSelectedButton.SetEnabled(false);
  Place(backupRows, &backupsSheet, 166, 4, 339, 78, 3);
  backupRows.Columns = {"Entry", "State", "Source", "When", "What", "Key"};
  backupRows.StatusIcons = false;
  backupRows.Hint = "What the selected undo file holds, one row for each removal or change; select the rows to put back";
  Place(backupSummary, &backupsSheet, 166, 84, 339, 13);
  Text(backupSummary, "", false);

  // All Entries.
  Place(allEntriesHelp, &allEntriesSheet, 8, 4, 177, 72);
  Text(allEntriesHelp,
       "Not every entry is shown in the list above, because some should not be removed. This list "
       "holds them all; the button below deletes the selected one.");
  // The sorted lists keep the system's order, in which an accented E sorts with the E's.
  const auto systemOrder = [this](const std::string& line) { return platform_.system.SortKey(line, true); };
  Place(entryKeys, &allEntriesSheet, 192, 0, 313, 71, 0);
  entryKeys.SortKeyOf = systemOrder;
  // The lines are key names; under them, the selected line's display name and command.
  Place(entryKeyDetail, &allEntriesSheet, 192, 73, 313, 26);
  Text(entryKeyDetail, "");
  Place(deleteKeyButton, &allEntriesSheet, 16, 80, 161, 17, 1);
  deleteKeyButton.SetCaption("&Delete an entry >>");

  // Installer List.
  Place(installerHelp, &installerSheet, 8, 4, 177, 72);
  Text(installerHelp,
       "Some items of the system installer's list end up in the list of installed programs. The "
       "installer's list is shown here; the button below removes the selected item.");
  Place(installerProducts, &installerSheet, 192, 0, 313, 71, 0);
  installerProducts.Hint = "Listbox";
  installerProducts.SortKeyOf = systemOrder;
  Place(deleteProductButton, &installerSheet, 16, 80, 161, 17, 1);
  Place(installerMarks, &installerSheet, 192, 73, 313, 26);
  Text(installerMarks, "[no entry]: no uninstall entry belongs to the product. [incomplete]: its registration lacks its name "
                "or its installed state.");
  deleteProductButton.SetCaption("&Delete an entry >>");

  // The notice under the pages and the panel at the bottom.
  Place(warrantyLine, nullptr, 8, 352, 521, 10);
  Text(warrantyLine, "Tidewell is an open-source project and comes with no warranty of any kind.", false);
  warrantyLine.TextAlignment = TextAlign::kRight;
  warrantyLine.Font = TFontSpec{"Small Fonts", 6, false, false, clWindowText};

  Place(bottomPanel, nullptr, 0, ClientHeight - 49, ClientWidth, 49);
  bottomPanel.Alignment = Align::kBottom;
  bottomPanel.Lowered = true;
  bottomPanel.SetColors(clWhite, clWindowText);
  Place(freeSoftwareLine, &bottomPanel, 8, 3, 73, 45);
  Text(freeSoftwareLine, "Free software by the Tidewell developers.");
  freeSoftwareLine.Font.size = 7;
  Place(mottoLine, &bottomPanel, 64, 3, 409, 20);
  Text(mottoLine, "Keep the list of installed programs honest.", false);
  mottoLine.TextAlignment = TextAlign::kCenter;
  mottoLine.Font = TFontSpec{"Arial", 10, true, true, clBlue};
  Place(helpLink, &bottomPanel, 96, 20, 345, 25);
  Text(helpLink, "Click here to read the Tidewell help page:\nwhat the icons mean, backups and the Finder.");
  helpLink.TextAlignment = TextAlign::kCenter;
  helpLink.HandCursor = true;
  helpLink.Hint = "Opens the Tidewell help page";
  Place(logo, &bottomPanel, 492, 4, 38, 42);
  logo.ResourceId = kPictureTidewell;
  AnchorControls();
}

void MainWindow::AnchorControls() {
  // The list takes the room a larger window gives; the filter box grows with its width; the rest
  // keeps to its edges.
  entryList.Anchors = kAnchorLeft | kAnchorTop | kAnchorRight | kAnchorBottom;
  filterBox.Anchors = kAnchorLeft | kAnchorTop | kAnchorRight;
  filterCount.Anchors = kAnchorTop | kAnchorRight;
  statusWhy.Anchors = kAnchorLeft | kAnchorRight | kAnchorBottom;
  for (TControl* control : {static_cast<TControl*>(&refreshButton), static_cast<TControl*>(&statusLine),
                            static_cast<TControl*>(&pageControl)})
    control->Anchors = kAnchorLeft | kAnchorBottom;
  statusLine.Anchors = kAnchorLeft | kAnchorRight | kAnchorBottom;
  for (TControl* control : {static_cast<TControl*>(&uninstallButton), static_cast<TControl*>(&removeButton),
                            static_cast<TControl*>(&warrantyLine), static_cast<TControl*>(&logo)})
    control->Anchors = kAnchorRight | kAnchorBottom;
  bottomPanel.Anchors = kAnchorLeft | kAnchorRight | kAnchorBottom;
  mottoLine.Anchors = helpLink.Anchors = kAnchorLeft | kAnchorRight | kAnchorTop;
  // The pages take their share of the room a larger window gives, and their lists and texts with them.
  // (Its top follows the list's bottom: the window moves it by the list's share.)
  const unsigned grows = kAnchorLeft | kAnchorTop | kAnchorRight | kAnchorBottom;
  pageControl.Anchors = grows;
  const unsigned widens = kAnchorLeft | kAnchorTop | kAnchorRight;
  const unsigned under = kAnchorLeft | kAnchorRight | kAnchorBottom;
  const unsigned below = kAnchorLeft | kAnchorBottom;
  for (TControl* control : {static_cast<TControl*>(&introductionText), static_cast<TControl*>(&backupRows),
                            static_cast<TControl*>(&entryKeys), static_cast<TControl*>(&installerProducts)})
    control->Anchors = grows;
  for (TControl* control : {static_cast<TControl*>(&accuracyIcons), static_cast<TControl*>(&accuracyFinder),
                            static_cast<TControl*>(&accuracyRestore), static_cast<TControl*>(&goodLinkText),
                            static_cast<TControl*>(&missingDiskText), static_cast<TControl*>(&brokenLinkText),
                            static_cast<TControl*>(&finderIntro), static_cast<TControl*>(&finderCommand),
                            static_cast<TControl*>(&lookedForLabel), static_cast<TControl*>(&changeWarning),
                            static_cast<TControl*>(&changeHelp), static_cast<TControl*>(&commandBox)})
    control->Anchors = widens;
  for (TControl* control : {static_cast<TControl*>(&developersLine), static_cast<TControl*>(&backupSummary),
                            static_cast<TControl*>(&entryKeyDetail), static_cast<TControl*>(&installerMarks)})
    control->Anchors = under;
  for (TControl* control : {static_cast<TControl*>(&restoreButton), static_cast<TControl*>(&deleteFileButton),
                            static_cast<TControl*>(&restoreSelectedButton), static_cast<TControl*>(&deleteKeyButton),
                            static_cast<TControl*>(&deleteProductButton)})
    control->Anchors = below;
  backupFiles.Anchors = kAnchorLeft | kAnchorTop | kAnchorBottom;
  findResult.Anchors = saveButton.Anchors = kAnchorTop | kAnchorRight;
}

std::vector<TControl*> MainWindow::Controls() {
  return {&entryList, &refreshButton,   &uninstallButton,   &removeButton,   &pageControl, &introductionSheet, &accuracySheet, &statusSheet,
          &finderSheet, &changeSheet, &backupsSheet, &allEntriesSheet, &installerSheet,    &introductionText,     &developersLine,    &accuracyIcons,
          &accuracyFinder,    &accuracyRestore,    &goodLinkIcon,    &missingDiskIcon,       &brokenLinkIcon,    &goodLinkText,   &missingDiskText,
          &brokenLinkText,   &finderIntro,   &finderCommandCaption,   &finderCommand,     &pasteButton,      &finderPath,     &findButton,   &findResult,    &lookedForLabel,
          &changeWarning,   &changeHelp,   &commandBox,     &saveButton,  &backupSummary,      &backupFiles,  &restoreButton,
          &deleteFileButton,   &allEntriesHelp,   &entryKeys,  &deleteKeyButton,   &installerHelp,      &installerProducts,  &deleteProductButton,   &warrantyLine,
          &bottomPanel,    &freeSoftwareLine,    &mottoLine,    &helpLink,    &logo,       &statusLine,   &filterBox,     &filterCount,
          &statusWhy,   &entryKeyDetail,   &installerMarks,   &backupRows, &restoreSelectedButton};
}

std::function<void()> MainWindow::Guarded(void (MainWindow::*handler)()) {
  return [this, handler] {
    try {
      (this->*handler)();
    } catch (const std::exception& error) {
      ShowException(error);
    }
  };
}

std::function<void(int)> MainWindow::Guarded(void (MainWindow::*handler)(int)) {
  return [this, handler](int argument) {
    try {
      (this->*handler)(argument);
    } catch (const std::exception& error) {
      ShowException(error);
    }
  };
}

void MainWindow::BindEvents() {
  entryList.OnClick = Guarded(&MainWindow::OnEntrySelected);
  entryList.OnKeyDown = Guarded(&MainWindow::OnEntryListKeyDown);
  entryList.OnMouseDown = Guarded(&MainWindow::OnEntryListMouseDown);
  entryList.OnSelectItem = Guarded(&MainWindow::OnEntrySelected);
  entryList.OnColumnClick = Guarded(&MainWindow::OnSortByColumn);
  filterBox.OnChange = Guarded(&MainWindow::OnFilterChange);
  entryList.OnContextMenu = Guarded(&MainWindow::OnEntryContextMenu);
  refreshButton.OnClick = Guarded(&MainWindow::OnRefreshList);
  uninstallButton.OnClick = Guarded(&MainWindow::OnUninstall);
  helpLink.OnClick = Guarded(&MainWindow::OnHelpLink);
  statusLine.OnClick = Guarded(&MainWindow::StatusLineClick);
  removeButton.OnClick = Guarded(&MainWindow::OnRemoveEntry);
  saveButton.OnClick = Guarded(&MainWindow::OnSaveChanges);
  deleteKeyButton.OnClick = Guarded(&MainWindow::OnDeleteKey);
  deleteProductButton.OnClick = Guarded(&MainWindow::OnDeleteProduct);
  finderCommand.OnClick = Guarded(&MainWindow::EditChange);
  finderPath.OnChange = Guarded(&MainWindow::EditChange);
  findButton.OnClick = Guarded(&MainWindow::OnFind);
  pasteButton.OnClick = Guarded(&MainWindow::OnPaste);
  backupFiles.OnClick = Guarded(&MainWindow::OnBackupFileClick);
  entryKeys.OnClick = Guarded(&MainWindow::OnEntryKeyClick);
  backupFiles.OnDblClick = Guarded(&MainWindow::OnRestore);
  restoreButton.OnClick = Guarded(&MainWindow::OnRestore);
  deleteFileButton.OnClick = Guarded(&MainWindow::OnDeleteFile);
  backupRows.OnClick = Guarded(&MainWindow::OnBackupRowsClick);
  backupRows.OnSelectItem = Guarded(&MainWindow::OnBackupRowsClick);
  restoreSelectedButton.OnClick = Guarded(&MainWindow::OnRestoreSelected);
}

void MainWindow::ShowException(const std::exception& error) {
  std::string text = error.what();
  if (text.empty() || text.back() != '.') text += '.';
  platform_.ui.ShowError(text);
}

void MainWindow::FormCreate() {
  WinDir = CheckPath(platform_.system.WindowsDirectory());
  SysDir = CheckPath(platform_.system.SystemDirectory());
  undo_.SetStem(UndoStemOf(platform_.system.Today()));
  Wow64 = platform_.system.IsWow64();
  FillListBox();
  EnableBackupButtons();
}

void MainWindow::OnEntrySelected() {
  const std::vector<Entry> selected = SelectedEntries();
  // With none selected the boxes keep the command they show; Save Changes waits for a selection.
  if (!selected.empty()) FillBoxes(selected.front());
  uninstallButton.SetEnabled(!removing_ && selected.size() == 1);
  removeButton.SetEnabled(!removing_);
  saveButton.SetEnabled(!removing_ && selected.size() == 1);
  ShowWhy();
}

void MainWindow::FillBoxes(const Entry& entry) {
  const bool edited = boxEntry_ && commandBox.Text() != boxCommand_;
  if (boxEntry_ == IdOf(entry)) {
    // The same entry: an edit not yet saved stays, unless the entry now holds that very command.
    if (edited && commandBox.Text() != entry.uninstallString) {
      finderCommand.SetText(entry.uninstallString);
      return;
    }
  } else if (edited) {
    // Another entry: the edit of the one before is saved or given up first, as the user says;
    // Cancel, the default, keeps the edit and its entry's row.
    const Entry* before = EntryOfId(*boxEntry_);
    const int answer =
        before ? platform_.ui.AskWithButtons("The uninstall command of " + ShownName(*before) + " (" +
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
  if (boxEntry_ != IdOf(entry)) EditChange();
  boxEntry_ = IdOf(entry);
  boxCommand_ = entry.uninstallString;
  finderCommand.SetText(entry.uninstallString);
  commandBox.SetText(entry.uninstallString);
}

void MainWindow::ReselectEditedEntry(const Entry& entry) {
  for (std::size_t i = 0; i < Entries.size() && i < rowOfEntry_.size(); ++i) {
    if (IdOf(Entries[i]) != IdOf(entry) || rowOfEntry_[i] < 0) continue;
    entryList.SelectRows({rowOfEntry_[i]});
    entryList.MakeVisible();
    break;
  }
  finderCommand.SetText(entry.uninstallString);
  ShowWhy();
}

const Entry* MainWindow::EntryOfId(const EntryId& id) const {
  for (const Entry& entry : Entries)
    if (IdOf(entry) == id) return &entry;
  return nullptr;
}

void MainWindow::OnEntryListKeyDown(int key) {
  EnableBackupButtons();
  // Delete removes the selected entries, after the question.
  constexpr int kVkDelete = 0x2E;
  if (key == kVkDelete) OnRemoveEntry();
}

void MainWindow::OnEntryListMouseDown() { EnableBackupButtons(); }

void MainWindow::OnRefreshList() { FillListBox(); }

void MainWindow::OnEntryKeyClick() {
  const int data = entryKeys.ItemData(entryKeys.ItemIndex());
  if (data < 0 || data >= static_cast<int>(Entries.size())) {
    entryKeyDetail.SetCaption("");
    return;
  }
  const Entry& entry = Entries[static_cast<size_t>(data)];
  const auto or_none = [](const std::string& text) { return text.empty() ? std::string("(none)") : text; };
  entryKeyDetail.SetCaption("Display name: " + or_none(entry.displayName) + "\nCommand: " + or_none(entry.uninstallString));
}

void MainWindow::EnableBackupButtons() {
  const bool selected = backupFiles.ItemIndex() != -1;
  restoreButton.SetEnabled(selected && !removing_);
  deleteFileButton.SetEnabled(selected);
}

std::string MainWindow::CheckPath(const std::string& text) const {
  if (text.empty() || text.back() == '\\') return text;
  return text + "\\";
}
