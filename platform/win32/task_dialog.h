#pragma once
// The task dialog of the common controls' version 6 (Windows Vista and later, and Wine): a question
// whose buttons say what they do.
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace platform {

// Shows the question owned by the window, with a warning icon and the buttons given (id, caption),
// Enter pressing `defaultId`; sets *answer to the id pressed (IDCANCEL when closed). False, with
// nothing shown, where the system has no task dialog.
bool AskWithTaskDialog(HWND owner, const std::wstring& text, const std::wstring& caption,
                       const std::vector<std::pair<int, std::wstring>>& buttons, int defaultId, int* answer);

}  // namespace platform
