#pragma once
// The other people's accounts on the machine, each with a list of installed programs of its own in
// its hive: the profile list names them and their folders; the hive of one who is logged on is
// loaded at HKEY_USERS\<SID>, any other one's is loaded by the program under a name of its own for
// as long as it reads or changes it, and unloaded on every path.
#include <functional>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/registry_api.h"
#include "platform/system.h"
#include "registry/registry_place.h"

struct Account {
  std::string sid;
  // Its name as the system knows it by its SID, else its profile folder's name.
  std::string name;
  // Its profile folder, expanded.
  std::string folder;
  // Logged on: the system has its hive loaded at HKEY_USERS\<SID>.
  bool loggedOn = false;

  // Where its hive is below HKEY_USERS while the program has it: its SID, or the program's own name.
  std::string Mount() const;
  // Its hive file, NTUSER.DAT in its folder.
  std::string HiveFile() const { return folder + "\\NTUSER.DAT"; }
  // The text with the variables of a user's own folders (%USERPROFILE%, %APPDATA%, %LOCALAPPDATA%,
  // %TEMP%, %TMP%, in any letter case) as this account's: its entries name its folders, not the
  // folders of whoever runs the program.
  std::string WithOwnFolders(const std::string& text) const;
};

// The system's own accounts (S-1-5-18, -19, -20) and the profile of new accounts (.DEFAULT), whose
// hives hold no one's programs.
bool IsSystemAccount(const std::string& sid);

// The accounts of the profile list but the system's own (S-1-5-18, -19, -20) and `currentSid`, in
// the list's order. Reads only.
std::vector<Account> OtherAccounts(platform::RegistryApi& registry, platform::System& system,
                                   platform::FileSystem& files, const std::string& currentSid);
// The account whose SID it is (in any letter case), from the profile list; false when it has none.
bool AccountOfSid(platform::RegistryApi& registry, platform::System& system, platform::FileSystem& files,
                  const std::string& sid, Account* account);

// An account whose hive could not be had, and why.
struct AccountProblem {
  std::string name;
  std::string why;
};

// The hives of the accounts, each loaded unless the system has it loaded already, with the backup
// and restore privileges on while it loads; unloaded, the ones it loaded only, when it ends.
class AccountHives {
 public:
  AccountHives(platform::RegistryApi& registry, platform::System& system, const std::vector<Account>& accounts);
  ~AccountHives();
  AccountHives(const AccountHives&) = delete;
  AccountHives& operator=(const AccountHives&) = delete;

  // The accounts whose hives are there to read, in the order given.
  const std::vector<Account>& Readable() const { return readable_; }
  // Those that are not, each with why.
  const std::vector<AccountProblem>& Problems() const { return problems_; }
  // Whether a change made in the hives stays in their files: those it loaded are unloaded and
  // loaded again from their files, and `holds` then asked. A system that keeps a loaded hive's
  // changes only in memory (Wine does) loses them at the unload; Windows writes them to the file.
  // The hives that the system had loaded already are the system's to keep: `holds` alone is asked.
  // One that does not load again is taken as kept: its unload is the system's word.
  bool Kept(const std::function<bool()>& holds);

 private:
  struct Loaded {
    std::string mount;
    std::string file;
  };

  platform::RegistryApi& registry_;
  platform::System& system_;
  std::vector<Account> readable_;
  std::vector<Loaded> loaded_;
  std::vector<AccountProblem> problems_;
};
