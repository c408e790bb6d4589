#pragma once
// What the registry contract tests run against: the in-memory registry natively, Wine's real
// registry (under a scratch key) in the Windows build.
#include <memory>
#include <string>

#include "platform/registry_api.h"

namespace platform {

class RegistryContractEnv {
 public:
  virtual ~RegistryContractEnv() = default;
  virtual RegistryApi& Api() = 0;
  // A handle to an empty scratch key the tests may fill; removed by the destructor.
  virtual Hkey Scratch() = 0;
  // A file path for a hive file that does not exist yet.
  virtual std::string HiveFile(const std::string& name) = 0;
  virtual bool FileExists(const std::string& path) = 0;
  // Switch on the backup and restore rights (hive save, load and unload need them).
  virtual void GrantHiveRights() = 0;
  // Wine overwrites an existing file in RegSaveKeyA and unloads any key; Windows does neither.
  virtual bool IsWine() const = 0;
};

std::unique_ptr<RegistryContractEnv> MakeRegistryContractEnv();

}  // namespace platform
