#include "platform/memory/memory_files.h"

#include <algorithm>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <utility>

#include "platform/text_encoding.h"

// How this file system reads a path text, decided to match what Win32 does with the same text:
// - "/" is a separator like "\"; runs of separators count as one.
// - "X:\..." is absolute; "X:" followed by anything but a separator is drive-relative: it starts
//   at the current directory when X is the current drive, otherwise at the root of X (the
//   per-drive current directories of the real system are not kept). "\..." starts at the root of
//   the current drive; every other text starts at the current directory. "." and ".." are walked.
// - The last part loses its trailing blanks and dots ("C:\App\x.exe " names C:\App\x.exe), also
//   in a pattern search; an earlier part loses one trailing dot. A text that ends in a separator
//   names a folder only.
// - Texts are UTF-8; names compare without letter case, Latin, Greek and Cyrillic letters too, and
//   lengths count UTF-16 units, as the wide calls do.
// - A text of more than kMaxPath (260) characters fails with ERROR_FILENAME_EXCED_RANGE without a
//   look at the tree; a path that begins with two separators (network and device paths) is not
//   found, and its drive type is DRIVE_NO_ROOT_DIR.
// - A part holding a character that Windows refuses in names (control characters, < > : " | ? *)
//   names nothing; only the last part of a pattern search may hold the wildcards * ? < > ".
// - A letter never added is DRIVE_NO_ROOT_DIR, and nothing is found on it.
// - A part may name a file or folder by its alternate (8.3) name, once one is set.
namespace platform {

namespace {

constexpr std::uint32_t kErrorInvalidName = 123;
constexpr std::uint32_t kErrorFilenameExcedRange = 206;
constexpr std::uint32_t kErrorBadNetpath = 53;
constexpr std::uint32_t kErrorNotSameDevice = 17;
constexpr std::uint32_t kErrorNoMoreFiles = 18;

constexpr std::uint32_t kSettableAttributes = 0x01 | 0x02 | 0x04 | 0x20 | 0x100 | 0x1000 | 0x2000;

// FILETIME of a civil date and time, UTC.
constexpr std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}
constexpr std::int64_t kDaysTo1970From1601 = -DaysFromCivil(1601, 1, 1);
constexpr std::uint64_t FileTimeOf(int y, unsigned m, unsigned d, int hour) {
  return static_cast<std::uint64_t>(((DaysFromCivil(y, m, d) + kDaysTo1970From1601) * 86400 + hour * 3600)) *
         10000000ull;
}
// New files get a recent, valid time: 30 November 2026, 10:00 UTC.
constexpr std::uint64_t kDefaultTime = FileTimeOf(2026, 11, 30, 10);

// A drive letter in upper case.
char Fold(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

// Names as NTFS compares them: letter case ignored, outside ASCII too.
std::string Folded(const std::string& s) { return UpperCaseText(s); }

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool HasForbiddenCharacter(const std::string& part, bool wildcardsAllowed) {
  for (char c : part) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 32 || c == ':' || c == '|') return true;
    if (!wildcardsAllowed && (c == '<' || c == '>' || c == '"' || c == '?' || c == '*')) return true;
  }
  return false;
}

bool HasWildcard(const std::string& part) {
  return part.find_first_of("*?<>\"") != std::string::npos;
}

std::string TrimTrailing(std::string s, const char* what) {
  const size_t end = s.find_last_not_of(what);
  s.erase(end == std::string::npos ? 0 : end + 1);
  return s;
}

// An 8.3 name: a base of 1 to 8 and an extension of 0 to 3 characters, no blanks or marks that
// the short-name alphabet lacks.
bool IsShortName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  const size_t dot = name.find('.');
  if (dot != std::string::npos && name.find('.', dot + 1) != std::string::npos) return false;
  const std::string base = name.substr(0, dot);
  const std::string ext = dot == std::string::npos ? "" : name.substr(dot + 1);
  if (base.empty() || base.size() > 8 || ext.size() > 3) return false;
  for (char c : name) {
    // A character outside ASCII has no place in a short name: such a name gets an alternate one.
    if (static_cast<unsigned char>(c) >= 0x80) return false;
    if (c == ' ' || c == '+' || c == ',' || c == ';' || c == '=' || c == '[' || c == ']') return false;
  }
  return true;
}

// The DOS wildcards of the platform's pattern match, as FindFirstFileA turns a pattern into them:
// "?" matches one character, or nothing at a dot or the end of the name; "*" before a dot stops at
// the name's last dot; "." before "?" or "*" also matches the end of the name (so "name.*"
// matches "name"); "*.*" is "*".
constexpr char kDosStar = '<';
constexpr char kDosQm = '>';
constexpr char kDosDot = '"';

std::string DosPattern(const std::string& pattern) {
  if (pattern == "*.*") return "*";
  std::string out = pattern;
  for (size_t i = 0; i < out.size(); ++i) {
    const char next = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
    if (pattern[i] == '?') {
      out[i] = kDosQm;
    } else if (pattern[i] == '*' && next == '.') {
      out[i] = kDosStar;
    } else if (pattern[i] == '.' && (next == '?' || next == '*')) {
      out[i] = kDosDot;
    }
  }
  return out;
}

