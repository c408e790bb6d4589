#include "backup/undo_lines.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tests/support/reg_file_reader.h"

using namespace platform;

namespace {

std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (int v : values) bytes += static_cast<char>(v);
  return bytes;
}

TEST(UndoLinesTest, EscapingTouchesOnlyTheFourBytesEachOnce) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"", ""},
      {"\\\"\r\n", "\\\\\\\"\\r\\n"},
      {"C:\\Program Files\\x.exe", "C:\\\\Program Files\\\\x.exe"},
      {"say \"hi\"", "say \\\"hi\\\""},
      {"tab\there \x01\x7f\x80\xe9\xff", "tab\there \x01\x7f\x80\xe9\xff"},
      {"\\n", "\\\\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.out, EscapeRegText(c.in)) << c.in;
  EXPECT_EQ(8u, EscapeRegText("\\\"\r\n").size());
}

TEST(UndoLinesTest, FixedLineForms) {
  EXPECT_EQ("[HKEY_LOCAL_MACHINE\\SOFTWARE\\X]", KeyLine(RootName(kHkeyLocalMachine), "\\SOFTWARE\\X"));
  const struct {
    Hkey root;
    const char* name;
  } roots[] = {{kHkeyClassesRoot, "HKEY_CLASSES_ROOT"}, {kHkeyCurrentUser, "HKEY_CURRENT_USER"},
               {kHkeyLocalMachine, "HKEY_LOCAL_MACHINE"}, {kHkeyUsers, "HKEY_USERS"},
               {kHkeyCurrentConfig, "HKEY_CURRENT_CONFIG"}, {kHkeyDynData, "HKEY_DYN_DATA"},
               {kHkeyPerformanceData, ""}, {0x1234, ""}};
  for (const auto& r : roots) EXPECT_EQ(r.name, RootName(r.root));
  EXPECT_EQ("@", NamePart(""));
  EXPECT_EQ("\"a\\\"b\\\\c\"", NamePart("a\"b\\c"));
  EXPECT_EQ("\"UninstallString\"=\"C:\\\\x.exe /u\"", TextValueLine(NamePart("UninstallString"), "C:\\x.exe /u"));
  EXPECT_EQ("@=dword:FFFFFFFF", DWordLine("@", 0xFFFFFFFFu));
  EXPECT_EQ("\"n\"=dword:0000001A", DWordLine("\"n\"", 26));
}

TEST(UndoLinesTest, ByteLinesBreakAfterSeventyFiveCharacters) {
  const struct {
    std::string namePart, tag;
    size_t count;
    std::vector<size_t> bytesPerLine;
  } cases[] = {
      {"\"Data\"", "hex:", 30, {22, 8}},
      {"\"Data\"", "hex:", 22, {22}},
      {"\"Data\"", "hex:", 23, {22, 1}},
      {"@", "hex:", 24, {24}},
      {"@", "hex:", 25, {24, 1}},
      {"@", "hex:", 100, {24, 26, 26, 24}},
      {"@", "hex(b):", 30, {23, 7}},
      {"\"Data\"", "hex:", 0, {0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.namePart + c.tag + std::to_string(c.count));
    std::string bytes;
    for (size_t i = 0; i < c.count; ++i) bytes += static_cast<char>(0xA0 + i % 16);
    const std::vector<std::string> lines = ByteValueLines(c.namePart, c.tag, bytes);
    ASSERT_EQ(c.bytesPerLine.size(), lines.size());
    size_t at = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
      std::string expected = i == 0 ? c.namePart + "=" + c.tag : "";
      for (size_t b = 0; b < c.bytesPerLine[i]; ++b, ++at) {
        static const char digits[] = "0123456789ABCDEF";
        const auto v = static_cast<unsigned char>(bytes[at]);
        expected += std::string{digits[v >> 4], digits[v & 15]} + ",";
      }
      const bool last = i + 1 == lines.size();
      if (last && c.count > 0) expected.pop_back();
      if (!last) expected += "\\";
      EXPECT_EQ(expected, lines[i]);
      if (!last) {
        EXPECT_GT(lines[i].size(), 76u);
      }
    }
  }
  const std::vector<std::string> thirty = ByteValueLines("\"Data\"", "hex:", std::string(30, '\0'));
  EXPECT_EQ(78u, thirty[0].size());
  EXPECT_EQ(",\\", thirty[0].substr(76));
  EXPECT_EQ(79u, ByteValueLines("@", "hex:", std::string(60, '\0'))[1].size()) << "26 bytes and the backslash";
}

