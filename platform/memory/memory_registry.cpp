#include "platform/memory/memory_registry.h"

#include <algorithm>
#include <cstring>
#include <sstream>
#include <utility>

#include "platform/memory/memory_files.h"
#include "platform/text_encoding.h"

namespace platform {

struct MemoryRegistry::Key {
  struct Value {
    std::string name;
    std::uint32_t type = kRegNone;
    std::string data;
  };
  std::string name;
  std::vector<Value> values;
  std::vector<std::shared_ptr<Key>> children;
  std::weak_ptr<Key> parent;
  std::uint32_t granted = kKeyAllAccess;
  bool deleted = false;
  bool hive = false;  // mounted from a hive file
  // The hive's file, and its tree as loaded: what changed in it goes back to the file when it is
  // unloaded, as the system writes a loaded hive to its file.
  std::string hiveFile;
  std::string loadedAs;
  std::uint64_t lastWrite = 0;
};

namespace {

using Key = MemoryRegistry::Key;

constexpr const char* kWow6432Node = "WOW6432Node";

// Names compare as the registry compares them: letter case ignored, also outside ASCII.
bool SameName(const std::string& a, const std::string& b) { return a == b || UpperCaseText(a) == UpperCaseText(b); }

// Name lengths as the wide calls count them.
std::uint32_t Units(const std::string& name) { return static_cast<std::uint32_t>(Utf16Length(name)); }

// The wide calls hand a path over in a counted string whose length in bytes is 16 bits: a path of
// more than 32,766 UTF-16 units is cut there, and the call goes on with what is left (Wine 8 does
// so for opens, creates and deletes).
std::string AsTheWideCallsPassIt(const char* subKey) {
  constexpr std::size_t kMostUnits = 32766;
  const std::string path = subKey ? subKey : "";
  std::size_t units = 0;
  for (std::size_t at = 0; at < path.size();) {
    const auto lead = static_cast<unsigned char>(path[at]);
    const std::size_t bytes = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    units += bytes == 4 ? 2 : 1;
    if (units > kMostUnits) return path.substr(0, at);
    at += bytes;
  }
  return path;
}

std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : path) {
    if (c == '\\') {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

std::shared_ptr<Key> FindChild(const Key& key, const std::string& name) {
  for (const auto& child : key.children)
    if (SameName(child->name, name)) return child;
  return nullptr;
}

Key::Value* FindValue(Key& key, const std::string& name) {
  for (auto& value : key.values)
    if (SameName(value.name, name)) return &value;
  return nullptr;
}

std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out.empty() ? "-" : out;
}

std::string Unhex(const std::string& text) {
  if (text == "-") return {};
  std::string out;
  for (size_t i = 0; i + 1 < text.size(); i += 2) out += static_cast<char>(std::stoi(text.substr(i, 2), nullptr, 16));
  return out;
}

const char kHiveMagic[] = "memory-hive-1";

void SaveTree(const Key& key, int depth, std::ostringstream& out) {
  for (const auto& value : key.values) out << "V " << depth << ' ' << Hex(value.name) << ' ' << value.type << ' ' << Hex(value.data) << '\n';
  for (const auto& child : key.children) {
    out << "K " << depth + 1 << ' ' << Hex(child->name) << '\n';
    SaveTree(*child, depth + 1, out);
  }
}

bool LoadTree(const std::string& content, const std::shared_ptr<Key>& top) {
  std::istringstream in(content);
  std::string line;
  if (!std::getline(in, line) || line != kHiveMagic) return false;
  std::vector<std::shared_ptr<Key>> stack{top};
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string kind, name;
    int depth = 0;
    if (!(fields >> kind >> depth >> name) || depth < 0) return false;
    if (kind == "K") {
      if (depth < 1 || depth > static_cast<int>(stack.size())) return false;
      stack.resize(depth);
      auto child = std::make_shared<Key>();
      child->name = Unhex(name);
      child->parent = stack.back();
      stack.back()->children.push_back(child);
      stack.push_back(child);
    } else if (kind == "V") {
      std::uint32_t type = 0;
      std::string data;
      if (!(fields >> type >> data) || depth + 1 != static_cast<int>(stack.size())) return false;
      stack.back()->values.push_back({Unhex(name), type, Unhex(data)});
    } else {
      return false;
    }
  }
  return true;
}

void MarkDeleted(Key& key) {
  key.deleted = true;
  for (auto& child : key.children) MarkDeleted(*child);
}

void DumpTree(const Key& key, const std::string& path, std::ostringstream& out) {
  out << "[" << path << "]\n";
  for (const auto& value : key.values) out << "  " << value.name << " type=" << value.type << " data=" << Hex(value.data) << '\n';
  for (const auto& child : key.children) DumpTree(*child, path + "\\" + child->name, out);
}

}  // namespace

