#pragma once
// The standard output and error of a windowed program started from a command line: the handles it
// was given (a file or a pipe), else the console of the process that started it. None is created.
#include <windows.h>

#include "platform/console.h"

namespace platform {

class Win32Console : public Console {
 public:
  Win32Console();
  ~Win32Console() override;
  Win32Console(const Win32Console&) = delete;
  Win32Console& operator=(const Win32Console&) = delete;

  bool WriteOut(std::string_view text) override;
  bool WriteError(std::string_view text) override;

 private:
  // Where one stream goes: a console (written as UTF-16 characters), a file or pipe (UTF-8 bytes),
  // or nowhere.
  struct Stream {
    HANDLE handle = nullptr;
    bool console = false;
  };
  Stream Open(DWORD which);
  static bool Write(const Stream& stream, std::string_view text);

  bool attached_ = false;
  // The parent's console opened as CONOUT$, when a stream needs it; closed with this object.
  HANDLE consoleOutput_ = INVALID_HANDLE_VALUE;
  Stream out_;
  Stream error_;
};

}  // namespace platform
