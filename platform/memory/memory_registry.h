#pragma once
// An in-memory registry that behaves like the real one on what the program relies on:
// predefined roots, UTF-8 names compared without letter case (Latin, Greek and Cyrillic letters too)
// that keep their spelling, name lengths in UTF-16 units as the wide calls count them, enumeration in
// insertion order, keys that refuse deletion while they have subkeys, values of any type code and
// size, per-key access that tests can limit, counted handles, hive files, backup-restore creates, and
// paths cut after 32,766 UTF-16 units as the wide calls pass them.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/registry_api.h"

namespace platform {

class MemoryFileSystem;

class MemoryRegistry : public RegistryApi {
 public:
  // Hive files are kept in the given file system (none: hive calls fail).
  explicit MemoryRegistry(MemoryFileSystem* files = nullptr);
  ~MemoryRegistry() override;

  // Set-up and inspection for tests; paths are "HKLM\..." style below a root handle. SetString
  // stores the text as the wide calls do: UTF-16LE with a NUL character.
  void SetValue(Hkey root, const std::string& path, const std::string& name, std::uint32_t type,
                const std::string& bytes);
  void SetString(Hkey root, const std::string& path, const std::string& name, const std::string& text,
                 std::uint32_t type = kRegSz);
  void AddKey(Hkey root, const std::string& path);
  bool KeyExists(Hkey root, const std::string& path) const;
  // The rights a key grants to opens (default everything); kDelete missing makes deletes fail.
  void LimitAccess(Hkey root, const std::string& path, std::uint32_t granted);
  // Whether the process holds the backup and restore rights (backup-restore creates, hives).
  void SetBackupRestoreRight(bool held) { backupRestoreRight_ = held; }
  // Whether an unload writes a loaded hive's changes to its file, as Windows does (the default);
  // Wine's unload drops them.
  void SetKeepsLoadedHives(bool keeps) { keepsLoadedHives_ = keeps; }
  void SetDbcs(bool dbcs) { dbcs_ = dbcs; }
  void SetNtFamily(bool nt) { nt_ = nt; }
  // 64-bit Windows as a 32-bit program sees it: HKLM\\SOFTWARE has a 32-bit view, its WOW6432Node,
  // which opens take unless they ask for KEY_WOW64_64KEY. The test helpers' paths are literal.
  void SetWow64(bool wow64);

  // A flat, ordered dump of a subtree: one line per key and per value, for comparisons.
  std::string Dump(Hkey root, const std::string& path) const;
  // The same of a hive file's whole tree, as a load would find it; "(missing)" when the file is not
  // there or holds no hive.
  std::string DumpHiveFile(const std::string& file) const;

  int OpenHandles() const { return static_cast<int>(handles_.size()); }
  // Every call from the k-th on (counted from now) fails with ERROR_ACCESS_DENIED; -1 never.
  void FailFromCall(int k) { failFrom_ = k; calls_ = 0; }
  // Runs the action just before the k-th call counted from now (a change made meanwhile by
  // someone else); the call then goes on as usual.
  void BeforeCall(int k, std::function<void()> action) {
    actionAt_ = k;
    action_ = std::move(action);
    calls_ = 0;
  }
  int CallCount() const { return calls_; }
  // Asked before the calls that a test may want to refuse: "open" (a key, by OpenKeyEx or
  // CreateKeyEx), "read" (a value's data), "set", "delete value", "delete key" and "load", with the full
  // path of the key concerned ("HKLM\\SOFTWARE\\...") and the value name. A result other than
  // kErrorSuccess is answered in place of the call; the hook may also change the registry first.
  std::function<long(const std::string& call, const std::string& path, const std::string& name)> interfere;

  // RegistryApi.
  long OpenKeyEx(Hkey base, const char* subKey, std::uint32_t access, Hkey* result) override;
  long CreateKeyEx(Hkey base, const char* subKey, std::uint32_t options, std::uint32_t access,
                   Hkey* result) override;
  long CloseKey(Hkey key) override;
  long DeleteKey(Hkey base, const char* subKey, std::uint32_t view) override;
  long DeleteValue(Hkey key, const char* name) override;
  long EnumKeyEx(Hkey key, std::uint32_t index, std::uint32_t bufferLength, std::string* name) override;
  long EnumValue(Hkey key, std::uint32_t index, std::uint32_t bufferLength, std::string* name) override;
  long EnumValueData(Hkey key, std::uint32_t index, std::string* name, std::uint32_t* type,
                     std::string* data) override;
  long QueryInfoKey(Hkey key, RawKeyInfo* info) override;
  long QueryValueEx(Hkey key, const char* name, std::uint32_t* type, std::uint8_t* data,
                    std::uint32_t* size) override;
  long SetValueEx(Hkey key, const char* name, std::uint32_t type, const std::uint8_t* data,
                  std::uint32_t size) override;
  long LoadKey(Hkey root, const char* subKey, const char* file) override;
  long UnLoadKey(Hkey root, const char* subKey) override;
  long SaveKey(Hkey key, const char* file) override;
  bool DbcsEnabled() const override { return dbcs_; }
  bool IsNtFamily() const override { return nt_; }

  struct Key;

 private:
  struct Handle {
    std::shared_ptr<Key> key;
    std::uint32_t access;
  };

  bool CountCall();
  std::shared_ptr<Key> Resolve(Hkey handle, std::uint32_t* access) const;
  // The key behind a handle for a call that needs `right` (0: none), or the error to answer.
  long Use(Hkey handle, std::uint32_t right, std::shared_ptr<Key>* key);
  // With `redirect32`, a walk into HKLM\\SOFTWARE goes on in its WOW6432Node.
  std::shared_ptr<Key> Walk(const std::shared_ptr<Key>& from, const std::string& path, bool create,
                            long* error, bool redirect32 = false);
  // Whether an access with these flags sees the 32-bit view: on 64-bit Windows, a 32-bit program's
  // own view unless it asks for the 64-bit one.
  bool Redirects(std::uint32_t access) const;
  std::shared_ptr<Key> RootKey(Hkey root) const;
  Hkey NewHandle(std::shared_ptr<Key> key, std::uint32_t access);
  std::string PathOf(const Key& key) const;
  long Interfere(const char* call, const Key& key, const std::string& name = "");

  // The calls of the RegistryApi come from any thread (a long list is read by several), one at a
  // time; a hook that calls back in from the same thread goes on.
  std::recursive_mutex mutex_;
  std::map<Hkey, std::shared_ptr<Key>> roots_;
  std::map<Hkey, Handle> handles_;
  Hkey nextHandle_ = 0x1000;
  MemoryFileSystem* files_;
  bool keepsLoadedHives_ = true;
  bool backupRestoreRight_ = false;
  bool dbcs_ = false;
  bool nt_ = true;
  bool wow64_ = false;
  int failFrom_ = -1;
  int calls_ = 0;
  int actionAt_ = -1;
  std::function<void()> action_;
};

}  // namespace platform
