// Putting a saved key tree back from a hive file, and saving one.
#include "restore/hive_restore.h"

#include <initializer_list>
#include <map>
#include <utility>
#include <vector>

#include "backup/in_out_error.h"
#include "backup/key_export.h"
#include "platform/text_encoding.h"
#include "backup/undo_file.h"
#include "backup/undo_lock.h"
#include "platform/handles.h"
#include "registry/nt_registry.h"

namespace {

constexpr const char* kBackupPrivilege = "SeBackupPrivilege";
constexpr const char* kRestorePrivilege = "SeRestorePrivilege";

// Switches privileges of the process's token on for as long as it lives, then gives the token back
// the state it had: only the privileges that this switched change back. On a system outside the
// NT family there is no token and nothing happens.
class EnabledPrivileges {
 public:
  EnabledPrivileges(platform::System& system, std::initializer_list<const char*> names) : system_(system) {
    if (!system.IsNtFamily()) return;
    token_ = platform::UniqueToken(system, system.OpenProcessToken());
    if (!token_) return;
    std::vector<platform::PrivilegeSetting> wanted;
    for (const char* name : names) {
      std::uint64_t luid = 0;
      if (system.LookupPrivilege(name, &luid)) wanted.push_back({luid, platform::kSePrivilegeEnabled});
    }
    // A privilege that the token does not hold stays off; the work goes on and the platform's
    // refusal shows in its result.
    if (!wanted.empty()) system.AdjustPrivileges(token_.get(), wanted, &previous_);
  }
  ~EnabledPrivileges() {
    if (token_ && !previous_.empty()) system_.AdjustPrivileges(token_.get(), previous_, nullptr);
  }
  EnabledPrivileges(const EnabledPrivileges&) = delete;
  EnabledPrivileges& operator=(const EnabledPrivileges&) = delete;

 private:
  platform::System& system_;
  platform::UniqueToken token_;
  std::vector<platform::PrivilegeSetting> previous_;
};

// Holds the restore lock for as long as it lives: waits, without a time-out, while another
// restore holds it; releases it (when owned) and closes its handle on every path. When no handle
// can be made the restore goes on without the lock.
class RestoreLock {
 public:
  explicit RestoreLock(platform::System& system) : system_(system) {
    bool alreadyExists = false;
    mutex_ = platform::UniqueMutex(system, system.CreateNamedMutex(kRestoreMutexName, true, &alreadyExists));
    if (!mutex_) return;
    owned_ = !alreadyExists || system.WaitForMutex(mutex_.get(), platform::kInfinite);
  }
  ~RestoreLock() {
    if (owned_) system_.ReleaseNamedMutex(mutex_.get());
  }
  RestoreLock(const RestoreLock&) = delete;
  RestoreLock& operator=(const RestoreLock&) = delete;

 private:
  platform::System& system_;
  platform::UniqueMutex mutex_;
  bool owned_ = false;
};

// Unmounts the mount point when it goes out of scope, also when the copy raises. Only the mount
// point is ever unloaded: some platforms delete whatever key they are asked to unload.
class MountedHive {
 public:
  explicit MountedHive(TNTRegistry& reg) : reg_(reg) {}
  ~MountedHive() { reg_.UnloadHive(kHiveMountName); }
  MountedHive(const MountedHive&) = delete;
  MountedHive& operator=(const MountedHive&) = delete;

