#pragma once
// TForm1: the program's one window, its controls as fields and its logic as methods.
#include <cstdint>
#include <exception>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/controls.h"
#include "backup/removal_outcome.h"
#include "backup/undo_encoding.h"
#include "inventory/entry.h"
#include "inventory/finder.h"
#include "inventory/inventory.h"
#include "inventory/status.h"
#include "inventory/status_worker.h"
#include "platform/platform.h"


inline constexpr const char* kApplicationTitle = "Tidewell";
inline constexpr const char* kWindowCaption = "Tidewell v.2.12";
inline constexpr const char* kNoItems = "-- No Items --";
inline constexpr const char* kSelectFirst = "Please select an item from the list first.";
// The image of a row whose status is still being checked, after the three status icons.
inline constexpr int kCheckingImage = 3;


// The status column's text for an entry whose check is still to come.
inline constexpr const char* kCheckingText = "Checking";

class TForm1 {
 public:
  explicit TForm1(const platform::Platform& platform);
  TForm1(const TForm1&) = delete;
  TForm1& operator=(const TForm1&) = delete;

  // Window design.
  int ClientLeft = 215, ClientTop = 117, ClientWidth = 536, ClientHeight = 414;
  std::string Caption = kWindowCaption;
  // Every control, parents before children, in creation order.
  std::vector<TControl*> Controls();

  // The filter box above the list, the count beside it, and the line under the list that says why
  // the selected entry has its status.
  TEdit Edit4{"Edit4"};
  TLabel Label23{"Label23"};
  TListView ListView1{"ListView1"};
  TLabel Label22{"Label22"};
  TButton Button4{"Button4"};
  TButton Button1{"Button1"};
  TButton Button2{"Button2"};
  TPageControl PageControl1{"PageControl1"};
  TTabSheet TabSheet3{"TabSheet3"}, TabSheet5{"TabSheet5"}, TabSheet2{"TabSheet2"}, TabSheet1{"TabSheet1"},
      TabSheet7{"TabSheet7"}, TabSheet4{"TabSheet4"}, TabSheet6{"TabSheet6"}, TabSheet8{"TabSheet8"};
  // Introduction
  TMemo Memo1{"Memo1"};
  TLabel Label4{"Label4"};
  // Accuracy
  TLabel Label1{"Label1"}, Label2{"Label2"}, Label3{"Label3"};
  // Status
  TLabel Label9{"Label9"};
  TImage Image1{"Image1"}, Image2{"Image2"}, Image3{"Image3"};
  TLabel Label10{"Label10"}, Label11{"Label11"}, Label12{"Label12"};
  // Finder
  TLabel Label13{"Label13"}, Label14{"Label14"};
  TEdit Edit1{"Edit1"};
  TButton Button5{"Button5"};
  TEdit Edit2{"Edit2"};
  TButton Button3{"Button3"};
  TPanel Panel3{"Panel3"};
  // Change Uninstall String
  TLabel Label15{"Label15"}, Label16{"Label16"};
  TEdit Edit3{"Edit3"};
  TButton Button15{"Button15"};
  // Backups
  TLabel Label17{"Label17"}, Label18{"Label18"};
  TListBox ListBox1{"ListBox1", false};
  TButton Button6{"Button6"}, Button7{"Button7"};
  // All Entries
  TLabel Label19{"Label19"};
  TListBox ListBox2{"ListBox2", true};
  TButton Button8{"Button8"};
  // Installer List
  TLabel Label20{"Label20"};
  TListBox ListBox3{"ListBox3", true};
  TButton Button9{"Button9"};
  // The line under the list that tells how the status checks are going.
  TLabel Label21{"Label21"};
  // Bottom
  TLabel Label5{"Label5"};
  TPanel Panel1{"Panel1"};
  TLabel Label6{"Label6"}, Label7{"Label7"}, Label8{"Label8"};
  TImage Image5{"Image5"};

