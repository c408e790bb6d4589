// The scan under Wine, measured from inside Wine. Its uses:
//
//   scan_bench [entries] [rounds]
//       Seeds the entries under a scratch name prefix in the real registry (a third of them with
//       an uninstaller that exists, a third with an installer product code, a third whose file is
//       gone), times FillListBox with and without the status checks in alternating rounds, prints
//       the medians and their ratio, and removes what it seeded.
//   scan_bench questions [rounds]
//       Where the checking time goes: the entries of this prefix read as the window reads them,
//       then checked by one checker on one thread, every question to the system counted and timed
//       by its kind (file and folder tests, directory searches and listings, environment
//       expansion, drive types, the installer's product state, redirection switches). Prints the
//       round of median total.
//   scan_bench race runs entries [console=Tidewell.com] NAME=PROGRAM.exe...
//       Starts each program (a Tidewell.exe) with CreateProcess, and the console program's
//       "/list /out FILE", Wine's own "uninstaller --list" and the minimal program below, taking
//       turns, one clock for all; polls each window every few milliseconds for its rows listed
//       and every status known, reads its peak working set, and closes it. Prints the medians,
//       the time from the rows to the last status as the window counted it, the ratios to the
//       console program, the uninstaller and the minimal program (the median of each round's
//       ratio), and where each window's time went, as it counted it.
//   scan_bench keys runs PROGRAM.exe
//       Keys pressed while the statuses come in: from the rows until every status is known, Down
//       and Up in turn to the main list, posted as the keyboard's are, each timed until the list's
//       focused row has moved, a press every few milliseconds. Prints how many were pressed and the
//       median, the 90th percentile and the longest time to their answer.
//   scan_bench memory
//       Where the memory goes, per entry of this prefix, counted by this program's own new and
//       delete: the entries as read, a checker's copies of them and its own answers while it runs,
//       and what the window keeps once every status is known (with All Entries and the rows apart);
//       and the working set that loading the installer's library adds.
//   scan_bench minimal
//       The minimal program: reads each entry's display name, command and publisher, one entry
//       after the other, into an owner-data list view, and shows it; no status, no other page.
#include <windows.h>
#include <commctrl.h>

#include "app/common_controls_win.h"

#include <algorithm>
#include <new>
#include <cstddef>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/main_window_win.h"
#include "inventory/inventory.h"
#include "inventory/status.h"
#include "platform/win32/system_libraries.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_platform.h"
#include "tests/wine/wine_form.h"

namespace {

const std::string kUninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::string kFolder = "C:\\TidewellScanBench\\";

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Seconds on one clock.
class Clock {
 public:
  Clock() { QueryPerformanceFrequency(&frequency_); }
  double Now() const {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency_.QuadPart);
  }

 private:
  LARGE_INTEGER frequency_;
};

// ---- scan_bench [entries] [rounds] ----------------------------------------------------------

std::string EntryName(int i) { return "TidewellScanBench " + std::to_string(i); }

void SetText(HKEY key, const char* name, const std::string& text) {
  RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), text.size() + 1);
}

void Seed(int entries) {
  CreateDirectoryA(kFolder.c_str(), nullptr);
  for (int i = 0; i < entries; ++i) {
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, (kUninstall + EntryName(i)).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                    &key, nullptr);
    SetText(key, "DisplayName", "Scan Bench Program " + std::to_string(i));
    std::string command;
    switch (i % 3) {
      case 0: {
        const std::string program = kFolder + "unins" + std::to_string(i) + ".exe";
        HANDLE file = CreateFileA(program.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        CloseHandle(file);
        command = "\"" + program + "\" /SILENT";
        break;
      }
      case 1: command = "MsiExec.exe /X{6F1D2B4A-0000-4C4B-9E0A-" + std::to_string(100000000000 + i) + "}"; break;
      default: command = "C:\\Program Files\\Gone Vendor\\App " + std::to_string(i) + "\\uninstall.exe /S"; break;
    }
    SetText(key, "UninstallString", command);
    RegCloseKey(key);
  }
}

void Unseed(int entries) {
  for (int i = 0; i < entries; ++i) {
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, (kUninstall + EntryName(i)).c_str());
    if (i % 3 == 0) DeleteFileA((kFolder + "unins" + std::to_string(i) + ".exe").c_str());
  }
  RemoveDirectoryA(kFolder.c_str());
}

int FillListBoxBench(int entries, int rounds) {
  WineForm wine;
  MainWindow& form = wine.form;
  Seed(entries);
  form.FormCreate();
  Clock clock;
  std::vector<double> with, without;
  for (int round = 0; round < rounds; ++round) {
    for (bool check : {true, false}) {
      form.checks.CheckEntryStatus = check;
      const double start = clock.Now();
      form.FillListBox();
      (check ? with : without).push_back(1000 * (clock.Now() - start));
    }
  }
  const int listed = form.list.entryList.Count();
  Unseed(entries);
  std::printf("scan of %d seeded entries (%d rows listed), median of %d rounds:\n", entries, listed, rounds);
  std::printf("  with status checks    %8.1f ms\n", Median(with));
  std::printf("  without status checks %8.1f ms\n", Median(without));
  std::printf("  ratio                 %8.2f\n", Median(with) / Median(without));
  return 0;
}

// ---- scan_bench questions -------------------------------------------------------------------

// The kinds of question a check asks the system.
enum Kind {
  kFileTest,       // FindFirstFile of one name
  kPatternSearch,  // FindFirstFile of a name with wildcards
  kListing,        // FindFirstFile of dir\*, its FindNextFile and FindClose
  kFolderTest,     // GetFileAttributes
  kDirectorySearch,
  kExpansion,
  kDriveType,
  kProductState,
  kRedirection,  // one switch off and back
  kOther,
  kKinds
};

