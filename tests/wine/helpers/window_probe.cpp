// Reads and drives Tidewell's running window from outside, for the window tests and the run
// script: finds the window by its caption, reads the list and the boxes, answers where a control
// is on the screen, closes the window. Texts are read in UTF-16, as a Unicode window answers, and
// printed in UTF-8. Prints its answer on one or more lines; exit code 0 when
// it worked, 2 when the window was not found in time, 1 on any other failure.
//
// window_probe wait [ms]          the window is shown, every entry of its first scan listed
// window_probe wait-checked [ms]  and every status of the listed entries known
// window_probe count              rows of the main list
// window_probe rows               the rows: caption, key name, uninstall string, image, tab-separated
// window_probe sources            the rows: caption and source, tab-separated
// window_probe selected           the selected row, -1 when none
// window_probe text NAME          the text of a control (finderCommand, commandBox, findResult...)
// window_probe lines NAME         the lines of a list box
// window_probe enabled NAME       1 or 0
// window_probe center NAME        the screen point in the middle of a control: x y
// window_probe row-center N       the screen point in the middle of row N's caption
//                                 (count, rows, selected and row-center ask the list view that the
//                                 environment's PROBE_LIST names, the main list without it)
// window_probe show-row N         scrolls the list so that row N is in view
// window_probe tab-center N       the screen point in the middle of page tab N
// window_probe header-center N    the screen point in the middle of the list's column header N
// window_probe selected-count     how many rows of the list are selected
// window_probe page               the page shown
// window_probe focus              the name of the control that has the keyboard focus
// window_probe client             the window's client area on the screen: x y width height
// window_probe resize "W H"        makes the client area W by H; answers the size it got
// window_probe maximize | restore  maximizes the window, or gives it back its size
// window_probe layout             each control window in the main window: name left top right bottom
// window_probe pending            how many statuses are still being checked
// window_probe timings            milliseconds from the program's start to its rows shown and to
//                                 every status known, as the window itself counted them
// window_probe close [ms]         asks the window to close and waits for the program to end
#include <windows.h>
#include <commctrl.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/main_window_win.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_platform.h"

