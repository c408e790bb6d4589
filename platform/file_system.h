#pragma once
// Files, folders, drives and the environment: the kernel32 calls the program makes.
#include <cstdint>
#include <string>

#include "platform/win_codes.h"

namespace platform {

// Paths and names are UTF-8, handed to the wide ("W") calls; lengths, buffer sizes and the counts
// the calls answer are in UTF-16 units, as the wide calls count characters.

// One entry of a directory search (WIN32_FIND_DATAW, the fields the program reads).
struct FindData {
  std::uint32_t attributes = 0;
  std::uint64_t lastWriteTime = 0;  // FILETIME, UTC
  std::string name;
  std::string alternateName;  // the 8.3 name; empty when the file system keeps none
};

using FindId = std::uintptr_t;
inline constexpr FindId kInvalidFind = ~FindId{0};

using FileId = std::uintptr_t;
inline constexpr FileId kInvalidFile = ~FileId{0};

enum class FileOpen {
  kRead,         // existing file, read only
  kAppend,       // existing file, written at its end
  kCreate,       // new or truncated file, written from the start
  kCreateNew,    // a new file only, written from the start; fails with ERROR_FILE_EXISTS when one is there
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // FindFirstFileW / FindNextFileW / FindClose. Wildcards in the pattern are matched as the
  // platform does; kInvalidFind when nothing matches.
  virtual FindId FindFirst(const std::string& pattern, FindData* data) = 0;
  virtual bool FindNext(FindId find, FindData* data) = 0;
  virtual void FindEnd(FindId find) = 0;

  // GetFileAttributesW: kInvalidFileAttributes when the path does not exist.
  virtual std::uint32_t Attributes(const std::string& path) = 0;
  virtual bool SetAttributes(const std::string& path, std::uint32_t attributes) = 0;
  // SearchPathW(directory, file, extension or null, bufferLength, buffer, filePart):
  // the length of the found path, or the size needed when it does not fit, or 0.
  virtual std::uint32_t SearchDirectory(const std::string& directory, const std::string& file,
                                        const char* extension, std::uint32_t bufferLength,
                                        std::string* found) = 0;
  // ExpandEnvironmentStringsW(source, buffer, size): the count of characters stored with the
  // terminating zero, or the size needed when it does not fit (then the buffer is not used), 0 on failure.
  virtual std::uint32_t ExpandEnvironment(const std::string& source, std::uint32_t size,
                                          std::string* expanded) = 0;
  // GetDriveTypeW of a root text such as "C:\".
  virtual std::uint32_t DriveType(const std::string& root) = 0;
  // GetShortPathNameW: the length of the short path, the size needed, or 0.
  virtual std::uint32_t ShortPathName(const std::string& path, std::uint32_t bufferLength,
                                      std::string* shortPath) = 0;

  // Files and folders. Failures answer false or kInvalidFile with the Win32 error in *error.
  virtual bool MakeDirectory(const std::string& path) = 0;
  virtual bool RemoveFile(const std::string& path) = 0;
  virtual bool RenameFile(const std::string& from, const std::string& to, std::uint32_t* error) = 0;
  // MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH): RenameFile that
  // replaces a file of the new name, which must be neither read-only nor open (else
  // ERROR_ACCESS_DENIED), and is on the disk when it answers.
  virtual bool RenameFileReplacing(const std::string& from, const std::string& to, std::uint32_t* error) = 0;
  virtual FileId OpenFile(const std::string& path, FileOpen mode, std::uint32_t* error) = 0;
  virtual bool ReadFile(FileId file, char* buffer, std::uint32_t size, std::uint32_t* read,
                        std::uint32_t* error) = 0;
  virtual bool WriteFile(FileId file, const char* data, std::uint32_t size, std::uint32_t* error) = 0;
  // FlushFileBuffers: the data reaches the disk.
  virtual bool FlushFile(FileId file, std::uint32_t* error) = 0;
  virtual bool CloseFile(FileId file, std::uint32_t* error) = 0;
  // The system's text for an error code (FormatMessageW), without a trailing line break.
  virtual std::string ErrorText(std::uint32_t error) = 0;

  // GetPrivateProfileStringW with a buffer of 2048 characters.
  virtual std::string ReadProfileString(const std::string& section, const std::string& key,
                                        const std::string& fallback, const std::string& file) = 0;
};

}  // namespace platform
