#include "inventory/inventory.h"

#include "registry/nt_registry.h"

namespace {

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

void ReadEntries(platform::RegistryApi& api, Source source, bool wow64, std::vector<Entry>* entries) {
  const RegistryPlace place = PlaceOf(source, wow64);
  TNTRegistry reg(api, place.view);
  reg.SetRoot(place.root);
  if (!reg.OpenPath(kUninstallKey, false)) return;
  TStrings subkeys;
  std::vector<NamedValue> values;
  reg.ListSubkeys(subkeys);
  reg.ClosePath();
  for (const std::string& name : subkeys) {
    if (name.empty() || !reg.OpenPathToRead(kUninstallKey + name)) continue;
    Entry entry;
    entry.source = source;
    entry.keyName = name;
    try {
      reg.ListValues(values);
      entry.displayName = TextOfValue(values, "DisplayName");
      entry.uninstallString = TextOfValue(values, "UninstallString");
      entry.publisher = TextOfValue(values, "Publisher");
    } catch (const ERegistryException& error) {
      // A value rewritten while it was read.
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

}  // namespace

Inventory ReadInventory(platform::RegistryApi& api, bool wow64) {
  Inventory inventory;
  for (Source source : SourcesOf(wow64)) ReadEntries(api, source, wow64, &inventory.entries);
  ReadProducts(api, false, &inventory.products);
  ReadProducts(api, true, &inventory.products);
  return inventory;
}
