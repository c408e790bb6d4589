#pragma once
// Appending to the day's undo files: the "REGEDIT4" file, and its Unicode companion for the
// changes whose names or texts the system's code page cannot carry.
#include <functional>
#include <string>
#include <vector>

#include "backup/undo_encoding.h"
#include "platform/system.h"

class TForm1;

// The day's undo file's name without its endings: "Undo" and the date as "yyyymmdd".
std::string UndoStemOf(const platform::LocalDate& day);

// The line written after lines that an earlier write left cut short, so that a merge neither
// takes them for a whole value nor lets them swallow the lines that follow.
inline constexpr const char* kCutShortLine = "-- incomplete lines above are not merged --";

// Appends the lines (UTF-8), each ended by CR LF, in one write to the undo file that the form's
// running change writes to, making the folder Backup and the file with its header when they are
// missing. With `flush` the file is on the disk before this returns. Any failure, a line the file
// cannot carry included, raises EInOutError and leaves the lines out of the file.
void AppendUndoLines(TForm1& form, const std::vector<std::string>& lines, bool flush);

// One change's lines go to one file. The outermost block of a change chooses the file (`choose`
// is called only there); blocks opened inside it keep that choice. Without a block, lines go to
// the "REGEDIT4" file.
class UndoBlock {
 public:
  UndoBlock(TForm1& form, const std::function<UndoFormat()>& choose);
  ~UndoBlock();
  UndoBlock(const UndoBlock&) = delete;
  UndoBlock& operator=(const UndoBlock&) = delete;

 private:
  TForm1& form_;
};
