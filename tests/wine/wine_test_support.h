#pragma once
// What the Windows tests share: the test program's folder, whole-file reads, folder removal, and
// Wine's real registry, files and processes with a Ui that records, for the units and the window.
#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>

#include "platform/win32/wide_text.h"
#include "platform/win32/win32_platform.h"
#include "tests/wine/recording_ui.h"

// The folder of the running test program, ending in a backslash: the executable's folder, beside
// which the window and the units keep the folder Backup.
inline std::string TestFolder() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  const std::string text = path;
  return text.substr(0, text.find_last_of('\\') + 1);
}

inline std::string ReadFileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Deletes a folder (its path in UTF-8) and everything in it.
inline void RemoveTree(const std::string& folder) {
  WIN32_FIND_DATAW found;
  const HANDLE find = FindFirstFileW(platform::Widen(folder + "\\*").c_str(), &found);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::string path = folder + "\\" + platform::Narrow(name);
      SetFileAttributesW(platform::Widen(path).c_str(), FILE_ATTRIBUTE_NORMAL);
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(path);
      else DeleteFileW(platform::Widen(path).c_str());
    } while (FindNextFileW(find, &found));
    FindClose(find);
  }
  RemoveDirectoryW(platform::Widen(folder).c_str());
}

// The real platform, its dialogs recorded instead of shown.
struct WinePlatform {
  platform::Win32Platform real;
  RecordingUi ui;
  platform::Platform platform{real.registry, real.files, real.system, real.processes, ui};
};
