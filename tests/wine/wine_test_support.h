#pragma once
// What the Windows tests share: the test program's folder, whole-file reads, folder removal, and
// a TForm1 on Wine's real registry, files and processes with a Ui that records.
#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>

#include "app/form1.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_platform.h"
#include "tests/wine/recording_ui.h"

// The folder of the running test program, ending in a backslash (the form's ExeFolder()).
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

// The main list's row of the entry of that key name, -1 when it is not listed.
inline int MainListRow(const TForm1& form, const std::string& keyName) {
  for (int i = 0; i < form.ListView1.Count(); ++i)
    if (form.ListView1.Item(i).SubItems.at(0) == keyName) return i;
  return -1;
}

// The window's logic on the real platform, its dialogs recorded instead of shown.
struct WineForm {
  platform::Win32Platform real;
  RecordingUi ui;
  platform::Platform platform{real.registry, real.files, real.system, real.processes, ui};
  TForm1 form{platform};
};
