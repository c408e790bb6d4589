#include "platform/file_system_contract_env.h"
#include "platform/memory/memory_files.h"

namespace platform {
namespace {

class MemoryFilesContractEnv : public FileSystemContractEnv {
 public:
  MemoryFilesContractEnv() { files_.AddFolder(Base()); }
  FileSystem& Files() override { return files_; }
  std::string Base() override { return "C:\\TidewellFilesContract"; }
  void MakeFolder(const std::string& path) override { files_.AddFolder(path); }
  void MakeFile(const std::string& path, const std::string& content) override { files_.AddFile(path, content); }
  void SetVariable(const std::string& name, const std::string& value) override { files_.SetEnvironment(name, value); }
  bool IsWine() const override { return false; }

 private:
  MemoryFileSystem files_;
};

}  // namespace

std::unique_ptr<FileSystemContractEnv> MakeFileSystemContractEnv() {
  return std::make_unique<MemoryFilesContractEnv>();
}

}  // namespace platform
