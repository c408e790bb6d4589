#include "platform/win32/win32_ui.h"

#include "platform/win32/system_libraries.h"
#include "platform/win32/task_dialog.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include <commctrl.h>
#include <shellapi.h>

#include "platform/win32/wide_text.h"

namespace platform {

int Win32Ui::RunMessageLoop() {
  MSG message;
  for (;;) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) return static_cast<int>(message.wParam);
    if (got == -1) return 1;
    Deliver(message);
  }
}

void Win32Ui::Post(std::function<void()> task) {
  const HWND window = mainWindow_;
  if (!window) return;
  tasks_.Post(std::move(task));
  PostMessageW(window, kRunPostedMessage, 0, 0);
}

void Win32Ui::PostAfter(std::chrono::milliseconds delay, std::function<void()> task) {
  const HWND window = mainWindow_;
  if (!window) return;
  tasks_.PostAfter(delay, std::move(task));
  // The window's thread sets its timer when it takes the message.
  PostMessageW(window, kRunPostedMessage, 0, 0);
}

void Win32Ui::RunPosted() {
  for (;;) {
    PostedTasks::Clock::duration wait{};
    std::function<void()> task = tasks_.Take(&wait);
    if (task) {
      task();
      continue;
    }
    if (wait > PostedTasks::Clock::duration::zero()) {
      // Rounded up: a timer that fires early would find nothing due.
      const auto ms = std::chrono::ceil<std::chrono::milliseconds>(wait).count();
      timerSet_ = SetTimer(mainWindow_, kDelayedTasksTimer, static_cast<UINT>(ms), nullptr) != 0;
    } else if (timerSet_) {
      KillTimer(mainWindow_, kDelayedTasksTimer);
      timerSet_ = false;
    }
    return;
  }
}

void Win32Ui::Deliver(MSG& message) {
  if (filter_ && filter_(message)) return;
  TranslateMessage(&message);
  DispatchMessageW(&message);
}

int Win32Ui::AskMessageBox(const std::string& text, const std::string& caption, std::uint32_t style) {
  return MessageBoxW(mainWindow_, Widen(text).c_str(), Widen(caption).c_str(), style);
}

int Win32Ui::AskWithButtons(const std::string& text, const std::string& caption, const std::vector<Button>& buttons,
                            int defaultId) {
  std::vector<std::pair<int, std::wstring>> labels;
  for (const Button& button : buttons) labels.emplace_back(button.id, Widen(button.caption));
  int answer = IDCANCEL;
  if (AskWithTaskDialog(mainWindow_, Widen(text), Widen(caption), labels, defaultId, &answer)) return answer;
  // Without a task dialog: Yes, No and Cancel stand for the first three buttons, as the text says.
  static constexpr int kStock[] = {IDYES, IDNO, IDCANCEL};
  static constexpr const char* kStockNames[] = {"Yes", "No", "Cancel"};
  static constexpr UINT kDefaults[] = {MB_DEFBUTTON1, MB_DEFBUTTON2, MB_DEFBUTTON3};
  const size_t count = std::min<size_t>(buttons.size(), 3);
  std::string legend;
  UINT style = MB_YESNOCANCEL | MB_ICONWARNING;
  for (size_t i = 0; i < count; ++i) {
    std::string shown = buttons[i].caption;
    std::erase(shown, '&');  // the access key's mark
    if (shown != kStockNames[i]) legend += std::string(legend.empty() ? "" : ", ") + kStockNames[i] + ": " + shown;
    if (buttons[i].id == defaultId) style |= kDefaults[i];
  }
  const int pressed = AskMessageBox(legend.empty() ? text : text + "\n\n" + legend + ".", caption, style);
  for (size_t i = 0; i < count; ++i)
    if (pressed == kStock[i]) return buttons[i].id;
  return IDCANCEL;
}

namespace {

// A dialog template built in memory: a header, then items, each aligned to four bytes.
class DialogTemplate {
 public:
  DialogTemplate(DWORD style, short width, short height, const std::wstring& title, int items) {
    DLGTEMPLATE header{};
    header.style = style | DS_SETFONT;
    header.cdit = static_cast<WORD>(items);
    header.cx = width;
    header.cy = height;
    Append(&header, sizeof header);
    Word(0);  // no menu
    Word(0);  // the standard class
    Text(title);
    Word(8);
    Text(L"MS Shell Dlg");
  }
  // An item of a predefined class (0x80 button, 0x81 edit, 0x82 static) with its text.
  void Item(WORD atom, DWORD style, short x, short y, short width, short height, WORD id, const std::wstring& text) {
    while (bytes_.size() % 4) bytes_.push_back(0);
    DLGITEMTEMPLATE item{};
    item.style = style | WS_CHILD | WS_VISIBLE;
    item.x = x;
    item.y = y;
    item.cx = width;
    item.cy = height;
    item.id = id;
    Append(&item, sizeof item);
    Word(0xFFFF);
    Word(atom);
    Text(text);
    Word(0);  // no creation data
  }
  const DLGTEMPLATE* Get() {
    while (bytes_.size() % 4) bytes_.push_back(0);
    return reinterpret_cast<const DLGTEMPLATE*>(bytes_.data());
  }

 private:
  void Append(const void* data, size_t size) {
    const auto* at = static_cast<const unsigned char*>(data);
    bytes_.insert(bytes_.end(), at, at + size);
  }
  void Word(WORD word) { Append(&word, sizeof word); }
  void Text(const std::wstring& text) { Append(text.c_str(), (text.size() + 1) * sizeof(wchar_t)); }

