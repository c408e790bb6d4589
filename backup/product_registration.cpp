#include "backup/product_registration.h"

#include <algorithm>
#include <memory>
#include <set>
#include <utility>

#include "backup/entry_commands.h"
#include "backup/key_export.h"
#include "backup/undo_comment.h"
#include "backup/undo_lock.h"
#include "inventory/entry.h"
#include "inventory/product_code.h"
#include "platform/handles.h"
#include "platform/text_encoding.h"
#include "platform/win_codes.h"
#include "registry/key_walk.h"
#include "registry/nt_registry.h"
#include "registry/registry_place.h"

namespace {

// The machine's products as the installer publishes them, and the user's own.
constexpr const char* kMachineInstaller = "\\SOFTWARE\\Classes\\Installer";
constexpr const char* kUserInstaller = "\\Software\\Microsoft\\Installer";
// The installer's own keys: installed states, components, upgrade codes, policies.
constexpr const char* kInstallerData = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer";
// The local system account, under whose UserData the machine's products are kept.
constexpr const char* kMachineSid = "S-1-5-18";

constexpr struct {
  RegistrationPartKind kind;
  const char* name;
} kPartNames[] = {
    {RegistrationPartKind::kProduct, "installer product"},  {RegistrationPartKind::kFeatures, "features"},
    {RegistrationPartKind::kUpgradeCode, "upgrade code"},    {RegistrationPartKind::kInstalledState, "installed state"},
    {RegistrationPartKind::kComponent, "components"},        {RegistrationPartKind::kUninstallEntry, "uninstall entry"},
    {RegistrationPartKind::kPatch, "patches"},               {RegistrationPartKind::kManaged, "policy registration"},
};

std::string Upper(const std::string& text) { return platform::UpperCaseText(text); }

// The registry's answer as a reason.
std::string Answer(long error) {
  return error == platform::kErrorAccessDenied ? "access denied" : "the registry answered " + std::to_string(error);
}

// The finder's reads, in the views that reach the installer's keys from this program: HKLM's keys in
// the 64-bit view on 64-bit Windows, where the installer keeps them. A key that is not there is not
// part of the registration; one that is there and cannot be read, listed or asked raises, so that no
// part of it is ever taken for absent and left behind by a removal that says it removed everything.
class Finder {
 public:
  Finder(platform::RegistryApi& api, const InstallerPlaces& places, ProductRegistration& found)
      : api_(api), places_(places), found_(found) {}

  void Find();

 private:
  RegistryPlace Machine() const { return {platform::kHkeyLocalMachine, places_.wow64 ? platform::kKeyWow6464Key : 0u}; }
  RegistryPlace User() const { return {platform::kHkeyCurrentUser, 0}; }
  // The key open for reading; empty when it is not there.
  platform::UniqueHkey Open(const RegistryPlace& place, const std::string& path) const {
    platform::Hkey key = 0;
    const long result = api_.OpenKeyEx(place.root, path.substr(1).c_str(), platform::kKeyRead | place.view, &key);
    if (result == platform::kErrorFileNotFound || result == platform::kErrorPathNotFound) return {};
    if (result != platform::kErrorSuccess) Fail(place, path, result);
    return platform::UniqueHkey(api_, key);
  }
  std::vector<std::string> Subkeys(const RegistryPlace& place, const std::string& path) const;
  bool HoldsValue(const RegistryPlace& place, const std::string& path, platform::Hkey key, const std::string& name) const;
  [[noreturn]] static void Fail(const RegistryPlace& place, const std::string& path, long error) {
    throw ERegistryException("Cannot read the installer's key " + KeyPlace{place, path}.Name() + ": " + Answer(error));
  }
  // The key tree at the path, counted, when it is there.
  bool AddTree(RegistrationPartKind kind, const RegistryPlace& place, const std::string& path);
  // The value named by the packed code in each subkey of the key at the path that holds one.
  void AddValueInSubkeys(RegistrationPartKind kind, const RegistryPlace& place, const std::string& path);
  void AddUserData(const std::string& sid);
  void AddPatches(const RegistryPlace& published, const std::string& sid);
  // Whether another product than this one, of any account, lists the patch.
  bool PatchSharedWithOthers(const std::string& patch);
  std::string TextOf(const RegistryPlace& place, const std::string& path, const char* name) const {
    return NameForComment(api_, KeyPlace{place, path}, name, "");
  }

