#include "backup/undo_encoding.h"

#include <algorithm>

#include "platform/text_encoding.h"

namespace {

bool IsAscii(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

UndoEncoding UndoEncoding::Regedit4(platform::System& system) { return UndoEncoding(&system); }

UndoEncoding UndoEncoding::Unicode() { return UndoEncoding(nullptr); }

UndoEncoding UndoEncoding::Of(UndoFormat format, platform::System& system) {
  return format == UndoFormat::kRegedit4 ? Regedit4(system) : Unicode();
}

const char* UndoEncoding::FileSuffix() const { return system_ ? ".reg" : ".unicode.reg"; }

const char* UndoEncoding::HeaderText() const {
  return system_ ? "REGEDIT4" : "Windows Registry Editor Version 5.00";
}

std::string UndoEncoding::Preamble() const { return system_ ? std::string() : std::string("\xff\xfe", 2); }

bool UndoEncoding::EncodeLine(const std::string& line, std::string* bytes) const {
  if (!system_) {
    // Names come from the wide calls, so they are UTF-8, an unpaired surrogate as its three bytes,
    // which this file carries unit for unit; a line of other bytes would not come back.
    *bytes = platform::Utf16LeFromUtf8(line);
    return platform::Wtf8FromUtf16Le(*bytes) == line;
  }
  // Every ANSI code page holds ASCII as it is; the code page decides for the other characters.
  if (IsAscii(line)) {
    *bytes = line;
    return true;
  }
  return system_->ToAnsiCodePage(line, bytes);
}

bool UndoEncoding::Carries(const std::vector<std::string>& lines) const {
  std::string bytes;
  return std::all_of(lines.begin(), lines.end(), [&](const std::string& line) { return EncodeLine(line, &bytes); });
}

std::string UndoEncoding::EncodeAscii(const std::string& line) const {
  return system_ ? line : platform::Utf16LeFromUtf8(line);
}

bool UndoEncoding::EncodeStringData(const std::string& data, std::string* bytes) const {
  if (!system_) {
    *bytes = data;
    return true;
  }
  // The registry editor reads the bytes of a "REGEDIT4" file's string data in the code page.
  std::string text;
  return platform::Utf8FromUtf16LeExactly(data, &text) && EncodeLine(text, bytes);
}
