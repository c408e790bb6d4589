// Putting a saved key tree back from a hive file, and saving one.
#include "restore/hive_restore.h"

#include <initializer_list>
#include <optional>
#include <utility>
#include <vector>

#include "backup/entry_commands.h"
#include "backup/key_export.h"
#include "backup/undo_file.h"
#include "backup/undo_lock.h"
#include "inventory/file_tests.h"
#include "platform/handles.h"
#include "registry/nt_registry.h"
#include "registry/enabled_privileges.h"
#include "restore/key_tree.h"
#include "restore/tree_replace.h"

namespace {

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
  // The undo file that backs up the entry replaced stays held until the backup is written over it.
  std::optional<UndoLock> undoLock;
  std::optional<UndoBlock> block;
  std::optional<UndoComment> comment;
  if (destination.PathExists(keyPath)) {
    undoLock.emplace(platform.system);
    const std::optional<Source> source = SourceAt(place);
    const std::string keyName = keyPath.substr(keyPath.find_last_of('\\') + 1);
    comment = CommentNow(platform.system, UndoAction::kRestoredEntry,
                         NameForComment(platform.registry, KeyPlace{place, keyPath}, "DisplayName", keyName),
                         source ? SourceName(*source) : "");
  }
  const TreeReplacement replacement =
      ReplaceTree(platform.registry, undo, KeyPlace{place, keyPath}, saved, comment ? &*comment : nullptr, block);
  // Nothing is restored over what the removal left.
  if (!replacement.written) {
    why = IncompleteRemovalMessage(keyPath, replacement.removal);
    if (why.empty()) why = "the entry there could not be removed first";
    return false;
  }
  // Where the entry that the restore replaces went.
  const std::string replaced =
      comment ? "; the entry it replaced is in the undo file " + replacement.removal.undoFile : "";
  if (!replacement.readBack) {
    const std::string& unreadable = replacement.unreadable;
    why = "the restored entry cannot be read back" + (unreadable.empty() ? "" : ": " + unreadable) + replaced;
    return false;
  }
  why = DifferenceOf(saved, replacement.copy);
  if (why.empty()) return true;
  why += replaced;
  return false;
}
