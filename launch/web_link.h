#pragma once
// The help page link.
#include <string>

#include "platform/ui.h"

// The help page is installed beside the executable (`exeFolder` ends in a backslash), so the link
// works offline.
std::string HelpPageAddress(const std::string& exeFolder);
// Opens the address through the shell: the message for a failure the shell names, otherwise empty.
std::string OpenWebLink(platform::Ui& ui, const std::string& address);
