#pragma once
// Dialogs, sounds, the shell and the thread's message queue.
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform {

class Ui {
 public:
  virtual ~Ui() = default;

  // MessageBoxW owned by the main window; answers the button pressed (kIdYes, ...).
  virtual int AskMessageBox(const std::string& text, const std::string& caption, std::uint32_t style) = 0;
  // A Yes/No question with a list of lines under it, scrollable when long (the names of the entries
  // a command is about); answers kIdYes or kIdNo. Yes is the default button.
  virtual int AskWithList(const std::string& text, const std::string& caption,
                          const std::vector<std::string>& lines) = 0;
  // A button of a question, in the words of what it does: the answer it gives, and its caption.
  struct Button {
    int id;
    std::string caption;
  };
  // A question with the buttons given (Save, Discard, Cancel), `defaultId` the one Enter presses;
  // answers the id of the button pressed, kIdCancel when the question is closed. Where the system
  // has no task dialog, the message box's Yes, No and Cancel stand for the first three buttons, in
  // their order, with a line under the text that says which is which.
  virtual int AskWithButtons(const std::string& text, const std::string& caption, const std::vector<Button>& buttons,
                             int defaultId) = 0;
  // Where a pop-up menu opens: at the mouse, or (asked for from the keyboard) at the selected row of
  // the focused list, or under the focused control when it has none.
  enum class MenuPlace { kAtMouse, kAtSelection };
  // A pop-up menu: answers the index of the item chosen, -1 when none. An empty item is a
  // separator; an item whose text starts with '!' is shown disabled (without the '!').
  virtual int ChooseFromMenu(const std::vector<std::string>& items, MenuPlace place) = 0;
  // Puts the text on the clipboard.
  virtual void CopyText(const std::string& text) = 0;
  // The simple message dialog: the application title as caption, the text, one OK button.
  virtual void ShowMessage(const std::string& text) = 0;
  // The default error display: application title as caption, error icon, OK.
  virtual void ShowError(const std::string& text) = 0;
  // MessageBeep.
  virtual void SoundBeep(std::uint32_t type) = 0;
  // ShellExecuteW(main window, no verb, file, parameters, no folder, show): its result.
  virtual int ShellOpen(const std::string& file, const std::string& parameters, int show) = 0;

  // Takes every queued message (PeekMessageW with PM_REMOVE) and dispatches it directly; answers
  // false as soon as WM_QUIT is taken, with its wParam in *quitCode.
  virtual bool DispatchPendingMessages(int* quitCode) = 0;
  // The framework's call that handles pending messages (repaints) before a handler returns.
  virtual void ProcessMessages() = 0;
  // Runs the task on the window's thread, after the messages already queued there (PostMessage to
  // the main window). May be called from any thread; a task posted when there is no window to run
  // it is dropped.
  virtual void Post(std::function<void()> task) = 0;
  // Runs the task on the window's thread once the delay has passed, when the window has no input or
  // drawing waiting (a timer). May be called from any thread; dropped like a posted task.
  virtual void PostAfter(std::chrono::milliseconds delay, std::function<void()> task) = 0;
  // Ends the whole program at once with the code.
  [[noreturn]] virtual void ExitProgram(int code) = 0;
};

}  // namespace platform
