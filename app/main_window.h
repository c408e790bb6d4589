#pragma once
// MainWindow: the program's one window, its controls as fields and its logic as methods.
#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/controls.h"
#include "backup/product_registration.h"
#include "backup/removal_outcome.h"
#include "backup/undo_file.h"
#include "inventory/entry.h"
#include "inventory/inventory.h"
#include "inventory/status.h"
#include "inventory/status_worker.h"
#include "platform/platform.h"
#include "restore/undo_reader.h"
#include "tidewell_version.h"


inline constexpr const char* kApplicationTitle = "Tidewell";
inline constexpr const char* kWindowCaption = "Tidewell v." TIDEWELL_VERSION;
inline constexpr const char* kNoItems = "-- No Items --";
inline constexpr const char* kSelectFirst = "Please select an item from the list first.";
// What a removal's question says of an entry whose uninstaller is there.
inline constexpr const char* kUninstallerExists =
    "Its uninstaller exists: removing the entry leaves the program installed, with no way to uninstall it from "
    "this list.";
// The image of a row whose status is still being checked, after the three status icons.
inline constexpr int kCheckingImage = 3;


// The status column's text for an entry whose check is still to come.
inline constexpr const char* kCheckingText = "Checking";
// What the Backups page adds to the name of a file in the user's own backup folder.
inline constexpr const char* kUserBackupMark = " (AppData)";

class MainWindow {
 public:
  explicit MainWindow(const platform::Platform& platform);
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Window design.
  int ClientLeft = 215, ClientTop = 117, ClientWidth = 536, ClientHeight = 414;
  std::string Caption = kWindowCaption;
  // Every control, parents before children, in creation order.
  std::vector<TControl*> Controls();

  // The filter box above the list, the count beside it, and the line under the list that says why
  // the selected entry has its status.
  TEdit filterBox{"filterBox"};
  TLabel filterCount{"filterCount"};
  TListView entryList{"entryList"};
  TLabel statusWhy{"statusWhy"};
  TButton refreshButton{"refreshButton"};
  TButton uninstallButton{"uninstallButton"};
  TButton removeButton{"removeButton"};
  TPageControl pageControl{"pageControl"};
  TTabSheet introductionSheet{"introductionSheet"}, accuracySheet{"accuracySheet"}, statusSheet{"statusSheet"}, finderSheet{"finderSheet"},
      changeSheet{"changeSheet"}, backupsSheet{"backupsSheet"}, allEntriesSheet{"allEntriesSheet"}, installerSheet{"installerSheet"};
  // Introduction
  TMemo introductionText{"introductionText"};
  TLabel developersLine{"developersLine"};
  // Accuracy
  TLabel accuracyIcons{"accuracyIcons"}, accuracyFinder{"accuracyFinder"}, accuracyRestore{"accuracyRestore"};
  // Status
  TImage goodLinkIcon{"goodLinkIcon"}, missingDiskIcon{"missingDiskIcon"}, brokenLinkIcon{"brokenLinkIcon"};
  TLabel goodLinkText{"goodLinkText"}, missingDiskText{"missingDiskText"}, brokenLinkText{"brokenLinkText"};
  // Finder
  TLabel finderIntro{"finderIntro"}, finderCommandCaption{"finderCommandCaption"};
  TEdit finderCommand{"finderCommand"};
  TButton pasteButton{"pasteButton"};
  TEdit finderPath{"finderPath"};
  TButton findButton{"findButton"};
  TPanel findResult{"findResult"};
  // The path Find looked for, when the typed text's variables made it another.
  TLabel lookedForLabel{"lookedForLabel"};
  // Change Uninstall String
  TLabel changeWarning{"changeWarning"}, changeHelp{"changeHelp"};
  TEdit commandBox{"commandBox"};
  TButton saveButton{"saveButton"};
  // Backups: the files, and what the selected undo file holds, one row per command's backup, with
  // the button that restores the chosen rows and a line that sums the file up.
  TListBox backupFiles{"backupFiles", false};
  TButton restoreButton{"restoreButton"}, deleteFileButton{"deleteFileButton"};
  TListView backupRows{"backupRows"};
  TButton restoreSelectedButton{"restoreSelectedButton"};
  TLabel backupSummary{"backupSummary"};
  // All Entries; entryKeyDetail shows the selected line's display name and command.
  TLabel allEntriesHelp{"allEntriesHelp"};
  TListBox entryKeys{"entryKeys", true};
  TButton deleteKeyButton{"deleteKeyButton"};
  TLabel entryKeyDetail{"entryKeyDetail"};
  // Installer List; installerMarks says what the lines' marks mean.
  TLabel installerHelp{"installerHelp"};
  TListBox installerProducts{"installerProducts", true};
  TButton deleteProductButton{"deleteProductButton"};
  TLabel installerMarks{"installerMarks"};
  // The line under the list that tells how the status checks are going.
  TLabel statusLine{"statusLine"};
  // Bottom
  TLabel warrantyLine{"warrantyLine"};
  TPanel bottomPanel{"bottomPanel"};
  TLabel freeSoftwareLine{"freeSoftwareLine"}, mottoLine{"mottoLine"}, helpLink{"helpLink"};
  TImage logo{"logo"};

