#pragma once
// The finder's file and folder questions of one scan answered from one listing of each folder
// (a search of "folder\*"): a vendor's folder is read once for all of its programs, and every
// question about a folder that is not there is answered by its parent's listing. A folder is read
// when a question is about a path further down, or for a pattern search in it (which reads the
// folder all the same); a question about a name in a folder not read is asked, as a folder of one
// program is asked one question, which costs less than its listing.
//
// An answer comes from the listings only where they tell exactly what the file system would
// answer: letter case ignored as the file system ignores it, a name found by its 8.3 name as well,
// a pattern "name.*" matched as the platform matches it. Every other question is asked of the file
// system itself: a path that is not a plain "X:\folder\name" (relative, network, with "." or "..",
// a name ending in a dot or a blank, a device name such as NUL, a character the file system
// refuses), a name outside ASCII that is not listed letter for letter, a folder that cannot be
// listed or holds more than kLongestListing names, and anything in the folders asked directly (the
// Windows folder, where the redirection of a 32-bit program and names such as Sysnative that no
// listing shows make a listing tell less than a question).
#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

class FolderListings {
 public:
  // The most names a folder's listing keeps; a longer one is not kept, and its questions are asked.
  static constexpr std::size_t kLongestListing = 4096;

  // `askedDirectly`: folders (full paths) whose contents are never answered from a listing.
  explicit FolderListings(const std::vector<std::string>& askedDirectly = {});

  // The answers of FileTest, FolderTest, DirectorySearch and PatternSearch of file_tests.h, for
  // texts within the platform's path limit.
  bool FileTest(platform::FileSystem& files, const std::string& path);
  bool FolderTest(platform::FileSystem& files, const std::string& path);
  bool DirectorySearch(platform::FileSystem& files, const std::string& directory, const std::string& name);
  bool PatternSearch(platform::FileSystem& files, const std::string& pattern);

 private:
  struct Listing {
    bool known = false;  // listed, and not longer than kLongestListing
    std::string path;    // spelled as the listings above it spell it
    std::vector<std::string> names;
    std::vector<bool> folders;
    // Names with their ASCII letters in capitals (long and 8.3) to the entries they name; kShared
    // for a name that two entries share (a file system that counts letter case may hold both).
    std::map<std::string, std::size_t> longNames, shortNames;
    // A name holds a letter outside ASCII whose capital is an ASCII letter (dotless i, long s): an
    // ASCII name may name that entry, so no ASCII name is known to be missing here.
    bool foldsIntoAscii = false;
  };
  static constexpr std::size_t kShared = ~std::size_t{0};

  enum class Kind { kMissing, kFile, kFolder, kUnknown };
  struct Place {
    Kind kind = Kind::kUnknown;
    std::string key, path;  // of a folder: its key and its path
  };

  // What the path names, found through the listings of the folders above it; with `root`, the
  // drive "X:" alone names its root folder.
  Place Resolve(platform::FileSystem& files, const std::string& path, bool root = false);
  // The listing of the folder of that key and path, read when first needed.
  Listing& ListingOf(platform::FileSystem& files, const std::string& key, const std::string& path);
  // The listing of the folder of that key when it was read, or none.
  const Listing* Read(const std::string& key) const;
  // What the name names in the listing, and its entry.
  static Kind KindIn(const Listing& listing, std::string_view name, std::size_t* entry);

  std::map<std::string, Listing> folders_;  // by key: the path with its ASCII letters in capitals
  std::vector<std::string> askedDirectly_;  // keys
};
