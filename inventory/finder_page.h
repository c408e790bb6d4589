#pragma once
// The Finder page's test of a path typed or pasted by hand.
#include <string>

#include "platform/file_system.h"
#include "platform/system.h"

// A file of that name as typed, in the Windows folder or in the System folder (each ending in a
// backslash), a folder of that name, or the same file tests of the name with ".exe" added.
bool AddressExists(platform::FileSystem& files, const std::string& winDir, const std::string& sysDir,
                   const std::string& text);

// What Find says of a typed path: the path it looked for, and whether that exists.
struct AddressAnswer {
  std::string path;
  bool exists = false;
};
// AddressExists of the text with its environment variables expanded as the status check expands a
// command's, and for a 64-bit program's command (`sixtyFourBit`) looked for as that program would.
AddressAnswer FindAddress(platform::FileSystem& files, platform::System& system, const std::string& winDir,
                          const std::string& sysDir, const std::string& text, bool sixtyFourBit);
