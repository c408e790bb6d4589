#include "launch/open_in_shell.h"

#include <optional>

#include "inventory/file_tests.h"
#include "platform/handles.h"
#include "platform/redirection.h"
#include "platform/win_codes.h"
#include "registry/nt_registry.h"

namespace {

constexpr const char* kRegeditSettings = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Regedit";

struct FolderFound {
  // The folder of the file that the path names, and the nearest folder of the path that exists:
  // that one, or one above it.
  std::string wanted;
  std::string existing;
};

// The folder of the first absolute path in the text that exists, walking up from the file it
// names; empty when none does.
FolderFound ExistingFolderIn(platform::FileSystem& files, const std::string& text) {
  for (size_t at = text.find(":\\"); at != std::string::npos; at = text.find(":\\", at + 2)) {
    if (at == 0) continue;
    std::string path = text.substr(at - 1);
    const size_t end = path.find_first_of("\"<>|*?");
    if (end != std::string::npos) path.resize(end);
    std::string wanted;
    for (size_t cut = path.size(); cut > 3; cut = path.rfind('\\', cut - 1)) {
      const std::string folder = path.substr(0, cut);
      // The path names the uninstaller's file: its folder is the one after the file.
      if (wanted.empty() && cut < path.size()) wanted = folder;
      if (FolderTest(files, folder)) return {wanted.empty() ? folder : wanted, folder};
    }
  }
  return {};
}

}  // namespace

int StartRegistryEditor(const platform::Platform& platform, bool wow64, const std::string& arguments) {
  std::string windows = platform.system.SystemWindowsDirectory();
  if (!windows.empty() && windows.back() != '\\') windows += '\\';
  const std::string editor = windows + "regedit.exe";
  if (wow64) {
    // The Windows folder's regedit.exe is redirected to the 32-bit one for a 32-bit program, so it is
    // started with the redirection off, only around the start itself: CreateProcess loads nothing
    // into this program.
    platform::ProcessId started = 0;
    {
      platform::RedirectionOff off(platform.system);
      started = platform.processes.StartProcess(
          editor, "\"" + editor + "\"" + (arguments.empty() ? "" : " " + arguments), platform::kSwShowNormal);
    }
    platform::UniqueProcess process(platform.processes, started);
    if (process) return 33;
    // Not started: it asks for rights that this program has not, which only the shell can ask for;
    // a start that asks for them is not redirected.
  }
  return platform.ui.ShellOpen(editor, arguments, platform::kSwShowNormal);
}

std::string OpenKeyInRegistryEditor(const platform::Platform& platform, const Entry& entry, bool wow64) {
  // The hive of an account that is not logged on is loaded only while this program reads or
  // changes it: the editor would find nothing there.
  if (entry.account && !entry.account->loggedOn)
    return "The list of " + entry.account->name +
           " is in that account's hive, which is loaded only while it is logged on or while Tidewell reads it: "
           "the registry editor cannot show its key.";
  // The editor opens at the key it showed last: that is the key it is told to show.
  {
    TNTRegistry reg(platform.registry);
    reg.SetRoot(platform::kHkeyCurrentUser);
    if (reg.OpenPath(kRegeditSettings, true))
      reg.WriteText("LastKey", "Computer\\" + PlaceOf(entry, wow64).Name());
  }
  const int answer = StartRegistryEditor(platform, wow64, "");
  if (answer <= 32) return "The registry editor could not be started (error " + std::to_string(answer) + ").";
  return {};
}

std::string OpenUninstallerFolder(const platform::Platform& platform, const Entry& entry) {
  // A 64-bit program's folder is looked for as that program sees the disk; the shell is called with
  // the redirection on, since it loads libraries, which fails while the redirection is off.
  FolderFound found;
  {
    std::optional<platform::RedirectionOff> off;
    if (entry.SixtyFourBit()) off.emplace(platform.system);
    found = ExistingFolderIn(platform.files, entry.uninstallString);
  }
  if (found.existing.empty()) return "No folder named in the uninstall command of '" + entry.displayName + "' exists.";
  const int answer = platform.ui.ShellOpen(found.existing, "", platform::kSwShowNormal);
  if (answer <= 32) return "The folder " + found.existing + " could not be opened (error " + std::to_string(answer) + ").";
  // The nearest folder that is there was opened: say that the uninstaller's own is gone.
  if (found.existing != found.wanted)
    return "The uninstaller's folder " + found.wanted + " is gone; " + found.existing +
           ", the nearest folder above it that is there, is opened instead.";
  return {};
}