MemoryRegistry::MemoryRegistry(MemoryFileSystem* files) : files_(files) {
  for (Hkey root : {kHkeyCurrentUser, kHkeyLocalMachine, kHkeyUsers, kHkeyCurrentConfig}) {
    auto key = std::make_shared<Key>();
    roots_[root] = key;
  }
  // HKEY_CLASSES_ROOT shows the machine's classes, HKLM\SOFTWARE\Classes, in both views (the
  // installer's keys in it are shared by them).
  long error = kErrorSuccess;
  roots_[kHkeyClassesRoot] = Walk(roots_[kHkeyLocalMachine], "SOFTWARE\\Classes", true, &error);
}

MemoryRegistry::~MemoryRegistry() = default;

bool MemoryRegistry::CountCall() {
  ++calls_;
  if (calls_ == actionAt_ && action_) std::exchange(action_, nullptr)();
  return failFrom_ >= 0 && calls_ >= failFrom_;
}

std::shared_ptr<Key> MemoryRegistry::RootKey(Hkey root) const {
  auto it = roots_.find(root);
  return it == roots_.end() ? nullptr : it->second;
}

std::shared_ptr<Key> MemoryRegistry::Resolve(Hkey handle, std::uint32_t* access) const {
  if (auto root = RootKey(handle)) {
    if (access) *access = kKeyAllAccess;
    return root;
  }
  auto it = handles_.find(handle);
  if (it == handles_.end()) return nullptr;
  if (access) *access = it->second.access;
  return it->second.key;
}

long MemoryRegistry::Use(Hkey handle, std::uint32_t right, std::shared_ptr<Key>* key) {
  if (CountCall()) return kErrorAccessDenied;
  std::uint32_t access = 0;
  *key = Resolve(handle, &access);
  if (!*key) return kErrorInvalidHandle;
  if ((*key)->deleted) return kErrorKeyDeleted;
  if (right && !(access & right)) return kErrorAccessDenied;
  return kErrorSuccess;
}

bool MemoryRegistry::Redirects(std::uint32_t access) const { return wow64_ && !(access & kKeyWow6464Key); }

std::shared_ptr<Key> MemoryRegistry::Walk(const std::shared_ptr<Key>& from, const std::string& path,
                                          bool create, long* error, bool redirect32) {
  std::vector<std::string> parts = SplitPath(path);
  // The 32-bit view of HKLM\SOFTWARE is its WOW6432Node; a path that names the node itself is not
  // sent there twice. A key opened in one view keeps its view for the paths below it.
  if (redirect32 && from == RootKey(kHkeyLocalMachine) && !parts.empty() && SameName(parts[0], "SOFTWARE") &&
      !(parts.size() > 1 && SameName(parts[1], kWow6432Node)))
    parts.insert(parts.begin() + 1, kWow6432Node);
  std::shared_ptr<Key> key = from;
  for (const std::string& part : parts) {
    auto child = FindChild(*key, part);
    if (!child) {
      if (!create) {
        *error = kErrorFileNotFound;
        return nullptr;
      }
      if (!(key->granted & kKeyCreateSubKey) && !backupRestoreRight_) {
        *error = kErrorAccessDenied;
        return nullptr;
      }
      child = std::make_shared<Key>();
      child->name = part;
      child->parent = key;
      key->children.push_back(child);
      ++key->lastWrite;
    }
    key = child;
  }
  *error = kErrorSuccess;
  return key;
}

std::string MemoryRegistry::PathOf(const Key& key) const {
  std::string path;
  const Key* at = &key;
  while (auto parent = at->parent.lock()) {
    path = "\\" + at->name + path;
    at = parent.get();
  }
  static const std::map<Hkey, const char*> kRootNames = {
      {kHkeyClassesRoot, "HKCR"}, {kHkeyCurrentUser, "HKCU"}, {kHkeyLocalMachine, "HKLM"},
      {kHkeyUsers, "HKU"},        {kHkeyCurrentConfig, "HKCC"}};
  for (const auto& [root, top] : roots_)
    if (top.get() == at) return kRootNames.at(root) + path;
  return "?" + path;
}

