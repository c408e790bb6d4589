#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "backup/key_export.h"
#include "backup/in_out_error.h"
#include "platform/memory/memory_platform.h"
#include "platform/text_encoding.h"
#include "registry/nt_registry.h"
#include "tests/support/reg_file_reader.h"
#include "tests/support/registry_snapshot.h"
#include "tests/support/stopping_files.h"

using namespace platform;

namespace {

constexpr const char* kFolder = "C:\\Tools\\Tidewell\\Backup";
constexpr const char* kFile = "C:\\Tools\\Tidewell\\Backup\\Undo20261207.reg";
constexpr const char* kEntries = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

class KeyExportTest : public ::testing::Test {
 protected:
  void TearDown() override {
    EXPECT_EQ(0, p.registry.OpenHandles()) << "a registry handle leaked";
    EXPECT_EQ(0, p.files.OpenFiles()) << "a file handle leaked";
  }

  static std::string Wide(const std::string& text) { return Utf16LeFromUtf8(text); }
  std::string Undo() const { return p.files.FileExistsAt(kFile) ? p.files.Content(kFile) : "(no file)"; }
  static std::string Lines(const std::vector<std::string>& lines) {
    std::string text = "REGEDIT4\r\n\r\n";
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
  }

  // The key below the root written and removed, in the program's own view of the registry.
  static RemovalOutcome Remove(UndoFile& undo, RegistryApi& registry, Hkey root, const std::string& path) {
    return RemoveRegistryKey(undo, registry, KeyPlace{RegistryPlace{root, 0}, path});
  }

  MemoryPlatform p;
  UndoFile undo{p.files, p.system, kFolder, "Undo20261207"};
};

TEST_F(KeyExportTest, AKeyTreeIsWrittenDepthFirstAndDeletedFromTheBottomUp) {
  const std::string expected = Lines({"[HKEY_LOCAL_MACHINE\\SOFTWARE\\T]", "\"DisplayName\"=\"Tool\"",
                                      "\"Size\"=dword:0000001A", "[HKEY_LOCAL_MACHINE\\SOFTWARE\\T\\Sub]",
                                      "@=\"default\"", "[HKEY_LOCAL_MACHINE\\SOFTWARE\\T\\Sub\\Empty]",
                                      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\T\\Later]", "\"b\"=hex:01,02", "", ""});
  for (const char* path : {"\\SOFTWARE\\T", "\\SOFTWARE\\T\\"}) {
    SCOPED_TRACE(path);
    MemoryPlatform q;
    q.registry.SetString(kHkeyLocalMachine, "SOFTWARE\\T", "DisplayName", "Tool");
    q.registry.SetValue(kHkeyLocalMachine, "SOFTWARE\\T", "Size", kRegDword, std::string("\x1a\0\0\0", 4));
    q.registry.SetString(kHkeyLocalMachine, "SOFTWARE\\T\\Sub", "", "default");
    q.registry.AddKey(kHkeyLocalMachine, "SOFTWARE\\T\\Sub\\Empty");
    q.registry.SetValue(kHkeyLocalMachine, "SOFTWARE\\T\\Later", "b", kRegBinary, "\x01\x02");
    UndoFile u(q.files, q.system, kFolder, "Undo20261207");
    Remove(u, q.registry, kHkeyLocalMachine, path);
    EXPECT_EQ(expected, q.files.Content(kFile));
    EXPECT_FALSE(q.registry.KeyExists(kHkeyLocalMachine, "SOFTWARE\\T"));
    EXPECT_TRUE(q.registry.KeyExists(kHkeyLocalMachine, "SOFTWARE"));
    EXPECT_EQ(0, q.registry.OpenHandles());
  }
}

TEST_F(KeyExportTest, AKeyWithoutValuesAndAMissingKey) {
  p.registry.AddKey(kHkeyClassesRoot, "Installer\\Products\\ABC");
  Remove(undo, p.registry, kHkeyLocalMachine, "\\SOFTWARE\\Missing");
  EXPECT_EQ("(no file)", Undo()) << "a missing key writes nothing";
  Remove(undo, p.registry, kHkeyClassesRoot, "\\Installer\\Products\\ABC");
  EXPECT_EQ(Lines({"[HKEY_CLASSES_ROOT\\Installer\\Products\\ABC]", ""}), Undo());
  EXPECT_FALSE(p.registry.KeyExists(kHkeyClassesRoot, "Installer\\Products\\ABC"));
  EXPECT_TRUE(p.registry.KeyExists(kHkeyClassesRoot, "Installer\\Products"));
}

