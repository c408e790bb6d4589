#pragma once
// Registry trees for the Windows tests and programs of removal and merge-back, written with the
// registry calls themselves, and the registry editor's merge run as a child process. Names given
// to the wide calls are UTF-8.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/text_encoding.h"
#include "platform/win32/wide_text.h"

namespace undo_seeds {

inline const std::string kUninstallPath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// String data as the wide calls store it: UTF-16LE of the UTF-8 text, with its NUL character.
inline std::string Text(const std::string& text) { return platform::Utf16LeFromUtf8(text) + std::string(2, '\0'); }
// The same without a NUL added: for texts that hold their NULs themselves.
inline std::string Wide(const std::string& text) { return platform::Utf16LeFromUtf8(text); }

// RegSetValueExW: the data as they are, whatever the type.
inline bool Set(HKEY key, const std::string& name, DWORD type, const std::string& bytes) {
  return RegSetValueExW(key, platform::Widen(name).c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                        static_cast<DWORD>(bytes.size())) == ERROR_SUCCESS;
}

inline HKEY Create(HKEY root, const std::string& path) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(root, platform::Widen(path).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    return nullptr;
  return key;
}

// Deletes the key tree; `view` (KEY_WOW64_64KEY or KEY_WOW64_32KEY) names a registry view other than
// this program's own.
inline void DeleteTree(HKEY root, const std::string& path, REGSAM view = 0) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, platform::Widen(path).c_str(), 0, KEY_ALL_ACCESS | view, &key) != ERROR_SUCCESS) return;
  std::vector<std::string> children;
  wchar_t name[1024];
  for (DWORD i = 0;; ++i) {
    DWORD length = 1024;
    if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    children.push_back(platform::Narrow(name, length));
  }
  RegCloseKey(key);
  for (const std::string& child : children) DeleteTree(root, path + "\\" + child, view);
  if (view) RegDeleteKeyExW(root, platform::Widen(path).c_str(), view, 0);
  else RegDeleteKeyW(root, platform::Widen(path).c_str());
}

inline std::string EveryByte(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 31 + i / 256) & 0xFF);
  return bytes;
}

// The name of the value of each type code 0 to 11 that SeedEveryType writes.
inline std::string TypeValueName(DWORD type) { return "Type " + std::to_string(type); }

// An entry with a value of every type code 0 to 11 and texts that need escaping: quotes,
// backslashes, CR, LF, bytes from 0x80 up; empty data; a 100 KB binary; subkeys two levels deep.
inline bool SeedEveryType(HKEY root, const std::string& path, const std::string& displayName) {
  HKEY key = Create(root, path);
  if (!key) return false;
  bool ok = true;
  ok &= Set(key, "DisplayName", REG_SZ, Text(displayName));
  ok &= Set(key, "UninstallString", REG_SZ, Text("\"C:\\Program Files\\Round Trip\\unins000.exe\" /x"));
  ok &= Set(key, "", REG_SZ, Text("the default value"));
  ok &= Set(key, TypeValueName(REG_NONE), REG_NONE, std::string("\x00\x80\xff\x0d\x0a", 5));
  ok &= Set(key, TypeValueName(REG_SZ), REG_SZ,
            Text("say \"hi\" to C:\\dir\\ \r\nline two\ttab \xc3\xa9\xc3\xa8\xc3\xbc\xc2\xa3"));
  ok &= Set(key, TypeValueName(REG_EXPAND_SZ), REG_EXPAND_SZ, Text("%SystemRoot%\\system32\\\"x\" \xc3\xa9"));
  ok &= Set(key, TypeValueName(REG_BINARY), REG_BINARY, EveryByte(100 * 1024));
  ok &= Set(key, TypeValueName(REG_DWORD), REG_DWORD, std::string("\xff\xff\xff\xff", 4));
  ok &= Set(key, TypeValueName(REG_DWORD_BIG_ENDIAN), REG_DWORD_BIG_ENDIAN, std::string("\x12\x34\x56\x78", 4));
  ok &= Set(key, TypeValueName(REG_LINK), REG_LINK, std::string("\\\0R\0e\0g\0", 8));
  ok &= Set(key, TypeValueName(REG_MULTI_SZ), REG_MULTI_SZ, Wide(std::string("one\0\"two\" \\ \xc3\xa9\0\0", 16)));
  ok &= Set(key, TypeValueName(REG_RESOURCE_LIST), REG_RESOURCE_LIST, EveryByte(40));
  ok &= Set(key, TypeValueName(REG_FULL_RESOURCE_DESCRIPTOR), REG_FULL_RESOURCE_DESCRIPTOR, EveryByte(33));
  ok &= Set(key, TypeValueName(REG_RESOURCE_REQUIREMENTS_LIST), REG_RESOURCE_REQUIREMENTS_LIST, EveryByte(7));
  ok &= Set(key, TypeValueName(11), 11, std::string("\x01\x00\x00\x00\x00\x00\x00\x80", 8));
  ok &= Set(key, "Empty binary", REG_BINARY, "");
  ok &= Set(key, "Empty string", REG_SZ, "");
  ok &= Set(key, "Empty none", REG_NONE, "");
  ok &= Set(key, "Name with \"quotes\", \\backslashes\\ and [brackets]", REG_SZ, Text("v"));
  ok &= Set(key, "Line\r\nbreak in a name", REG_DWORD, std::string("\x01\0\0\0", 4));
  ok &= Set(key, "Odd type 0x1234", 0x1234, "odd");
  RegCloseKey(key);
  HKEY deep = Create(root, path + "\\Level one\\Level two");
  if (!deep) return false;
  ok &= Set(deep, "Deep", REG_SZ, Text("two levels down"));
  ok &= Set(deep, "Number", REG_DWORD, std::string("\x1a\0\0\0", 4));
  RegCloseKey(deep);
  HKEY one = Create(root, path + "\\Level one");
  ok &= one && Set(one, "", REG_EXPAND_SZ, Text("%TEMP%"));
  if (one) RegCloseKey(one);
  HKEY empty = Create(root, path + "\\Empty key");
  if (empty) RegCloseKey(empty);
  return ok && empty;
}

