#pragma once
// Appending to the day's undo file.
#include <string>
#include <vector>

class TForm1;

// The line written after lines that an earlier write left cut short, so that a merge neither
// takes them for a whole value nor lets them swallow the lines that follow.
inline constexpr const char* kCutShortLine = "-- incomplete lines above are not merged --";

// Appends the lines, each ended by CR LF, to the day's undo file in one write, making the folder
// Backup and the file with its header when they are missing. With `flush` the file is on the disk
// before this returns. Any failure raises EInOutError and leaves the lines out of the file.
void AppendUndoLines(TForm1& form, const std::vector<std::string>& lines, bool flush);