const char* KindName(int kind) {
  switch (kind) {
    case kFileTest: return "file tests (FindFirstFile of a name)";
    case kPatternSearch: return "pattern searches (FindFirstFile name.*)";
    case kListing: return "folder listings (FindFirstFile dir\\*, next, close)";
    case kFolderTest: return "folder tests (GetFileAttributes)";
    case kDirectorySearch: return "directory searches (SearchPath)";
    case kExpansion: return "environment expansions";
    case kDriveType: return "drive types (GetDriveType)";
    case kProductState: return "installer product states (MsiQueryProductState)";
    case kRedirection: return "redirection switches (off and back)";
    default: return "other calls";
  }
}

struct Tally {
  long calls[kKinds] = {};
  double seconds[kKinds] = {};
  // The same file tests asked as GetFileAttributes, which answers without a directory handle (it
  // differs from FindFirstFile only for a folder that may not be listed): what that would cost.
  double fileTestsAsAttributes = 0;
};

// Times every call it forwards, by kind; a call's FindNextFile and FindClose count with its
// FindFirstFile (the search is one question), but only the FindFirstFile as a call.
class Timer {
 public:
  explicit Timer(Tally& tally) : tally_(tally) {}
  template <class Call>
  auto Time(int kind, bool counted, Call call) {
    const double start = clock_.Now();
    auto result = call();
    tally_.seconds[kind] += clock_.Now() - start;
    if (counted) ++tally_.calls[kind];
    return result;
  }

 private:
  Tally& tally_;
  Clock clock_;
};

class TimedFiles : public platform::FileSystem {
 public:
  TimedFiles(platform::FileSystem& files, Tally& tally) : files_(files), tally_(tally), timer_(tally) {}

  platform::FindId FindFirst(const std::string& pattern, platform::FindData* data) override {
    const bool listing = pattern.size() >= 2 && pattern.compare(pattern.size() - 2, 2, "\\*") == 0;
    const int kind = listing ? kListing : pattern.find_first_of("*?<>\"") != std::string::npos ? kPatternSearch : kFileTest;
    if (kind == kFileTest) {
      const double start = clock_.Now();
      files_.Attributes(pattern);
      tally_.fileTestsAsAttributes += clock_.Now() - start;
    }
    const platform::FindId find = timer_.Time(kind, true, [&] { return files_.FindFirst(pattern, data); });
    if (find != platform::kInvalidFind) kindOf_[find] = kind;
    return find;
  }
  bool FindNext(platform::FindId find, platform::FindData* data) override {
    return timer_.Time(KindOf(find), false, [&] { return files_.FindNext(find, data); });
  }
  void FindEnd(platform::FindId find) override {
    const int kind = KindOf(find);
    kindOf_.erase(find);
    timer_.Time(kind, false, [&] {
      files_.FindEnd(find);
      return 0;
    });
  }
  std::uint32_t Attributes(const std::string& path) override {
    return timer_.Time(kFolderTest, true, [&] { return files_.Attributes(path); });
  }
  bool SetAttributes(const std::string& path, std::uint32_t attributes) override {
    return timer_.Time(kOther, true, [&] { return files_.SetAttributes(path, attributes); });
  }
  std::uint32_t SearchDirectory(const std::string& directory, const std::string& file, const char* extension,
                                std::uint32_t bufferLength, std::string* found) override {
    return timer_.Time(kDirectorySearch, true,
                       [&] { return files_.SearchDirectory(directory, file, extension, bufferLength, found); });
  }
  std::uint32_t ExpandEnvironment(const std::string& source, std::uint32_t size, std::string* expanded) override {
    return timer_.Time(kExpansion, true, [&] { return files_.ExpandEnvironment(source, size, expanded); });
  }
  std::uint32_t DriveType(const std::string& root) override {
    return timer_.Time(kDriveType, true, [&] { return files_.DriveType(root); });
  }
  std::uint32_t ShortPathName(const std::string& path, std::uint32_t bufferLength, std::string* shortPath) override {
    return timer_.Time(kOther, true, [&] { return files_.ShortPathName(path, bufferLength, shortPath); });
  }
  bool MakeDirectory(const std::string& path) override { return files_.MakeDirectory(path); }
  bool RemoveFile(const std::string& path) override { return files_.RemoveFile(path); }
  bool RenameFile(const std::string& from, const std::string& to, std::uint32_t* error) override {
    return files_.RenameFile(from, to, error);
  }
  bool RenameFileReplacing(const std::string& from, const std::string& to, std::uint32_t* error) override {
    return files_.RenameFileReplacing(from, to, error);
  }
  platform::FileId OpenFile(const std::string& path, platform::FileOpen mode, std::uint32_t* error) override {
    return files_.OpenFile(path, mode, error);
  }
  bool ReadFile(platform::FileId file, char* buffer, std::uint32_t size, std::uint32_t* read,
                std::uint32_t* error) override {
    return files_.ReadFile(file, buffer, size, read, error);
  }
  bool WriteFile(platform::FileId file, const char* data, std::uint32_t size, std::uint32_t* error) override {
    return files_.WriteFile(file, data, size, error);
  }
  bool FlushFile(platform::FileId file, std::uint32_t* error) override { return files_.FlushFile(file, error); }
  bool CloseFile(platform::FileId file, std::uint32_t* error) override { return files_.CloseFile(file, error); }
  std::string ErrorText(std::uint32_t error) override { return files_.ErrorText(error); }
  std::string ReadProfileString(const std::string& section, const std::string& key, const std::string& fallback,
                                const std::string& file) override {
    return files_.ReadProfileString(section, key, fallback, file);
  }

