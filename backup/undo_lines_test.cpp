#include "backup/undo_lines.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/memory/memory_platform.h"
#include "platform/text_encoding.h"
#include "tests/support/reg_file_reader.h"

using namespace platform;

namespace {

std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (int v : values) bytes += static_cast<char>(v);
  return bytes;
}

std::string Describe(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) out += "0123456789abcdef"[c >> 4], out += "0123456789abcdef"[c & 15];
  return out;
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

// String data as the registry keeps it: UTF-16LE.
std::string Wide(const std::string& utf8) { return Utf16LeFromUtf8(utf8); }

// Each type takes the form that gives it back, in each file: string data in the code page's
// bytes in the "REGEDIT4" file, as the registry keeps them in the Unicode one. "-" for a value
// that the "REGEDIT4" file cannot carry under code page 1252.
TEST(UndoLinesTest, EachTypeTakesTheFormThatGivesItBackInEachFile) {
  const struct {
    std::uint32_t type;
    std::string bytes;
    std::vector<std::string> regedit4;
    std::vector<std::string> unicode;
  } cases[] = {
      {kRegSz, Wide(std::string("a \"b\"\\\0", 7)), {"\"V\"=\"a \\\"b\\\"\\\\\""}, {"\"V\"=\"a \\\"b\\\"\\\\\""}},
      {kRegSz, Wide(std::string("\0", 1)), {"\"V\"=\"\""}, {"\"V\"=\"\""}},
      {kRegSz, Wide(std::string("\xc3\xa9\0", 3)), {"\"V\"=\"\xc3\xa9\""}, {"\"V\"=\"\xc3\xa9\""}},
      {kRegSz, Wide(std::string("\xe5\xbe\xae\xe4\xbf\xa1\0", 7)), {"\"V\"=\"\xe5\xbe\xae\xe4\xbf\xa1\""},
       {"\"V\"=\"\xe5\xbe\xae\xe4\xbf\xa1\""}},
      {kRegSz, "", {"\"V\"=hex(1):", ""}, {"\"V\"=hex(1):", ""}},
      {kRegSz, Wide("ab"), {"\"V\"=hex(1):61,62", ""}, {"\"V\"=hex(1):61,00,62,00", ""}},
      {kRegSz, Wide(std::string("a\0b\0", 4)), {"\"V\"=hex(1):61,00,62,00", ""},
       {"\"V\"=hex(1):61,00,00,00,62,00,00,00", ""}},
      // A surrogate without its partner is no text: the bytes as they are, in the Unicode file only.
      {kRegSz, Bytes({0x3D, 0xD8, 0, 0}), {"-"}, {"\"V\"=hex(1):3D,D8,00,00", ""}},
      {kRegSz, Bytes({'a', 0, 0}), {"-"}, {"\"V\"=hex(1):61,00,00", ""}},
      {kRegExpandSz, Wide(std::string("%X%\0", 4)), {"\"V\"=hex(2):25,58,25,00", ""},
       {"\"V\"=hex(2):25,00,58,00,25,00,00,00", ""}},
      {kRegExpandSz, Wide(std::string("\xc3\xa9\0", 3)), {"\"V\"=hex(2):E9,00", ""}, {"\"V\"=hex(2):E9,00,00,00", ""}},
      {kRegExpandSz, Wide(std::string("\xce\xb1\0", 3)), {"-"}, {"\"V\"=hex(2):B1,03,00,00", ""}},
      {kRegMultiSz, Wide(std::string("a\0b\0\0", 5)), {"\"V\"=hex(7):61,00,62,00,00", ""},
       {"\"V\"=hex(7):61,00,00,00,62,00,00,00,00,00", ""}},
      {kRegBinary, Bytes({0, 0xFF}), {"\"V\"=hex:00,FF", ""}, {"\"V\"=hex:00,FF", ""}},
      {kRegBinary, "", {"\"V\"=hex:", ""}, {"\"V\"=hex:", ""}},
      {kRegDword, Bytes({0x1A, 0, 0, 0}), {"\"V\"=dword:0000001A"}, {"\"V\"=dword:0000001A"}},
      {kRegDword, Bytes({1, 2}), {"\"V\"=hex(4):01,02", ""}, {"\"V\"=hex(4):01,02", ""}},
      {kRegDword, "", {"\"V\"=hex(4):", ""}, {"\"V\"=hex(4):", ""}},
      {kRegNone, "", {"\"V\"=hex(0):", ""}, {"\"V\"=hex(0):", ""}},
      {kRegDwordBigEndian, Bytes({0, 0, 0, 1}), {"\"V\"=hex(5):00,00,00,01", ""}, {"\"V\"=hex(5):00,00,00,01", ""}},
      {kRegLink, Wide("\xce\xb1"), {"\"V\"=hex(6):B1,03", ""}, {"\"V\"=hex(6):B1,03", ""}},
      {kRegResourceRequirementsList, "\x01", {"\"V\"=hex(a):01", ""}, {"\"V\"=hex(a):01", ""}},
      {kRegQword, std::string(8, '\x11'), {"\"V\"=hex(b):11,11,11,11,11,11,11,11", ""},
       {"\"V\"=hex(b):11,11,11,11,11,11,11,11", ""}},
      {0xABCD1234u, "z", {"\"V\"=hex(abcd1234):7A", ""}, {"\"V\"=hex(abcd1234):7A", ""}},
  };
  MemorySystem system;
  for (const auto& c : cases) {
    SCOPED_TRACE("type " + std::to_string(c.type) + " " + Describe(c.bytes));
    const auto regedit4 = ValueLines("V", c.type, c.bytes, UndoEncoding::Regedit4(system));
    EXPECT_EQ(c.regedit4, regedit4.value_or(std::vector<std::string>{"-"}));
    const auto unicode = ValueLines("V", c.type, c.bytes, UndoEncoding::Unicode());
    EXPECT_EQ(c.unicode, unicode.value_or(std::vector<std::string>{"-"}));
  }
}

