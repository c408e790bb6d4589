#include "restore/hive_restore.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "backup/undo_file.h"
#include "inventory/entry.h"
#include "platform/memory/memory_platform.h"
#include "registry/nt_registry.h"
#include "tests/support/seeded_entries.h"

using namespace platform;

namespace {

const std::string kEntry = std::string(kUninstallKey) + "Sample App";
const std::string kEntryDump = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Sample App";

// The in-memory registry with its hive rights bound to the token: loading, unloading and saving
// work only while both privileges are switched on, as on Windows and Wine. It also records which
// hive calls were made, and can refuse to store values.
class TokenBoundRegistry : public RegistryApi {
 public:
  TokenBoundRegistry(MemoryRegistry& mem, MemorySystem& system) : mem_(mem), system_(system) {}
  std::vector<std::string> hiveCalls;
  bool refuseValues = false;
  // A key of that name does not open, or the listing of values fails (where something is mounted).
  std::string refuseOpening;
  bool failValueListing = false;
  // As Wine does: a load that fails leaves the mount point made, empty.
  bool failedLoadLeavesKey = false;

  long OpenKeyEx(Hkey b, const char* s, std::uint32_t a, Hkey* r) override {
    if (!refuseOpening.empty() && refuseOpening == s && mem_.KeyExists(kHkeyLocalMachine, "TEMP_KEY")) return kErrorAccessDenied;
    return mem_.OpenKeyEx(b, s, a, r);
  }
  long CreateKeyEx(Hkey b, const char* s, std::uint32_t o, std::uint32_t a, Hkey* r) override {
    return mem_.CreateKeyEx(b, s, o, a, r);
  }
  long CloseKey(Hkey k) override { return mem_.CloseKey(k); }
  long DeleteKey(Hkey b, const char* s, std::uint32_t v) override { return mem_.DeleteKey(b, s, v); }
  long DeleteValue(Hkey k, const char* n) override { return mem_.DeleteValue(k, n); }
  long EnumKeyEx(Hkey k, std::uint32_t i, std::uint32_t l, std::string* n) override { return mem_.EnumKeyEx(k, i, l, n); }
  long EnumValue(Hkey k, std::uint32_t i, std::uint32_t l, std::string* n) override { return mem_.EnumValue(k, i, l, n); }
  long EnumValueData(Hkey k, std::uint32_t i, std::string* n, std::uint32_t* t, std::string* d) override {
    if (failValueListing && mem_.KeyExists(kHkeyLocalMachine, "TEMP_KEY")) return kErrorNotEnoughMemory;
    return mem_.EnumValueData(k, i, n, t, d);
  }
  long QueryInfoKey(Hkey k, RawKeyInfo* i) override { return mem_.QueryInfoKey(k, i); }
  long QueryValueEx(Hkey k, const char* n, std::uint32_t* t, std::uint8_t* d, std::uint32_t* s) override {
    return mem_.QueryValueEx(k, n, t, d, s);
  }
  long SetValueEx(Hkey k, const char* n, std::uint32_t t, const std::uint8_t* d, std::uint32_t s) override {
    if (refuseValues) return kErrorAccessDenied;
    return mem_.SetValueEx(k, n, t, d, s);
  }
  long LoadKey(Hkey root, const char* subKey, const char* file) override {
    hiveCalls.push_back(std::string("load ") + subKey + Rights());
    BindRights();
    const long result = mem_.LoadKey(root, subKey, file);
    if (result != kErrorSuccess && failedLoadLeavesKey && !mem_.KeyExists(root, subKey)) {
      mem_.AddKey(root, subKey);
      leftKey = true;
    }
    return result;
  }
  long UnLoadKey(Hkey root, const char* subKey) override {
    hiveCalls.push_back(std::string("unload ") + subKey + Rights());
    BindRights();
    if (leftKey) {
      // Wine's unload deletes whatever key it is given.
      leftKey = false;
      return mem_.DeleteKey(root, subKey, 0);
    }
    return mem_.UnLoadKey(root, subKey);
  }
  long SaveKey(Hkey key, const char* file) override {
    hiveCalls.push_back(std::string("save") + Rights());
    BindRights();
    return mem_.SaveKey(key, file);
  }
  bool DbcsEnabled() const override { return mem_.DbcsEnabled(); }
  bool IsNtFamily() const override { return mem_.IsNtFamily(); }

