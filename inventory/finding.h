#pragma once
// What one search of the finder came to, and the lines that tell a person why an entry has its
// status: what was found, what was looked for in vain, or which drive was not looked at.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct Finding {
  enum class Kind : std::uint8_t {
    // Not found.
    kNothingToLookFor,  // the piece holds no path once cut (empty, quotes only, a leading "*")
    kNotFound,          // every candidate was looked for in vain
    kNeverLookedAt,     // the path lies on a drive of a kind that is never looked at
    // Found by a query.
    kFile,
    kSearched,     // the directory search of the folder for the name
    kSearchedExe,  // the same with ".exe" added to the name
    kFolder,
    kPattern,  // the name with any extension
    // Counted as found by its form, without a query.
    kBareName,     // a name without a folder
    kNetworkPath,  // \\server\share\...
    kRootedPath,   // \folder\..., a path without a drive
    kPerCent,      // a text that begins with a per-cent sign once expanded
  };

  Kind kind = Kind::kNothingToLookFor;
  // What was found or counted as found (the pattern for kPattern), the piece that was not found,
  // or for kNothingToLookFor the text as the finder was given it.
  std::string text;
  // The first distinct candidates looked for in vain, in the order they were looked for, and how
  // many others there were.
  std::vector<std::string> lookedFor;
  std::size_t othersLookedFor = 0;
  // For kNeverLookedAt: the drive's type.
  std::uint32_t driveType = 0;

  bool Found() const { return kind >= Kind::kFile; }
};

// How many candidates looked for in vain a finding names; it counts the others.
inline constexpr std::size_t kCandidatesNamed = 3;
// The longest text a line shows whole, in characters.
inline constexpr std::size_t kLongestShownText = 120;
// How long a line of candidates grows before it counts the rest instead of naming them.
inline constexpr std::size_t kLongestLine = 2 * kLongestShownText;

// One line that says what the search found, or what it looked for in vain: "Found C:\App\u.exe",
// "Not found: C:\Old\setup.exe (looked for C:\Old\setup.exe, C:\Old\setup.exe.* and C:\Old)".
std::string FindingLine(const Finding& finding);
// The line for a path on a drive that is never looked at: "On drive D:, a CD-ROM drive: not
// looked at". `root` is the drive's root, such as "D:\".
std::string NeverLookedAtLine(const std::string& root, std::uint32_t driveType);
// The text without blanks at either end, and when longer than kLongestShownText characters, its
// beginning and its end with "..." between them.
std::string ShownInLine(const std::string& text);
