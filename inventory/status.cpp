#include <algorithm>
#include <string>

#include "inventory/status.h"

#include "inventory/installer_health.h"
#include "inventory/installer_status.h"
#include "inventory/product_code.h"
#include "platform/redirection.h"
#include "platform/text_encoding.h"
#include "platform/win_codes.h"

namespace {

int DriveStatus(std::uint32_t type) {
  const bool missingDisk = type == platform::kDriveRemovable || type == platform::kDriveRemote ||
                           type == platform::kDriveCdrom || type == platform::kDriveRamdisk;
  return missingDisk ? kMissingDisk : kBrokenLink;
}

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// The start of the last occurrence of the keyword (upper case) in the text, letter case of the
// ASCII letters ignored; npos when there is none.
size_t LastOccurrence(const std::string& text, const std::string& keyword) {
  if (text.size() < keyword.size()) return std::string::npos;
  for (size_t start = text.size() - keyword.size() + 1; start-- > 0;) {
    size_t k = 0;
    while (k < keyword.size() && Upper(text[start + k]) == keyword[k]) ++k;
    if (k == keyword.size()) return start;
  }
  return std::string::npos;
}

// The status of a piece that was not found, from the drive it lies on, and why.
int StatusOfMissingPiece(Finder& finder, const std::string& root, const Finding& finding, std::string* reason,
                         std::string* file) {
  const std::uint32_t type = finder.DriveType(root);
  const int status = DriveStatus(type);
  if (reason) *reason = status == kMissingDisk ? NeverLookedAtLine(root, type) : FindingLine(finding);
  if (file) {
    // The piece up to its last character that is not a blank: the blank before the arguments.
    *file = status == kMissingDisk ? std::string() : finding.text.substr(0, finding.text.find_last_not_of(' ') + 1);
  }
  return status;
}

// A library that RunDll32 is handed names its entry after a comma ("Setup.dll,LaunchSetup"): the
// line and the file name the library alone.
void DropEntryPoint(Finding& finding) {
  const size_t comma = finding.text.rfind(',');
  if (comma == std::string::npos || comma < 4) return;
  const std::string library = finding.text.substr(0, comma);
  if (LastOccurrence(library, ".DLL") == library.size() - 4) finding.text = library;
}

// Each rule hands a shorter remainder of the string to the next round, so this is a loop rather
// than the recursion it reads as: an uninstall string of any length cannot exhaust the stack. The
// remainder is always a tail of the text, so it is kept as a start index, and the keyword tests
// look only at where the keywords last occur: the work stays in proportion to the text.
// With `first`, the check ends at the first piece it looks for and notes it there.
int CheckPieces(Finder& finder, const std::string& text, std::string* reason, std::string* file,
                ProgramPiece* first) {
  const size_t n = text.size();
  Finding finding;
  Finding* const noted = reason || file || first ? &finding : nullptr;
  const auto noteFirst = [&](const std::string& piece, size_t at, bool found) {
    *first = {finding, piece, at};
    return found ? kGoodLink : kBrokenLink;
  };
  // A command that hands a library to RunDll32 (or RunDll), under any of its names.
  const size_t lastRundllName = LastOccurrence(text, "RUNDLL");
  const size_t lastRundll32 = LastOccurrence(text, "RUNDLL32 ");
  const size_t lastRundll = LastOccurrence(text, "RUNDLL ");
  // Counts of positions are characters; the marks looked for are ASCII, never part of another
  // character, so the remainder always starts on a character's boundary.
  size_t start = 0;  // the remainder s is text from byte index start
  auto dropFromStart = [&](size_t count) { start = platform::Utf8Advance(text, start, count); };
  auto firstWithin = [&](char c, size_t positions) -> size_t {  // 1-based position, 0 = not there
    size_t at = start;
    for (size_t k = 0; k < positions && at < n; ++k) {
      if (text[at] == c) return k + 1;
      at = platform::Utf8Advance(text, at, 1);
    }
    return 0;
  };

  for (;;) {
    if (const size_t quote = firstWithin('"', 3)) {
      dropFromStart(quote);
      continue;
    }
    if (lastRundll32 != std::string::npos && lastRundll32 >= start) {
      dropFromStart(9);
      continue;
    }
    if (lastRundll != std::string::npos && lastRundll >= start) {
      dropFromStart(7);
      continue;
    }
    if (const size_t blank = firstWithin(' ', 4)) {
      dropFromStart(blank);
      continue;
    }
    const bool library = lastRundllName != std::string::npos && lastRundllName < start;
    const std::string root = text.substr(start, platform::Utf8Advance(text, start, 3) - start);
    const size_t drive = text.find(":\\", platform::Utf8Advance(text, start, 2));  // in s from its position 3
    if (drive == std::string::npos) {
      const bool found = finder.nFindSpace(text.substr(start), noted);
      if (first) return noteFirst(text.substr(start), start, found);
      if (library) DropEntryPoint(finding);
      if (!found) return StatusOfMissingPiece(finder, root, finding, reason, file);
      if (reason) *reason = FindingLine(finding);
      if (file) *file = finding.text;
      return kGoodLink;
    }
    // The piece ends just before the drive letter of the next absolute path.
    const std::string piece = text.substr(start, drive - 1 - start);
    const size_t q = platform::CodePointsOf(piece).size();
    // A piece of three characters or fewer leads on to the rest whether it is found or not: it is
    // not looked for.
    if (first && q > 3) return noteFirst(piece, start, finder.nFindSpace(piece, noted));
    if (q > 3 && !finder.nFindSpace(piece, noted)) {
      if (library) DropEntryPoint(finding);
      return StatusOfMissingPiece(finder, root, finding, reason, file);
    }
    dropFromStart(q);
  }
}

}  // namespace

