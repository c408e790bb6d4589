#include "inventory/entry.h"

const char* SourceName(Source source) {
  switch (source) {
    case Source::kMachine64: return "64-bit";
    case Source::kMachine32: return "32-bit";
    case Source::kUser: return "user";
    case Source::kOtherUser: return "user:";
  }
  return "";
}

std::string SourceName(const Entry& entry) {
  return entry.account ? std::string(SourceName(Source::kOtherUser)) + entry.account->name : SourceName(entry.source);
}

std::vector<Source> SourcesOf(bool wow64) {
  if (wow64) return {Source::kMachine64, Source::kMachine32, Source::kUser};
  return {Source::kMachine32, Source::kUser};
}

RegistryPlace PlaceOf(Source source, bool wow64) {
  switch (source) {
    case Source::kMachine64: return {platform::kHkeyLocalMachine, platform::kKeyWow6464Key};
    case Source::kMachine32: return {platform::kHkeyLocalMachine, wow64 ? platform::kKeyWow6432Key : 0u};
    case Source::kUser: return {platform::kHkeyCurrentUser, 0};
    case Source::kOtherUser: return {platform::kHkeyUsers, 0};
  }
  return {};
}

KeyPlace PlaceOf(const Entry& entry, bool wow64) { return {PlaceOf(entry.source, wow64), entry.KeyPath()}; }

std::optional<Source> SourceAt(const RegistryPlace& place) {
  if (place.root == platform::kHkeyCurrentUser) return Source::kUser;
  if (place.root == platform::kHkeyUsers) return Source::kOtherUser;
  if (place.root != platform::kHkeyLocalMachine) return std::nullopt;
  return place.view == platform::kKeyWow6464Key ? Source::kMachine64 : Source::kMachine32;
}

RegistryPlace Product::Place() const {
  return {perUser ? platform::kHkeyCurrentUser : platform::kHkeyClassesRoot, 0};
}

std::string Product::KeyPath() const { return std::string(perUser ? kUserProductsKey : kProductsKey) + "\\" + keyName; }
