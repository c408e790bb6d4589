// The window's scan: the inventory read from every source into the lists and pages, and the status
// of each listed entry.
#include <algorithm>
#include <stdexcept>

#include "app/main_window.h"
#include "inventory/inventory.h"

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
  TListView& rows = list.entryList;
  const int position = rows.Count() > 0 ? rows.Selected() : -1;
  const std::vector<EntryId> selected = list.SelectedEntryIds();
  // The first entry that could not be read; it is shown once, after the lists are whole.
  std::string unreadable;
  // The checks of the last scan stop before its entries are replaced.
  checks.Cancel();
  std::vector<StatusJob> jobs;

  auto [inventory, reading] = inventoryAhead_.valid() ? inventoryAhead_.get() : ReadTimed(platform_, Wow64);
  readingTime_ = reading;
  // A new scan's status line starts without the last command's outcome.
  status.StartScan(inventory.accountsNotRead);
  ScanChecker checker(platform_.files, platform_.system);
  Entries = std::move(inventory.entries);
  Products = std::move(inventory.products);
  // An entry that is no longer there is no longer partly removed.
  std::erase_if(commands.PartlyRemoved, [&](const EntryId& remembered) {
    return std::none_of(Entries.begin(), Entries.end(), [&](const Entry& entry) { return IdOf(entry) == remembered; });
  });
  allEntries.Fill();
  for (size_t i = 0; i < Entries.size(); ++i) {
    Entry& entry = Entries[i];
    if (!entry.readError.empty()) {
      // The entry stays in All Entries by its key; the main list leaves it out.
      if (unreadable.empty()) unreadable = "The entry '" + entry.keyName + "' could not be read: " + entry.readError;
      continue;
    }
    if (!commands.ShownInMainList(entry) || !checks.CheckEntryStatus) continue;
    if (checks.CheckInBackground) {
      jobs.push_back({static_cast<int>(i), entry});
    } else {
      ApplyStatus(entry, checker.Check(entry));
    }
  }
  const std::string unreadableProduct = installer.Fill();
  if (unreadable.empty()) unreadable = unreadableProduct;
  allEntries.OnKeyClick();

  checks.Start(std::move(jobs));
  list.ShowEntries(selected, position);
  backups.Refill();
  backups.EnableButtons();
  if (!unreadable.empty()) ShowException(std::runtime_error(unreadable));
}

MainWindow::ScanTimings MainWindow::ScanTimed() const { return {readingTime_, checks.Timed()}; }