  // Start-up, selection and refresh.
  void FormCreate();
  void ListView1Click();
  void ListBox1KeyDown(int key);
  void ListBox1MouseDown();
  void Button4Click();
  void ListBox1Click();
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
  // The entry of the main list's selected row, null when none is selected.
  const Entry* SelectedEntry() const;
  // An entry's identity from scan to scan: where it lives and its key name.
  struct EntryId {
    Source source;
    std::string keyName;
  };
  std::vector<EntryId> SelectedEntryIds() const;
  // Fills the main list with the listed entries that pass the filter, in the chosen order, and
  // selects the entries of `keep` that are shown, or else the row at `position`.
  void ShowEntries(const std::vector<EntryId>& keep, int position);
  bool EntryMatchesFilter(const Entry& entry) const;
  void SortEntries();
  // A click on a column's header sorts by it; a second click turns the order round.
  void ListView1ColumnClick(int column);
  // Typing in the filter box narrows the list at once.
  void Edit4Change();
  // Removes the selected entries after one question that lists them, one after another, each
  // backed up first; the first that fails stops the rest, and one message says what was removed.
  void RemoveSelectedEntries();
  // Selects exactly the Broken Link entries shown.
  void SelectBrokenLinks();
  // The line under the list: why the selected entry has its status.
  void ShowWhy();
  // The list's context menu and its commands on the selected entry.
  void ListView1ContextMenu();
  void TestInFinder();
  void CopyCommand();
  void OpenKeyInRegistryEditor();
  void OpenUninstallerFolder();
  // 64-bit Windows (the program runs in its 32-bit subsystem), set by FormCreate.
  bool Wow64 = false;
  // Only the scan benchmark turns this off, to weigh the status checks against the rest of a scan.
  bool CheckEntryStatus = true;
  // The window lists every entry at once and checks their statuses on a worker thread, each row
  // showing the clock until its status is known; without a window (tests, scripts) the scan checks
  // every entry before it returns.
  bool CheckInBackground = false;
  // A result of the worker, on the window's thread; entry -1: all are checked.
  void StatusChecked(int entry, const StatusResult& result);
  // Stops the running checks: no result of theirs reaches the lists afterwards.
  void CancelChecks();
  // How many listed entries still wait for their status.
  int ChecksPending() const { return checksPending_ > 0 ? checksPending_ - checksDone_ : 0; }

  // Status check and file finder, on the row's icon and with the window's finder options.
  void CheckUninstall(const std::string& text, int row);
  void CheckDriveType(const std::string& root, int row);
  bool nFindSpace(const std::string& text);
  bool FindSpace(const std::string& text);
  bool nFileExists(const std::string& text);
  int GetNonChar(int cut, char c, const std::string& searched, int offset) const;
  std::string RemoveSlash(const std::string& text) const;
  Finder MakeFinder(FinderMemo* memo = nullptr);
  std::uintptr_t Disablex64Redirect();
  void Revertx64Redirect(std::uintptr_t value);
  bool RetryUnredirected = false;
  // Within one FindSpace call every candidate and every query is answered once. Only the
  // finder's benchmark turns this off, to measure the work it saves; the answers are the same.
  bool RememberFinderAnswers = true;

  // Finder page.
  void Button5Click();
  void Button3Click();
  void EditChange();
  bool AddressExists(const std::string& text);

  // Undo file.
  void WriteReg(const std::string& line);
  std::string ConvertSt(const std::string& text) const;
  // Writes the undo file in use to the disk (FlushFileBuffers) before a change that its lines back up.
  void FlushUndo();
  // The undo file that the running change writes to; see UndoBlock.
  UndoFormat UndoFormatInUse() const { return undoFormat_; }
  // The "REGEDIT4" file when the system's code page carries every name and text of the key tree
  // exactly, otherwise the Unicode companion. Reads the tree without changing anything.
  UndoFormat UndoFormatForKey(const RegistryPlace& place, const std::string& path);

  // Key export and removal.
  // Writes the key tree to the undo file and deletes it; answers what stayed in the registry. The
  // root alone means the program's own view.
  RemovalOutcome RemoveRegistryKey(const RegistryPlace& place, const std::string& path);
  RemovalOutcome RemoveRegistryKey(platform::Hkey root, const std::string& path);
  // Writes the value to the undo file and deletes it: kErrorSuccess when it is gone (or was not
  // there), otherwise the registry's reason for keeping it.
  long RemoveRegistryValue(const RegistryPlace& place, const std::string& keyPath, const std::string& name);
  long RemoveRegistryValue(platform::Hkey root, const std::string& keyPath, const std::string& name);

