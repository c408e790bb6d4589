#include "platform/win32/wide_text.h"

#include <windows.h>

#include <cwchar>

namespace platform {

std::wstring Widen(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
  if (length > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), length);
  return wide;
}

std::string Narrow(const wchar_t* text, std::size_t length) {
  if (length == 0) return std::string();
  const int size = static_cast<int>(length);
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, size, nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
  if (bytes > 0) WideCharToMultiByte(CP_UTF8, 0, text, size, narrow.data(), bytes, nullptr, nullptr);
  return narrow;
}

std::string Narrow(const std::wstring& text) { return Narrow(text.data(), text.size()); }

std::string NarrowUpToNul(const std::vector<wchar_t>& buffer) {
  std::size_t length = 0;
  while (length < buffer.size() && buffer[length] != L'\0') ++length;
  return Narrow(buffer.data(), length);
}

}  // namespace platform
