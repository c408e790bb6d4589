#pragma once
// The uninstall-string file finder: does the file or folder that a piece of a command names exist?
#include <cstdint>
#include <map>
#include <string>
#include <utility>

#include "inventory/finder_listings.h"
#include "inventory/finding.h"
#include "platform/file_system.h"
#include "platform/system.h"

// The answers to the file-system questions of one scan, shared by the checks of all its entries:
// many commands ask the same (MsiExec.exe, rundll32.exe, C:\Program Files, one vendor's folder),
// and the disk does not change within a scan. One memo serves one way of looking (the same
// redirection and options); it is used by one thread at a time.
struct FinderMemo {
  std::map<std::string, bool> answers;  // by the kind of query and its text
  std::map<std::string, std::uint32_t> driveTypes;
  std::map<std::string, std::pair<std::uint32_t, std::string>> expansions;
  // The folders listed once for the whole scan, which answer the file and folder questions; none:
  // every question is asked. Listings may serve several memos: outside the Windows folder, which
  // they never list, the redirection changes nothing.
  FolderListings* listings = nullptr;
};

struct FinderOptions {
  // A piece that is not found is looked for once more with the file-system redirection off.
  bool retryUnredirected = false;
  // Within one FindSpace call every candidate and every query is answered once. Only the finder's
  // benchmark turns this off, to measure the work it saves; the answers are the same.
  bool rememberAnswers = true;
  // The command of a 64-bit program: %ProgramFiles% and %CommonProgramFiles% expand as such a
  // program sees them (the 64-bit folders), not as this 32-bit program does.
  bool sixtyFourBit = false;
  // Answers remembered across calls and finders (a scan's); none: each call asks afresh.
  FinderMemo* memo = nullptr;
};

class Finder {
 public:
  Finder(platform::FileSystem& files, platform::System& system, FinderOptions options = {});

  // FindSpace, and with retryUnredirected once more with the redirection off.
  bool nFindSpace(const std::string& text, Finding* finding = nullptr);
  // Whether the file or folder that the piece names exists, or the piece is of a kind that counts
  // as found. With `finding`, also what was found, or what was looked for in vain.
  bool FindSpace(const std::string& text, Finding* finding = nullptr);
  // The file test, and with retryUnredirected once more with the redirection off.
  bool nFileExists(const std::string& text);

  platform::FileSystem& Files() const { return files_; }
  const FinderOptions& Options() const { return options_; }
  // The text with its environment variables expanded as a piece is before it is looked for (a
  // 64-bit program's folders as that program sees them); the text where that fails.
  std::string Expanded(const std::string& text);
  // GetDriveType of the root, remembered in the memo.
  std::uint32_t DriveType(const std::string& root);
  // The environment expansion of the text into MAX_PATH characters, remembered in the memo.
  std::uint32_t ExpandEnvironment(const std::string& text, std::string* expanded);
  // The memo's folder listings, or none.
  FolderListings* Listings() const;

 private:
  platform::FileSystem& files_;
  platform::System& system_;
  FinderOptions options_;
};

// The new cut position: the position (offset - 1 + its 1-based place) of the first `c` in
// `searched` when that is smaller than `cut` or `cut` is none (0); otherwise `cut`.
int GetNonChar(int cut, char c, const std::string& searched, int offset);
// The text without one trailing backslash.
std::string RemoveSlash(const std::string& text);
// The text with %ProgramFiles% and %CommonProgramFiles% (any letter case) named by the variables
// that hold the 64-bit folders for a 32-bit program on 64-bit Windows.
std::string AsSixtyFourBitVariables(const std::string& text);
