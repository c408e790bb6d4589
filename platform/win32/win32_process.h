#pragma once
// Child processes through kernel32 and user32.
#include "platform/process.h"

namespace platform {

class Win32Processes : public Processes {
 public:
  ProcessId StartProcess(const std::string& application, const std::string& commandLine, std::uint16_t show,
                         std::uint32_t* error = nullptr) override;
  Wake WaitForProcessOrInput(ProcessId process) override;
  std::uint32_t ExitCode(ProcessId process) override;
  void CloseProcess(ProcessId process) override;
};

}  // namespace platform
