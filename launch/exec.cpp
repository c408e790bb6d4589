#include "launch/exec.h"

#include <optional>

#include "launch/command_line.h"
#include "platform/handles.h"
#include "platform/redirection.h"

namespace {

// "C:\App\u.exe: " and the system's text for the error, which some texts give with "%1" for the file.
std::string StartFailure(platform::FileSystem& files, const std::string& program, std::uint32_t error) {
  std::string reason = files.ErrorText(error);
  if (reason.empty()) reason = "system error " + std::to_string(error);
  for (std::size_t at; (at = reason.find("%1")) != std::string::npos;) reason.replace(at, 2, program);
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' ')) reason.pop_back();
  return program + ": " + reason;
}

}  // namespace

bool Exec(const platform::Platform& platform, const std::string& commandLine, std::uint16_t show, bool sixtyFourBit,
          std::string* failure, std::uint32_t* exitCode) {
  // A 64-bit program's uninstaller is found where that program would find it; the redirection is
  // on again before the wait, in which other commands of the window may run.
  ProgramToStart program;
  platform::UniqueProcess process;
  std::uint32_t error = 0;
  {
    std::optional<platform::RedirectionOff> off;
    if (sixtyFourBit) off.emplace(platform.system);
    program = ResolveProgram(platform.files, platform.system, commandLine, sixtyFourBit);
    if (!program.application.empty()) {
      process = platform::UniqueProcess(
          platform.processes, platform.processes.StartProcess(program.application, program.commandLine, show, &error));
    }
  }
  if (!process) {
    if (failure) {
      *failure = program.application.empty() ? program.refusal
                                              : StartFailure(platform.files, program.application, error);
    }
    return false;
  }
  // The window stays usable while the child runs: serve every queued message, then sleep until the
  // child ends or new input arrives. The child's end is its handle becoming signalled, so an exit
  // code of 259 is no longer mistaken for a running child.
  for (;;) {
    int quitCode = 0;
    if (!platform.ui.DispatchPendingMessages(&quitCode)) platform.ui.ExitProgram(quitCode);
    if (platform.processes.WaitForProcessOrInput(process.get()) == platform::Wake::kProcessEnded) break;
  }
  if (exitCode) *exitCode = platform.processes.ExitCode(process.get());
  return true;
}