 private:
  int KindOf(platform::FindId find) const {
    auto it = kindOf_.find(find);
    return it == kindOf_.end() ? kOther : it->second;
  }

  platform::FileSystem& files_;
  Tally& tally_;
  Timer timer_;
  Clock clock_;
  std::map<platform::FindId, int> kindOf_;
};

class TimedSystem : public platform::System {
 public:
  TimedSystem(platform::System& system, Tally& tally) : system_(system), timer_(tally) {}

  std::string WindowsDirectory() override { return system_.WindowsDirectory(); }
  std::string SystemWindowsDirectory() override { return system_.SystemWindowsDirectory(); }
  std::string SystemDirectory() override { return system_.SystemDirectory(); }
  std::string ExecutablePath() override { return system_.ExecutablePath(); }
  platform::LocalDate Today() override { return system_.Today(); }
  platform::LocalTime Now() override { return system_.Now(); }
  std::string SortKey(const std::string& text, bool ignoreCase) override { return system_.SortKey(text, ignoreCase); }
  bool ToAnsiCodePage(const std::string& text, std::string* ansi) override { return system_.ToAnsiCodePage(text, ansi); }
  bool FromAnsiCodePage(const std::string& ansi, std::string* text) override { return system_.FromAnsiCodePage(ansi, text); }
  bool Wow64DisableRedirection(std::uintptr_t* cell) override {
    return timer_.Time(kRedirection, true, [&] { return system_.Wow64DisableRedirection(cell); });
  }
  void Wow64RevertRedirection(std::uintptr_t value) override {
    timer_.Time(kRedirection, false, [&] {
      system_.Wow64RevertRedirection(value);
      return 0;
    });
  }
  bool IsNtFamily() override { return system_.IsNtFamily(); }
  bool IsWow64() override { return system_.IsWow64(); }
  platform::TokenId OpenProcessToken() override { return system_.OpenProcessToken(); }
  void CloseToken(platform::TokenId token) override { system_.CloseToken(token); }
  bool LookupPrivilege(const std::string& name, std::uint64_t* luid) override {
    return system_.LookupPrivilege(name, luid);
  }
  bool AdjustPrivileges(platform::TokenId token, const std::vector<platform::PrivilegeSetting>& settings,
                        std::vector<platform::PrivilegeSetting>* previous) override {
    return system_.AdjustPrivileges(token, settings, previous);
  }
  platform::MutexId CreateNamedMutex(const std::string& name, bool initialOwner, bool* alreadyExists) override {
    return system_.CreateNamedMutex(name, initialOwner, alreadyExists);
  }
  bool WaitForMutex(platform::MutexId mutex, std::uint32_t milliseconds) override {
    return system_.WaitForMutex(mutex, milliseconds);
  }
  void ReleaseNamedMutex(platform::MutexId mutex) override { system_.ReleaseNamedMutex(mutex); }
  void CloseMutex(platform::MutexId mutex) override { system_.CloseMutex(mutex); }
  std::string CurrentUserSid() override { return system_.CurrentUserSid(); }
  std::string AccountNameOfSid(const std::string& sid) override { return system_.AccountNameOfSid(sid); }
  bool QueryProductState(const std::string& productCode, int* state) override {
    return timer_.Time(kProductState, true, [&] { return system_.QueryProductState(productCode, state); });
  }
  bool ProductLocalPackage(const std::string& productCode, std::string* path) override {
    return timer_.Time(kProductState, true, [&] { return system_.ProductLocalPackage(productCode, path); });
  }

 private:
  platform::System& system_;
  Timer timer_;
};

int QuestionsBench(int rounds) {
  platform::Win32Platform real;
  const Inventory inventory = ReadInventory(real.registry, real.system.IsWow64());
  std::vector<const Entry*> listed;
  int sixtyFourBit = 0;
  for (const Entry& entry : inventory.entries) {
    if (!entry.Listed()) continue;
    listed.push_back(&entry);
    sixtyFourBit += entry.SixtyFourBit() ? 1 : 0;
  }
  // The installer is loaded once per process, at its first question: timed apart, before the rounds.
  Clock clock;
  const double loading = clock.Now();
  int state = 0;
  real.system.QueryProductState("{00000000-0000-0000-0000-000000000000}", &state);
  const double loaded = clock.Now() - loading;

  std::vector<Tally> tallies(static_cast<size_t>(rounds));
  std::vector<double> totals;
  std::map<int, int> statuses;
  for (Tally& tally : tallies) {
    TimedFiles files(real.files, tally);
    TimedSystem system(real.system, tally);
    statuses.clear();
    const double start = clock.Now();
    ScanChecker checker(files, system);
    for (const Entry* entry : listed) ++statuses[checker.Check(*entry).status];
    totals.push_back(clock.Now() - start - tally.fileTestsAsAttributes);
  }
  const double median = Median(totals);
  const Tally& tally = tallies[static_cast<size_t>(std::find(totals.begin(), totals.end(), median) - totals.begin())];

  const double entries = static_cast<double>(std::max<size_t>(1, listed.size()));
  std::printf("where the checking time goes: %zu entries checked (%d of the 64-bit list), one checker on one thread,\n"
              "the round of median total of %d: %d Good Link, %d Broken Link, %d Missing Disk\n",
              listed.size(), sixtyFourBit, rounds, statuses[kGoodLink], statuses[kBrokenLink], statuses[kMissingDisk]);
  std::printf("  %-52s %8s %10s %10s %10s\n", "question", "calls", "per entry", "ms", "us each");
  double asked = 0;
  for (int kind = 0; kind < kKinds; ++kind) {
    if (tally.calls[kind] == 0 && tally.seconds[kind] == 0) continue;
    asked += tally.seconds[kind];
    std::printf("  %-52s %8ld %10.2f %10.1f %10.1f\n", KindName(kind), tally.calls[kind], tally.calls[kind] / entries,
                1000 * tally.seconds[kind], tally.calls[kind] ? 1e6 * tally.seconds[kind] / tally.calls[kind] : 0.0);
  }
  std::printf("  %-52s %8s %10s %10.1f\n", "all questions", "", "", 1000 * asked);
  std::printf("  %-52s %8s %10s %10.1f %10.1f us per entry\n", "checking, all told", "", "", 1000 * median,
              1e6 * median / entries);
  std::printf("  %-52s %8s %10s %10.1f   (once per process, before its first question)\n",
              "loading the installer (msi.dll)", "", "", 1000 * loaded);
  std::printf("  %-52s %8ld %10s %10.1f   (not asked so: a file test is FindFirstFile's)\n",
              "the file tests asked as GetFileAttributes instead", tally.calls[kFileTest], "",
              1000 * tally.fileTestsAsAttributes);
  return 0;
}