namespace {

HWND FindMain() { return FindWindowW(kMainWindowClass, platform::Widen(kWindowCaption).c_str()); }

// Control names to identifiers, from the window's own list of controls.
int ControlId(const std::string& name) {
  platform::Win32Platform system;
  MainWindow form(system.platform());
  const std::vector<TControl*> controls = form.Controls();
  for (size_t i = 0; i < controls.size(); ++i)
    if (controls[i]->Name() == name) return kFirstControlId + static_cast<int>(i);
  return -1;
}

std::string ControlName(int id) {
  platform::Win32Platform system;
  MainWindow form(system.platform());
  const std::vector<TControl*> controls = form.Controls();
  const int index = id - kFirstControlId;
  if (index < 0 || index >= static_cast<int>(controls.size())) return "";
  return controls[index]->Name();
}

struct Search {
  int id;
  HWND found;
};

BOOL CALLBACK MatchId(HWND child, LPARAM data) {
  auto* search = reinterpret_cast<Search*>(data);
  if (GetDlgCtrlID(child) != search->id) return TRUE;
  search->found = child;
  return FALSE;
}

HWND FindControl(HWND main, const std::string& name) {
  const int id = ControlId(name);
  if (id < 0) return nullptr;
  Search search{id, nullptr};
  EnumChildWindows(main, &MatchId, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Whether every control that is a window of its own (labels and pictures are drawn by their
// parent) has been made.
bool EveryControlMade(HWND main) {
  platform::Win32Platform system;
  MainWindow form(system.platform());
  const std::vector<TControl*> controls = form.Controls();
  for (size_t i = 0; i < controls.size(); ++i) {
    if (controls[i]->Kind() == ControlKind::kLabel || controls[i]->Kind() == ControlKind::kImage) continue;
    Search search{kFirstControlId + static_cast<int>(i), nullptr};
    EnumChildWindows(main, &MatchId, reinterpret_cast<LPARAM>(&search));
    if (!search.found) return false;
  }
  return true;
}

// Memory in the window's process, for the messages whose answers the system does not carry
// between processes.
class RemoteBuffer {
 public:
  RemoteBuffer(HWND window, size_t size) : size_(size) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
    if (process_) address_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
  }
  ~RemoteBuffer() {
    if (address_) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    if (process_) CloseHandle(process_);
  }
  RemoteBuffer(const RemoteBuffer&) = delete;
  RemoteBuffer& operator=(const RemoteBuffer&) = delete;
  bool ok() const { return address_ != nullptr; }
  char* at(size_t offset) const { return static_cast<char*>(address_) + offset; }
  bool Write(size_t offset, const void* data, size_t size) {
    return WriteProcessMemory(process_, at(offset), data, size, nullptr) != FALSE;
  }
  bool Read(size_t offset, void* data, size_t size) {
    return ReadProcessMemory(process_, at(offset), data, size, nullptr) != FALSE;
  }

 private:
  HANDLE process_ = nullptr;
  void* address_ = nullptr;
  size_t size_;
};

// The main list, or the list view that PROBE_LIST names (backupRows: the Backups page's blocks).
HWND ListView(HWND main) {
  const char* named = std::getenv("PROBE_LIST");
  return FindControl(main, named && *named ? named : "entryList");
}

std::string RowText(HWND view, RemoteBuffer& buffer, int row, int column) {
  constexpr size_t kTextSize = 2048;
  LVITEMW item{};
  item.iSubItem = column;
  item.cchTextMax = kTextSize;
  item.pszText = reinterpret_cast<wchar_t*>(buffer.at(sizeof item));
  buffer.Write(0, &item, sizeof item);
  const LRESULT length = SendMessageW(view, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(buffer.at(0)));
  std::wstring text(kTextSize, L'\0');
  buffer.Read(sizeof item, text.data(), kTextSize * sizeof(wchar_t));
  return platform::Narrow(text.data(), static_cast<size_t>(length > 0 ? length : 0));
}

int RowImage(HWND view, RemoteBuffer& buffer, int row) {
  LVITEMW item{};
  item.mask = LVIF_IMAGE;
  item.iItem = row;
  buffer.Write(0, &item, sizeof item);
  SendMessageW(view, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(buffer.at(0)));
  buffer.Read(0, &item, sizeof item);
  return item.iImage;
}

std::string WindowText(HWND window) {
  const LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const LRESULT copied = SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  return platform::Narrow(text.data(), static_cast<size_t>(copied > 0 ? copied : 0));
}

void PrintCenter(HWND window, RECT rect) {
  POINT middle{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
  ClientToScreen(window, &middle);
  std::printf("%ld %ld\n", middle.x, middle.y);
}

// The center of item `index` of a control of another process that answers `message` (a header's
// or a tab control's item rectangle) with the rectangle in its own memory.
bool PrintItemCenter(HWND control, UINT message, int index) {
  RemoteBuffer buffer(control, sizeof(RECT));
  RECT rect{};
  if (!buffer.ok() || !SendMessageW(control, message, index, reinterpret_cast<LPARAM>(buffer.at(0)))) return false;
  buffer.Read(0, &rect, sizeof rect);
  PrintCenter(control, rect);
  return true;
}

int Run(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: window_probe COMMAND [ARGUMENT]\n");
    return 1;
  }
  const std::string command = argv[1];
  const std::string argument = argc > 2 ? argv[2] : "";

  if (command == "wait" || command == "wait-checked") {
    const DWORD limit = argument.empty() ? 30000 : std::strtoul(argument.c_str(), nullptr, 10);
    const DWORD start = GetTickCount();
    for (;;) {
      HWND main = FindMain();
      // Visible means the first scan has read the registry and listed every entry; the statuses
      // follow, and the window's property counts those still to come. The pages out of sight are
      // made just after the window shows: ready once every control is there.
      const bool checked = command == "wait" || (main && !GetPropW(main, kPendingChecksProperty));
      if (main && IsWindowVisible(main) && checked && EveryControlMade(main)) {
        std::printf("ready\n");
        return 0;
      }
      if (GetTickCount() - start > limit) return 2;
      Sleep(20);
    }
  }

  HWND main = FindMain();
  if (!main) {
    std::fprintf(stderr, "window_probe: no window \"%s\"\n", kWindowCaption);
    return 2;
  }

  if (command == "pending") {
    std::printf("%d\n", static_cast<int>(reinterpret_cast<INT_PTR>(GetPropW(main, kPendingChecksProperty))));
    return 0;
  }

  if (command == "timings") {
    std::printf("%d %d\n", static_cast<int>(reinterpret_cast<INT_PTR>(GetPropW(main, kShownAfterProperty))),
                static_cast<int>(reinterpret_cast<INT_PTR>(GetPropW(main, kCheckedAfterProperty))));
    return 0;
  }

  if (command == "close") {
    const DWORD limit = argument.empty() ? 10000 : std::strtoul(argument.c_str(), nullptr, 10);
    DWORD processId = 0;
    GetWindowThreadProcessId(main, &processId);
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
    PostMessageA(main, WM_CLOSE, 0, 0);
    const DWORD waited = process ? WaitForSingleObject(process, limit) : WAIT_FAILED;
    if (process) CloseHandle(process);
    if (waited != WAIT_OBJECT_0) {
      std::fprintf(stderr, "window_probe: the program did not end\n");
      return 1;
    }
    std::printf("closed\n");
    return 0;
  }

  if (command == "client") {
    RECT client;
    GetClientRect(main, &client);
    POINT origin{0, 0};
    ClientToScreen(main, &origin);
    std::printf("%ld %ld %ld %ld\n", origin.x, origin.y, client.right, client.bottom);
    return 0;
  }

  if (command == "resize" || command == "maximize" || command == "restore") {
    // The window's client area made `argument` ("WIDTH HEIGHT") large, or the window maximized.
    if (command != "resize") {
      ShowWindow(main, command == "maximize" ? SW_MAXIMIZE : SW_RESTORE);
    } else {
      int width = 0, height = 0;
      if (std::sscanf(argument.c_str(), "%d %d", &width, &height) != 2) return 1;
      RECT frame{0, 0, width, height};
      AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(main, GWL_STYLE)), FALSE,
                         static_cast<DWORD>(GetWindowLongPtrW(main, GWL_EXSTYLE)));
      SetWindowPos(main, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    Sleep(300);
    RECT client;
    GetClientRect(main, &client);
    std::printf("%ld %ld\n", client.right, client.bottom);
    return 0;
  }

  if (command == "layout") {
    // Every control window directly in the main window: its name and its place in the client area.
    for (HWND child = GetWindow(main, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
      if (!IsWindowVisible(child)) continue;
      RECT place;
      GetWindowRect(child, &place);
      MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&place), 2);
      const std::string name = ControlName(GetDlgCtrlID(child));
      if (name.empty()) continue;
      std::printf("%s %ld %ld %ld %ld\n", name.c_str(), place.left, place.top, place.right, place.bottom);
    }
    return 0;
  }

  if (command == "focus") {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &info) || !info.hwndFocus) {
      std::printf("\n");
      return 0;
    }
    // The focus may sit in a part of a control (the edit box of a list, a header).
    HWND focus = info.hwndFocus;
    while (focus && focus != main) {
      const std::string name = ControlName(GetDlgCtrlID(focus));
      if (!name.empty()) {
        std::printf("%s\n", name.c_str());
        return 0;
      }
      focus = GetParent(focus);
    }
    std::printf("\n");
    return 0;
  }