 private:
  bool Held(const char* name) { return system_.privileges.count(name) && system_.privileges[name]; }
  std::string Rights() {
    return std::string(Held("SeBackupPrivilege") ? " +backup" : "") + (Held("SeRestorePrivilege") ? " +restore" : "");
  }
  void BindRights() { mem_.SetBackupRestoreRight(Held("SeBackupPrivilege") && Held("SeRestorePrivilege")); }

  MemoryRegistry& mem_;
  MemorySystem& system_;
  bool leftKey = false;
};

const std::string kBackup = "C:\\Tools\\Tidewell\\Backup\\";

class HiveRestoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SeedEntry();
    hive = kBackup + "Sample App";
    mp.files.AddFolder(undo.Folder());
    ASSERT_TRUE(SaveHive(platformWithRights, undo, kEntry, hive, true));
    saved = Dump();
    ClearLogs();
  }
  void TearDown() override {
    EXPECT_EQ(0, mp.registry.OpenHandles()) << "a registry handle leaked";
    EXPECT_EQ(0, mp.system.openMutexes) << "the restore lock's handle leaked";
    EXPECT_EQ(0, mp.system.openTokens) << "the token's handle leaked";
    EXPECT_FALSE(mp.registry.KeyExists(kHkeyLocalMachine, "TEMP_KEY")) << "the hive stayed mounted";
    EXPECT_FALSE(mp.system.privileges["SeBackupPrivilege"]);
    EXPECT_FALSE(mp.system.privileges["SeRestorePrivilege"]);
  }

  void SeedEntry() {
    mp.registry.SetString(kHkeyLocalMachine, kEntryDump, "DisplayName", "Sample App 1.0");
    mp.registry.SetString(kHkeyLocalMachine, kEntryDump, "InstallLocation", "C:\\Sample", kRegExpandSz);
    mp.registry.SetValue(kHkeyLocalMachine, kEntryDump, "EstimatedSize", kRegDword, std::string("\x10\x27\0\0", 4));
    mp.registry.SetValue(kHkeyLocalMachine, kEntryDump, "Empty", kRegBinary, "");
    mp.registry.SetValue(kHkeyLocalMachine, kEntryDump, "Big", kRegQword, std::string(8, '\x7f'));
    mp.registry.SetString(kHkeyLocalMachine, kEntryDump + "\\Parts\\Deep", "", "default text");
  }
  std::string Dump() { return mp.registry.Dump(kHkeyLocalMachine, kEntryDump); }
  void DeleteEntry() {
    TNTRegistry reg(mp.registry);
    reg.SetRoot(kHkeyLocalMachine);
    ASSERT_TRUE(reg.DeleteTree(kEntry));
  }
  void ClearLogs() {
    bound.hiveCalls.clear();
    mp.system.privilegeLog.clear();
    mp.system.mutexLog.clear();
  }
  std::string Undo() { return mp.files.Content(undo.FileName()); }

  MemoryPlatform mp;
  TokenBoundRegistry bound{mp.registry, mp.system};
  Platform platformWithRights{bound, mp.files, mp.system, mp.processes, mp.ui};
  UndoFile undo{mp.files, mp.system, BackupFolderOf(mp.system.ExecutablePath()), UndoStemOf(mp.system.Today())};
  std::string hive;
  std::string saved;
};

TEST_F(HiveRestoreTest, ARemovedEntryComesBackValueByValue) {
  DeleteEntry();
  EXPECT_TRUE(SaveHive(platformWithRights, undo, kEntry, hive, false));
  EXPECT_EQ(saved, Dump()) << "every value, with its type and bytes, and every subkey";
  EXPECT_EQ((std::vector<std::string>{"load TEMP_KEY +backup +restore", "unload TEMP_KEY +backup +restore"}),
            bound.hiveCalls);
  EXPECT_EQ((std::vector<std::string>{"enable SeBackupPrivilege", "enable SeRestorePrivilege",
                                      "disable SeBackupPrivilege", "disable SeRestorePrivilege"}),
            mp.system.privilegeLog);
  EXPECT_EQ((std::vector<std::string>{"create REG_RESTORE new", "release REG_RESTORE", "close REG_RESTORE"}),
            mp.system.mutexLog);
  EXPECT_FALSE(mp.files.FileExistsAt(undo.FileName())) << "nothing was there to back up";
}

