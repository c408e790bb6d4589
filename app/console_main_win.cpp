// The entry of Tidewell.com, the console program: the command line's report, check and removals,
// written to the console it runs in or wherever its output goes. It is made of the units below the
// window and never makes one; without arguments it starts Tidewell.exe, the window, beside it.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/win32/system_libraries.h"
#include "platform/win32/win32_console.h"
#include "platform/win32/win32_platform.h"
#include "report/command_line.h"

int main() {
  platform::LoadLibrariesFromTheSystemOnly();
  const std::vector<std::string> arguments = platform::CommandLineArguments();
  platform::Win32Platform system;
  platform::Win32Console console(platform::Win32Console::Program::kConsole);
  return RunConsoleProgram(arguments, system.platform(), console);
}
