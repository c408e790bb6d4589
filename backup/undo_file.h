#pragma once
// The day's undo files: the "REGEDIT4" file, and its Unicode companion for the changes whose names
// or texts the system's code page cannot carry.
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "backup/undo_encoding.h"
#include "platform/file_system.h"
#include "platform/system.h"

// The day's undo file's name without its endings: "Undo" and the date as "yyyymmdd".
std::string UndoStemOf(const platform::LocalDate& day);

// The folder Backup beside the executable (a full path), where the day's undo files go.
std::string BackupFolderOf(const std::string& executablePath);
// The user's own folder for undo files, %LOCALAPPDATA%\Tidewell\Backup; empty where the variable is
// not set.
std::string UserBackupFolder(platform::FileSystem& files);

// What a line that a write left cut short is ended with, so that no merge takes what it holds for a
// whole value (a cut list of bytes or number would otherwise read as a shorter one); then, on a
// line of its own, the mark, which no merge reads into a value and which keeps the cut lines from
// swallowing the lines that follow.
inline constexpr const char* kCutShortEnd = "<cut short>";
inline constexpr const char* kCutShortLine = "-- incomplete lines above are not merged --";

// The two files of one day in one folder, and the file that the running change writes to.
class UndoFile {
 public:
  // The files `stem` + ".reg" and `stem` + ".unicode.reg" in `folder` (without a final backslash);
  // when that folder cannot be made or written for want of rights, in `fallbackFolder` from then on.
  UndoFile(platform::FileSystem& files, platform::System& system, std::string folder, std::string stem = {},
           std::string fallbackFolder = {});
  ~UndoFile();
  UndoFile(const UndoFile&) = delete;
  UndoFile& operator=(const UndoFile&) = delete;

  // The folder written to: beside the program, or the user's own once that could not be written.
  const std::string& Folder() const { return folder_; }
  const std::string& Stem() const { return stem_; }
  void SetStem(std::string stem) { stem_ = std::move(stem); }
  // The day's file of the format.
  std::string FileName(UndoFormat format = UndoFormat::kRegedit4) const;
  // The file that the running change writes to; see UndoBlock.
  UndoFormat FormatInUse() const { return format_; }

  // Appends the line and its line end to the file in use.
  void WriteReg(const std::string& line);
  // Appends the lines (UTF-8), each ended by CR LF, in one write to the file in use, making the
  // folder and the file with its header when they are missing. With `flush` the file is on the disk
  // before this returns. Any failure, a line the file cannot carry included, raises EInOutError and
  // leaves the lines out of the file (or marked as cut short). Within a block, the file stays open,
  // shared for reading only, from its first line to the block's end.
  void AppendLines(const std::vector<std::string>& lines, bool flush);

  platform::FileSystem& Files() const { return files_; }
  platform::System& System() const { return system_; }

 private:
  friend class UndoBlock;

  // Closes the file held open by the block that ends.
  void ReleaseHeld();

  platform::FileSystem& files_;
  platform::System& system_;
  std::string folder_;
  std::string stem_;
  std::string fallbackFolder_;
  UndoFormat format_ = UndoFormat::kRegedit4;
  int blocks_ = 0;
  // The file in use, open from the outermost block's first line to its end.
  platform::FileId held_ = platform::kInvalidFile;
};

// One change's lines go to one file. The outermost block of a change chooses the file (`choose`
// is called only there); blocks opened inside it keep that choice. Without a block, lines go to
// the "REGEDIT4" file. Within a block, held under the undo lock, the file is read to find how it
// ends before the block's first write only, and stays open until the block ends, so that a write
// costs what it writes and no other program removes the file while the change it backs up is made.
class UndoBlock {
 public:
  UndoBlock(UndoFile& undo, const std::function<UndoFormat()>& choose);
  ~UndoBlock();
  UndoBlock(const UndoBlock&) = delete;
  UndoBlock& operator=(const UndoBlock&) = delete;

 private:
  UndoFile& undo_;
};
