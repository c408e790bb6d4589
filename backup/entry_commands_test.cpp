#include "backup/entry_commands.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "backup/in_out_error.h"
#include "platform/memory/memory_platform.h"
#include "platform/text_encoding.h"
#include "registry/nt_registry.h"
#include "tests/support/reg_file_reader.h"
#include "tests/support/registry_snapshot.h"
#include "tests/support/seeded_entries.h"
#include "tests/support/stopping_files.h"

using namespace platform;
using namespace seeded;

namespace {

// The seeded platform and the day's undo file; with `stoppable`, the undo file's calls go through a
// file system that can end the program at a chosen call.
struct Scene {
  explicit Scene(bool stoppable = false)
      : undo(stoppable ? static_cast<FileSystem&>(stopping) : p.files, p.system,
             BackupFolderOf(p.system.ExecutablePath()), UndoStemOf(p.system.Today())) {
    Seed(p);
  }
  ~Scene() {
    EXPECT_EQ(0, p.registry.OpenHandles()) << "a registry handle leaked";
    EXPECT_EQ(0, p.files.OpenFiles()) << "a file handle leaked";
  }

  // The machine's entry of that key name.
  static ::Entry Machine(const std::string& keyName) {
    ::Entry entry;
    entry.keyName = keyName;
    return entry;
  }
  RemovalOutcome Remove(const std::string& keyName) { return RemoveEntryKey(undo, p.registry, Machine(keyName), false); }
  CommandChange Change(const std::string& keyName, const std::string& text) {
    return ChangeUninstallString(undo, p.registry, Machine(keyName), false, text);
  }
  std::string Undo() const { return p.files.FileExistsAt(kFile) ? p.files.Content(kFile) : "(no file)"; }
  // The Uninstall key with the day's undo files merged over it, as the registry editor would leave
  // it: the REGEDIT4 file read in the system's code page, and the Unicode one.
  regfile::Tree Merged() {
    regfile::Tree merged = regfile::Snapshot(p.registry, kHkeyLocalMachine, kEntries);
    const regfile::AnsiDecoder decode = [this](const std::string& ansi) { return p.system.FromAnsiCodePage(ansi); };
    for (const char* file : {kFile, kUnicodeFile})
      if (p.files.FileExistsAt(file)) regfile::Read(p.files.Content(file), decode).ApplyTo(merged, "HKEY_LOCAL_MACHINE");
    return regfile::Subtree(merged, kEntries);
  }

