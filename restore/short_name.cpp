#include "restore/short_name.h"

#include <algorithm>
#include <vector>

#include "platform/handles.h"
#include "platform/text_encoding.h"

namespace {

constexpr std::uint32_t kShortPathBuffer = 256;

bool IsReplacedByUnderscore(char c) {
  return c == '+' || c == ',' || c == ';' || c == '=' || c == '[' || c == ']';
}

// The first `count` characters of a text, never half of one.
std::string Leading(const std::string& text, size_t count) { return text.substr(0, platform::Utf8Advance(text, 0, count)); }

size_t Characters(const std::string& text) { return platform::CodePointsOf(text).size(); }

// The 8.3 form of a name that does not exist, in the manner of the file system's own rule but
// always with "~1": the name is not there, so nothing can collide with it. Lengths count characters.
std::string BuildShortName(const std::string& name) {
  const size_t lastDotAt = name.find_last_of('.');
  std::string built, stem;
  bool lossy = false, shortenExtension = false;
  for (size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    if (c == ' ') {
      lossy = true;
    } else if (IsReplacedByUnderscore(c)) {
      stem += '_';
      lossy = true;
    } else if (c == '.' && i != lastDotAt) {
      lossy = true;
    } else if (c == '.') {
      if (Characters(name.substr(i + 1)) > 3) lossy = shortenExtension = true;
      if (Characters(stem) > 8 || lossy) {
        built += Leading(stem, 6) + "~1.";
      } else {
        built += stem + ".";
      }
      stem.clear();
      lossy = false;
    } else {
      stem += c;
    }
  }
  built += shortenExtension ? Leading(stem, 3) : stem;
  return built;
}

bool IsDelimiter(char c) { return c == '\\' || c == ':'; }

// The folder part of a path: the text before its last backslash or colon. A colon stays ("C:"),
// and a root keeps its backslash ("C:\", "\").
std::string FolderPart(const std::string& path) {
  const size_t at = path.find_last_of("\\:");
  if (at == std::string::npos) return std::string();
  if (path[at] == ':') return path.substr(0, at + 1);
  std::string folder = path.substr(0, at);
  if (folder.empty() || folder.back() == ':') folder += '\\';
  return folder;
}

std::string LastComponent(const std::string& path) {
  const size_t at = path.find_last_of("\\:");
  return at == std::string::npos ? path : path.substr(at + 1);
}

// The short form of the last component of `path`: what the directory search finds there, or
// the built form of the name when nothing is there. Whatever kind of entry stands at a folder's
// place, its name is what the path goes through, so it is taken as found.
std::string ShortComponent(platform::FileSystem& files, const std::string& path) {
  platform::FindData found;
  platform::UniqueFind find(files, files.FindFirst(path, &found));
  if (find) return found.alternateName.empty() ? found.name : found.alternateName;
  return BuildShortName(LastComponent(path));
}

}  // namespace

// Walked as a loop from the last component up, so that a long path costs no deep recursion; a
// folder part that does not get shorter (as in "ab:\") ends the walk.
std::string BuildShortPath(platform::FileSystem& files, const std::string& path, bool) {
  std::vector<std::string> components;
  std::string current = path;
  std::string folder;
  for (;;) {
    components.push_back(ShortComponent(files, current));
    folder = FolderPart(current);
    if (folder.size() <= 3 || folder.size() >= current.size()) break;
    current = folder;
  }
  // A drive root or a drive ("C:") is joined as it stands; a relative folder gets its backslash.
  std::string result = folder;
  if (!result.empty() && !IsDelimiter(result.back())) result += '\\';
  for (auto it = components.rbegin(); it != components.rend(); ++it) {
    if (it != components.rbegin()) result += '\\';
    result += *it;
  }
  return result;
}

std::string ShortFileName(platform::FileSystem& files, const std::string& path) {
  std::string shortPath;
  const std::uint32_t length = files.ShortPathName(path, kShortPathBuffer, &shortPath);
  if (length >= 1 && length < kShortPathBuffer) {
    std::string probe = shortPath;
    if (!probe.empty() && probe.back() == '\\') probe.pop_back();
    platform::FindData found;
    platform::UniqueFind find(files, files.FindFirst(probe, &found));
    if (find) return shortPath;
  }
  return BuildShortPath(files, path, false);
}