// An entry of `values` values of mixed types, `subkeys` subkeys of `values / 10` values each, and
// one binary value of `binarySize` bytes when that is not 0.
inline bool SeedLargeEntry(HKEY root, const std::string& path, int values, int subkeys, size_t binarySize) {
  HKEY key = Create(root, path);
  if (!key) return false;
  bool ok = Set(key, "DisplayName", REG_SZ, Text("Large entry")) &&
            Set(key, "UninstallString", REG_SZ, Text("C:\\large\\unins.exe"));
  for (int i = 0; i < values; ++i) {
    const std::string name = "Value " + std::to_string(i);
    switch (i % 4) {
      case 0: ok &= Set(key, name, REG_SZ, Text("text \"" + std::to_string(i) + "\" C:\\x")); break;
      case 1: ok &= Set(key, name, REG_DWORD, std::string(reinterpret_cast<const char*>(&i), 4)); break;
      case 2: ok &= Set(key, name, REG_BINARY, EveryByte(64 + i)); break;
      default: ok &= Set(key, name, REG_EXPAND_SZ, Text("%TEMP%\\" + std::to_string(i))); break;
    }
  }
  if (binarySize) ok &= Set(key, "Large binary", REG_BINARY, EveryByte(binarySize));
  RegCloseKey(key);
  for (int s = 0; s < subkeys; ++s) {
    HKEY sub = Create(root, path + "\\Subkey " + std::to_string(s));
    if (!sub) return false;
    for (int i = 0; i < values / 10; ++i) ok &= Set(sub, "Sub value " + std::to_string(i), REG_SZ, Text("s"));
    RegCloseKey(sub);
  }
  return ok;
}

// Merges the file with the registry editor as a child process and waits for it.
inline bool MergeWithRegedit(const std::string& file) {
  std::wstring command = platform::Widen("regedit.exe /s \"" + file + "\"");
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return false;
  const bool ended = WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return ended;
}

// Merges with a registry editor: in a 64-bit prefix the Windows folder holds the 64-bit one, which
// Wine starts for a 32-bit program only while its file-system redirection is off (Windows always
// does), and SysWOW64 the 32-bit one; a 32-bit prefix has only the one.
inline bool MergeWithEditor(const std::string& editor, bool sixtyFourBit, const std::string& file) {
  std::string command = "\"" + editor + "\" /s \"" + file + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  PVOID cell = nullptr;
  const bool off = sixtyFourBit && Wow64DisableWow64FsRedirection(&cell);
  const BOOL started =
      CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process);
  if (off) Wow64RevertWow64FsRedirection(cell);
  if (!started) return false;
  const bool ended = WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return ended;
}

// Merges the day's undo files of a stem ("...\\Backup\\UndoYYYYMMDD"): the REGEDIT4 file and the
// Unicode one, each when it is there. Which of them a change went to depends on the code page.
inline bool MergeUndoFiles(const std::string& stem) {
  for (const char* suffix : {".reg", ".unicode.reg"}) {
    const std::string file = stem + suffix;
    if (GetFileAttributesW(platform::Widen(file).c_str()) == INVALID_FILE_ATTRIBUTES) continue;
    if (!MergeWithRegedit(file)) return false;
  }
  return true;
}

}  // namespace undo_seeds
