#include "platform/text_encoding.h"

#include <gtest/gtest.h>

#include <string>

namespace platform {
namespace {

std::string Bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out += static_cast<char>(v);
  return out;
}

TEST(TextEncoding, Utf16LeAndUtf8GiveEachOtherBackExactly) {
  const struct {
    const char* what;
    std::string utf8;
    std::string utf16;
  } cases[] = {
      {"empty", "", ""},
      {"ASCII", "a\\\"", Bytes({'a', 0, '\\', 0, '"', 0})},
      {"Latin-1", "\xc3\xa9", Bytes({0xE9, 0})},
      {"a NUL inside", std::string("a\0b", 3), Bytes({'a', 0, 0, 0, 'b', 0})},
      {"Cyrillic", "\xd0\x96", Bytes({0x16, 0x04})},
      {"CJK whose low byte is a backslash", "\xe8\xa1\xa8", Bytes({0x68, 0x88})},
      {"outside the BMP: a surrogate pair", "\xf0\x9f\x98\x80", Bytes({0x3D, 0xD8, 0x00, 0xDE})},
      {"last BMP character", "\xef\xbf\xbf", Bytes({0xFF, 0xFF})},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.utf16, Utf16LeFromUtf8(c.utf8)) << c.what;
    std::string text;
    ASSERT_TRUE(Utf8FromUtf16LeExactly(c.utf16, &text)) << c.what;
    EXPECT_EQ(c.utf8, text) << c.what;
    EXPECT_EQ(c.utf8, Utf8FromUtf16Le(c.utf16)) << c.what;
  }
}

// Data that is not whole UTF-16 is never taken for exact text and shows with U+FFFD; as a name, an
// unpaired surrogate is kept as its three bytes and goes back to the registry as the same unit.
TEST(TextEncoding, DataThatIsNotWholeUtf16IsNeverTakenForExact) {
  const struct {
    const char* what;
    std::string utf16;
    std::string lenient;  // what a display gets
    std::string kept;     // the lossless form of a name
  } cases[] = {
      {"odd byte count", Bytes({'a', 0, 'b'}), "a", "a"},
      {"a lone high surrogate at the end", Bytes({'a', 0, 0x3D, 0xD8}), "a\xef\xbf\xbd", "a\xed\xa0\xbd"},
      {"a lone low surrogate", Bytes({0x00, 0xDE, 'a', 0}), "\xef\xbf\xbd" "a", "\xed\xb8\x80" "a"},
      {"a high surrogate before a plain unit", Bytes({0x3D, 0xD8, 'a', 0}), "\xef\xbf\xbd" "a", "\xed\xa0\xbd" "a"},
  };
  for (const auto& c : cases) {
    std::string text = "untouched";
    EXPECT_FALSE(Utf8FromUtf16LeExactly(c.utf16, &text)) << c.what;
    EXPECT_EQ(c.lenient, Utf8FromUtf16Le(c.utf16)) << c.what;
    EXPECT_EQ(c.kept, Wtf8FromUtf16Le(c.utf16)) << c.what;
    EXPECT_EQ(c.lenient, ShownText(c.kept)) << c.what;
    EXPECT_EQ(c.utf16.substr(0, c.utf16.size() / 2 * 2), Utf16LeFromUtf8(c.kept)) << c.what << ": back unit for unit";
  }
}

TEST(TextEncoding, BytesThatAreNotUtf8BecomeReplacementCharacters) {
  const struct {
    const char* what;
    std::string utf8;
    std::string utf16;
  } cases[] = {
      {"a stray continuation byte", "\x80", Bytes({0xFD, 0xFF})},
      {"a sequence cut short", "\xe8\xa1", Bytes({0xFD, 0xFF, 0xFD, 0xFF})},
      {"an overlong slash", "\xc0\xaf", Bytes({0xFD, 0xFF, 0xFD, 0xFF})},
      {"a Latin-1 byte", "caf\xe9", Bytes({'c', 0, 'a', 0, 'f', 0, 0xFD, 0xFF})},
  };
  for (const auto& c : cases) EXPECT_EQ(c.utf16, Utf16LeFromUtf8(c.utf8)) << c.what;
}

TEST(TextEncoding, LengthsAndOffsetsCountWhatTheWideCallsCount) {
  const std::string text = "a\xc3\xa9\xe8\xa1\xa8\xf0\x9f\x98\x80z";  // a é 表 😀 z
  EXPECT_EQ(6u, Utf16Length(text));
  const struct {
    std::size_t units;
    std::size_t offset;
  } offsets[] = {{0, 0}, {1, 1}, {2, 3}, {3, 6}, {4, 10}, {5, 10}, {6, 11}, {60, 11}};
  for (const auto& o : offsets) EXPECT_EQ(o.offset, Utf8OffsetOfUnits(text, o.units)) << o.units;
  const struct {
    std::size_t from;
    std::size_t count;
    std::size_t offset;
  } advances[] = {{0, 0, 0}, {0, 2, 3}, {1, 3, 10}, {3, 9, 11}, {11, 1, 11}};
  for (const auto& a : advances) EXPECT_EQ(a.offset, Utf8Advance(text, a.from, a.count)) << a.from << "+" << a.count;
}

TEST(TextEncoding, UpperCaseFollowsWindowsForLatinGreekAndCyrillic) {
  const struct {
    const char* text;
    const char* upper;
  } cases[] = {
      {"abc-xyz 09", "ABC-XYZ 09"},
      {"\xc3\xa9\x63lair \xc3\xbf", "\xc3\x89\x43LAIR \xc5\xb8"},          // éclair ÿ
      {"\xc3\xb7", "\xc3\xb7"},                                             // ÷ has no case
      {"\xc4\x81\xc5\x82\xc5\xbe", "\xc4\x80\xc5\x81\xc5\xbd"},             // ā ł ž
      {"\xce\xb1\xcf\x82\xce\xac\xcf\x8e", "\xce\x91\xce\xa3\xce\x86\xce\x8f"},  // α ς ά ώ
      {"\xd0\xba\xd0\xb8\xd1\x80\xd1\x91", "\xd0\x9a\xd0\x98\xd0\xa0\xd0\x81"},  // кирё
      {"\xd2\x91\xd3\x82", "\xd2\x90\xd3\x81"},                             // ґ ӂ
      {"\xef\xbd\x81", "\xef\xbc\xa1"},                                     // full-width a
      {"\xe8\xa1\xa8\xf0\x9f\x98\x80", "\xe8\xa1\xa8\xf0\x9f\x98\x80"},     // no case
      {"x\x80y", "X\x80Y"},                                                 // not UTF-8: kept
  };
  for (const auto& c : cases) EXPECT_EQ(c.upper, UpperCaseText(c.text)) << c.text;
}

}  // namespace
}  // namespace platform
