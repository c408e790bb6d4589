#pragma once
// How an uninstall command line is handed to the process starter: the program it starts is made
// a full path first, so that the system never searches for it.
#include <string>

#include "platform/file_system.h"
#include "platform/system.h"

struct ProgramToStart {
  // The full path of the program's file, handed to the system as the program to run; empty when
  // no file could be told for certain, and then nothing runs.
  std::string application;
  // The command line the program is given, its path in double quotes where it holds a blank.
  std::string commandLine;
  // Why nothing runs, naming the command, when nothing does.
  std::string refusal;
};

// The program a command line starts, looked for on the disk as it is now (the caller turns the
// redirection off for a 64-bit program's command). A name without a folder is looked for in the
// System folder, then the Windows folder, and nowhere else; a path is the file that the status
// check finds at the start of the command, when that file ends where the program's name does.
ProgramToStart ResolveProgram(platform::FileSystem& files, platform::System& system, const std::string& commandLine,
                              bool sixtyFourBit);
