#pragma once
// Texts are UTF-8 in the program; the registry keeps string data as UTF-16LE bytes. These are the
// portable conversions between the two, and the measures of a UTF-8 text that the wide calls of
// the platform count in UTF-16 units.
#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// Texts may hold an unpaired surrogate, which the registry allows in a name: as the three bytes of
// its code point (WTF-8), so that the name goes back to the registry unit for unit.

// UTF-16LE bytes as UTF-8. An unpaired surrogate becomes U+FFFD; an odd last byte is dropped.
std::string Utf8FromUtf16Le(std::string_view bytes);
// The same, each unpaired surrogate kept as its three bytes: the lossless form of a name.
std::string Wtf8FromUtf16Le(std::string_view bytes);
// The text as a person or a report shows it: each unpaired surrogate as U+FFFD.
std::string ShownText(std::string_view text);
// The same, only when every unit converts as it stands: false for an odd number of bytes or an
// unpaired surrogate.
bool Utf8FromUtf16LeExactly(std::string_view bytes, std::string* text);
// UTF-8 as UTF-16LE bytes, an unpaired surrogate's three bytes as that unit. A byte that does not
// belong to a UTF-8 sequence becomes U+FFFD.
std::string Utf16LeFromUtf8(std::string_view text);

// The number of UTF-16 units of the text: what the wide calls count as its characters.
std::size_t Utf16Length(std::string_view text);
// The byte offset in the text where its first `units` UTF-16 units end, at most the text's size.
// A position inside a surrogate pair counts as the end of the pair.
std::size_t Utf8OffsetOfUnits(std::string_view text, std::size_t units);
// The byte offset `count` characters after `from`, at most the text's size.
std::size_t Utf8Advance(std::string_view text, std::size_t from, std::size_t count);

// The characters of the text, each byte that is not UTF-8 as U+FFFD.
std::u32string CodePointsOf(std::string_view text);

// The upper-case form of one character, as Windows compares names without regard to case.
char32_t UpperCaseOf(char32_t code);
// The text with every letter in its upper-case form, as Windows compares registry and file names
// without regard to case (ASCII, Latin-1, Latin Extended-A, Greek, Cyrillic and full-width Latin).
std::string UpperCaseText(std::string_view text);
// Whether the text starts with the prefix, letters compared as UpperCaseText compares them.
bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix);
// The text with the letters A to Z in lower case and every other byte as it is.
std::string LowerCaseAscii(std::string text);

}  // namespace platform
