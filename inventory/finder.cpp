#include <algorithm>
#include <cctype>
#include <array>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "inventory/finder.h"

#include "inventory/file_tests.h"
#include "platform/redirection.h"
#include "platform/text_encoding.h"

namespace {

// The marks of the backward scan, in their test order.
constexpr std::array<char, 11> kMarks = {',', ';', '\'', '%', '-', '_', '!', '(', '@', '$', '#'};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The UTF-16 length of every prefix of the text: units[n] for its first n bytes.
std::vector<size_t> PrefixUnits(const std::string& s) {
  std::vector<size_t> units(s.size() + 1, 0);
  for (size_t n = 1; n <= s.size(); ++n) {
    const auto byte = static_cast<unsigned char>(s[n - 1]);
    // A lead byte of four starts a pair of units; continuation bytes add none.
    units[n] = units[n - 1] + ((byte & 0xC0) == 0x80 ? 0 : (byte >= 0xF0 ? 2 : 1));
  }
  return units;
}

// Every candidate of one FindSpace call is a prefix of the working text S, so candidates are
// named by their length in bytes; every one ends before an ASCII mark, so on a character's
// boundary. Long prefixes are never copied: a text longer than MAX_PATH (in UTF-16 units) is never
// queried, and without a query a candidate's answer depends only on whether it holds a backslash.
// When the caller asks for a finding, the call writes down what it found, or what it looked for;
// each line follows from the kind of look and its text, never from where an answer came from.
class FinderCall {
 public:
  FinderCall(Finder& finder, platform::FileSystem& files, const std::string& s, bool remember, Finding* finding)
      : finder_(finder), files_(files), listings_(finder.Listings()), s_(s), remember_(remember), finding_(finding),
        firstBackslash_(s.find('\\')), units_(PrefixUnits(s)), probes_(s.size() + 1, kUnknown) {
    // One mark per prefix length, and one more for the pattern.
    if (finding_) listed_.assign(s.size() + 2, false);
  }

  // ProbeCandidate of the first `length` characters of S.
  bool ProbePrefix(size_t length) {
    return Remembered(probes_[length], [&] {
      if (units_[length] > platform::kMaxPath) return !HoldsBackslash(length) && FoundPrefix(Kind::kBareName, length);
      NotePrefixLookedFor(length);
      return ProbeCandidate(s_.substr(0, length));
    });
  }

  // nFileExists of the first `length` characters of S; longer than MAX_PATH, not found unasked.
  bool FileTestPrefix(size_t length) {
    if (units_[length] > platform::kMaxPath) return false;
    NotePrefixLookedFor(length);
    return FileExists(s_.substr(0, length)) && FoundPrefix(Kind::kFile, length);
  }

  bool PatternFound(const std::string& pattern) {
    const bool asked = units_[s_.size()] + 2 <= platform::kMaxPath;  // ".*" adds two units
    if (finding_ && asked && Unlisted(s_.size() + 1) && Named()) finding_->lookedFor.push_back(pattern);
    return Query('p', pattern, [&] { return PatternSearch(files_, pattern, listings_); }) &&
           Found(Kind::kPattern, pattern);
  }

 private:
  using Kind = Finding::Kind;
  static constexpr signed char kUnknown = -1;

  bool HoldsBackslash(size_t length) const { return firstBackslash_ != std::string::npos && firstBackslash_ < length; }

  template <class Ask>
  bool Remembered(signed char& slot, Ask ask) {
    if (!remember_) return ask();
    if (slot == kUnknown) slot = ask() ? 1 : 0;
    return slot == 1;
  }

  // One query per kind and text within the call, or within the scan when the finder has a memo.
  // Texts here are at most MAX_PATH long.
  template <class Ask>
  bool Query(char kind, const std::string& text, Ask ask) {
    if (!remember_) return ask();
    FinderMemo* memo = finder_.Options().memo;
    auto& answers = memo ? memo->answers : queries_;
    auto [it, added] = answers.try_emplace(std::string(1, kind) + text, false);
    if (added) it->second = ask();
    return it->second;
  }