TEST_F(KeyExportTest, EveryValueIsWrittenWithItsOwnTypeBeforeItIsDeleted) {
  const struct {
    std::uint32_t type;
    std::string bytes;
    std::vector<std::string> lines;
  } cases[] = {
      {kRegNone, "\x01", {"\"V\"=hex(0):01", ""}},
      {kRegSz, Wide(std::string("C:\\a \"b\"\r\n\0", 11)), {"\"V\"=\"C:\\\\a \\\"b\\\"\\r\\n\""}},
      {kRegExpandSz, Wide(std::string("%SystemRoot%\0", 13)), {"\"V\"=hex(2):25,53,79,73,74,65,6D,52,6F,6F,74,25,00", ""}},
      {kRegBinary, "", {"\"V\"=hex:", ""}},
      {kRegDword, std::string("\xff\xff\xff\xff", 4), {"\"V\"=dword:FFFFFFFF"}},
      {kRegDwordBigEndian, std::string("\0\0\0\x01", 4), {"\"V\"=hex(5):00,00,00,01", ""}},
      {kRegLink, "\x5c\x00", {"\"V\"=hex(6):5C", ""}},
      {kRegMultiSz, Wide(std::string("a\0b\0\0", 5)), {"\"V\"=hex(7):61,00,62,00,00", ""}},
      {kRegResourceList, "\x08", {"\"V\"=hex(8):08", ""}},
      {kRegFullResourceDescriptor, "\x09", {"\"V\"=hex(9):09", ""}},
      {kRegResourceRequirementsList, "\x0a", {"\"V\"=hex(a):0A", ""}},
      {kRegQword, std::string("\x01\0\0\0\0\0\0\x80", 8), {"\"V\"=hex(b):01,00,00,00,00,00,00,80", ""}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("type " + std::to_string(c.type));
    MemoryPlatform q;
    UndoFile u(q.files, q.system, kFolder, "Undo20261207");
    q.registry.SetValue(kHkeyLocalMachine, "SOFTWARE\\K", "V", c.type, c.bytes);
    q.registry.SetString(kHkeyLocalMachine, "SOFTWARE\\K", "W", "w");
    RemoveRegistryParts(u, q.registry, {{{RegistryPlace{kHkeyLocalMachine, 0}, "\\SOFTWARE\\K"}, "V"}}, nullptr);
    std::vector<std::string> lines = c.lines;
    lines.insert(lines.begin(), "[HKEY_LOCAL_MACHINE\\SOFTWARE\\K]");
    lines.emplace_back();
    EXPECT_EQ(Lines(lines), q.files.Content(kFile));
    TNTRegistry reg(q.registry);
    reg.SetRoot(kHkeyLocalMachine);
    ASSERT_TRUE(reg.OpenPath("\\SOFTWARE\\K", false));
    EXPECT_EQ(-1, reg.ValueSize("V")) << "deleted";
    EXPECT_EQ(4, reg.ValueSize("W")) << "only that value";
  }
}

TEST_F(KeyExportTest, ValuesOfAnySizeAreWrittenInFull) {
  for (size_t size : {32768u, 32769u, 1u << 20}) {
    SCOPED_TRACE(size);
    MemoryPlatform q;
    UndoFile u(q.files, q.system, kFolder, "Undo20261207");
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 7);
    q.registry.SetValue(kHkeyLocalMachine, "SOFTWARE\\K", "Blob", kRegBinary, bytes);
    q.files.ResetCalls();
    Remove(u, q.registry, kHkeyLocalMachine, "\\SOFTWARE\\K");
    EXPECT_FALSE(q.registry.KeyExists(kHkeyLocalMachine, "SOFTWARE\\K"));
    const regfile::Merge merge = regfile::Read(q.files.Content(kFile));
    ASSERT_EQ(2u, merge.steps.size());
    EXPECT_TRUE(bytes == merge.steps[1].value.bytes);
    EXPECT_EQ(1, q.files.Calls().flushes) << "one flush for the whole tree";
  }
}