// ---- scan_bench minimal ---------------------------------------------------------------------

constexpr const wchar_t* kMinimalClass = L"TidewellScanBenchMinimal";
constexpr const wchar_t* kMinimalShownProperty = L"TidewellScanBenchShown";

struct MinimalRow {
  std::wstring name, key, command, publisher;
};

std::vector<MinimalRow>* minimalRows = nullptr;

std::wstring ValueText(HKEY key, const wchar_t* name) {
  DWORD type = 0, size = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return {};
  if (type != REG_SZ && type != REG_EXPAND_SZ) return {};
  std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size) != ERROR_SUCCESS)
    return {};
  text.resize(wcsnlen(text.c_str(), size / sizeof(wchar_t)));
  return text;
}

void ReadRows(HKEY root, REGSAM view, std::vector<MinimalRow>* rows) {
  HKEY list = nullptr;
  if (RegOpenKeyExW(root, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall", 0, KEY_READ | view, &list) !=
      ERROR_SUCCESS)
    return;
  wchar_t name[256];
  for (DWORD i = 0;; ++i) {
    DWORD length = 256;
    if (RegEnumKeyExW(list, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    HKEY entry = nullptr;
    if (RegOpenKeyExW(list, name, 0, KEY_READ | view, &entry) != ERROR_SUCCESS) continue;
    MinimalRow row{ValueText(entry, L"DisplayName"), name, ValueText(entry, L"UninstallString"),
                   ValueText(entry, L"Publisher")};
    RegCloseKey(entry);
    if (!row.name.empty() && !row.command.empty()) rows->push_back(std::move(row));
  }
  RegCloseKey(list);
}

LRESULT CALLBACK MinimalProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NOTIFY) {
    auto* info = reinterpret_cast<NMLVDISPINFOW*>(lParam);
    if (info->hdr.code == LVN_GETDISPINFOW && (info->item.mask & LVIF_TEXT) && minimalRows &&
        info->item.iItem < static_cast<int>(minimalRows->size())) {
      const MinimalRow& row = (*minimalRows)[static_cast<size_t>(info->item.iItem)];
      const std::wstring* texts[] = {&row.name, &row.key, &row.command, &row.publisher};
      const std::wstring& text = *texts[std::clamp(info->item.iSubItem, 0, 3)];
      lstrcpynW(info->item.pszText, text.c_str(), info->item.cchTextMax);
    }
    return 0;
  }
  if (message == WM_DESTROY) {
    RemovePropW(window, kMinimalShownProperty);
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

int MinimalProgram() {
  common_controls::Initialize(ICC_LISTVIEW_CLASSES);
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = MinimalProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = kMinimalClass;
  RegisterClassW(&windowClass);
  HWND window = CreateWindowW(kMinimalClass, L"Minimal list", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 800,
                              600, nullptr, nullptr, windowClass.hInstance, nullptr);
  HWND view = CreateWindowW(WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_OWNERDATA, 0, 0, 780, 560,
                            window, nullptr, windowClass.hInstance, nullptr);
  const wchar_t* headers[] = {L"Name", L"Key", L"Command", L"Publisher"};
  for (int i = 0; i < 4; ++i) {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.cx = 190;
    column.pszText = const_cast<wchar_t*>(headers[i]);
    SendMessageW(view, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
  }
  std::vector<MinimalRow> rows;
  BOOL wow64 = FALSE;
  IsWow64Process(GetCurrentProcess(), &wow64);
  if (wow64) ReadRows(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, &rows);
  ReadRows(HKEY_LOCAL_MACHINE, wow64 ? KEY_WOW64_32KEY : 0, &rows);
  ReadRows(HKEY_CURRENT_USER, 0, &rows);
  minimalRows = &rows;
  SendMessageW(view, LVM_SETITEMCOUNT, rows.size(), 0);
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);
  SetPropW(window, kMinimalShownProperty, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(rows.size() + 1)));
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  minimalRows = nullptr;
  return 0;
}

// ---- scan_bench race ------------------------------------------------------------------------

using GetMemoryInfo = BOOL(WINAPI*)(HANDLE, void*, DWORD);

// PROCESS_MEMORY_COUNTERS, the fields read here.
struct MemoryCounters {
  DWORD cb;
  DWORD pageFaultCount;
  SIZE_T peakWorkingSetSize;
  SIZE_T workingSetSize;
  SIZE_T quotaPeakPagedPoolUsage;
  SIZE_T quotaPagedPoolUsage;
  SIZE_T quotaPeakNonPagedPoolUsage;
  SIZE_T quotaNonPagedPoolUsage;
  SIZE_T pagefileUsage;
  SIZE_T peakPagefileUsage;
};

// The process's working set in megabytes, its peak or as it is now; 0 when the system does not say.
double WorkingSetMb(HANDLE process, bool peak = true) {
  const auto query =
      platform::LibraryFunction<GetMemoryInfo>(GetModuleHandleW(L"kernel32.dll"), "K32GetProcessMemoryInfo");
  MemoryCounters counters{};
  counters.cb = sizeof counters;
  if (!query || !query(process, &counters, sizeof counters)) return 0;
  return static_cast<double>(peak ? counters.peakWorkingSetSize : counters.workingSetSize) / (1024.0 * 1024.0);
}

struct Run {
  double listed = 0, checked = 0;          // seconds from CreateProcess, as this program saw them
  double ownListed = 0, ownChecked = 0;    // as the window counted them from its process's start
  double memory = 0;                       // peak working set, MB
  int rows = 0;
  double timings[kScanTimings] = {};       // the window's account of its time (seconds; batches)
};

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

bool Start(const std::string& commandLine, const std::string& folder, PROCESS_INFORMATION* process,
           HANDLE output = nullptr) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  if (output) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output;
    startup.hStdError = output;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  }
  std::wstring line = platform::Widen(commandLine);
  return CreateProcessW(nullptr, line.data(), nullptr, nullptr, output != nullptr, 0, nullptr,
                        folder.empty() ? nullptr : platform::Widen(folder).c_str(), &startup, process) != FALSE;
}

