#include <gtest/gtest.h>

#include <string>

#include "platform/memory/memory_files.h"
#include "platform/memory/memory_registry.h"
#include "registry/nt_registry.h"
#include "tests/support/registry_snapshot.h"

using namespace platform;

namespace {

class TreeOpsTest : public ::testing::Test {
 protected:
  TreeOpsTest() {
    files.AddDrive('C', kDriveFixed);
    files.AddFolder("C:\\Hives");
  }
  void TearDown() override { EXPECT_EQ(0, mem.OpenHandles()) << "a registry handle leaked"; }

  // A has children A1 (with A1x) and A2; B has B1; C has none; values at several levels.
  void SeedTree(const std::string& top) {
    mem.SetString(kHkeyLocalMachine, top, "", "default");
    mem.SetString(kHkeyLocalMachine, top, "Name", "value");
    mem.SetValue(kHkeyLocalMachine, top + "\\A", "bin", kRegBinary, std::string("\x00\x01\xff", 3));
    mem.SetValue(kHkeyLocalMachine, top + "\\A\\A1\\A1x", "n", kRegDword, std::string("\x1a\0\0\0", 4));
    mem.AddKey(kHkeyLocalMachine, top + "\\A\\A2");
    mem.SetValue(kHkeyLocalMachine, top + "\\B\\B1", "multi", kRegMultiSz, std::string("a\0b\0\0", 5));
    mem.AddKey(kHkeyLocalMachine, top + "\\C");
  }

  // The tree below `path` with its own path cut away, for comparing a copy with its source.
  regfile::Tree Relative(const std::string& path) {
    regfile::Tree relative;
    const regfile::Tree tree = regfile::Snapshot(mem, kHkeyLocalMachine, path);
    for (const auto& [key, values] : tree) relative[key.substr(path.size())] = values;
    return relative;
  }

  MemoryFileSystem files;
  MemoryRegistry mem{&files};
};

TEST_F(TreeOpsTest, DeleteTreeRemovesEveryLevelAndReportsWhetherTheKeyWent) {
  SeedTree("SOFTWARE\\Top");
  TNTRegistry reg(mem);
  reg.SetRoot(kHkeyLocalMachine);
  EXPECT_TRUE(reg.DeleteTree("\\SOFTWARE\\Top"));
  EXPECT_FALSE(mem.KeyExists(kHkeyLocalMachine, "SOFTWARE\\Top"));
  EXPECT_TRUE(mem.KeyExists(kHkeyLocalMachine, "SOFTWARE"));
  EXPECT_FALSE(reg.DeleteTree("\\SOFTWARE\\Top")) << "a missing key";
}

TEST_F(TreeOpsTest, DeleteTreeOfARelativeNameWorksUnderTheActiveKeyAndKeepsIt) {
  SeedTree("SOFTWARE\\Top");
  TNTRegistry reg(mem);
  reg.SetRoot(kHkeyLocalMachine);
  ASSERT_TRUE(reg.OpenPath("\\SOFTWARE\\Top", false));
  const Hkey active = reg.ActiveKey;
  EXPECT_TRUE(reg.DeleteTree("A"));
  EXPECT_FALSE(mem.KeyExists(kHkeyLocalMachine, "SOFTWARE\\Top\\A"));
  EXPECT_TRUE(mem.KeyExists(kHkeyLocalMachine, "SOFTWARE\\Top\\B"));
  EXPECT_EQ(active, reg.ActiveKey);
  EXPECT_EQ("SOFTWARE\\Top", reg.ActivePath);
  EXPECT_EQ("value", reg.ReadText("Name")) << "the active key still works";
}

TEST_F(TreeOpsTest, DeleteTreeLeavesWhatTheRegistryRefusesAndReportsFalse) {
  SeedTree("SOFTWARE\\Top");
  mem.LimitAccess(kHkeyLocalMachine, "SOFTWARE\\Top\\B\\B1", kKeyRead);
  TNTRegistry reg(mem);
  reg.SetRoot(kHkeyLocalMachine);
  EXPECT_FALSE(reg.DeleteTree("\\SOFTWARE\\Top"));
  EXPECT_TRUE(mem.KeyExists(kHkeyLocalMachine, "SOFTWARE\\Top\\B\\B1"));
  EXPECT_FALSE(mem.KeyExists(kHkeyLocalMachine, "SOFTWARE\\Top\\A")) << "what could go is gone";
  EXPECT_FALSE(mem.KeyExists(kHkeyLocalMachine, "SOFTWARE\\Top\\C"));
}

TEST_F(TreeOpsTest, MoveTreeCopiesEveryLevelWithTypesAndBytes) {
  SeedTree("SOFTWARE\\Src");
  // Values that a copy through the kind codes or a skip of empty data would lose or change.
  mem.SetValue(kHkeyLocalMachine, "SOFTWARE\\Src", "qword", kRegQword, std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8));
  mem.SetValue(kHkeyLocalMachine, "SOFTWARE\\Src", "odd type", 0x1234, "xyz");
  mem.SetValue(kHkeyLocalMachine, "SOFTWARE\\Src\\C", "empty binary", kRegBinary, "");
  mem.SetValue(kHkeyLocalMachine, "SOFTWARE\\Src\\C", "empty string", kRegSz, "");
  mem.SetValue(kHkeyLocalMachine, "SOFTWARE\\Src\\C", "big", kRegBinary, std::string(200000, '\x5a'));
  const regfile::Tree before = Relative("SOFTWARE\\Src");

