#pragma once
// The Finder page's test of a path typed or pasted by hand.
#include <string>

#include "platform/file_system.h"

// A file of that name as typed, in the Windows folder or in the System folder (each ending in a
// backslash), a folder of that name, or the same file tests of the name with ".exe" added.
bool AddressExists(platform::FileSystem& files, const std::string& winDir, const std::string& sysDir,
                   const std::string& text);
