#include "app/common_controls_win.h"

#include "platform/win32/system_libraries.h"

namespace common_controls {

namespace {

// The function of the library, or null when the library or the function is not there.
template <class Function>
Function Resolve(const char* name) {
  static HMODULE library = platform::LoadSystemLibrary(L"comctl32.dll");
  return platform::LibraryFunction<Function>(library, name);
}

}  // namespace

bool Initialize(DWORD classes) {
  static const auto initialize = Resolve<BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*)>("InitCommonControlsEx");
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof controls;
  controls.dwICC = classes;
  return initialize && initialize(&controls);
}

HIMAGELIST CreateImageList(int width, int height, UINT flags, int initial, int grow) {
  static const auto create = Resolve<HIMAGELIST(WINAPI*)(int, int, UINT, int, int)>("ImageList_Create");
  return create ? create(width, height, flags, initial, grow) : nullptr;
}

void DestroyImageList(HIMAGELIST list) {
  static const auto destroy = Resolve<BOOL(WINAPI*)(HIMAGELIST)>("ImageList_Destroy");
  if (destroy && list) destroy(list);
}

int AddIcon(HIMAGELIST list, HICON icon) {
  static const auto replace = Resolve<int(WINAPI*)(HIMAGELIST, int, HICON)>("ImageList_ReplaceIcon");
  return replace ? replace(list, -1, icon) : -1;
}

}  // namespace common_controls