// Whether a file carries a value decides with the whole of its lines: a name the code page lacks
// keeps a value out of the "REGEDIT4" file as much as its data does. Code pages 1252 and 932.
TEST(UndoLinesTest, AValueGoesToTheRegedit4FileOnlyWhenItsCodePageCarriesNameAndData) {
  const struct {
    unsigned codePage;
    std::string name;
    std::uint32_t type;
    std::string text;
    bool regedit4;
  } cases[] = {
      {1252, "Plain", kRegSz, "caf\xc3\xa9 \xe2\x82\xac", true},                  // é and the euro sign
      {1252, "Plain", kRegSz, "\xce\x95\xce\xbb\xce\xbb\xce\xb7\xce\xbd", false},  // Greek
      {1252, "\xd0\x98\xd0\xbc\xd1\x8f", kRegDword, "", false},                    // a Cyrillic name
      {1252, "Plain", kRegExpandSz, "e\xcc\x81", false},                          // a combining acute
      {1252, "Plain", kRegSz, "\xf0\x9f\x98\x80", false},                         // outside the BMP
      {1252, "Plain", kRegSz, "\xc2\xa5", true},                                  // the yen sign
      {932, "Plain", kRegSz, "\xe6\x88\x90\xe7\xb8\xbe\xe8\xa1\xa8", true},       // 成績表, 表 = 95 5C
      {932, "\xe3\x82\xbd\xe3\x83\x95\xe3\x83\x88", kRegExpandSz, "x", true},       // ソフト, ソ = 83 5C
      {932, "Plain", kRegSz, "\xc3\xa9", false},                                  // é is not in 932
      {932, "Plain", kRegSz, "\xc2\xa5", false},                                  // the yen sign reads back as a backslash
      {932, "Plain", kRegMultiSz, "\xd0\x96", true},                              // 932 has Cyrillic
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.codePage) + " " + c.name + " " + c.text);
    MemorySystem system;
    system.ansiCodePage = c.codePage;
    const std::string bytes = c.type == kRegDword ? std::string(4, '\0') : Wide(c.text + std::string(1, '\0'));
    EXPECT_EQ(c.regedit4, CarriedValueLines(c.name, c.type, bytes, UndoEncoding::Regedit4(system)).has_value());
    EXPECT_TRUE(CarriedValueLines(c.name, c.type, bytes, UndoEncoding::Unicode()).has_value());
  }
}