int CheckUninstall(Finder& finder, const std::string& text, std::string* reason, std::string* file) {
  return CheckPieces(finder, text, reason, file, nullptr);
}

ProgramPiece FirstPieceOf(Finder& finder, const std::string& command) {
  ProgramPiece first;
  CheckPieces(finder, command, nullptr, nullptr, &first);
  return first;
}

int CheckDriveType(platform::FileSystem& files, const std::string& root) { return DriveStatus(files.DriveType(root)); }

namespace {

int CheckWithRedirection(platform::System& system, Finder& finder, const std::string& command,
                         std::string* reason = nullptr, std::string* file = nullptr) {
  if (!finder.Options().sixtyFourBit) return CheckUninstall(finder, command, reason, file);
  platform::RedirectionOff off(system);
  return CheckUninstall(finder, command, reason, file);
}

}  // namespace

const char* StatusName(int status) {
  switch (status) {
    case kGoodLink: return "Good Link";
    case kMissingDisk: return "Missing Disk";
    case kBrokenLink: return "Broken Link";
    default: return "";
  }
}

int StatusOfCommand(platform::FileSystem& files, platform::System& system, const std::string& command,
                    bool sixtyFourBit) {
  FinderOptions options;
  options.sixtyFourBit = sixtyFourBit;
  Finder finder(files, system, options);
  return CheckWithRedirection(system, finder, command);
}

// The Windows folder is asked about directly: there the redirection of this 32-bit program and
// names that no listing shows (Sysnative) make a listing tell less than a question.
ScanChecker::ScanChecker(platform::FileSystem& files, platform::System& system)
    : files_(files), system_(system), listings_({system.WindowsDirectory(), system.SystemWindowsDirectory()}) {
  memo_.listings = &listings_;
  sixtyFourBitMemo_.listings = &listings_;
}

StatusResult ScanChecker::Check(const Entry& entry) {
  // The installer is asked once a scan about each product, however many entries name it.
  const ProductReference product = ProductOfEntry(entry);
  bool known = false;
  if (product.kind == ProductReference::Kind::kProduct) {
    auto asked = products_.find(product.code);
    if (asked == products_.end()) {
      ProductAnswer answer;
      if (!system_.QueryProductState(product.code, &answer.state)) answer.state = kNotAsked;
      // An uninstaller that is there can still fail: the installer's package it reads is gone.
      if (answer.state >= 0) answer.packageGone = CachedPackageStatus(files_, system_, entry);
      asked = products_.emplace(product.code, std::move(answer)).first;
    }
    const ProductAnswer& answer = asked->second;
    // An invalid argument or any other answer is no verdict that the product is gone.
    if (answer.state == platform::kInstallStateUnknown) return {kBrokenLink, ForgottenProductReason(product.code), {}};
    if (answer.packageGone) return *answer.packageGone;
    known = answer.state >= 0;
  }
  // Another account's command names that account's folders.
  StatusResult result = CheckCommand(entry.account ? entry.account->WithOwnFolders(entry.uninstallString)
                                                   : entry.uninstallString,
                                     entry.SixtyFourBit());
  if (result.status != kGoodLink) return result;
  // What decided it: the installer knows the entry's product, not that MsiExec.exe is there.
  if (known) result.reason = KnownProductReason(product.code);
  // Or Inno Setup's uninstaller, there but without its data file.
  if (std::optional<StatusResult> data = UninstallerDataStatus(files_, result.file, &listings_)) return *data;
  return result;
}

int ScanChecker::StatusOf(const std::string& command, bool sixtyFourBit) {
  Finder finder = FinderFor(sixtyFourBit);
  return CheckWithRedirection(system_, finder, command);
}

StatusResult ScanChecker::CheckCommand(const std::string& command, bool sixtyFourBit) {
  Finder finder = FinderFor(sixtyFourBit);
  StatusResult result;
  result.status = CheckWithRedirection(system_, finder, command, &result.reason, &result.file);
  return result;
}

Finder ScanChecker::FinderFor(bool sixtyFourBit) {
  FinderOptions options;
  options.sixtyFourBit = sixtyFourBit;
  options.memo = sixtyFourBit ? &sixtyFourBitMemo_ : &memo_;
  return Finder(files_, system_, options);
}
