#include "inventory/inventory.h"

#include <algorithm>
#include <future>
#include <iterator>
#include <set>
#include <system_error>

#include "inventory/product_code.h"
#include "platform/text_encoding.h"
#include "registry/nt_registry.h"

namespace {

constexpr const char* kUserDataKey = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData";
// The UserData of the machine's own products: the local system account's.
constexpr const char* kMachineSid = "S-1-5-18";

// The text of the last value named exactly `wanted` (letter case counted), when it is a string.
// Each entry's values are read in one pass, a call per value: a scan reads thousands of them.
std::string TextOfValue(const std::vector<NamedValue>& values, const std::string& wanted) {
  std::string text;
  for (const NamedValue& value : values) {
    if (value.name != wanted) continue;
    const RegKind kind = KindOfType(value.typeCode);
    text = (kind == kindString || kind == kindExpandString) ? TextOfStringData(value.data) : std::string();
  }
  return text;
}

// Whether the last value named exactly `wanted` is the DWORD 1.
bool IsDwordOne(const std::vector<NamedValue>& values, const std::string& wanted) {
  bool one = false;
  for (const NamedValue& value : values)
    if (value.name == wanted) one = value.typeCode == platform::kRegDword && value.data == std::string("\x01\0\0\0", 4);
  return one;
}

// The entries of a part of a list, and the keys of it that did not open.
struct ReadPart {
  std::vector<Entry> entries;
  std::vector<UnopenedKey> unopened;
};

// Reads the entries whose key names are subkeys[from, to) below the list's open key `list`.
// Each entry's key is opened below the list's open key: the registry then finds it by its own
// name, not by the whole path from the root, thousands of times.
ReadPart ReadEntryKeys(platform::RegistryApi& api, const RegistryPlace& place, platform::Hkey list, Source source,
                       const std::shared_ptr<const Account>& account, const TStrings& subkeys, size_t from, size_t to) {
  ReadPart part;
  std::vector<Entry>& entries = part.entries;
  entries.reserve(to - from);
  std::vector<NamedValue> values;
  TNTRegistry entryKey(api, place.view);
  entryKey.SetRoot(list);
  for (size_t i = from; i < to; ++i) {
    const std::string& name = subkeys[i];
    if (name.empty()) continue;
    if (!entryKey.OpenPathToRead(name)) {
      // A key deleted since the list was read is no entry; one that is there is unread.
      if (entryKey.LastError != platform::kErrorFileNotFound)
        part.unopened.push_back({source, name, entryKey.LastError, account});
      continue;
    }
    Entry entry;
    entry.source = source;
    entry.account = account;
    entry.keyName = name;
    try {
      entryKey.ListValues(values);
      entry.displayName = TextOfValue(values, "DisplayName");
      entry.uninstallString = TextOfValue(values, "UninstallString");
      entry.publisher = TextOfValue(values, "Publisher");
      entry.windowsInstaller = IsDwordOne(values, "WindowsInstaller");
    } catch (const ERegistryException& error) {
      // A value rewritten while it was read.
      entry.readError = error.what();
    }
    entries.push_back(std::move(entry));
    entryKey.ClosePath();
  }
  return part;
}

// A long list is read in parts of at least this many entries, each by a thread of its own (under
// Wine, 5,000 entries listed in 0.45 of the time with four readers; six or eight did no better).
constexpr size_t kEntriesPerReader = 128;
constexpr size_t kMostReaders = 4;

void ReadEntries(platform::RegistryApi& api, Source source, bool wow64, const std::shared_ptr<const Account>& account,
                 Inventory* inventory) {
  const RegistryPlace place = PlaceOf(source, wow64);
  TNTRegistry reg(api, place.view);
  reg.SetRoot(place.root);
  if (!reg.OpenPath((account ? "\\" + account->Mount() : std::string()) + kUninstallKey, false)) {
    if (reg.LastError != platform::kErrorFileNotFound)
      inventory->unopened.push_back({source, "", reg.LastError, account});
    return;
  }
  TStrings subkeys;
  reg.ListSubkeys(subkeys);
  const platform::Hkey list = reg.ActiveKey;
  // Each value is a round trip to the registry, which waits for the caller between them: other
  // readers take the later parts of a long list meanwhile, and the parts are joined in the
  // registry's order. This thread reads the first part, and any part no thread was had for.
  const size_t readers = std::clamp<size_t>(subkeys.size() / kEntriesPerReader, 1, kMostReaders);
  const auto bound = [&](size_t part) { return subkeys.size() * part / readers; };
  std::vector<std::future<ReadPart>> parts(readers);
  for (size_t part = 1; part < readers; ++part) {
    try {
      parts[part] = std::async(std::launch::async, ReadEntryKeys, std::ref(api), std::cref(place), list, source,
                               std::cref(account), std::cref(subkeys), bound(part), bound(part + 1));
    } catch (const std::system_error&) {
    }
  }
  for (size_t part = 0; part < readers; ++part) {
    ReadPart read = parts[part].valid()
                        ? parts[part].get()
                        : ReadEntryKeys(api, place, list, source, account, subkeys, bound(part), bound(part + 1));
    std::move(read.entries.begin(), read.entries.end(), std::back_inserter(inventory->entries));
    std::move(read.unopened.begin(), read.unopened.end(), std::back_inserter(inventory->unopened));
  }
}

void ReadProducts(platform::RegistryApi& api, bool perUser, std::vector<Product>* products) {
  Product kind;
  kind.perUser = perUser;
  const RegistryPlace place = kind.Place();
  const std::string top = perUser ? kUserProductsKey : kProductsKey;
  TNTRegistry reg(api, place.view);
  reg.SetRoot(place.root);
  if (!reg.OpenPath(top, false)) return;
  TStrings subkeys;
  std::vector<NamedValue> values;
  reg.ListSubkeys(subkeys);
  reg.ClosePath();
  for (const std::string& name : subkeys) {
    if (name.empty() || !reg.OpenPathToRead(top + "\\" + name)) continue;
    Product product = kind;
    product.keyName = name;
    try {
      reg.ListValues(values);
      for (const NamedValue& value : values) {
        if (value.name != "ProductName") continue;
        const RegKind type = KindOfType(value.typeCode);
        if (type == kindString || type == kindExpandString) {
          product.productName = TextOfStringData(value.data);
          product.named = true;
        }
      }
    } catch (const ERegistryException& error) {
      product.productName.clear();
      product.named = false;
      product.readError = error.what();
    }
    products->push_back(std::move(product));
    reg.ClosePath();
  }
}

// The packed codes (upper case) of the products whose installed state the installer keeps: the
// machine's under its own account's UserData, the users' under their accounts'. The installer
// keeps UserData in the registry's 64-bit view.
void ReadInstalledProducts(platform::RegistryApi& api, bool wow64, std::set<std::string>* machine,
                           std::set<std::string>* users) {
  TNTRegistry reg(api, wow64 ? platform::kKeyWow6464Key : 0u);
  reg.SetRoot(platform::kHkeyLocalMachine);
  if (!reg.OpenPathToRead(kUserDataKey)) return;
  TStrings accounts, products;
  reg.ListSubkeys(accounts);
  reg.ClosePath();
  for (const std::string& account : accounts) {
    const std::string productsKey = std::string(kUserDataKey) + "\\" + account + "\\Products";
    if (account.empty() || !reg.OpenPathToRead(productsKey)) continue;
    reg.ListSubkeys(products);
    reg.ClosePath();
    std::set<std::string>* installed = platform::UpperCaseText(account) == kMachineSid ? machine : users;
    for (const std::string& product : products)
      if (!product.empty() && reg.PathExists(productsKey + "\\" + product + "\\InstallProperties"))
        installed->insert(platform::UpperCaseText(product));
  }
}

void MarkProducts(platform::RegistryApi& api, bool wow64, Inventory* inventory) {
  std::set<std::string> machine, users, referenced;
  ReadInstalledProducts(api, wow64, &machine, &users);
  for (const Entry& entry : inventory->entries) {
    const ProductReference product = ProductOfEntry(entry);
    if (product.kind == ProductReference::Kind::kProduct) referenced.insert(PackedProductCode(product.code));
  }
  for (Product& product : inventory->products) {
    const std::string key = platform::UpperCaseText(product.keyName);
    product.hasEntry = referenced.count(key) > 0;
    product.installProperties = (product.perUser ? users : machine).count(key) > 0;
  }
}

}  // namespace

Inventory ReadInventory(platform::RegistryApi& api, bool wow64, const std::vector<Account>& accounts) {
  Inventory inventory;
  for (Source source : SourcesOf(wow64)) ReadEntries(api, source, wow64, nullptr, &inventory);
  for (const Account& account : accounts)
    ReadEntries(api, Source::kOtherUser, wow64, std::make_shared<const Account>(account), &inventory);
  ReadProducts(api, false, &inventory.products);
  ReadProducts(api, true, &inventory.products);
  MarkProducts(api, wow64, &inventory);
  return inventory;
}

Inventory ReadEveryList(platform::RegistryApi& api, platform::System& system, platform::FileSystem& files, bool wow64,
                        bool otherAccounts) {
  std::vector<Account> accounts;
  const std::string self = system.CurrentUserSid();
  if (otherAccounts && !self.empty()) accounts = OtherAccounts(api, system, files, self);
  const AccountHives hives(api, system, accounts);
  Inventory inventory = ReadInventory(api, wow64, hives.Readable());
  inventory.accountsNotRead = hives.Problems();
  return inventory;
}
