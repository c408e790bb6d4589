#include "platform/win32/win32_process.h"

#include <windows.h>

#include <vector>

#include "platform/win32/wide_text.h"

namespace platform {

namespace {
PROCESS_INFORMATION* Info(ProcessId process) { return reinterpret_cast<PROCESS_INFORMATION*>(process); }
}  // namespace

ProcessId Win32Processes::StartProcess(const std::string& application, const std::string& commandLine,
                                       std::uint16_t show, std::uint32_t* error) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;  // 68 bytes in a 32-bit program
  startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_FORCEONFEEDBACK;
  startup.wShowWindow = show;
  // CreateProcessW may write into the command line, so it gets a copy of its own.
  const std::wstring wide = Widen(commandLine);
  std::vector<wchar_t> line(wide.begin(), wide.end());
  line.push_back(L'\0');
  auto* info = new PROCESS_INFORMATION{};
  // With the program named, the system runs that file and searches no folder for the command's first word.
  if (!CreateProcessW(Widen(application).c_str(), line.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr,
                      nullptr, &startup, info)) {
    if (error) *error = GetLastError();
    delete info;
    return 0;
  }
  return reinterpret_cast<ProcessId>(info);
}

Wake Win32Processes::WaitForProcessOrInput(ProcessId process) {
  HANDLE handle = Info(process)->hProcess;
  // MWMO_INPUTAVAILABLE also wakes for input that arrived before the call and is still queued.
  const DWORD result = MsgWaitForMultipleObjectsEx(1, &handle, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  // A failed wait counts as the end, so that the caller never spins on a broken handle.
  return result == WAIT_OBJECT_0 + 1 ? Wake::kInput : Wake::kProcessEnded;
}

std::uint32_t Win32Processes::ExitCode(ProcessId process) {
  DWORD code = 0;
  GetExitCodeProcess(Info(process)->hProcess, &code);
  return code;
}

void Win32Processes::CloseProcess(ProcessId process) {
  PROCESS_INFORMATION* info = Info(process);
  CloseHandle(info->hThread);
  CloseHandle(info->hProcess);
  delete info;
}

}  // namespace platform