BOOL CALLBACK MatchListView(HWND child, LPARAM data) {
  wchar_t name[64] = {};
  GetClassNameW(child, name, 64);
  if (wcscmp(name, WC_LISTVIEWW) != 0) return TRUE;
  *reinterpret_cast<HWND*>(data) = child;
  return FALSE;
}

// The first list view among the window's children, or null.
HWND ListViewIn(HWND window) {
  HWND found = nullptr;
  EnumChildWindows(window, MatchListView, reinterpret_cast<LPARAM>(&found));
  return found;
}

INT_PTR Property(HWND window, const wchar_t* name) { return reinterpret_cast<INT_PTR>(GetPropW(window, name)); }

constexpr DWORD kPollMs = 5;
constexpr DWORD kLongestWaitMs = 300000;

// Ends a program whose window is listed: asked to close, and ended when it does not.
void Close(const PROCESS_INFORMATION& process, HWND window) {
  if (window) PostMessageW(window, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

// Asks every few milliseconds for the program's window of that class until the window has the
// property; the seconds from `start`, or 0 when it never had.
double WaitForProperty(const Clock& clock, double start, const PROCESS_INFORMATION& process, const wchar_t* windowClass,
                       const wchar_t* property, HWND* window) {
  for (;;) {
    // The only window of its class in this prefix.
    if (!*window) *window = FindWindowW(windowClass, nullptr);
    // One question a poll once the window is known: a poll that asked more would slow the program
    // it times, which asks the same server.
    if (*window && Property(*window, property)) return clock.Now() - start;
    if (clock.Now() - start > kLongestWaitMs / 1000.0 || WaitForSingleObject(process.hProcess, kPollMs) == WAIT_OBJECT_0)
      return 0;
  }
}

// A Tidewell.exe from its start until every status is known.
bool TimeTidewell(const Clock& clock, const std::string& program, Run* run) {
  PROCESS_INFORMATION process{};
  const double start = clock.Now();
  if (!Start("\"" + program + "\"", FolderOf(program), &process)) return false;
  HWND window = nullptr;
  // The window sets the first property once it shows its rows, the second once every status is known.
  run->listed = WaitForProperty(clock, start, process, kMainWindowClass, kShownAfterProperty, &window);
  run->checked = run->listed > 0 ? WaitForProperty(clock, start, process, kMainWindowClass, kCheckedAfterProperty, &window) : 0;
  const bool ok = run->checked > 0;
  if (ok) {
    run->ownListed = Property(window, kShownAfterProperty) / 1000.0;
    run->ownChecked = Property(window, kCheckedAfterProperty) / 1000.0;
    // An earlier build keeps no account: its figures stay 0.
    for (int i = 0; i < kScanTimings; ++i) {
      const INT_PTR value = Property(window, kScanTimingProperties[i]);
      run->timings[i] = value == 0 ? 0 : i == kBatches ? value - 1 : (value - 1) / 1e6;
    }
    const HWND view = ListViewIn(window);
    run->rows = view ? static_cast<int>(SendMessageW(view, LVM_GETITEMCOUNT, 0, 0)) : 0;
    run->memory = WorkingSetMb(process.hProcess);
  }
  Close(process, window);
  return ok;
}

// The minimal program from its start until its window lists its rows.
bool TimeMinimal(const Clock& clock, Run* run) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::string program = platform::Narrow(self, wcslen(self));
  PROCESS_INFORMATION process{};
  const double start = clock.Now();
  if (!Start("\"" + program + "\" minimal", FolderOf(program), &process)) return false;
  HWND window = nullptr;
  run->listed = run->checked = WaitForProperty(clock, start, process, kMinimalClass, kMinimalShownProperty, &window);
  const bool ok = run->listed > 0;
  if (ok) {
    run->rows = static_cast<int>(Property(window, kMinimalShownProperty) - 1);
    run->memory = WorkingSetMb(process.hProcess);
  }
  Close(process, window);
  return ok;
}

// The console program's "/list /out FILE" from its start until it has read, checked and written
// every entry and ended; the rows are the lines of its file but the header.
bool TimeConsole(const Clock& clock, const std::string& program, Run* run) {
  const std::string out = FolderOf(program) + "\\scan_bench_list.txt";
  DeleteFileW(platform::Widen(out).c_str());
  PROCESS_INFORMATION process{};
  const double start = clock.Now();
  if (!Start("\"" + program + "\" /list /out \"" + out + "\"", FolderOf(program), &process)) return false;
  WaitForSingleObject(process.hProcess, kLongestWaitMs);
  run->listed = run->checked = clock.Now() - start;
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  run->memory = WorkingSetMb(process.hProcess);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  HANDLE file = CreateFileW(platform::Widen(out).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  char buffer[1 << 16];
  DWORD got = 0;
  int lines = 0;
  while (::ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) lines += static_cast<int>(std::count(buffer, buffer + got, '\n'));
  CloseHandle(file);
  run->rows = lines - 1;
  return code == 0;
}

// Wine's own "uninstaller --list", the one "wine uninstaller" starts (in a 64-bit prefix the
// 64-bit one), from its start until it has printed every line and ended.
bool TimeUninstaller(const Clock& clock, Run* run) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 1 << 16)) return false;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  wchar_t system[MAX_PATH];
  GetWindowsDirectoryW(system, MAX_PATH);
  std::wstring program = std::wstring(system) + L"\\system32\\uninstaller.exe";
  PVOID redirection = nullptr;
  BOOL wow64 = FALSE;
  IsWow64Process(GetCurrentProcess(), &wow64);
  using Disable = BOOL(WINAPI*)(PVOID*);
  using Revert = BOOL(WINAPI*)(PVOID);
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  const auto disable = platform::LibraryFunction<Disable>(kernel, "Wow64DisableWow64FsRedirection");
  const auto revert = platform::LibraryFunction<Revert>(kernel, "Wow64RevertWow64FsRedirection");
  const bool off = wow64 && disable && disable(&redirection);
  PROCESS_INFORMATION process{};
  const double start = clock.Now();
  const bool started = Start("\"" + platform::Narrow(program) + "\" --list", "", &process, writeEnd);
  if (off && revert) revert(redirection);
  CloseHandle(writeEnd);
  if (!started) {
    CloseHandle(readEnd);
    return false;
  }
  char buffer[1 << 16];
  DWORD got = 0;
  int lines = 0;
  while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0) lines += static_cast<int>(std::count(buffer, buffer + got, '\n'));
  WaitForSingleObject(process.hProcess, INFINITE);
  run->listed = run->checked = clock.Now() - start;
  run->rows = lines;
  CloseHandle(readEnd);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

