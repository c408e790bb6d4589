#include "launch/open_in_shell.h"

#include <optional>

#include "inventory/file_tests.h"
#include "platform/redirection.h"
#include "platform/win_codes.h"
#include "registry/nt_registry.h"

namespace {

constexpr const char* kRegeditSettings = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Regedit";

// The folder of the first absolute path in the text that exists, walking up from the file it
// names; empty when none does.
std::string ExistingFolderIn(platform::FileSystem& files, const std::string& text) {
  for (size_t at = text.find(":\\"); at != std::string::npos; at = text.find(":\\", at + 2)) {
    if (at == 0) continue;
    std::string path = text.substr(at - 1);
    const size_t end = path.find_first_of("\"<>|*?");
    if (end != std::string::npos) path.resize(end);
    for (size_t cut = path.size(); cut > 3; cut = path.rfind('\\', cut - 1)) {
      const std::string folder = path.substr(0, cut);
      if (FolderTest(files, folder)) return folder;
    }
  }
  return {};
}

}  // namespace

std::string OpenKeyInRegistryEditor(const platform::Platform& platform, const Entry& entry, bool wow64) {
  const RegistryPlace place = PlaceOf(entry.source, wow64);
  // The editor opens at the key it showed last: that is the key it is told to show.
  const std::string root = place.root == platform::kHkeyCurrentUser ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE";
  {
    TNTRegistry reg(platform.registry);
    reg.SetRoot(platform::kHkeyCurrentUser);
    if (reg.OpenPath(kRegeditSettings, true))
      reg.WriteText("LastKey", "Computer\\" + root + PathForEveryView(place, entry.KeyPath()));
  }
  std::optional<platform::RedirectionOff> off;
  if (wow64) off.emplace(platform.system);
  std::string windows = platform.system.SystemWindowsDirectory();
  if (!windows.empty() && windows.back() != '\\') windows += '\\';
  const int answer = platform.ui.ShellOpen(windows + "regedit.exe", "", platform::kSwShowNormal);
  if (answer <= 32) return "The registry editor could not be started (error " + std::to_string(answer) + ").";
  return {};
}

std::string OpenUninstallerFolder(const platform::Platform& platform, const Entry& entry) {
  std::optional<platform::RedirectionOff> off;
  if (entry.SixtyFourBit()) off.emplace(platform.system);
  const std::string folder = ExistingFolderIn(platform.files, entry.uninstallString);
  if (folder.empty()) return "No folder named in the uninstall command of '" + entry.displayName + "' exists.";
  const int answer = platform.ui.ShellOpen(folder, "", platform::kSwShowNormal);
  if (answer <= 32) return "The folder " + folder + " could not be opened (error " + std::to_string(answer) + ").";
  return {};
}
