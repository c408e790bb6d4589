#include "registry/accounts.h"

#include <utility>

#include "platform/text_encoding.h"
#include "platform/win_codes.h"
#include "registry/enabled_privileges.h"
#include "registry/nt_registry.h"

namespace {

constexpr const char* kProfileList = "\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
// The profile list is one for both views; asked in the 64-bit one, it is found even where the
// 32-bit view does not share it (32-bit Windows takes no view).
constexpr std::uint32_t kProfileView = platform::kKeyWow6464Key;

// The account's folder and name from its key of the profile list; false when it names no folder.
bool ReadAccount(platform::RegistryApi& registry, platform::System& system, platform::FileSystem& files,
                 const std::string& sid, Account* account) {
  TNTRegistry reg(registry, kProfileView);
  reg.SetRoot(platform::kHkeyLocalMachine);
  if (!reg.OpenPathToRead(std::string(kProfileList) + "\\" + sid)) return false;
  std::string folder;
  try {
    folder = reg.ReadText("ProfileImagePath");
  } catch (const ERegistryException&) {
    return false;
  }
  if (folder.empty()) return false;
  std::string expanded;
  if (files.ExpandEnvironment(folder, platform::kMaxPath, &expanded) > 0 && !expanded.empty()) folder = expanded;
  while (!folder.empty() && folder.back() == '\\') folder.pop_back();
  account->sid = sid;
  account->folder = folder;
  account->name = system.AccountNameOfSid(sid);
  if (account->name.empty()) account->name = folder.substr(folder.find_last_of('\\') + 1);
  TNTRegistry users(registry, 0);
  users.SetRoot(platform::kHkeyUsers);
  account->loggedOn = users.PathExists("\\" + sid);
  return true;
}

// Why an account's hive did not load, in words.
std::string WhyNotLoaded(long error) {
  switch (error) {
    case platform::kErrorPrivilegeNotHeld:
    case platform::kErrorAccessDenied: return "reading another account's list takes an administrator's rights";
    case platform::kErrorSharingViolation: return "its hive file is in use by another program";
    case platform::kErrorFileNotFound:
    case platform::kErrorPathNotFound: return "its hive file is not there";
    case platform::kErrorBadFileFormat: return "its hive file is damaged";
    default: return "the registry answered " + std::to_string(error);
  }
}

}  // namespace

bool IsSystemAccount(const std::string& sid) {
  const std::string upper = platform::UpperCaseText(sid);
  return upper == "S-1-5-18" || upper == "S-1-5-19" || upper == "S-1-5-20" || upper == ".DEFAULT";
}

std::string Account::WithOwnFolders(const std::string& text) const {
  const std::pair<const char*, std::string> folders[] = {
      {"%USERPROFILE%", folder},
      {"%APPDATA%", folder + "\\AppData\\Roaming"},
      {"%LOCALAPPDATA%", folder + "\\AppData\\Local"},
      {"%TEMP%", folder + "\\AppData\\Local\\Temp"},
      {"%TMP%", folder + "\\AppData\\Local\\Temp"},
  };
  std::string result;
  for (size_t at = 0; at < text.size();) {
    bool replaced = false;
    for (const auto& [variable, value] : folders) {
      const std::string name = variable;
      if (platform::UpperCaseText(text.substr(at, name.size())) != name) continue;
      result += value;
      at += name.size();
      replaced = true;
      break;
    }
    if (!replaced) result += text[at++];
  }
  return result;
}

std::string Account::Mount() const { return loggedOn ? sid : kOwnMountPrefix + sid; }

std::vector<Account> OtherAccounts(platform::RegistryApi& registry, platform::System& system,
                                   platform::FileSystem& files, const std::string& currentSid) {
  std::vector<Account> accounts;
  TNTRegistry reg(registry, kProfileView);
  reg.SetRoot(platform::kHkeyLocalMachine);
  if (!reg.OpenPathToRead(kProfileList)) return accounts;
  TStrings sids;
  reg.ListSubkeys(sids);
  for (const std::string& sid : sids) {
    if (IsSystemAccount(sid) || platform::UpperCaseText(sid) == platform::UpperCaseText(currentSid)) continue;
    Account account;
    if (ReadAccount(registry, system, files, sid, &account)) accounts.push_back(std::move(account));
  }
  return accounts;
}

bool AccountOfSid(platform::RegistryApi& registry, platform::System& system, platform::FileSystem& files,
                  const std::string& sid, Account* account) {
  return ReadAccount(registry, system, files, sid, account);
}

AccountHives::AccountHives(platform::RegistryApi& registry, platform::System& system,
                           const std::vector<Account>& accounts)
    : registry_(registry), system_(system) {
  TNTRegistry users(registry, 0);
  users.SetRoot(platform::kHkeyUsers);
  for (const Account& account : accounts) {
    // One the system has, or that another run of the program has loaded meanwhile, is read where
    // it is and left there.
    if (account.loggedOn || users.PathExists("\\" + account.Mount())) {
      readable_.push_back(account);
      continue;
    }
    long error = platform::kErrorSuccess;
    {
      EnabledPrivileges rights(system, {kBackupPrivilege, kRestorePrivilege});
      error = registry.LoadKey(platform::kHkeyUsers, account.Mount().c_str(), account.HiveFile().c_str());
    }
    if (error != platform::kErrorSuccess) {
      problems_.push_back({account.name, WhyNotLoaded(error)});
      continue;
    }
    loaded_.push_back({account.Mount(), account.HiveFile()});
    readable_.push_back(account);
  }
}

AccountHives::~AccountHives() {
  if (loaded_.empty()) return;
  EnabledPrivileges rights(system_, {kBackupPrivilege, kRestorePrivilege});
  for (const Loaded& hive : loaded_) registry_.UnLoadKey(platform::kHkeyUsers, hive.mount.c_str());
}

bool AccountHives::Kept(const std::function<bool()>& holds) {
  bool reloaded = true;
  {
    EnabledPrivileges rights(system_, {kBackupPrivilege, kRestorePrivilege});
    for (auto hive = loaded_.begin(); hive != loaded_.end();) {
      // One that does not unload (a key of it still open) is still there as changed: it is asked
      // as it is, and unloaded at the end.
      if (registry_.UnLoadKey(platform::kHkeyUsers, hive->mount.c_str()) != platform::kErrorSuccess) {
        ++hive;
        continue;
      }
      if (registry_.LoadKey(platform::kHkeyUsers, hive->mount.c_str(), hive->file.c_str()) != platform::kErrorSuccess) {
        hive = loaded_.erase(hive);
        reloaded = false;
        continue;
      }
      ++hive;
    }
  }
  // Not loaded again (its file taken by another program meanwhile, say): the unload is the
  // system's word that the file holds the change.
  return !reloaded || holds();
}
