#include "backup/undo_file.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "backup/in_out_error.h"
#include "backup/undo_lines.h"
#include "platform/handles.h"

using platform::FileId;
using platform::FileOpen;
using platform::FileSystem;

namespace {

constexpr const char* kLineEnd = "\r\n";

// The message names the file; the system's own text says why.
[[noreturn]] void Fail(FileSystem& files, const std::string& message, std::uint32_t error) {
  std::string reason = files.ErrorText(error);
  if (reason.empty()) reason = "system error " + std::to_string(error);
  throw EInOutError(message + ": " + reason, error);
}

// Makes the folder and every missing folder above it: whether it is there now. A failure to make it
// shows when the file is made.
bool MakeFolders(FileSystem& files, const std::string& folder) {
  const auto isFolder = [&](const std::string& path) {
    const std::uint32_t attributes = files.Attributes(path);
    return attributes != platform::kInvalidFileAttributes && (attributes & platform::kFileAttributeDirectory);
  };
  if (isFolder(folder)) return true;
  for (size_t at = folder.find('\\'); at != std::string::npos; at = folder.find('\\', at + 1)) {
    const std::string prefix = folder.substr(0, at);
    if (prefix.empty() || prefix.back() == ':' || prefix.back() == '\\') continue;
    if (!isFolder(prefix)) files.MakeDirectory(prefix);
  }
  if (!isFolder(folder)) files.MakeDirectory(folder);
  return isFolder(folder);
}

// The end of a cut line and the mark on the line after it.
std::string CutShortMark(const UndoEncoding& encoding) {
  const std::string lineEnd = encoding.EncodeAscii(kLineEnd);
  return encoding.EncodeAscii(kCutShortEnd) + lineEnd + encoding.EncodeAscii(kCutShortLine) + lineEnd;
}

enum class Found { kNothing, kEmpty, kUndoFile, kForeign };

struct Examined {
  Found found = Found::kNothing;
  // The file ends inside a line or inside a value broken over several lines.
  bool endsCutShort = false;
  // The file ends inside a unit of its text (half a UTF-16 unit): bytes to add to complete it.
  std::size_t missingBytes = 0;
};

// The file's first line is exactly the header: the registry editors import nothing from a file
// that begins otherwise, and the header needs its line break, or the next line would be glued to it.
bool BeginsWithHeader(const UndoEncoding& encoding, const std::string& head) {
  const std::string header = encoding.Preamble() + encoding.EncodeAscii(encoding.HeaderText());
  const std::size_t unit = encoding.UnitSize();
  if (head.size() != header.size() + unit || head.compare(0, header.size(), header) != 0) return false;
  const std::string lineBreak = head.substr(header.size());
  return lineBreak == encoding.EncodeAscii("\r") || lineBreak == encoding.EncodeAscii("\n");
}

// Whether the last whole units of the file end a line that does not go on in the next one.
bool EndsCutShort(const UndoEncoding& encoding, const std::string& tail) {
  const std::size_t unit = encoding.UnitSize();
  std::vector<std::string> units;
  for (std::size_t at = 0; at + unit <= tail.size(); at += unit) units.push_back(tail.substr(at, unit));
  const auto is = [&](std::size_t fromEnd, const char* text) {
    return units.size() > fromEnd && units[units.size() - 1 - fromEnd] == encoding.EncodeAscii(text);
  };
  if (!is(0, "\n")) return true;
  return is(1, "\r") ? is(2, "\\") : is(1, "\\");
}

// Reads the whole file: the first line decides whether lines may be added, the last bytes whether
// an earlier write stopped halfway.
Examined Examine(FileSystem& files, const std::string& fileName, const UndoEncoding& encoding) {
  std::uint32_t error = 0;
  const FileId id = files.OpenFile(fileName, FileOpen::kRead, &error);
  if (id == platform::kInvalidFile) {
    if (error == platform::kErrorFileNotFound || error == platform::kErrorPathNotFound) return {};
    Fail(files, "Cannot open the undo file " + fileName, error);
  }
  platform::UniqueFile file(files, id);
  const std::size_t unit = encoding.UnitSize();
  const std::size_t headSize = encoding.Preamble().size() + (std::string(encoding.HeaderText()).size() + 1) * unit;
  const std::size_t tailSize = 3 * unit + 1;
  std::string head;
  std::string tail;
  std::uint64_t total = 0;
  std::string buffer(64 * 1024, '\0');
  for (;;) {
    std::uint32_t got = 0;
    if (!files.ReadFile(id, buffer.data(), static_cast<std::uint32_t>(buffer.size()), &got, &error))
      Fail(files, "Cannot read the undo file " + fileName, error);
    if (got == 0) break;
    total += got;
    if (head.size() < headSize) head += buffer.substr(0, std::min<size_t>(headSize - head.size(), got));
    const std::uint32_t keep = std::min<std::uint32_t>(got, tailSize);
    tail += buffer.substr(got - keep, keep);
    if (tail.size() > tailSize) tail.erase(0, tail.size() - tailSize);
  }
  if (!files.CloseFile(file.release(), &error)) Fail(files, "Cannot close the undo file " + fileName, error);

  Examined examined;
  if (total == 0) {
    examined.found = Found::kEmpty;
    return examined;
  }
  examined.found = BeginsWithHeader(encoding, head) ? Found::kUndoFile : Found::kForeign;
  examined.missingBytes = (unit - total % unit) % unit;
  // A unit cut in half ends the file cut short; otherwise the last whole units tell, read from a
  // unit's start.
  const std::uint64_t tailStart = total - tail.size();
  const std::size_t skip = static_cast<std::size_t>((unit - tailStart % unit) % unit);
  examined.endsCutShort = examined.missingBytes != 0 || EndsCutShort(encoding, tail.substr(skip));
  return examined;
}

// The lines encoded for the file, each with its line end; raises when the file cannot carry one.
std::string EncodedLines(const UndoEncoding& encoding, const std::vector<std::string>& lines,
                         const std::string& fileName) {
  const std::string lineEnd = encoding.EncodeAscii(kLineEnd);
  std::string text;
  for (const std::string& line : lines) {
    std::string bytes;
    if (!encoding.EncodeLine(line, &bytes))
      throw EInOutError("Cannot write to the undo file " + fileName +
                        ": a name or text of this change holds characters the file cannot carry");
    text += bytes + lineEnd;
  }
  return text;
}

// The first free name "<stem>.bad<n>.reg" beside the file: a ".reg" still, so that the Backups page
// hands it to the registry editor, which merges it if it is a registration file of another kind.
std::string SetAsideName(FileSystem& files, const std::string& fileName) {
  std::string stem = fileName;
  if (stem.size() >= 4 && stem.compare(stem.size() - 4, 4, ".reg") == 0) stem.resize(stem.size() - 4);
  for (int n = 1; n < 100000; ++n) {
    const std::string candidate = stem + ".bad" + std::to_string(n) + ".reg";
    if (files.Attributes(candidate) == platform::kInvalidFileAttributes) return candidate;
  }
  throw EInOutError("Cannot keep the undo file " + fileName + ": no free name beside it");
}


// Opens the day's file for the lines, with the text that must come before them: a new file is only
// ever created where none is, so a file that another running copy made meanwhile is examined
// again and added to, never cut back to nothing.
FileId OpenForLines(FileSystem& files, const std::string& fileName, const UndoEncoding& encoding, std::string* lead) {
  const std::string lineEnd = encoding.EncodeAscii(kLineEnd);
  for (int attempt = 0;; ++attempt) {
    const Examined examined = Examine(files, fileName, encoding);
    if (examined.found == Found::kForeign) {
      const std::string aside = SetAsideName(files, fileName);
      std::uint32_t error = 0;
      if (!files.RenameFile(fileName, aside, &error))
        Fail(files, "Cannot keep the undo file " + fileName + " as " + aside, error);
    }
    lead->clear();
    FileOpen mode = FileOpen::kCreateNew;
    if (examined.found == Found::kUndoFile) {
      mode = FileOpen::kAppend;
      // A unit cut in half is completed first, so that the mark and the new lines are whole units.
      if (examined.endsCutShort) *lead += std::string(examined.missingBytes, '\0') + CutShortMark(encoding);
    } else {
      if (examined.found == Found::kEmpty) mode = FileOpen::kAppend;
      *lead += encoding.Preamble() + encoding.EncodeAscii(encoding.HeaderText()) + lineEnd + lineEnd;
    }
    std::uint32_t error = 0;
    const FileId id = files.OpenFile(fileName, mode, &error);
    if (id != platform::kInvalidFile) return id;
    // Made, or removed, by someone else between the look and the open: look again.
    const bool changedMeanwhile =
        (mode == FileOpen::kCreateNew && (error == platform::kErrorFileExists || error == platform::kErrorAlreadyExists)) ||
        (mode == FileOpen::kAppend && (error == platform::kErrorFileNotFound || error == platform::kErrorPathNotFound));
    if (!changedMeanwhile || attempt == 2)
      Fail(files, (mode == FileOpen::kCreateNew ? "Cannot create the undo file " : "Cannot open the undo file ") + fileName,
           error);
  }
}

// Writes the bytes; a write that fails may have put part of them in the file: they are marked as cut
// short while the file is open, so that a merge before the next write does not take them for a whole
// value. The error stays the write's own.
void WriteOrMark(FileSystem& files, FileId id, const std::string& text, const UndoEncoding& encoding,
                 const std::string& fileName) {
  std::uint32_t error = 0;
  if (files.WriteFile(id, text.data(), static_cast<std::uint32_t>(text.size()), &error)) return;
  const std::string mark = CutShortMark(encoding);
  std::uint32_t ignored = 0;
  files.WriteFile(id, mark.data(), static_cast<std::uint32_t>(mark.size()), &ignored);
  Fail(files, "Cannot write to the undo file " + fileName, error);
}

void Flush(FileSystem& files, FileId id, const std::string& fileName) {
  std::uint32_t error = 0;
  if (!files.FlushFile(id, &error)) Fail(files, "Cannot flush the undo file " + fileName + " to the disk", error);
}

}  // namespace