TEST(UndoLinesTest, EachTypeTakesTheFormThatGivesItBack) {
  const struct {
    std::uint32_t type;
    std::string bytes;
    std::vector<std::string> lines;
  } cases[] = {
      {kRegSz, std::string("a \"b\"\\\0", 7), {"\"V\"=\"a \\\"b\\\"\\\\\""}},
      {kRegSz, std::string("\0", 1), {"\"V\"=\"\""}},
      {kRegSz, "", {"\"V\"=hex(1):", ""}},
      {kRegSz, "ab", {"\"V\"=hex(1):61,62", ""}},
      {kRegSz, std::string("a\0b\0", 4), {"\"V\"=hex(1):61,00,62,00", ""}},
      {kRegExpandSz, std::string("%X%\0", 4), {"\"V\"=hex(2):25,58,25,00", ""}},
      {kRegBinary, Bytes({0, 0xFF}), {"\"V\"=hex:00,FF", ""}},
      {kRegBinary, "", {"\"V\"=hex:", ""}},
      {kRegDword, Bytes({0x1A, 0, 0, 0}), {"\"V\"=dword:0000001A"}},
      {kRegDword, Bytes({1, 2}), {"\"V\"=hex(4):01,02", ""}},
      {kRegDword, "", {"\"V\"=hex(4):", ""}},
      {kRegNone, "", {"\"V\"=hex(0):", ""}},
      {kRegDwordBigEndian, Bytes({0, 0, 0, 1}), {"\"V\"=hex(5):00,00,00,01", ""}},
      {kRegMultiSz, std::string("a\0b\0\0", 5), {"\"V\"=hex(7):61,00,62,00,00", ""}},
      {kRegResourceRequirementsList, "\x01", {"\"V\"=hex(a):01", ""}},
      {kRegQword, std::string(8, '\x11'), {"\"V\"=hex(b):11,11,11,11,11,11,11,11", ""}},
      {0xABCD1234u, "z", {"\"V\"=hex(abcd1234):7A", ""}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("type " + std::to_string(c.type));
    EXPECT_EQ(c.lines, ValueLines("V", c.type, c.bytes));
  }
}

// Every line form merges back to the same name, type and bytes, as the registry editor reads it.
TEST(UndoLinesTest, MergingTheLinesGivesBackNameTypeAndBytes) {
  std::mt19937 random(20261207);
  const std::vector<std::string> names = {"", "Plain", "with \"quotes\"", "back\\slash", "cr\rlf\n", "\xe9t\xe9",
                                          "[bracket]", "semi;colon", "=equals", "@"};
  const std::vector<size_t> sizes = {0, 1, 3, 4, 21, 22, 23, 24, 25, 26, 27, 50, 77, 78, 79, 1000, 5000};
  int checked = 0;
  for (std::uint32_t type : {0u, 1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u, 9u, 10u, 11u, 0x20u, 0xFFFFFFFFu}) {
    for (size_t size : sizes) {
      for (const std::string& name : names) {
        std::string bytes(size, '\0');
        for (char& c : bytes) c = static_cast<char>(random() % 256);
        // What the registry editor can carry: string types end in their NUL; a text without one
        // gets one added on the way back.
        if ((type == 1 || type == 2 || type == 7) && size > 0) bytes.back() = '\0';
        std::string file = "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\T]\r\n";
        for (const std::string& line : ValueLines(name, type, bytes)) {
          ASSERT_EQ(std::string::npos, line.find_first_of("\r\n"));
          file += line + "\r\n";
        }
        const regfile::Merge merge = regfile::Read(file);
        ASSERT_EQ(2u, merge.steps.size()) << "type " << type << " size " << size << " name " << name;
        const regfile::Value& value = merge.steps[1].value;
        EXPECT_EQ(name, value.name);
        EXPECT_EQ(type, value.type);
        EXPECT_EQ(bytes, value.bytes) << "type " << type << " size " << size;
        ++checked;
      }
    }
  }
  EXPECT_EQ(14 * 17 * 10, checked);
}

}  // namespace
