#pragma once
// The console or the files that a program started from a command line writes its answers to.
#include <string_view>

namespace platform {

class Console {
 public:
  virtual ~Console() = default;
  // Writes UTF-8 text to the standard output or the standard error: to the console the program was
  // started from as its characters, to a file or a pipe as UTF-8 bytes. Nothing goes anywhere when
  // there is neither; false when the text could not be written.
  virtual bool WriteOut(std::string_view text) = 0;
  virtual bool WriteError(std::string_view text) = 0;

  // The console window was made for this program alone, which was started from Explorer (a double
  // click, a file dropped on it) and not from a prompt: the window closes when the program ends.
  virtual bool OwnsWindow() { return false; }
  // Hides that window.
  virtual void HideWindow() {}
  // Waits until a key is pressed in it.
  virtual void WaitForKey() {}
};

}  // namespace platform
