#include "backup/undo_lines.h"

#include <cstdio>
#include <string_view>

#include "platform/text_encoding.h"

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

std::string LowerHex(std::uint32_t number) {
  char text[9];
  std::snprintf(text, sizeof text, "%x", static_cast<unsigned>(number));
  return text;
}

bool IsStringType(std::uint32_t typeCode) {
  return typeCode == platform::kRegSz || typeCode == platform::kRegExpandSz || typeCode == platform::kRegMultiSz;
}

// A REG_SZ goes into a quoted line only when that line gives back the same bytes: whole UTF-16
// characters and exactly one NUL character, at the end. Data without its NUL, with NULs inside or
// with a surrogate that has no partner takes the byte form.
bool QuotedText(const std::string& bytes, std::string* text) {
  const size_t units = bytes.size() / 2;
  if (bytes.size() % 2 != 0 || units == 0) return false;
  for (size_t i = 0; i < units; ++i) {
    const bool nul = bytes[2 * i] == '\0' && bytes[2 * i + 1] == '\0';
    if (nul != (i + 1 == units)) return false;
  }
  return platform::Utf8FromUtf16LeExactly(std::string_view(bytes).substr(0, bytes.size() - 2), text);
}

std::vector<std::string> ByteBlock(const std::string& namePart, const std::string& tag, const std::string& bytes) {
  std::vector<std::string> lines = ByteValueLines(namePart, tag, bytes);
  lines.emplace_back();
  return lines;
}

}  // namespace

std::string EscapeRegText(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      default: out += c;
    }
  }
  return out;
}

std::string KeyLine(const std::string& rootName, const std::string& keyPath) {
  return "[" + rootName + keyPath + "]";
}

std::string KeyLine(const KeyPlace& key) { return KeyLine(RootName(key.place.root), key.LinePath()); }

KeyLineFit FitOfKeyLine(const std::string& keyPath) {
  if (keyPath.find_first_of("\r\n") != std::string::npos) return KeyLineFit::kLineBreak;
  const std::string_view below = std::string_view(keyPath).substr(!keyPath.empty() && keyPath[0] == '\\' ? 1 : 0);
  return platform::Utf16Length(below) > kLongestMergedKeyPath ? KeyLineFit::kTooLong : KeyLineFit::kFits;
}

std::string NamePart(const std::string& valueName) {
  return valueName.empty() ? "@" : "\"" + EscapeRegText(valueName) + "\"";
}

std::string TextValueLine(const std::string& namePart, const std::string& text) {
  return namePart + "=\"" + EscapeRegText(text) + "\"";
}

std::string DWordLine(const std::string& namePart, std::uint32_t number) {
  std::string line = namePart + "=dword:";
  for (int shift = 28; shift >= 0; shift -= 4) line += kHexDigits[(number >> shift) & 0xF];
  return line;
}

std::vector<std::string> ByteValueLines(const std::string& namePart, const std::string& tag,
                                        const std::string& bytes) {
  std::vector<std::string> lines;
  std::string line = namePart + "=" + tag;
  for (size_t i = 0; i < bytes.size(); ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    line += kHexDigits[byte >> 4];
    line += kHexDigits[byte & 0xF];
    line += ',';
    // Broken only while a byte follows, so no line is a lone backslash.
    if (line.size() > 75 && i + 1 < bytes.size()) {
      line += '\\';
      lines.push_back(std::move(line));
      line.clear();
    }
  }
  if (!bytes.empty()) line.pop_back();
  lines.push_back(std::move(line));
  return lines;
}

std::optional<std::vector<std::string>> ValueLines(const std::string& valueName, std::uint32_t typeCode,
                                                   const std::string& bytes, const UndoEncoding& encoding) {
  const std::string namePart = NamePart(valueName);
  std::string text;
  if (typeCode == platform::kRegSz && QuotedText(bytes, &text)) return std::vector{TextValueLine(namePart, text)};
  if (typeCode == platform::kRegDword && bytes.size() == 4) {
    std::uint32_t number = 0;
    for (int i = 3; i >= 0; --i) number = (number << 8) | static_cast<unsigned char>(bytes[i]);
    return std::vector{DWordLine(namePart, number)};
  }
  if (typeCode == platform::kRegBinary) return ByteBlock(namePart, "hex:", bytes);
  const std::string tag = "hex(" + LowerHex(typeCode) + "):";
  if (!IsStringType(typeCode)) return ByteBlock(namePart, tag, bytes);
  std::string data;
  if (!encoding.EncodeStringData(bytes, &data)) return std::nullopt;
  return ByteBlock(namePart, tag, data);
}

std::optional<std::vector<std::string>> CarriedValueLines(const std::string& valueName, std::uint32_t typeCode,
                                                          const std::string& bytes, const UndoEncoding& encoding) {
  auto lines = ValueLines(valueName, typeCode, bytes, encoding);
  if (!lines || !encoding.Carries(*lines)) return std::nullopt;
  return lines;
}
