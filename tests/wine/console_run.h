#pragma once
// Tidewell.com run as a user runs it from a prompt, for the Windows tests of the command line.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/win32/wide_text.h"
#include "tests/wine/wine_test_support.h"

// What a run of the console program left: its exit code, and its output and error streams.
struct Finished {
  DWORD exitCode = 0;
  std::string out;
  std::string error;
};

// Runs the copy of Tidewell.com in `folder` with the arguments, its output and error streams sent to
// files there, and waits for it.
inline Finished RunConsoleProgramIn(const std::string& folder, const std::string& arguments) {
  Finished finished;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  const std::string outFile = folder + "\\out.txt", errorFile = folder + "\\error.txt";
  HANDLE out = CreateFileW(platform::Widen(outFile).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                           0, nullptr);
  HANDLE error = CreateFileW(platform::Widen(errorFile).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                             CREATE_ALWAYS, 0, nullptr);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = out;
  startup.hStdError = error;
  PROCESS_INFORMATION process{};
  std::wstring command = platform::Widen("\"" + folder + "\\Tidewell.com\" " + arguments);
  const BOOL started =
      CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
  CloseHandle(out);
  CloseHandle(error);
  if (!started) {
    ADD_FAILURE() << "cannot start Tidewell.com " << arguments;
    return finished;
  }
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.hProcess, 120000));
  GetExitCodeProcess(process.hProcess, &finished.exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  finished.out = ReadFileText(outFile);
  finished.error = ReadFileText(errorFile);
  return finished;
}
