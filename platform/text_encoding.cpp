#include "platform/text_encoding.h"

namespace platform {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The code point that starts at `at`, and where the next one starts. A byte that does not begin
// a well-formed sequence (a stray continuation, an overlong form, a value past U+10FFFF, a sequence
// cut short) is one U+FFFD of its own. A surrogate's three bytes are that code point: the lossless
// form of an unpaired surrogate in a registry name.
char32_t DecodeAt(std::string_view text, std::size_t at, std::size_t* next) {
  const auto lead = static_cast<unsigned char>(text[at]);
  *next = at + 1;
  if (lead < 0x80) return lead;
  std::size_t length = 0;
  char32_t code = 0;
  if ((lead & 0xE0) == 0xC0) {
    length = 2;
    code = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3;
    code = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4;
    code = lead & 0x07;
  } else {
    return kReplacement;
  }
  if (at + length > text.size()) return kReplacement;
  for (std::size_t k = 1; k < length; ++k) {
    const auto byte = static_cast<unsigned char>(text[at + k]);
    if (!IsContinuation(byte)) return kReplacement;
    code = (code << 6) | (byte & 0x3F);
  }
  static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (code < kSmallest[length] || code > 0x10FFFF) return kReplacement;
  *next = at + length;
  return code;
}

void AppendUtf8(char32_t code, std::string& out) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

void AppendUnit(char16_t unit, std::string& out) {
  out += static_cast<char>(unit & 0xFF);
  out += static_cast<char>(unit >> 8);
}

char16_t UnitAt(std::string_view bytes, std::size_t index) {
  return static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * index]) |
                               (static_cast<unsigned char>(bytes[2 * index + 1]) << 8));
}

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

enum class Unpaired { kReplace, kRefuse, kKeep };

// Decodes UTF-16LE units, each unpaired surrogate as U+FFFD, as its own code point, or answering false.
bool DecodeUtf16(std::string_view bytes, Unpaired unpaired, std::string* text) {
  const std::size_t units = bytes.size() / 2;
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < units; ++i) {
    const char16_t unit = UnitAt(bytes, i);
    char32_t code = unit;
    if (IsHighSurrogate(unit) && i + 1 < units && IsLowSurrogate(UnitAt(bytes, i + 1))) {
      code = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (UnitAt(bytes, i + 1) - 0xDC00);
      ++i;
    } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
      if (unpaired == Unpaired::kRefuse) return false;
      if (unpaired == Unpaired::kReplace) code = kReplacement;
    }
    AppendUtf8(code, out);
  }
  *text = std::move(out);
  return true;
}

// The upper-case partner of a lower-case letter in a block where capitals and small letters
// alternate, the capital first.
char32_t PairedUpper(char32_t code, bool capitalIsEven) {
  return ((code % 2 == 0) == capitalIsEven) ? code : code - 1;
}

char32_t UpperOfLetter(char32_t c) {
  if (c >= 'a' && c <= 'z') return c - 32;
  if (c < 0xE0) return c;
  if (c <= 0xFE) return c == 0xF7 ? c : c - 32;
  if (c == 0xFF) return 0x178;
  if (c >= 0x100 && c <= 0x12F) return PairedUpper(c, true);
  if (c >= 0x132 && c <= 0x137) return PairedUpper(c, true);
  if (c >= 0x139 && c <= 0x148) return PairedUpper(c, false);
  if (c >= 0x14A && c <= 0x177) return PairedUpper(c, true);
  if (c >= 0x179 && c <= 0x17E) return PairedUpper(c, false);
  if (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) return c - 32;
  if (c == 0x3C2) return 0x3A3;  // final sigma
  if (c == 0x3AC) return 0x386;
  if (c >= 0x3AD && c <= 0x3AF) return c - 37;
  if (c == 0x3CC) return 0x38C;
  if (c == 0x3CD || c == 0x3CE) return c - 63;
  if (c >= 0x430 && c <= 0x44F) return c - 32;
  if (c >= 0x450 && c <= 0x45F) return c - 80;
  if ((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF) || (c >= 0x4D0 && c <= 0x52F))
    return PairedUpper(c, true);
  if (c >= 0x4C1 && c <= 0x4CE) return PairedUpper(c, false);
  if (c == 0x4CF) return 0x4C0;
  if (c >= 0xFF41 && c <= 0xFF5A) return c - 32;
  return c;
}

}  // namespace

std::string Utf8FromUtf16Le(std::string_view bytes) {
  std::string text;
  DecodeUtf16(bytes, Unpaired::kReplace, &text);
  return text;
}

std::string Wtf8FromUtf16Le(std::string_view bytes) {
  std::string text;
  DecodeUtf16(bytes, Unpaired::kKeep, &text);
  return text;
}

bool Utf8FromUtf16LeExactly(std::string_view bytes, std::string* text) {
  if (bytes.size() % 2 != 0) return false;
  return DecodeUtf16(bytes, Unpaired::kRefuse, text);
}

std::string ShownText(std::string_view text) {
  std::string shown;
  shown.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t start = at;
    const char32_t code = DecodeAt(text, at, &at);
    if (code >= 0xD800 && code <= 0xDFFF) AppendUtf8(kReplacement, shown);
    else shown.append(text.substr(start, at - start));
  }
  return shown;
}

std::string Utf16LeFromUtf8(std::string_view text) {
  std::string bytes;
  bytes.reserve(text.size() * 2);
  for (std::size_t at = 0; at < text.size();) {
    const char32_t code = DecodeAt(text, at, &at);
    if (code < 0x10000) {
      AppendUnit(static_cast<char16_t>(code), bytes);
    } else {
      AppendUnit(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)), bytes);
      AppendUnit(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)), bytes);
    }
  }
  return bytes;
}

std::size_t Utf16Length(std::string_view text) {
  std::size_t units = 0;
  for (std::size_t at = 0; at < text.size();) units += DecodeAt(text, at, &at) >= 0x10000 ? 2 : 1;
  return units;
}

std::size_t Utf8OffsetOfUnits(std::string_view text, std::size_t units) {
  std::size_t at = 0;
  for (std::size_t counted = 0; counted < units && at < text.size();)
    counted += DecodeAt(text, at, &at) >= 0x10000 ? 2 : 1;
  return at;
}

std::size_t Utf8Advance(std::string_view text, std::size_t from, std::size_t count) {
  std::size_t at = from;
  for (std::size_t k = 0; k < count && at < text.size(); ++k) DecodeAt(text, at, &at);
  return at < text.size() ? at : text.size();
}

std::u32string CodePointsOf(std::string_view text) {
  std::u32string codes;
  for (std::size_t at = 0; at < text.size();) codes += DecodeAt(text, at, &at);
  return codes;
}

char32_t UpperCaseOf(char32_t code) { return UpperOfLetter(code); }

std::string UpperCaseText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const auto byte = static_cast<unsigned char>(text[at]);
    if (byte < 0x80) {
      out += static_cast<char>(byte >= 'a' && byte <= 'z' ? byte - 32 : byte);
      ++at;
      continue;
    }
    const std::size_t start = at;
    const char32_t code = DecodeAt(text, at, &at);
    // A byte that is not UTF-8 stays as it is, so that such a name still equals itself.
    if (code == kReplacement && at == start + 1) out += text[start];
    else AppendUtf8(UpperOfLetter(code), out);
  }
  return out;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && UpperCaseText(text.substr(0, prefix.size())) == UpperCaseText(prefix);
}

std::string LowerCaseAscii(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

}  // namespace platform