  MemoryPlatform p;
  StoppingFiles stopping{p.files};
  UndoFile undo;
};

class EntryCommandsTest : public ::testing::Test {
 protected:
  Scene s;
  MemoryPlatform& p = s.p;
};

TEST_F(EntryCommandsTest, AnEmptyKeyNameIsRefused) {
  const std::string before = p.registry.Dump(kHkeyLocalMachine, kEntries);
  EXPECT_TRUE(s.Remove("").Complete());
  EXPECT_EQ(CommandChange::kNotChanged, s.Change("", "x"));
  EXPECT_EQ(before, p.registry.Dump(kHkeyLocalMachine, kEntries));
  EXPECT_EQ("(no file)", s.Undo());
}

// Another program removed the entry after the list was read: nothing is written, and the outcome
// says that it was gone, not that it was removed.
TEST_F(EntryCommandsTest, AnEntryThatIsGoneWritesNothingAndSaysSo) {
  TNTRegistry reg(p.registry);
  reg.SetRoot(kHkeyLocalMachine);
  reg.DeleteTree("\\" + EntryKey("Beta"));
  const RemovalOutcome outcome = s.Remove("Beta");
  EXPECT_TRUE(outcome.alreadyGone);
  EXPECT_EQ("", outcome.undoFile);
  EXPECT_EQ("(no file)", s.Undo());
  EXPECT_EQ(CommandChange::kNotChanged, s.Change("Beta", "x")) << "a gone entry gets no command";
}

TEST_F(EntryCommandsTest, EachCommandHoldsTheUndoLockAcrossItsWritesOrChangesNothing) {
  const std::string lock = "Global\\Tidewell.UndoFile";
  const struct {
    const char* name;
    std::function<void(Scene&)> command;
  } commands[] = {
      {"Remove Entry", [](Scene& s) { s.Remove("Alpha"); }},
      {"Save Changes", [](Scene& s) { s.Change("Alpha", "C:\\New\\u.exe"); }},
      {"Delete a product",
       [](Scene& s) {
         Product product;
         product.keyName = "0A1B2C";
         RemoveInstallerProduct(s.undo, s.p.registry, product);
       }},
  };
  for (const auto& c : commands) {
    SCOPED_TRACE(c.name);
    {
      Scene scene;
      c.command(scene);
      EXPECT_EQ((std::vector<std::string>{"create " + lock + " new", "wait " + lock + " 30000 ms", "release " + lock,
                                          "close " + lock}),
                scene.p.system.mutexLog);
      EXPECT_NE("(no file)", scene.Undo());
    }
    {
      // Another copy holds it for longer than the wait: nothing is written or changed.
      Scene scene;
      scene.p.system.mutexHeld[lock] = true;
      const std::string before = scene.p.registry.Dump(kHkeyLocalMachine, "") +
                                 scene.p.registry.Dump(kHkeyClassesRoot, "");
      EXPECT_THROW(c.command(scene), EInOutError);
      EXPECT_EQ(before, scene.p.registry.Dump(kHkeyLocalMachine, "") + scene.p.registry.Dump(kHkeyClassesRoot, ""));
      EXPECT_EQ("(no file)", scene.Undo());
      EXPECT_EQ(0, scene.p.system.openMutexes);
    }
  }
}

TEST_F(EntryCommandsTest, SaveChangesBacksUpTheOldCommandThenStoresTheNewOfItsKind) {
  const struct {
    const char* name;
    std::function<void(MemoryRegistry&)> arrange;
    std::string edit;
    std::vector<std::string> lines;  // empty: nothing written
    std::string stored;              // the value's bytes afterwards; "-" for no value
    std::uint32_t storedType;
  } cases[] = {
      {"same text", [](MemoryRegistry&) {}, "C:\\Beta\\remove.exe /x", {}, Wide(std::string("C:\\Beta\\remove.exe /x\0", 22)), kRegSz},
      {"new text", [](MemoryRegistry&) {}, "C:\\Beta\\new.exe",
       {std::string(kEntryLine) + "Beta]", "\"UninstallString\"=\"C:\\\\Beta\\\\remove.exe /x\"", ""},
       Wide(std::string("C:\\Beta\\new.exe\0", 16)), kRegSz},
      {"empty text", [](MemoryRegistry&) {}, "",
       {std::string(kEntryLine) + "Beta]", "\"UninstallString\"=\"C:\\\\Beta\\\\remove.exe /x\"", ""},
       Wide(std::string("\0", 1)), kRegSz},
      {"old expandable string", [](MemoryRegistry& r) { r.SetString(kHkeyLocalMachine, EntryKey("Beta"), "UninstallString", "%P%\\u.exe", kRegExpandSz); },
       "u.exe", {std::string(kEntryLine) + "Beta]", "\"UninstallString\"=hex(2):25,50,25,5C,75,2E,65,78,65,00", ""},
       Wide(std::string("u.exe\0", 6)), kRegExpandSz},
      {"old multi-string", [](MemoryRegistry& r) { r.SetValue(kHkeyLocalMachine, EntryKey("Beta"), "UninstallString", kRegMultiSz, Wide(std::string("a\0b\0\0", 5))); },
       "b", {std::string(kEntryLine) + "Beta]", "\"UninstallString\"=hex(7):61,00,62,00,00", ""},
       Wide(std::string("b\0", 2)), kRegSz},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Scene scene;
    MemoryPlatform& q = scene.p;
    c.arrange(q.registry);
    EXPECT_EQ(c.lines.empty() ? CommandChange::kUnchanged : CommandChange::kChanged, scene.Change("Beta", c.edit));
    std::vector<std::string> lines = c.lines;
    if (!lines.empty()) lines.insert(lines.begin(), Comment("changed the uninstall command of", "Beta", "32-bit"));
    EXPECT_EQ(lines.empty() ? "(no file)" : File(lines), scene.Undo());
    const regfile::Tree tree = regfile::Snapshot(q.registry, kHkeyLocalMachine, EntryKey("Beta"));
    const regfile::Value& value = tree.at(regfile::Upper(EntryKey("Beta"))).at("UNINSTALLSTRING");
    EXPECT_EQ(c.storedType, value.type);
    EXPECT_EQ(c.stored, value.bytes);
  }
}

TEST_F(EntryCommandsTest, SaveChangesWithoutAnUninstallStringValue) {
  // Entries read while they had a command, whose value then went away.
  TNTRegistry reg(p.registry);
  reg.SetRoot(kHkeyLocalMachine);
  const auto removeCommand = [&](const std::string& entry) {
    ASSERT_TRUE(reg.OpenPath("\\" + EntryKey(entry), false));
    reg.RemoveValue("UninstallString");
    reg.ClosePath();
  };
  removeCommand("Beta");
  s.Change("Beta", "");
  EXPECT_EQ("(no file)", s.Undo()) << "an empty text for a missing value changes nothing";
  EXPECT_EQ(-1, p.registry.Dump(kHkeyLocalMachine, EntryKey("Beta")).find("UninstallString"));

  removeCommand("Alpha");
  s.Change("Alpha", "new.exe");
  EXPECT_EQ(File({Comment("changed the uninstall command of", "Alpha Tool", "32-bit"), std::string(kEntryLine) + "Alpha]",
                  "\"UninstallString\"=\"\"", ""}),
            s.Undo());
  ASSERT_TRUE(reg.OpenPath("\\" + EntryKey("Alpha"), false));
  EXPECT_EQ("new.exe", reg.ReadText("UninstallString"));
}

TEST_F(EntryCommandsTest, SaveChangesOnAValueThatIsNotTextRaisesBeforeWriting) {
  p.registry.SetValue(kHkeyLocalMachine, EntryKey("Beta"), "UninstallString", kRegDword, std::string(4, '\0'));
  EXPECT_THROW(s.Change("Beta", "x"), ERegistryException);
  EXPECT_EQ("(no file)", s.Undo());
}

// A removal goes whole to one file: the REGEDIT4 file when the code page carries every name and
// text of the entry, subkeys included, the Unicode file otherwise; the other file is not touched,
// and a merge gives the entry back as it was. Code pages 1252 and 932.
TEST(UndoFileChoiceTest, ARemovalGoesWholeToTheFileThatCarriesIt) {
  const struct {
    const char* what;
    unsigned codePage;
    std::string key, valueName, text, subkey;
    bool regedit4;
  } cases[] = {
      {"ASCII", 1252, "Gamma", "Note", "plain", "Sub", true},
      {"Latin-1", 1252, "Caf\xc3\xa9", "Gr\xc3\xb6\xc3\x9f" "e", "\xc2\xbd \xe2\x82\xac", "Sub", true},
      {"a Greek value name", 1252, "Gamma", "\xce\xb1", "plain", "Sub", false},
      {"a Chinese subkey", 1252, "Gamma", "Note", "plain", "\xe5\xad\x90", false},
      {"a combining accent", 1252, "Gamma", "Note", "e\xcc\x81", "Sub", false},
      {"Japanese", 932, "\xe8\xa1\xa8", "\xe3\x82\xbd", "\xe6\x88\x90\xe7\xb8\xbe\xe8\xa1\xa8\\", "\xe5\x8d\x81", true},
      {"Cyrillic", 932, "\xd0\x96", "\xd0\x98\xd0\xbc\xd1\x8f", "\xd0\xbe\xd0\xba", "Sub", true},
      {"Latin-1", 932, "Caf\xc3\xa9", "Note", "plain", "Sub", false},
      {"outside the BMP", 932, "Gamma", "Note", "\xf0\x9f\x98\x80", "Sub", false},
      // The registry allows an unpaired surrogate in a name; the Unicode file carries it unit for unit.
      {"unpaired surrogates in the key and a value name", 1252, "Odd\xed\xa0\x80", "Note\xed\xb0\x80", "plain", "Sub",
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.what) + ", code page " + std::to_string(c.codePage));
    Scene scene;
    scene.p.system.ansiCodePage = c.codePage;
    MemoryRegistry& r = scene.p.registry;
    r.SetString(kHkeyLocalMachine, EntryKey(c.key), "DisplayName", c.text);
    r.SetString(kHkeyLocalMachine, EntryKey(c.key), c.valueName, c.text, kRegExpandSz);
    r.SetValue(kHkeyLocalMachine, EntryKey(c.key + "\\" + c.subkey), "List", kRegMultiSz,
               Wide(c.text + std::string(1, '\0') + c.text + std::string(2, '\0')));
    const regfile::Tree original = scene.Merged();
    scene.Remove(c.key);
    EXPECT_FALSE(r.KeyExists(kHkeyLocalMachine, EntryKey(c.key)));
    EXPECT_EQ(c.regedit4, scene.p.files.FileExistsAt(kFile));
    EXPECT_EQ(!c.regedit4, scene.p.files.FileExistsAt(kUnicodeFile));
    EXPECT_EQ(regfile::Describe(original), regfile::Describe(scene.Merged()));
  }
}

