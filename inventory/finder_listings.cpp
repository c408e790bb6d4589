#include "inventory/finder_listings.h"

#include <string_view>
#include <utility>

#include "inventory/file_tests.h"
#include "platform/handles.h"

namespace {

bool IsAscii(std::string_view text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

char Capital(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

std::string Capitals(std::string_view text) {
  std::string capitals(text);
  for (char& c : capitals) c = Capital(c);
  return capitals;
}

// U+0131 (dotless i) and U+017F (long s): the letters outside ASCII whose capitals are ASCII.
bool FoldsIntoAscii(const std::string& name) {
  return name.find("\xC4\xB1") != std::string::npos || name.find("\xC5\xBF") != std::string::npos;
}

// CON, PRN, AUX, NUL, COM1 to COM9, LPT1 to LPT9, with any extension: the platform opens the device.
bool IsDeviceName(std::string_view part) {
  std::string_view base = part.substr(0, part.find('.'));
  while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
  if (base.size() != 3 && base.size() != 4) return false;
  char name[4] = {};
  for (size_t i = 0; i < 3; ++i) name[i] = Capital(base[i]);
  const std::string_view three(name, 3);
  if (base.size() == 3) return three == "CON" || three == "PRN" || three == "AUX" || three == "NUL";
  return (three == "COM" || three == "LPT") && base[3] >= '0' && base[3] <= '9';
}

// A name that the listings can speak for: the platform takes it as it stands.
bool IsPlainName(std::string_view part) {
  if (part.empty() || part.size() > 255 || part.back() == '.' || part.back() == ' ') return false;
  for (char c : part) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || c == '<' || c == '>' || c == ':' || c == '"' || c == '/' || c == '\\' || c == '|' || c == '?' ||
        c == '*')
      return false;
  }
  return !IsDeviceName(part);
}

// "X:\a\b" as the drive "X:" and its names (with `root`, "X:" too, without names); false for any
// other form of path. The names are views into the path.
bool SplitPlainPath(std::string_view path, bool root, std::string* drive, std::vector<std::string_view>* parts) {
  const char letter = path.empty() ? '\0' : path[0];
  if (path.size() < 2 || !((letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z')) || path[1] != ':')
    return false;
  *drive = Capitals(path.substr(0, 2));
  parts->clear();
  if (path.size() == 2) return root;
  if (path.size() < 4 || path[2] != '\\') return false;
  for (size_t start = 3;;) {
    const size_t end = path.find('\\', start);
    parts->push_back(path.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    if (!IsPlainName(parts->back())) return false;
    if (end == std::string_view::npos) return true;
    start = end + 1;
  }
}

}  // namespace

FolderListings::FolderListings(const std::vector<std::string>& askedDirectly) {
  for (const std::string& folder : askedDirectly) {
    std::string key = Capitals(folder);
    while (!key.empty() && key.back() == '\\') key.pop_back();
    if (!key.empty()) askedDirectly_.push_back(key);
  }
}

FolderListings::Listing& FolderListings::ListingOf(platform::FileSystem& files, const std::string& key,
                                                   const std::string& path) {
  auto [it, added] = folders_.try_emplace(key);
  Listing& listing = it->second;
  if (!added) return listing;
  listing.path = path;
  for (const std::string& asked : askedDirectly_)
    if (key == asked) return listing;
  platform::FindData data;
  const platform::UniqueFind find(files, files.FindFirst(path + "\\*", &data));
  // Every folder but a drive's root lists itself: nothing listed is a folder that cannot be read.
  if (!find) return listing;
  do {
    if (data.name == "." || data.name == "..") continue;
    if (listing.names.size() == kLongestListing) {
      listing = Listing{};
      listing.path = path;
      return listing;
    }
    const size_t entry = listing.names.size();
    listing.names.push_back(data.name);
    listing.folders.push_back((data.attributes & platform::kFileAttributeDirectory) != 0);
    listing.foldsIntoAscii = listing.foldsIntoAscii || FoldsIntoAscii(data.name);
    for (auto [names, name] : {std::pair{&listing.longNames, &data.name}, std::pair{&listing.shortNames, &data.alternateName}}) {
      if (name->empty()) continue;
      auto [at, fresh] = names->try_emplace(Capitals(*name), entry);
      if (!fresh) at->second = kShared;
    }
  } while (files.FindNext(find.get(), &data));
  listing.known = true;
  return listing;
}

FolderListings::Kind FolderListings::KindIn(const Listing& listing, std::string_view name, size_t* entry) {
  const auto kindOf = [&](size_t i) {
    *entry = i;
    return listing.folders[i] ? Kind::kFolder : Kind::kFile;
  };
  // The name as listed, letter for letter, is the entry the file system opens first.
  const auto exactly = [&] {
    for (size_t i = 0; i < listing.names.size(); ++i)
      if (listing.names[i] == name) return kindOf(i);
    return Kind::kUnknown;
  };
  if (!IsAscii(name)) return exactly();
  const std::string capitals = Capitals(name);
  const auto named = listing.longNames.find(capitals);
  if (named != listing.longNames.end()) {
    if (named->second == kShared) return exactly();
    if (listing.names[named->second] == name || !listing.foldsIntoAscii) return kindOf(named->second);
    return Kind::kUnknown;
  }
  if (listing.foldsIntoAscii) return Kind::kUnknown;
  // Then by its 8.3 name, as the file system looks.
  const auto shortly = listing.shortNames.find(capitals);
  if (shortly == listing.shortNames.end()) return Kind::kMissing;
  return shortly->second == kShared ? Kind::kUnknown : kindOf(shortly->second);
}

FolderListings::Place FolderListings::Resolve(platform::FileSystem& files, const std::string& path, bool root) {
  std::string drive;
  std::vector<std::string_view> parts;
  if (!SplitPlainPath(path, root, &drive, &parts)) return {};
  Place place{Kind::kFolder, drive, drive};
  for (size_t i = 0; i < parts.size(); ++i) {
    // Below a file there is nothing.
    if (place.kind != Kind::kFolder) return {Kind::kMissing, {}, {}};
    // The folders on the way are read; the path's own folder only serves when it was read for
    // another path: a folder of one program is asked one question, which costs less than its
    // listing, and the questions of a program that is gone end in a folder above.
    const Listing* listing = i + 1 < parts.size() ? &ListingOf(files, place.key, place.path) : Read(place.key);
    if (!listing || !listing->known) return {};
    size_t entry = 0;
    place.kind = KindIn(*listing, parts[i], &entry);
    if (place.kind == Kind::kUnknown || place.kind == Kind::kMissing) return {place.kind, {}, {}};
    place.key += "\\" + Capitals(listing->names[entry]);
    place.path += "\\" + listing->names[entry];
  }
  return place;
}

const FolderListings::Listing* FolderListings::Read(const std::string& key) const {
  const auto it = folders_.find(key);
  return it == folders_.end() ? nullptr : &it->second;
}

bool FolderListings::FileTest(platform::FileSystem& files, const std::string& path) {
  const Kind kind = Resolve(files, path).kind;
  return kind == Kind::kUnknown ? ::FileTest(files, path) : kind == Kind::kFile;
}

bool FolderListings::FolderTest(platform::FileSystem& files, const std::string& path) {
  const Kind kind = Resolve(files, path).kind;
  return kind == Kind::kUnknown ? ::FolderTest(files, path) : kind == Kind::kFolder;
}

bool FolderListings::DirectorySearch(platform::FileSystem& files, const std::string& directory,
                                     const std::string& name) {
  // The search looks for the name in that one folder, a file or a folder alike.
  const Kind kind = directory.empty() || directory.back() == '\\' || !IsPlainName(name)
                        ? Kind::kUnknown
                        : Resolve(files, directory + "\\" + name).kind;
  return kind == Kind::kUnknown ? ::DirectorySearch(files, directory, name) : kind != Kind::kMissing;
}

bool FolderListings::PatternSearch(platform::FileSystem& files, const std::string& pattern) {
  // Only "folder\name.*": the name, or the name followed by a dot and anything, by its long or its
  // 8.3 name. Any other pattern is asked.
  const size_t slash = pattern.rfind('\\');
  const bool plain = pattern.size() > 2 && pattern.compare(pattern.size() - 2, 2, ".*") == 0 &&
                     slash != std::string::npos && slash >= 2;
  const std::string name = plain ? pattern.substr(slash + 1, pattern.size() - 2 - slash - 1) : std::string();
  if (!plain || !IsPlainName(name) || !IsAscii(name)) return ::PatternSearch(files, pattern);
  const Place place = Resolve(files, pattern.substr(0, slash), true);
  // A pattern in a folder that is not there finds nothing.
  if (place.kind == Kind::kMissing || place.kind == Kind::kFile) return false;
  // The folder is read: a pattern search reads the whole folder as its listing does, and the
  // questions that follow a pattern search in vain are about the same folder.
  const Listing* listing = place.kind == Kind::kFolder ? &ListingOf(files, place.key, place.path) : nullptr;
  if (!listing || !listing->known || listing->foldsIntoAscii) return ::PatternSearch(files, pattern);
  const std::string capitals = Capitals(name);
  const std::string dotted = capitals + ".";
  for (const auto* names : {&listing->longNames, &listing->shortNames}) {
    if (names->count(capitals)) return true;
    const auto next = names->lower_bound(dotted);
    if (next != names->end() && next->first.compare(0, dotted.size(), dotted) == 0) return true;
  }
  return false;
}
