// The window's scan: the inventory read from every source into the four lists, and the status of
// each listed entry.
#include <algorithm>
#include <stdexcept>

#include "app/main_window.h"
#include "inventory/inventory.h"
#include "restore/backups_page.h"
#include "platform/text_encoding.h"

namespace {

// An All Entries line: the key name, marked with its source where this Windows has more than one
// list of the machine's, and always for the user's own.
std::string AllEntriesLine(const Entry& entry, bool wow64) {
  if (!wow64 && entry.source != Source::kUser) return entry.keyName;
  return entry.keyName + " (" + SourceName(entry) + ")";
}

// What an Installer List line says of its product beyond its name: "[no entry]" when no uninstall
// entry belongs to it, "[incomplete]" when its registration lacks its name or its installed state,
// both as "[no entry, incomplete]"; empty for a product in order.
std::string ProductMarks(const Product& product) {
  std::string marks = product.hasEntry ? "" : "no entry";
  if (product.Incomplete()) marks += marks.empty() ? "incomplete" : ", incomplete";
  return marks.empty() ? marks : "[" + marks + "]";
}

// An Installer List line: the product's name and its marks, " - {" and its key name, or the key
// name alone for a product without name or marks; the user's own products are marked.
std::string InstallerLine(const Product& product) {
  std::string label = product.named ? product.productName : "";
  const std::string marks = ProductMarks(product);
  if (!marks.empty()) label += label.empty() ? marks : " " + marks;
  const std::string line = label.empty() ? product.keyName : label + " - {" + product.keyName;
  return product.perUser ? line + " (user)" : line;
}

}  // namespace

namespace {

using Clock = std::chrono::steady_clock;

std::pair<Inventory, Clock::duration> ReadTimed(const platform::Platform& platform, bool wow64) {
  const Clock::time_point start = Clock::now();
  Inventory inventory = ReadEveryList(platform.registry, platform.system, platform.files, wow64, true);
  return {std::move(inventory), Clock::now() - start};
}

}  // namespace

void MainWindow::ReadInventoryAhead() {
  Wow64 = platform_.system.IsWow64();
  inventoryAhead_ = std::async(std::launch::async, [this, wow64 = Wow64] { return ReadTimed(platform_, wow64); });
}

void MainWindow::FillListBox() {
  const int position = entryList.Count() > 0 ? entryList.Selected() : -1;
  const std::vector<EntryId> selected = SelectedEntryIds();
  // A new scan's status line starts without the last command's outcome.
  notice_.clear();
  noticeFile_.clear();
  // The first entry that could not be read; it is shown once, after the lists are whole.
  std::string unreadable;
  // The checks of the last scan stop before its entries are replaced.
  CancelChecks();
  std::vector<StatusJob> jobs;

  auto [inventory, reading] = inventoryAhead_.valid() ? inventoryAhead_.get() : ReadTimed(platform_, Wow64);
  readingTime_ = reading;
  // The accounts whose lists could not be read are said once, and again only when that changes.
  std::string notRead;
  for (const AccountProblem& problem : inventory.accountsNotRead)
    notRead += (notRead.empty() ? "" : "; ") + problem.name + ": " + problem.why;
  if (notRead != accountsNotRead_ && !notRead.empty()) notice_ = "Other accounts' lists not read: " + notRead + ".";
  accountsNotRead_ = notRead;
  ScanChecker checker(platform_.files, platform_.system);
  Entries = std::move(inventory.entries);
  Products = std::move(inventory.products);
  // An entry that is no longer there is no longer partly removed.
  std::erase_if(PartlyRemoved, [&](const EntryId& remembered) {
    return std::none_of(Entries.begin(), Entries.end(), [&](const Entry& entry) { return IdOf(entry) == remembered; });
  });
  entryKeys.Clear();
  for (size_t i = 0; i < Entries.size(); ++i) {
    Entry& entry = Entries[i];
    const int index = static_cast<int>(i);
    entryKeys.Add(AllEntriesLine(entry, Wow64), index);
    if (!entry.readError.empty()) {
      // The entry stays in All Entries by its key; the main list leaves it out.
      if (unreadable.empty()) unreadable = "The entry '" + entry.keyName + "' could not be read: " + entry.readError;
      continue;
    }
    if (!ShownInMainList(entry) || !CheckEntryStatus) continue;
    if (CheckInBackground) {
      jobs.push_back({index, entry});
    } else {
      ApplyStatus(entry, checker.Check(entry));
    }
  }
  installerProducts.Clear();
  for (size_t i = 0; i < Products.size(); ++i) {
    const Product& product = Products[i];
    if (!product.readError.empty() && unreadable.empty())
      unreadable = "The installer product '" + product.keyName + "' could not be read: " + product.readError;
    installerProducts.Add(InstallerLine(product), static_cast<int>(i));
  }
  if (installerProducts.Count() == 0) installerProducts.Add(kNoItems);
  OnEntryKeyClick();

  StartChecks(std::move(jobs));
  ShowEntries(selected, position);
  RefillBackupList();
  EnableBackupButtons();
  if (!unreadable.empty()) ShowException(std::runtime_error(unreadable));
}

