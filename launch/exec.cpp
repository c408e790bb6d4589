#include <optional>

#include "app/form1.h"
#include "launch/command_line.h"
#include "platform/handles.h"
#include "platform/redirection.h"

void TForm1::Button1Click() {
  const int row = ListView1.Selected();
  if (row < 0) {
    platform_.ui.ShowMessage(kSelectFirst);
    return;
  }
  if (platform_.ui.AskMessageBox("Are you sure you want to uninstall this program?", "Uninstall Program?",
                                 platform::kMbYesNo | platform::kMbIconError) != platform::kIdYes)
    return;
  const TListItem& item = ListView1.Item(row);
  const std::string commandLine = item.SubItems.size() > 1 ? item.SubItems[1] : std::string();
  const Entry* entry = SelectedEntry();
  if (!Exec(commandLine, platform::kSwShow, entry && entry->SixtyFourBit()))
    platform_.ui.ShowMessage("Unable to Uninstall");
  FillListBox();
}

bool TForm1::Exec(const std::string& commandLine, std::uint16_t show, bool sixtyFourBit) {
  const auto isFile = [this](const std::string& path) {
    const std::uint32_t attributes = platform_.files.Attributes(path);
    return attributes != platform::kInvalidFileAttributes && !(attributes & platform::kFileAttributeDirectory);
  };
  // A 64-bit program's uninstaller is found where that program would find it; the redirection is
  // on again before the wait, in which other commands of the window may run.
  platform::UniqueProcess process;
  {
    std::optional<platform::RedirectionOff> off;
    if (sixtyFourBit) off.emplace(platform_.system);
    process = platform::UniqueProcess(platform_.processes,
                                      platform_.processes.StartProcess(QuoteProgramPath(commandLine, isFile), show));
  }
  if (!process) return false;
  // The window stays usable while the child runs: serve every queued message, then sleep until the
  // child ends or new input arrives. The child's end is its handle becoming signalled, so an exit
  // code of 259 is no longer mistaken for a running child.
  for (;;) {
    int quitCode = 0;
    if (!platform_.ui.DispatchPendingMessages(&quitCode)) platform_.ui.ExitProgram(quitCode);
    if (platform_.processes.WaitForProcessOrInput(process.get()) == platform::Wake::kProcessEnded) break;
  }
  return true;
}