double Ratio(double a, double b) { return b > 0 ? a / b : 0; }

int Race(int runs, int entries, const std::string& console,
         const std::vector<std::pair<std::string, std::string>>& programs) {
  Clock clock;
  const size_t n = programs.size();
  // Each round runs every Tidewell, the uninstaller, the minimal program and the console program
  // once, each round beginning with the next of them, so that none is always first after a quiet
  // or a busy spell.
  const size_t peer = n, minimal = n + 1, consoleRun = n + 2;
  const size_t contestants = console.empty() ? n + 2 : n + 3;
  std::vector<std::vector<Run>> results(contestants);
  auto fail = [](const std::string& what) {
    std::fprintf(stderr, "scan_bench race: %s\n", what.c_str());
    return 1;
  };
  // A first round untimed: every file the programs read is in the cache before the timed rounds.
  for (int round = -1; round < runs; ++round) {
    for (size_t turn = 0; turn < contestants; ++turn) {
      const size_t k = (turn + static_cast<size_t>(std::max(round, 0))) % contestants;
      Run run;
      if (k == peer) {
        if (!TimeUninstaller(clock, &run)) return fail("uninstaller --list did not start");
        if (run.rows < entries) return fail("uninstaller --list printed " + std::to_string(run.rows) + " lines");
      } else if (k == minimal) {
        if (!TimeMinimal(clock, &run)) return fail("the minimal program did not list");
      } else if (k == consoleRun) {
        if (!TimeConsole(clock, console, &run)) return fail(console + " /list did not list");
        if (run.rows < entries) return fail(console + " /list wrote " + std::to_string(run.rows) + " entries");
      } else {
        if (!TimeTidewell(clock, programs[k].second, &run)) return fail(programs[k].second + " did not list and check");
        if (run.rows < entries) return fail(programs[k].second + " listed " + std::to_string(run.rows) + " rows");
      }
      if (round >= 0) results[k].push_back(run);
    }
  }
  auto median = [](const std::vector<Run>& v, auto value) {
    std::vector<double> values;
    for (const Run& r : v) values.push_back(value(r));
    return Median(values);
  };
  // A ratio of two contestants: the median of each round's ratio, the two timed in the same round.
  auto ratio = [&](size_t k, double Run::*field, size_t to, double Run::*toField) {
    std::vector<double> values;
    for (size_t r = 0; r < results[k].size(); ++r) values.push_back(Ratio(results[k][r].*field, results[to][r].*toField));
    return Median(values);
  };
  const auto field = [](double Run::*f) { return [f](const Run& r) { return r.*f; }; };
  const auto name = [&](size_t k) {
    return k == peer ? std::string("peer") : k == minimal ? std::string("minimal") : k == consoleRun ? std::string("console")
                                                                                              : programs[k].first;
  };
  std::printf("%8s  %-8s %8s %8s %8s %8s %8s %8s\n", "entries", "program", "listed", "checked", "own l.", "own c.",
              "own c-l", "peak MB");
  for (size_t k = 0; k < n; ++k) {
    std::printf("%8d  %-8s %8.3f %8.3f %8.3f %8.3f %8.3f %8.1f\n", entries, name(k).c_str(),
                median(results[k], field(&Run::listed)), median(results[k], field(&Run::checked)),
                median(results[k], field(&Run::ownListed)), median(results[k], field(&Run::ownChecked)),
                median(results[k], [](const Run& r) { return r.ownChecked - r.ownListed; }),
                median(results[k], field(&Run::memory)));
  }
  for (size_t k = n; k < contestants; ++k)
    std::printf("%8d  %-8s %8.3f %8s %8s %8s %8s %8.1f\n", entries, name(k).c_str(),
                median(results[k], field(&Run::listed)), "", "", "", "", median(results[k], field(&Run::memory)));
  // The goals, side by side in each round: every status against the console program's /list and
  // the uninstaller, the rows against the minimal program, and the peak working set against its.
  std::printf("%8s  %-8s %15s %12s %15s %12s\n", "", "", "checked/console", "checked/peer", "listed/minimal",
              "MB/minimal");
  for (size_t k = 0; k < n; ++k)
    std::printf("%8d  %-8s %15.2f %12.2f %15.2f %12.2f\n", entries, name(k).c_str(),
                console.empty() ? 0.0 : ratio(k, &Run::checked, consoleRun, &Run::listed),
                ratio(k, &Run::checked, peer, &Run::listed), ratio(k, &Run::listed, minimal, &Run::listed),
                ratio(k, &Run::memory, minimal, &Run::memory));
  // Where each window's time went, as it counted it (medians, ms): reading the lists (before the
  // rows), the checks from their start to the last one's end and their own time on both threads,
  // the batches of results waiting in the window's queue and being taken into the rows, and
  // painting the list and the window until every status was shown.
  std::printf("%8s  %-8s %8s %8s %8s %8s %8s %8s %8s\n", "", "", "reading", "checking", "chk work", "queued", "rows",
              "painting", "batches");
  for (size_t k = 0; k < n; ++k) {
    std::printf("%8d  %-8s", entries, name(k).c_str());
    for (int i = 0; i < kScanTimings; ++i) {
      const double value = median(results[k], [i](const Run& r) { return r.timings[i]; });
      if (i == kBatches) std::printf(" %8.0f", value);
      else std::printf(" %8.1f", 1000 * value);
    }
    std::printf("\n");
  }
  // The time from the rows to the last status beside the first program's, each round's ratio.
  for (size_t k = 1; k < n; ++k) {
    std::vector<double> values;
    for (size_t r = 0; r < results[k].size(); ++r)
      values.push_back(Ratio(results[k][r].ownChecked - results[k][r].ownListed,
                             results[0][r].ownChecked - results[0][r].ownListed));
    std::printf("          %-8s rows to last status / %s's: %.2f (median of each round's ratio)\n",
                programs[k].first.c_str(), programs[0].first.c_str(), Median(values));
  }
  // Every run, for a look at the spread.
  for (size_t k = 0; k < contestants; ++k) {
    std::printf("          %-8s runs:", name(k).c_str());
    for (const Run& r : results[k]) {
      if (k < n) std::printf(" %.3f/%.3f", r.listed, r.checked);
      else std::printf(" %.3f", r.listed);
    }
    std::printf("\n");
  }
  return 0;
}