// FsRtlIsNameInExpression with letter case ignored; pattern already in DOS form. Both are UTF-8:
// a "?" takes one character, whatever its number of bytes.
bool MatchesDos(const std::string& dosPattern, const std::string& spelledName) {
  const std::string pattern = Folded(dosPattern);
  const std::string name = Folded(spelledName);
  const size_t P = pattern.size(), N = name.size();
  const size_t lastDot = name.rfind('.');
  // reach[n]: the pattern's prefix matched so far can end just before name position n.
  std::vector<char> reach(N + 1, 0), next(N + 1, 0);
  reach[0] = 1;
  for (size_t p = 0; p < P; ++p) {
    std::fill(next.begin(), next.end(), 0);
    const char c = pattern[p];
    for (size_t n = 0; n <= N; ++n) {
      if (!reach[n]) continue;
      switch (c) {
        case '*':
          for (size_t k = n; k <= N; ++k) next[k] = 1;
          break;
        case kDosStar: {
          // Any characters, but not past the last dot of the name.
          size_t k = n;
          next[k] = 1;
          while (k < N && !(name[k] == '.' && k == lastDot)) next[++k] = 1;
          break;
        }
        case kDosQm:
          if (n == N || name[n] == '.') {
            next[n] = 1;
          } else {
            next[Utf8Advance(name, n, 1)] = 1;
          }
          break;
        case kDosDot:
          if (n == N) {
            next[n] = 1;
          } else if (name[n] == '.') {
            next[n + 1] = 1;
          }
          break;
        default:
          if (n < N && name[n] == c) next[n + 1] = 1;
          break;
      }
    }
    std::swap(reach, next);
  }
  return reach[N] != 0;
}

}  // namespace

struct MemoryFileSystem::Node {
  std::string name;
  std::string shortName;
  std::uint32_t attributes = 0;
  std::uint64_t lastWrite = kDefaultTime;
  std::string content;
  std::map<std::string, std::shared_ptr<Node>> children;  // by folded name
  Node* parent = nullptr;
  bool readOnlyFolder = false;
  int readers = 0;
  int writers = 0;

  bool IsFolder() const { return (attributes & kFileAttributeDirectory) != 0; }
};

struct MemoryFileSystem::Impl {
  struct Drive {
    std::uint32_t type = kDriveFixed;
    std::shared_ptr<Node> root;
  };
  struct OpenState {
    std::shared_ptr<Node> node;
    FileOpen mode;
    size_t position = 0;
  };
  struct FindState {
    std::vector<FindData> entries;
    size_t next = 0;
  };
  struct Variable {
    std::string name;
    std::string value;
  };

  // A path text read as the platform reads it.
  struct Parsed {
    char drive = 0;                  // upper-case letter
    std::vector<std::string> parts;  // below the root, as spelled
    bool trailingSeparator = false;
    std::uint32_t error = 0;         // non-zero: the text names nothing
  };

  std::map<char, Drive> drives;
  // Calls from several threads at once (the status checks' and the window's) take turns.
  std::recursive_mutex mutex;
  // 64-bit Windows: the System folder is redirected, except for the threads that turned the
  // redirection off (it is each thread's own, as on Windows).
  bool redirecting = false;
  std::set<std::thread::id> unredirected;
  Parsed system32, sysWow64;
  std::map<std::string, Variable> environment;  // by folded name
  // profile file (folded full path) -> section (folded) -> key (folded) -> value
  std::map<std::string, std::map<std::string, std::map<std::string, std::string>>> profiles;
  char currentDrive = 'C';
  std::vector<std::string> currentParts;
  std::map<FileId, OpenState> files;
  std::map<FindId, FindState> finds;
  std::uintptr_t nextHandle = 0x100;

  Drive& EnsureDrive(char letter) {
    const char up = Fold(letter);
    auto it = drives.find(up);
    if (it == drives.end()) {
      Drive d;
      d.root = std::make_shared<Node>();
      d.root->name = std::string(1, up) + ":";
      d.root->attributes = kFileAttributeDirectory;
      it = drives.emplace(up, d).first;
    }
    return it->second;
  }

  // wildcardLast: the last part may hold wildcards (pattern searches) and keeps its dots.
  Parsed Parse(const std::string& text, bool wildcardLast = false) const {
    Parsed out;
    if (Utf16Length(text) > kMaxPath) {
      out.error = kErrorFilenameExcedRange;
      return out;
    }
    if (text.empty()) {
      out.error = kErrorPathNotFound;
      return out;
    }
    if (text.size() >= 2 && IsSeparator(text[0]) && IsSeparator(text[1])) {
      out.error = kErrorBadNetpath;
      return out;
    }
    size_t pos = 0;
    if (text.size() >= 2 && text[1] == ':') {
      if (!IsLetter(text[0])) {
        out.error = kErrorInvalidName;
        return out;
      }
      out.drive = Fold(text[0]);
      pos = 2;
      if (pos < text.size() && IsSeparator(text[pos])) {
        // absolute
      } else if (out.drive == currentDrive) {
        out.parts = currentParts;
      }
    } else if (IsSeparator(text[0])) {
      out.drive = currentDrive;
    } else {
      out.drive = currentDrive;
      out.parts = currentParts;
    }
    std::vector<std::string> raw;
    std::string part;
    for (size_t i = pos; i < text.size(); ++i) {
      if (IsSeparator(text[i])) {
        if (!part.empty()) raw.push_back(part);
        part.clear();
      } else {
        part += text[i];
      }
    }
    out.trailingSeparator = IsSeparator(text.back());
    const bool endsInName = !part.empty();
    if (endsInName) raw.push_back(part);
    for (size_t i = 0; i < raw.size(); ++i) {
      std::string p = raw[i];
      const bool last = endsInName && i + 1 == raw.size();
      const bool allDots = p.find_first_not_of('.') == std::string::npos;
      if (last) {
        // Patterns too: "*." is "*" by the time the names are matched, as on Wine.
        if (!(allDots && p.size() <= 2)) p = TrimTrailing(p, ". ");
      } else if (!allDots && p.back() == '.') {
        p.pop_back();
      }
      if (p.empty()) continue;
      if (p == ".") continue;
      if (p == "..") {
        if (!out.parts.empty()) out.parts.pop_back();
        continue;
      }
      if (HasForbiddenCharacter(p, wildcardLast && last)) {
        out.error = kErrorInvalidName;
        return out;
      }
      out.parts.push_back(p);
    }
    return out;
  }

