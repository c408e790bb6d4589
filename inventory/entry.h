#pragma once
// Uninstall entries and installer products as the scan finds them, each with the place it lives.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "registry/accounts.h"
#include "registry/registry_place.h"

inline constexpr const char* kUninstallKey = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
inline constexpr const char* kProductsKey = "\\Installer\\Products";
inline constexpr const char* kUserProductsKey = "\\Software\\Microsoft\\Installer\\Products";

// The lists of installed programs: the machine's in the registry's 64-bit view, the machine's in its
// 32-bit view (the only machine list on 32-bit Windows), the user's own, and another account's own
// (in that account's hive, below HKEY_USERS).
enum class Source : std::uint8_t { kMachine64, kMachine32, kUser, kOtherUser };

// "64-bit", "32-bit" or "user"; "user:" for another account's list, which its entries name.
const char* SourceName(Source source);
// The sources this Windows has: 64-bit Windows all three, 32-bit Windows the machine's and the user's.
std::vector<Source> SourcesOf(bool wow64);
// The root and view that reach the source's Uninstall key from this 32-bit program.
RegistryPlace PlaceOf(Source source, bool wow64);
// The source whose list PlaceOf puts at the place; nothing for a root that holds none.
std::optional<Source> SourceAt(const RegistryPlace& place);

inline constexpr int kStatusUnknown = -1;

struct Entry {
  Source source = Source::kMachine32;
  std::string keyName;
  std::string displayName;
  std::string uninstallString;
  std::string publisher;
  // Its value WindowsInstaller is the number 1: the system installer wrote the entry for the
  // product that the key name codes.
  bool windowsInstaller = false;
  // Not empty when the entry's values could not be read: it is known by its key alone.
  std::string readError;
  // A status icon (kBrokenLink, kGoodLink, kMissingDisk) or kStatusUnknown, and one line that
  // says why.
  int status = kStatusUnknown;
  std::string reason;
  // The file that decided the status, as the reason names it; empty where no file decided.
  std::string checkedFile;
  // Another account's entry: that account.
  std::shared_ptr<const Account> account;

  // The main list shows an entry with a display name and an uninstall command.
  bool Listed() const { return readError.empty() && !displayName.empty() && !uninstallString.empty(); }
  // A 64-bit program's entry, whose files are looked at as a 64-bit program sees them.
  bool SixtyFourBit() const { return source == Source::kMachine64; }
  // The entry's key path below its root; another account's below HKEY_USERS, where its hive is while
  // the program has it.
  std::string KeyPath() const { return (account ? "\\" + account->Mount() : std::string()) + kUninstallKey + keyName; }
};

// The entry's list as its lines and questions name it: "64-bit", "32-bit", "user", or another
// account's "user:NAME".
std::string SourceName(const Entry& entry);
// The entry's key: the place of its list (PlaceOf its source) and its KeyPath.
KeyPlace PlaceOf(const Entry& entry, bool wow64);

struct Product {
  bool perUser = false;
  std::string keyName;
  // Whether it has a text "ProductName", and that text.
  bool named = false;
  std::string productName;
  std::string readError;
  // An uninstall entry of the last scan belongs to it (by its command or its key name).
  bool hasEntry = false;
  // The installer keeps the product's installed state: a key InstallProperties for it under its
  // UserData (the machine's, or a user's for the user's own products).
  bool installProperties = false;

  // Its registration lacks its name or its installed state: it cannot be uninstalled or repaired
  // as it stands.
  bool Incomplete() const { return !named || !installProperties; }
  RegistryPlace Place() const;
  std::string KeyPath() const;
};
