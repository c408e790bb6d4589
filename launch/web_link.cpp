#include "launch/web_link.h"

#include "launch/shell_errors.h"
#include "platform/win_codes.h"

std::string HelpPageAddress(const std::string& exeFolder) { return exeFolder + "Tidewell.html"; }

std::string OpenWebLink(platform::Ui& ui, const std::string& address) {
  return ShellErrorText(ui.ShellOpen(address, "", platform::kSwShowNormal));
}