 private:
  TNTRegistry& reg_;
};

// The file test of the Backups page: an entry that is there and is not a folder.
bool IsFile(platform::FileSystem& files, const std::string& path) {
  platform::FindData found;
  platform::UniqueFind find(files, files.FindFirst(path, &found));
  return find && !(found.attributes & platform::kFileAttributeDirectory);
}


// A key of a tree read whole, in the order of a walk that visits each key before its subkeys.
struct SavedKey {
  int depth = 0;
  std::string name;
  // Below the top key, "" for the top.
  std::string path;
  std::vector<NamedValue> values;
};
using SavedTree = std::vector<SavedKey>;

// Every value of the open key, or false with *problem naming what could not be read.
bool ReadValues(platform::RegistryApi& api, platform::Hkey key, const std::string& path,
                std::vector<NamedValue>* values, std::string* problem) {
  for (std::uint32_t index = 0;; ++index) {
    NamedValue value;
    const long result = api.EnumValueData(key, index, &value.name, &value.typeCode, &value.data);
    if (result == platform::kErrorNoMoreItems) return true;
    if (result != platform::kErrorSuccess) {
      *problem = "a value of " + (path.empty() ? std::string("the top key") : path) + " cannot be read (error " +
                 std::to_string(result) + ")";
      return false;
    }
    values->push_back(std::move(value));
  }
}

// The names of the open key's subkeys, or false with *problem naming the key.
bool ReadSubkeyNames(platform::RegistryApi& api, platform::Hkey key, const std::string& path,
                     std::vector<std::string>* names, std::string* problem) {
  platform::RawKeyInfo info;
  long result = api.QueryInfoKey(key, &info);
  for (std::uint32_t index = 0; result == platform::kErrorSuccess && index < info.subkeyCount; ++index) {
    std::string name;
    result = api.EnumKeyEx(key, index, info.maxSubkeyNameLength + 1, &name);
    names->push_back(name);
  }
  if (result == platform::kErrorSuccess) return true;
  *problem = "the subkeys of " + (path.empty() ? std::string("the top key") : path) + " cannot be listed (error " +
             std::to_string(result) + ")";
  return false;
}

// Reads the whole tree below the open key `top` into memory, keys in a walk with a stack of open keys
// rather than a recursion; false with *problem naming the first thing that cannot be read.
bool ReadSavedTree(platform::RegistryApi& api, platform::Hkey top, std::uint32_t view, SavedTree* tree,
                   std::string* problem) {
  struct Open {
    platform::UniqueHkey key;
    platform::Hkey handle;
    std::size_t saved;  // its place in the tree
    std::vector<std::string> subkeys;
    std::size_t next = 0;
  };
  tree->assign(1, SavedKey{});
  std::vector<Open> open;
  open.push_back({platform::UniqueHkey(), top, 0, {}, 0});
  if (!ReadValues(api, top, "", &tree->front().values, problem) ||
      !ReadSubkeyNames(api, top, "", &open.back().subkeys, problem))
    return false;
  while (!open.empty()) {
    Open& parent = open.back();
    if (parent.next == parent.subkeys.size()) {
      open.pop_back();
      continue;
    }
    const std::string& name = parent.subkeys[parent.next++];
    const SavedKey& above = (*tree)[parent.saved];
    SavedKey key{above.depth + 1, name, above.path.empty() ? name : above.path + "\\" + name, {}};
    platform::Hkey handle = 0;
    const long result = api.OpenKeyEx(parent.handle, name.c_str(), platform::kKeyRead | view, &handle);
    if (result != platform::kErrorSuccess) {
      *problem = key.path + " cannot be opened (error " + std::to_string(result) + ")";
      return false;
    }
    Open child{platform::UniqueHkey(api, handle), handle, tree->size(), {}, 0};
    if (!ReadValues(api, handle, key.path, &key.values, problem) ||
        !ReadSubkeyNames(api, handle, key.path, &child.subkeys, problem))
      return false;
    tree->push_back(std::move(key));
    open.push_back(std::move(child));
  }
  return true;
}

// Makes the key `keyPath` of `place` and writes the tree into it, each key created below its parent's
// handle; what cannot be written is left out, for the reading back to find.
void WriteSavedTree(platform::RegistryApi& api, const RegistryPlace& place, const std::string& keyPath,
                    const SavedTree& tree) {
  TNTRegistry destination(api, place.view);
  destination.SetRoot(place.root);
  if (!destination.CreatePath(keyPath)) return;
  std::vector<platform::UniqueHkey> open;
  open.emplace_back(api, destination.OpenSubkeyHandle(keyPath));
  // Below a key that could not be made, nothing is written.
  int skipBelow = -1;
  for (const SavedKey& key : tree) {
    if (skipBelow >= 0 && key.depth > skipBelow) continue;
    skipBelow = -1;
    if (key.depth > 0) {
      open.resize(static_cast<std::size_t>(key.depth));
      platform::Hkey handle = 0;
      if (!open.back() || api.CreateKeyEx(open.back().get(), key.name.c_str(), 0, platform::kKeyAllAccess | place.view,
                                          &handle) != platform::kErrorSuccess) {
        skipBelow = key.depth;
        continue;
      }
      open.emplace_back(api, handle);
    }
    if (!open.back()) continue;
    for (const NamedValue& value : key.values)
      api.SetValueEx(open.back().get(), value.name.c_str(), value.typeCode,
                     reinterpret_cast<const std::uint8_t*>(value.data.data()), static_cast<std::uint32_t>(value.data.size()));
  }
}

// What of the backup the copy lacks or holds otherwise, in a few words; empty when they are equal.
std::string DifferenceOf(const SavedTree& saved, const SavedTree& copy) {
  std::map<std::string, std::map<std::string, std::pair<std::uint32_t, std::string>>> copied;
  for (const SavedKey& key : copy) {
    auto& values = copied[platform::UpperCaseText(key.path)];
    for (const NamedValue& value : key.values) values[platform::UpperCaseText(value.name)] = {value.typeCode, value.data};
  }
  int keysMissing = 0, valuesMissing = 0;
  std::string first;
  for (const SavedKey& key : saved) {
    const auto found = copied.find(platform::UpperCaseText(key.path));
    if (found == copied.end()) {
      if (first.empty()) first = "the key " + (key.path.empty() ? std::string("itself") : key.path);
      ++keysMissing;
      valuesMissing += static_cast<int>(key.values.size());
      continue;
    }
    for (const NamedValue& value : key.values) {
      const auto got = found->second.find(platform::UpperCaseText(value.name));
      if (got != found->second.end() && got->second == std::pair(value.typeCode, value.data)) continue;
      if (first.empty()) first = "the value \"" + value.name + "\" of " + (key.path.empty() ? std::string("the key") : key.path);
      ++valuesMissing;
    }
  }
  if (keysMissing == 0 && valuesMissing == 0) return {};
  std::string text = "not restored: ";
  if (keysMissing > 0) text += std::to_string(keysMissing) + (keysMissing == 1 ? " key" : " keys");
  if (keysMissing > 0 && valuesMissing > 0) text += " and ";
  if (valuesMissing > 0) text += std::to_string(valuesMissing) + (valuesMissing == 1 ? " value" : " values");
  return text + ", " + first + " first";
}

}  // namespace