long MemoryRegistry::Interfere(const char* call, const Key& key, const std::string& name) {
  return interfere ? interfere(call, PathOf(key), name) : kErrorSuccess;
}

Hkey MemoryRegistry::NewHandle(std::shared_ptr<Key> key, std::uint32_t access) {
  Hkey handle = nextHandle_;
  nextHandle_ += 4;
  handles_[handle] = Handle{std::move(key), access};
  return handle;
}

long MemoryRegistry::OpenKeyEx(Hkey base, const char* subKey, std::uint32_t access, Hkey* result) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  *result = 0;
  std::shared_ptr<Key> from;
  if (const long error = Use(base, 0, &from)) return error;
  long error = kErrorSuccess;
  auto key = Walk(from, AsTheWideCallsPassIt(subKey), false, &error, Redirects(access));
  if (!key) return error;
  if (const long refused = Interfere("open", *key)) return refused;
  if (access & ~key->granted & 0x000F003F) return kErrorAccessDenied;
  *result = NewHandle(key, access);
  return kErrorSuccess;
}

long MemoryRegistry::CreateKeyEx(Hkey base, const char* subKey, std::uint32_t options, std::uint32_t access,
                                 Hkey* result) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  *result = 0;
  std::shared_ptr<Key> from;
  if (const long error = Use(base, 0, &from)) return error;
  const bool backup = (options & kRegOptionBackupRestore) != 0;
  if (backup && !backupRestoreRight_) return kErrorPrivilegeNotHeld;
  long error = kErrorSuccess;
  auto key = Walk(from, AsTheWideCallsPassIt(subKey), true, &error, Redirects(access));
  if (!key) return error;
  if (const long refused = Interfere("open", *key)) return refused;
  if (backup) access = kKeyAllAccess;
  else if (access & ~key->granted & 0x000F003F) return kErrorAccessDenied;
  *result = NewHandle(key, access);
  return kErrorSuccess;
}

long MemoryRegistry::CloseKey(Hkey key) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  ++calls_;
  if (RootKey(key)) return kErrorSuccess;
  return handles_.erase(key) ? kErrorSuccess : kErrorInvalidHandle;
}

long MemoryRegistry::DeleteKey(Hkey base, const char* subKey, std::uint32_t view) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  std::shared_ptr<Key> from;
  if (const long error = Use(base, 0, &from)) return error;
  long error = kErrorSuccess;
  auto key = Walk(from, AsTheWideCallsPassIt(subKey), false, &error, Redirects(view));
  if (!key) return error;
  auto parent = key->parent.lock();
  if (!parent) return kErrorAccessDenied;  // a root
  if (const long refused = Interfere("delete key", *key)) return refused;
  if (!key->children.empty() || !(key->granted & kDelete)) return kErrorAccessDenied;
  auto& siblings = parent->children;
  siblings.erase(std::remove(siblings.begin(), siblings.end(), key), siblings.end());
  ++parent->lastWrite;
  MarkDeleted(*key);
  return kErrorSuccess;
}

long MemoryRegistry::DeleteValue(Hkey handle, const char* name) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  std::shared_ptr<Key> key;
  if (const long error = Use(handle, kKeySetValue, &key)) return error;
  const std::string wanted = name ? name : "";
  if (const long refused = Interfere("delete value", *key, wanted)) return refused;
  auto& values = key->values;
  auto it = std::find_if(values.begin(), values.end(), [&](const Key::Value& v) { return SameName(v.name, wanted); });
  if (it == values.end()) return kErrorFileNotFound;
  values.erase(it);
  ++key->lastWrite;
  return kErrorSuccess;
}

namespace {
long CopyName(const std::string& text, std::uint32_t bufferLength, std::string* name) {
  if (Units(text) + 1 > bufferLength) return kErrorMoreData;
  *name = text;
  return kErrorSuccess;
}
}  // namespace

long MemoryRegistry::EnumKeyEx(Hkey handle, std::uint32_t index, std::uint32_t bufferLength, std::string* name) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  std::shared_ptr<Key> key;
  if (const long error = Use(handle, kKeyEnumerateSubKeys, &key)) return error;
  if (index >= key->children.size()) return kErrorNoMoreItems;
  return CopyName(key->children[index]->name, bufferLength, name);
}

