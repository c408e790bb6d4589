#pragma once
// The backup and restore privileges switched on for as long as a hive is loaded or saved.
#include <initializer_list>
#include <vector>

#include "platform/handles.h"
#include "platform/system.h"

inline constexpr const char* kBackupPrivilege = "SeBackupPrivilege";
inline constexpr const char* kRestorePrivilege = "SeRestorePrivilege";

// Switches privileges of the process's token on for as long as it lives, then gives the token back
// the state it had: only the privileges that this switched change back. On a system outside the
// NT family there is no token and nothing happens.
class EnabledPrivileges {
 public:
  EnabledPrivileges(platform::System& system, std::initializer_list<const char*> names) : system_(system) {
    if (!system.IsNtFamily()) return;
    token_ = platform::UniqueToken(system, system.OpenProcessToken());
    if (!token_) return;
    std::vector<platform::PrivilegeSetting> wanted;
    for (const char* name : names) {
      std::uint64_t luid = 0;
      if (system.LookupPrivilege(name, &luid)) wanted.push_back({luid, platform::kSePrivilegeEnabled});
    }
    // A privilege that the token does not hold stays off; the work goes on and the platform's
    // refusal shows in its result.
    if (!wanted.empty()) system.AdjustPrivileges(token_.get(), wanted, &previous_);
  }
  ~EnabledPrivileges() {
    if (token_ && !previous_.empty()) system_.AdjustPrivileges(token_.get(), previous_, nullptr);
  }
  EnabledPrivileges(const EnabledPrivileges&) = delete;
  EnabledPrivileges& operator=(const EnabledPrivileges&) = delete;

 private:
  platform::System& system_;
  platform::UniqueToken token_;
  std::vector<platform::PrivilegeSetting> previous_;
};