std::string UndoStemOf(const platform::LocalDate& day) {
  char stem[32];
  std::snprintf(stem, sizeof stem, "Undo%04d%02d%02d", day.year, day.month, day.day);
  return stem;
}

std::string BackupFolderOf(const std::string& executablePath) {
  return executablePath.substr(0, executablePath.find_last_of('\\') + 1) + "Backup";
}

UndoFile::UndoFile(platform::FileSystem& files, platform::System& system, std::string folder, std::string stem,
                   std::string fallbackFolder)
    : files_(files),
      system_(system),
      folder_(std::move(folder)),
      stem_(std::move(stem)),
      fallbackFolder_(std::move(fallbackFolder)) {}

std::string UserBackupFolder(platform::FileSystem& files) {
  std::string expanded;
  const std::uint32_t length = files.ExpandEnvironment("%LOCALAPPDATA%", platform::kMaxPath, &expanded);
  // Unset, the variable stays as it is written.
  if (length == 0 || length > platform::kMaxPath || expanded.empty() || expanded.find('%') != std::string::npos) return {};
  if (expanded.back() != '\\') expanded += '\\';
  return expanded + "Tidewell\\Backup";
}

std::string UndoFile::FileName(UndoFormat format) const {
  return folder_ + "\\" + stem_ + UndoEncoding::Of(format, system_).FileSuffix();
}