  if (command == "tip") {
    // The text of the tooltip on show, if the program shows one.
    DWORD program = 0;
    GetWindowThreadProcessId(main, &program);
    for (HWND tip = nullptr; (tip = FindWindowExW(nullptr, tip, TOOLTIPS_CLASSW, nullptr)) != nullptr;) {
      DWORD owner = 0;
      GetWindowThreadProcessId(tip, &owner);
      if (owner == program && IsWindowVisible(tip)) {
        std::printf("%s\n", WindowText(tip).c_str());
        return 0;
      }
    }
    std::printf("\n");
    return 0;
  }

  if (command == "page") {
    HWND tabs = FindControl(main, "pageControl");
    std::printf("%d\n", static_cast<int>(SendMessageW(tabs, TCM_GETCURSEL, 0, 0)));
    return 0;
  }

  if (command == "count" || command == "rows" || command == "sources" || command == "selected" ||
      command == "row-center" || command == "show-row") {
    HWND view = ListView(main);
    if (!view) return 1;
    const int count = static_cast<int>(SendMessageW(view, LVM_GETITEMCOUNT, 0, 0));
    if (command == "count") {
      std::printf("%d\n", count);
      return 0;
    }
    if (command == "show-row") {
      SendMessageW(view, LVM_ENSUREVISIBLE, std::atoi(argument.c_str()), FALSE);
      return 0;
    }
    if (command == "selected") {
      std::printf("%d\n", static_cast<int>(SendMessageW(view, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED)));
      return 0;
    }
    RemoteBuffer buffer(view, 8192);
    if (!buffer.ok()) return 1;
    if (command == "row-center") {
      const int row = std::atoi(argument.c_str());
      RECT rect{};
      rect.left = LVIR_LABEL;
      buffer.Write(0, &rect, sizeof rect);
      if (!SendMessageW(view, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(buffer.at(0)))) return 1;
      buffer.Read(0, &rect, sizeof rect);
      PrintCenter(view, rect);
      return 0;
    }
    for (int row = 0; row < count; ++row) {
      if (command == "sources") {
        std::printf("%s\t%s\n", RowText(view, buffer, row, 0).c_str(), RowText(view, buffer, row, 3).c_str());
        continue;
      }
      std::printf("%s\t%s\t%s\t%d\n", RowText(view, buffer, row, 0).c_str(), RowText(view, buffer, row, 1).c_str(),
                  RowText(view, buffer, row, 2).c_str(), RowImage(view, buffer, row));
    }
    return 0;
  }