// The whole tree is written and on the disk before the first deletion, and nothing is written after
// it: a disk that fills up part-way through the backup stops the removal before anything goes.
TEST_F(KeyExportTest, TheWholeTreeReachesTheDiskBeforeAnythingOfItIsDeleted) {
  for (int i = 0; i < 5; ++i)
    p.registry.SetValue(kHkeyLocalMachine, "SOFTWARE\\K", "v" + std::to_string(i), kRegBinary, std::string(500, 'x'));
  p.registry.SetValue(kHkeyLocalMachine, "SOFTWARE\\K\\S", "w", kRegDword, std::string(4, '\0'));
  p.files.ResetCalls();
  int flushesAtFirstDeletion = -1;
  std::string fileAtFirstDeletion;
  p.registry.interfere = [&](const std::string& call, const std::string&, const std::string&) {
    if (call.rfind("delete", 0) == 0 && flushesAtFirstDeletion < 0) {
      flushesAtFirstDeletion = p.files.Calls().flushes;
      fileAtFirstDeletion = p.files.Content(kFile);
    }
    return kErrorSuccess;
  };
  Remove(undo, p.registry, kHkeyLocalMachine, "\\SOFTWARE\\K");
  EXPECT_FALSE(p.registry.KeyExists(kHkeyLocalMachine, "SOFTWARE\\K"));
  EXPECT_EQ(1, flushesAtFirstDeletion);
  EXPECT_EQ(p.files.Content(kFile), fileAtFirstDeletion);
  EXPECT_EQ(1 + 5 + 1 + 1, regfile::Read(fileAtFirstDeletion).steps.size()) << "two keys and six values";
}

// A value that cannot be read, wherever the reads begin to fail, stops the removal before anything
// is written or deleted; once the deletion has begun, nothing raises.
TEST_F(KeyExportTest, AValueThatCannotBeReadStopsTheRemovalBeforeAnythingIsWrittenOrDeleted) {
  int raised = 0;
  for (int k = 1; k < 200; ++k) {
    MemoryPlatform q;
    UndoFile u(q.files, q.system, kFolder, "Undo20261207");
    q.registry.SetString(kHkeyLocalMachine, "SOFTWARE\\K", "First", "one");
    q.registry.SetString(kHkeyLocalMachine, "SOFTWARE\\K", "Second", "two");
    q.registry.SetString(kHkeyLocalMachine, "SOFTWARE\\K\\Sub", "Third", "three");
    const std::string before = q.registry.Dump(kHkeyLocalMachine, "SOFTWARE\\K");
    q.registry.FailFromCall(k);
    try {
      Remove(u, q.registry, kHkeyLocalMachine, "\\SOFTWARE\\K");
    } catch (const ERegistryException&) {
      ++raised;
      q.registry.FailFromCall(-1);
      EXPECT_EQ(before, q.registry.Dump(kHkeyLocalMachine, "SOFTWARE\\K")) << k;
      EXPECT_FALSE(q.files.FileExistsAt(kFile)) << k;
    }
  }
  EXPECT_GE(raised, 3) << "each value is read when the file is chosen and when it is written";
}

TEST_F(KeyExportTest, AFailedWriteStopsTheRemovalBeforeTheValueItWasFor) {
  p.registry.SetString(kHkeyLocalMachine, "SOFTWARE\\K", "First", "one");
  p.registry.SetValue(kHkeyLocalMachine, "SOFTWARE\\K", "Second", kRegBinary, std::string(300, 'z'));
  const std::string before = p.registry.Dump(kHkeyLocalMachine, "SOFTWARE\\K");
  p.files.AddFolder("C:\\Tools\\Tidewell\\Backup");
  p.files.SetFolderReadOnly("C:\\Tools\\Tidewell\\Backup", true);
  EXPECT_THROW(Remove(undo, p.registry, kHkeyLocalMachine, "\\SOFTWARE\\K"), EInOutError);
  EXPECT_EQ(before, p.registry.Dump(kHkeyLocalMachine, "SOFTWARE\\K")) << "nothing deleted without its lines";
}

