#pragma once
// An in-memory Windows file system: drive letters with drive types, folders and files with
// attributes and last-write times, names compared without letter case, wildcard matching,
// environment variables, and failures that tests can inject.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace platform {

class MemoryFileSystem : public FileSystem {
 public:
  MemoryFileSystem();
  ~MemoryFileSystem() override;

  // Set-up for tests. Paths are absolute ("C:\App\x.exe"); missing parent folders are made.
  void AddDrive(char letter, std::uint32_t driveType);
  // 64-bit Windows: calls that name the System folder reach the 32-bit one while redirection is on
  // (it is, from now); the test helpers' paths stay literal.
  void SetWow64Folders(const std::string& system32, const std::string& sysWow64);
  void SetRedirection(bool on);
  void AddFolder(const std::string& path, std::uint32_t attributes = kFileAttributeDirectory);
  void AddFile(const std::string& path, const std::string& content = "",
               std::uint32_t attributes = kFileAttributeArchive);
  void SetLastWriteTime(const std::string& path, std::uint64_t fileTime);
  void SetEnvironment(const std::string& name, const std::string& value);
  void SetCurrentDirectory(const std::string& path);
  void SetShortName(const std::string& path, const std::string& shortName);
  // Answers of GetShortPathNameA: by default the built-in rule (alternate names of each part).
  void SetShortPathFails(bool fails) { shortPathFails_ = fails; }
  void SetProfile(const std::string& file, const std::string& section, const std::string& key,
                  const std::string& value);

  bool FileExistsAt(const std::string& path) const;
  bool FolderExistsAt(const std::string& path) const;
  std::string Content(const std::string& path) const;
  std::vector<std::string> List(const std::string& folder) const;

  // Failure injection. Writes fail once the file system holds this many bytes in all files
  // (ERROR_DISK_FULL); -1 for no limit.
  void SetDiskCapacity(std::int64_t bytes) { capacity_ = bytes; }
  // The folder refuses new files and changes to its files (ERROR_ACCESS_DENIED).
  void SetFolderReadOnly(const std::string& folder, bool readOnly);
  // The n-th write from now fails after writing half its bytes; -1 for never.
  void FailWriteAfter(int writes) { failWriteCountdown_ = writes; }
  void FailFlushes(bool fail) { failFlushes_ = fail; }
  // Asked before the calls that make, change or remove files: "open" (with the mode: "open read",
  // "open append", "open create"), "write", "flush", "close", "rename", "delete" and "mkdir", with the
  // file's full path (a rename's source). A result other than 0 fails the call with that error: a
  // write puts half its bytes in the file first, as a disk that fills up mid-write may; a close still
  // closes the handle. The hook may change the file system first; its own calls are not asked.
  std::function<std::uint32_t(const std::string& call, const std::string& path)> interfere;

  // What the callers asked, for tests that count queries.
  struct Counts {
    int findFirst = 0, attributes = 0, searchDirectory = 0, expand = 0, driveType = 0;
    int writes = 0, flushes = 0;
    std::int64_t bytesRead = 0;
    int Queries() const { return findFirst + attributes + searchDirectory; }
  };
  const Counts& Calls() const { return counts_; }
  void ResetCalls() { counts_ = {}; }
  int OpenFinds() const;
  int OpenFiles() const;

  // FileSystem.
  FindId FindFirst(const std::string& pattern, FindData* data) override;
  bool FindNext(FindId find, FindData* data) override;
  void FindEnd(FindId find) override;
  std::uint32_t Attributes(const std::string& path) override;
  bool SetAttributes(const std::string& path, std::uint32_t attributes) override;
  std::uint32_t SearchDirectory(const std::string& directory, const std::string& file,
                                const char* extension, std::uint32_t bufferLength,
                                std::string* found) override;
  std::uint32_t ExpandEnvironment(const std::string& source, std::uint32_t size,
                                  std::string* expanded) override;
  std::uint32_t DriveType(const std::string& root) override;
  std::uint32_t ShortPathName(const std::string& path, std::uint32_t bufferLength,
                              std::string* shortPath) override;
  bool MakeDirectory(const std::string& path) override;
  bool RemoveFile(const std::string& path) override;
  bool RenameFile(const std::string& from, const std::string& to, std::uint32_t* error) override;
  bool RenameFileReplacing(const std::string& from, const std::string& to, std::uint32_t* error) override;
  FileId OpenFile(const std::string& path, FileOpen mode, std::uint32_t* error) override;
  bool ReadFile(FileId file, char* buffer, std::uint32_t size, std::uint32_t* read,
                std::uint32_t* error) override;
  bool WriteFile(FileId file, const char* data, std::uint32_t size, std::uint32_t* error) override;
  bool FlushFile(FileId file, std::uint32_t* error) override;
  bool CloseFile(FileId file, std::uint32_t* error) override;
  std::string ErrorText(std::uint32_t error) override;
  std::string ReadProfileString(const std::string& section, const std::string& key,
                                const std::string& fallback, const std::string& file) override;

  // Whole-file access for the in-memory registry's hive files.
  bool ReadWholeFile(const std::string& path, std::string* content) const;
  bool WriteWholeFile(const std::string& path, const std::string& content);

  struct Node;
  struct Impl;

 private:
  // The hook's answer for a call (0 to go on), not asked again while it runs.
  std::uint32_t Interfere(const char* call, const std::string& path);
  std::uint32_t InterfereWithFile(const char* call, FileId file);

  std::unique_ptr<Impl> impl_;
  Counts counts_;
  bool interfering_ = false;
  std::int64_t capacity_ = -1;
  int failWriteCountdown_ = -1;
  bool failFlushes_ = false;
  bool shortPathFails_ = false;
};

}  // namespace platform
