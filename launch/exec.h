#pragma once
// Running an uninstaller and waiting for it while the window stays usable.
#include <cstdint>
#include <string>

#include "platform/platform.h"

// Starts the program of the command line as ResolveProgram finds it, handing the system its full
// path, and serves the thread's messages until the child ends. With `sixtyFourBit`, the program is
// looked for and started with the file-system redirection off. False when nothing was started,
// with why in *failure: why no program was found, naming the command, or the program and the
// system's reason for not starting it. Its exit code in *exitCode once it has ended.
bool Exec(const platform::Platform& platform, const std::string& commandLine, std::uint16_t show,
          bool sixtyFourBit = false, std::string* failure = nullptr, std::uint32_t* exitCode = nullptr);
