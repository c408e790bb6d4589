#include "platform/win32/wide_text.h"

#include <windows.h>

#include <cwchar>

#include "platform/text_encoding.h"

namespace platform {

// Converted by the program's own rules rather than MultiByteToWideChar and WideCharToMultiByte, which
// turn an unpaired surrogate into U+FFFD: a name must reach the registry exactly as it came.
std::wstring Widen(const std::string& text) {
  const std::string bytes = Utf16LeFromUtf8(text);
  std::wstring wide(bytes.size() / 2, L'\0');
  for (std::size_t i = 0; i < wide.size(); ++i)
    wide[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[2 * i]) | (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
  return wide;
}

std::string Narrow(const wchar_t* text, std::size_t length) {
  std::string bytes(2 * length, '\0');
  for (std::size_t i = 0; i < length; ++i) {
    bytes[2 * i] = static_cast<char>(text[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<char>((text[i] >> 8) & 0xFF);
  }
  return Wtf8FromUtf16Le(bytes);
}

std::string Narrow(const std::wstring& text) { return Narrow(text.data(), text.size()); }

std::string NarrowUpToNul(const std::vector<wchar_t>& buffer) {
  std::size_t length = 0;
  while (length < buffer.size() && buffer[length] != L'\0') ++length;
  return Narrow(buffer.data(), length);
}

}  // namespace platform