TEST_F(HiveRestoreTest, AnExistingEntryIsReplacedAndKeptInTheUndoFile) {
  mp.registry.SetString(kHkeyLocalMachine, kEntryDump, "DisplayName", "Sample App 2.0");
  mp.registry.SetString(kHkeyLocalMachine, kEntryDump, "Added Later", "only in the registry");
  mp.registry.SetString(kHkeyLocalMachine, kEntryDump + "\\New Part", "Note", "new subkey");
  EXPECT_TRUE(SaveHive(platformWithRights, undo, kEntry, hive, false));
  EXPECT_EQ(saved, Dump()) << "what the hive does not hold is gone";
  const std::string undo = Undo();
  EXPECT_NE(std::string::npos, undo.find(seeded::Comment("restored entry", "Sample App 2.0", "32-bit") +
                                         "\r\n[HKEY_LOCAL_MACHINE" + kEntry + "]\r\n"));
  EXPECT_NE(std::string::npos, undo.find("\"DisplayName\"=\"Sample App 2.0\""));
  EXPECT_NE(std::string::npos, undo.find("\"Added Later\"=\"only in the registry\""));
  EXPECT_NE(std::string::npos, undo.find("[HKEY_LOCAL_MACHINE" + kEntry + "\\New Part]"));
}

