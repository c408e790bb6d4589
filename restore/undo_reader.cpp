#include "restore/undo_reader.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "backup/undo_file.h"
#include "platform/handles.h"
#include "platform/text_encoding.h"

namespace {

constexpr const char* kRegedit4Header = "REGEDIT4";
constexpr const char* kUnicodeHeader = "Windows Registry Editor Version 5.00";

constexpr struct {
  const char* name;
  platform::Hkey root;
} kRoots[] = {
    {"HKEY_CLASSES_ROOT", platform::kHkeyClassesRoot},   {"HKEY_CURRENT_USER", platform::kHkeyCurrentUser},
    {"HKEY_LOCAL_MACHINE", platform::kHkeyLocalMachine}, {"HKEY_USERS", platform::kHkeyUsers},
    {"HKEY_CURRENT_CONFIG", platform::kHkeyCurrentConfig}, {"HKEY_DYN_DATA", platform::kHkeyDynData},
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool IsAscii(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool OnlyBlanksFrom(const std::string& text, size_t at) {
  for (; at < text.size(); ++at)
    if (!IsBlank(text[at])) return false;
  return true;
}

// The pieces between line feeds, each without the carriage return before its line feed; an empty
// piece after the last line feed is no line.
std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (end < text.size() && !line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

// A line of the file as text, or why it is none.
struct TextLine {
  std::string text;
  std::string problem;
};

// A quoted text's inside, from just after its opening quote to its closing quote, with the escapes
// the program writes (\\, \", \n, \r); false with *problem for anything else.
bool Unquote(const std::string& line, size_t from, std::string* text, size_t* after, std::string* problem) {
  text->clear();
  for (size_t at = from; at < line.size(); ++at) {
    char c = line[at];
    if (c == '"') {
      *after = at + 1;
      return true;
    }
    if (c == '\\') {
      if (++at >= line.size()) break;
      switch (line[at]) {
        case '\\': c = '\\'; break;
        case '"': c = '"'; break;
        case 'n': c = '\n'; break;
        case 'r': c = '\r'; break;
        default:
          *problem = std::string("an escape \\") + line[at] + " that undo files do not hold";
          return false;
      }
    }
    *text += c;
  }
  *problem = "a quoted text without its closing quote";
  return false;
}

}  // namespace

std::vector<UndoPart> UndoRecord::Parts() const {
  std::vector<UndoPart> parts{{root, rootName, keys}};
  parts.insert(parts.end(), moreParts.begin(), moreParts.end());
  return parts;
}

namespace {

class Reader {
 public:
  Reader(platform::System& system, UndoFormat format, std::vector<TextLine> lines)
      : system_(system), format_(format), lines_(std::move(lines)) {}

  UndoContents Read();

 private:
  // The line's number in the file for its index.
  static int Number(size_t index) { return static_cast<int>(index) + 1; }
  UndoRecord* Current() { return records_.empty() ? nullptr : &records_.back(); }
  void Fail(UndoRecord& record, size_t index, const std::string& why) {
    if (record.unreadableLine != 0) return;
    record.unreadableLine = Number(index);
    record.unreadable = why;
  }
  // A line that cannot be read: its record's fault, or a line outside every record, skipped.
  void NotRead(size_t index, const std::string& why) {
    if (UndoRecord* record = Current()) {
      Fail(*record, index, why);
    } else {
      if (contents_.skippedLines++ == 0) contents_.firstSkippedLine = Number(index);
    }
  }
  void StartRecord(size_t index) {
    records_.emplace_back();
    records_.back().line = Number(index);
  }
  void TakeKeyLine(size_t index, const std::string& line, size_t at);
  // Puts the key in the current record, or begins a record with it; `deletes` for a line that
  // deletes the key.
  void TakeKey(size_t index, platform::Hkey root, const std::string& rootName, const std::string& path, bool deletes);
  // Reads the value line at `*index` and the lines that continue it; *index ends on the last.
  void TakeValueLine(size_t* index, size_t at);
  // Puts the key below the top key `keys` begins with.
  static void AddKey(std::vector<UndoKeyLines>& keys, const std::string& path);
  // Whether the path (in capitals) lies below the top key's (in capitals).
  static bool IsBelow(const std::string& upper, const std::string& top) {
    return upper.compare(0, top.size() + 1, top + "\\") == 0;
  }
  bool ReadHexData(size_t* index, size_t at, std::string* bytes, std::string* problem);

  platform::System& system_;
  UndoFormat format_;
  std::vector<TextLine> lines_;
  std::vector<UndoRecord> records_;
  // The current record's top key came from a line that deletes it.
  bool topDeleted_ = false;
  UndoContents contents_;
};

UndoContents Reader::Read() {
  contents_.format = format_;
  for (size_t index = 1; index < lines_.size(); ++index) {
    const TextLine& line = lines_[index];
    if (!line.problem.empty()) {
      NotRead(index, line.problem);
      continue;
    }
    const std::string& text = line.text;
    size_t at = 0;
    while (at < text.size() && IsBlank(text[at])) ++at;
    if (at == text.size()) continue;
    if (IsProgramComment(text)) {
      StartRecord(index);
      records_.back().comment = ReadCommentLine(text);
      if (!records_.back().comment) Fail(records_.back(), index, "a comment of the program's that cannot be read");
      continue;
    }
    if (text[at] == ';') continue;
    if (text.compare(at, std::string::npos, kCutShortLine) == 0) {
      NotRead(index, "the lines above it were cut short by a write that did not finish");
      continue;
    }
    if (text[at] == '[') {
      TakeKeyLine(index, text, at);
      continue;
    }
    if (text[at] == '@' || text[at] == '"') {
      UndoRecord* record = Current();
      if (!record) {
        NotRead(index, "");
      } else if (record->keys.empty()) {
        Fail(*record, index, "a value line before any key line");
      } else {
        TakeValueLine(&index, at);
      }
      continue;
    }
    NotRead(index, "a line that is neither a key, a value nor a comment");
  }
  for (UndoRecord& record : records_)
    if (record.keys.empty() && record.unreadableLine == 0) Fail(record, record.line - 1, "no key line follows the comment");
  contents_.records = std::move(records_);
  return std::move(contents_);
}

void Reader::TakeKeyLine(size_t index, const std::string& line, size_t at) {
  size_t end = line.size();
  while (end > at && IsBlank(line[end - 1])) --end;
  if (end - at < 2 || line[end - 1] != ']') return NotRead(index, "a key line that cannot be read");
  std::string name = line.substr(at + 1, end - at - 2);
  // A line that deletes a key ("[-KEY]") belongs to the block its key belongs to, and makes that
  // block unreadable: the block before it stays whole, and the key's lines after it are not
  // restored without their deletion.
  const bool deletes = !name.empty() && name[0] == '-';
  if (deletes) name.erase(0, 1);
  const size_t slash = name.find('\\');
  const std::string rootName = platform::UpperCaseText(name.substr(0, slash));
  platform::Hkey root = 0;
  for (const auto& known : kRoots)
    if (rootName == known.name) root = known.root;
  if (root == 0) return NotRead(index, "a key line naming an unknown root key");
  const std::string path = slash == std::string::npos ? std::string() : name.substr(slash);
  if (path.empty()) return NotRead(index, "a key line naming a whole root key");
  if (path.back() == '\\' || path.find("\\\\") != std::string::npos)
    return NotRead(index, "a key line with an empty key name in it");

  TakeKey(index, root, rootName, path, deletes);
  if (deletes) Fail(*Current(), index, "a line that deletes a key");
}

void Reader::TakeKey(size_t index, platform::Hkey root, const std::string& rootName, const std::string& path,
                     bool deletes) {
  UndoRecord* record = Current();
  // A record without keys yet is one that a comment began: this is its top key.
  if (record && record->keys.empty()) {
    record->root = root;
    record->rootName = rootName;
    record->keys.push_back({path, {}});
    topDeleted_ = deletes;
    return;
  }
  const bool registration = record && record->comment && HoldsRegistration(record->comment->action);
  if (registration && !record->keys.empty()) {
    // A key line below the part in hand goes to it; any other begins the next part.
    const bool below = (record->moreParts.empty() ? record->root : record->moreParts.back().root) == root &&
                       IsBelow(platform::UpperCaseText(path), platform::UpperCaseText(record->LastKeys().front().path));
    if (below) {
      AddKey(record->LastKeys(), path);
    } else {
      record->moreParts.push_back({root, rootName, {{path, {}}}});
    }
    return;
  }
  if (record && !record->keys.empty() && record->root == root) {
    const std::string upper = platform::UpperCaseText(path);
    const std::string top = platform::UpperCaseText(record->keys.front().path);
    // The key that a deletion line began the record with, made again: the record cannot be read,
    // and is never restored, so its lines only need to stay in it.
    if (topDeleted_ && upper == top) return;
    if (IsBelow(upper, top)) {
      AddKey(record->keys, path);
      return;
    }
  }
  StartRecord(index);
  records_.back().root = root;
  records_.back().rootName = rootName;
  records_.back().keys.push_back({path, {}});
  topDeleted_ = deletes;
}

void Reader::AddKey(std::vector<UndoKeyLines>& keys, const std::string& path) {
  const std::string upper = platform::UpperCaseText(path);
  // A key named again in the record takes its values together with the first.
  const auto same = std::find_if(keys.begin() + 1, keys.end(),
                                 [&](const UndoKeyLines& key) { return platform::UpperCaseText(key.path) == upper; });
  if (same == keys.end()) {
    keys.push_back({path, {}});
  } else {
    UndoKeyLines again = std::move(*same);
    keys.erase(same);
    keys.push_back(std::move(again));
  }
}

void Reader::TakeValueLine(size_t* index, size_t at) {
  const std::string& line = lines_[*index].text;
  UndoRecord& record = *Current();
  const size_t first = *index;
  NamedValue value;
  std::string problem;
  size_t after = at + 1;
  if (line[at] == '"' && !Unquote(line, at + 1, &value.name, &after, &problem)) return Fail(record, first, problem);
  while (after < line.size() && IsBlank(line[after])) ++after;
  if (after >= line.size() || line[after] != '=') return Fail(record, first, "a value line without its \"=\"");
  ++after;
  while (after < line.size() && IsBlank(line[after])) ++after;
  if (after < line.size() && line[after] == '-') return Fail(record, first, "a line that deletes a value");

  if (after < line.size() && line[after] == '"') {
    std::string text;
    if (!Unquote(line, after + 1, &text, &after, &problem)) return Fail(record, first, problem);
    if (!OnlyBlanksFrom(line, after)) return Fail(record, first, "something after the quoted text");
    value.typeCode = platform::kRegSz;
    value.data = platform::Utf16LeFromUtf8(text) + std::string(2, '\0');
  } else if (platform::StartsWithIgnoringCase(std::string_view(line).substr(after), "dword:")) {
    size_t end = after + 6;
    std::uint32_t number = 0;
    int digits = 0;
    for (; end < line.size() && HexDigit(line[end]) >= 0; ++end, ++digits)
      number = (number << 4) | static_cast<std::uint32_t>(HexDigit(line[end]));
    if (digits == 0 || digits > 8 || !OnlyBlanksFrom(line, end))
      return Fail(record, first, "a dword that is not 1 to 8 hexadecimal digits");
    value.typeCode = platform::kRegDword;
    for (int i = 0; i < 4; ++i) value.data += static_cast<char>((number >> (8 * i)) & 0xFF);
  } else if (platform::StartsWithIgnoringCase(std::string_view(line).substr(after), "hex")) {
    size_t at2 = after + 3;
    value.typeCode = platform::kRegBinary;
    if (at2 < line.size() && line[at2] == '(') {
      std::uint32_t type = 0;
      int digits = 0;
      for (++at2; at2 < line.size() && HexDigit(line[at2]) >= 0; ++at2, ++digits)
        type = (type << 4) | static_cast<std::uint32_t>(HexDigit(line[at2]));
      if (digits == 0 || digits > 8 || at2 >= line.size() || line[at2] != ')')
        return Fail(record, first, "a value type that cannot be read");
      value.typeCode = type;
      ++at2;
    }
    if (at2 >= line.size() || line[at2] != ':') return Fail(record, first, "a value that cannot be read");
    if (!ReadHexData(index, at2 + 1, &value.data, &problem)) return Fail(record, *index, problem);
    const bool stringType = value.typeCode == platform::kRegSz || value.typeCode == platform::kRegExpandSz ||
                            value.typeCode == platform::kRegMultiSz;
    // The "REGEDIT4" file holds a string's data as the code page's bytes of its characters.
    if (stringType && format_ == UndoFormat::kRegedit4) {
      std::string text;
      if (!system_.FromAnsiCodePage(value.data, &text))
        return Fail(record, first, "string data that is not text in the system's code page");
      value.data = platform::Utf16LeFromUtf8(text);
    }
  } else {
    return Fail(record, first, "a value that cannot be read");
  }

  std::vector<NamedValue>& values = record.LastKeys().back().values;
  const std::string upper = platform::UpperCaseText(value.name);
  const auto same = std::find_if(values.begin(), values.end(),
                                 [&](const NamedValue& old) { return platform::UpperCaseText(old.name) == upper; });
  if (same != values.end()) values.erase(same);
  values.push_back(std::move(value));
}

bool Reader::ReadHexData(size_t* index, size_t at, std::string* bytes, std::string* problem) {
  for (;;) {
    const std::string& line = lines_[*index].text;
    bool continued = false;
    for (;;) {
      while (at < line.size() && IsBlank(line[at])) ++at;
      if (at >= line.size()) break;
      if (line[at] == '\\') {
        if (!OnlyBlanksFrom(line, at + 1)) break;
        continued = true;
        at = line.size();
        break;
      }
      const int high = HexDigit(line[at]);
      if (high < 0) break;
      int byte = high;
      ++at;
      if (at < line.size() && HexDigit(line[at]) >= 0) byte = byte * 16 + HexDigit(line[at++]);
      *bytes += static_cast<char>(byte);
      while (at < line.size() && IsBlank(line[at])) ++at;
      if (at < line.size() && line[at] == ',') ++at;
      else if (at < line.size() && line[at] != '\\') break;
    }
    if (at < line.size()) {
      *problem = "hexadecimal bytes that cannot be read";
      return false;
    }
    if (!continued) return true;
    if (*index + 1 >= lines_.size()) {
      *problem = "bytes that go on past the end of the file";
      return false;
    }
    ++*index;
    if (!lines_[*index].problem.empty()) {
      *problem = lines_[*index].problem;
      return false;
    }
    if (OnlyBlanksFrom(lines_[*index].text, 0)) {
      *problem = "a value whose bytes go on into an empty line";
      return false;
    }
    at = 0;
  }
}

}  // namespace

UndoContents ReadUndoText(platform::System& system, const std::string& bytes) {
  std::vector<TextLine> lines;
  UndoFormat format = UndoFormat::kRegedit4;
  if (bytes.size() >= 2 && bytes[0] == '\xff' && bytes[1] == '\xfe') {
    format = UndoFormat::kUnicode;
    const bool halfAUnit = bytes.size() % 2 != 0;
    for (std::string& line : SplitLines(platform::Wtf8FromUtf16Le(std::string_view(bytes).substr(2))))
      lines.push_back({std::move(line), ""});
    if (halfAUnit && !lines.empty()) lines.back().problem = "the file ends in the middle of a character";
  } else {
    for (std::string& line : SplitLines(bytes)) {
      TextLine text;
      if (IsAscii(line)) text.text = std::move(line);
      else if (!system.FromAnsiCodePage(line, &text.text)) text.problem = "a line that is not text in the system's code page";
      lines.push_back(std::move(text));
    }
  }
  const char* header = format == UndoFormat::kUnicode ? kUnicodeHeader : kRegedit4Header;
  if (lines.empty() || lines.front().text != header) {
    UndoContents contents;
    contents.format = format;
    contents.problem = std::string("it is not an undo file: its first line is not \"") + header + "\"";
    return contents;
  }
  return Reader(system, format, std::move(lines)).Read();
}

UndoContents ReadUndoFile(platform::FileSystem& files, platform::System& system, const std::string& file) {
  std::uint32_t error = 0;
  const platform::FileId id = files.OpenFile(file, platform::FileOpen::kRead, &error);
  UndoContents failed;
  if (id == platform::kInvalidFile) {
    failed.problem = "it cannot be opened: " + files.ErrorText(error);
    return failed;
  }
  platform::UniqueFile opened(files, id);
  std::string bytes;
  std::string buffer(64 * 1024, '\0');
  for (;;) {
    std::uint32_t got = 0;
    if (!files.ReadFile(id, buffer.data(), static_cast<std::uint32_t>(buffer.size()), &got, &error)) {
      failed.problem = "it cannot be read: " + files.ErrorText(error);
      return failed;
    }
    if (got == 0) break;
    bytes.append(buffer, 0, got);
  }
  return ReadUndoText(system, bytes);
}
