// The registry boundary's contract: the same cases against the in-memory registry and, under Wine,
// against the real one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/registry_contract_env.h"

namespace platform {
namespace {

class RegistryContract : public ::testing::Test {
 protected:
  void SetUp() override { env_ = MakeRegistryContractEnv(); }
  RegistryApi& api() { return env_->Api(); }
  Hkey scratch() { return env_->Scratch(); }

  Hkey Create(const std::string& path, Hkey base = 0) {
    Hkey key = 0;
    EXPECT_EQ(kErrorSuccess, api().CreateKeyEx(base ? base : scratch(), path.c_str(), 0, kKeyAllAccess, &key)) << path;
    opened_.push_back(key);
    return key;
  }
  void Set(Hkey key, const std::string& name, std::uint32_t type, const std::string& bytes) {
    ASSERT_EQ(kErrorSuccess, api().SetValueEx(key, name.c_str(), type,
                                              reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                              static_cast<std::uint32_t>(bytes.size())));
  }
  std::vector<std::string> Subkeys(Hkey key) {
    std::vector<std::string> names;
    char name[256];
    for (std::uint32_t i = 0;; ++i) {
      std::uint32_t length = sizeof name;
      if (api().EnumKeyEx(key, i, name, &length) != kErrorSuccess) break;
      names.emplace_back(name, length);
    }
    return names;
  }
  void TearDown() override {
    for (Hkey key : opened_) api().CloseKey(key);
    env_.reset();
  }

