#include "platform/memory/memory_files.h"
#include "platform/memory/memory_registry.h"
#include "platform/registry_contract_env.h"

namespace platform {
namespace {

class MemoryContractEnv : public RegistryContractEnv {
 public:
  MemoryContractEnv() {
    files_.AddDrive('C', kDriveFixed);
    files_.AddFolder("C:\\Hives");
    registry_.CreateKeyEx(kHkeyCurrentUser, "Software\\TidewellContract", 0, kKeyAllAccess, &scratch_);
  }
  ~MemoryContractEnv() override { registry_.CloseKey(scratch_); }
  RegistryApi& Api() override { return registry_; }
  Hkey Scratch() override { return scratch_; }
  std::string HiveFile(const std::string& name) override { return "C:\\Hives\\" + name; }
  bool FileExists(const std::string& path) override { return files_.FileExistsAt(path); }
  void GrantHiveRights() override { registry_.SetBackupRestoreRight(true); }
  bool IsWine() const override { return false; }

 private:
  MemoryFileSystem files_;
  MemoryRegistry registry_{&files_};
  Hkey scratch_ = 0;
};

}  // namespace

std::unique_ptr<RegistryContractEnv> MakeRegistryContractEnv() { return std::make_unique<MemoryContractEnv>(); }

}  // namespace platform
