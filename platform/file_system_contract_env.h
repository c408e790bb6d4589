#pragma once
// What the file-system contract tests run against: the in-memory file system natively, Wine's real
// file system (below a scratch folder on C:) in the Windows build.
#include <memory>
#include <string>

#include "platform/file_system.h"

namespace platform {

class FileSystemContractEnv {
 public:
  virtual ~FileSystemContractEnv() = default;
  virtual FileSystem& Files() = 0;
  // An empty folder on drive C:, given without a trailing backslash; removed by the destructor.
  virtual std::string Base() = 0;
  virtual void MakeFolder(const std::string& path) = 0;
  virtual void MakeFile(const std::string& path, const std::string& content) = 0;
  virtual void SetVariable(const std::string& name, const std::string& value) = 0;
  // The real file system is Wine's, where it answers otherwise than Windows.
  virtual bool IsWine() const = 0;
};

std::unique_ptr<FileSystemContractEnv> MakeFileSystemContractEnv();

}  // namespace platform
