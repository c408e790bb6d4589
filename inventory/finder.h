#pragma once
// The uninstall-string file finder: does the file or folder that a piece of a command names exist?
#include <string>

#include "platform/file_system.h"
#include "platform/system.h"

struct FinderOptions {
  // A piece that is not found is looked for once more with the file-system redirection off.
  bool retryUnredirected = false;
  // Within one FindSpace call every candidate and every query is answered once. Only the finder's
  // benchmark turns this off, to measure the work it saves; the answers are the same.
  bool rememberAnswers = true;
  // The command of a 64-bit program: %ProgramFiles% and %CommonProgramFiles% expand as such a
  // program sees them (the 64-bit folders), not as this 32-bit program does.
  bool sixtyFourBit = false;
};

class Finder {
 public:
  Finder(platform::FileSystem& files, platform::System& system, FinderOptions options = {});

  // FindSpace, and with retryUnredirected once more with the redirection off.
  bool nFindSpace(const std::string& text);
  // Whether the file or folder that the piece names exists, or the piece is of a kind that counts
  // as found.
  bool FindSpace(const std::string& text);
  // The file test, and with retryUnredirected once more with the redirection off.
  bool nFileExists(const std::string& text);

  platform::FileSystem& Files() const { return files_; }

 private:
  platform::FileSystem& files_;
  platform::System& system_;
  FinderOptions options_;
};

// The new cut position: the position (offset - 1 + its 1-based place) of the first `c` in
// `searched` when that is smaller than `cut` or `cut` is none (0); otherwise `cut`.
int GetNonChar(int cut, char c, const std::string& searched, int offset);
// The text without one trailing backslash.
std::string RemoveSlash(const std::string& text);
// The text with %ProgramFiles% and %CommonProgramFiles% (any letter case) named by the variables
// that hold the 64-bit folders for a 32-bit program on 64-bit Windows.
std::string AsSixtyFourBitVariables(const std::string& text);
