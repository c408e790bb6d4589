// The registry boundary's contract: the same cases against the in-memory registry and, under Wine,
// against the real one.
#include <gtest/gtest.h>

#include <future>
#include <string>
#include <vector>

#include "platform/registry_contract_env.h"
#include "platform/text_encoding.h"

namespace platform {
namespace {

// String data as the wide calls store it.
std::string Wide(const std::string& text) { return Utf16LeFromUtf8(text); }

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
    std::string name;
    for (std::uint32_t i = 0; api().EnumKeyEx(key, i, 256, &name) == kErrorSuccess; ++i) names.push_back(name);
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

// Names outside ASCII: found in any letter case as Windows compares them, kept as spelt, and
// measured in UTF-16 units as the wide calls count them.
TEST_F(RegistryContract, NamesOutsideAsciiCompareWithoutCaseAndKeepTheirSpelling) {
  const struct {
    const char* spelt;
    const char* asked;
    std::uint32_t units;
  } cases[] = {
      {"TWU-\xd0\xba\xd0\xb8\xd1\x80\xd0\xb8\xd0\xbb\xd0\xbb\xd0\xb8\xd1\x86\xd0\xb0",
       "twu-\xd0\x9a\xd0\x98\xd0\xa0\xd0\x98\xd0\x9b\xd0\x9b\xd0\x98\xd0\xa6\xd0\x90", 13},  // кириллица
      {"\xce\x95\xce\xbb\xce\xbb\xce\xb7\xce\xbd\xce\xb9\xce\xba\xce\xac",
       "\xce\xb5\xce\x9b\xce\x9b\xce\x97\xce\x9d\xce\x99\xce\x9a\xce\x86", 8},  // Ελληνικά
      {"\xc3\x89" "clair \xc3\xbc", "\xc3\xa9" "CLAIR \xc3\x9c", 8},                          // Éclair ü
      {"\xe5\xbe\xae\xe4\xbf\xa1 \xf0\x9f\x98\x80", "\xe5\xbe\xae\xe4\xbf\xa1 \xf0\x9f\x98\x80", 5},  // 微信 😀
  };
  for (const auto& c : cases) {
    const Hkey parent = Create(std::string("Names\\") + c.spelt);
    Set(parent, c.spelt, kRegDword, std::string(4, '\0'));
    Hkey key = 0;
    ASSERT_EQ(kErrorSuccess, api().OpenKeyEx(scratch(), (std::string("NAMES\\") + c.asked).c_str(), kKeyRead, &key))
        << c.spelt;
    std::uint32_t type = 0;
    EXPECT_EQ(kErrorSuccess, api().QueryValueEx(key, c.asked, &type, nullptr, nullptr)) << c.spelt;
    api().CloseKey(key);
    Hkey names = 0;
    ASSERT_EQ(kErrorSuccess, api().OpenKeyEx(scratch(), "Names", kKeyRead, &names));
    RawKeyInfo info;
    ASSERT_EQ(kErrorSuccess, api().QueryInfoKey(names, &info));
    EXPECT_EQ(c.units, info.maxSubkeyNameLength) << c.spelt;
    std::string name;
    EXPECT_EQ(kErrorMoreData, api().EnumKeyEx(names, 0, c.units, &name)) << "no room for the NUL";
    ASSERT_EQ(kErrorSuccess, api().EnumKeyEx(names, 0, c.units + 1, &name));
    EXPECT_EQ(c.spelt, name);
    ASSERT_EQ(kErrorSuccess, api().EnumValue(parent, 0, c.units + 1, &name));
    EXPECT_EQ(c.spelt, name);
    api().CloseKey(names);
    ASSERT_EQ(kErrorSuccess, api().DeleteKey(scratch(), (std::string("Names\\") + c.asked).c_str(), 0));
  }
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
  std::string name;
  EXPECT_EQ(kErrorMoreData, api().EnumKeyEx(scratch(), 0, 3, &name)) << "a buffer too small";
  EXPECT_EQ(kErrorNoMoreItems, api().EnumKeyEx(scratch(), 4, 256, &name));
}

TEST_F(RegistryContract, AKeyWithSubkeysRefusesDeletion) {
  Create("Parent\\Child");
  EXPECT_NE(kErrorSuccess, api().DeleteKey(scratch(), "Parent", 0));
  EXPECT_EQ(kErrorSuccess, api().DeleteKey(scratch(), "Parent\\Child", 0));
  EXPECT_EQ(kErrorSuccess, api().DeleteKey(scratch(), "Parent", 0));
  EXPECT_EQ(kErrorFileNotFound, api().DeleteKey(scratch(), "Parent", 0));
}

// A path handed to a call is cut after 32,766 UTF-16 units (a counted string of 16-bit length in
// bytes): a key whose path from the base is longer is reached only from a key nearer to it. Names
// of 255 characters bring a path there 128 levels down.
TEST_F(RegistryContract, APathOfMoreThan32766UnitsIsReachedOnlyFromAKeyNearIt) {
  std::string path;
  Hkey parent = scratch();
  for (int level = 1; level <= 127; ++level) {
    std::string name = "k" + std::to_string(level);
    name.resize(255, 'x');
    parent = Create(name, parent);
    path += (path.empty() ? "" : "\\") + name;
  }
  for (const std::size_t total : {std::size_t{32766}, std::size_t{32767}}) {
    SCOPED_TRACE(total);
    std::string name = "s" + std::to_string(total);
    name.resize(total - path.size() - 1, 'y');
    Create(name, parent);
    Hkey key = 0;
    EXPECT_EQ(total <= 32766 ? kErrorSuccess : kErrorFileNotFound,
              api().OpenKeyEx(scratch(), (path + "\\" + name).c_str(), kKeyRead, &key));
    if (key) api().CloseKey(key);
    key = 0;
    EXPECT_EQ(kErrorSuccess, api().OpenKeyEx(parent, name.c_str(), kKeyRead, &key));
    if (key) api().CloseKey(key);
  }
}

TEST_F(RegistryContract, ValuesKeepTypeCodeAndBytes) {
  const Hkey key = Create("Values");
  const std::string big(100 * 1024, '\x5A');
  struct Case {
    std::string name;
    std::uint32_t type;
    std::string bytes;
  } cases[] = {
      {"", kRegSz, Wide(std::string("default\0", 8))},
      {"none", kRegNone, std::string("\x01\x02", 2)},
      {"empty", kRegBinary, ""},
      {"expand", kRegExpandSz, Wide(std::string("%TEMP%\\x\0", 9))},
      {"multi", kRegMultiSz, Wide(std::string("a\0b\0\0", 5))},
      {"\xe5\xbe\xae\xe4\xbf\xa1 \xf0\x9f\x98\x80", kRegSz, Wide(std::string("\xd0\x96\xce\xb1\0", 5))},
      {"qword", kRegQword, std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8)},
      {"odd type", 0x12345, "raw"},
      {"big", kRegBinary, big},
      {"quote\"back\\slash", kRegDword, std::string("\xff\xff\xff\xff", 4)},
      {std::string(255, 'f'), kRegSz, Wide(std::string("fits\0", 5))},
      {std::string(256, 'l'), kRegSz, Wide(std::string("longer\0", 7))},
      {std::string(16383, 'm'), kRegBinary, big},
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
  // The enumeration with data gives every value whole in one call each, small or big.
  std::vector<std::string> seen;
  std::uint32_t index = 0;
  for (;; ++index) {
    std::string name, data;
    std::uint32_t type = 99;
    const long result = api().EnumValueData(key, index, &name, &type, &data);
    if (result == kErrorNoMoreItems) break;
    ASSERT_EQ(kErrorSuccess, result) << index;
    seen.push_back(name);
    for (const Case& c : cases) {
      if (c.name != name) continue;
      EXPECT_EQ(c.type, type) << name;
      EXPECT_EQ(c.bytes, data) << name;
    }
  }
  EXPECT_EQ(std::size(cases), seen.size());
}

// A long list is read by several threads at once, each ending when its part is read: each sees
// every value whole, and a thread's end leaves the program's heap sound for the next (round after
// round, as scan after scan).
TEST_F(RegistryContract, ThreadsThatComeAndGoReadValuesWhole) {
  const Hkey key = Create("Threads");
  const std::string name = Wide(std::string("\xce\x9f\xce\xbd\xce\xbf\xce\xbc\xce\xb1 \xe5\x90\x8d") + '\0');
  const std::string big(4096, 'b');
  Set(key, "DisplayName", kRegSz, name);
  Set(key, "big", kRegBinary, big);
  const auto read = [&] {
    std::string whole;
    std::string value, data;
    std::uint32_t type = 0;
    for (std::uint32_t index = 0; api().EnumValueData(key, index, &value, &type, &data) == kErrorSuccess; ++index)
      whole += value + "=" + data + ";";
    return whole;
  };
  const std::string expected = read();
  ASSERT_NE(std::string::npos, expected.find("DisplayName=" + name + ";"));
  ASSERT_NE(std::string::npos, expected.find("big=" + big + ";"));
  for (int round = 0; round < 150; ++round) {
    std::vector<std::future<std::string>> readers;
    for (int reader = 0; reader < 4; ++reader) readers.push_back(std::async(std::launch::async, read));
    for (std::future<std::string>& reader : readers) ASSERT_EQ(expected, reader.get()) << round;
  }
}

TEST_F(RegistryContract, SmallBufferAndMissingValues) {
  const Hkey key = Create("Small");
  Set(key, "text", kRegSz, Wide(std::string("hello\0", 6)));
  std::uint8_t buffer[3];
  std::uint32_t type = 0, size = sizeof buffer;
  EXPECT_EQ(kErrorMoreData, api().QueryValueEx(key, "text", &type, buffer, &size));
  EXPECT_EQ(12u, size);
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
