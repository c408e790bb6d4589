#pragma once
// The whole registration of a system installer product: every key and value by which the installer
// knows it, the machine's and the current user's, found, counted and removed as one command, its
// lines written to the day's undo file before anything is deleted. The product's cached package and
// its files stay where they are: this cleans the registration, not the disk.
#include <string>
#include <vector>

#include "backup/removal_outcome.h"
#include "backup/undo_file.h"
#include "platform/registry_api.h"
#include "registry/registry_place.h"

// What a part of a registration is, as a question names it.
enum class RegistrationPartKind {
  // Installer\Products\P: the product as the installer publishes it, with its source list.
  kProduct,
  // Installer\Features\P.
  kFeatures,
  // The value P of an Installer\UpgradeCodes\U, by which later versions find it.
  kUpgradeCode,
  // UserData\SID\Products\P: its installed state, cached package and patches.
  kInstalledState,
  // The value P of a UserData\SID\Components\C: the product as one of a component's clients.
  kComponent,
  // Its uninstall entry, the key named by its product code.
  kUninstallEntry,
  // A patch that only this product uses.
  kPatch,
  // Installer\Managed\SID\Installer\...: what an administrator's policy assigned.
  kManaged,
};

// "installer product", "features", "upgrade code", ...
const char* RegistrationPartName(RegistrationPartKind kind);

struct RegistrationPart {
  RegistrationPartKind kind = RegistrationPartKind::kProduct;
  RegistryPlace place;
  // Below the root, with its leading backslash.
  std::string keyPath;
  // Empty: the whole key tree. Otherwise this value alone; its key goes too when it is then empty.
  std::string value;
  // What the part held when it was found.
  int keys = 0;
  int values = 0;
};

struct ProductRegistration {
  // "{XXXXXXXX-...}" in upper case, and in the installer's packed form.
  std::string code;
  std::string packed;
  // Its ProductName, else its uninstall entry's DisplayName; empty when it has neither.
  std::string name;
  // Registered for the machine, for the current user.
  bool machine = false;
  bool user = false;
  std::vector<RegistrationPart> parts;

  bool Empty() const { return parts.empty(); }
  int Keys() const;
  int Values() const;
  // "machine", "user", or "machine and user".
  std::string Scope() const;
};

// Where the installer and its lists live for this program: the registry's 64-bit view on 64-bit
// Windows, and the current user's SID ("S-1-5-21-..."), whose UserData holds the user's own products.
struct InstallerPlaces {
  bool wow64 = false;
  std::string userSid;
};

// Every part of the product's registration that the registry holds now; empty when the text is no
// product code or nothing of it is left. Reads only. Values of a shared key (an upgrade code, a
// component) that belong to other products are no part of it, nor are patches other products use.
ProductRegistration FindRegistration(platform::RegistryApi& registry, const InstallerPlaces& places,
                                     const std::string& productCode);

// Whether the installer still registers the product for the machine or the current user (its product,
// features or installed state): a quick look, without counting.
bool InstallerKnowsProduct(platform::RegistryApi& registry, const InstallerPlaces& places, const std::string& productCode);

// One line per kind of part: "installer product: 3 keys, 12 values", "components: 4 values", ...
std::vector<std::string> RegistrationSummary(const ProductRegistration& registration);

// Under the undo lock, the registration found anew, written whole to the undo file (one block, its
// comment naming the product) in one write that reaches the disk, then deleted part by part: only
// what was written, and only while it still holds what was written. Answers what stayed; a product
// with nothing left answers alreadyGone. Raises, having deleted nothing, when the lines cannot be
// written.
RemovalOutcome RemoveRegistration(UndoFile& undo, platform::RegistryApi& registry, const InstallerPlaces& places,
                                  const std::string& productCode);