long MemoryRegistry::EnumValue(Hkey handle, std::uint32_t index, std::uint32_t bufferLength, std::string* name) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  std::shared_ptr<Key> key;
  if (const long error = Use(handle, kKeyQueryValue, &key)) return error;
  if (index >= key->values.size()) return kErrorNoMoreItems;
  return CopyName(key->values[index].name, bufferLength, name);
}

long MemoryRegistry::EnumValueData(Hkey handle, std::uint32_t index, std::string* name, std::uint32_t* type,
                                   std::string* data) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  std::shared_ptr<Key> key;
  if (const long error = Use(handle, kKeyQueryValue, &key)) return error;
  if (index >= key->values.size()) return kErrorNoMoreItems;
  *name = key->values[index].name;
  if (const long refused = Interfere("read", *key, *name)) return refused;
  if (index >= key->values.size()) return kErrorNoMoreItems;
  *type = key->values[index].type;
  *data = key->values[index].data;
  return kErrorSuccess;
}

long MemoryRegistry::QueryInfoKey(Hkey handle, RawKeyInfo* info) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  std::shared_ptr<Key> key;
  if (const long error = Use(handle, kKeyQueryValue, &key)) return error;
  *info = RawKeyInfo{};
  info->subkeyCount = static_cast<std::uint32_t>(key->children.size());
  info->valueCount = static_cast<std::uint32_t>(key->values.size());
  for (const auto& child : key->children)
    info->maxSubkeyNameLength = std::max(info->maxSubkeyNameLength, Units(child->name));
  for (const auto& value : key->values) {
    info->maxValueNameLength = std::max(info->maxValueNameLength, Units(value.name));
    info->maxValueDataSize = std::max<std::uint32_t>(info->maxValueDataSize, value.data.size());
  }
  info->lastWriteTime = key->lastWrite;
  return kErrorSuccess;
}

long MemoryRegistry::QueryValueEx(Hkey handle, const char* name, std::uint32_t* type, std::uint8_t* data,
                                  std::uint32_t* size) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  std::shared_ptr<Key> key;
  if (const long error = Use(handle, kKeyQueryValue, &key)) return error;
  const Key::Value* value = FindValue(*key, name ? name : "");
  if (!value) return kErrorFileNotFound;
  if (data) {
    if (const long refused = Interfere("read", *key, value->name)) return refused;
    value = FindValue(*key, name ? name : "");
    if (!value) return kErrorFileNotFound;
  }
  if (type) *type = value->type;
  const auto length = static_cast<std::uint32_t>(value->data.size());
  if (data) {
    if (!size || *size < length) {
      if (size) *size = length;
      return kErrorMoreData;
    }
    std::memcpy(data, value->data.data(), length);
  }
  if (size) *size = length;
  return kErrorSuccess;
}

long MemoryRegistry::SetValueEx(Hkey handle, const char* name, std::uint32_t type, const std::uint8_t* data,
                                std::uint32_t size) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  std::shared_ptr<Key> key;
  if (const long error = Use(handle, kKeySetValue, &key)) return error;
  if (const long refused = Interfere("set", *key, name ? name : "")) return refused;
  std::string bytes(reinterpret_cast<const char*>(data), data ? size : 0);
  const std::string wanted = name ? name : "";
  if (Key::Value* value = FindValue(*key, wanted)) {
    value->type = type;
    value->data = std::move(bytes);
  } else {
    key->values.push_back({wanted, type, std::move(bytes)});
  }
  ++key->lastWrite;
  return kErrorSuccess;
}

long MemoryRegistry::LoadKey(Hkey root, const char* subKey, const char* file) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (CountCall()) return kErrorAccessDenied;
  if (root != kHkeyLocalMachine && root != kHkeyUsers) return kErrorInvalidParameter;
  if (!backupRestoreRight_) return kErrorPrivilegeNotHeld;
  auto top = RootKey(root);
  const std::string name = subKey ? subKey : "";
  if (name.empty() || name.find('\\') != std::string::npos) return kErrorInvalidParameter;
  if (FindChild(*top, name)) return kErrorAccessDenied;
  if (const long refused = Interfere("load", *top, name)) return refused;
  std::string content;
  if (!files_ || !files_->ReadWholeFile(file ? file : "", &content)) return kErrorFileNotFound;
  auto hive = std::make_shared<Key>();
  hive->name = name;
  hive->hive = true;
  hive->parent = top;
  if (!LoadTree(content, hive)) return kErrorBadFileFormat;
  hive->hiveFile = file;
  std::ostringstream loaded;
  SaveTree(*hive, 0, loaded);
  hive->loadedAs = loaded.str();
  top->children.push_back(hive);
  return kErrorSuccess;
}

