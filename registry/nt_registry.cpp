#include "registry/nt_registry.h"

#include <cstring>
#include <string_view>

#include "platform/text_encoding.h"

using namespace platform;

namespace {

std::string Format(const char* pattern, const std::string& argument) {
  std::string text(pattern);
  const auto at = text.find("%s");
  return at == std::string::npos ? text : text.replace(at, 2, argument);
}

[[noreturn]] void Raise(const char* pattern, const std::string& argument) {
  throw ERegistryException(Format(pattern, argument));
}

// The path handed to the platform: without its one leading backslash.
std::string StripLeadingSlash(const std::string& path) {
  return TNTRegistry::IsRelativePath(path) ? path : path.substr(1);
}

}  // namespace

std::string TextOfStringData(const std::string& data) {
  // The text ends at the first NUL character, a whole UTF-16 unit of zero bytes.
  size_t end = 0;
  while (end + 1 < data.size() && (data[end] != '\0' || data[end + 1] != '\0')) end += 2;
  return platform::Utf8FromUtf16Le(std::string_view(data).substr(0, end));
}

std::string StringDataOfText(const std::string& text) {
  return platform::Utf16LeFromUtf8(text) + std::string(2, '\0');
}

RegKind KindOfType(std::uint32_t typeCode) {
  switch (typeCode) {
    case kRegNone: return kindNone;
    case kRegSz: return kindString;
    case kRegExpandSz: return kindExpandString;
    case kRegBinary: return kindBinary;
    case kRegDword: return kindDWord;
    case kRegDwordBigEndian: return kindDWordBigEndian;
    case kRegLink: return kindLink;
    case kRegMultiSz: return kindMultiString;
    case kRegResourceList: return kindResourceList;
    case kRegFullResourceDescriptor: return kindFullResourceDescriptor;
    case kRegResourceRequirementsList: return kindResourceRequirementsList;
    default: return kindUnknown;
  }
}

std::uint32_t TypeOfKind(RegKind kind) {
  static constexpr std::uint32_t kTypes[13] = {0, 0, 1, 2, 3, 4, 4, 5, 6, 7, 8, 9, 10};
  return kind < 13 ? kTypes[kind] : 0;
}

TNTRegistry::TNTRegistry(RegistryApi& api, std::uint32_t view) : View(view), api_(api) {
  SetRoot(kHkeyCurrentUser);
  CloseOnRelease = true;
}

TNTRegistry::TNTRegistry(RegistryApi& api, const RegistryPlace& place) : TNTRegistry(api, place.view) {
  SetRoot(place.root);
}

TNTRegistry::~TNTRegistry() { ClosePath(); }

bool TNTRegistry::IsRelativePath(const std::string& path) { return path.empty() || path[0] != '\\'; }

Hkey TNTRegistry::BaseKey(bool relative) const { return relative && ActiveKey != 0 ? ActiveKey : Root; }

void TNTRegistry::SetRoot(Hkey root) {
  if (root == Root) return;
  if (RootIsOwned) {
    api_.CloseKey(Root);
    RootIsOwned = false;
  }
  Root = root;
  ClosePath();
}

void TNTRegistry::ClosePath() {
  if (ActiveKey == 0) return;
  if (CloseOnRelease) owned_.reset(); else owned_.release();
  ActiveKey = 0;
  ActivePath.clear();
}

void TNTRegistry::AdoptKey(UniqueHkey handle, const std::string& pathText) {
  ClosePath();
  owned_ = std::move(handle);
  ActiveKey = owned_.get();
  ActivePath = pathText;
}

void TNTRegistry::SwapActiveHandle(Hkey handle) { ActiveKey = handle; }

long TNTRegistry::CreateCascade(Hkey base, const std::string& path, Hkey* out) {
  long result = api_.CreateKeyEx(base, path.c_str(), 0, kKeyAllAccess | View, out);
  if (result != kErrorSuccess) result = api_.CreateKeyEx(base, path.c_str(), 0, kKeyReadCreateSet | View, out);
  return result;
}

long TNTRegistry::OpenCascade(Hkey base, const std::string& path, Hkey* out) {
  long result = kErrorSuccess;
  for (std::uint32_t access : {kKeyAllAccess, kKeyReadCreateSet, kKeyRead}) {
    result = api_.OpenKeyEx(base, path.c_str(), access | View, out);
    if (result == kErrorSuccess) break;
  }
  return result;
}

bool TNTRegistry::OpenPath(const std::string& path, bool canCreate) {
  const bool relative = IsRelativePath(path);
  const std::string s = StripLeadingSlash(path);
  Hkey opened = 0;
  const long result = (canCreate && !s.empty()) ? CreateCascade(BaseKey(relative), s, &opened)
                                                : OpenCascade(BaseKey(relative), s, &opened);
  if (result != kErrorSuccess) {
    LastError = result;
    return false;
  }
  UniqueHkey handle(api_, opened);
  const std::string pathText = (relative && ActiveKey != 0) ? ActivePath + "\\" + s : s;
  AdoptKey(std::move(handle), pathText);
  return true;
}

