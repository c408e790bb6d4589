#include <windows.h>

#include <string>

#include "platform/file_system_contract_env.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_files.h"
#include "tests/wine/wine_test_support.h"

namespace platform {
namespace {

class Win32FilesContractEnv : public FileSystemContractEnv {
 public:
  Win32FilesContractEnv() {
    ::RemoveTree(Base());
    CreateDirectoryA(Base().c_str(), nullptr);
  }
  ~Win32FilesContractEnv() override { ::RemoveTree(Base()); }
  FileSystem& Files() override { return files_; }
  std::string Base() override { return "C:\\TidewellFilesContract"; }
  void MakeFolder(const std::string& path) override { CreateDirectoryW(Widen(path).c_str(), nullptr); }
  void MakeFile(const std::string& path, const std::string& content) override {
    const HANDLE file =
        CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
  }
  void SetVariable(const std::string& name, const std::string& value) override {
    SetEnvironmentVariableW(Widen(name).c_str(), Widen(value).c_str());
  }
  bool IsWine() const override { return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version"); }

 private:
  Win32FileSystem files_;
};

}  // namespace

std::unique_ptr<FileSystemContractEnv> MakeFileSystemContractEnv() {
  return std::make_unique<Win32FilesContractEnv>();
}

}  // namespace platform
