#pragma once
// The one place where the program's UTF-8 texts meet the UTF-16 of the wide calls.
#include <cstddef>
#include <string>
#include <vector>

namespace platform {

// MultiByteToWideChar(CP_UTF8): every byte counts, NULs inside included.
std::wstring Widen(const std::string& text);
// WideCharToMultiByte(CP_UTF8) of `length` units.
std::string Narrow(const wchar_t* text, std::size_t length);
std::string Narrow(const std::wstring& text);
// The text a call wrote into a buffer, up to its first NUL.
std::string NarrowUpToNul(const std::vector<wchar_t>& buffer);

}  // namespace platform
