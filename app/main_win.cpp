// The program entry: the application's title, the one window, the message loop; or, with
// arguments, the command line's report and removals without any window.
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/common_controls_win.h"
#include "app/main_window_win.h"
#include "platform/win32/system_libraries.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_console.h"
#include "platform/win32/win32_platform.h"
#include "report/command_line.h"

namespace {

int RunWithoutWindow(const std::vector<std::string>& arguments) {
  platform::Win32Platform system;
  platform::Win32Console console(platform::Win32Console::Program::kWindowed);
  return RunCommandLine(arguments, system.platform(), console);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  platform::LoadLibrariesFromTheSystemOnly();
  const std::vector<std::string> arguments = platform::CommandLineArguments();
  if (!arguments.empty()) return RunWithoutWindow(arguments);

  platform::Win32Platform system;
  system.ui.SetTitle(kApplicationTitle);
  MainWindow form(system.platform());
  // The registry is read while the common controls' library loads and the window is made.
  form.ReadInventoryAhead();
  common_controls::Initialize(ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES);
  // The window lists every entry at once and its statuses follow from a worker thread.
  form.checks.CheckInBackground = true;
  MainWindowWin32 window(form, system.ui, instance);
  if (!window.Create()) {
    MessageBoxW(nullptr, L"The main window could not be created.", platform::Widen(kApplicationTitle).c_str(),
                MB_OK | MB_ICONERROR);
    return 1;
  }
  // The first scan runs before the window becomes visible; the window shows even if it fails.
  window.RunFormCreate();
  window.Show(showCommand);
  const int code = system.ui.RunMessageLoop();
  // The window is gone: the program ends now, without waiting for a status check still running on
  // a worker (a network drive that does not answer); everything it wrote is on the disk.
  system.ui.ExitProgram(code);
}
