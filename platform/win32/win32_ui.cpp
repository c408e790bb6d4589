#include "platform/win32/win32_ui.h"

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
  {
    std::lock_guard<std::mutex> lock(postedMutex_);
    posted_.push_back(std::move(task));
  }
  PostMessageW(window, kRunPostedMessage, 0, 0);
}

void Win32Ui::RunPosted() {
  for (;;) {
    std::function<void()> task;
    {
      std::lock_guard<std::mutex> lock(postedMutex_);
      if (posted_.empty()) return;
      task = std::move(posted_.front());
      posted_.pop_front();
    }
    task();
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
  static const auto shellExecute = reinterpret_cast<ShellExecuteFunction>(
      reinterpret_cast<void*>(GetProcAddress(LoadLibraryW(L"shell32.dll"), "ShellExecuteW")));
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