  if (command == "header-center") {
    HWND view = FindControl(main, "entryList");
    HWND header = view ? reinterpret_cast<HWND>(SendMessageW(view, LVM_GETHEADER, 0, 0)) : nullptr;
    return header && PrintItemCenter(header, HDM_GETITEMRECT, std::atoi(argument.c_str())) ? 0 : 1;
  }

  if (command == "selected-count") {
    HWND view = FindControl(main, "entryList");
    std::printf("%d\n", view ? static_cast<int>(SendMessageW(view, LVM_GETSELECTEDCOUNT, 0, 0)) : -1);
    return 0;
  }

  if (command == "tab-center") {
    HWND tabs = FindControl(main, "pageControl");
    return PrintItemCenter(tabs, TCM_GETITEMRECT, std::atoi(argument.c_str())) ? 0 : 1;
  }

  HWND control = FindControl(main, argument);
  if (!control) {
    std::fprintf(stderr, "window_probe: no control \"%s\"\n", argument.c_str());
    return 1;
  }
  if (command == "text") {
    std::printf("%s\n", WindowText(control).c_str());
    return 0;
  }
  if (command == "enabled") {
    std::printf("%d\n", IsWindowEnabled(control) ? 1 : 0);
    return 0;
  }
  if (command == "center") {
    RECT rect;
    GetClientRect(control, &rect);
    PrintCenter(control, rect);
    return 0;
  }
  if (command == "lines") {
    const int count = static_cast<int>(SendMessageW(control, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      // A Unicode list box answers in UTF-16, whichever call asks.
      const LRESULT length = SendMessageW(control, LB_GETTEXTLEN, i, 0);
      std::wstring wide(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
      if (SendMessageW(control, LB_GETTEXT, i, reinterpret_cast<LPARAM>(wide.data())) == LB_ERR) return 1;
      const std::string line = platform::Narrow(wide.c_str(), static_cast<size_t>(length > 0 ? length : 0));
      std::printf("%s\n", line.c_str());
    }
    return 0;
  }
  std::fprintf(stderr, "window_probe: unknown command %s\n", command.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  // Plain line ends for the shell scripts that read the answers.
  _setmode(_fileno(stdout), _O_BINARY);
  const int code = Run(argc, argv);
  std::fflush(stdout);
  return code;
}