  // Start-up, selection and refresh.
  void FormCreate();
  // The selection changed, however: the boxes follow it, and the buttons that act on one entry.
  void OnEntrySelected();
  void OnEntryListKeyDown(int key);
  void OnEntryListMouseDown();
  void OnRefreshList();
  void EnableBackupButtons();
  // The line under All Entries: the selected line's display name and command.
  void OnEntryKeyClick();
  std::string CheckPath(const std::string& text) const;

  // The scan.
  void FillListBox();
  // Starts reading the entries and products on a thread of their own for the next scan to take, so
  // that the first scan's reading and the making of the window go on at the same time.
  void ReadInventoryAhead();
  // What the last scan found: every entry key and installer product, which the lists' rows and
  // lines stand for (their Data).
  std::vector<Entry> Entries;
  std::vector<Product> Products;
  // The entries of the main list's selected rows, in the list's order: what every command of the
  // buttons, keys and context menu acts on.
  std::vector<Entry> SelectedEntries() const;
  // An entry's identity from scan to scan: where it lives and its key name.
  struct EntryId {
    Source source;
    std::string keyName;
    bool operator==(const EntryId&) const = default;
  };
  static EntryId IdOf(const Entry& entry) { return {entry.source, entry.keyName}; }
  std::vector<EntryId> SelectedEntryIds() const;
  // Fills the main list with the listed entries that pass the filter, in the chosen order, and
  // selects the entries of `keep` that are shown, or else the row at `position`.
  void ShowEntries(const std::vector<EntryId>& keep, int position);
  bool EntryMatchesFilter(const Entry& entry) const;
  void SortEntries();
  // A click on a column's header sorts by it; a second click turns the order round.
  void OnSortByColumn(int column);
  // Typing in the filter box narrows the list at once.
  void OnFilterChange();
  // Removes the selected entries after one question that lists them, one after another, each
  // backed up first; the first that fails stops the rest, and one message says what was removed.
  void RemoveSelectedEntries();
  // Selects exactly the Broken Link entries shown.
  void SelectBrokenLinks();
  // The line under the list: why the selected entry has its status.
  void ShowWhy();
  // The list's context menu and its commands on the selected entry.
  void OnEntryContextMenu();
  void TestInFinder();
  void CopyCommand();
  void OpenKeyInRegistryEditor();
  // A click on the status line: the Backups page, at the undo file its notice names.
  void StatusLineClick();
  void OpenUninstallerFolder();
  // 64-bit Windows (the program runs in its 32-bit subsystem), set by FormCreate.
  bool Wow64 = false;
  // Only the scan benchmark turns this off, to weigh the status checks against the rest of a scan.
  bool CheckEntryStatus = true;
  // The window lists every entry at once and checks their statuses on a worker thread, each row
  // showing the clock until its status is known; without a window (tests, scripts) the scan checks
  // every entry before it returns.
  bool CheckInBackground = false;
  // A result of the worker for the command it checked, on the window's thread; entry -1: all are
  // checked. A result for a command that the entry no longer holds is dropped, and the command it
  // holds is checked instead.
  void StatusChecked(int entry, const std::string& command, const StatusResult& result);
  // Stops the running checks: no result of theirs reaches the lists afterwards.
  void CancelChecks();
  // How many listed entries still wait for their status.
  int ChecksPending() const { return checksPending_ > 0 ? checksPending_ - checksDone_ : 0; }
  // After a batch of results: the rows they changed are redrawn at once, and the line counts on.
  void StatusesDelivered();
  // Where the last scan's time went, for the scan benchmark: reading the lists, and its checks.
  struct ScanTimings {
    std::chrono::steady_clock::duration reading{};
    StatusWorker::Timings checks;
  };
  ScanTimings ScanTimed() const;

