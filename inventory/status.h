#pragma once
// An uninstall entry's status: the file its command names is there, on a drive that is not looked
// at, or gone.
#include <map>
#include <optional>
#include <string>

#include "inventory/entry.h"
#include "inventory/finder.h"
#include "platform/file_system.h"
#include "platform/system.h"

// Status icons: image indexes into the window's image list.
inline constexpr int kBrokenLink = 0;
inline constexpr int kGoodLink = 1;
inline constexpr int kMissingDisk = 2;

// The status icon of an uninstall string (or a remainder of it), asking `finder` about each piece.
// With `reason`, also one line that says why: what was found for the last piece, what the piece
// that decided was looked for as, or which drive was not looked at.
// With `file`, also the file the line names: what was found, or the piece that was not.
int CheckUninstall(Finder& finder, const std::string& text, std::string* reason = nullptr, std::string* file = nullptr);
// The first piece of a command that CheckUninstall looks for: what the finder made of it, the
// piece as the finder was given it, and where it begins in the command (npos: none was looked for).
// A command that begins with its program's path has that path as its first piece.
struct ProgramPiece {
  Finding finding;
  std::string text;
  std::size_t start = std::string::npos;
};
ProgramPiece FirstPieceOf(Finder& finder, const std::string& command);
// Missing Disk for the root of a removable, network, CD-ROM or RAM drive; otherwise Broken Link.
int CheckDriveType(platform::FileSystem& files, const std::string& root);
// The status of an entry's command as the entry's own uninstaller would see the disk: a 64-bit
// program's paths with the file-system redirection off and its own program folders.
// "Good Link", "Missing Disk" or "Broken Link"; empty for any other value (kStatusUnknown).
const char* StatusName(int status);

int StatusOfCommand(platform::FileSystem& files, platform::System& system, const std::string& command,
                    bool sixtyFourBit);

// An entry's status and one line that says why.
struct StatusResult {
  int status = kBrokenLink;
  std::string reason;
  // The file that decided the status, as the line names it: the one found, or the one not found;
  // empty where no file decided (the installer's verdict on a product, a drive not looked at).
  std::string file;
};

// The entry takes the status, its reason and the file that decided it.
inline void ApplyStatus(Entry& entry, const StatusResult& result) {
  entry.status = result.status;
  entry.reason = result.reason;
  entry.checkedFile = result.file;
}

// The status checks of one scan: the same answers as StatusOfCommand, each file-system question
// asked once for the whole scan (the 64-bit programs' entries, which look with the redirection
// off, apart from the others), and the file and folder questions answered from one listing of
// each folder where it tells (finder_listings.h).
class ScanChecker {
 public:
  ScanChecker(platform::FileSystem& files, platform::System& system);
  ScanChecker(const ScanChecker&) = delete;
  ScanChecker& operator=(const ScanChecker&) = delete;
  int StatusOf(const std::string& command, bool sixtyFourBit);
  // The same status, with the line that says why.
  StatusResult CheckCommand(const std::string& command, bool sixtyFourBit);
  // The entry's status, as its own uninstaller would see the disk, with the reason.
  StatusResult Check(const Entry& entry);

 private:
  Finder FinderFor(bool sixtyFourBit);

  platform::FileSystem& files_;
  platform::System& system_;
  FolderListings listings_;
  FinderMemo memo_;
  FinderMemo sixtyFourBitMemo_;
  // The installer's answers about each product asked so far: its state (kNotAsked where it cannot
  // be asked) and, for a known product, Broken Link when its cached package is gone.
  static constexpr int kNotAsked = -100;
  struct ProductAnswer {
    int state = kNotAsked;
    std::optional<StatusResult> packageGone;
  };
  std::map<std::string, ProductAnswer> products_;
};
