#pragma once
// Libraries come from the system's own folder only. A program that runs with an administrator's
// rights, often straight from a downloads folder, must not load a library that someone placed
// beside it or in the working folder under a name that Windows would look for there first.
#include <windows.h>

namespace platform {

// The program's first act: every later load by name, its own and those of the system's libraries,
// looks in the System folder only (SetDefaultDllDirectories with LOAD_LIBRARY_SEARCH_SYSTEM32).
void LoadLibrariesFromTheSystemOnly();
// The library of that name from the System folder; null when it is not there.
HMODULE LoadSystemLibrary(const wchar_t* name);
// The library's function of that name, as the type it is called through; null when the library
// (null too) or the function is not there. For functions that not every Windows has, and for
// libraries loaded only when first needed.
template <class Function>
Function LibraryFunction(HMODULE library, const char* name) {
  return library ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name))) : nullptr;
}

}  // namespace platform
