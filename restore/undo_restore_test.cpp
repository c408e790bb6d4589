#include "restore/undo_restore.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "backup/entry_commands.h"
#include "platform/memory/memory_platform.h"
#include "registry/nt_registry.h"
#include "tests/support/registry_snapshot.h"
#include "tests/support/seeded_entries.h"

using namespace platform;
using namespace seeded;

namespace {

const std::string kGreek = "\xce\x95\xce\xbb\xce\xbb\xce\xac";
const std::string kChinese = "\xe5\xbe\xae\xe4\xbf\xa1";

// The seeded entries with two more in other scripts (which go to the Unicode file), and the day's
// undo file.
struct Scene {
  Scene() {
    Seed(p);
    p.registry.SetString(kHkeyLocalMachine, EntryKey(kGreek), "DisplayName", kGreek + " " + kChinese);
    p.registry.SetValue(kHkeyLocalMachine, EntryKey(kGreek + "\\" + kChinese), "\xd0\x96", kRegBinary, "\x01\x02");
    p.registry.SetString(kHkeyLocalMachine, EntryKey("Gamma"), "DisplayName", "Gamma \xc3\xa9");
    p.registry.SetString(kHkeyLocalMachine, EntryKey("Gamma"), "UninstallString", "C:\\Gamma\\u.exe");
  }
  ~Scene() {
    EXPECT_EQ(0, p.registry.OpenHandles()) << "a registry handle leaked";
    EXPECT_EQ(0, p.files.OpenFiles()) << "a file handle leaked";
  }
  static ::Entry Machine(const std::string& keyName) {
    ::Entry entry;
    entry.keyName = keyName;
    return entry;
  }
  void Remove(const std::string& keyName) { RemoveEntryKey(undo, p.registry, Machine(keyName), false); }
  // Every record of the day's two files, the REGEDIT4 file's first.
  std::vector<UndoRecord> Records() {
    std::vector<UndoRecord> records;
    for (const char* file : {kFile, kUnicodeFile}) {
      if (!p.files.FileExistsAt(file)) continue;
      const UndoContents contents = ReadUndoFile(p.files, p.system, file);
      EXPECT_EQ("", contents.problem);
      records.insert(records.end(), contents.records.begin(), contents.records.end());
    }
    return records;
  }
  const UndoRecord& RecordOf(const std::vector<UndoRecord>& records, const std::string& what, const std::string& key) {
    for (const UndoRecord& record : records)
      if (RecordWhat(record) == what && TargetOf(record, false).keyName == key) return record;
    ADD_FAILURE() << "no record " << what << " " << key;
    return records.front();
  }
  std::string Everything() const {
    return p.registry.Dump(kHkeyLocalMachine, "") + p.registry.Dump(kHkeyClassesRoot, "") +
           p.registry.Dump(kHkeyCurrentUser, "");
  }
  regfile::Tree Entry(const std::string& name) { return regfile::Snapshot(p.registry, kHkeyLocalMachine, EntryKey(name)); }

