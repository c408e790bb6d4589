#include "backup/product_registration.h"

#include <memory>
#include <set>
#include <utility>

#include "backup/entry_commands.h"
#include "backup/key_export.h"
#include "backup/undo_comment.h"
#include "backup/undo_lock.h"
#include "inventory/entry.h"
#include "inventory/product_code.h"
#include "platform/text_encoding.h"
#include "registry/key_walk.h"
#include "registry/nt_registry.h"

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

// The finder's reads, in the views that reach the installer's keys from this program: HKLM's keys in
// the 64-bit view on 64-bit Windows, where the installer keeps them.
class Finder {
 public:
  Finder(platform::RegistryApi& api, const InstallerPlaces& places, ProductRegistration& found)
      : api_(api), places_(places), found_(found) {}

  void Find();

 private:
  RegistryPlace Machine() const { return {platform::kHkeyLocalMachine, places_.wow64 ? platform::kKeyWow6464Key : 0u}; }
  RegistryPlace User() const { return {platform::kHkeyCurrentUser, 0}; }
  std::unique_ptr<TNTRegistry> Open(const RegistryPlace& place, const std::string& path) const {
    auto reg = std::make_unique<TNTRegistry>(api_, place.view);
    reg->SetRoot(place.root);
    return reg->OpenPathToRead(path) ? std::move(reg) : nullptr;
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
    return NameForComment(api_, place, path, name, "");
  }

  platform::RegistryApi& api_;
  const InstallerPlaces& places_;
  ProductRegistration& found_;
};

bool Finder::AddTree(RegistrationPartKind kind, const RegistryPlace& place, const std::string& path) {
  const auto reg = Open(place, path);
  if (!reg) return false;
  const TreeCount count = CountKeyTree(api_, *reg);
  found_.parts.push_back({kind, place, path, {}, count.keys, count.values});
  return true;
}

void Finder::AddValueInSubkeys(RegistrationPartKind kind, const RegistryPlace& place, const std::string& path) {
  const auto parent = Open(place, path);
  if (!parent) return;
  TStrings names;
  parent->ListSubkeys(names);
  for (const std::string& name : names) {
    long error = 0;
    const auto key = OpenSubkeyRelative(api_, *parent, name, &error);
    std::uint32_t typeCode = 0;
    std::string bytes;
    if (key && key->FetchWholeValue(found_.packed, typeCode, bytes))
      found_.parts.push_back({kind, place, path + "\\" + name, found_.packed, 0, 1});
  }
}

void Finder::AddUserData(const std::string& sid) {
  const std::string userData = std::string(kInstallerData) + "\\UserData\\" + sid;
  AddTree(RegistrationPartKind::kInstalledState, Machine(), userData + "\\Products\\" + found_.packed);
  AddValueInSubkeys(RegistrationPartKind::kComponent, Machine(), userData + "\\Components");
}

bool Finder::PatchSharedWithOthers(const std::string& patch) {
  const auto userData = Open(Machine(), std::string(kInstallerData) + "\\UserData");
  if (!userData) return false;
  TStrings accounts;
  userData->ListSubkeys(accounts);
  for (const std::string& account : accounts) {
    const std::string products = std::string(kInstallerData) + "\\UserData\\" + account + "\\Products";
    const auto list = Open(Machine(), products);
    if (!list) continue;
    TStrings codes;
    list->ListSubkeys(codes);
    for (const std::string& code : codes)
      if (Upper(code) != found_.packed && Open(Machine(), products + "\\" + code + "\\Patches\\" + patch)) return true;
  }
  return false;
}

void Finder::AddPatches(const RegistryPlace& published, const std::string& sid) {
  const std::string userData = std::string(kInstallerData) + "\\UserData\\" + sid;
  const auto patches = Open(Machine(), userData + "\\Products\\" + found_.packed + "\\Patches");
  if (!patches) return;
  TStrings codes;
  patches->ListSubkeys(codes);
  const std::string publishedPatches =
      std::string(published.root == platform::kHkeyCurrentUser ? kUserInstaller : kMachineInstaller) + "\\Patches\\";
  for (const std::string& code : codes) {
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
    parts.push_back({part.place, part.keyPath, part.value.empty() ? std::nullopt : std::optional(part.value)});
  const UndoComment comment =
      CommentNow(undo.System(), UndoAction::kRemovedRegistration,
                 registration.name.empty() ? registration.code : registration.name,
                 registration.Scope());
  return RemoveRegistryParts(undo, registry, parts, &comment);
}
