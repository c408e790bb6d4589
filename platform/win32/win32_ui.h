#pragma once
// Dialogs, sounds, the shell and the message queue through user32 and shell32, owned by the
// program's main window.
#include <windows.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>

#include "platform/posted_tasks.h"
#include "platform/ui.h"

namespace platform {

// The message that tells the main window to run the tasks posted to it.
inline constexpr UINT kRunPostedMessage = WM_APP + 0x100;
// The main window's timer for the tasks posted to run later: it calls RunPosted for it too.
inline constexpr UINT_PTR kDelayedTasksTimer = 0x7D01;

class Win32Ui : public Ui {
 public:
  // The application's title: the caption of the simple message dialog and the error display.
  void SetTitle(std::string title) { title_ = std::move(title); }

  // The window that owns message boxes and shell windows; none until it exists.
  void SetMainWindow(HWND window) { mainWindow_ = window; }
  HWND MainWindow() const { return mainWindow_; }
  // Runs the tasks posted so far and the delayed ones that are due, and sets the timer for the
  // next; the main window calls it for kRunPostedMessage and for its timer kDelayedTasksTimer.
  void RunPosted();
  // The window's own handling of a message before it is dispatched (keyboard navigation,
  // accelerators); answers true when the message was used up.
  void SetMessageFilter(std::function<bool(MSG&)> filter) { filter_ = std::move(filter); }

  // Runs the message loop until WM_QUIT; answers its exit code.
  int RunMessageLoop();

  int AskMessageBox(const std::string& text, const std::string& caption, std::uint32_t style) override;
  void ShowMessage(const std::string& text) override;
  void ShowError(const std::string& text) override;
  void SoundBeep(std::uint32_t type) override;
  int ShellOpen(const std::string& file, const std::string& parameters, int show) override;
  bool DispatchPendingMessages(int* quitCode) override;
  void ProcessMessages() override;
  [[noreturn]] void ExitProgram(int code) override;
  void Post(std::function<void()> task) override;
  void PostAfter(std::chrono::milliseconds delay, std::function<void()> task) override;
  int AskWithList(const std::string& text, const std::string& caption, const std::vector<std::string>& lines) override;
  int AskWithButtons(const std::string& text, const std::string& caption, const std::vector<Button>& buttons,
                     int defaultId) override;
  int ChooseFromMenu(const std::vector<std::string>& items, MenuPlace place) override;
  void CopyText(const std::string& text) override;

 private:
  void Deliver(MSG& message);

  std::string title_;
  std::atomic<HWND> mainWindow_{nullptr};
  std::function<bool(MSG&)> filter_;
  PostedTasks tasks_;
  // The window's timer is set for the first delayed task (on the window's thread only).
  bool timerSet_ = false;
};

}  // namespace platform