  std::vector<unsigned char> bytes_;
};

constexpr WORD kListBoxId = 100;

INT_PTR CALLBACK ListQuestionProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      SetDlgItemTextW(dialog, kListBoxId, reinterpret_cast<const wchar_t*>(lParam));
      // No is the default: Enter pressed by habit removes nothing.
      SetFocus(GetDlgItem(dialog, IDNO));
      return FALSE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDYES || LOWORD(wParam) == IDNO || LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, LOWORD(wParam) == IDYES ? IDYES : IDNO);
        return TRUE;
      }
      break;
  }
  return FALSE;
}

}  // namespace

int Win32Ui::AskWithList(const std::string& text, const std::string& caption, const std::vector<std::string>& lines) {
  DialogTemplate dialog(DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU, 260, 170, Widen(caption), 4);
  dialog.Item(0x82, SS_LEFT, 8, 8, 244, 18, 0xFFFF, Widen(text));
  dialog.Item(0x81, ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL | WS_BORDER | WS_TABSTOP, 8, 30, 244,
              110, kListBoxId, L"");
  dialog.Item(0x80, BS_PUSHBUTTON | WS_TABSTOP, 144, 148, 50, 14, IDYES, L"&Yes");
  dialog.Item(0x80, BS_DEFPUSHBUTTON | WS_TABSTOP, 202, 148, 50, 14, IDNO, L"&No");
  std::string joined;
  for (const std::string& line : lines) joined += (joined.empty() ? "" : "\r\n") + line;
  const std::wstring list = Widen(joined);
  const INT_PTR answer = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), dialog.Get(), mainWindow_,
                                                 &ListQuestionProc, reinterpret_cast<LPARAM>(list.c_str()));
  return answer == IDYES ? IDYES : IDNO;
}

int Win32Ui::ChooseFromMenu(const std::vector<std::string>& items, MenuPlace place) {
  HMENU menu = CreatePopupMenu();
  if (!menu) return -1;
  for (size_t i = 0; i < items.size(); ++i) {
    const std::string& item = items[i];
    if (item.empty()) {
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
      continue;
    }
    const bool disabled = item[0] == '!';
    AppendMenuW(menu, MF_STRING | (disabled ? MF_GRAYED : 0), i + 1, Widen(disabled ? item.substr(1) : item).c_str());
  }
  // From the mouse the menu opens where it is; from the keyboard at the focused list's selected row,
  // or under the focused control.
  POINT at{};
  GetCursorPos(&at);
  HWND focus = GetFocus();
  if (focus && place == MenuPlace::kAtSelection) {
    RECT bounds{};
    GetWindowRect(focus, &bounds);
    at = POINT{bounds.left + 16, bounds.top + 16};
    const LRESULT row = SendMessageW(focus, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
    RECT item{};
    item.left = LVIR_LABEL;
    if (row >= 0 && SendMessageW(focus, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item))) {
      POINT corner{item.left + 16, item.bottom};
      ClientToScreen(focus, &corner);
      // Within the list: a row scrolled out of sight leaves the menu at the list's corner.
      if (corner.y >= bounds.top && corner.y <= bounds.bottom) at = corner;
    }
  }
  const int chosen = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0,
                                    mainWindow_, nullptr);
  DestroyMenu(menu);
  return chosen > 0 ? chosen - 1 : -1;
}

void Win32Ui::CopyText(const std::string& text) {
  const std::wstring wide = Widen(text);
  if (!OpenClipboard(mainWindow_)) return;
  EmptyClipboard();
  const size_t bytes = (wide.size() + 1) * sizeof(wchar_t);
  if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
    if (void* at = GlobalLock(memory)) {
      std::memcpy(at, wide.c_str(), bytes);
      GlobalUnlock(memory);
      if (!SetClipboardData(CF_UNICODETEXT, memory)) GlobalFree(memory);
    } else {
      GlobalFree(memory);
    }
  }
  CloseClipboard();
}

void Win32Ui::ShowMessage(const std::string& text) {
  MessageBoxW(mainWindow_, Widen(text).c_str(), Widen(title_).c_str(), MB_OK);
}

void Win32Ui::ShowError(const std::string& text) {
  MessageBoxW(mainWindow_, Widen(text).c_str(), Widen(title_).c_str(), MB_OK | MB_ICONERROR);
}

void Win32Ui::SoundBeep(std::uint32_t type) { MessageBeep(type); }

int Win32Ui::ShellOpen(const std::string& file, const std::string& parameters, int show) {
  // The shell's library is loaded the first time it is needed, not at every start of the program.
  using ShellExecuteFunction = HINSTANCE(WINAPI*)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);
  static const auto shellExecute =
      LibraryFunction<ShellExecuteFunction>(LoadSystemLibrary(L"shell32.dll"), "ShellExecuteW");
  if (!shellExecute) return SE_ERR_DLLNOTFOUND;
  const std::wstring wideParameters = Widen(parameters);
  HINSTANCE result = shellExecute(mainWindow_, nullptr, Widen(file).c_str(),
                                  parameters.empty() ? nullptr : wideParameters.c_str(), nullptr, show);
  return static_cast<int>(reinterpret_cast<INT_PTR>(result));
}

bool Win32Ui::DispatchPendingMessages(int* quitCode) {
  // Delivered as they come, without the window's keyboard handling: the wait of a child
  // process serves the queue this way.
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      *quitCode = static_cast<int>(message.wParam);
      return false;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return true;
}

void Win32Ui::ProcessMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // The main loop ends the program; put the request back for it to see.
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    Deliver(message);
  }
}

void Win32Ui::ExitProgram(int code) { ExitProcess(static_cast<UINT>(code)); }

}  // namespace platform