  // Finder page.
  void OnPaste();
  void OnFind();
  void EditChange();

  // Entry commands.
  void OnRemoveEntry();
  void OnDeleteKey();
  void OnSaveChanges();
  void OnDeleteProduct();
  // Asks, naming the entry, then removes it (a copy: the scan after it replaces the entries). For a
  // Broken Link entry of an installer's product that the installer still registers, the question
  // offers the product's whole registration instead.
  void RemoveEntry(Entry entry);
  // Asks, naming the product and counting what of it goes from where, then removes the installer
  // product's whole registration, backed up first; `shownName` names it as the list showed it.
  void RemoveInstallerRegistration(const std::string& productCode, const std::string& shownName);
  // The product of the one selected entry, when the installer still registers it: what the context
  // menu's Remove Installer Registration acts on; empty otherwise.
  std::string SelectedRegisteredProduct() const;
  // Where the installer's keys are for this program and user.
  InstallerPlaces Places() const { return {Wow64, platform_.system.CurrentUserSid()}; }
  // The entries whose last removal left something of them in the registry: the main list keeps
  // them, by their key name once their display name is gone, for as long as they are there.
  std::vector<EntryId> PartlyRemoved;
  bool IsPartlyRemoved(const Entry& entry) const;
  // The main list shows an entry with a display name and an uninstall command, and a partly
  // removed one.
  bool ShownInMainList(const Entry& entry) const { return entry.Listed() || IsPartlyRemoved(entry); }

  // Backups page. Restore: an undo file as RestoreUndoFile restores it, a hive backup loaded back.
  void OnRestore();
  void OnDeleteFile();
  // A click on a backup file: the buttons follow it, and the backups an undo file holds are listed
  // with the state of each one's entry in the registry now.
  void OnBackupFileClick();
  // The chosen backups changed: Restore Selected follows them.
  void OnBackupRowsClick();
  // Restore Selected: asks, naming the chosen backups, then puts them back one after another in the
  // file's order, whatever each overwrites written to the day's undo file first; says what was
  // restored and what not, and reads the lists again.
  void OnRestoreSelected();

  // Uninstaller launch and web link.
  void OnUninstall();
  void OnHelpLink();

  // The application's default error display: the text with a period added, error icon.
  void ShowException(const std::exception& error);

  // Window fields set by FormCreate.
  std::string WinDir;
  std::string SysDir;

  // The executable's folder, ending in a backslash.
  std::string ExeFolder() const;
  // The day's undo files, named by FormCreate after the day the window was made.
  UndoFile& Undo() { return undo_; }
  const UndoFile& Undo() const { return undo_; }

  const platform::Platform& Platform() const { return platform_; }

 private:
  void BuildDesign();
  void AnchorControls();
  void BindEvents();
  // Wraps a handler so that an exception it lets escape is shown and the program goes on.
  std::function<void()> Guarded(void (MainWindow::*handler)());
  std::function<void(int)> Guarded(void (MainWindow::*handler)(int));
  void RefillBackupList();
  // The file of the Backups page's selected line; empty when none is selected.
  std::string SelectedBackupFile() const;

