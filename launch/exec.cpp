#include "launch/exec.h"

#include <optional>

#include "launch/command_line.h"
#include "platform/handles.h"
#include "platform/redirection.h"

namespace {

bool IsFile(platform::FileSystem& files, const std::string& path) {
  const std::uint32_t attributes = files.Attributes(path);
  return attributes != platform::kInvalidFileAttributes && !(attributes & platform::kFileAttributeDirectory);
}

}  // namespace

bool Exec(const platform::Platform& platform, const std::string& commandLine, std::uint16_t show, bool sixtyFourBit,
          std::uint32_t* error) {
  const auto isFile = [&platform](const std::string& path) { return IsFile(platform.files, path); };
  // A 64-bit program's uninstaller is found where that program would find it; the redirection is
  // on again before the wait, in which other commands of the window may run.
  platform::UniqueProcess process;
  {
    std::optional<platform::RedirectionOff> off;
    if (sixtyFourBit) off.emplace(platform.system);
    process = platform::UniqueProcess(platform.processes,
                                      platform.processes.StartProcess(QuoteProgramPath(commandLine, isFile), show, error));
  }
  if (!process) return false;
  // The window stays usable while the child runs: serve every queued message, then sleep until the
  // child ends or new input arrives. The child's end is its handle becoming signalled, so an exit
  // code of 259 is no longer mistaken for a running child.
  for (;;) {
    int quitCode = 0;
    if (!platform.ui.DispatchPendingMessages(&quitCode)) platform.ui.ExitProgram(quitCode);
    if (platform.processes.WaitForProcessOrInput(process.get()) == platform::Wake::kProcessEnded) break;
  }
  return true;
}

std::string UnableToUninstallMessage(const platform::Platform& platform, const std::string& commandLine,
                                     std::uint32_t error) {
  const std::string program =
      ProgramOf(commandLine, [&platform](const std::string& path) { return IsFile(platform.files, path); });
  std::string reason = platform.files.ErrorText(error);
  if (reason.empty()) reason = "system error " + std::to_string(error);
  // Some of the system's texts name the file as "%1".
  for (std::size_t at; (at = reason.find("%1")) != std::string::npos;) reason.replace(at, 2, program);
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' ')) reason.pop_back();
  return "Unable to Uninstall\n" + (program.empty() ? std::string("(no program named)") : program) + ": " + reason;
}
