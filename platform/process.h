#pragma once
// Child processes: start, wait while the window's messages are served, close.
#include <cstdint>
#include <string>

namespace platform {

using ProcessId = std::uintptr_t;

enum class Wake { kProcessEnded, kInput };

class Processes {
 public:
  virtual ~Processes() = default;

  // CreateProcessW(application, commandLine, ..., NORMAL_PRIORITY_CLASS, ..., STARTUPINFO of size 68
  // with flags STARTF_USESHOWWINDOW | STARTF_FORCEONFEEDBACK and the show command): 0 when it fails,
  // with the system's error code in *error. `application` is the program's full path, which the
  // system runs without searching for it; the command line is what the child reads as its own.
  virtual ProcessId StartProcess(const std::string& application, const std::string& commandLine, std::uint16_t show,
                                 std::uint32_t* error = nullptr) = 0;
  // MsgWaitForMultipleObjects on the process handle and the message queue (all input).
  virtual Wake WaitForProcessOrInput(ProcessId process) = 0;
  // GetExitCodeProcess of a process that has ended.
  virtual std::uint32_t ExitCode(ProcessId process) = 0;
  // Closes the thread handle, then the process handle.
  virtual void CloseProcess(ProcessId process) = 0;
};

}  // namespace platform
