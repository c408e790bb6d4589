// The Backups page: the files of both backup folders, what the selected undo file holds, and
// Restore, Restore Selected and Delete File: the page takes the chosen rows or the file, asks, and
// hands each backup to the restore unit.
#include "app/backups_page.h"

#include <algorithm>
#include <exception>
#include <string>
#include <vector>

#include "app/design.h"
#include "app/main_window.h"
#include "backup/undo_file.h"
#include "restore/backups_page.h"
#include "restore/undo_restore.h"

namespace {

constexpr const char* kRestoreSelectedQuestion = "Restore these backups? Whatever they overwrite goes to the day's undo file first.";
constexpr const char* kRestoreSelectedCaption = "Restore Selected?";
constexpr const char* kRestoreFileQuestion =
    "Restore every backup in this undo file? Whatever they overwrite goes to the day's undo file first.";
constexpr const char* kRestoreFileCaption = "Restore File?";
constexpr const char* kMergeFileCaption = "Merge File?";
constexpr const char* kDeleteFileQuestion = "Are you sure you want to delete this backup file? It cannot be restored afterwards.";
constexpr const char* kDeleteFileCaption = "Delete File?";

std::string Counted(size_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

// A backup as the question and the messages name it: its entry's name and list, and its line.
std::string RecordNamed(const UndoRecord& record, bool wow64) {
  const RecordTarget target = TargetOf(record, wow64);
  std::string name = record.keys.empty() ? "no key" : RecordName(record, target);
  if (!target.source.empty()) name += " (" + target.source + ")";
  return name + ", line " + std::to_string(record.line);
}

// The tip of a backup's row: where it begins, its key and how much it holds, or why it cannot be read.
std::string RecordHint(const UndoRecord& record) {
  std::string hint = "Line " + std::to_string(record.line);
  if (record.comment) hint += ", " + record.comment->when;
  if (!record.Readable()) return hint + ": cannot be read, " + UnreadableText(record);
  size_t values = 0;
  for (const UndoKeyLines& key : record.keys) values += key.values.size();
  return hint + ": " + record.rootName + record.keys.front().path + ", " + Counted(record.keys.size(), "key", "keys") +
         " and " + Counted(values, "value", "values");
}

std::string Joined(const std::vector<std::string>& items, const char* separator) {
  std::string text;
  for (const std::string& item : items) text += (text.empty() ? "" : separator) + item;
  return text;
}

// Why the restore would put back less of the file than the registry editor merges: the reader
// refuses the file, a backup of it, or lines outside them. Empty when it reads every line.
std::string WhyNotReadWhole(const UndoContents& contents) {
  if (!contents.problem.empty()) return contents.problem;
  std::vector<std::string> why;
  if (contents.skippedLines > 0) {
    why.push_back("it holds " + Counted(static_cast<size_t>(contents.skippedLines), "line", "lines") +
                  " outside its backups that cannot be read, " + (contents.skippedLines == 1 ? "at" : "the first at") +
                  " line " + std::to_string(contents.firstSkippedLine));
  }
  const auto unreadable = std::count_if(contents.records.begin(), contents.records.end(),
                                        [](const UndoRecord& record) { return !record.Readable(); });
  const auto first = std::find_if(contents.records.begin(), contents.records.end(),
                                  [](const UndoRecord& record) { return !record.Readable(); });
  if (first != contents.records.end()) {
    std::string text = unreadable == 1 ? "the backup at line " + std::to_string(first->line) + " cannot be read at "
                                       : std::to_string(unreadable) + " of its backups cannot be read, the first (line " +
                                             std::to_string(first->line) + ") at ";
    text += UnreadableText(*first);
    if (static_cast<size_t>(unreadable) < contents.records.size())
      text += ". Restore Selected puts back its other backups, backing up what they overwrite";
    why.push_back(text);
  }
  return Joined(why, "; ");
}

std::string WithoutFinalPeriod(std::string text) {
  if (!text.empty() && text.back() == '.') text.pop_back();
  return text;
}

}  // namespace

BackupsPage::BackupsPage(MainWindow& window)
    : window_(window),
      programFolder_(BackupFolderOf(window.Platform().system.ExecutablePath())),
      userFolder_(UserBackupFolder(window.Platform().files)) {}

void BackupsPage::Build() {
  // The files on the left with the buttons that act on a file, what the selected undo file holds on
  // the right, the entry's name and its state first.
  Place(files, &sheet, 8, 4, 150, 52, 0);
  files.Hint = "The backups beside Tidewell.exe, and those marked (AppData) in %LOCALAPPDATA%\\Tidewell\\Backup, "
               "where they go when the folder beside the program cannot be written";
  Place(restoreButton, &sheet, 8, 59, 74, 17, 1);
  // T: R is Remove Entry's, under the list.
  restoreButton.SetCaption("Res&tore");
  restoreButton.Hint = "Puts back what the selected file holds: an undo file after a question, whatever it overwrites backed up first";
  Place(deleteFileButton, &sheet, 84, 59, 74, 17, 2);
  deleteFileButton.SetCaption("&Delete File");
  Place(restoreSelectedButton, &sheet, 8, 79, 150, 17, 4);
  restoreSelectedButton.SetCaption("Restore &Selected");
  restoreSelectedButton.Hint = "Puts back only the rows selected on the right; whatever they overwrite is backed up first";
  restoreSelectedButton.SetEnabled(false);
  Place(rows, &sheet, 166, 4, 339, 78, 3);
  rows.Columns = {"Entry", "State", "Source", "When", "What", "Key"};
  rows.StatusIcons = false;
  rows.Hint = "What the selected undo file holds, one row for each removal or change; select the rows to put back";
  Place(summary, &sheet, 166, 84, 339, 13);
  Text(summary, "", false);
  files.Anchors = kAnchorLeft | kAnchorTop | kAnchorBottom;
  rows.Anchors = kGrows;
  summary.Anchors = kUnder;
  restoreButton.Anchors = deleteFileButton.Anchors = restoreSelectedButton.Anchors = kBelow;
}

void BackupsPage::AddControls(std::vector<TControl*>* controls) {
  controls->insert(controls->end(),
                   {&summary, &files, &restoreButton, &deleteFileButton, &rows, &restoreSelectedButton});
}

void BackupsPage::Refill() {
  ClearUndoRecords();
  files.Clear();
  BulkUpdate<TListBox> update(files);
  filePaths_.clear();
  // The files beside the program, then the user's own, each of those marked as such.
  const std::pair<const std::string*, const char*> folders[] = {{&programFolder_, ""}, {&userFolder_, kUserBackupMark}};
  for (const auto& [folder, mark] : folders) {
    if (folder->empty() || (mark[0] && *folder == programFolder_)) continue;
    for (const std::string& name : BackupFileNames(window_.Platform().files, *folder)) {
      files.Add(name + mark, static_cast<int>(filePaths_.size()));
      filePaths_.push_back(*folder + "\\" + name);
    }
  }
}

void BackupsPage::EnableButtons() {
  const bool selected = files.ItemIndex() != -1;
  restoreButton.SetEnabled(selected && !window_.commands.Busy());
  deleteFileButton.SetEnabled(selected);
}

std::string BackupsPage::SelectedFile() const {
  const int data = files.ItemData(files.ItemIndex());
  return data >= 0 && data < static_cast<int>(filePaths_.size()) ? filePaths_[static_cast<size_t>(data)] : "";
}

void BackupsPage::OnRestore() {
  const std::string file = SelectedFile();
  if (file.empty()) return;
  if (IsRegistryTextFile(file)) {
    RestoreUndoFile(file);
    return;
  }
  const platform::Platform& platform = window_.Platform();
  const std::string message = RestoreBackup(platform, window_.Undo(), window_.ExeFolder(), file, window_.Wow64);
  if (!message.empty()) platform.ui.ShowMessage(message);
  window_.FillListBox();
}

void BackupsPage::OnDeleteFile() {
  const std::string file = SelectedFile();
  if (file.empty()) return;
  const platform::Platform& platform = window_.Platform();
  if (platform.ui.AskMessageBox(std::string(kDeleteFileQuestion) + "\n\n" + file, kDeleteFileCaption,
                                platform::kMbYesNo | platform::kMbIconWarning | platform::kMbDefButton2) !=
      platform::kIdYes)
    return;
  const std::string failure = DeleteBackupFile(platform.files, file);
  if (!failure.empty()) platform.ui.ShowMessage(failure);
  Refill();
  EnableButtons();
}

void BackupsPage::OnFileClick() {
  EnableButtons();
  ShowUndoRecords(SelectedFile());
}

void BackupsPage::ClearUndoRecords() {
  undoRecordsFile_.clear();
  undoRecords_.clear();
  rows.Clear();
  restoreSelectedButton.SetEnabled(false);
  summary.SetCaption("");
}

void BackupsPage::ShowUndoRecords(const std::string& file) {
  const platform::Platform& platform = window_.Platform();
  ClearUndoRecords();
  if (file.empty()) return;
  if (!IsRegistryTextFile(file)) {
    summary.SetCaption("A hive backup of one entry: Restore puts it back whole.");
    return;
  }
  UndoContents contents = ReadUndoFile(platform.files, platform.system, file);
  if (!contents.problem.empty()) {
    summary.SetCaption("Its backups cannot be listed: " + contents.problem + ".");
    return;
  }
  undoRecordsFile_ = file;
  undoRecords_ = std::move(contents.records);
  std::vector<int> unreadable;
  {
    // Other accounts' keys are read in their hives, loaded while the blocks are listed.
    const RecordHives hives(platform.registry, platform.system, platform.files, undoRecords_, window_.Wow64);
    BulkUpdate<TListView> update(rows);
    for (size_t i = 0; i < undoRecords_.size(); ++i) {
      const UndoRecord& record = undoRecords_[i];
      const RecordTarget target = TargetOf(record, window_.Wow64);
      const RecordState state = StateOf(platform.registry, record, window_.Wow64);
      std::string stateText = StateName(state);
      if (state == RecordState::kUnreadable) {
        unreadable.push_back(record.unreadableLine);
        stateText += " (line " + std::to_string(record.unreadableLine) + ")";
      }
      TListItem& item = rows.Item(rows.Add());
      const std::string when = record.comment ? record.comment->when : "";
      item.Caption = record.keys.empty() ? "" : RecordName(record, target);
      // The file is the day's: the time of day says when.
      item.SubItems = {stateText, target.source, when.size() > 11 ? when.substr(11) : when, RecordWhat(record),
                       target.keyName};
      item.Data = static_cast<int>(i);
      item.Hint = RecordHint(record);
    }
  }
  std::string text = Counted(undoRecords_.size(), "backup", "backups");
  if (!unreadable.empty()) {
    text += ", " + std::to_string(unreadable.size()) + " unreadable (line " + std::to_string(unreadable.front()) +
            (unreadable.size() > 1 ? ", ..." : "") + ")";
  }
  if (contents.skippedLines > 0)
    text += "; " + Counted(static_cast<size_t>(contents.skippedLines), "line", "lines") + " outside them skipped (line " +
            std::to_string(contents.firstSkippedLine) + ")";
  summary.SetCaption(text + ".");
}

void BackupsPage::OnRowsClick() { restoreSelectedButton.SetEnabled(!window_.commands.Busy() && !rows.SelectedRows().empty()); }

bool BackupsPage::SelectFile(const std::string& file) {
  for (int line = 0; line < files.Count(); ++line) {
    const int data = files.ItemData(line);
    if (data < 0 || data >= static_cast<int>(filePaths_.size()) || filePaths_[static_cast<size_t>(data)] != file)
      continue;
    files.SetItemIndex(line);
    OnFileClick();
    return true;
  }
  return false;
}

void BackupsPage::OnRestoreSelected() {
  const platform::Platform& platform = window_.Platform();
  std::vector<int> chosen;
  for (int row : rows.SelectedRows()) {
    const int data = row >= 0 && row < rows.Count() ? rows.Item(row).Data : -1;
    if (data >= 0 && data < static_cast<int>(undoRecords_.size())) chosen.push_back(data);
  }
  if (chosen.empty()) {
    platform.ui.ShowMessage(kSelectFirst);
    return;
  }
  // In the file's order: a later backup of the same entry is the later state.
  std::sort(chosen.begin(), chosen.end());
  const std::vector<UndoRecord> records = undoRecords_;
  const std::string file = undoRecordsFile_;
  std::vector<std::string> names;
  for (int index : chosen) {
    const UndoRecord& record = records[static_cast<size_t>(index)];
    names.push_back(RecordNamed(record, window_.Wow64) + (record.Readable() ? "" : " (cannot be read: it stays as it is)"));
  }
  if (platform.ui.AskWithList(kRestoreSelectedQuestion, kRestoreSelectedCaption, names) != platform::kIdYes) return;
  RestoreBackups(records, chosen, file);
}

void BackupsPage::RestoreUndoFile(const std::string& file) {
  const platform::Platform& platform = window_.Platform();
  const std::uint32_t attributes = platform.files.Attributes(file);
  if (attributes == platform::kInvalidFileAttributes || (attributes & platform::kFileAttributeDirectory)) {
    // Gone meanwhile: the list read again shows it.
    window_.FillListBox();
    return;
  }
  const UndoContents contents = ReadUndoFile(platform.files, platform.system, file);
  const std::string why = WhyNotReadWhole(contents);
  if (!why.empty()) {
    MergeUndoFile(file, why);
    return;
  }
  if (contents.records.empty()) {
    platform.ui.ShowMessage(file + " holds no backups: nothing was restored.");
    return;
  }
  size_t absent = 0, different = 0, unknown = 0;
  {
    const RecordHives hives(platform.registry, platform.system, platform.files, contents.records, window_.Wow64);
    for (const UndoRecord& record : contents.records) {
      const RecordState state = StateOf(platform.registry, record, window_.Wow64);
      if (state == RecordState::kAbsent) ++absent;
      else if (state == RecordState::kNotLoaded) ++unknown;
      else if (state != RecordState::kPresent) ++different;
    }
  }
  const size_t present = contents.records.size() - absent - different - unknown;
  if (present == contents.records.size()) {
    platform.ui.ShowMessage("Everything in " + file + " is in the registry already: nothing was restored.");
    return;
  }
  std::vector<std::string> parts;
  if (absent > 0) parts.push_back(std::to_string(absent) + " absent now");
  if (different > 0) parts.push_back(std::to_string(different) + " present but different");
  if (unknown > 0) parts.push_back(std::to_string(unknown) + " of accounts whose lists cannot be read now");
  std::string what = "It puts back " + std::to_string(absent + different + unknown) + " of its " +
                     Counted(contents.records.size(), "backup", "backups") + ": " + Joined(parts, ", ");
  if (present > 0) what += "; " + std::to_string(present) + (present == 1 ? " is" : " are") + " in the registry already";
  if (platform.ui.AskMessageBox(std::string(kRestoreFileQuestion) + "\n\n" + file + "\n\n" + what + ".", kRestoreFileCaption,
                                 platform::kMbYesNo | platform::kMbIconWarning | platform::kMbDefButton2) != platform::kIdYes)
    return;
  // Every backup in the file's order, also those there already: a later one of the same entry is
  // the later state.
  std::vector<int> all(contents.records.size());
  for (size_t i = 0; i < all.size(); ++i) all[i] = static_cast<int>(i);
  RestoreBackups(contents.records, all, file);
}

void BackupsPage::MergeUndoFile(const std::string& file, const std::string& why) {
  const platform::Platform& platform = window_.Platform();
  if (platform.ui.AskMessageBox("Tidewell cannot restore this file and back up what it overwrites: " +
                                     WithoutFinalPeriod(why) + ".\n\n" + file +
                                     "\n\nThe registry editor can merge it, but what the merge overwrites cannot be "
                                     "backed up. Merge it with the registry editor?",
                                 kMergeFileCaption,
                                 platform::kMbYesNo | platform::kMbIconWarning | platform::kMbDefButton2) != platform::kIdYes)
    return;
  const std::string failure = RestoreBackup(platform, window_.Undo(), window_.ExeFolder(), file, window_.Wow64);
  window_.FillListBox();
  if (failure.empty()) platform.ui.ShowMessage(file + " was handed to the registry editor to merge; what it overwrote was not backed up.");
  else platform.ui.ShowError(failure);
}

void BackupsPage::RestoreBackups(const std::vector<UndoRecord>& records, const std::vector<int>& chosen,
                                 const std::string& file) {
  const platform::Platform& platform = window_.Platform();
  std::vector<std::string> restored, notRestored, undoFiles;
  std::string stop;
  for (size_t i = 0; i < chosen.size() && stop.empty(); ++i) {
    const UndoRecord& record = records[static_cast<size_t>(chosen[i])];
    const std::string name = RecordNamed(record, window_.Wow64);
    try {
      const RecordRestore outcome = RestoreRecord(platform.registry, window_.Undo(), record, window_.Wow64);
      if (!outcome.undoFile.empty() && std::find(undoFiles.begin(), undoFiles.end(), outcome.undoFile) == undoFiles.end())
        undoFiles.push_back(outcome.undoFile);
      if (outcome.restored) restored.push_back(name);
      else notRestored.push_back(name + ": " + outcome.problem);
      if (outcome.accessDenied)
        stop = "Stopped at " + name + ": the registry refused it for lack of rights. Run Tidewell as an administrator.";
    } catch (const std::exception& error) {
      notRestored.push_back(name + ": " + error.what());
      stop = "Stopped at " + name + ".";
    }
  }
  window_.FillListBox();
  SelectFile(file);

  std::string text = "Restored " + std::to_string(restored.size()) + " of " + std::to_string(chosen.size()) +
                     (restored.empty() ? "." : ": " + Joined(restored, "; ") + ".");
  if (!notRestored.empty()) text += "\n\nNot restored: " + Joined(notRestored, "; ") + ".";
  if (!stop.empty()) {
    text += "\n\n" + stop;
    if (restored.size() + notRestored.size() < chosen.size()) text += " Nothing after it was restored.";
  }
  // Whatever a restore overwrites is backed up first: when every one went through without an undo
  // file, none overwrote anything (one that failed may have backed up and removed a part).
  if (!undoFiles.empty()) text += "\n\nWhat the restore replaced is in the undo file " + Joined(undoFiles, " and ") + ".";
  else if (notRestored.empty()) text += "\n\nIt overwrote nothing, so nothing was backed up.";
  if (notRestored.empty()) platform.ui.ShowMessage(text);
  else platform.ui.ShowError(text);
}