  struct Case {
    bool deleteSource;
    bool sourceRemains;
  } cases[] = {{false, true}, {true, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.deleteSource ? "deleteSource" : "keep source");
    mem.AddKey(kHkeyLocalMachine, "SOFTWARE");
    TNTRegistry reg(mem);
    reg.SetRoot(kHkeyLocalMachine);
    reg.MoveTree("\\SOFTWARE\\Src", "\\SOFTWARE\\Dst", c.deleteSource);
    EXPECT_EQ(regfile::Describe(before), regfile::Describe(Relative("SOFTWARE\\Dst")));
    EXPECT_EQ(c.sourceRemains, mem.KeyExists(kHkeyLocalMachine, "SOFTWARE\\Src"));
    if (c.sourceRemains) {
      EXPECT_EQ(regfile::Describe(before), regfile::Describe(Relative("SOFTWARE\\Src")));
    }
    // Put the source back for the next case.
    if (!c.sourceRemains) reg.MoveTree("\\SOFTWARE\\Dst", "\\SOFTWARE\\Src", false);
    reg.DeleteTree("\\SOFTWARE\\Dst");
  }
}

TEST_F(TreeOpsTest, MoveTreeDoesNothingOntoAnExistingDestinationOrFromAMissingSource) {
  SeedTree("SOFTWARE\\Src");
  mem.SetString(kHkeyLocalMachine, "SOFTWARE\\Dst", "mine", "kept");
  const std::string src = mem.Dump(kHkeyLocalMachine, "SOFTWARE\\Src");
  const std::string dst = mem.Dump(kHkeyLocalMachine, "SOFTWARE\\Dst");
  TNTRegistry reg(mem);
  reg.SetRoot(kHkeyLocalMachine);
  reg.MoveTree("\\SOFTWARE\\Src", "\\SOFTWARE\\Dst", true);
  EXPECT_EQ(src, mem.Dump(kHkeyLocalMachine, "SOFTWARE\\Src"));
  EXPECT_EQ(dst, mem.Dump(kHkeyLocalMachine, "SOFTWARE\\Dst"));
  reg.MoveTree("\\SOFTWARE\\Missing", "\\SOFTWARE\\New", true);
  EXPECT_FALSE(mem.KeyExists(kHkeyLocalMachine, "SOFTWARE\\New"));
}