  // A path as a call of a 32-bit program on 64-bit Windows names it: while redirection is on, the
  // System folder is the 32-bit one.
  Parsed ParseCall(const std::string& text, bool wildcardLast = false) const {
    Parsed out = Parse(text, wildcardLast);
    if (!redirecting || unredirected.count(std::this_thread::get_id()) || out.error || out.drive != system32.drive || out.parts.size() < system32.parts.size())
      return out;
    for (size_t i = 0; i < system32.parts.size(); ++i)
      if (Folded(out.parts[i]) != Folded(system32.parts[i])) return out;
    out.parts.erase(out.parts.begin(), out.parts.begin() + static_cast<std::ptrdiff_t>(system32.parts.size()));
    out.parts.insert(out.parts.begin(), sysWow64.parts.begin(), sysWow64.parts.end());
    return out;
  }

  std::shared_ptr<Node> Root(char drive) const {
    auto it = drives.find(drive);
    return it == drives.end() ? nullptr : it->second.root;
  }

  // A part names a child by its name or, as on the platform, by its 8.3 alternate name.
  static std::shared_ptr<Node> Child(const std::shared_ptr<Node>& folder, const std::string& name) {
    if (!folder || !folder->IsFolder()) return nullptr;
    const std::string folded = Folded(name);
    auto it = folder->children.find(folded);
    if (it != folder->children.end()) return it->second;
    for (const auto& [key, child] : folder->children) {
      if (!child->shortName.empty() && Folded(child->shortName) == folded) return child;
    }
    return nullptr;
  }

  // The node that parts [0, count) lead to, or null.
  std::shared_ptr<Node> Walk(const Parsed& p, size_t count) const {
    std::shared_ptr<Node> node = Root(p.drive);
    for (size_t i = 0; i < count && node; ++i) node = Child(node, p.parts[i]);
    return node;
  }

  std::shared_ptr<Node> Lookup(const Parsed& p, std::uint32_t* error = nullptr) const {
    std::uint32_t e = p.error;
    std::shared_ptr<Node> node;
    if (!e) {
      if (p.parts.empty()) {
        node = Root(p.drive);
        if (!node) e = kErrorPathNotFound;
      } else {
        std::shared_ptr<Node> parent = Walk(p, p.parts.size() - 1);
        if (!parent || !parent->IsFolder()) {
          e = kErrorPathNotFound;
        } else {
          node = Child(parent, p.parts.back());
          if (!node) e = kErrorFileNotFound;
        }
      }
      if (node && p.trailingSeparator && !node->IsFolder()) {
        node = nullptr;
        e = kErrorInvalidName;
      }
    }
    if (error) *error = e;
    return node;
  }

  std::string Spelled(const Parsed& p) const {
    std::string out(1, p.drive);
    out += ":\\";
    for (size_t i = 0; i < p.parts.size(); ++i) {
      if (i) out += '\\';
      out += p.parts[i];
    }
    return out;
  }

  std::int64_t TotalBytes() const {
    std::int64_t total = 0;
    std::function<void(const Node&)> add = [&](const Node& n) {
      total += static_cast<std::int64_t>(n.content.size());
      for (const auto& [k, c] : n.children) add(*c);
    };
    for (const auto& [letter, d] : drives) add(*d.root);
    return total;
  }

  static FindData EntryOf(const Node& n, const std::string& name) {
    FindData d;
    d.attributes = n.attributes;
    if (!n.IsFolder() && (d.attributes & ~kFileAttributeNormal) == 0) d.attributes = kFileAttributeNormal;
    d.lastWriteTime = n.lastWrite;
    d.name = name;
    // Like the platform, the alternate name is given only for names that are not 8.3 already.
    if (!IsShortName(name)) d.alternateName = n.shortName;
    return d;
  }

  static std::uint32_t ReportedAttributes(const Node& n) {
    if (!n.IsFolder() && n.attributes == 0) return kFileAttributeNormal;
    return n.attributes;
  }
};

MemoryFileSystem::MemoryFileSystem() : impl_(std::make_unique<Impl>()) {
  AddDrive('C', kDriveFixed);
}

MemoryFileSystem::~MemoryFileSystem() = default;

void MemoryFileSystem::AddDrive(char letter, std::uint32_t driveType) {
  impl_->EnsureDrive(letter).type = driveType;
}

namespace {
// Set-up paths are absolute; a drive they name is made as a fixed disk when it is not there.
std::shared_ptr<MemoryFileSystem::Node> MakeFolders(MemoryFileSystem::Impl& impl,
                                                    const MemoryFileSystem::Impl::Parsed& p,
                                                    size_t count) {
  std::shared_ptr<MemoryFileSystem::Node> node = impl.EnsureDrive(p.drive).root;
  for (size_t i = 0; i < count; ++i) {
    auto child = MemoryFileSystem::Impl::Child(node, p.parts[i]);
    if (child && !child->IsFolder()) return nullptr;
    if (!child) {
      child = std::make_shared<MemoryFileSystem::Node>();
      child->name = p.parts[i];
      child->attributes = kFileAttributeDirectory;
      child->parent = node.get();
      node->children[Folded(p.parts[i])] = child;
    }
    node = child;
  }
  return node;
}
}  // namespace

void MemoryFileSystem::SetWow64Folders(const std::string& system32, const std::string& sysWow64) {
  impl_->system32 = impl_->Parse(system32);
  impl_->sysWow64 = impl_->Parse(sysWow64);
  impl_->redirecting = true;
  AddFolder(sysWow64);
}

void MemoryFileSystem::SetRedirection(bool on) {
  const std::lock_guard<std::recursive_mutex> lock(impl_->mutex);
  if (on)
    impl_->unredirected.erase(std::this_thread::get_id());
  else
    impl_->unredirected.insert(std::this_thread::get_id());
}

void MemoryFileSystem::AddFolder(const std::string& path, std::uint32_t attributes) {
  const Impl::Parsed p = impl_->Parse(path);
  if (p.error) return;
  auto node = MakeFolders(*impl_, p, p.parts.size());
  if (node && !p.parts.empty()) node->attributes = attributes | kFileAttributeDirectory;
}