  bool FileExists(const std::string& t) {
    return Query('f', t, [&] { return finder_.nFileExists(t); });
  }

  bool ProbeCandidate(const std::string& t) {
    if (FileExists(t)) return Found(Kind::kFile, t);
    const size_t k = t.rfind('\\');
    // A bare name without a folder part counts as found.
    if (k == std::string::npos) return Found(Kind::kBareName, t);
    const std::string directory = t.substr(0, k);
    const std::string name = t.substr(k + 1);
    if (Query('s', directory + '\\' + name, [&] { return DirectorySearch(files_, directory, name, listings_); })) {
      return Found(Kind::kSearched, t);
    }
    const std::string folder = k + 1 == t.size() ? directory : t;
    if (Query('d', folder, [&] { return FolderTest(files_, folder, listings_); })) return Found(Kind::kFolder, folder);
    const std::string exe = name + ".exe";
    return Query('s', directory + '\\' + exe, [&] { return DirectorySearch(files_, directory, exe, listings_); }) &&
           Found(Kind::kSearchedExe, t, ".exe");
  }

  // Writes down what was found, when the caller asks for it; true.
  bool Found(Kind kind, const std::string& text, const char* suffix = "") {
    if (finding_) {
      finding_->kind = kind;
      finding_->text = text + suffix;
    }
    return true;
  }
  bool FoundPrefix(Kind kind, size_t length) { return !finding_ || Found(kind, s_.substr(0, length)); }

  // Writes down a prefix looked for, when the caller asks for it. Blanks at its end make no other
  // candidate: the platform drops them.
  void NotePrefixLookedFor(size_t length) {
    if (!finding_) return;
    while (length > 0 && s_[length - 1] == ' ') --length;
    if (length > 0 && Unlisted(length) && Named()) finding_->lookedFor.push_back(s_.substr(0, length));
  }
  // Marks a candidate as looked for; false when it was already.
  bool Unlisted(size_t key) {
    if (listed_[key]) return false;
    listed_[key] = true;
    return true;
  }
  // Whether a new candidate is among the first few, which the finding names; the others it counts.
  bool Named() {
    if (finding_->lookedFor.size() < kCandidatesNamed) return true;
    ++finding_->othersLookedFor;
    return false;
  }

  Finder& finder_;
  platform::FileSystem& files_;
  FolderListings* const listings_;
  const std::string& s_;
  const bool remember_;
  Finding* const finding_;
  const size_t firstBackslash_;
  const std::vector<size_t> units_;
  std::vector<signed char> probes_;
  std::map<std::string, bool> queries_;
  std::vector<bool> listed_;
};

// The backward scan: ever shorter prefixes of S, tried from the right where a file name may end.
// Positions are 1-based; a remembered position of 0 means none.
bool ScanBackward(FinderCall& call, const std::string& s) {
  const size_t length = s.size();
  const size_t lastBackslash = s.rfind('\\') + 1;
  size_t pendingBlank = 0;
  std::array<size_t, kMarks.size()> marks{};
  size_t backslashMark = 0;
  bool numericTail = true;
  for (size_t i = length + 1; i-- > 0;) {
    const char c = i > 0 ? s[i - 1] : '\0';
    if (c == '.' || c == '\\' || pendingBlank != 0 || i == 0) {
      if (numericTail && i < length && call.ProbePrefix(lastBackslash - 1)) return true;
      if (pendingBlank != 0 && call.ProbePrefix(pendingBlank - 1)) return true;
      for (size_t m : marks) {
        if (m != 0 && call.ProbePrefix(m - 1)) return true;
      }
      // Before a backslash only a file counts.
      if (backslashMark != 0 && call.FileTestPrefix(backslashMark - 1)) return true;
      pendingBlank = 0;
    }
    if (i == 0) break;
    if (c == ' ') pendingBlank = i;
    if (c == '\\') backslashMark = i;
    for (size_t k = 0; k < kMarks.size(); ++k) {
      if (c == kMarks[k]) marks[k] = i;
    }
    if (!IsDigit(c) && c != '\\') numericTail = false;
  }
  return false;
}

// Step 1: every run of backslashes becomes one.
std::string CollapseBackslashes(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (char c : s) {
    if (c == '\\' && !out.empty() && out.back() == '\\') continue;
    out += c;
  }
  return out;
}

// Step 2: a backslash before a double quote goes. After step 1 the character before such a
// backslash is never a backslash, so one pass leaves no new pair behind.
std::string UnescapeQuotes(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size() && s[i + 1] == '"') continue;
    out += s[i];
  }
  return out;
}