  // Entry commands.
  void Button2Click();
  void Button8Click();
  void Button15Click();
  void Button9Click();
  // Asks, then removes the entry of that key name in that source (the machine's, in this program's
  // own view, when none is named).
  void RemoveEntry(const std::string& keyName, Source source = Source::kMachine32);
  // The entries whose last removal left something of them in the registry: the main list keeps
  // them, by their key name once their display name is gone, for as long as they are there.
  std::vector<std::pair<Source, std::string>> PartlyRemoved;
  bool IsPartlyRemoved(const Entry& entry) const;
  // The main list shows an entry with a display name and an uninstall command, and a partly
  // removed one.
  bool ShownInMainList(const Entry& entry) const { return entry.Listed() || IsPartlyRemoved(entry); }
  // What Remove Entry does once the user has said Yes: under the undo lock, the entry's key tree
  // written to the day's undo file and deleted, and an empty line after it; answers what stayed.
  // An empty key name removes nothing.
  RemovalOutcome RemoveEntryKey(const std::string& keyName, Source source);

  // Backups page and hive restore.
  void Button6Click();
  void Button7Click();
  // The key path lies in `place` (the machine's entries in the program's own view by default).
  bool SaveHive(const std::string& keyPath, const std::string& fileName, bool saveMode,
                const RegistryPlace& place = RegistryPlace{});
  bool LoadKeyPro(const std::string& keyPath, const std::string& fileName,
                  const RegistryPlace& place = RegistryPlace{});
  std::string ShortFileName(const std::string& path);

  // Uninstaller launch and web link.
  void Button1Click();
  // With `sixtyFourBit`, the program is looked for and started with the file-system redirection off.
  bool Exec(const std::string& commandLine, std::uint16_t show, bool sixtyFourBit = false);
  void Label8Click();

  // The application's default error display: the text with a period added, error icon.
  void ShowException(const std::exception& error);

  // Window fields set by FormCreate.
  std::string WinDir;
  std::string SysDir;
  std::string UndoStem;

  // The executable's folder, ending in a backslash.
  std::string ExeFolder() const;
  // The day's undo file: ExeFolder() + "Backup\" + UndoStem + ".reg".
  std::string UndoFileName() const;
  // The day's undo file of the format: the one above, or its Unicode companion
  // ExeFolder() + "Backup\" + UndoStem + ".unicode.reg".
  std::string UndoFileName(UndoFormat format) const;

  const platform::Platform& Platform() const { return platform_; }

 private:
  void BuildDesign();
  void AnchorControls();
  void BindEvents();
  // Wraps a handler so that an exception it lets escape is shown and the program goes on.
  std::function<void()> Guarded(void (TForm1::*handler)());
  std::function<void(int)> Guarded(void (TForm1::*handler)(int));
  void RefillBackupList();
  // The web address that Label8 opens.
  std::string HelpPageAddress() const;

  void StartChecks(std::vector<StatusJob> jobs);
  void ShowCheckProgress();

  friend class UndoBlock;

  platform::Platform platform_;
  std::string exeFolder_;
  UndoFormat undoFormat_ = UndoFormat::kRegedit4;
  int undoBlocks_ = 0;
  // The main list's row of each entry of the last scan (-1: not listed).
  std::vector<int> rowOfEntry_;
  int checksPending_ = 0;
  int checksDone_ = 0;
  int brokenFound_ = 0;
  int missingFound_ = 0;
  // Tells a posted start of the checks whether it still belongs to the last scan and the window.
  int checkGeneration_ = 0;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
  // What ReadInventoryAhead is reading; the next scan takes it.
  std::future<Inventory> inventoryAhead_;
  // Last, so that its thread is stopped before anything it reports to goes.
  std::unique_ptr<StatusWorker> statusWorker_;
};
