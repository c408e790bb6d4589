#pragma once
// The common controls' calls, from the library in the System folder (version 6, as the manifest
// asks), loaded when first needed rather than imported, so that no copy beside the program is taken.
#include <windows.h>
#include <commctrl.h>

namespace common_controls {

bool Initialize(DWORD classes);
HIMAGELIST CreateImageList(int width, int height, UINT flags, int initial, int grow);
void DestroyImageList(HIMAGELIST list);
// Adds the icon at the end: its index, -1 when it could not be added.
int AddIcon(HIMAGELIST list, HICON icon);

}  // namespace common_controls
