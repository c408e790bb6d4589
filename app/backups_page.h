#pragma once
// The Backups page: the backup files on the left with the buttons that act on a file, what the
// selected undo file holds on the right, one row per command's backup, and Restore Selected.
#include <string>
#include <vector>

#include "app/controls.h"
#include "restore/undo_reader.h"

class MainWindow;

class BackupsPage {
 public:
  explicit BackupsPage(MainWindow& window);

  TTabSheet sheet{"backupsSheet"};
  TListBox files{"backupFiles", false};
  TButton restoreButton{"restoreButton"}, deleteFileButton{"deleteFileButton"};
  TListView rows{"backupRows"};
  TButton restoreSelectedButton{"restoreSelectedButton"};
  TLabel summary{"backupSummary"};

  void Build();
  void AddControls(std::vector<TControl*>* controls);
  // The folder Backup beside the program, and the user's own for when that cannot be written.
  const std::string& ProgramFolder() const { return programFolder_; }
  const std::string& UserFolder() const { return userFolder_; }

  // The files of both folders listed again, none selected.
  void Refill();
  // Restore and Delete File follow the selected file.
  void EnableButtons();
  // A click on a backup file: the buttons follow it, and the backups an undo file holds are listed
  // with the state of each one's entry in the registry now.
  void OnFileClick();
  // Selects the line of the file, as a click does; false when it is not listed.
  bool SelectFile(const std::string& file);
  // Restore: an undo file as RestoreUndoFile restores it, a hive backup loaded back.
  void OnRestore();
  void OnDeleteFile();
  // The chosen backups changed: Restore Selected follows them.
  void OnRowsClick();
  // Restore Selected: asks, naming the chosen backups, then puts them back one after another in
  // the file's order, whatever each overwrites written to the day's undo file first; says what was
  // restored and what not, and reads the lists again.
  void OnRestoreSelected();

 private:
  // The file of the selected line; empty when none is selected.
  std::string SelectedFile() const;
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

  MainWindow& window_;
  const std::string programFolder_;
  const std::string userFolder_;
  // The file of each line (its Data).
  std::vector<std::string> filePaths_;
  // The undo file whose backups are listed, and those backups in the file's order (the rows' Data).
  std::string undoRecordsFile_;
  std::vector<UndoRecord> undoRecords_;
};
