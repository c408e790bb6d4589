#pragma once
// The two undo files of a day and how each holds text: the "REGEDIT4" file in the system's ANSI
// code page, and its Unicode companion in UTF-16LE (the registry editor's version 5 format) for
// the changes that hold characters the code page cannot carry.
#include <string>
#include <vector>

#include "platform/system.h"

enum class UndoFormat { kRegedit4, kUnicode };

class UndoEncoding {
 public:
  // The "REGEDIT4" file: its bytes are read back in the system's ANSI code page.
  static UndoEncoding Regedit4(platform::System& system);
  // The Unicode companion: UTF-16LE after a byte-order mark.
  static UndoEncoding Unicode();
  static UndoEncoding Of(UndoFormat format, platform::System& system);

  UndoFormat Format() const { return system_ ? UndoFormat::kRegedit4 : UndoFormat::kUnicode; }
  // What the file's name adds to the day's stem: ".reg" or ".unicode.reg".
  const char* FileSuffix() const;
  // The header line as text: "REGEDIT4" or "Windows Registry Editor Version 5.00".
  const char* HeaderText() const;
  // The bytes that begin the file: the byte-order mark of the Unicode file, nothing for the other.
  std::string Preamble() const;
  // The bytes of a UTF-8 line in the file, without a line end; false when the file cannot carry
  // every character of it exactly.
  bool EncodeLine(const std::string& line, std::string* bytes) const;
  // Whether the file carries every one of the lines exactly.
  bool Carries(const std::vector<std::string>& lines) const;
  // A line that the file surely carries (the header, a line end, ASCII marks).
  std::string EncodeAscii(const std::string& line) const;
  // String data as the registry keeps it (UTF-16LE) in the form the file's hex lines give back
  // to the registry editor: the code page's bytes in the "REGEDIT4" file, the data itself in the
  // Unicode one. False when the file cannot carry the data exactly.
  bool EncodeStringData(const std::string& data, std::string* bytes) const;
  // The size of one unit of the file's text: 1 byte or 2.
  std::size_t UnitSize() const { return system_ ? 1 : 2; }

 private:
  explicit UndoEncoding(platform::System* system) : system_(system) {}
  platform::System* system_;  // the code page's converter; null for the Unicode file
};