void MemoryFileSystem::AddFile(const std::string& path, const std::string& content,
                               std::uint32_t attributes) {
  const Impl::Parsed p = impl_->Parse(path);
  if (p.error || p.parts.empty()) return;
  auto folder = MakeFolders(*impl_, p, p.parts.size() - 1);
  if (!folder) return;
  auto node = Impl::Child(folder, p.parts.back());
  if (node && node->IsFolder()) return;
  if (!node) {
    node = std::make_shared<Node>();
    node->name = p.parts.back();
    node->parent = folder.get();
    folder->children[Folded(p.parts.back())] = node;
  }
  node->attributes = attributes & ~kFileAttributeDirectory;
  node->content = content;
}

void MemoryFileSystem::SetLastWriteTime(const std::string& path, std::uint64_t fileTime) {
  if (auto node = impl_->Lookup(impl_->Parse(path))) node->lastWrite = fileTime;
}

void MemoryFileSystem::SetEnvironment(const std::string& name, const std::string& value) {
  impl_->environment[Folded(name)] = Impl::Variable{name, value};
}

void MemoryFileSystem::SetCurrentDirectory(const std::string& path) {
  const Impl::Parsed p = impl_->Parse(path);
  if (p.error) return;
  impl_->currentDrive = p.drive;
  impl_->currentParts = p.parts;
}

void MemoryFileSystem::SetShortName(const std::string& path, const std::string& shortName) {
  if (auto node = impl_->Lookup(impl_->Parse(path))) node->shortName = shortName;
}

void MemoryFileSystem::SetProfile(const std::string& file, const std::string& section,
                                  const std::string& key, const std::string& value) {
  impl_->profiles[Folded(impl_->Spelled(impl_->Parse(file)))][Folded(section)][Folded(key)] = value;
}

bool MemoryFileSystem::FileExistsAt(const std::string& path) const {
  auto node = impl_->Lookup(impl_->Parse(path));
  return node && !node->IsFolder();
}

bool MemoryFileSystem::FolderExistsAt(const std::string& path) const {
  auto node = impl_->Lookup(impl_->Parse(path));
  return node && node->IsFolder();
}

std::string MemoryFileSystem::Content(const std::string& path) const {
  auto node = impl_->Lookup(impl_->Parse(path));
  return node && !node->IsFolder() ? node->content : std::string();
}

std::vector<std::string> MemoryFileSystem::List(const std::string& folder) const {
  std::vector<std::string> names;
  auto node = impl_->Lookup(impl_->Parse(folder));
  if (node && node->IsFolder()) {
    for (const auto& [key, child] : node->children) names.push_back(child->name);
  }
  return names;
}

void MemoryFileSystem::SetFolderReadOnly(const std::string& folder, bool readOnly) {
  auto node = impl_->Lookup(impl_->Parse(folder));
  if (node && node->IsFolder()) node->readOnlyFolder = readOnly;
}

int MemoryFileSystem::OpenFinds() const { return static_cast<int>(impl_->finds.size()); }

int MemoryFileSystem::OpenFiles() const { return static_cast<int>(impl_->files.size()); }

FindId MemoryFileSystem::FindFirst(const std::string& pattern, FindData* data) {
  const std::lock_guard<std::recursive_mutex> lock(impl_->mutex);
  ++counts_.findFirst;
  const Impl::Parsed p = impl_->ParseCall(pattern, true);
  // A pattern that ends in a separator, or names a drive's root, matches nothing.
  if (p.error || p.trailingSeparator || p.parts.empty()) return kInvalidFind;
  auto folder = impl_->Walk(p, p.parts.size() - 1);
  if (!folder || !folder->IsFolder()) return kInvalidFind;
  const std::string dos = DosPattern(p.parts.back());
  Impl::FindState state;
  if (folder->parent) {
    // Every folder but a root lists itself and its parent first, as NTFS does.
    for (const char* dots : {".", ".."}) {
      if (MatchesDos(dos, dots)) {
        const Node& n = std::string(dots) == "." ? *folder : *folder->parent;
        state.entries.push_back(Impl::EntryOf(n, dots));
      }
    }
  }
  for (const auto& [key, child] : folder->children) {
    // Like the platform, a pattern also matches a file by its short name.
    if (MatchesDos(dos, child->name) || (!child->shortName.empty() && MatchesDos(dos, child->shortName))) {
      state.entries.push_back(Impl::EntryOf(*child, child->name));
    }
  }
  if (state.entries.empty()) return kInvalidFind;
  if (data) *data = state.entries.front();
  state.next = 1;
  const FindId id = impl_->nextHandle++;
  impl_->finds[id] = std::move(state);
  return id;
}

bool MemoryFileSystem::FindNext(FindId find, FindData* data) {
  const std::lock_guard<std::recursive_mutex> lock(impl_->mutex);
  auto it = impl_->finds.find(find);
  if (it == impl_->finds.end() || it->second.next >= it->second.entries.size()) return false;
  if (data) *data = it->second.entries[it->second.next];
  ++it->second.next;
  return true;
}

void MemoryFileSystem::FindEnd(FindId find) {
  const std::lock_guard<std::recursive_mutex> lock(impl_->mutex);
  impl_->finds.erase(find);
}

std::uint32_t MemoryFileSystem::Attributes(const std::string& path) {
  const std::lock_guard<std::recursive_mutex> lock(impl_->mutex);
  ++counts_.attributes;
  auto node = impl_->Lookup(impl_->ParseCall(path));
  return node ? Impl::ReportedAttributes(*node) : kInvalidFileAttributes;
}

bool MemoryFileSystem::SetAttributes(const std::string& path, std::uint32_t attributes) {
  const std::lock_guard<std::recursive_mutex> lock(impl_->mutex);
  const Impl::Parsed p = impl_->ParseCall(path);
  auto node = impl_->Lookup(p);
  if (!node || !node->parent) return false;
  if (node->parent->readOnlyFolder) return false;
  if (attributes == kFileAttributeNormal) attributes = 0;
  node->attributes = (attributes & kSettableAttributes) | (node->IsFolder() ? kFileAttributeDirectory : 0);
  return true;
}

