// The program entry: the application's title, the one window, the message loop.
#include <windows.h>
#include <commctrl.h>

#include "app/form1.h"
#include "app/form1_win.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_platform.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES;
  InitCommonControlsEx(&controls);

  platform::Win32Platform system;
  system.ui.SetTitle(kApplicationTitle);
  TForm1 form(system.platform());
  // The window lists every entry at once and its statuses follow from a worker thread.
  form.CheckInBackground = true;
  TForm1Window window(form, system.ui, instance);
  if (!window.Create()) {
    MessageBoxW(nullptr, L"The main window could not be created.", platform::Widen(kApplicationTitle).c_str(),
                MB_OK | MB_ICONERROR);
    return 1;
  }
  // The first scan runs before the window becomes visible; the window shows even if it fails.
  window.RunFormCreate();
  window.Show(showCommand);
  return system.ui.RunMessageLoop();
}