UndoFile::~UndoFile() { ReleaseHeld(); }

void UndoFile::AppendLines(const std::vector<std::string>& lines, bool flush) {
  FileSystem& files = files_;
  const UndoEncoding encoding = UndoEncoding::Of(format_, system_);
  std::string fileName = FileName(encoding.Format());
  const std::string body = EncodedLines(encoding, lines, fileName);
  if (held_ != platform::kInvalidFile) {
    // The block's file, open since its first line: nobody could remove, rename or add to it since.
    WriteOrMark(files, held_, body, encoding, fileName);
    if (flush) Flush(files, held_, fileName);
    return;
  }

  std::string text;
  FileId id = platform::kInvalidFile;
  try {
    if (!MakeFolders(files, folder_) && !fallbackFolder_.empty())
      throw EInOutError("Cannot make the folder " + folder_, platform::kErrorAccessDenied);
    id = OpenForLines(files, fileName, encoding, &text);
  } catch (const EInOutError& error) {
    // A user without the right to write beside the program (installed under Program Files) keeps
    // the undo files in a folder of their own from then on; nothing of these lines was written.
    if (fallbackFolder_.empty() || error.Code() != platform::kErrorAccessDenied) throw;
    folder_ = std::exchange(fallbackFolder_, std::string());
    fileName = FileName(encoding.Format());
    MakeFolders(files, folder_);
    id = OpenForLines(files, fileName, encoding, &text);
  }
  platform::UniqueFile file(files, id);
  // Within a block the file stays open until the block ends: the open shares reading only, so no
  // other program deletes or renames it between two of the command's lines, or between its last
  // line and the change that line backs up.
  if (blocks_ > 0) held_ = file.release();
  WriteOrMark(files, id, text + body, encoding, fileName);
  if (flush) Flush(files, id, fileName);
  if (blocks_ > 0) return;
  std::uint32_t error = 0;
  if (!files.CloseFile(file.release(), &error)) Fail(files, "Cannot close the undo file " + fileName, error);
}

void UndoFile::WriteReg(const std::string& line) { AppendLines({line}, false); }

void UndoFile::ReleaseHeld() {
  if (held_ == platform::kInvalidFile) return;
  // Every line that backs up a change reached the disk before the change: a failure to close now
  // loses nothing.
  std::uint32_t ignored = 0;
  files_.CloseFile(std::exchange(held_, platform::kInvalidFile), &ignored);
}

UndoBlock::UndoBlock(UndoFile& undo, const std::function<UndoFormat()>& choose) : undo_(undo) {
  // Counted only once the choice is made: a choice that raises leaves no block open.
  if (undo_.blocks_ == 0) undo_.format_ = choose();
  ++undo_.blocks_;
}

UndoBlock::~UndoBlock() {
  if (--undo_.blocks_ > 0) return;
  undo_.format_ = UndoFormat::kRegedit4;
  // The next command opens the file again and reads how it ends: another copy of the program may
  // write between two.
  undo_.ReleaseHeld();
}
