#pragma once
// The file-system questions of the finder and the Finder page. A text longer than the platform's
// path limit (MAX_PATH, in UTF-16 units) is answered "not found" without asking, as the platform
// would answer.
#include <string>

#include "platform/file_system.h"

class FolderListings;

// Whether the path names an entry that is there and is not a folder: GetFileAttributesW, so that a
// wildcard in the path matches nothing.
bool IsFile(platform::FileSystem& files, const std::string& path);

// With `listings`, each is answered from the scan's listings of the folders where they tell
// (finder_listings.h), and asked otherwise.
// The file test: FindFirstFileA finds an entry that is no folder.
bool FileTest(platform::FileSystem& files, const std::string& path, FolderListings* listings = nullptr);
// The folder test: GetFileAttributesA answers attributes with the folder bit set.
bool FolderTest(platform::FileSystem& files, const std::string& path, FolderListings* listings = nullptr);
// SearchPathA in the one directory, no extension, into the 260-character scratch buffer: found.
bool DirectorySearch(platform::FileSystem& files, const std::string& directory, const std::string& name,
                     FolderListings* listings = nullptr);
// FindFirstFileA on the pattern succeeds, whatever kind of entry it finds.
bool PatternSearch(platform::FileSystem& files, const std::string& pattern, FolderListings* listings = nullptr);