  platform::RegistryApi& api_;
  const InstallerPlaces& places_;
  ProductRegistration& found_;
};

std::vector<std::string> Finder::Subkeys(const RegistryPlace& place, const std::string& path) const {
  std::vector<std::string> names;
  const platform::UniqueHkey key = Open(place, path);
  if (!key) return names;
  platform::RawKeyInfo info;
  long result = api_.QueryInfoKey(key.get(), &info);
  if (result != platform::kErrorSuccess) Fail(place, path, result);
  for (std::uint32_t i = 0;; ++i) {
    std::string name;
    result = api_.EnumKeyEx(key.get(), i, info.maxSubkeyNameLength + 1, &name);
    if (result == platform::kErrorNoMoreItems) break;
    if (result != platform::kErrorSuccess) Fail(place, path, result);
    names.push_back(name);
  }
  return names;
}

bool Finder::HoldsValue(const RegistryPlace& place, const std::string& path, platform::Hkey key,
                        const std::string& name) const {
  std::uint32_t type = 0, size = 0;
  const long result = api_.QueryValueEx(key, name.c_str(), &type, nullptr, &size);
  if (result == platform::kErrorFileNotFound) return false;
  if (result != platform::kErrorSuccess && result != platform::kErrorMoreData) Fail(place, path, result);
  return true;
}

bool Finder::AddTree(RegistrationPartKind kind, const RegistryPlace& place, const std::string& path) {
  if (!Open(place, path)) return false;
  TNTRegistry reg(api_, place);
  if (!reg.OpenPathToRead(path)) Fail(place, path, reg.LastError);
  const TreeCount count = CountKeyTree(api_, reg);
  found_.parts.push_back({kind, place, path, {}, count.keys, count.values});
  return true;
}

void Finder::AddValueInSubkeys(RegistrationPartKind kind, const RegistryPlace& place, const std::string& path) {
  for (const std::string& name : Subkeys(place, path)) {
    const std::string keyPath = path + "\\" + name;
    const platform::UniqueHkey key = Open(place, keyPath);
    if (key && HoldsValue(place, keyPath, key.get(), found_.packed))
      found_.parts.push_back({kind, place, keyPath, found_.packed, 0, 1});
  }
}

void Finder::AddUserData(const std::string& sid) {
  const std::string userData = std::string(kInstallerData) + "\\UserData\\" + sid;
  AddTree(RegistrationPartKind::kInstalledState, Machine(), userData + "\\Products\\" + found_.packed);
  AddValueInSubkeys(RegistrationPartKind::kComponent, Machine(), userData + "\\Components");
}

bool Finder::PatchSharedWithOthers(const std::string& patch) {
  const std::string userData = std::string(kInstallerData) + "\\UserData";
  for (const std::string& account : Subkeys(Machine(), userData)) {
    const std::string products = userData + "\\" + account + "\\Products";
    for (const std::string& code : Subkeys(Machine(), products))
      if (Upper(code) != found_.packed && Open(Machine(), products + "\\" + code + "\\Patches\\" + patch)) return true;
  }
  return false;
}

void Finder::AddPatches(const RegistryPlace& published, const std::string& sid) {
  const std::string userData = std::string(kInstallerData) + "\\UserData\\" + sid;
  const std::string publishedPatches =
      std::string(published.root == platform::kHkeyCurrentUser ? kUserInstaller : kMachineInstaller) + "\\Patches\\";
  for (const std::string& code : Subkeys(Machine(), userData + "\\Products\\" + found_.packed + "\\Patches")) {
    if (PatchSharedWithOthers(code)) continue;
    AddTree(RegistrationPartKind::kPatch, published, publishedPatches + code);
    AddTree(RegistrationPartKind::kPatch, Machine(), userData + "\\Patches\\" + code);
  }
}

void Finder::Find() {
  const std::string& p = found_.packed;
  // The machine's registration.
  AddTree(RegistrationPartKind::kProduct, Machine(), std::string(kMachineInstaller) + "\\Products\\" + p);
  AddTree(RegistrationPartKind::kFeatures, Machine(), std::string(kMachineInstaller) + "\\Features\\" + p);
  AddValueInSubkeys(RegistrationPartKind::kUpgradeCode, Machine(), std::string(kMachineInstaller) + "\\UpgradeCodes");
  AddValueInSubkeys(RegistrationPartKind::kUpgradeCode, Machine(), std::string(kInstallerData) + "\\UpgradeCodes");
  AddUserData(kMachineSid);
  AddPatches(Machine(), kMachineSid);
  // The user's own.
  AddTree(RegistrationPartKind::kProduct, User(), std::string(kUserInstaller) + "\\Products\\" + p);
  AddTree(RegistrationPartKind::kFeatures, User(), std::string(kUserInstaller) + "\\Features\\" + p);
  AddValueInSubkeys(RegistrationPartKind::kUpgradeCode, User(), std::string(kUserInstaller) + "\\UpgradeCodes");
  if (!places_.userSid.empty()) {
    AddUserData(places_.userSid);
    AddPatches(User(), places_.userSid);
    const std::string managed = std::string(kInstallerData) + "\\Managed\\" + places_.userSid + "\\Installer";
    AddTree(RegistrationPartKind::kManaged, Machine(), managed + "\\Products\\" + p);
    AddTree(RegistrationPartKind::kManaged, Machine(), managed + "\\Features\\" + p);
    AddValueInSubkeys(RegistrationPartKind::kManaged, Machine(), managed + "\\UpgradeCodes");
  }
  // Its uninstall entries, in every list: the installer names the key by the product code. (For a
  // user's own product, Windows writes it in the user's list, Wine in the machine's.)
  for (Source source : SourcesOf(places_.wow64))
    AddTree(RegistrationPartKind::kUninstallEntry, PlaceOf(source, places_.wow64), kUninstallKey + found_.code);
  // Whose product it is: published or installed for the machine or for the user; with neither (what
  // is left is an upgrade code, a component's client, an entry), by the root of what is left.
  for (const RegistrationPart& part : found_.parts) {
    const bool own = part.kind == RegistrationPartKind::kProduct || part.kind == RegistrationPartKind::kFeatures ||
                     part.kind == RegistrationPartKind::kInstalledState || part.kind == RegistrationPartKind::kManaged;
    if (!own) continue;
    const bool user = part.place.root == platform::kHkeyCurrentUser ||
                      part.keyPath.find("\\" + places_.userSid + "\\") != std::string::npos;
    (user ? found_.user : found_.machine) = true;
  }
  if (!found_.machine && !found_.user && !found_.parts.empty())
    (found_.parts.front().place.root == platform::kHkeyCurrentUser ? found_.user : found_.machine) = true;

  // Its patches are found through its installed state: they go first, so that a removal that stops
  // part-way leaves nothing that a second one would not find.
  std::stable_partition(found_.parts.begin(), found_.parts.end(),
                        [](const RegistrationPart& part) { return part.kind == RegistrationPartKind::kPatch; });

  // Its name, where the installer keeps one.
  for (const RegistrationPart& part : found_.parts) {
    if (!found_.name.empty()) break;
    if (part.kind == RegistrationPartKind::kProduct) found_.name = TextOf(part.place, part.keyPath, "ProductName");
    if (part.kind == RegistrationPartKind::kInstalledState)
      found_.name = TextOf(part.place, part.keyPath + "\\InstallProperties", "DisplayName");
    if (part.kind == RegistrationPartKind::kUninstallEntry) found_.name = TextOf(part.place, part.keyPath, "DisplayName");
  }
}

}  // namespace