// Escaped as characters, then encoded: the backslash that is the second byte of 表 in code page 932
// is not doubled; the real backslash after it is.
TEST(UndoFileChoiceTest, ASecondByteBackslashIsWrittenOnceAndARealOneTwice) {
  Scene scene;
  scene.p.system.ansiCodePage = 932;
  scene.p.registry.SetString(kHkeyLocalMachine, EntryKey("T"), "V", "\xe6\x88\x90\xe7\xb8\xbe\xe8\xa1\xa8\\");
  scene.Remove("T");
  EXPECT_EQ(File({Comment("removed entry", "T", "32-bit"), std::string(kEntryLine) + "T]",
                  "\"V\"=\"\x90\xac\x90\xd1\x95\x5c\\\\\"", ""}),
            scene.Undo());
}

// A value that changes after its file was chosen, into text that file cannot carry, stops the
// removal before the value is deleted; the REGEDIT4 file never holds a text it would garble.
TEST_F(EntryCommandsTest, AValueChangedIntoTextTheFileCannotCarryStopsTheRemovalBeforeItGoes) {
  const std::string greek = "\xce\x95\xce\xbb\xce\xbb\xce\xac\\u.exe";
  int stops = 0;
  for (int k = 1; k < 120; ++k) {
    SCOPED_TRACE("changed before call " + std::to_string(k));
    Scene scene;
    MemoryRegistry& r = scene.p.registry;
    r.BeforeCall(k, [&] { r.SetString(kHkeyLocalMachine, EntryKey("Beta"), "UninstallString", greek); });
    try {
      scene.Remove("Beta");
    } catch (const EInOutError& error) {
      ++stops;
      EXPECT_NE(std::string::npos, std::string(error.what()).find("cannot carry")) << error.what();
      TNTRegistry reg(r);
      reg.SetRoot(kHkeyLocalMachine);
      ASSERT_TRUE(reg.OpenPath("\\" + EntryKey("Beta"), false));
      EXPECT_EQ(greek, reg.ReadText("UninstallString")) << "the changed value stays";
    }
    if (scene.p.files.FileExistsAt(kFile)) {
      EXPECT_EQ(std::string::npos, scene.p.files.Content(kFile).find('?'));
    }
  }
  EXPECT_GT(stops, 0);
}