long MemoryRegistry::UnLoadKey(Hkey root, const char* subKey) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (CountCall()) return kErrorAccessDenied;
  if (!backupRestoreRight_) return kErrorPrivilegeNotHeld;
  auto top = RootKey(root);
  if (!top) return kErrorInvalidHandle;
  auto hive = FindChild(*top, subKey ? subKey : "");
  if (!hive) return kErrorFileNotFound;
  if (!hive->hive) return kErrorInvalidParameter;  // only a mounted hive can be unloaded
  std::ostringstream now;
  SaveTree(*hive, 0, now);
  if (keepsLoadedHives_ && now.str() != hive->loadedAs && files_ && !hive->hiveFile.empty())
    files_->WriteWholeFile(hive->hiveFile, std::string(kHiveMagic) + "\n" + now.str());
  auto& siblings = top->children;
  siblings.erase(std::remove(siblings.begin(), siblings.end(), hive), siblings.end());
  MarkDeleted(*hive);
  return kErrorSuccess;
}

long MemoryRegistry::SaveKey(Hkey handle, const char* file) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  std::shared_ptr<Key> key;
  if (const long error = Use(handle, 0, &key)) return error;
  if (!backupRestoreRight_) return kErrorPrivilegeNotHeld;
  if (!files_) return kErrorAccessDenied;
  const std::string path = file ? file : "";
  std::string existing;
  if (files_->ReadWholeFile(path, &existing)) return kErrorAlreadyExists;
  std::ostringstream out;
  out << kHiveMagic << '\n';
  SaveTree(*key, 0, out);
  return files_->WriteWholeFile(path, out.str()) ? kErrorSuccess : kErrorAccessDenied;
}

void MemoryRegistry::SetWow64(bool wow64) {
  wow64_ = wow64;
  if (wow64) AddKey(kHkeyLocalMachine, std::string("SOFTWARE\\") + kWow6432Node);
}

void MemoryRegistry::AddKey(Hkey root, const std::string& path) {
  long error = 0;
  const bool saved = backupRestoreRight_;
  backupRestoreRight_ = true;
  Walk(RootKey(root), path, true, &error);
  backupRestoreRight_ = saved;
}

void MemoryRegistry::SetValue(Hkey root, const std::string& path, const std::string& name, std::uint32_t type,
                              const std::string& bytes) {
  AddKey(root, path);
  long error = 0;
  auto key = Walk(RootKey(root), path, false, &error);
  if (Key::Value* value = FindValue(*key, name)) {
    value->type = type;
    value->data = bytes;
  } else {
    key->values.push_back({name, type, bytes});
  }
}

void MemoryRegistry::SetString(Hkey root, const std::string& path, const std::string& name, const std::string& text,
                               std::uint32_t type) {
  SetValue(root, path, name, type, Utf16LeFromUtf8(text) + std::string(2, '\0'));
}

bool MemoryRegistry::KeyExists(Hkey root, const std::string& path) const {
  std::shared_ptr<Key> key = RootKey(root);
  for (const std::string& part : SplitPath(path)) {
    key = FindChild(*key, part);
    if (!key) return false;
  }
  return true;
}

void MemoryRegistry::LimitAccess(Hkey root, const std::string& path, std::uint32_t granted) {
  AddKey(root, path);
  long error = 0;
  Walk(RootKey(root), path, false, &error)->granted = granted;
}

std::string MemoryRegistry::Dump(Hkey root, const std::string& path) const {
  std::shared_ptr<Key> key = RootKey(root);
  for (const std::string& part : SplitPath(path)) {
    key = FindChild(*key, part);
    if (!key) return "(missing)";
  }
  std::ostringstream out;
  DumpTree(*key, path, out);
  return out.str();
}

std::string MemoryRegistry::DumpHiveFile(const std::string& file) const {
  std::string content;
  auto hive = std::make_shared<Key>();
  if (!files_ || !files_->ReadWholeFile(file, &content) || !LoadTree(content, hive)) return "(missing)";
  std::ostringstream out;
  DumpTree(*hive, "", out);
  return out.str();
}

}  // namespace platform
