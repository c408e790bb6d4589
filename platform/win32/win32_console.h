#pragma once
// The standard output and error of a program started from a command line, and its arguments.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/console.h"

namespace platform {

// The program's arguments, without its own name, as the system's rules of quotes split them.
std::vector<std::string> CommandLineArguments();

class Win32Console : public Console {
 public:
  enum class Program {
    // A console program: the standard handles it was given, a console or a file, a pipe or a device.
    kConsole,
    // A windowed program: the handles it was given (a file or a pipe), else the console of the process
    // that started it, which it attaches to. None is created.
    kWindowed,
  };
  explicit Win32Console(Program program);
  ~Win32Console() override;
  Win32Console(const Win32Console&) = delete;
  Win32Console& operator=(const Win32Console&) = delete;

  bool WriteOut(std::string_view text) override;
  bool WriteError(std::string_view text) override;
  bool OwnsWindow() override;
  void HideWindow() override;
  void WaitForKey() override;

 private:
  // Where one stream goes: a console (written as UTF-16 characters), a file, pipe or device (UTF-8
  // bytes), or nowhere.
  struct Stream {
    HANDLE handle = nullptr;
    bool console = false;
  };
  Stream Open(DWORD which);
  static bool Write(const Stream& stream, std::string_view text);

  Program program_;
  bool attached_ = false;
  // The parent's console opened as CONOUT$, when a stream needs it; closed with this object.
  HANDLE consoleOutput_ = INVALID_HANDLE_VALUE;
  Stream out_;
  Stream error_;
};

}  // namespace platform
