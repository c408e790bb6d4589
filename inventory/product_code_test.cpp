#include <gtest/gtest.h>

#include <string>

#include "inventory/product_code.h"
#include "platform/text_encoding.h"

namespace {

constexpr const char* kCode = "{6A1C2C39-1F4E-4E57-9E10-0B6B3B6D2C11}";
using Kind = ProductReference::Kind;

TEST(ProductCodeTest, CommandsThatHandMsiExecAProduct) {
  const struct {
    std::string command;
    Kind kind;
    std::string code;
  } cases[] = {
      {"MsiExec.exe /X{6A1C2C39-1F4E-4E57-9E10-0B6B3B6D2C11}", Kind::kProduct, kCode},
      {"MsiExec.exe /I{6A1C2C39-1F4E-4E57-9E10-0B6B3B6D2C11}", Kind::kProduct, kCode},
      {"msiexec.exe /x{6a1c2c39-1f4e-4e57-9e10-0b6b3b6d2c11}", Kind::kProduct, kCode},
      {"MSIEXEC /X {6A1C2C39-1F4E-4E57-9E10-0B6B3B6D2C11} /qn", Kind::kProduct, kCode},
      {"MsiExec.exe /qb /norestart /X{6A1C2C39-1F4E-4E57-9E10-0B6B3B6D2C11}", Kind::kProduct, kCode},
      {"C:\\WINDOWS\\system32\\msiexec.exe -x {6A1C2C39-1F4E-4E57-9E10-0B6B3B6D2C11}", Kind::kProduct, kCode},
      {"\"C:\\Windows\\SysWOW64\\MsiExec.exe\" /uninstall \"{6A1C2C39-1F4E-4E57-9E10-0B6B3B6D2C11}\"", Kind::kProduct,
       kCode},
      {"%SystemRoot%\\System32\\MsiExec.exe /package {6A1C2C39-1F4E-4E57-9E10-0B6B3B6D2C11}", Kind::kProduct, kCode},
      {"  MsiExec.exe\t/X{6A1C2C39-1F4E-4E57-9E10-0B6B3B6D2C11}", Kind::kProduct, kCode},
      // A product code that is not one: the command is judged by its file alone.
      {"MsiExec.exe /X{6A1C2C39-1F4E-4E57-9E10-0B6B3B6D2C1}", Kind::kMalformed, ""},
      {"MsiExec.exe /X{6A1C2C39-1F4E-4E57-9E10-0B6B3B6D2C1G}", Kind::kMalformed, ""},
      {"MsiExec.exe /X{6A1C2C39_1F4E-4E57-9E10-0B6B3B6D2C11}", Kind::kMalformed, ""},
      {"MsiExec.exe /X{6A1C2C39-1F4E-4E57-9E10-0B6B3B6D2C11}/qn", Kind::kMalformed, ""},
      {"MsiExec.exe /X {}", Kind::kMalformed, ""},
      // Not a product of the installer.
      {"MsiExec.exe /X C:\\Setup\\tool.msi", Kind::kNone, ""},
      {"MsiExec.exe /X", Kind::kNone, ""},
      {"MsiExec.exe /qn", Kind::kNone, ""},
      {"MsiExec.exe /info{6A1C2C39-1F4E-4E57-9E10-0B6B3B6D2C11}", Kind::kNone, ""},
      {"C:\\Apps\\notmsiexec.exe /X{6A1C2C39-1F4E-4E57-9E10-0B6B3B6D2C11}", Kind::kNone, ""},
      {"C:\\Apps\\uninst.exe MsiExec.exe /X{6A1C2C39-1F4E-4E57-9E10-0B6B3B6D2C11}", Kind::kNone, ""},
      {"C:\\MsiExec.exe.bak\\uninst.exe /X{6A1C2C39-1F4E-4E57-9E10-0B6B3B6D2C11}", Kind::kNone, ""},
      {"", Kind::kNone, ""},
      {"\"", Kind::kNone, ""},
  };
  for (const auto& c : cases) {
    const ProductReference found = ProductOfCommand(c.command);
    EXPECT_EQ(c.kind, found.kind) << c.command;
    EXPECT_EQ(c.code, found.code) << c.command;
  }
}

TEST(ProductCodeTest, AnEntryIsTheProductOfItsKeyOnlyWithWindowsInstaller) {
  const struct {
    const char* what;
    std::string key;
    std::string command;
    bool windowsInstaller;
    Kind kind;
    std::string code;
  } cases[] = {
      {"key and WindowsInstaller", kCode, "C:\\Apps\\uninst.exe", true, Kind::kProduct, kCode},
      {"key in lower case", "{6a1c2c39-1f4e-4e57-9e10-0b6b3b6d2c11}", "", true, Kind::kProduct, kCode},
      {"key without WindowsInstaller", kCode, "C:\\Apps\\uninst.exe", false, Kind::kNone, ""},
      {"a key that is no code", "Tool", "C:\\Apps\\uninst.exe", true, Kind::kNone, ""},
      {"the command's product before the key's", kCode, "MsiExec.exe /X{00000000-1111-2222-3333-444444444444}", true,
       Kind::kProduct, "{00000000-1111-2222-3333-444444444444}"},
      {"a malformed command is judged as it is, whatever the key", kCode, "MsiExec.exe /X{0000}", true,
       Kind::kMalformed, ""},
  };
  for (const auto& c : cases) {
    Entry entry;
    entry.keyName = c.key;
    entry.uninstallString = c.command;
    entry.windowsInstaller = c.windowsInstaller;
    const ProductReference found = ProductOfEntry(entry);
    EXPECT_EQ(c.kind, found.kind) << c.what;
    EXPECT_EQ(c.code, found.code) << c.what;
  }
}

TEST(ProductCodeTest, PackedAsTheInstallerNamesItsKeys) {
  const struct {
    std::string code;
    std::string packed;
  } cases[] = {
      // As Wine's installer registered this product in a test prefix.
      {kCode, "93C2C1A6E4F175E4E901B0B6B3D6C211"},
      {"{6a1c2c39-1f4e-4e57-9e10-0b6b3b6d2c11}", "93C2C1A6E4F175E4E901B0B6B3D6C211"},
      {"{01234567-89AB-CDEF-0123-456789ABCDEF}", "76543210BA98FEDC1032547698BADCFE"},
      {"{A1B2C3D4-E5F6-4718-9A0B-1C2D3E4F5061}", "4D3C2B1A6F5E8174A9B0C1D2E3F40516"},
      {"{01234567-89AB-CDEF-0123-456789ABCDE}", ""},
      {"01234567-89AB-CDEF-0123-456789ABCDEF", ""},
      {"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.packed, PackedProductCode(c.code)) << c.code;
    // And back: the code in upper case from its packed form.
    if (!c.packed.empty()) EXPECT_EQ(platform::UpperCaseText(c.code), ProductCodeOfPacked(c.packed)) << c.packed;
  }
  for (const char* notPacked : {"", "76543210BA98FEDC1032547698BADCF", "76543210BA98FEDC1032547698BADCFG"})
    EXPECT_EQ("", ProductCodeOfPacked(notPacked)) << notPacked;
}

}  // namespace
