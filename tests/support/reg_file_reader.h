#pragma once
// A reader of registration files that takes their lines as the registry editor's import does (Wine's
// regedit, which follows Windows): a "REGEDIT4" file read in the system's ANSI code page, or a
// Unicode file (UTF-16LE after its byte-order mark) with the header "Windows Registry Editor
// Version 5.00"; key lines, quoted, dword and hex values, hex data continued over lines, lines it
// cannot parse skipped, and a value still open at the end of the file set with what was read.
// Values come out as the wide calls store them: string data in UTF-16LE. Tests use it to merge
// undo files into a model of the registry.
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/text_encoding.h"

namespace regfile {

struct Value {
  std::string name;  // as spelt
  std::uint32_t type = 0;
  std::string bytes;
  friend bool operator==(const Value&, const Value&) = default;
};

// A key's values by upper-cased name.
using Values = std::map<std::string, Value>;
// Keys by upper-cased path below the root, without leading or trailing backslash.
using Tree = std::map<std::string, Values>;

inline std::string Upper(const std::string& text) { return platform::UpperCaseText(text); }

// How the registry editor reads the bytes of a "REGEDIT4" file: the system's ANSI code page to
// UTF-8 (MultiByteToWideChar(CP_ACP)), a byte it cannot read as U+FFFD.
using AnsiDecoder = std::function<std::string(const std::string& ansi)>;

// The decoder of a code page that holds ASCII only, for files that hold nothing else.
inline std::string AsciiOnly(const std::string& ansi) {
  std::string text;
  for (char c : ansi) text += static_cast<unsigned char>(c) < 0x80 ? std::string(1, c) : "\xef\xbf\xbd";
  return text;
}

// What a merge does to a registry: keys it creates (with the keys above them), values it sets.
struct Merge {
  bool imported = false;  // the header was accepted
  // In file order: a key line ("K", path, root name) or a value ("V") on the key open at the time.
  struct Step {
    char kind = 'K';
    std::string root;
    std::string path;
    Value value;
  };
  std::vector<Step> steps;

  // Applies the merge to a model of one root; keys above the created ones are created too.
  void ApplyTo(Tree& tree, const std::string& rootName) const {
    for (const Step& step : steps) {
      if (step.root != rootName) continue;
      std::string path;
      size_t start = 0;
      while (start <= step.path.size()) {
        const size_t end = step.path.find('\\', start);
        const std::string part = step.path.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!part.empty()) {
          path += (path.empty() ? "" : "\\") + Upper(part);
          tree[path];
        }
        if (end == std::string::npos) break;
        start = end + 1;
      }
      if (step.kind == 'V') tree[path][Upper(step.value.name)] = step.value;
    }
  }
};

namespace detail {

inline bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The inside of a quoted text up to its closing quote; false without one or with "\0".
inline bool Unescape(const std::string& line, size_t from, std::string* text, size_t* after) {
  text->clear();
  for (size_t i = from; i < line.size(); ++i) {
    char c = line[i];
    if (c == '"') {
      *after = i + 1;
      return true;
    }
    if (c == '\\') {
      if (++i >= line.size()) return false;
      switch (line[i]) {
        case 'n': c = '\n'; break;
        case 'r': c = '\r'; break;
        case '0': return false;
        default: c = line[i];
      }
    }
    *text += c;
  }
  return false;
}

// Comma-separated hex bytes; sets *continued when the line ends in a backslash.
inline bool HexBytes(const std::string& text, std::string* bytes, bool* continued) {
  *continued = false;
  size_t i = 0;
  while (i < text.size()) {
    const char* start = text.c_str() + i;
    char* end = nullptr;
    const unsigned long byte = std::strtoul(start, &end, 16);
    if (byte > 0xff) return false;
    if (end == start) {
      size_t j = i;
      while (j < text.size() && IsBlank(text[j])) ++j;
      if (j < text.size() && text[j] == '\\') {
        // Only blanks or a comment may follow the backslash.
        for (++j; j < text.size() && IsBlank(text[j]); ++j) {
        }
        *continued = j >= text.size() || text[j] == ';';
        return *continued;
      }
      return j < text.size() && text[j] == ';';
    }
    *bytes += static_cast<char>(byte);
    size_t j = static_cast<size_t>(end - text.c_str());
    if (j < text.size() && text[j] != ',') {
      while (j < text.size() && IsBlank(text[j])) ++j;
      return j >= text.size() || text[j] == ';';
    }
    i = j < text.size() ? j + 1 : j;
  }
  return true;
}

inline std::vector<std::string> Lines(const std::string& content) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < content.size()) {
    const size_t end = content.find_first_of("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(content.substr(start));
      break;
    }
    lines.push_back(content.substr(start, end - start));
    start = end + 1;
    if (content[end] == '\r' && start < content.size() && content[start] == '\n') ++start;
  }
  return lines;
}

inline bool IsStringType(std::uint32_t type) { return type == 1 || type == 2 || type == 7; }

// What the editor makes of the hex data of a string type: a NUL added when the data does not end
// in one; in a "REGEDIT4" file the bytes are read in the code page.
inline void EndString(Value& value, bool unicode, const AnsiDecoder& decode) {
  if (!IsStringType(value.type) || value.bytes.empty()) return;
  if (unicode) {
    const size_t size = value.bytes.size();
    if (size < 2 || value.bytes[size - 1] != '\0' || value.bytes[size - 2] != '\0') value.bytes += std::string(2, '\0');
    return;
  }
  if (value.bytes.back() != '\0') value.bytes += '\0';
  value.bytes = platform::Utf16LeFromUtf8(decode(value.bytes));
}