const char* RegistrationPartName(RegistrationPartKind kind) {
  for (const auto& known : kPartNames)
    if (known.kind == kind) return known.name;
  return "";
}

int ProductRegistration::Keys() const {
  int keys = 0;
  for (const RegistrationPart& part : parts) keys += part.keys;
  return keys;
}

int ProductRegistration::Values() const {
  int values = 0;
  for (const RegistrationPart& part : parts) values += part.values;
  return values;
}

std::string ProductRegistration::Scope() const {
  if (machine && user) return "machine and user";
  return user ? "user" : "machine";
}

ProductRegistration FindRegistration(platform::RegistryApi& registry, const InstallerPlaces& places,
                                     const std::string& productCode) {
  ProductRegistration found;
  found.packed = PackedProductCode(productCode);
  if (found.packed.empty()) return found;
  found.code = Upper(productCode);
  Finder(registry, places, found).Find();
  return found;
}

bool InstallerKnowsProduct(platform::RegistryApi& registry, const InstallerPlaces& places, const std::string& productCode) {
  const std::string packed = PackedProductCode(productCode);
  if (packed.empty()) return false;
  const RegistryPlace machine{platform::kHkeyLocalMachine, places.wow64 ? platform::kKeyWow6464Key : 0u};
  const RegistryPlace user{platform::kHkeyCurrentUser, 0};
  std::vector<std::pair<RegistryPlace, std::string>> keys = {
      {machine, std::string(kMachineInstaller) + "\\Products\\" + packed},
      {machine, std::string(kMachineInstaller) + "\\Features\\" + packed},
      {machine, std::string(kInstallerData) + "\\UserData\\" + kMachineSid + "\\Products\\" + packed},
      {user, std::string(kUserInstaller) + "\\Products\\" + packed},
      {user, std::string(kUserInstaller) + "\\Features\\" + packed}};
  if (!places.userSid.empty())
    keys.push_back({machine, std::string(kInstallerData) + "\\UserData\\" + places.userSid + "\\Products\\" + packed});
  for (const auto& [place, path] : keys)
    if (TNTRegistry(registry, place).PathExists(path)) return true;
  return false;
}

