// The program is built for Windows XP, whose headers leave out the task dialog's types; it is
// looked up when first asked for, so their declarations are enough.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600

#include "platform/win32/task_dialog.h"

#include <commctrl.h>

#include "platform/win32/system_libraries.h"

namespace platform {

bool AskWithTaskDialog(HWND owner, const std::wstring& text, const std::wstring& caption,
                       const std::vector<std::pair<int, std::wstring>>& buttons, int defaultId, int* answer) {
  using TaskDialogIndirectFunction = HRESULT(WINAPI*)(const TASKDIALOGCONFIG*, int*, int*, BOOL*);
  static const auto taskDialog =
      LibraryFunction<TaskDialogIndirectFunction>(LoadSystemLibrary(L"comctl32.dll"), "TaskDialogIndirect");
  if (!taskDialog) return false;
  std::vector<TASKDIALOG_BUTTON> taskButtons;
  for (const auto& [id, label] : buttons) taskButtons.push_back({id, label.c_str()});
  TASKDIALOGCONFIG config{};
  config.cbSize = sizeof config;
  config.hwndParent = owner;
  // Escape and the close box answer IDCANCEL.
  config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION | TDF_POSITION_RELATIVE_TO_WINDOW;
  config.pszWindowTitle = caption.c_str();
  config.pszMainIcon = TD_WARNING_ICON;
  config.pszContent = text.c_str();
  config.cButtons = static_cast<UINT>(taskButtons.size());
  config.pButtons = taskButtons.data();
  config.nDefaultButton = defaultId;
  int pressed = IDCANCEL;
  if (FAILED(taskDialog(&config, &pressed, nullptr, nullptr))) return false;
  *answer = pressed;
  return true;
}

}  // namespace platform