namespace {

const char* StatusText(int status, bool pending) {
  return status == kStatusUnknown && pending ? kCheckingText : StatusName(status);
}

// Broken Link first, then Missing Disk and Good Link; entries still being checked last.
int StatusRank(int status) {
  switch (status) {
    case kBrokenLink: return 0;
    case kMissingDisk: return 1;
    case kGoodLink: return 2;
    default: return 3;
  }
}

}  // namespace

bool MainWindow::EntryMatchesFilter(const Entry& entry) const {
  const std::string wanted = platform::UpperCaseText(filterBox.Text());
  if (wanted.empty()) return true;
  for (const std::string* text : {&entry.displayName, &entry.keyName, &entry.publisher, &entry.uninstallString})
    if (platform::UpperCaseText(*text).find(wanted) != std::string::npos) return true;
  // Another account's entries by its list's name: "user:ann".
  return entry.account && platform::UpperCaseText(SourceName(entry)).find(wanted) != std::string::npos;
}

void MainWindow::ShowEntries(const std::vector<EntryId>& keep, int position) {
  const bool pending = checksPending_ > 0;
  int listed = 0;
  {
    BulkUpdate<TListView> update(entryList);
    entryList.Clear();
    for (size_t i = 0; i < Entries.size(); ++i) {
      const Entry& entry = Entries[i];
      if (!ShownInMainList(entry)) continue;
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
  rowOfEntry_.assign(Entries.size(), -1);
  for (int row = 0; row < entryList.Count(); ++row) rowOfEntry_[static_cast<size_t>(entryList.Item(row).Data)] = row;
  filterCount.SetCaption(filterBox.Text().empty() ? "" : std::to_string(entryList.Count()) + " of " + std::to_string(listed));

  // The entries selected before stay selected where they are still shown; otherwise the row at
  // the position selected before (the next entry, after a removal).
  std::vector<int> rows;
  for (const EntryId& id : keep) {
    for (int row = 0; row < entryList.Count(); ++row)
      if (IdOf(Entries[static_cast<size_t>(entryList.Item(row).Data)]) == id) rows.push_back(row);
  }
  if (rows.empty() && entryList.Count() > 0) rows.push_back(std::clamp(position, 0, entryList.Count() - 1));
  entryList.SelectRows(rows);
  if (!rows.empty()) entryList.MakeVisible();
  // The boxes and the buttons follow the selection, whatever moved it.
  OnEntrySelected();
}

void MainWindow::SortEntries() {
  const int column = entryList.SortColumn();
  // Each row's texts compared as the system orders them, through one sort key each: thousands of
  // rows are not sorted by asking the system about each pair.
  std::vector<std::string> nameKey(Entries.size()), columnKey(column == 1 || column == 2 ? Entries.size() : 0);
  for (int row = 0; row < entryList.Count(); ++row) {
    const TListItem& item = entryList.Item(row);
    const size_t entry = static_cast<size_t>(item.Data);
    nameKey[entry] = platform_.system.SortKey(item.Caption, false);
    if (!columnKey.empty()) columnKey[entry] = platform_.system.SortKey(item.SubItems[static_cast<size_t>(column - 1)], false);
  }
  const auto entryOf = [this](const TListItem& item) -> const Entry& { return Entries[static_cast<size_t>(item.Data)]; };
  const auto keyOrder = [](const std::vector<std::string>& keys, const TListItem& a, const TListItem& b) {
    return keys[static_cast<size_t>(a.Data)].compare(keys[static_cast<size_t>(b.Data)]);
  };
  // Each column's own order, the names deciding between equals.
  const auto before = [&](const TListItem& a, const TListItem& b) {
    int order = 0;
    switch (column) {
      case 1:
      case 2: order = keyOrder(columnKey, a, b); break;
      case 3: order = static_cast<int>(entryOf(a).source) - static_cast<int>(entryOf(b).source); break;
      case 4: order = StatusRank(entryOf(a).status) - StatusRank(entryOf(b).status); break;
      default: break;
    }
    if (order == 0) order = keyOrder(nameKey, a, b);
    return order < 0;
  };
  if (entryList.SortAscending()) entryList.SortRows(before);
  else entryList.SortRows([&](const TListItem& a, const TListItem& b) { return before(b, a); });
}

void MainWindow::OnSortByColumn(int column) {
  const bool ascending = column == entryList.SortColumn() ? !entryList.SortAscending() : true;
  const std::vector<EntryId> selected = SelectedEntryIds();
  entryList.SetSortMark(column, ascending);
  ShowEntries(selected, entryList.Selected());
}

void MainWindow::OnFilterChange() { ShowEntries(SelectedEntryIds(), -1); }

void MainWindow::StartChecks(std::vector<StatusJob> jobs) {
  checksPending_ = static_cast<int>(jobs.size());
  checksDone_ = brokenFound_ = missingFound_ = uncheckedFound_ = 0;
  statusLine.SetCaption(notice_);
  if (jobs.empty()) return;
  ShowCheckProgress();
  // The worker starts from the window's queue, after the window has shown the rows it has: its
  // questions to the disk would otherwise compete with the window's first drawing. A later scan
  // or the window's end before then leaves it unstarted.
  const int generation = ++checkGeneration_;
  platform_.ui.Post([this, alive = std::weak_ptr<int>(alive_), generation, jobs = std::move(jobs)]() mutable {
    if (alive.expired() || generation != checkGeneration_) return;
    // A task of the window's queue: nothing may escape it.
    try {
      statusWorker_ = std::make_unique<StatusWorker>(
          platform_.files, platform_.system, platform_.ui, std::move(jobs),
          [this](int entry, const std::string& command, const StatusResult& result) {
            StatusChecked(entry, command, result);
          },
          StatusWorker::StartThread{}, [this] { StatusesDelivered(); });
    } catch (const std::exception& error) {
      ShowException(error);
    }
  });
}

void MainWindow::CancelChecks() {
  ++checkGeneration_;
  if (statusWorker_) {
    statusWorker_->Cancel();
    retiredWorkers_.push_back(std::move(statusWorker_));
  }
  // A cancelled worker whose threads have ended goes now; the others wait for a later scan.
  std::erase_if(retiredWorkers_, [](const std::unique_ptr<StatusWorker>& worker) { return worker->Finished(); });
  checksPending_ = 0;
  rowsChecked_.clear();
}

void MainWindow::StatusChecked(int entry, const std::string& command, const StatusResult& checked) {
  if (entry < 0) {
    checksPending_ = 0;
    ShowCheckProgress();
    return;
  }
  if (entry >= static_cast<int>(Entries.size())) return;
  Entry& listed = Entries[static_cast<size_t>(entry)];
  // The entry's command changed since its check was asked for (a save): the answer is about a command
  // it no longer holds, and would overwrite the status of its own, which is checked instead.
  const StatusResult result =
      command == listed.uninstallString ? checked : ScanChecker(platform_.files, platform_.system).Check(listed);
  const int status = result.status;
  ApplyStatus(listed, result);
  ++checksDone_;
  brokenFound_ += status == kBrokenLink ? 1 : 0;
  missingFound_ += status == kMissingDisk ? 1 : 0;
  uncheckedFound_ += status == kStatusUnknown ? 1 : 0;
  const int row = rowOfEntry_[static_cast<size_t>(entry)];
  if (row >= 0 && row < entryList.Count()) {
    // A result is never "Checking": an entry that could not be checked has no status. The row is
    // redrawn with the others of its batch.
    TListItem& item = entryList.Item(row);
    item.SubItems.at(3) = StatusName(status);
    item.Hint = result.reason;
    item.ImageIndex = status;
    rowsChecked_.push_back(row);
    if (row == entryList.Selected()) ShowWhy();
  }
}

void MainWindow::StatusesDelivered() {
  if (!rowsChecked_.empty()) entryList.RowsChanged(rowsChecked_);
  rowsChecked_.clear();
  ShowCheckProgress();
}

MainWindow::ScanTimings MainWindow::ScanTimed() const {
  ScanTimings timings;
  timings.reading = readingTime_;
  if (statusWorker_) timings.checks = statusWorker_->Timed();
  return timings;
}

namespace {

// 1234567 as "1,234,567".
std::string WithThousands(int number) {
  std::string digits = std::to_string(number);
  for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) digits.insert(static_cast<size_t>(at), ",");
  return digits;
}

}  // namespace

void MainWindow::ShowCheckProgress() {
  if (checksPending_ > 0) {
    statusLine.SetCaption(WithNotice("Checking " + WithThousands(checksDone_) + " of " + WithThousands(checksPending_)));
    return;
  }
  std::string summary = WithThousands(checksDone_) + " checked: " + WithThousands(brokenFound_) + " Broken Link";
  if (missingFound_ > 0) summary += ", " + WithThousands(missingFound_) + " Missing Disk";
  if (uncheckedFound_ > 0) summary += ", " + WithThousands(uncheckedFound_) + " could not be checked";
  statusLine.SetCaption(WithNotice(summary));
}

std::string MainWindow::WithNotice(const std::string& progress) const {
  return notice_.empty() ? progress : progress.empty() ? notice_ : notice_ + "  " + progress;
}

void MainWindow::ShowNotice() {
  if (checksPending_ > 0 || checksDone_ > 0) ShowCheckProgress();
  else statusLine.SetCaption(notice_);
}

void MainWindow::RefillBackupList() {
  ClearUndoRecords();
  backupFiles.Clear();
  BulkUpdate<TListBox> update(backupFiles);
  backupFilePaths_.clear();
  // The files beside the program, then the user's own, each of those marked as such.
  const std::pair<const std::string*, const char*> folders[] = {{&programBackups_, ""}, {&userBackups_, kUserBackupMark}};
  for (const auto& [folder, mark] : folders) {
    if (folder->empty() || (mark[0] && *folder == programBackups_)) continue;
    for (const std::string& name : BackupFileNames(platform_.files, *folder)) {
      backupFiles.Add(name + mark, static_cast<int>(backupFilePaths_.size()));
      backupFilePaths_.push_back(*folder + "\\" + name);
    }
  }
}
