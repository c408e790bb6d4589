#include "launch/web_link.h"

#include "platform/win_codes.h"

namespace {

// ShellExecuteA's failure codes that have a message of their own.
const char* ShellErrorText(int result) {
  switch (result) {
    case 0: return "The operating system is out of memory or resources.";
    case 2: return "The specified file was not found.";
    case 3: return "The specified path was not found.";
    case 5: return "Windows 95 only: The operating system denied access to the specified file.";
    case 8: return "Windows 95 only: There was not enough memory to complete the operation.";
    case 11: return "The .EXE file is invalid (non-Win32 .EXE or error in .EXE image).";
    case 26: return "A sharing violation occurred.";
    case 27: return "The filename association is incomplete or invalid.";
    case 28: return "The DDE transaction could not be completed because the request timed out.";
    case 29: return "The DDE transaction failed.";
    case 30: return "The DDE transaction could not be completed because other DDE transactions were being processed.";
    case 31: return "There is no application associated with the given filename extension.";
    case 32: return "Windows 95 only: The specified dynamic-link library was not found.";
    default: return nullptr;
  }
}

}  // namespace

std::string HelpPageAddress(const std::string& exeFolder) { return exeFolder + "Tidewell.html"; }

std::string OpenWebLink(platform::Ui& ui, const std::string& address) {
  const char* text = ShellErrorText(ui.ShellOpen(address, "", platform::kSwShowNormal));
  return text ? text : "";
}