// What is left in a key after its values and subkeys were handled was not written: the key stays.
TEST_F(KeyExportTest, AKeyThatStillHoldsSomethingUnwrittenIsNotDeleted) {
  const std::string entry = std::string(kEntries) + "\\E";
  p.registry.SetString(kHkeyLocalMachine, entry, "DisplayName", "E");
  p.registry.SetString(kHkeyLocalMachine, entry + "\\Locked", "Secret", "keep me");
  // The subkey cannot be opened for export, but the registry would let it be deleted.
  p.registry.LimitAccess(kHkeyLocalMachine, entry + "\\Locked", kDelete);
  p.registry.SetBackupRestoreRight(true);
  p.registry.SetString(kHkeyLocalMachine, entry + "\\Line\nBreak", "x", "y");
  Remove(undo, p.registry, kHkeyLocalMachine, "\\" + entry);
  EXPECT_TRUE(p.registry.KeyExists(kHkeyLocalMachine, entry + "\\Locked"));
  EXPECT_TRUE(p.registry.KeyExists(kHkeyLocalMachine, entry + "\\Line\nBreak"));
  const regfile::Merge merge = regfile::Read(Undo());
  regfile::Tree tree = regfile::Snapshot(p.registry, kHkeyLocalMachine, kEntries);
  merge.ApplyTo(tree, "HKEY_LOCAL_MACHINE");
  p.registry.LimitAccess(kHkeyLocalMachine, entry + "\\Locked", kKeyAllAccess);
  EXPECT_EQ(1u, regfile::Subtree(tree, entry).at(regfile::Upper(entry)).count("DISPLAYNAME"));
  EXPECT_EQ(Wide(std::string("keep me\0", 8)), regfile::Snapshot(p.registry, kHkeyLocalMachine, entry + "\\Locked")
                                              .at(regfile::Upper(entry + "\\Locked"))
                                              .at("SECRET")
                                              .bytes);
}

// An installer adds a subkey to the key just after the removal found it empty, while the undo file
// is flushed before the deletion: the plain deletion refuses, so the newcomer stays, unwritten and
// unharmed, and the removal says that a key remains.
class SubkeyAddedAtAFlush : public StoppingFiles {
 public:
  SubkeyAddedAtAFlush(MemoryPlatform& p, int flush, std::string key) : StoppingFiles(p.files), p_(p), flush_(flush),
                                                                        key_(std::move(key)) {}
  bool FlushFile(FileId file, std::uint32_t* error) override {
    if (++flushes_ == flush_) p_.registry.SetString(kHkeyLocalMachine, key_, "Fresh", "new");
    return StoppingFiles::FlushFile(file, error);
  }

 private:
  MemoryPlatform& p_;
  int flush_;
  std::string key_;
  int flushes_ = 0;
};

TEST_F(KeyExportTest, ASubkeyAddedJustBeforeTheDeletionStays) {
  const std::string entry = std::string(kEntries) + "\\E";
  p.registry.SetString(kHkeyLocalMachine, entry, "DisplayName", "E");
  p.registry.SetString(kHkeyLocalMachine, entry, "UninstallString", "x");
  // Added once the tree is on the disk, before anything of it is deleted.
  SubkeyAddedAtAFlush files(p, 1, entry + "\\Newcomer");
  UndoFile u(files, p.system, kFolder, "Undo20261207");
  const RemovalOutcome outcome = Remove(u, p.registry, kHkeyLocalMachine, "\\" + entry);
  EXPECT_EQ(Wide("new"), regfile::Snapshot(p.registry, kHkeyLocalMachine, entry + "\\Newcomer")
                             .at(regfile::Upper(entry + "\\Newcomer"))
                             .at("FRESH")
                             .bytes.substr(0, 6));
  EXPECT_EQ(1, outcome.keysLeft);
  EXPECT_EQ(0, outcome.valuesLeft);
  EXPECT_FALSE(outcome.accessDenied) << "a key that gained a subkey is no matter of rights";
}

TEST_F(KeyExportTest, ARootWithoutANameIsNotTouched) {
  p.registry.SetString(kHkeyCurrentUser, "X", "v", "w");
  Remove(undo, p.registry, kHkeyPerformanceData, "\\X");
  EXPECT_EQ("(no file)", Undo());
}

}  // namespace