TEST_F(TreeOpsTest, MoveTreeStoppedAtAnyCallLosesNothingAndRestoresTheActiveKey) {
  SeedTree("SOFTWARE\\Src");
  mem.AddKey(kHkeyLocalMachine, "SOFTWARE\\Other");
  const regfile::Tree before = Relative("SOFTWARE\\Src");
  bool finished = false;
  for (int k = 1; !finished; ++k) {
    SCOPED_TRACE("calls fail from " + std::to_string(k));
    ASSERT_LT(k, 1000);
    TNTRegistry reg(mem);
    reg.SetRoot(kHkeyLocalMachine);
    ASSERT_TRUE(reg.OpenPath("\\SOFTWARE\\Other", false));
    const Hkey active = reg.ActiveKey;
    mem.FailFromCall(k);
    try {
      reg.MoveTree("\\SOFTWARE\\Src", "\\SOFTWARE\\Dst", true);
    } catch (const ERegistryException&) {
    }
    finished = mem.CallCount() < k;
    mem.FailFromCall(-1);
    EXPECT_EQ(active, reg.ActiveKey);
    // Either the source is whole, or the destination holds all of it.
    if (Relative("SOFTWARE\\Src") != before) {
      EXPECT_EQ(regfile::Describe(before), regfile::Describe(Relative("SOFTWARE\\Dst")));
    }
    if (finished) {
      EXPECT_FALSE(mem.KeyExists(kHkeyLocalMachine, "SOFTWARE\\Src"));
      EXPECT_EQ(regfile::Describe(before), regfile::Describe(Relative("SOFTWARE\\Dst")));
      break;
    }
    // Start again from the whole source.
    reg.ClosePath();
    if (Relative("SOFTWARE\\Src") != before) {
      reg.DeleteTree("\\SOFTWARE\\Src");
      reg.MoveTree("\\SOFTWARE\\Dst", "\\SOFTWARE\\Src", false);
    }
    reg.DeleteTree("\\SOFTWARE\\Dst");
    ASSERT_EQ(regfile::Describe(before), regfile::Describe(Relative("SOFTWARE\\Src")));
  }
}

TEST_F(TreeOpsTest, HivesMountAndUnmountDirectlyUnderTheRootWhateverKeyIsActive) {
  mem.SetBackupRestoreRight(true);
  SeedTree("SOFTWARE\\Saved");
  TNTRegistry reg(mem);
  reg.SetRoot(kHkeyLocalMachine);
  EXPECT_TRUE(reg.SaveKeyToFile("\\SOFTWARE\\Saved", "C:\\Hives\\saved"));
  EXPECT_FALSE(reg.SaveKeyToFile("\\SOFTWARE\\Saved", "C:\\Hives\\saved")) << "onto an existing file";
  EXPECT_FALSE(reg.SaveKeyToFile("\\SOFTWARE\\Missing", "C:\\Hives\\other"));
  EXPECT_FALSE(files.FileExistsAt("C:\\Hives\\other"));

  ASSERT_TRUE(reg.OpenPath("\\SOFTWARE", false));
  EXPECT_TRUE(reg.LoadHive("\\TEMP_KEY", "C:\\Hives\\saved"));
  EXPECT_TRUE(mem.KeyExists(kHkeyLocalMachine, "TEMP_KEY\\A\\A1\\A1x"));
  EXPECT_FALSE(mem.KeyExists(kHkeyLocalMachine, "SOFTWARE\\TEMP_KEY"));
  EXPECT_EQ(regfile::Describe(Relative("SOFTWARE\\Saved")), regfile::Describe(Relative("TEMP_KEY")));
  EXPECT_FALSE(reg.LoadHive("\\TEMP_KEY", "C:\\Hives\\saved")) << "the mount point is taken";
  EXPECT_TRUE(reg.UnloadHive("TEMP_KEY"));
  EXPECT_FALSE(mem.KeyExists(kHkeyLocalMachine, "TEMP_KEY"));
  EXPECT_FALSE(reg.UnloadHive("TEMP_KEY"));
  EXPECT_EQ("SOFTWARE", reg.ActivePath);
}

}  // namespace