std::uint32_t MemoryFileSystem::SearchDirectory(const std::string& directory, const std::string& file,
                                                const char* extension, std::uint32_t bufferLength,
                                                std::string* found) {
  const std::lock_guard<std::recursive_mutex> lock(impl_->mutex);
  ++counts_.searchDirectory;
  if (file.empty()) return 0;
  const size_t lastSep = file.find_last_of("\\/");
  const std::string lastPart = lastSep == std::string::npos ? file : file.substr(lastSep + 1);
  const bool hasExtension = lastPart.find('.') != std::string::npos;
  const std::string ext = extension && !hasExtension ? extension : "";
  // A name with an explicit path (absolute, rooted, drive-relative, ".\" or "..\") ignores the
  // directory, as SearchPathA does; an empty directory is searched nowhere.
  const bool explicitPath = (file.size() >= 2 && file[1] == ':') || IsSeparator(file[0]) ||
                            file.rfind(".\\", 0) == 0 || file.rfind("./", 0) == 0 ||
                            file.rfind("..\\", 0) == 0 || file.rfind("../", 0) == 0;
  std::vector<std::string> candidates;
  if (explicitPath) {
    candidates.push_back(file);
    if (!ext.empty()) candidates.push_back(file + ext);
  } else {
    if (directory.empty()) return 0;
    const std::string joined = directory + (IsSeparator(directory.back()) ? "" : "\\") + file;
    candidates.push_back(joined + ext);
  }
  for (const std::string& c : candidates) {
    // Wildcards are plain characters to a directory search and never match.
    if (HasWildcard(c.substr(c.size() >= 2 && c[1] == ':' ? 2 : 0))) continue;
    const Impl::Parsed p = impl_->ParseCall(c);
    // Files and folders both count, as the platform's existence test answers for either.
    if (!impl_->Lookup(p)) continue;
    const std::string full = impl_->Spelled(p);
    const auto length = static_cast<std::uint32_t>(Utf16Length(full));
    if (bufferLength > length) {
      if (found) *found = full;
      return length;
    }
    return length + 1;
  }
  return 0;
}

std::uint32_t MemoryFileSystem::ExpandEnvironment(const std::string& source, std::uint32_t size,
                                                  std::string* expanded) {
  const std::lock_guard<std::recursive_mutex> lock(impl_->mutex);
  ++counts_.expand;
  // A defined %NAME% is replaced; an undefined one stays with both of its per-cent signs and the
  // text goes on after the second one; a lone "%" stays.
  std::string out;
  size_t i = 0;
  while (i < source.size()) {
    if (source[i] != '%') {
      out += source[i++];
      continue;
    }
    const size_t close = source.find('%', i + 1);
    if (close == std::string::npos) {
      out.append(source, i, std::string::npos);
      break;
    }
    const std::string name = source.substr(i + 1, close - i - 1);
    auto it = name.empty() ? impl_->environment.end() : impl_->environment.find(Folded(name));
    if (it != impl_->environment.end()) {
      out += it->second.value;
    } else {
      out.append(source, i, close - i + 1);
    }
    i = close + 1;
  }
  const auto needed = static_cast<std::uint32_t>(Utf16Length(out) + 1);
  if (needed > size) return needed;
  if (expanded) *expanded = out;
  return needed;
}

std::uint32_t MemoryFileSystem::DriveType(const std::string& root) {
  const std::lock_guard<std::recursive_mutex> lock(impl_->mutex);
  ++counts_.driveType;
  // Only a text that names the root of a drive ("C:\", "C:", "\" for the current drive, or a
  // relative text that leads there) has a drive type; anything else is not a root.
  if (root.empty()) return kDriveNoRootDir;
  Impl::Parsed p = impl_->Parse(root);
  if (root.size() == 2 && root[1] == ':' && IsLetter(root[0])) {
    p = Impl::Parsed{};
    p.drive = Fold(root[0]);
  }
  if (p.error || !p.parts.empty()) return kDriveNoRootDir;
  auto it = impl_->drives.find(p.drive);
  return it == impl_->drives.end() ? kDriveNoRootDir : it->second.type;
}

std::uint32_t MemoryFileSystem::ShortPathName(const std::string& path, std::uint32_t bufferLength,
                                              std::string* shortPath) {
  const std::lock_guard<std::recursive_mutex> lock(impl_->mutex);
  if (shortPathFails_) return 0;
  const Impl::Parsed whole = impl_->ParseCall(path);
  if (whole.error || !impl_->Lookup(whole)) return 0;
  // Each part is walked as written: a part that is 8.3 already stays as written, any other part
  // becomes its alternate name, or stays long when it has none (a volume that keeps no 8.3 names).
  Impl::Parsed walk;
  walk.drive = whole.drive;
  size_t pos = 0;
  std::string out;
  if (path.size() >= 2 && path[1] == ':') {
    out = path.substr(0, 2);
    pos = 2;
    if (pos < path.size() && IsSeparator(path[pos])) {
      out += path[pos++];
    } else if (walk.drive == impl_->currentDrive) {
      walk.parts = impl_->currentParts;
    }
  } else if (IsSeparator(path[0])) {
    out = path.substr(0, 1);
    pos = 1;
    walk.drive = impl_->currentDrive;
  } else {
    walk.drive = impl_->currentDrive;
    walk.parts = impl_->currentParts;
  }
  std::string part;
  auto flush = [&](char separator) {
    if (part.empty()) {
      if (separator) out += separator;
      return;
    }
    std::string shown = part;
    if (part == "..") {
      if (!walk.parts.empty()) walk.parts.pop_back();
    } else if (part != ".") {
      const std::string name = TrimTrailing(part, ". ");
      walk.parts.push_back(name);
      auto node = impl_->Walk(walk, walk.parts.size());
      if (!IsShortName(name) && node && !node->shortName.empty()) {
        shown = node->shortName;
      } else {
        shown = name;
      }
    }
    out += shown;
    if (separator) out += separator;
    part.clear();
  };
  for (size_t i = pos; i < path.size(); ++i) {
    if (IsSeparator(path[i])) {
      flush(path[i]);
    } else {
      part += path[i];
    }
  }
  flush('\0');
  const auto length = static_cast<std::uint32_t>(Utf16Length(out));
  if (bufferLength > length) {
    if (shortPath) *shortPath = out;
    return length;
  }
  return length + 1;
}