TEST_F(HiveRestoreTest, AHiveThatCannotBeMountedLeavesTheEntryAsItWas) {
  mp.files.AddFile(kBackup + "not a hive", "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\X]\r\n");
  const struct {
    const char* why;
    std::function<void()> arrange;
    std::string file;
    std::vector<std::string> hiveCalls;
  } cases[] = {
      {"not a hive", [] {}, kBackup + "not a hive", {"load TEMP_KEY +backup +restore"}},
      {"the restore right is unknown to the system",
       [this] { mp.system.privileges.erase("SeRestorePrivilege"); }, hive, {"load TEMP_KEY +backup"}},
      {"the token cannot be opened", [this] { mp.system.tokenOpens = false; }, hive, {"load TEMP_KEY"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    c.arrange();
    ClearLogs();
    EXPECT_FALSE(SaveHive(platformWithRights, undo, kEntry, c.file, false));
    EXPECT_EQ(saved, Dump());
    EXPECT_EQ(c.hiveCalls, bound.hiveCalls) << "never an unload of what was not mounted";
    EXPECT_FALSE(mp.files.FileExistsAt(undo.FileName()));
    EXPECT_EQ((std::vector<std::string>{"create REG_RESTORE new", "release REG_RESTORE", "close REG_RESTORE"}),
              mp.system.mutexLog);
    mp.system.privileges["SeRestorePrivilege"] = false;
    mp.system.tokenOpens = true;
  }
}

TEST_F(HiveRestoreTest, AMountedHiveThatCannotBeReadLeavesTheEntryAsItWas) {
  mp.registry.interfere = [](const std::string& call, const std::string& path, const std::string&) {
    return call == "open" && path == "HKLM\\TEMP_KEY" ? kErrorAccessDenied : kErrorSuccess;
  };
  EXPECT_FALSE(SaveHive(platformWithRights, undo, kEntry, hive, false));
  mp.registry.interfere = nullptr;
  EXPECT_EQ(saved, Dump()) << "the existing entry is neither removed nor replaced by nothing";
  EXPECT_FALSE(mp.files.FileExistsAt(undo.FileName()));
  EXPECT_EQ((std::vector<std::string>{"load TEMP_KEY +backup +restore", "unload TEMP_KEY +backup +restore"}),
            bound.hiveCalls);
}

TEST_F(HiveRestoreTest, AMountPointInUseIsNeitherOverwrittenNorUnloaded) {
  mp.registry.SetString(kHkeyLocalMachine, "TEMP_KEY", "Owner", "someone else");
  const std::string before = mp.registry.Dump(kHkeyLocalMachine, "TEMP_KEY");
  EXPECT_FALSE(SaveHive(platformWithRights, undo, kEntry, hive, false));
  EXPECT_EQ(saved, Dump());
  EXPECT_EQ(before, mp.registry.Dump(kHkeyLocalMachine, "TEMP_KEY"));
  EXPECT_EQ((std::vector<std::string>{"load TEMP_KEY +backup +restore"}), bound.hiveCalls);
  TNTRegistry reg(mp.registry);
  reg.SetRoot(kHkeyLocalMachine);
  reg.DeleteTree("\\TEMP_KEY");
}

TEST_F(HiveRestoreTest, AMountPointLeftByAFailedLoadIsTakenAwayAndOnlyThen) {
  mp.files.AddFile(kBackup + "junk", "junk");
  bound.failedLoadLeavesKey = true;
  EXPECT_FALSE(SaveHive(platformWithRights, undo, kEntry, kBackup + "junk", false));
  EXPECT_EQ((std::vector<std::string>{"load TEMP_KEY +backup +restore", "unload TEMP_KEY +backup +restore"}),
            bound.hiveCalls);
  EXPECT_EQ(saved, Dump());
  ClearLogs();
  DeleteEntry();
  EXPECT_TRUE(SaveHive(platformWithRights, undo, kEntry, hive, false)) << "the next restore finds the mount point free";
  EXPECT_EQ(saved, Dump());
}

TEST_F(HiveRestoreTest, TheTokensEarlierStateComesBack) {
  mp.system.privileges["SeBackupPrivilege"] = true;
  DeleteEntry();
  EXPECT_TRUE(SaveHive(platformWithRights, undo, kEntry, hive, false));
  EXPECT_EQ((std::vector<std::string>{"enable SeBackupPrivilege", "enable SeRestorePrivilege",
                                      "disable SeRestorePrivilege"}),
            mp.system.privilegeLog);
  EXPECT_TRUE(mp.system.privileges["SeBackupPrivilege"]) << "a privilege that was on stays on";
  mp.system.privileges["SeBackupPrivilege"] = false;

  mp.system.ntFamily = false;
  ClearLogs();
  EXPECT_FALSE(SaveHive(platformWithRights, undo, kEntry, hive, false)) << "no token outside the NT family, so no rights";
  EXPECT_TRUE(mp.system.privilegeLog.empty());
}

TEST_F(HiveRestoreTest, ARestoreWaitsForTheOneThatHoldsTheLock) {
  DeleteEntry();
  mp.system.mutexHeld[kRestoreMutexName] = true;
  bool touchedWhileWaiting = true;
  mp.system.onMutexWait = [&](const std::string& name) {
    touchedWhileWaiting = !bound.hiveCalls.empty() || mp.registry.KeyExists(kHkeyLocalMachine, kEntryDump);
    mp.system.mutexHeld[name] = false;
  };
  EXPECT_TRUE(SaveHive(platformWithRights, undo, kEntry, hive, false));
  EXPECT_FALSE(touchedWhileWaiting);
  EXPECT_EQ(saved, Dump());
  EXPECT_EQ((std::vector<std::string>{"create REG_RESTORE exists", "wait REG_RESTORE", "release REG_RESTORE",
                                      "close REG_RESTORE"}),
            mp.system.mutexLog);
  EXPECT_FALSE(mp.system.mutexHeld[kRestoreMutexName]);
}

// A copy that the registry refuses in part is no restore: the message names what is missing, and the
// entry it replaced is still in the undo file; the hive is unmounted and the lock let go.
TEST_F(HiveRestoreTest, ACopyThatDiffersFromTheBackupIsNotSaidToBeRestored) {
  mp.registry.SetString(kHkeyLocalMachine, kEntryDump, "DisplayName", "Sample App 2.0");
  bound.refuseValues = true;
  std::string problem;
  EXPECT_FALSE(SaveHive(platformWithRights, undo, kEntry, hive, false, RegistryPlace{}, &problem));
  EXPECT_EQ("not restored: 6 values, the value \"DisplayName\" of the key first; the entry it replaced is in the undo "
            "file " + undo.FileName(),
            problem);
  EXPECT_NE(std::string::npos, Undo().find("\"DisplayName\"=\"Sample App 2.0\""));
  EXPECT_EQ("unload TEMP_KEY +backup +restore", bound.hiveCalls.back());
  EXPECT_EQ("create REG_RESTORE new", mp.system.mutexLog.front());
  EXPECT_EQ((std::vector<std::string>{"release REG_RESTORE", "close REG_RESTORE"}),
            std::vector<std::string>(mp.system.mutexLog.end() - 2, mp.system.mutexLog.end()));
}

// A backup that cannot be read whole once mounted (a key that does not open, values that cannot be
// listed) changes nothing: the entry stays as it was and nothing goes to the undo file.
TEST_F(HiveRestoreTest, ABackupThatCannotBeReadWholeChangesNothing) {
  mp.registry.SetString(kHkeyLocalMachine, kEntryDump, "DisplayName", "Sample App 2.0");
  const std::string before = Dump();
  const struct {
    const char* what;
    std::function<void()> arrange;
    std::string problem;
  } cases[] = {
      {"a key that does not open", [&] { bound.refuseOpening = "Deep"; },
       "nothing was changed: Parts\\Deep cannot be opened (error 5)"},
      {"values that cannot be listed", [&] { bound.failValueListing = true; },
       "nothing was changed: a value of the top key cannot be read (error 8)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    bound.refuseOpening.clear();
    bound.failValueListing = false;
    c.arrange();
    std::string problem;
    EXPECT_FALSE(SaveHive(platformWithRights, undo, kEntry, hive, false, RegistryPlace{}, &problem));
    EXPECT_EQ(c.problem, problem);
    EXPECT_EQ(before, Dump());
    EXPECT_FALSE(mp.files.FileExistsAt(undo.FileName()));
  }
  bound.refuseOpening.clear();
  bound.failValueListing = false;
}

TEST_F(HiveRestoreTest, AnEntryThatCannotBeRemovedWhollyIsNotRestoredOnto) {
  mp.registry.LimitAccess(kHkeyLocalMachine, kEntryDump + "\\Parts\\Deep", kKeyRead);
  mp.registry.SetString(kHkeyLocalMachine, kEntryDump, "DisplayName", "Sample App 2.0");
  EXPECT_FALSE(SaveHive(platformWithRights, undo, kEntry, hive, false));
  EXPECT_TRUE(mp.registry.KeyExists(kHkeyLocalMachine, kEntryDump + "\\Parts\\Deep"));
  EXPECT_EQ(std::string::npos, Dump().find("EstimatedSize")) << "nothing of the hive was merged in";
  EXPECT_NE(std::string::npos, Undo().find("\"DisplayName\"=\"Sample App 2.0\"")) << "what was removed is backed up";
  mp.registry.LimitAccess(kHkeyLocalMachine, kEntryDump + "\\Parts\\Deep", kKeyAllAccess);
}

TEST_F(HiveRestoreTest, AMissingFileTouchesNothing) {
  EXPECT_FALSE(SaveHive(platformWithRights, undo, kEntry, hive + ".gone", false));
  mp.files.AddFolder(hive + ".dir");
  EXPECT_FALSE(SaveHive(platformWithRights, undo, kEntry, hive + ".dir", false)) << "a folder is no hive file";
  EXPECT_EQ(saved, Dump());
  EXPECT_TRUE(bound.hiveCalls.empty());
  EXPECT_TRUE(mp.system.mutexLog.empty());
}

TEST_F(HiveRestoreTest, SavingReplacesAFileButNeverWritesOverOne) {
  mp.registry.SetString(kHkeyLocalMachine, kEntryDump, "DisplayName", "Sample App 2.0");
  const std::string second = Dump();
  EXPECT_TRUE(SaveHive(platformWithRights, undo, kEntry, hive, true)) << "the old file is deleted first";
  DeleteEntry();
  EXPECT_TRUE(SaveHive(platformWithRights, undo, kEntry, hive, false));
  EXPECT_EQ(second, Dump()) << "the file holds the second save";

  const struct {
    const char* why;
    std::function<void(const std::string&)> arrange;
  } refused[] = {
      {"a read-only file that cannot be deleted", [this](const std::string& f) {
         mp.files.AddFile(f, "keep me", kFileAttributeReadOnly);
       }},
      {"a folder of that name", [this](const std::string& f) { mp.files.AddFolder(f); }},
  };
  int n = 0;
  for (const auto& c : refused) {
    SCOPED_TRACE(c.why);
    const std::string file = kBackup + "refused" + std::to_string(n++);
    c.arrange(file);
    ClearLogs();
    EXPECT_FALSE(SaveHive(platformWithRights, undo, kEntry, file, true));
    EXPECT_TRUE(bound.hiveCalls.empty()) << "the save is not tried onto something that is there";
  }
  EXPECT_EQ("keep me", mp.files.Content(kBackup + "refused0"));
}

}  // namespace