std::vector<std::string> RegistrationSummary(const ProductRegistration& registration) {
  std::vector<std::string> lines;
  for (const auto& known : kPartNames) {
    int keys = 0, values = 0;
    for (const RegistrationPart& part : registration.parts) {
      if (part.kind != known.kind) continue;
      keys += part.keys;
      values += part.values;
    }
    if (keys + values == 0) continue;
    std::string line = std::string(known.name) + ": ";
    if (keys > 0) line += std::to_string(keys) + (keys == 1 ? " key" : " keys") + (values > 0 ? ", " : "");
    if (values > 0) line += std::to_string(values) + (values == 1 ? " value" : " values");
    lines.push_back(line);
  }
  return lines;
}

RemovalOutcome RemoveRegistration(UndoFile& undo, platform::RegistryApi& registry, const InstallerPlaces& places,
                                  const std::string& productCode) {
  UndoLock lock(undo.System());
  const ProductRegistration registration = FindRegistration(registry, places, productCode);
  RemovalOutcome outcome;
  if (registration.Empty()) {
    outcome.alreadyGone = true;
    return outcome;
  }
  std::vector<RegistryPart> parts;
  for (const RegistrationPart& part : registration.parts)
    parts.push_back({{part.place, part.keyPath}, part.value.empty() ? std::nullopt : std::optional(part.value)});
  const UndoComment comment =
      CommentNow(undo.System(), UndoAction::kRemovedRegistration,
                 registration.name.empty() ? registration.code : registration.name,
                 registration.Scope());
  return RemoveRegistryParts(undo, registry, parts, &comment);
}