bool MemoryFileSystem::MakeDirectory(const std::string& path) {
  if (Interfere("mkdir", path)) return false;
  const std::lock_guard<std::recursive_mutex> lock(impl_->mutex);
  const Impl::Parsed p = impl_->ParseCall(path);
  if (p.error || p.parts.empty()) return false;
  auto parent = impl_->Walk(p, p.parts.size() - 1);
  if (!parent || !parent->IsFolder() || parent->readOnlyFolder) return false;
  if (Impl::Child(parent, p.parts.back())) return false;
  auto node = std::make_shared<Node>();
  node->name = p.parts.back();
  node->attributes = kFileAttributeDirectory;
  node->parent = parent.get();
  parent->children[Folded(node->name)] = node;
  return true;
}

bool MemoryFileSystem::RemoveFile(const std::string& path) {
  if (Interfere("delete", path)) return false;
  const std::lock_guard<std::recursive_mutex> lock(impl_->mutex);
  const Impl::Parsed p = impl_->ParseCall(path);
  auto node = impl_->Lookup(p);
  if (!node || node->IsFolder() || !node->parent) return false;
  if (node->parent->readOnlyFolder || (node->attributes & kFileAttributeReadOnly)) return false;
  if (node->readers || node->writers) return false;
  node->parent->children.erase(Folded(node->name));
  return true;
}

bool MemoryFileSystem::RenameFile(const std::string& from, const std::string& to, std::uint32_t* error) {
  const std::lock_guard<std::recursive_mutex> lock(impl_->mutex);
  auto fail = [&](std::uint32_t e) {
    if (error) *error = e;
    return false;
  };
  if (const std::uint32_t refused = Interfere("rename", from)) return fail(refused);
  const Impl::Parsed pf = impl_->ParseCall(from);
  const Impl::Parsed pt = impl_->ParseCall(to);
  std::uint32_t e = 0;
  auto node = impl_->Lookup(pf, &e);
  if (!node) return fail(e);
  if (!node->parent) return fail(kErrorAccessDenied);
  if (pt.error) return fail(pt.error);
  if (pt.parts.empty()) return fail(kErrorAccessDenied);
  auto target = impl_->Walk(pt, pt.parts.size() - 1);
  if (!target || !target->IsFolder()) return fail(kErrorPathNotFound);
  if (node->readers || node->writers) return fail(kErrorSharingViolation);
  if (node->parent->readOnlyFolder || target->readOnlyFolder) return fail(kErrorAccessDenied);
  if (node->IsFolder() && pf.drive != pt.drive) return fail(kErrorNotSameDevice);
  for (Node* up = target.get(); up; up = up->parent) {
    if (up == node.get()) return fail(kErrorAccessDenied);
  }
  auto existing = Impl::Child(target, pt.parts.back());
  // Renaming to the same name in another letter case changes only the spelling.
  if (existing && existing != node) return fail(kErrorAlreadyExists);
  node->parent->children.erase(Folded(node->name));
  node->name = pt.parts.back();
  node->parent = target.get();
  target->children[Folded(node->name)] = node;
  if (error) *error = 0;
  return true;
}

bool MemoryFileSystem::RenameFileReplacing(const std::string& from, const std::string& to, std::uint32_t* error) {
  const std::lock_guard<std::recursive_mutex> lock(impl_->mutex);
  const Impl::Parsed pt = impl_->ParseCall(to);
  const auto existing = pt.error || pt.parts.empty() ? nullptr : impl_->Lookup(pt);
  const auto source = impl_->Lookup(impl_->ParseCall(from));
  if (!source || !existing || existing == source) return RenameFile(from, to, error);
  // Only a file that is neither read-only nor open is replaced.
  if (existing->IsFolder() || (existing->attributes & kFileAttributeReadOnly) || existing->readers ||
      existing->writers) {
    if (error) *error = kErrorAccessDenied;
    return false;
  }
  // The file of the new name goes, and comes back when the rename fails: one step, under the lock.
  existing->parent->children.erase(Folded(existing->name));
  if (RenameFile(from, to, error)) return true;
  existing->parent->children[Folded(existing->name)] = existing;
  return false;
}

FileId MemoryFileSystem::OpenFile(const std::string& path, FileOpen mode, std::uint32_t* error) {
  const std::lock_guard<std::recursive_mutex> lock(impl_->mutex);
  auto fail = [&](std::uint32_t e) {
    if (error) *error = e;
    return kInvalidFile;
  };
  const char* call = mode == FileOpen::kRead ? "open read" : mode == FileOpen::kAppend ? "open append" : "open create";
  if (const std::uint32_t refused = Interfere(call, path)) return fail(refused);
  const Impl::Parsed p = impl_->ParseCall(path);
  if (p.error) return fail(p.error);
  if (p.parts.empty() || p.trailingSeparator) return fail(kErrorPathNotFound);
  auto folder = impl_->Walk(p, p.parts.size() - 1);
  if (!folder || !folder->IsFolder()) return fail(kErrorPathNotFound);
  auto node = Impl::Child(folder, p.parts.back());
  const bool writes = mode != FileOpen::kRead;
  if (node && node->IsFolder()) return fail(kErrorAccessDenied);
  const bool creates = mode == FileOpen::kCreate || mode == FileOpen::kCreateNew;
  if (!node && !creates) return fail(kErrorFileNotFound);
  if (node && mode == FileOpen::kCreateNew) return fail(kErrorFileExists);
  if (writes && folder->readOnlyFolder) return fail(kErrorAccessDenied);
  if (node) {
    if (writes && (node->attributes & kFileAttributeReadOnly)) return fail(kErrorAccessDenied);
    // CREATE_ALWAYS with normal attributes refuses a hidden or system file.
    if (mode == FileOpen::kCreate && (node->attributes & (kFileAttributeHidden | kFileAttributeSystem))) {
      return fail(kErrorAccessDenied);
    }
    // Every open shares reading only: a writer excludes every other open, a reader excludes writers.
    if (node->writers || (writes && node->readers)) return fail(kErrorSharingViolation);
  }
  if (!node) {
    node = std::make_shared<Node>();
    node->name = p.parts.back();
    node->parent = folder.get();
    folder->children[Folded(node->name)] = node;
  }
  if (creates) {
    node->content.clear();
    node->attributes = kFileAttributeArchive;
    node->lastWrite = kDefaultTime;
  }
  Impl::OpenState state{node, mode, mode == FileOpen::kAppend ? node->content.size() : 0};
  (writes ? node->writers : node->readers) += 1;
  const FileId id = impl_->nextHandle++;
  impl_->files[id] = std::move(state);
  if (error) *error = 0;
  return id;
}