// The byte where the text's character at a 1-based position starts, with the clamping the program
// relies on.
size_t ByteOfPosition(const std::string& s, int position) {
  return platform::Utf8Advance(s, 0, position < 1 ? 0 : static_cast<size_t>(position - 1));
}

bool IsNeverQueriedDrive(std::uint32_t type) {
  return type == platform::kDriveRemovable || type == platform::kDriveRemote || type == platform::kDriveCdrom ||
         type == platform::kDriveRamdisk;
}

// Step 8: S up to the first character that cannot belong to a path. Cuts are byte positions: the
// marks are ASCII, so they are never part of another character.
std::string PathPart(std::string s) {
  const size_t third = ByteOfPosition(s, 3), second = ByteOfPosition(s, 2);
  int cut = 0;
  cut = GetNonChar(cut, ':', s.substr(third), static_cast<int>(third) + 1);
  cut = GetNonChar(cut, '/', s.substr(third), static_cast<int>(third) + 1);
  cut = GetNonChar(cut, '*', s, 1);
  cut = GetNonChar(cut, '?', s, 1);
  cut = GetNonChar(cut, '"', s.substr(second), static_cast<int>(second) + 1);
  cut = GetNonChar(cut, '<', s, 1);
  cut = GetNonChar(cut, '>', s, 1);
  cut = GetNonChar(cut, '|', s, 1);
  if (cut > 0) s.resize(static_cast<size_t>(cut - 1));
  return s;
}

void Note(Finding& finding, Finding::Kind kind, std::string text) {
  finding.kind = kind;
  finding.text = std::move(text);
}

// A text that begins with a backslash and names no drive: a network path when it was written with
// two, which the collapse of backslashes made one.
void NoteWithoutDrive(Finding& finding, const std::string& written, const std::string& s) {
  const size_t first = written.find('\\');
  const bool network = first + 1 < written.size() && written[first + 1] == '\\';
  const std::string path = PathPart(s);
  if (network) Note(finding, Finding::Kind::kNetworkPath, "\\" + path);
  else Note(finding, Finding::Kind::kRootedPath, path);
}

// The names a 32-bit program uses for the 64-bit folders; ProgramFiles is the 32-bit one there.
std::string ReplaceVariable(const std::string& text, const std::string& name, const std::string& by) {
  std::string out;
  size_t at = 0;
  for (;;) {
    size_t found = std::string::npos;
    for (size_t i = at; i + name.size() <= text.size(); ++i) {
      size_t k = 0;
      while (k < name.size() && std::toupper(static_cast<unsigned char>(text[i + k])) ==
                                    std::toupper(static_cast<unsigned char>(name[k])))
        ++k;
      if (k == name.size()) {
        found = i;
        break;
      }
    }
    if (found == std::string::npos) break;
    out += text.substr(at, found - at) + by;
    at = found + name.size();
  }
  return out + text.substr(at);
}

}  // namespace

std::string AsSixtyFourBitVariables(const std::string& text) {
  if (text.find('%') == std::string::npos) return text;
  return ReplaceVariable(ReplaceVariable(text, "%ProgramFiles%", "%ProgramW6432%"), "%CommonProgramFiles%",
                         "%CommonProgramW6432%");
}

Finder::Finder(platform::FileSystem& files, platform::System& system, FinderOptions options)
    : files_(files), system_(system), options_(options) {}

bool Finder::nFindSpace(const std::string& text, Finding* finding) {
  if (FindSpace(text, finding)) return true;
  if (!options_.retryUnredirected) return false;
  platform::RedirectionOff off(system_);
  return FindSpace(text, finding);
}

