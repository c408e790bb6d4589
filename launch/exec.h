#pragma once
// Running an uninstaller and waiting for it while the window stays usable.
#include <cstdint>
#include <string>

#include "platform/platform.h"

// Starts the command line (its program path quoted as QuoteProgramPath does) and serves the
// thread's messages until the child ends. With `sixtyFourBit`, the program is looked for and
// started with the file-system redirection off. False when nothing was started, with the system's
// error code in *error.
bool Exec(const platform::Platform& platform, const std::string& commandLine, std::uint16_t show,
          bool sixtyFourBit = false, std::uint32_t* error = nullptr);
// "Unable to Uninstall", and on the next line the program the command line starts and the system's
// reason for not starting it.
std::string UnableToUninstallMessage(const platform::Platform& platform, const std::string& commandLine,
                                     std::uint32_t error);