// A double-byte character whose second byte is a backslash is escaped as the character it is:
// never doubled, so the registry editor reads the text back whole.
TEST(UndoLinesTest, ASecondByteThatLooksLikeABackslashIsNeverEscaped) {
  MemorySystem system;
  system.ansiCodePage = 932;
  const UndoEncoding regedit4 = UndoEncoding::Regedit4(system);
  const std::string text = "\xe6\x88\x90\xe7\xb8\xbe\xe8\xa1\xa8\\";  // 成績表 and a real backslash
  const auto lines = CarriedValueLines("\xe8\xa1\xa8", kRegSz, Wide(text + std::string(1, '\0')), regedit4);
  ASSERT_TRUE(lines.has_value());
  std::string bytes;
  ASSERT_TRUE(regedit4.EncodeLine(lines->at(0), &bytes));
  EXPECT_EQ("\"\x95\x5c\"=\"\x90\xac\x90\xd1\x95\x5c\\\\\"", bytes);
}

// Every line form merges back to the same name, type and bytes, as the registry editor reads it,
// from either file; the "REGEDIT4" file is asked only for what its code page carries.
TEST(UndoLinesTest, MergingTheLinesGivesBackNameTypeAndBytes) {
  std::mt19937 random(20261207);
  const std::vector<std::string> names = {"", "Plain", "with \"quotes\"", "back\\slash", "cr\rlf\n", "\xc3\xa9t\xc3\xa9",
                                          "[bracket]", "semi;colon", "=equals", "@", "\xe8\xa1\xa8\xce\xb1"};
  // Characters for string data: ASCII, Latin-1, Greek, CJK, a surrogate pair, a lone surrogate.
  const std::vector<std::string> units = {Wide("a"), Wide("\\"), Wide("\xc3\xa9"), Wide("\xce\xb1"),
                                          Wide("\xe8\xa1\xa8"), Wide("\xf0\x9f\x98\x80"), Bytes({0x00, 0xDC})};
  const std::vector<size_t> sizes = {0, 1, 3, 4, 21, 22, 23, 24, 25, 26, 27, 50, 77, 78, 79, 1000};
  MemorySystem system;
  const regfile::AnsiDecoder decode = [&](const std::string& ansi) { return system.FromAnsiCodePage(ansi); };
  int checked = 0, inRegedit4 = 0;
  for (std::uint32_t type : {0u, 1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u, 9u, 10u, 11u, 0x20u, 0xFFFFFFFFu}) {
    for (size_t size : sizes) {
      for (const std::string& name : names) {
        std::string bytes;
        const bool text = type == 1 || type == 2 || type == 7;
        if (text) {
          // What the registry editor can carry: string types end in their NUL; a text without one
          // gets one added on the way back.
          for (size_t i = 0; i < size; ++i) bytes += units[random() % units.size()];
          bytes += std::string(2, '\0');
        } else {
          for (size_t i = 0; i < size; ++i) bytes += static_cast<char>(random() % 256);
        }
        for (const UndoEncoding& encoding : {UndoEncoding::Regedit4(system), UndoEncoding::Unicode()}) {
          const auto lines = CarriedValueLines(name, type, bytes, encoding);
          if (encoding.Format() == UndoFormat::kRegedit4 && !lines) continue;
          ASSERT_TRUE(lines.has_value()) << "the Unicode file carries everything";
          std::string file = encoding.Preamble() + encoding.EncodeAscii(encoding.HeaderText()) + encoding.EncodeAscii("\r\n\r\n") +
                             encoding.EncodeAscii("[HKEY_LOCAL_MACHINE\\SOFTWARE\\T]\r\n");
          for (const std::string& line : *lines) {
            ASSERT_EQ(std::string::npos, line.find_first_of("\r\n"));
            std::string encoded;
            ASSERT_TRUE(encoding.EncodeLine(line, &encoded));
            file += encoded + encoding.EncodeAscii("\r\n");
          }
          const regfile::Merge merge = regfile::Read(file, decode);
          ASSERT_EQ(2u, merge.steps.size()) << "type " << type << " size " << size << " name " << name;
          const regfile::Value& value = merge.steps[1].value;
          EXPECT_EQ(name, value.name);
          EXPECT_EQ(type, value.type);
          EXPECT_EQ(bytes, value.bytes) << "type " << type << " size " << size;
          ++checked;
          inRegedit4 += encoding.Format() == UndoFormat::kRegedit4 ? 1 : 0;
        }
      }
    }
  }
  EXPECT_EQ(14 * 16 * 11, checked - inRegedit4);
  EXPECT_GT(inRegedit4, 14 * 16 * 11 / 2) << "most values are for the REGEDIT4 file";
}

}  // namespace