bool SaveHive(const platform::Platform& platform, UndoFile& undo, const std::string& keyPath,
              const std::string& fileName, bool saveMode, const RegistryPlace& place, std::string* problem) {
  // Saving needs the backup right; mounting and unmounting need the restore right as well.
  EnabledPrivileges rights(platform.system, {kBackupPrivilege, kRestorePrivilege});
  platform::FileSystem& files = platform.files;
  if (saveMode) {
    if (IsFile(files, fileName)) files.RemoveFile(fileName);
    // Some platforms overwrite a file that is there, others refuse: never let it come to that.
    if (files.Attributes(fileName) != platform::kInvalidFileAttributes) return false;
    TNTRegistry reg(platform.registry, place.view);
    reg.SetRoot(place.root);
    return reg.SaveKeyToFile(keyPath, fileName);
  }
  if (!IsFile(files, fileName)) {
    if (problem) *problem = "the file is not there";
    return false;
  }
  return LoadKeyPro(platform, undo, keyPath, fileName, place, problem);
}

// The hive is mounted before anything is touched, and read whole, so that a file that cannot be
// mounted or read leaves the destination as it was. Then the existing destination goes into the
// day's undo file and out of the registry exactly as a removal does, the tree read is written in
// its place, and read back: only a copy equal to the backup counts as restored.
bool LoadKeyPro(const platform::Platform& platform, UndoFile& undo, const std::string& keyPath,
                const std::string& fileName, const RegistryPlace& place, std::string* problem) {
  std::string ignored;
  std::string& why = problem ? *problem : ignored;
  why.clear();
  RestoreLock lock(platform.system);
  TNTRegistry reg(platform.registry);
  reg.SetRoot(platform::kHkeyLocalMachine);
  const bool mountPointWasFree = !reg.PathExists(kHiveMountPath);
  if (!reg.LoadHive(kHiveMountPath, fileName)) {
    // Wine makes the mount point before it reads the file and leaves it behind, empty, when the
    // file is not a hive; every later mount would then fail. Only that key is taken away: one
    // that was there before, or that holds anything, belongs to someone else.
    if (mountPointWasFree && IsEmptyKey(reg, kHiveMountPath)) reg.UnloadHive(kHiveMountName);
    why = "the file is not a registry hive that this system can load";
    return false;
  }
  SavedTree saved;
  {
    MountedHive mounted(reg);
    platform::UniqueHkey top(platform.registry, reg.OpenSubkeyHandle(kHiveMountPath));
    if (!top || !ReadSavedTree(platform.registry, top.get(), 0, &saved, &why)) {
      if (why.empty()) why = "the backup's top key cannot be read";
      why = "nothing was changed: " + why;
      return false;
    }
  }
  TNTRegistry destination(platform.registry, place.view);
  destination.SetRoot(place.root);
  // Where the entry that the restore replaces went.
  std::string replaced;
  if (destination.PathExists(keyPath)) {
    UndoLock lock(platform.system);
    UndoBlock block(undo, [&] { return UndoFormatForKey(platform.registry, platform.system, place, keyPath); });
    const RemovalOutcome outcome = RemoveRegistryKey(undo, platform.registry, place, keyPath);
    // Everything removed reached the undo file before it went: the empty line after it is the
    // undo file's own matter.
    try {
      undo.WriteReg("");
    } catch (const EInOutError&) {
    }
    // Whatever the removal left could not be backed up or deleted; clearing it would lose it,
    // and copying onto it would merge two entries. Nothing is restored then.
    if (destination.PathExists(keyPath)) {
      why = IncompleteRemovalMessage(keyPath, outcome);
      if (why.empty()) why = "the entry there could not be removed first";
      return false;
    }
    replaced = "; the entry it replaced is in the undo file " + outcome.undoFile;
  }
  WriteSavedTree(platform.registry, place, keyPath, saved);
  SavedTree written;
  std::string unreadable;
  platform::UniqueHkey copy(platform.registry, destination.OpenSubkeyHandle(keyPath));
  if (!copy || !ReadSavedTree(platform.registry, copy.get(), place.view, &written, &unreadable)) {
    why = "the restored entry cannot be read back" + (unreadable.empty() ? "" : ": " + unreadable) + replaced;
    return false;
  }
  why = DifferenceOf(saved, written);
  if (why.empty()) return true;
  why += replaced;
  return false;
}
