#include "backup/undo_lines.h"

#include <cstdio>

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

std::string LowerHex(std::uint32_t number) {
  char text[9];
  std::snprintf(text, sizeof text, "%x", static_cast<unsigned>(number));
  return text;
}

// A REG_SZ goes into a quoted line only when that line gives back the same bytes: the text and
// exactly one NUL at its end. Data without its NUL or with NULs inside takes the byte form.
bool FitsQuotedText(const std::string& bytes) {
  return !bytes.empty() && bytes.find('\0') == bytes.size() - 1;
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

std::string RootName(platform::Hkey root) {
  switch (root) {
    case platform::kHkeyClassesRoot: return "HKEY_CLASSES_ROOT";
    case platform::kHkeyCurrentUser: return "HKEY_CURRENT_USER";
    case platform::kHkeyLocalMachine: return "HKEY_LOCAL_MACHINE";
    case platform::kHkeyUsers: return "HKEY_USERS";
    case platform::kHkeyCurrentConfig: return "HKEY_CURRENT_CONFIG";
    case platform::kHkeyDynData: return "HKEY_DYN_DATA";
    default: return {};
  }
}

std::string KeyLine(const std::string& rootName, const std::string& keyPath) {
  return "[" + rootName + keyPath + "]";
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

std::vector<std::string> ValueLines(const std::string& valueName, std::uint32_t typeCode,
                                    const std::string& bytes) {
  const std::string namePart = NamePart(valueName);
  if (typeCode == platform::kRegSz && FitsQuotedText(bytes)) {
    return {TextValueLine(namePart, bytes.substr(0, bytes.size() - 1))};
  }
  if (typeCode == platform::kRegDword && bytes.size() == 4) {
    std::uint32_t number = 0;
    for (int i = 3; i >= 0; --i) number = (number << 8) | static_cast<unsigned char>(bytes[i]);
    return {DWordLine(namePart, number)};
  }
  if (typeCode == platform::kRegBinary) return ByteBlock(namePart, "hex:", bytes);
  return ByteBlock(namePart, "hex(" + LowerHex(typeCode) + "):", bytes);
}
