#pragma once
// The uninstall entries and installer products that the tests of the entry commands and of the
// window's commands start from, and the undo file that removing them writes.
#include <string>
#include <vector>

#include "platform/memory/memory_platform.h"
#include "platform/text_encoding.h"
#include "tidewell_version.h"

namespace seeded {

using namespace platform;

constexpr const char* kFile = "C:\\Tools\\Tidewell\\Backup\\Undo20261207.reg";
constexpr const char* kUnicodeFile = "C:\\Tools\\Tidewell\\Backup\\Undo20261207.unicode.reg";
constexpr const char* kEntries = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr const char* kEntryLine = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

inline std::string EntryKey(const std::string& name) { return std::string(kEntries) + "\\" + name; }

// String data as the registry keeps it.
inline std::string Wide(const std::string& text) { return Utf16LeFromUtf8(text); }

// Two listed entries (Alpha with values of several types and subkeys, Beta), one entry without a
// display name that only "All Entries" shows, and two installer products.
inline void Seed(MemoryPlatform& p) {
  MemoryRegistry& r = p.registry;
  p.files.AddFile("C:\\Alpha\\unins000.exe");
  p.files.AddFile("C:\\Alpha\\unins000.dat");  // its data file: the uninstaller can run
  r.SetString(kHkeyLocalMachine, EntryKey("Alpha"), "DisplayName", "Alpha Tool");
  r.SetString(kHkeyLocalMachine, EntryKey("Alpha"), "UninstallString", "C:\\Alpha\\unins000.exe", kRegExpandSz);
  r.SetValue(kHkeyLocalMachine, EntryKey("Alpha"), "EstimatedSize", kRegDword, std::string("\x10\x27\0\0", 4));
  r.SetValue(kHkeyLocalMachine, EntryKey("Alpha"), "Blob", kRegBinary, std::string(40, '\xab'));
  r.SetValue(kHkeyLocalMachine, EntryKey("Alpha"), "List", kRegMultiSz, Wide(std::string("one\0two\0\0", 9)));
  r.SetValue(kHkeyLocalMachine, EntryKey("Alpha"), "Big", kRegQword, std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8));
  r.SetString(kHkeyLocalMachine, EntryKey("Alpha\\Parts"), "", "the \"main\" part\\");
  r.SetValue(kHkeyLocalMachine, EntryKey("Alpha\\Parts\\Deeper"), "Nothing", kRegNone, "");
  r.SetString(kHkeyLocalMachine, EntryKey("Beta"), "DisplayName", "Beta");
  r.SetString(kHkeyLocalMachine, EntryKey("Beta"), "UninstallString", "C:\\Beta\\remove.exe /x");
  r.SetString(kHkeyLocalMachine, EntryKey("Hidden"), "Comment", "no display name");
  r.SetString(kHkeyClassesRoot, "Installer\\Products\\0A1B2C", "ProductName", "Product A");
  r.SetString(kHkeyClassesRoot, "Installer\\Products\\0A1B2C\\SourceList", "PackageName", "a.msi");
  r.AddKey(kHkeyClassesRoot, "Installer\\Products\\9F8E7D");
}

// The comment line that begins a command's lines, by this version at the in-memory clock's time.
inline std::string Comment(const std::string& words, const std::string& name, const std::string& source) {
  return std::string("; Tidewell ") + TIDEWELL_VERSION + ", 2026-12-07 14:03:11, " + words + " \"" + name + "\" (" +
         source + ")";
}

// The lines that removing Alpha leaves in the undo file, after the header.
inline const std::vector<std::string> kAlphaLines = {
    Comment("removed entry", "Alpha Tool", "32-bit"),
    std::string(kEntryLine) + "Alpha]",
    "\"DisplayName\"=\"Alpha Tool\"",
    "\"UninstallString\"=hex(2):43,3A,5C,41,6C,70,68,61,5C,75,6E,69,6E,73,30,30,30,\\",
    "2E,65,78,65,00",
    "",
    "\"EstimatedSize\"=dword:00002710",
    "\"Blob\"=hex:AB,AB,AB,AB,AB,AB,AB,AB,AB,AB,AB,AB,AB,AB,AB,AB,AB,AB,AB,AB,AB,AB,\\",
    "AB,AB,AB,AB,AB,AB,AB,AB,AB,AB,AB,AB,AB,AB,AB,AB,AB,AB",
    "",
    "\"List\"=hex(7):6F,6E,65,00,74,77,6F,00,00",
    "",
    "\"Big\"=hex(b):01,02,03,04,05,06,07,08",
    "",
    std::string(kEntryLine) + "Alpha\\Parts]",
    "@=\"the \\\"main\\\" part\\\\\"",
    std::string(kEntryLine) + "Alpha\\Parts\\Deeper]",
    "\"Nothing\"=hex(0):",
    "",
    "",
};

inline std::string File(const std::vector<std::string>& lines) {
  std::string text = "REGEDIT4\r\n\r\n";
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

}  // namespace seeded
