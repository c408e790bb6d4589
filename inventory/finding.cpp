#include "inventory/finding.h"

#include "platform/text_encoding.h"
#include "platform/win_codes.h"

namespace {

using Kind = Finding::Kind;

std::string DriveKind(std::uint32_t type) {
  switch (type) {
    case platform::kDriveRemovable:
      return "a removable drive";
    case platform::kDriveRemote:
      return "a network drive";
    case platform::kDriveCdrom:
      return "a CD-ROM drive";
    case platform::kDriveRamdisk:
      return "a RAM disk";
    default:
      return "a drive of type " + std::to_string(type);
  }
}

// "drive D:, a CD-ROM drive: not looked at" for the root "D:\".
std::string NeverLookedAtClause(const std::string& root, std::uint32_t type) {
  const std::string drive = !root.empty() && root.back() == '\\' ? root.substr(0, root.size() - 1) : root;
  return "drive " + drive + ", " + DriveKind(type) + ": not looked at";
}

size_t Characters(const std::string& text) { return platform::CodePointsOf(text).size(); }

// "Not found: P (looked for A, B and C)". Candidates are named while the line stays within
// kLongestLine characters, the first always; the others are counted: "(looked for A, B and 2 more)".
std::string LookedForLine(const Finding& finding) {
  const std::string head = "Not found: " + ShownInLine(finding.text) + " (";
  if (finding.lookedFor.empty()) return head + "too long a path to look for)";
  const std::string lead = "looked for ";
  std::vector<std::string> named;
  size_t length = Characters(head) + Characters(lead);
  for (const std::string& candidate : finding.lookedFor) {
    std::string shown = ShownInLine(candidate);
    length += Characters(shown) + 2;
    if (!named.empty() && length > kLongestLine) break;
    named.push_back(std::move(shown));
  }
  const size_t others = finding.othersLookedFor + finding.lookedFor.size() - named.size();
  std::string clause = lead;
  for (size_t i = 0; i < named.size(); ++i) {
    if (i > 0) clause += i + 1 == named.size() && others == 0 ? " and " : ", ";
    clause += named[i];
  }
  if (others > 0) clause += " and " + std::to_string(others) + " more";
  return head + clause + ")";
}

std::string NotFoundLine(const Finding& finding) {
  const std::string shown = ShownInLine(finding.text);
  switch (finding.kind) {
    case Kind::kNothingToLookFor:
      return shown.empty() ? "Not found: nothing to look for" : "Not found: nothing to look for in " + shown;
    case Kind::kNeverLookedAt:
      return "Not found: " + shown + " (on " + NeverLookedAtClause(finding.text.substr(0, 3), finding.driveType) +
             ")";
    default:
      return LookedForLine(finding);
  }
}

}  // namespace

std::string FindingLine(const Finding& finding) {
  const std::string shown = ShownInLine(finding.text);
  switch (finding.kind) {
    case Kind::kFile:
      return "Found " + shown;
    case Kind::kSearched:
      return "Found " + shown + " by a directory search";
    case Kind::kSearchedExe:
      return "Found " + shown + ", \".exe\" added by a directory search";
    case Kind::kFolder:
      return "Found the folder " + shown;
    case Kind::kPattern:
      return "Found a match for " + shown;
    case Kind::kBareName:
      return shown.empty() ? "Counted as found: an empty name without a folder"
                           : "Counted as found: " + shown + ", a name without a folder";
    case Kind::kNetworkPath:
      return "Counted as found: " + shown + ", a network path";
    case Kind::kRootedPath:
      return "Counted as found: " + shown + ", a path without a drive";
    case Kind::kPerCent:
      return "Counted as found: " + shown + ", which begins with a per-cent sign";
    default:
      return NotFoundLine(finding);
  }
}

std::string NeverLookedAtLine(const std::string& root, std::uint32_t driveType) {
  return "On " + NeverLookedAtClause(root, driveType);
}

std::string ShownInLine(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  const std::string trimmed = text.substr(first, text.find_last_not_of(' ') + 1 - first);
  const size_t characters = Characters(trimmed);
  if (characters <= kLongestShownText) return trimmed;
  // A path says most at its two ends: the drive and first folders, and the file's name.
  constexpr size_t kDots = 3, kHead = (kLongestShownText - kDots) / 2, kTail = kLongestShownText - kDots - kHead;
  const size_t headEnd = platform::Utf8Advance(trimmed, 0, kHead);
  const size_t tailStart = platform::Utf8Advance(trimmed, 0, characters - kTail);
  return trimmed.substr(0, headEnd) + "..." + trimmed.substr(tailStart);
}