// The lines of the file as text: a Unicode file decoded from UTF-16LE, a "REGEDIT4" file line by
// line in the code page.
inline std::vector<std::string> TextLines(const std::string& content, bool unicode, const AnsiDecoder& decode) {
  // Names keep an unpaired surrogate, as the registry editor does.
  if (unicode) return Lines(platform::Wtf8FromUtf16Le(content.substr(2)));
  std::vector<std::string> lines = Lines(content);
  for (std::string& line : lines) line = decode(line);
  return lines;
}

}  // namespace detail

inline Merge Read(const std::string& content, const AnsiDecoder& decode = AsciiOnly) {
  using namespace detail;
  Merge merge;
  const bool unicode = content.size() >= 2 && content[0] == '\xff' && content[1] == '\xfe';
  const std::vector<std::string> lines = TextLines(content, unicode, decode);
  if (lines.empty()) return merge;
  size_t h = 0;
  while (h < lines[0].size() && IsBlank(lines[0][h])) ++h;
  const std::string header = lines[0].substr(h);
  if (header != "REGEDIT4" && header != "Windows Registry Editor Version 5.00") return merge;
  merge.imported = true;

  static const char* const kRoots[] = {"HKEY_LOCAL_MACHINE", "HKEY_USERS", "HKEY_CLASSES_ROOT",
                                       "HKEY_CURRENT_CONFIG", "HKEY_CURRENT_USER", "HKEY_DYN_DATA"};
  bool keyOpen = false;
  std::string root, path;

  for (size_t n = 1; n < lines.size(); ++n) {
    const std::string& line = lines[n];
    size_t p = 0;
    while (p < line.size() && IsBlank(line[p])) ++p;
    if (p >= line.size()) continue;

    if (line[p] == '[') {
      const size_t close = line.rfind(']');
      if (p + 1 >= line.size() || IsBlank(line[p + 1]) || close == std::string::npos || close <= p) continue;
      const std::string name = line.substr(p + 1, close - p - 1);
      if (!name.empty() && name[0] == '-') continue;
      keyOpen = false;
      const size_t slash = name.find('\\');
      const std::string rootPart = Upper(name.substr(0, slash));
      for (const char* candidate : kRoots) {
        if (rootPart == candidate) {
          keyOpen = true;
          root = candidate;
          path = slash == std::string::npos ? "" : name.substr(slash + 1);
          merge.steps.push_back({'K', root, path, {}});
        }
      }
      continue;
    }

    Value value;
    size_t q = 0;
    if (line[p] == '@') {
      q = p + 1;
    } else if (line[p] == '"') {
      if (!Unescape(line, p + 1, &value.name, &q)) continue;
    } else {
      continue;
    }
    while (q < line.size() && IsBlank(line[q])) ++q;
    if (q >= line.size() || line[q] != '=') continue;
    ++q;
    while (q < line.size() && IsBlank(line[q])) ++q;
    std::string data = line.substr(q);
    while (!data.empty() && IsBlank(data.back())) data.pop_back();
    if (!data.empty() && data[0] == '-') continue;

    if (!data.empty() && data[0] == '"') {
      size_t after = 0;
      if (!Unescape(data, 1, &value.bytes, &after)) continue;
      while (after < data.size() && IsBlank(data[after])) ++after;
      if (after < data.size() && data[after] != ';') continue;
      value.type = 1;
      value.bytes = platform::Utf16LeFromUtf8(value.bytes) + std::string(2, '\0');
    } else if (data.rfind("dword:", 0) == 0) {
      std::string digits = data.substr(6);
      size_t d = 0;
      while (d < digits.size() && IsBlank(digits[d])) ++d;
      size_t e = d;
      while (e < digits.size() && std::isxdigit(static_cast<unsigned char>(digits[e]))) ++e;
      if (e == d || e - d > 8) continue;
      size_t f = e;
      while (f < digits.size() && IsBlank(digits[f])) ++f;
      if (f < digits.size() && digits[f] != ';') continue;
      const auto number = static_cast<std::uint32_t>(std::strtoul(digits.substr(d, e - d).c_str(), nullptr, 16));
      value.type = 4;
      for (int i = 0; i < 4; ++i) value.bytes += static_cast<char>((number >> (8 * i)) & 0xFF);
    } else {
      std::string rest;
      if (data.rfind("hex:", 0) == 0) {
        value.type = 3;
        rest = data.substr(4);
      } else if (data.rfind("hex(", 0) == 0) {
        const std::string inside = data.substr(4);
        if (inside.empty() || (inside.size() > 1 && std::tolower(static_cast<unsigned char>(inside[1])) == 'x'))
          continue;
        char* end = nullptr;
        value.type = static_cast<std::uint32_t>(std::strtoul(inside.c_str(), &end, 16));
        const size_t used = static_cast<size_t>(end - inside.c_str());
        if (used + 1 >= inside.size() || inside[used] != ')' || inside[used + 1] != ':') continue;
        rest = inside.substr(used + 2);
      } else {
        continue;
      }
      bool continued = false;
      bool valid = rest.empty() || HexBytes(rest, &value.bytes, &continued);
      while (valid && continued) {
        // A backslash must end the line; the data goes on in the next line that is not blank.
        if (++n >= lines.size()) break;  // the end of the file sets what was read
        const std::string& next = lines[n];
        size_t s = 0;
        while (s < next.size() && IsBlank(next[s])) ++s;
        if (s >= next.size() || next[s] == ';') {
          continue;
        }
        if (!std::isxdigit(static_cast<unsigned char>(next[s]))) {
          valid = false;  // the line is used up
          break;
        }
        valid = HexBytes(next.substr(s), &value.bytes, &continued);
      }
      if (!valid) continue;
      detail::EndString(value, unicode, decode);
    }
    if (keyOpen) merge.steps.push_back({'V', root, path, value});
  }
  return merge;
}

}  // namespace regfile