// The merge of the undo file over whatever is left gives back the whole Uninstall key, wherever the
// removal was stopped: after each registry call in turn, at each write of the undo file, at each
// size of a full disk. A removal stopped by its undo file deletes nothing.
TEST_F(EntryCommandsTest, AStoppedRemovalLosesNothingThatAMergeDoesNotGiveBack) {
  const regfile::Tree original = s.Merged();
  const auto run = [&](const std::string& what, const std::function<void(MemoryPlatform&)>& fault) {
    SCOPED_TRACE(what);
    Scene scene;
    fault(scene.p);
    bool stopped = false;
    const std::string before = scene.p.registry.Dump(kHkeyLocalMachine, kEntries);
    try {
      scene.Remove("Alpha");
    } catch (const std::exception&) {
      stopped = true;
      EXPECT_EQ(before, scene.p.registry.Dump(kHkeyLocalMachine, kEntries)) << "deleted without its backup";
    }
    scene.p.registry.FailFromCall(-1);
    scene.p.files.FailWriteAfter(-1);
    scene.p.files.SetDiskCapacity(-1);
    EXPECT_EQ(regfile::Describe(original), regfile::Describe(scene.Merged()));
    return stopped;
  };
  int calls = 0;
  {
    Scene scene;
    scene.p.registry.FailFromCall(1'000'000);
    scene.Remove("Alpha");
    calls = scene.p.registry.CallCount();
  }
  ASSERT_GT(calls, 50);
  for (int k = 1; k <= calls; ++k)
    run("registry calls fail from " + std::to_string(k), [k](MemoryPlatform& q) { q.registry.FailFromCall(k); });
  int stops = 0;
  for (int n = 1; n <= 20; ++n)
    stops += run("write " + std::to_string(n) + " stops halfway", [n](MemoryPlatform& q) { q.files.FailWriteAfter(n); });
  EXPECT_EQ(1, stops) << "the entry's lines are one write (the line that ends the entry is not: everything is gone "
                        "and backed up by then)";
  for (int bytes = 0; bytes <= 800; bytes += 7)
    run("disk full at " + std::to_string(bytes), [bytes](MemoryPlatform& q) { q.files.SetDiskCapacity(bytes); });
  run("flushes fail", [](MemoryPlatform& q) { q.files.FailFlushes(true); });
}

// The program killed before any one of its file calls: whatever it deleted by then is in the file,
// whole.
TEST_F(EntryCommandsTest, AProgramKilledAtAnyFileCallLeavesAFileThatGivesEverythingBack) {
  const regfile::Tree original = s.Merged();
  bool finished = false;
  for (int k = 1; !finished; ++k) {
    SCOPED_TRACE("killed at file call " + std::to_string(k));
    ASSERT_LT(k, 500);
    Scene scene(true);
    scene.stopping.StopAtCall(k);
    try {
      scene.Remove("Alpha");
      finished = true;
    } catch (const ProgramStopped&) {
    }
    EXPECT_EQ(regfile::Describe(original), regfile::Describe(scene.Merged()));
    if (finished) {
      EXPECT_FALSE(scene.p.registry.KeyExists(kHkeyLocalMachine, EntryKey("Alpha")));
    }
  }
}

}  // namespace