bool MemoryFileSystem::ReadFile(FileId file, char* buffer, std::uint32_t size, std::uint32_t* read,
                                std::uint32_t* error) {
  const std::lock_guard<std::recursive_mutex> lock(impl_->mutex);
  if (read) *read = 0;
  auto it = impl_->files.find(file);
  if (it == impl_->files.end()) {
    if (error) *error = kErrorInvalidHandle;
    return false;
  }
  Impl::OpenState& s = it->second;
  if (s.mode != FileOpen::kRead) {
    if (error) *error = kErrorAccessDenied;
    return false;
  }
  const std::string& content = s.node->content;
  const size_t n = s.position < content.size() ? std::min<size_t>(size, content.size() - s.position) : 0;
  if (n) std::copy_n(content.data() + s.position, n, buffer);
  s.position += n;
  counts_.bytesRead += static_cast<std::int64_t>(n);
  if (read) *read = static_cast<std::uint32_t>(n);
  if (error) *error = 0;
  return true;
}

bool MemoryFileSystem::WriteFile(FileId file, const char* data, std::uint32_t size, std::uint32_t* error) {
  const std::lock_guard<std::recursive_mutex> lock(impl_->mutex);
  ++counts_.writes;
  const std::uint32_t refused = InterfereWithFile("write", file);
  auto fail = [&](std::uint32_t e) {
    if (error) *error = e;
    return false;
  };
  auto it = impl_->files.find(file);
  if (it == impl_->files.end()) return fail(kErrorInvalidHandle);
  Impl::OpenState& s = it->second;
  if (s.mode == FileOpen::kRead) return fail(kErrorAccessDenied);
  if (s.node->parent && s.node->parent->readOnlyFolder) return fail(kErrorAccessDenied);
  std::string& content = s.node->content;
  auto put = [&](size_t count) {
    if (s.position > content.size()) content.resize(s.position);
    content.replace(s.position, std::min(count, content.size() - s.position), data, count);
    s.position += count;
    s.node->lastWrite = kDefaultTime;
  };
  if (refused) {
    put(size / 2);
    return fail(refused);
  }
  // 0 and 1 both mean the next write.
  if (failWriteCountdown_ >= 0) {
    if (failWriteCountdown_ <= 1) {
      failWriteCountdown_ = -1;
      put(size / 2);
      return fail(kErrorWriteFault);
    }
    --failWriteCountdown_;
  }
  if (capacity_ >= 0) {
    const std::int64_t grows =
        std::max<std::int64_t>(0, static_cast<std::int64_t>(s.position + size) - static_cast<std::int64_t>(content.size()));
    // Nothing of a write that does not fit reaches the file.
    if (impl_->TotalBytes() + grows > capacity_) return fail(kErrorDiskFull);
  }
  put(size);
  if (error) *error = 0;
  return true;
}

bool MemoryFileSystem::FlushFile(FileId file, std::uint32_t* error) {
  const std::lock_guard<std::recursive_mutex> lock(impl_->mutex);
  ++counts_.flushes;
  if (const std::uint32_t refused = InterfereWithFile("flush", file)) {
    if (error) *error = refused;
    return false;
  }
  auto it = impl_->files.find(file);
  if (it == impl_->files.end()) {
    if (error) *error = kErrorInvalidHandle;
    return false;
  }
  // FlushFileBuffers needs write access.
  if (it->second.mode == FileOpen::kRead) {
    if (error) *error = kErrorAccessDenied;
    return false;
  }
  if (failFlushes_) {
    if (error) *error = kErrorWriteFault;
    return false;
  }
  if (error) *error = 0;
  return true;
}

bool MemoryFileSystem::CloseFile(FileId file, std::uint32_t* error) {
  const std::lock_guard<std::recursive_mutex> lock(impl_->mutex);
  const std::uint32_t refused = InterfereWithFile("close", file);
  auto it = impl_->files.find(file);
  if (it == impl_->files.end()) {
    if (error) *error = kErrorInvalidHandle;
    return false;
  }
  Node& n = *it->second.node;
  (it->second.mode == FileOpen::kRead ? n.readers : n.writers) -= 1;
  impl_->files.erase(it);
  if (error) *error = refused;
  return refused == 0;
}

std::uint32_t MemoryFileSystem::Interfere(const char* call, const std::string& path) {
  if (!interfere || interfering_) return 0;
  interfering_ = true;
  const std::uint32_t answer = interfere(call, path);
  interfering_ = false;
  return answer;
}

