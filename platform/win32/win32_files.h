#pragma once
// The file-system boundary forwarded to kernel32 unchanged.
#include "platform/file_system.h"

namespace platform {

class Win32FileSystem : public FileSystem {
 public:
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
};

}  // namespace platform
