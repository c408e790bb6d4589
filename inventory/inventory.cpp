#include "inventory/inventory.h"

#include "registry/nt_registry.h"

namespace {

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
    } catch (const ERegistryException& error) {
      // A value rewritten between its size query and its read.
      entry.displayName.clear();
      entry.uninstallString.clear();
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

}  // namespace

Inventory ReadInventory(platform::RegistryApi& api, bool wow64) {
  Inventory inventory;
  for (Source source : SourcesOf(wow64)) ReadEntries(api, source, wow64, &inventory.entries);
  ReadProducts(api, false, &inventory.products);
  ReadProducts(api, true, &inventory.products);
  return inventory;
}
