#pragma once
// The lines of the undo file: key lines, value lines and the layout of byte lines.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "backup/undo_encoding.h"
#include "platform/win_codes.h"
#include "registry/registry_place.h"

// The text escaped for the inside of a quoted name or text: LF, CR, double quote and backslash.
// Escaped in UTF-8, character by character, before the line is encoded for its file: so a
// backslash is only ever a backslash, never the second byte of a double-byte character.
std::string EscapeRegText(const std::string& text);

// "[" + root name + key path + "]".
std::string KeyLine(const std::string& rootName, const std::string& keyPath);
// The key's line: "[" + its name (KeyPlace::Name) + "]".
std::string KeyLine(const KeyPlace& key);

// The longest key path below the root, in UTF-16 units, that the registry editor merges back into
// that very key: its wide call cuts a longer path there, and the merge would make a key of the cut
// name instead.
inline constexpr std::size_t kLongestMergedKeyPath = 32766;

enum class KeyLineFit { kFits, kLineBreak, kTooLong };

// Whether a key line naming the path (below the root, as the line names it, with or without its
// leading backslash) gives that key back when merged: a key line cannot escape a line break, and a
// path longer than kLongestMergedKeyPath is not merged where it was.
KeyLineFit FitOfKeyLine(const std::string& keyPath);

// "@" for the unnamed value, otherwise the escaped name in double quotes.
std::string NamePart(const std::string& valueName);

// The name part, "=", the escaped text in double quotes.
std::string TextValueLine(const std::string& namePart, const std::string& text);

// The name part, "=dword:", eight upper-case hexadecimal digits.
std::string DWordLine(const std::string& namePart, std::uint32_t number);

// The name part, "=" + tag ("hex:" or "hex(7):"), then the bytes as upper-case pairs with commas,
// broken after 75 characters with a backslash while bytes follow. No empty line after them.
std::vector<std::string> ByteValueLines(const std::string& namePart, const std::string& tag,
                                        const std::string& bytes);

// Every line that gives back the value with its name, type and bytes (as the registry keeps
// them: string data in UTF-16LE) when the file is merged, in the form its type calls for, the
// empty line after byte lines included. Lines are UTF-8, to be encoded for the file; nothing when
// the file cannot carry the value's string data.
std::optional<std::vector<std::string>> ValueLines(const std::string& valueName, std::uint32_t typeCode,
                                                   const std::string& bytes, const UndoEncoding& encoding);
// ValueLines, only when the file carries every one of them exactly.
std::optional<std::vector<std::string>> CarriedValueLines(const std::string& valueName, std::uint32_t typeCode,
                                                          const std::string& bytes, const UndoEncoding& encoding);
