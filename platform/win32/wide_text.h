#pragma once
// The one place where the program's UTF-8 texts meet the UTF-16 of the wide calls.
#include <cstddef>
#include <string>
#include <vector>

namespace platform {

// The text's UTF-16: every byte counts, NULs inside included; an unpaired surrogate's three bytes
// are that unit.
std::wstring Widen(const std::string& text);
// The UTF-8 of `length` units, each unpaired surrogate kept as its three bytes.
std::string Narrow(const wchar_t* text, std::size_t length);
std::string Narrow(const std::wstring& text);
// The text a call wrote into a buffer, up to its first NUL.
std::string NarrowUpToNul(const std::vector<wchar_t>& buffer);

}  // namespace platform