// ---- scan_bench memory ----------------------------------------------------------------------

// The bytes that this program's own allocations hold (new and delete of every kind count here).
std::atomic<long long> bytesInUse{0};

}  // namespace

// Each block carries its size in front of it, aligned for any type.
void* operator new(std::size_t size) {
  constexpr std::size_t kFront = alignof(std::max_align_t);
  void* block = std::malloc(size + kFront);
  if (!block) throw std::bad_alloc();
  *static_cast<std::size_t*>(block) = size;
  bytesInUse += static_cast<long long>(size);
  return static_cast<char*>(block) + kFront;
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return operator new(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* memory) noexcept {
  if (!memory) return;
  void* block = static_cast<char*>(memory) - alignof(std::max_align_t);
  bytesInUse -= static_cast<long long>(*static_cast<std::size_t*>(block));
  std::free(block);
}
void operator delete[](void* memory) noexcept { operator delete(memory); }
void operator delete(void* memory, std::size_t) noexcept { operator delete(memory); }
void operator delete[](void* memory, std::size_t) noexcept { operator delete(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { operator delete(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { operator delete(memory); }

namespace {

// The bytes of every busy block of every heap of the process.
double HeapBytesInUse() {
  std::vector<HANDLE> heaps(GetProcessHeaps(0, nullptr) + 16);
  heaps.resize(GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data()));
  double bytes = 0;
  for (HANDLE heap : heaps) {
    if (!HeapLock(heap)) continue;
    PROCESS_HEAP_ENTRY entry{};
    while (HeapWalk(heap, &entry))
      if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) bytes += entry.cbData + entry.cbOverhead;
    HeapUnlock(heap);
  }
  return bytes;
}

int MemoryBench() {
  WineForm wine;
  MainWindow& form = wine.form;
  platform::Win32Platform& real = wine.real;
  // The installer's library first, as the checks load it, so that what it allocates is not counted
  // as the entries'.
  const double before = WorkingSetMb(GetCurrentProcess(), false);
  int state = 0;
  real.system.QueryProductState("{00000000-0000-0000-0000-000000000000}", &state);
  const double installer = WorkingSetMb(GetCurrentProcess(), false) - before;
  const auto held = [] { return static_cast<double>(bytesInUse); };

  double start = held();
  Inventory inventory = ReadEveryList(real.registry, real.system, real.files, real.system.IsWow64(), true);
  const double entries = static_cast<double>(std::max<size_t>(1, inventory.entries.size()));
  const double read = held() - start;
  // The worker's copies, made before any status is known, as the window makes them.
  start = held();
  std::vector<StatusJob> jobs;
  for (size_t i = 0; i < inventory.entries.size(); ++i)
    if (inventory.entries[i].Listed()) jobs.push_back({static_cast<int>(i), inventory.entries[i]});
  const double copies = held() - start;
  // A checker's answers about folders and products, kept until it is done.
  double answers = 0;
  {
    ScanChecker checker(real.files, real.system);
    std::vector<StatusResult> results;
    results.reserve(jobs.size());
    start = held();
    // The results go; what stays is the checker's.
    for (const StatusJob& job : jobs) results.push_back(checker.Check(job.entry));
    results = {};
    answers = held() - start;
  }
  jobs = {};
  inventory = {};

  const double startHeap = HeapBytesInUse();
  start = held();
  form.FormCreate();
  const double kept = held() - start;
  const double keptHeap = HeapBytesInUse() - startHeap;
  const auto part = [&](const std::function<void()>& give) {
    const double before = held();
    give();
    return before - held();
  };
  const double allEntries = part([&] { form.allEntries.keys.Clear(); });
  const double rows = part([&] { form.list.entryList.Clear(); });
  std::printf("where the memory goes: %.0f entries; bytes per entry that the program's own allocations hold\n",
              entries);
  std::printf("  %-60s %8.0f\n", "the entries as read", read / entries);
  std::printf("  %-60s %8.0f\n", "a checker's copies of the listed entries, while it runs", copies / entries);
  std::printf("  %-60s %8.0f\n", "a checker's answers about folders and products, while it runs", answers / entries);
  std::printf("  %-60s %8.0f  (the heap's blocks, walked: %.0f)\n", "the window once every status is known",
              kept / entries, keptHeap / entries);
  std::printf("  %-60s %8.0f\n", "  of which All Entries' lines and their sort keys", allEntries / entries);
  std::printf("  %-60s %8.0f\n", "  of which the main list's rows", rows / entries);
  std::printf("the installer's library (msi.dll and what it loads) adds %.1f MB to the working set\n", installer);
  return 0;
}

// ---- scan_bench keys ------------------------------------------------------------------------

constexpr DWORD kKeyGapMs = 30;
constexpr UINT kLongestAnswerMs = 5000;

// The list's focused row, or -2 when the window has not answered in time.
int FocusedRow(HWND view) {
  DWORD_PTR row = 0;
  if (!SendMessageTimeoutW(view, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED, SMTO_NORMAL, kLongestAnswerMs,
                           &row))
    return -2;
  return static_cast<int>(static_cast<LRESULT>(row));
}

int KeysBench(int runs, const std::string& program) {
  Clock clock;
  std::vector<double> answers;
  int unanswered = 0;
  for (int run = 0; run < runs; ++run) {
    PROCESS_INFORMATION process{};
    const double start = clock.Now();
    if (!Start("\"" + program + "\"", FolderOf(program), &process)) return 1;
    HWND window = nullptr;
    if (WaitForProperty(clock, start, process, kMainWindowClass, kShownAfterProperty, &window) <= 0) return 1;
    const HWND view = ListViewIn(window);
    while (view && !Property(window, kCheckedAfterProperty) && clock.Now() - start < kLongestWaitMs / 1000.0) {
      const int focused = FocusedRow(view);
      if (focused == -2) break;
      // Only the presses made while statuses are still to come count.
      const bool counted = Property(window, kPendingChecksProperty) > 0;
      const WPARAM key = focused < 1 ? VK_DOWN : VK_UP;
      const double pressed = clock.Now();
      PostMessageW(view, WM_KEYDOWN, key, 1);
      PostMessageW(view, WM_KEYUP, key, 0xC0000001);
      int now = focused;
      while (now == focused && clock.Now() - pressed < kLongestAnswerMs / 1000.0) now = FocusedRow(view);
      if (counted) {
        if (now == focused || now == -2) ++unanswered;
        else answers.push_back(clock.Now() - pressed);
      }
      Sleep(kKeyGapMs);
    }
    Close(process, window);
  }
  std::sort(answers.begin(), answers.end());
  const auto at = [&](double share) {
    return answers.empty() ? 0.0 : 1000 * answers[std::min(answers.size() - 1, static_cast<size_t>(share * answers.size()))];
  };
  std::printf("keys pressed while the statuses came in (%d runs): %zu answered, %d not within %u ms; answered in "
              "ms: median %.1f, 90%% %.1f, longest %.1f\n",
              runs, answers.size(), unanswered, kLongestAnswerMs, at(0.5), at(0.9),
              answers.empty() ? 0.0 : 1000 * answers.back());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "minimal") return MinimalProgram();
  if (mode == "questions") return QuestionsBench(argc > 2 ? std::max(1, std::atoi(argv[2])) : 3);
  if (mode == "memory") return MemoryBench();
  if (mode == "keys" && argc > 3) return KeysBench(std::max(1, std::atoi(argv[2])), argv[3]);
  if (mode == "race") {
    if (argc < 5) {
      std::fprintf(stderr, "usage: scan_bench race RUNS ENTRIES [console=Tidewell.com] NAME=PROGRAM.exe...\n");
      return 2;
    }
    std::string console;
    std::vector<std::pair<std::string, std::string>> programs;
    for (int i = 4; i < argc; ++i) {
      const std::string argument = argv[i];
      const size_t equals = argument.find('=');
      if (argument.substr(0, equals) == "console") console = argument.substr(equals + 1);
      else programs.emplace_back(argument.substr(0, equals), argument.substr(equals + 1));
    }
    if (programs.empty()) return 2;
    return Race(std::max(1, std::atoi(argv[2])), std::atoi(argv[3]), console, programs);
  }
  const int entries = argc > 1 ? std::atoi(argv[1]) : 1000;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 7;
  return FillListBoxBench(entries, rounds);
}