bool Finder::FindSpace(const std::string& text, Finding* finding) {
  if (finding) *finding = Finding{};

  std::string s = UnescapeQuotes(CollapseBackslashes(text));
  while (!s.empty() && s[0] == '"') {
    const std::string rest = s.substr(1);
    const size_t close = rest.find('"');
    s = close == std::string::npos ? rest : rest.substr(0, close);
  }
  s.erase(0, std::min(s.size(), s.find_first_not_of('@')));
  if (!s.empty() && s[0] == '\\' && s.find(":\\") == std::string::npos) {
    if (finding) NoteWithoutDrive(*finding, text, s);
    return true;
  }

  s = Expanded(s);
  if (!s.empty() && s[0] == '%') {
    if (finding) Note(*finding, Finding::Kind::kPerCent, PathPart(s));
    return true;
  }

  s = PathPart(std::move(s));
  if (s.empty()) {
    if (finding) Note(*finding, Finding::Kind::kNothingToLookFor, text);
    return false;
  }
  if (s.back() == '\\') s.pop_back();
  if (s.size() >= 3 && s[1] == ':' && s[2] == '\\') {
    const std::uint32_t type = DriveType(s.substr(0, 3));
    if (IsNeverQueriedDrive(type)) {
      if (finding) {
        Note(*finding, Finding::Kind::kNeverLookedAt, s);
        finding->driveType = type;
      }
      return false;
    }
  }

  FinderCall call(*this, files_, s, options_.rememberAnswers, finding);
  if (call.ProbePrefix(s.size()) || call.PatternFound(s + ".*") || ScanBackward(call, s)) return true;
  if (finding) Note(*finding, Finding::Kind::kNotFound, s);
  return false;
}

std::string Finder::Expanded(const std::string& text) {
  // Only a text with a per-cent sign can expand into anything but itself. Asking only then gives
  // the same answers and keeps Wine, whose expansion garbles a source of 32,767 characters or
  // more, from turning a long text without variables into nothing.
  if (text.find('%') == std::string::npos) return text;
  const std::string source = options_.sixtyFourBit ? AsSixtyFourBitVariables(text) : text;
  std::string expanded;
  const std::uint32_t count = ExpandEnvironment(source, &expanded);
  // A failed expansion, or an empty one of a text that is not empty (Wine's answer to a very
  // long source), leaves the text to be judged as it stands.
  return count != 0 && count < platform::kMaxPath && !expanded.empty() ? expanded : source;
}

std::uint32_t Finder::DriveType(const std::string& root) {
  if (!options_.memo) return files_.DriveType(root);
  auto [it, added] = options_.memo->driveTypes.try_emplace(root, 0);
  if (added) it->second = files_.DriveType(root);
  return it->second;
}

std::uint32_t Finder::ExpandEnvironment(const std::string& text, std::string* expanded) {
  if (!options_.memo) return files_.ExpandEnvironment(text, platform::kMaxPath, expanded);
  auto [it, added] = options_.memo->expansions.try_emplace(text);
  if (added) it->second.first = files_.ExpandEnvironment(text, platform::kMaxPath, &it->second.second);
  *expanded = it->second.second;
  return it->second.first;
}

FolderListings* Finder::Listings() const {
  return options_.memo ? options_.memo->listings : nullptr;
}

bool Finder::nFileExists(const std::string& text) {
  if (FileTest(files_, text, Listings())) return true;
  if (!options_.retryUnredirected) return false;
  platform::RedirectionOff off(system_);
  return FileTest(files_, text);
}

int GetNonChar(int cut, char c, const std::string& searched, int offset) {
  const size_t p = searched.find(c);
  if (p == std::string::npos) return cut;
  const int n = offset + static_cast<int>(p);  // offset - 1 + the 1-based position
  return cut <= 0 || cut >= n ? n : cut;
}

std::string RemoveSlash(const std::string& text) {
  if (!text.empty() && text.back() == '\\') return text.substr(0, text.size() - 1);
  return text;
}
