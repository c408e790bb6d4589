#pragma once
// Reading the uninstall entries and installer products of every source.
#include <memory>
#include <string>
#include <vector>

#include "inventory/entry.h"
#include "platform/registry_api.h"
#include "registry/accounts.h"

// An entry's key, or a source's whole list, that is there but did not open: what it holds is not
// among the entries.
struct UnopenedKey {
  Source source = Source::kMachine32;
  // Empty for the whole list.
  std::string keyName;
  // The registry's answer.
  long error = 0;
  // Another account's list: that account.
  std::shared_ptr<const Account> account;
};

struct Inventory {
  // Every entry key that opens, source by source in SourcesOf order, each source's in the
  // registry's enumeration order.
  std::vector<Entry> entries;
  // The machine's installer products, then the user's, each marked with whether an entry belongs
  // to it and whether the installer keeps its installed state.
  std::vector<Product> products;
  // The keys that are there but did not open, in the order of `entries`.
  std::vector<UnopenedKey> unopened;
  // The other accounts whose lists could not be read (ReadEveryList), each with why.
  std::vector<AccountProblem> accountsNotRead;
};

// Reads the registry without looking at any file: entries keep kStatusUnknown. A value that cannot
// be read leaves its entry or product with a readError; the reading goes on. The lists of the
// accounts given follow the program's own sources; their hives must be there (AccountHives).
Inventory ReadInventory(platform::RegistryApi& api, bool wow64, const std::vector<Account>& accounts = {});
// ReadInventory of the program's own sources and, with `otherAccounts`, of every other account's
// list that can be read, each hive loaded for the reading alone when no one has it loaded. The
// current user's SID tells which account is the user's own: without it, no other account is read.
Inventory ReadEveryList(platform::RegistryApi& api, platform::System& system, platform::FileSystem& files, bool wow64,
                        bool otherAccounts);
