#include "registry/nt_registry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "platform/memory/memory_registry.h"
#include "platform/text_encoding.h"

using namespace platform;

namespace {

class NTRegistryTest : public ::testing::Test {
 protected:
  void TearDown() override { EXPECT_EQ(0, mem.OpenHandles()) << "a registry handle leaked"; }
  MemoryRegistry mem;
};

TEST_F(NTRegistryTest, ANewInstanceHasTheCurrentUserRootAndNoActiveKey) {
  TNTRegistry reg(mem);
  EXPECT_EQ(kHkeyCurrentUser, reg.Root);
  EXPECT_EQ(0u, reg.ActiveKey);
  TStrings list{"stale"};
  reg.ListSubkeys(list);
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(-1, reg.ValueSize("anything"));
}

TEST_F(NTRegistryTest, PathRules) {
  mem.AddKey(kHkeyLocalMachine, "SOFTWARE\\Foo\\Bar");
  TNTRegistry reg(mem);
  reg.SetRoot(kHkeyLocalMachine);
  EXPECT_FALSE(reg.OpenPath("\\SOFTWARE\\Missing", false));
  EXPECT_EQ(0u, reg.ActiveKey);
  ASSERT_TRUE(reg.OpenPath("\\SOFTWARE", false));
  EXPECT_EQ("SOFTWARE", reg.ActivePath);
  ASSERT_TRUE(reg.OpenPath("Foo", false));
  EXPECT_EQ("SOFTWARE\\Foo", reg.ActivePath);
  const Hkey foo = reg.ActiveKey;
  EXPECT_FALSE(reg.OpenPath("\\SOFTWARE\\Foo\\Nope", false));
  EXPECT_EQ(foo, reg.ActiveKey) << "a failed open keeps the active key";
  EXPECT_EQ("SOFTWARE\\Foo", reg.ActivePath);
  ASSERT_TRUE(reg.OpenPath("Bar\\", false));
  EXPECT_EQ("SOFTWARE\\Foo\\Bar\\", reg.ActivePath);
  reg.ClosePath();
  EXPECT_EQ("", reg.ActivePath);
  ASSERT_TRUE(reg.OpenPath("SOFTWARE", false)) << "relative with no active key starts from the root";
  EXPECT_EQ("SOFTWARE", reg.ActivePath);
}

TEST_F(NTRegistryTest, OpenPathWithCreate) {
  TNTRegistry reg(mem);
  reg.SetRoot(kHkeyLocalMachine);
  ASSERT_TRUE(reg.OpenPath("\\A\\B", true));
  EXPECT_TRUE(mem.KeyExists(kHkeyLocalMachine, "A\\B"));
  EXPECT_EQ("A\\B", reg.ActivePath);
  ASSERT_TRUE(reg.OpenPath("\\", true)) << "an empty path opens the root through the open cascade";
  EXPECT_EQ("", reg.ActivePath);
}

TEST_F(NTRegistryTest, AccessCascadesFallBackToLesserRights) {
  mem.AddKey(kHkeyLocalMachine, "RO");
  mem.LimitAccess(kHkeyLocalMachine, "RO", kKeyRead);
  mem.AddKey(kHkeyLocalMachine, "RCS");
  mem.LimitAccess(kHkeyLocalMachine, "RCS", kKeyReadCreateSet);
  TNTRegistry reg(mem);
  reg.SetRoot(kHkeyLocalMachine);
  EXPECT_TRUE(reg.OpenPath("\\RO", false));
  EXPECT_FALSE(reg.OpenPath("\\RO", true)) << "the create cascade has no read-only step";
  EXPECT_TRUE(reg.OpenPath("\\RCS", true));
  reg.WriteText("v", "x");
  EXPECT_EQ("x", reg.ReadText("v"));
}

TEST_F(NTRegistryTest, OpenSubkeyHandleNeverCreatesAMissingKey) {
  mem.SetBackupRestoreRight(true);
  TNTRegistry reg(mem);
  reg.SetRoot(kHkeyLocalMachine);
  EXPECT_EQ(0u, reg.OpenSubkeyHandle("\\Ghost"));
  EXPECT_FALSE(reg.PathExists("\\Ghost"));
  EXPECT_FALSE(mem.KeyExists(kHkeyLocalMachine, "Ghost"));
  // A key that refuses every plain open is reached with the backup right.
  mem.LimitAccess(kHkeyLocalMachine, "Locked", 0);
  EXPECT_TRUE(reg.PathExists("\\Locked"));
  mem.SetBackupRestoreRight(false);
  EXPECT_FALSE(reg.PathExists("\\Locked"));
}

TEST_F(NTRegistryTest, CreatePathRaisesWithThePathAsGiven) {
  mem.LimitAccess(kHkeyLocalMachine, "X", kKeyRead);
  TNTRegistry reg(mem);
  reg.SetRoot(kHkeyLocalMachine);
  try {
    reg.CreatePath("\\X\\Y");
    FAIL() << "no exception";
  } catch (const ERegistryException& e) {
    EXPECT_STREQ("Failed to create key \\X\\Y", e.what());
  }
  EXPECT_TRUE(reg.CreatePath("\\Z\\Y"));
  EXPECT_EQ(0u, reg.ActiveKey) << "CreatePath leaves the active key alone";
}

TEST_F(NTRegistryTest, SetRootKeepsOrClosesTheActiveKey) {
  mem.AddKey(kHkeyLocalMachine, "K");
  TNTRegistry reg(mem);
  reg.SetRoot(kHkeyLocalMachine);
  ASSERT_TRUE(reg.OpenPath("\\K", false));
  reg.SetRoot(kHkeyLocalMachine);
  EXPECT_NE(0u, reg.ActiveKey);
  reg.SetRoot(kHkeyClassesRoot);
  EXPECT_EQ(0u, reg.ActiveKey);
  EXPECT_EQ(0, mem.OpenHandles());
}

TEST_F(NTRegistryTest, KindMappings) {
  const struct {
    std::uint32_t type;
    RegKind kind;
  } cases[] = {{0, kindNone}, {1, kindString}, {2, kindExpandString}, {3, kindBinary}, {4, kindDWord},
               {5, kindDWordBigEndian}, {6, kindLink}, {7, kindMultiString}, {8, kindResourceList},
               {9, kindFullResourceDescriptor}, {10, kindResourceRequirementsList}, {11, kindUnknown},
               {0xFFFF, kindUnknown}};
  for (const auto& c : cases) EXPECT_EQ(c.kind, KindOfType(c.type)) << c.type;
  EXPECT_EQ(0u, TypeOfKind(kindUnknown));
  EXPECT_EQ(4u, TypeOfKind(kindDWordLittleEndian));
  for (std::uint32_t type = 0; type <= 10; ++type) EXPECT_EQ(type, TypeOfKind(KindOfType(type)));
}

TEST_F(NTRegistryTest, ReadsAndTheirFourMessages) {
  const char* key = "V";
  mem.SetString(kHkeyCurrentUser, key, "text", "abc");
  mem.SetValue(kHkeyCurrentUser, key, "dword", kRegDword, std::string("\x1A\0\0\0", 4));
  mem.SetValue(kHkeyCurrentUser, key, "minus", kRegDword, std::string("\xFF\xFF\xFF\xFF", 4));
  mem.SetString(kHkeyCurrentUser, key, "short", "a");
  mem.SetValue(kHkeyCurrentUser, key, "multi", kRegMultiSz, Utf16LeFromUtf8(std::string("a\0b\0\0", 5)));
  mem.SetValue(kHkeyCurrentUser, key, "bin4", kRegBinary, "\x01\x02\x03\x04");
  mem.SetValue(kHkeyCurrentUser, key, "empty", kRegSz, "");
  TNTRegistry reg(mem);
  ASSERT_TRUE(reg.OpenPath("\\V", false));
  EXPECT_EQ("abc", reg.ReadText("text"));
  EXPECT_EQ("a", reg.ReadText("multi"));
  EXPECT_EQ("", reg.ReadText("missing"));
  EXPECT_EQ("", reg.ReadText("empty"));
  EXPECT_EQ(26, reg.ReadNumber("dword"));
  EXPECT_EQ(-1, reg.ReadNumber("minus"));
  char buffer[8];
  EXPECT_EQ(0, reg.ReadBytes("missing", buffer, sizeof buffer));
  EXPECT_EQ(4, reg.ReadBytes("bin4", buffer, sizeof buffer));

  const struct {
    std::function<void()> read;
    const char* message;
  } failures[] = {
      {[&] { reg.ReadText("dword"); }, "Invalid data type for 'dword'"},
      {[&] { reg.ReadNumber("bin4"); }, "Invalid data type for 'bin4'"},
      {[&] { reg.ReadNumber("missing"); }, "Failed to get data for 'missing'"},
      {[&] { reg.ReadNumber("text"); }, "Failed to get data for 'text'"},
      {[&] { reg.ReadNumber("short"); }, "Invalid data type for 'short'"},
      {[&] { reg.ReadBytes("bin4", buffer, 3); }, "Invalid data type for 'bin4'"},
      {[&] { reg.ReadBytes("text", buffer, 8); }, "Invalid data type for 'text'"},
  };
  for (const auto& f : failures) {
    const Hkey before = reg.ActiveKey;
    try {
      f.read();
      ADD_FAILURE() << "no exception for " << f.message;
    } catch (const ERegistryException& e) {
      EXPECT_STREQ(f.message, e.what());
    }
    EXPECT_EQ(before, reg.ActiveKey);
  }
}

// Texts are UTF-8 in the program; the registry keeps strings as the wide calls write them.
TEST_F(NTRegistryTest, WriteTextStoresAPlainStringInUtf16WithItsTerminator) {
  const struct {
    const char* text;
    std::string data;
  } cases[] = {
      {"abc", std::string("a\0b\0c\0\0\0", 8)},
      {"", std::string(2, '\0')},
      {"\xe5\xbe\xae\xe4\xbf\xa1 \xc3\xa9", std::string("\xae\x5f\xe1\x4f\x20\0\xe9\0\0\0", 10)},  // 微信 é
      {"\xf0\x9f\x98\x80", std::string("\x3d\xd8\x00\xde\0\0", 6)},                             // a surrogate pair
  };
  TNTRegistry reg(mem);
  ASSERT_TRUE(reg.OpenPath("\\W", true));
  for (const auto& c : cases) {
    reg.WriteText("s", c.text);
    std::uint32_t type = 0;
    std::string data(16, '\0');
    data.resize(static_cast<size_t>(reg.FetchValueOfType("s", data.data(), type, static_cast<std::int32_t>(data.size()))));
    EXPECT_EQ(kRegSz, type);
    EXPECT_EQ(c.data, data) << c.text;
    EXPECT_EQ(c.text, reg.ReadText("s"));
  }
  EXPECT_TRUE(reg.RemoveValue("s"));
  EXPECT_FALSE(reg.RemoveValue("s"));
}

// What the registry holds may not be whole UTF-16 text; ReadText shows what there is.
TEST_F(NTRegistryTest, ReadTextEndsAtTheFirstNulCharacterAndShowsBrokenUnitsAsReplacements) {
  const struct {
    const char* what;
    std::string data;
    const char* text;
  } cases[] = {
      {"no terminator", std::string("a\0b\0", 4), "ab"},
      {"a NUL character inside", std::string("a\0\0\0b\0\0\0", 8), "a"},
      {"a zero byte that is half a character", std::string("\x00\x4e\0\0", 4), "\xe4\xb8\x80"},  // U+4E00
      {"an odd last byte", std::string("a\0b", 3), "a"},
      {"a surrogate without its partner", std::string("\x3d\xd8z\0\0\0", 6), "\xef\xbf\xbdz"},
  };
  for (const auto& c : cases) {
    mem.SetValue(kHkeyCurrentUser, "R", "v", kRegExpandSz, c.data);
    TNTRegistry reg(mem);
    ASSERT_TRUE(reg.OpenPath("\\R", false));
    EXPECT_EQ(c.text, reg.ReadText("v")) << c.what;
  }
}

TEST_F(NTRegistryTest, StoreValueRaisesWhenTheRegistryRefuses) {
  mem.LimitAccess(kHkeyCurrentUser, "RO", kKeyRead);
  TNTRegistry reg(mem);
  ASSERT_TRUE(reg.OpenPath("\\RO", false));
  EXPECT_THROW(reg.WriteText("v", "x"), ERegistryException);
  try {
    reg.WriteText("v", "x");
  } catch (const ERegistryException& e) {
    EXPECT_STREQ("Failed to set data for 'v'", e.what());
  }
}

TEST_F(NTRegistryTest, QueryKeyInfoDoublesNameLengthsOnDoubleByteNtSystems) {
  mem.SetString(kHkeyCurrentUser, "Q\\Sub12", "name5", "x");
  for (bool dbcs : {false, true}) {
    mem.SetDbcs(dbcs);
    TNTRegistry reg(mem);
    ASSERT_TRUE(reg.OpenPath("\\Q", false));
    KeyInfo info;
    ASSERT_TRUE(reg.QueryKeyInfo(info));
    EXPECT_EQ(dbcs ? 10u : 5u, info.MaxSubkeyNameLength);
    // The doubling happens even when the query fails.
    reg.ClosePath();
    EXPECT_FALSE(reg.QueryKeyInfo(info));
  }
}

TEST_F(NTRegistryTest, ListingsFollowEnumerationOrderAndIncludeTheDefaultValue) {
  mem.SetString(kHkeyCurrentUser, "L", "", "default");
  mem.SetString(kHkeyCurrentUser, "L", "b", "1");
  mem.AddKey(kHkeyCurrentUser, "L\\Zed");
  mem.AddKey(kHkeyCurrentUser, "L\\alpha");
  TNTRegistry reg(mem);
  ASSERT_TRUE(reg.OpenPath("\\L", false));
  TStrings names;
  reg.ListValueNames(names);
  EXPECT_EQ((TStrings{"", "b"}), names);
  reg.ListSubkeys(names);
  EXPECT_EQ((TStrings{"Zed", "alpha"}), names);
}

}  // namespace
