#pragma once
// MainWindow: the program's one window. It holds the list of entries with the buttons under it,
// the pages, the status line and the last scan that they all show; each part is an object of its
// own that owns its controls, its state and its handlers.
#include <chrono>
#include <exception>
#include <functional>
#include <future>
#include <string>
#include <utility>
#include <vector>

#include "app/all_entries_page.h"
#include "app/backups_page.h"
#include "app/change_page.h"
#include "app/controls.h"
#include "app/finder_page.h"
#include "app/footer.h"
#include "app/info_pages.h"
#include "app/installer_page.h"
#include "app/list_commands.h"
#include "app/main_list.h"
#include "app/status_checks.h"
#include "app/status_line.h"
#include "app/window_texts.h"
#include "backup/undo_file.h"
#include "inventory/entry.h"
#include "inventory/inventory.h"
#include "platform/platform.h"

class MainWindow {
  // First: the parts below take them from the window as they are made.
  platform::Platform platform_;
  std::string exeFolder_;

 public:
  explicit MainWindow(const platform::Platform& platform);

  // Where the window opens and its caption.
  struct Design {
    int left = 215, top = 117, width = 536, height = 414;
    std::string caption = kWindowCaption;
  } design;
  // Every control, parents before children, in creation order.
  std::vector<TControl*> Controls();

  MainList list{*this};
  StatusLine status{*this};
  TPageControl pageControl{"pageControl"};
  InfoPages info;
  FinderPage finder{*this};
  ChangePage change{*this};
  BackupsPage backups{*this};
  AllEntriesPage allEntries{*this};
  InstallerPage installer{*this};
  Footer footer{*this};
  ListCommands commands{*this};

  // What the last scan found: every entry key and installer product, which the lists' rows and
  // lines stand for (their Data).
  std::vector<Entry> Entries;
  std::vector<Product> Products;
  // 64-bit Windows (the program runs in its 32-bit subsystem), set by FormCreate.
  bool Wow64 = false;

  void FormCreate();
  // The scan: every list read again, and shown in the list and the pages.
  void FillListBox();
  // Starts reading the entries and products on a thread of their own for the next scan to take, so
  // that the first scan's reading and the making of the window go on at the same time.
  void ReadInventoryAhead();
  // The selection changed, however: the boxes follow it, and the buttons that act on one entry.
  void OnEntrySelected();
  const Entry* EntryOfId(const EntryId& id) const;
  // The application's default error display: the text with a period added, error icon.
  void ShowException(const std::exception& error);
  // Where the last scan's time went, for the scan benchmark: reading the lists, and its checks.
  struct ScanTimings {
    std::chrono::steady_clock::duration reading{};
    StatusWorker::Timings checks;
  };
  ScanTimings ScanTimed() const;

  // The executable's folder, ending in a backslash.
  const std::string& ExeFolder() const { return exeFolder_; }
  // The day's undo files, named by FormCreate after the day the window was made.
  UndoFile& Undo() { return undo_; }
  const platform::Platform& Platform() const { return platform_; }
  // The sort key of the sorted lists' lines: the system's order, in which an accented E sorts with
  // the E's.
  std::function<std::string(const std::string&)> SystemOrder() const {
    return [&system = platform_.system](const std::string& line) { return system.SortKey(line, true); };
  }

 private:
  void BuildDesign();
  void BindEvents();
  // Wraps a handler so that an exception it lets escape is shown and the program goes on.
  template <typename Part, typename... Args>
  std::function<void(Args...)> Guarded(Part& part, void (Part::*handler)(Args...)) {
    return [this, &part, handler](Args... arguments) {
      try {
        (part.*handler)(arguments...);
      } catch (const std::exception& error) {
        ShowException(error);
      }
    };
  }

  // After the Backups page, whose folders it writes to.
  UndoFile undo_;
  std::chrono::steady_clock::duration readingTime_{};
  // What ReadInventoryAhead is reading, and how long that took; the next scan takes it.
  std::future<std::pair<Inventory, std::chrono::steady_clock::duration>> inventoryAhead_;

 public:
  // Last, so that the checks' threads are stopped before anything they report to goes.
  StatusChecks checks{*this};
};
