#include "inventory/file_tests.h"

#include "inventory/finder_listings.h"
#include "platform/handles.h"
#include "platform/text_encoding.h"

namespace {
// The platform counts a path's length in UTF-16 units.
bool TooLong(size_t units) { return units > platform::kMaxPath; }
size_t Units(const std::string& text) { return platform::Utf16Length(text); }
}  // namespace

bool IsFile(platform::FileSystem& files, const std::string& path) {
  const std::uint32_t attributes = files.Attributes(path);
  return attributes != platform::kInvalidFileAttributes && !(attributes & platform::kFileAttributeDirectory);
}

bool FileTest(platform::FileSystem& files, const std::string& path, FolderListings* listings) {
  if (TooLong(Units(path))) return false;
  if (listings) return listings->FileTest(files, path);
  platform::FindData found;
  const platform::UniqueFind find(files, files.FindFirst(path, &found));
  if (!find) return false;
  // Whatever its time stamp: a working uninstaller dated 1970 is there all the same.
  return (found.attributes & platform::kFileAttributeDirectory) == 0;
}

bool FolderTest(platform::FileSystem& files, const std::string& path, FolderListings* listings) {
  if (TooLong(Units(path))) return false;
  if (listings) return listings->FolderTest(files, path);
  const std::uint32_t attributes = files.Attributes(path);
  return attributes != platform::kInvalidFileAttributes && (attributes & platform::kFileAttributeDirectory) != 0;
}

bool DirectorySearch(platform::FileSystem& files, const std::string& directory, const std::string& name,
                     FolderListings* listings) {
  // The platform looks for directory + "\" + name (no second separator); the limit applies to that.
  const bool separated = directory.empty() || directory.back() == '\\' || directory.back() == '/';
  if (TooLong(Units(directory) + (separated ? 0 : 1) + Units(name))) return false;
  if (listings) return listings->DirectorySearch(files, directory, name);
  std::string scratch;
  return files.SearchDirectory(directory, name, nullptr, platform::kMaxPath, &scratch) != 0;
}

bool PatternSearch(platform::FileSystem& files, const std::string& pattern, FolderListings* listings) {
  if (TooLong(Units(pattern))) return false;
  if (listings) return listings->PatternSearch(files, pattern);
  platform::FindData found;
  const platform::UniqueFind find(files, files.FindFirst(pattern, &found));
  return static_cast<bool>(find);
}