  std::unique_ptr<RegistryContractEnv> env_;
  std::vector<Hkey> opened_;
};

TEST_F(RegistryContract, OpensWithoutRegardToCaseAndKeepsTheSpelling) {
  Create("MixedCase\\Inner");
  Hkey key = 0;
  ASSERT_EQ(kErrorSuccess, api().OpenKeyEx(scratch(), "mixedcase\\INNER", kKeyRead, &key));
  api().CloseKey(key);
  EXPECT_EQ(std::vector<std::string>{"MixedCase"}, Subkeys(scratch()));
}

TEST_F(RegistryContract, PathForms) {
  Create("A\\B");
  struct Case {
    const char* path;
    long expected;
  } cases[] = {
      {"A\\B", kErrorSuccess},
      {"A\\B\\", kErrorSuccess},  // one trailing backslash opens the same key
      {"", kErrorSuccess},        // the base key itself
      {"A\\Missing", kErrorFileNotFound},
  };
  for (const Case& c : cases) {
    Hkey key = 0;
    EXPECT_EQ(c.expected, api().OpenKeyEx(scratch(), c.path, kKeyRead, &key)) << c.path;
    if (key) api().CloseKey(key);
  }
}

TEST_F(RegistryContract, CreateMakesEveryMissingKeyAbove) {
  Create("X\\Y\\Z");
  Hkey key = 0;
  ASSERT_EQ(kErrorSuccess, api().OpenKeyEx(scratch(), "X\\Y", kKeyRead, &key));
  api().CloseKey(key);
}

TEST_F(RegistryContract, EnumerationListsEveryKeyInAStableOrder) {
  for (const char* name : {"Zeta", "alpha", "Mid", "beta"}) Create(name);
  const auto first = Subkeys(scratch());
  ASSERT_EQ(4u, first.size());
  EXPECT_EQ(first, Subkeys(scratch()));
  char name[3];
  std::uint32_t length = sizeof name;
  EXPECT_EQ(kErrorMoreData, api().EnumKeyEx(scratch(), 0, name, &length)) << "a buffer too small";
  length = sizeof name;
  EXPECT_EQ(kErrorNoMoreItems, api().EnumKeyEx(scratch(), 4, name, &length));
}

TEST_F(RegistryContract, AKeyWithSubkeysRefusesDeletion) {
  Create("Parent\\Child");
  EXPECT_NE(kErrorSuccess, api().DeleteKey(scratch(), "Parent", 0));
  EXPECT_EQ(kErrorSuccess, api().DeleteKey(scratch(), "Parent\\Child", 0));
  EXPECT_EQ(kErrorSuccess, api().DeleteKey(scratch(), "Parent", 0));
  EXPECT_EQ(kErrorFileNotFound, api().DeleteKey(scratch(), "Parent", 0));
}

TEST_F(RegistryContract, ValuesKeepTypeCodeAndBytes) {
  const Hkey key = Create("Values");
  const std::string big(100 * 1024, '\x5A');
  struct Case {
    std::string name;
    std::uint32_t type;
    std::string bytes;
  } cases[] = {
      {"", kRegSz, std::string("default\0", 8)},
      {"none", kRegNone, std::string("\x01\x02", 2)},
      {"empty", kRegBinary, ""},
      {"expand", kRegExpandSz, std::string("%TEMP%\\x\0", 9)},
      {"multi", kRegMultiSz, std::string("a\0b\0\0", 5)},
      {"qword", kRegQword, std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8)},
      {"odd type", 0x12345, "raw"},
      {"big", kRegBinary, big},
      {"quote\"back\\slash", kRegDword, std::string("\xff\xff\xff\xff", 4)},
  };
  for (const Case& c : cases) Set(key, c.name, c.type, c.bytes);
  for (const Case& c : cases) {
    std::uint32_t type = 99, size = 0;
    ASSERT_EQ(kErrorSuccess, api().QueryValueEx(key, c.name.c_str(), &type, nullptr, &size)) << c.name;
    EXPECT_EQ(c.type, type) << c.name;
    ASSERT_EQ(c.bytes.size(), size) << c.name;
    std::string data(size, '\0');
    ASSERT_EQ(kErrorSuccess,
              api().QueryValueEx(key, c.name.c_str(), &type, reinterpret_cast<std::uint8_t*>(data.data()), &size));
    EXPECT_EQ(c.bytes, data) << c.name;
  }
  RawKeyInfo info;
  ASSERT_EQ(kErrorSuccess, api().QueryInfoKey(key, &info));
  EXPECT_EQ(std::size(cases), info.valueCount);
  EXPECT_EQ(big.size(), info.maxValueDataSize);
}

TEST_F(RegistryContract, SmallBufferAndMissingValues) {
  const Hkey key = Create("Small");
  Set(key, "text", kRegSz, std::string("hello\0", 6));
  std::uint8_t buffer[3];
  std::uint32_t type = 0, size = sizeof buffer;
  EXPECT_EQ(kErrorMoreData, api().QueryValueEx(key, "text", &type, buffer, &size));
  EXPECT_EQ(6u, size);
  EXPECT_EQ(kErrorFileNotFound, api().QueryValueEx(key, "missing", &type, nullptr, &size));
  EXPECT_EQ(kErrorFileNotFound, api().DeleteValue(key, "missing"));
  EXPECT_EQ(kErrorSuccess, api().DeleteValue(key, "TEXT"));
  EXPECT_EQ(kErrorFileNotFound, api().QueryValueEx(key, "text", &type, nullptr, &size));
}

TEST_F(RegistryContract, AHandleToADeletedKeyAnswersKeyDeleted) {
  const Hkey key = Create("Doomed");
  ASSERT_EQ(kErrorSuccess, api().DeleteKey(scratch(), "Doomed", 0));
  RawKeyInfo info;
  EXPECT_EQ(kErrorKeyDeleted, api().QueryInfoKey(key, &info));
}

TEST_F(RegistryContract, AReadOnlyHandleCannotWrite) {
  Create("ReadOnly");
  Hkey key = 0;
  ASSERT_EQ(kErrorSuccess, api().OpenKeyEx(scratch(), "ReadOnly", kKeyRead, &key));
  const std::uint8_t byte = 1;
  EXPECT_EQ(kErrorAccessDenied, api().SetValueEx(key, "v", kRegBinary, &byte, 1));
  api().CloseKey(key);
}

TEST_F(RegistryContract, HiveSaveLoadAndUnload) {
  env_->GrantHiveRights();
  const Hkey key = Create("Saved\\Sub");
  Set(key, "v", kRegBinary, "\x01\x02");
  Hkey saved = Create("Saved");
  const std::string file = env_->HiveFile("saved.hiv");
  ASSERT_EQ(kErrorSuccess, api().SaveKey(saved, file.c_str()));
  ASSERT_TRUE(env_->FileExists(file));
  // Windows refuses to overwrite a file; Wine writes over it.
  const long again = api().SaveKey(saved, file.c_str());
  if (env_->IsWine()) EXPECT_EQ(kErrorSuccess, again);
  else EXPECT_EQ(kErrorAlreadyExists, again);

  ASSERT_EQ(kErrorSuccess, api().LoadKey(kHkeyLocalMachine, "TIDEWELL_CONTRACT", file.c_str()));
  Hkey mounted = 0;
  ASSERT_EQ(kErrorSuccess, api().OpenKeyEx(kHkeyLocalMachine, "TIDEWELL_CONTRACT\\Sub", kKeyRead, &mounted));
  std::uint8_t data[2];
  std::uint32_t type = 0, size = sizeof data;
  EXPECT_EQ(kErrorSuccess, api().QueryValueEx(mounted, "v", &type, data, &size));
  EXPECT_EQ(kRegBinary, type);
  api().CloseKey(mounted);
  EXPECT_EQ(kErrorSuccess, api().UnLoadKey(kHkeyLocalMachine, "TIDEWELL_CONTRACT"));
  EXPECT_EQ(kErrorFileNotFound, api().OpenKeyEx(kHkeyLocalMachine, "TIDEWELL_CONTRACT", kKeyRead, &mounted));
}

TEST_F(RegistryContract, LoadingAFileThatIsNotAHiveFails) {
  env_->GrantHiveRights();
  EXPECT_NE(kErrorSuccess, api().LoadKey(kHkeyLocalMachine, "TIDEWELL_CONTRACT", env_->HiveFile("missing.hiv").c_str()));
  Hkey key = 0;
  EXPECT_EQ(kErrorFileNotFound, api().OpenKeyEx(kHkeyLocalMachine, "TIDEWELL_CONTRACT", kKeyRead, &key));
}

}  // namespace
}  // namespace platform