  void StartChecks(std::vector<StatusJob> jobs);
  void ShowCheckProgress();
  // The status line: the outcome of the last command, then the checks' progress.
  std::string WithNotice(const std::string& progress) const;
  void ShowNotice();
  // Runs the removal of the entry, remembering whether it left something behind.
  RemovalOutcome RemoveEntryKey(const Entry& entry);
  // Set while several entries are being removed: the window's messages go on meanwhile, and the
  // buttons that change the registry stay disabled, whatever the selection.
  bool removing_ = false;
  // The buttons whose commands change the registry.
  std::vector<TButton*> RegistryButtons();
  // Shows the entry's command in the Finder's and Change Uninstall String's boxes; an edit of another
  // entry's command not yet saved is saved or given up first, after a question.
  void FillBoxes(const Entry& entry);
  // The entry whose command the box holds, edited, is selected again, its row alone.
  void ReselectEditedEntry(const Entry& entry);
  const Entry* EntryOfId(const EntryId& id) const;
  // Stores the command as the entry's (backed up first) and shows it in the entry's row, with its
  // status checked again; says so on the status line.
  void SaveCommand(Entry entry, const std::string& command);
  // The entry's name in quotes, as messages name it.
  // The error of a new command that another account's hive file did not keep.
  static std::string NotKeptMessage(const Entry& entry);
  // The status line's word on a saved command, naming the undo file that holds the old one, which a
  // click on it opens.
  void NoteSaved(const Entry& entry, const std::string& undoFile);
  static std::string ShownName(const Entry& entry);

  platform::Platform platform_;
  std::string exeFolder_;
  // The folder Backup beside the program, and the user's own for when that cannot be written.
  const std::string programBackups_;
  const std::string userBackups_;
  UndoFile undo_;
  // The file of each line of the Backups page (its Data).
  std::vector<std::string> backupFilePaths_;
  // The undo file whose backups the Backups page lists, and those backups in the file's order (the
  // rows' Data).
  std::string undoRecordsFile_;
  std::vector<UndoRecord> undoRecords_;
  void ShowUndoRecords(const std::string& file);
  void ClearUndoRecords();
  // Restore of a whole undo file: asks, naming it and how many backups it puts back, then restores
  // every one as Restore Selected does. A file that the reader cannot read whole goes to MergeUndoFile.
  void RestoreUndoFile(const std::string& file);
  // Says why the file cannot be restored with a backup, and hands it to the registry editor only
  // when the user says so, warned that what the merge overwrites is not backed up.
  void MergeUndoFile(const std::string& file, const std::string& why);
  // Puts back the chosen backups (indexes into `records`, in the file's order) one after another,
  // whatever each overwrites written to the day's undo file first; reads the lists again, keeps the
  // file selected and says what was restored, what not and why, and where what it replaced went.
  void RestoreBackups(const std::vector<UndoRecord>& records, const std::vector<int>& chosen, const std::string& file);
  // Selects the Backups page's line of the file, as a click does; false when it is not listed.
  bool SelectBackupFile(const std::string& file);
  // The entry whose command the boxes were filled from, and that command.
  std::optional<EntryId> boxEntry_;
  std::string boxCommand_;
  // What the status line says before the checks' progress: the outcome of the last command.
  std::string notice_;
  // The undo file that the notice names as where its backup went; empty when it names none.
  std::string noticeFile_;
  // The other accounts whose lists the last scan could not read, with why.
  std::string accountsNotRead_;
  // The main list's row of each entry of the last scan (-1: not listed).
  std::vector<int> rowOfEntry_;
  // The rows whose status came in the batch of results being delivered.
  std::vector<int> rowsChecked_;
  std::chrono::steady_clock::duration readingTime_{};
  int checksPending_ = 0;
  int checksDone_ = 0;
  int brokenFound_ = 0;
  int missingFound_ = 0;
  int uncheckedFound_ = 0;
  // Tells a posted start of the checks whether it still belongs to the last scan and the window.
  int checkGeneration_ = 0;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
  // What ReadInventoryAhead is reading, and how long that took; the next scan takes it.
  std::future<std::pair<Inventory, std::chrono::steady_clock::duration>> inventoryAhead_;
  // Last, so that their threads are stopped before anything they report to goes. A cancelled
  // worker is kept until its threads end, so that cancelling never waits for a check.
  std::unique_ptr<StatusWorker> statusWorker_;
  std::vector<std::unique_ptr<StatusWorker>> retiredWorkers_;
};