  MemoryPlatform p;
  UndoFile undo{p.files, p.system, BackupFolderOf(p.system.ExecutablePath()), UndoStemOf(p.system.Today())};
};

// The key a record puts back, wherever its key line says it lives.
TEST(UndoRestoreTest, EachRecordNamesItsEntryProductOrKeyAndWhereItLives) {
  const std::string uninstall = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
  const struct {
    const char* rootName;
    Hkey root;
    std::string path;
    bool wow64;
    RecordKind kind;
    std::string keyName, source, keyPath;
    std::uint32_t view;
  } cases[] = {
      {"HKEY_LOCAL_MACHINE", kHkeyLocalMachine, uninstall + "App", false, RecordKind::kEntry, "App", "32-bit",
       uninstall + "App", 0},
      {"HKEY_LOCAL_MACHINE", kHkeyLocalMachine, uninstall + "App", true, RecordKind::kEntry, "App", "64-bit",
       uninstall + "App", kKeyWow6464Key},
      {"HKEY_LOCAL_MACHINE", kHkeyLocalMachine, "\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App",
       true, RecordKind::kEntry, "App", "32-bit", "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App",
       kKeyWow6432Key},
      // On 32-bit Windows WOW6432Node is a key like any other.
      {"HKEY_LOCAL_MACHINE", kHkeyLocalMachine, "\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App",
       false, RecordKind::kOtherKey, "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App",
       "", "\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App", 0},
      {"HKEY_CURRENT_USER", kHkeyCurrentUser, "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + kChinese,
       true, RecordKind::kEntry, kChinese, "user", "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + kChinese, 0},
      {"HKEY_CLASSES_ROOT", kHkeyClassesRoot, "\\Installer\\Products\\0A1B", true, RecordKind::kProduct, "0A1B",
       "machine", "\\Installer\\Products\\0A1B", 0},
      {"HKEY_CURRENT_USER", kHkeyCurrentUser, "\\Software\\Microsoft\\Installer\\Products\\0A1B", false,
       RecordKind::kProduct, "0A1B", "user", "\\Software\\Microsoft\\Installer\\Products\\0A1B", 0},
      {"HKEY_LOCAL_MACHINE", kHkeyLocalMachine, uninstall + "App\\Sub", false, RecordKind::kOtherKey,
       "HKEY_LOCAL_MACHINE" + uninstall + "App\\Sub", "", uninstall + "App\\Sub", 0},
      {"HKEY_USERS", kHkeyUsers, "\\S-1-5-18" + uninstall + "App", false, RecordKind::kOtherKey,
       "HKEY_USERS\\S-1-5-18" + uninstall + "App", "", "\\S-1-5-18" + uninstall + "App", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path + (c.wow64 ? " on 64-bit Windows" : ""));
    UndoRecord record;
    record.root = c.root;
    record.rootName = c.rootName;
    record.keys.push_back({c.path, {}});
    const RecordTarget target = TargetOf(record, c.wow64);
    EXPECT_EQ(c.kind, target.kind);
    EXPECT_EQ(c.keyName, target.keyName);
    EXPECT_EQ(c.source, target.source);
    EXPECT_EQ(c.keyPath, target.key.path);
    EXPECT_EQ(c.view, target.key.place.view);
    EXPECT_EQ(c.root, target.key.place.root);
    // A record without the program's comment is only ever merged, whatever its key.
    EXPECT_FALSE(RestoresWhole(record, target));
  }
}

// Entries removed in several commands, some of them in other scripts, one changed and a product:
// restoring the chosen records brings back exactly those entries, and nothing else changes.
TEST(UndoRestoreTest, OnlyTheChosenRecordsComeBackExactly) {
  Scene s;
  const regfile::Tree alpha = s.Entry("Alpha"), greek = s.Entry(kGreek);
  s.Remove("Alpha");
  s.Remove(kGreek);
  s.Remove("Gamma");
  Product product;
  product.keyName = "0A1B2C";
  RemoveInstallerProduct(s.undo, s.p.registry, product);
  ChangeUninstallString(s.undo, s.p.registry, Scene::Machine("Beta"), false, "C:\\Beta\\new.exe");
  const std::string removed = s.Everything();

  const std::vector<UndoRecord> records = s.Records();
  ASSERT_EQ(5u, records.size());
  const struct {
    const char* what;
    std::string key;
    RecordState state;
  } listed[] = {
      {"removed entry", "Alpha", RecordState::kAbsent},
      {"removed entry", "Gamma", RecordState::kAbsent},
      {"removed installer product", "0A1B2C", RecordState::kAbsent},
      {"changed the uninstall command of", "Beta", RecordState::kDifferent},
      {"removed entry", kGreek, RecordState::kAbsent},
  };
  for (const auto& l : listed) EXPECT_EQ(l.state, StateOf(s.p.registry, s.RecordOf(records, l.what, l.key), false)) << l.key;

  for (const std::string& key : {std::string("Alpha"), kGreek}) {
    const RecordRestore restore = RestoreRecord(s.p.registry, s.undo, s.RecordOf(records, "removed entry", key), false);
    EXPECT_TRUE(restore.restored) << restore.problem;
    EXPECT_EQ("", restore.undoFile) << "nothing was there to overwrite";
  }
  EXPECT_EQ(regfile::Describe(alpha), regfile::Describe(s.Entry("Alpha")));
  EXPECT_EQ(regfile::Describe(greek), regfile::Describe(s.Entry(kGreek)));
  EXPECT_TRUE(s.Entry("Gamma").empty()) << "not chosen, it stays gone";
  EXPECT_EQ(RecordState::kPresent, StateOf(s.p.registry, s.RecordOf(records, "removed entry", "Alpha"), false));
  // Everything else is as it was after the removals.
  TNTRegistry reg(s.p.registry);
  reg.SetRoot(kHkeyLocalMachine);
  for (const std::string& key : {std::string("Alpha"), kGreek}) reg.DeleteTree("\\" + EntryKey(key));
  EXPECT_EQ(removed, s.Everything());

  // The change goes back into its entry; the new command it overwrites goes to the undo file.
  const RecordRestore change =
      RestoreRecord(s.p.registry, s.undo, s.RecordOf(records, "changed the uninstall command of", "Beta"), false);
  EXPECT_TRUE(change.restored) << change.problem;
  EXPECT_EQ(kFile, change.undoFile);
  const std::string undo = s.p.files.Content(kFile);
  EXPECT_NE(std::string::npos, undo.find(Comment("restored the values of", "Beta", "32-bit") + "\r\n" + kEntryLine +
                                         "Beta]\r\n\"UninstallString\"=\"C:\\\\Beta\\\\new.exe\"\r\n\r\n"));
  reg.OpenPath("\\" + EntryKey("Beta"), false);
  EXPECT_EQ("C:\\Beta\\remove.exe /x", reg.ReadText("UninstallString"));
  EXPECT_EQ("Beta", reg.ReadText("DisplayName")) << "the entry's other values stay";
  reg.ClosePath();
  // Restoring it again finds it there: nothing is written.
  const std::string before = s.p.files.Content(kFile);
  EXPECT_TRUE(RestoreRecord(s.p.registry, s.undo, s.RecordOf(records, "changed the uninstall command of", "Beta"), false).restored);
  EXPECT_EQ(before, s.p.files.Content(kFile));
}

// An entry there now is replaced whole, and goes to the undo file first, with its comment: restoring
// that record gives it back in turn. A record holding values only never removes anything.
TEST(UndoRestoreTest, WhatARestoreReplacesGoesToTheUndoFileAndComesBackFromIt) {
  Scene s;
  const regfile::Tree alpha = s.Entry("Alpha");
  s.Remove("Alpha");
  // Installed again meanwhile: other values, another subkey.
  s.p.registry.SetString(kHkeyLocalMachine, EntryKey("Alpha"), "DisplayName", "Alpha Tool 2 " + kGreek);
  s.p.registry.SetString(kHkeyLocalMachine, EntryKey("Alpha\\Newer"), "Note", "only in the new one");
  const regfile::Tree reinstalled = s.Entry("Alpha");
  std::vector<UndoRecord> records = s.Records();
  ASSERT_EQ(1u, records.size());
  EXPECT_EQ(RecordState::kDifferent, StateOf(s.p.registry, records[0], false));

  const RecordRestore restore = RestoreRecord(s.p.registry, s.undo, records[0], false);
  EXPECT_TRUE(restore.restored) << restore.problem;
  EXPECT_EQ(kUnicodeFile, restore.undoFile) << "the reinstalled entry's Greek name takes the Unicode file";
  EXPECT_EQ(regfile::Describe(alpha), regfile::Describe(s.Entry("Alpha"))) << "nothing of the new one is left";

  records = s.Records();
  ASSERT_EQ(2u, records.size());
  const UndoRecord& replaced = s.RecordOf(records, "restored entry", "Alpha");
  EXPECT_EQ("Alpha Tool 2 " + kGreek, replaced.comment->name);
  EXPECT_TRUE(RestoreRecord(s.p.registry, s.undo, replaced, false).restored);
  EXPECT_EQ(regfile::Describe(reinstalled), regfile::Describe(s.Entry("Alpha")));
}

TEST(UndoRestoreTest, StateOfARecord) {
  const std::string kKeyLine = std::string(kEntryLine) + "T]\r\n";
  const std::string kSub = std::string(kEntryLine) + "T\\S]\r\n";
  const std::string kRemoved = Comment("removed entry", "T", "32-bit") + "\r\n";
  const struct {
    const char* what;
    std::string lines;
    std::function<void(MemoryRegistry&)> arrange;
    RecordState state;
  } cases[] = {
      {"gone", kRemoved + kKeyLine + "\"A\"=\"1\"\r\n", [](MemoryRegistry&) {}, RecordState::kAbsent},
      {"the same", kRemoved + kKeyLine + "\"A\"=\"1\"\r\n" + kSub,
       [](MemoryRegistry& r) {
         r.SetString(kHkeyLocalMachine, EntryKey("T"), "a", "1");
         r.AddKey(kHkeyLocalMachine, EntryKey("T\\S"));
       },
       RecordState::kPresent},
      {"another value", kRemoved + kKeyLine + "\"A\"=\"1\"\r\n",
       [](MemoryRegistry& r) { r.SetString(kHkeyLocalMachine, EntryKey("T"), "A", "2"); }, RecordState::kDifferent},
      {"another type", kRemoved + kKeyLine + "\"A\"=\"1\"\r\n",
       [](MemoryRegistry& r) { r.SetString(kHkeyLocalMachine, EntryKey("T"), "A", "1", kRegExpandSz); },
       RecordState::kDifferent},
      {"a value more than a removal took", kRemoved + kKeyLine + "\"A\"=\"1\"\r\n",
       [](MemoryRegistry& r) {
         r.SetString(kHkeyLocalMachine, EntryKey("T"), "A", "1");
         r.SetString(kHkeyLocalMachine, EntryKey("T"), "B", "2");
       },
       RecordState::kDifferent},
      {"a subkey missing", kRemoved + kKeyLine + kSub,
       [](MemoryRegistry& r) { r.AddKey(kHkeyLocalMachine, EntryKey("T")); }, RecordState::kDifferent},
      {"a value more than a change's record holds",
       Comment("changed the uninstall command of", "T", "32-bit") + "\r\n" + kKeyLine + "\"A\"=\"1\"\r\n",
       [](MemoryRegistry& r) {
         r.SetString(kHkeyLocalMachine, EntryKey("T"), "A", "1");
         r.SetString(kHkeyLocalMachine, EntryKey("T"), "B", "2");
       },
       RecordState::kPresent},
      {"unreadable", kRemoved + kKeyLine + "\"A\"=hex:zz\r\n", [](MemoryRegistry&) {}, RecordState::kUnreadable},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryPlatform p;
    c.arrange(p.registry);
    const UndoContents contents = ReadUndoText(p.system, "REGEDIT4\r\n\r\n" + c.lines);
    ASSERT_EQ(1u, contents.records.size());
    EXPECT_EQ(c.state, StateOf(p.registry, contents.records[0], false));
  }
}

// Nothing is restored in part, and nothing is changed, where a restore cannot be done whole: an
// unreadable record, a change whose entry is gone, rights the registry refuses, an entry there now
// that cannot be removed whole first.
TEST(UndoRestoreTest, ARestoreThatCannotBeDoneWholeChangesNothingItCannotBackUp) {
  const std::string kKeyLine = std::string(kEntryLine) + "T]\r\n";
  const std::string kRemoved = Comment("removed entry", "T", "32-bit") + "\r\n";
  const struct {
    const char* what;
    std::string lines;
    std::function<void(MemoryRegistry&)> arrange;
    std::string problem;
    bool accessDenied;
    bool undoLines;  // what was removed before the stop is in the undo file
  } cases[] = {
      {"unreadable", kRemoved + kKeyLine + "\"A\"=\"1\"\r\n\"B\"=hex:zz\r\n", [](MemoryRegistry&) {},
       "the backup cannot be read at line 6: hexadecimal bytes that cannot be read", false, false},
      {"a change whose entry is gone",
       Comment("changed the uninstall command of", "T", "32-bit") + "\r\n" + kKeyLine + "\"UninstallString\"=\"x\"\r\n",
       [](MemoryRegistry&) {}, "the key it belongs to is not there any more", false, false},
      {"an entry there that may not be changed", kRemoved + kKeyLine + "\"A\"=\"1\"\r\n",
       [](MemoryRegistry& r) {
         r.SetString(kHkeyLocalMachine, EntryKey("T"), "A", "2");
         r.LimitAccess(kHkeyLocalMachine, EntryKey("T"), kKeyRead);
       },
       "the registry refused it for lack of rights", true, false},
      {"a list that takes no new entry", kRemoved + kKeyLine + "\"A\"=\"1\"\r\n",
       [](MemoryRegistry& r) { r.LimitAccess(kHkeyLocalMachine, kEntries, kKeyRead); },
       "the registry refused it for lack of rights", true, false},
      {"a subkey of the entry there that refuses its deletion", kRemoved + kKeyLine + "\"A\"=\"1\"\r\n",
       [](MemoryRegistry& r) {
         r.SetString(kHkeyLocalMachine, EntryKey("T"), "A", "2");
         r.SetString(kHkeyLocalMachine, EntryKey("T\\Locked"), "L", "l");
         r.LimitAccess(kHkeyLocalMachine, EntryKey("T\\Locked"), kKeyRead);
       },
       "Tidewell partly removed 'T (32-bit)'", true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryPlatform p;
    c.arrange(p.registry);
    UndoFile undo(p.files, p.system, BackupFolderOf(p.system.ExecutablePath()), UndoStemOf(p.system.Today()));
    const UndoContents contents = ReadUndoText(p.system, "REGEDIT4\r\n\r\n" + c.lines);
    ASSERT_EQ(1u, contents.records.size());
    const std::string before = p.registry.Dump(kHkeyLocalMachine, kEntries);
    const RecordRestore restore = RestoreRecord(p.registry, undo, contents.records[0], false);
    EXPECT_FALSE(restore.restored);
    EXPECT_EQ(c.accessDenied, restore.accessDenied);
    EXPECT_EQ(0u, restore.problem.find(c.problem)) << restore.problem;
    EXPECT_EQ(c.undoLines, p.files.FileExistsAt(kFile));
    if (!c.undoLines) { EXPECT_EQ(before, p.registry.Dump(kHkeyLocalMachine, kEntries)); }
    if (c.undoLines) {
      EXPECT_FALSE(p.registry.Dump(kHkeyLocalMachine, EntryKey("T")).find("\"A\"") != std::string::npos)
          << "the value that went is in the undo file; the record's value was not written over what stays";
      EXPECT_NE(std::string::npos, p.files.Content(kFile).find("\"A\"=\"2\""));
    }
    EXPECT_EQ(0, p.registry.OpenHandles());
  }
}

// Lines written before the comments, or by hand, are merged as the registry editor would merge
// them, keys in any order: nothing of the key there is removed, what is overwritten is backed up.
TEST(UndoRestoreTest, ARecordWithoutTheProgramsCommentIsMerged) {
  MemoryPlatform p;
  p.registry.SetString(kHkeyLocalMachine, EntryKey("T"), "Kept", "kept");
  p.registry.SetString(kHkeyLocalMachine, EntryKey("T"), "A", "old");
  UndoFile undo(p.files, p.system, BackupFolderOf(p.system.ExecutablePath()), UndoStemOf(p.system.Today()));
  const UndoContents contents =
      ReadUndoText(p.system, "REGEDIT4\r\n\r\n" + std::string(kEntryLine) + "T]\r\n\"A\"=\"new\"\r\n" + kEntryLine +
                                 "T\\S\\Deep]\r\n\"D\"=dword:00000001\r\n" + kEntryLine + "T\\S]\r\n@=\"s\"\r\n");
  ASSERT_EQ(1u, contents.records.size());
  const RecordRestore restore = RestoreRecord(p.registry, undo, contents.records[0], false);
  EXPECT_TRUE(restore.restored) << restore.problem;
  regfile::Tree now = regfile::Snapshot(p.registry, kHkeyLocalMachine, EntryKey("T"));
  EXPECT_EQ(3u, now.size());
  EXPECT_EQ(Wide(std::string("new\0", 4)), now.at(regfile::Upper(EntryKey("T"))).at("A").bytes);
  EXPECT_EQ(Wide(std::string("kept\0", 5)), now.at(regfile::Upper(EntryKey("T"))).at("KEPT").bytes);
  EXPECT_EQ(std::string("\x01\0\0\0", 4), now.at(regfile::Upper(EntryKey("T\\S\\Deep"))).at("D").bytes);
  EXPECT_NE(std::string::npos, p.files.Content(kFile).find("restored the values of \"T\" (32-bit)\r\n" +
                                                           std::string(kEntryLine) + "T]\r\n\"A\"=\"old\"\r\n"));
}

}  // namespace