bool TNTRegistry::OpenPathToRead(const std::string& path) {
  const bool relative = IsRelativePath(path);
  const std::string s = StripLeadingSlash(path);
  Hkey opened = 0;
  const long result = api_.OpenKeyEx(BaseKey(relative), s.c_str(), kKeyRead | View, &opened);
  if (result != kErrorSuccess) {
    LastError = result;
    return false;
  }
  UniqueHkey handle(api_, opened);
  AdoptKey(std::move(handle), (relative && ActiveKey != 0) ? ActivePath + "\\" + s : s);
  return true;
}

bool TNTRegistry::CreatePath(const std::string& path) {
  const bool relative = IsRelativePath(path);
  Hkey created = 0;
  if (CreateCascade(BaseKey(relative), StripLeadingSlash(path), &created) != kErrorSuccess)
    Raise("Failed to create key %s", path);
  api_.CloseKey(created);
  return true;
}

Hkey TNTRegistry::OpenSubkeyHandle(const std::string& path) {
  const bool relative = IsRelativePath(path);
  const std::string s = StripLeadingSlash(path);
  const Hkey base = BaseKey(relative);
  Hkey handle = 0;
  const long result = OpenCascade(base, s, &handle);
  if (result == kErrorSuccess) return handle;
  // A backup-and-restore create would bring a missing key into being: only try it for a key
  // that exists but refused the plain opens.
  if (result == kErrorFileNotFound || result == kErrorPathNotFound) return 0;
  if (api_.CreateKeyEx(base, s.c_str(), kRegOptionBackupRestore, kKeyQueryValue | View, &handle) == kErrorSuccess)
    return handle;
  if (api_.CreateKeyEx(base, s.c_str(), kRegOptionBackupRestore, kKeyWrite | View, &handle) == kErrorSuccess)
    return handle;
  return 0;
}

bool TNTRegistry::PathExists(const std::string& path) {
  UniqueHkey handle(api_, OpenSubkeyHandle(path));
  return static_cast<bool>(handle);
}

bool TNTRegistry::QueryKeyInfo(KeyInfo& info) {
  info = KeyInfo{};
  RawKeyInfo raw;
  const bool ok = api_.QueryInfoKey(ActiveKey, &raw) == kErrorSuccess;
  if (ok) {
    info.SubkeyCount = raw.subkeyCount;
    info.MaxSubkeyNameLength = raw.maxSubkeyNameLength;
    info.ValueCount = raw.valueCount;
    info.MaxValueNameLength = raw.maxValueNameLength;
    info.MaxValueDataSize = raw.maxValueDataSize;
    info.LastWriteTime = raw.lastWriteTime;
  }
  if (api_.DbcsEnabled() && api_.IsNtFamily()) {
    info.MaxSubkeyNameLength += info.MaxSubkeyNameLength;
    info.MaxValueNameLength += info.MaxValueNameLength;
  }
  return ok;
}

void TNTRegistry::ListSubkeys(TStrings& list) {
  list.clear();
  KeyInfo info;
  if (!QueryKeyInfo(info)) return;
  std::string name;
  for (std::uint32_t i = 0; i < info.SubkeyCount; ++i) {
    if (api_.EnumKeyEx(ActiveKey, i, info.MaxSubkeyNameLength + 1, &name) == kErrorSuccess) list.push_back(name);
  }
}

void TNTRegistry::ListValueNames(TStrings& list) {
  list.clear();
  KeyInfo info;
  if (!QueryKeyInfo(info)) return;
  std::string name;
  for (std::uint32_t i = 0; i < info.ValueCount; ++i) {
    if (api_.EnumValue(ActiveKey, i, info.MaxValueNameLength + 1, &name) == kErrorSuccess) list.push_back(name);
  }
}

void TNTRegistry::ListValues(std::vector<NamedValue>& values) {
  values.clear();
  if (ActiveKey == 0) return;
  for (std::uint32_t index = 0;; ++index) {
    NamedValue value;
    const long result = api_.EnumValueData(ActiveKey, index, &value.name, &value.typeCode, &value.data);
    if (result == kErrorNoMoreItems) return;
    if (result != kErrorSuccess) Raise("Failed to get data for '%s'", value.name);
    values.push_back(std::move(value));
  }
}

bool TNTRegistry::ValueInfo(const std::string& name, RegValueInfo& info) {
  info = RegValueInfo{};
  std::uint32_t type = 0, size = 0;
  if (api_.QueryValueEx(ActiveKey, name.c_str(), &type, nullptr, &size) != kErrorSuccess) return false;
  info.Kind = KindOfType(type);
  info.DataSize = static_cast<std::int32_t>(size);
  return true;
}

