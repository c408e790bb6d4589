#pragma once
// /restore FILE: the blocks of an undo file listed with the state of each one's entry now, or the
// chosen blocks put back as the Backups page's Restore Selected puts them back.
#include "platform/console.h"
#include "platform/platform.h"
#include "report/command_line.h"

// The undo file that /restore names: the path as given, or a bare file name found in the folder
// Backup beside the program, else in the user's own backup folder.
std::string UndoFileNamed(const platform::Platform& platform, const std::string& given);

// Lists the blocks (/list, tab-separated or JSON) or restores the chosen ones (/all, entries named
// as /remove names them, /line N), one line each. Answers the exit code: kExitSuccess when listed or
// when every chosen block was restored; kExitFailure when the file cannot be read or a chosen block
// was not restored (it cannot be read, no block names the entry, the restore did not take), or when
// a /line N given with entries begins no block of theirs (then nothing is restored);
// kExitNeedsElevation when the registry refused one for lack of rights, which is the last tried.
int RestoreFromUndoFile(const CommandLine& line, const platform::Platform& platform, platform::Console& console);
