#pragma once
// Programs run as a user runs them, from a prompt, a pipe or a shortcut, for the Windows tests of the
// command line and of the system installer: Tidewell.com, Tidewell.exe, msiexec.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/win32/wide_text.h"
#include "tests/wine/wine_test_support.h"

// What a run of a program left: its exit code, and its output and error streams.
struct Finished {
  DWORD exitCode = 0xFFFFFFFF;
  std::string out;
  std::string error;
};

enum class Output { kFile, kPipe, kNone };

// An inheritable handle for a child's standard stream.
inline HANDLE Inheritable(HANDLE handle) {
  HANDLE copy = nullptr;
  DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, 0, TRUE, DUPLICATE_SAME_ACCESS);
  return copy;
}

inline std::string ReadAll(HANDLE read) {
  std::string text;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(read, buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
  return text;
}

// Runs a program with its standard output and error sent to files, to pipes, or nowhere (no
// handles and no console), and waits for it. The exit code is the whole DWORD, as the system keeps
// it (a shell outside Wine would see its low byte only).
inline Finished RunProgram(const std::string& commandLine, Output output) {
  Finished finished;
  const std::string stem = TestFolder() + "run" + std::to_string(GetCurrentProcessId());
  const std::string outFile = stem + ".out", errorFile = stem + ".err";
  HANDLE outWrite = nullptr, errorWrite = nullptr, outRead = nullptr, errorRead = nullptr;
  if (output == Output::kFile) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    outWrite = CreateFileW(platform::Widen(outFile).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                           0, nullptr);
    errorWrite = CreateFileW(platform::Widen(errorFile).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                             CREATE_ALWAYS, 0, nullptr);
  } else if (output == Output::kPipe) {
    HANDLE o = nullptr, e = nullptr;
    CreatePipe(&outRead, &o, nullptr, 1 << 16);
    CreatePipe(&errorRead, &e, nullptr, 1 << 16);
    outWrite = Inheritable(o);
    errorWrite = Inheritable(e);
    CloseHandle(o);
    CloseHandle(e);
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nullptr;
  startup.hStdOutput = outWrite;
  startup.hStdError = errorWrite;
  PROCESS_INFORMATION process{};
  std::wstring command = platform::Widen(commandLine);
  const DWORD flags = output == Output::kNone ? DETACHED_PROCESS : 0;
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, flags, nullptr, nullptr, &startup, &process)) {
    ADD_FAILURE() << "cannot start " << commandLine;
    return finished;
  }
  if (outWrite) CloseHandle(outWrite);
  if (errorWrite) CloseHandle(errorWrite);
  if (output == Output::kPipe) {
    // The error stream is read after the output: the program writes little there.
    finished.out = ReadAll(outRead);
    finished.error = ReadAll(errorRead);
    CloseHandle(outRead);
    CloseHandle(errorRead);
  }
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.hProcess, 120000)) << commandLine;
  GetExitCodeProcess(process.hProcess, &finished.exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  if (output == Output::kFile) {
    finished.out = ReadFileText(outFile);
    finished.error = ReadFileText(errorFile);
    DeleteFileW(platform::Widen(outFile).c_str());
    DeleteFileW(platform::Widen(errorFile).c_str());
  }
  return finished;
}

// Runs the copy of Tidewell.com in `folder` with the arguments, its output and error streams sent to
// files, and waits for it.
inline Finished RunConsoleProgramIn(const std::string& folder, const std::string& arguments) {
  return RunProgram("\"" + folder + "\\Tidewell.com\" " + arguments, Output::kFile);
}