std::uint32_t MemoryFileSystem::InterfereWithFile(const char* call, FileId file) {
  if (!interfere || interfering_) return 0;
  std::string path;
  {
    const std::lock_guard<std::recursive_mutex> lock(impl_->mutex);
    const auto it = impl_->files.find(file);
    if (it == impl_->files.end()) return 0;
    std::vector<std::string> names;
    const Node* node = it->second.node.get();
    for (; node && node->parent; node = node->parent) names.push_back(node->name);
    for (const auto& [letter, drive] : impl_->drives)
      if (drive.root.get() == node) path = std::string(1, letter) + ":";
    for (auto name = names.rbegin(); name != names.rend(); ++name) path += "\\" + *name;
  }
  return Interfere(call, path);
}

std::string MemoryFileSystem::ErrorText(std::uint32_t error) {
  // The system's English texts; FormatMessageA fails for codes it has no text for: empty.
  static const std::map<std::uint32_t, const char*> texts = {
      {0, "The operation completed successfully."},
      {2, "The system cannot find the file specified."},
      {3, "The system cannot find the path specified."},
      {5, "Access is denied."},
      {6, "The handle is invalid."},
      {8, "Not enough memory resources are available to process this command."},
      {17, "The system cannot move the file to a different disk drive."},
      {18, "There are no more files."},
      {29, "The system cannot write to the specified device."},
      {32, "The process cannot access the file because it is being used by another process."},
      {39, "The disk is full."},
      {53, "The network path was not found."},
      {80, "The file exists."},
      {87, "The parameter is incorrect."},
      {112, "There is not enough space on the disk."},
      {123, "The filename, directory name, or volume label syntax is incorrect."},
      {183, "Cannot create a file when that file already exists."},
      {193, "%1 is not a valid Win32 application."},
      {206, "The filename or extension is too long."},
      {234, "More data is available."},
      {259, "No more data is available."},
      {1009, "The configuration registry database is corrupt."},
      {1018, "Illegal operation attempted on a registry key that has been marked for deletion."},
      {1020, "An attempt was made to create a symbolic link in a registry key that already has subkeys or values."},
      {1314, "A required privilege is not held by the client."},
  };
  static_assert(kErrorNoMoreFiles == 18 && kErrorNotSameDevice == 17);
  auto it = texts.find(error);
  return it == texts.end() ? std::string() : it->second;
}

namespace {
// Blanks and tabs around a value go, then one pair of matching quotes around it.
std::string ProfileValue(std::string v) {
  const size_t b = v.find_first_not_of(" \t");
  v = b == std::string::npos ? "" : v.substr(b);
  v = TrimTrailing(v, " \t\r");
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
    v = v.substr(1, v.size() - 2);
  }
  return v;
}

std::string Trimmed(const std::string& s) {
  const size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return "";
  return TrimTrailing(s.substr(b), " \t\r");
}

// The first value of the key in the first section of that name in an ini text.
std::optional<std::string> ProfileLookup(const std::string& text, const std::string& section,
                                         const std::string& key) {
  bool inSection = false;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = Trimmed(text.substr(start, end - start));
    start = end + 1;
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      const size_t close = line.find(']');
      const std::string name = Trimmed(line.substr(1, close == std::string::npos ? std::string::npos : close - 1));
      inSection = Folded(name) == Folded(section);
      continue;
    }
    if (!inSection) continue;
    const size_t eq = line.find('=');
    const std::string name = Trimmed(line.substr(0, eq));
    if (Folded(name) != Folded(key)) continue;
    return eq == std::string::npos ? std::string() : ProfileValue(line.substr(eq + 1));
  }
  return std::nullopt;
}
}  // namespace

std::string MemoryFileSystem::ReadProfileString(const std::string& section, const std::string& key,
                                                const std::string& fallback, const std::string& file) {
  const std::lock_guard<std::recursive_mutex> lock(impl_->mutex);
  // A bare file name lies in the Windows folder, as the platform has it.
  const bool bare = file.find_first_of("\\/:") == std::string::npos;
  const Impl::Parsed p = impl_->Parse(bare ? "C:\\WINDOWS\\" + file : file);
  std::optional<std::string> value;
  if (!p.error && !key.empty()) {
    auto pf = impl_->profiles.find(Folded(impl_->Spelled(p)));
    if (pf != impl_->profiles.end()) {
      auto ps = pf->second.find(Folded(section));
      if (ps != pf->second.end()) {
        auto pk = ps->second.find(Folded(key));
        if (pk != ps->second.end()) value = pk->second;
      }
    }
    if (!value) {
      auto node = impl_->Lookup(p);
      if (node && !node->IsFolder()) value = ProfileLookup(node->content, section, key);
    }
  }
  // The default loses its trailing blanks; either text is cut to the buffer of 2048 characters.
  std::string out = value ? *value : TrimTrailing(fallback, " ");
  out.resize(Utf8OffsetOfUnits(out, 2047));
  return out;
}

bool MemoryFileSystem::ReadWholeFile(const std::string& path, std::string* content) const {
  auto node = impl_->Lookup(impl_->Parse(path));
  if (!node || node->IsFolder()) return false;
  if (content) *content = node->content;
  return true;
}

bool MemoryFileSystem::WriteWholeFile(const std::string& path, const std::string& content) {
  const Impl::Parsed p = impl_->Parse(path);
  if (p.error || p.parts.empty() || p.trailingSeparator) return false;
  auto folder = impl_->Walk(p, p.parts.size() - 1);
  if (!folder || !folder->IsFolder() || folder->readOnlyFolder) return false;
  auto node = Impl::Child(folder, p.parts.back());
  if (node && (node->IsFolder() || (node->attributes & kFileAttributeReadOnly) || node->readers || node->writers)) {
    return false;
  }
  const std::int64_t old = node ? static_cast<std::int64_t>(node->content.size()) : 0;
  if (capacity_ >= 0 && impl_->TotalBytes() - old + static_cast<std::int64_t>(content.size()) > capacity_) {
    return false;
  }
  if (!node) {
    node = std::make_shared<Node>();
    node->name = p.parts.back();
    node->attributes = kFileAttributeArchive;
    node->parent = folder.get();
    folder->children[Folded(node->name)] = node;
  }
  node->content = content;
  node->lastWrite = kDefaultTime;
  return true;
}

}  // namespace platform