std::int32_t TNTRegistry::ValueSize(const std::string& name) {
  RegValueInfo info;
  return ValueInfo(name, info) ? info.DataSize : -1;
}

RegKind TNTRegistry::ValueKind(const std::string& name) {
  RegValueInfo info;
  return ValueInfo(name, info) ? info.Kind : kindUnknown;
}

std::int32_t TNTRegistry::FetchValueOfType(const std::string& name, void* buffer, std::uint32_t& typeCode,
                                           std::int32_t size) {
  auto length = static_cast<std::uint32_t>(size);
  typeCode = 0;
  if (api_.QueryValueEx(ActiveKey, name.c_str(), &typeCode, static_cast<std::uint8_t*>(buffer), &length) !=
      kErrorSuccess)
    Raise("Failed to get data for '%s'", name);
  return static_cast<std::int32_t>(length);
}

bool TNTRegistry::FetchWholeValue(const std::string& name, std::uint32_t& typeCode, std::string& bytes) {
  RegValueInfo info;
  if (!ValueInfo(name, info)) return false;
  // One spare byte, so that empty data is still read into a buffer.
  bytes.assign(static_cast<size_t>(info.DataSize > 0 ? info.DataSize : 0) + 1, '\0');
  bytes.resize(static_cast<size_t>(FetchValueOfType(name, bytes.data(), typeCode, info.DataSize)));
  return true;
}

std::int32_t TNTRegistry::FetchValue(const std::string& name, void* buffer, RegKind& kind, std::int32_t size) {
  std::uint32_t type = 0;
  const std::int32_t length = FetchValueOfType(name, buffer, type, size);
  kind = KindOfType(type);
  return length;
}

std::string TNTRegistry::ReadText(const std::string& name) {
  const std::int32_t size = ValueSize(name);
  if (size <= 0) return {};
  std::string data(static_cast<size_t>(size), '\0');
  RegKind kind = kindUnknown;
  data.resize(static_cast<size_t>(FetchValue(name, data.data(), kind, size)));
  if (kind != kindString && kind != kindExpandString && kind != kindMultiString)
    Raise("Invalid data type for '%s'", name);
  return TextOfStringData(data);
}

std::int32_t TNTRegistry::ReadNumber(const std::string& name) {
  std::uint8_t cell[4] = {0, 0, 0, 0};
  RegKind kind = kindUnknown;
  FetchValue(name, cell, kind, sizeof cell);
  if (kind != kindDWord) Raise("Invalid data type for '%s'", name);
  std::int32_t number = 0;
  std::memcpy(&number, cell, sizeof number);
  return number;
}

std::int32_t TNTRegistry::ReadBytes(const std::string& name, void* buffer, std::int32_t bufferSize) {
  RegValueInfo info;
  if (!ValueInfo(name, info)) return 0;
  if (info.Kind == kindBinary && info.DataSize <= bufferSize) {
    RegKind kind = kindUnknown;
    FetchValue(name, buffer, kind, info.DataSize);
    return info.DataSize;
  }
  Raise("Invalid data type for '%s'", name);
}

void TNTRegistry::WriteText(const std::string& name, const std::string& text) {
  const std::string data = StringDataOfText(text);
  StoreValue(name, data.data(), kindString, static_cast<std::int32_t>(data.size()));
}

bool TNTRegistry::RemoveValue(const std::string& name) {
  const long result = api_.DeleteValue(ActiveKey, name.c_str());
  if (result != kErrorSuccess) LastError = result;
  return result == kErrorSuccess;
}

bool TNTRegistry::DeleteKey(const std::string& path) {
  const long result = api_.DeleteKey(BaseKey(IsRelativePath(path)), StripLeadingSlash(path).c_str(), View);
  if (result != kErrorSuccess) LastError = result;
  return result == kErrorSuccess;
}

void TNTRegistry::StoreValueOfType(const std::string& name, const void* data, std::uint32_t typeCode,
                                   std::int32_t size) {
  if (api_.SetValueEx(ActiveKey, name.c_str(), typeCode, static_cast<const std::uint8_t*>(data),
                      static_cast<std::uint32_t>(size)) != kErrorSuccess)
    Raise("Failed to set data for '%s'", name);
}

void TNTRegistry::StoreValue(const std::string& name, const void* data, RegKind kind, std::int32_t size) {
  StoreValueOfType(name, data, TypeOfKind(kind), size);
}

bool IsEmptyKey(TNTRegistry& reg, const std::string& path) {
  if (!reg.OpenPath(path, false)) return false;
  KeyInfo info;
  const bool empty = reg.QueryKeyInfo(info) && info.SubkeyCount == 0 && info.ValueCount == 0;
  reg.ClosePath();
  return empty;
}
