#include "inventory/inventory.h"

#include <algorithm>
#include <set>

#include "inventory/product_code.h"
#include "platform/text_encoding.h"
#include "registry/nt_registry.h"

namespace {

constexpr const char* kUserDataKey = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData";
// The UserData of the machine's own products: the local system account's.
constexpr const char* kMachineSid = "S-1-5-18";

// The text of the last value named exactly `wanted` (letter case counted), when it is a string.
std::string TextOfValue(TNTRegistry& reg, const TStrings& valueNames, const std::string& wanted) {
  std::string text;
  for (const std::string& name : valueNames) {
    if (name != wanted) continue;
    const RegKind kind = reg.ValueKind(name);
    text = (kind == kindString || kind == kindExpandString) ? reg.ReadText(name) : std::string();
  }
  return text;
}

// Whether the value of that name is the DWORD 1.
bool IsDwordOne(TNTRegistry& reg, const TStrings& valueNames, const std::string& wanted) {
  if (std::find(valueNames.begin(), valueNames.end(), wanted) == valueNames.end()) return false;
  std::uint32_t typeCode = 0;
  std::string bytes;
  return reg.FetchWholeValue(wanted, typeCode, bytes) && typeCode == platform::kRegDword &&
         bytes == std::string("\x01\0\0\0", 4);
}

void ReadEntries(platform::RegistryApi& api, Source source, bool wow64, std::vector<Entry>* entries) {
  const RegistryPlace place = PlaceOf(source, wow64);
  TNTRegistry reg(api, place.view);
  reg.SetRoot(place.root);
  if (!reg.OpenPath(kUninstallKey, false)) return;
  TStrings subkeys, valueNames;
  reg.ListSubkeys(subkeys);
  reg.ClosePath();
  for (const std::string& name : subkeys) {
    if (name.empty() || !reg.OpenPath(kUninstallKey + name, false)) continue;
    Entry entry;
    entry.source = source;
    entry.keyName = name;
    reg.ListValueNames(valueNames);
    try {
      entry.displayName = TextOfValue(reg, valueNames, "DisplayName");
      entry.uninstallString = TextOfValue(reg, valueNames, "UninstallString");
      entry.windowsInstaller = IsDwordOne(reg, valueNames, "WindowsInstaller");
    } catch (const ERegistryException& error) {
      // A value rewritten between its size query and its read.
      entry.displayName.clear();
      entry.uninstallString.clear();
      entry.windowsInstaller = false;
      entry.readError = error.what();
    }
    entries->push_back(std::move(entry));
    reg.ClosePath();
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
  TStrings subkeys, valueNames;
  reg.ListSubkeys(subkeys);
  reg.ClosePath();
  for (const std::string& name : subkeys) {
    if (name.empty() || !reg.OpenPath(top + "\\" + name, false)) continue;
    Product product = kind;
    product.keyName = name;
    reg.ListValueNames(valueNames);
    try {
      for (const std::string& value : valueNames) {
        if (value != "ProductName") continue;
        const RegKind type = reg.ValueKind(value);
        if (type == kindString || type == kindExpandString) {
          product.productName = reg.ReadText(value);
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
  if (!reg.OpenPath(kUserDataKey, false)) return;
  TStrings accounts, products;
  reg.ListSubkeys(accounts);
  reg.ClosePath();
  for (const std::string& account : accounts) {
    const std::string productsKey = std::string(kUserDataKey) + "\\" + account + "\\Products";
    if (account.empty() || !reg.OpenPath(productsKey, false)) continue;
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

Inventory ReadInventory(platform::RegistryApi& api, bool wow64) {
  Inventory inventory;
  for (Source source : SourcesOf(wow64)) ReadEntries(api, source, wow64, &inventory.entries);
  ReadProducts(api, false, &inventory.products);
  ReadProducts(api, true, &inventory.products);
  MarkProducts(api, wow64, &inventory);
  return inventory;
}
