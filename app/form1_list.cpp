// The main list's own commands: several entries removed at once, the broken ones selected, the
// context menu and its commands, and the line that says why the selected entry has its status.
#include <algorithm>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/form1.h"
#include "backup/undo_lock.h"
#include "inventory/file_tests.h"
#include "platform/redirection.h"
#include "registry/nt_registry.h"

namespace {

constexpr const char* kRegeditSettings = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Regedit";
constexpr int kFinderPage = 3;

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

void TForm1::RemoveSelectedEntries() {
  std::vector<Entry> chosen;
  for (int row : ListView1.SelectedRows()) {
    const int index = ListView1.Item(row).Data;
    if (index >= 0 && index < static_cast<int>(Entries.size())) chosen.push_back(Entries[static_cast<size_t>(index)]);
  }
  if (chosen.empty()) return;
  std::vector<std::string> names;
  for (const Entry& entry : chosen) names.push_back(entry.displayName + "  (" + entry.keyName + ")");
  if (platform_.ui.AskWithList("Are you sure you want to remove these " + std::to_string(chosen.size()) + " entries?",
                               "Remove Entries?", names) != platform::kIdYes)
    return;
  // One after another, each written to the undo file and flushed before it goes, as a single
  // removal is; the first that fails stops the rest.
  size_t removed = 0;
  std::string failure;
  for (const Entry& entry : chosen) {
    Label21.SetCaption("Removing " + std::to_string(removed + 1) + " of " + std::to_string(chosen.size()) + ": " +
                       entry.displayName);
    platform_.ui.ProcessMessages();
    try {
      const RemovalOutcome outcome = RemoveEntryKey(entry.keyName, entry.source);
      if (!outcome.Complete()) failure = IncompleteRemovalMessage(entry.displayName, outcome);
    } catch (const std::exception& error) {
      failure = "Tidewell could not remove '" + entry.displayName + "': " + error.what();
    }
    if (!failure.empty()) break;
    ++removed;
  }
  FillListBox();
  if (failure.empty()) return;
  std::string text = "Removed " + std::to_string(removed) + " of " + std::to_string(chosen.size()) + " entries. " +
                     failure;
  if (text.back() != '.') text += '.';
  if (removed + 1 < chosen.size()) {
    text += " Not removed: ";
    for (size_t i = removed + 1; i < chosen.size(); ++i)
      text += (i > removed + 1 ? ", " : "") + chosen[i].displayName;
    text += ".";
  }
  platform_.ui.ShowError(text);
}

void TForm1::SelectBrokenLinks() {
  std::vector<int> rows;
  for (int row = 0; row < ListView1.Count(); ++row)
    if (ListView1.Item(row).ImageIndex == kBrokenLink) rows.push_back(row);
  ListView1.SelectRows(rows);
  if (!rows.empty()) ListView1.MakeVisible();
  ListView1Click();
}

void TForm1::ShowWhy() {
  const Entry* entry = SelectedEntry();
  std::string why;
  if (entry) why = entry->status == kStatusUnknown ? (checksPending_ > 0 ? "Checking..." : "") : entry->reason;
  if (ListView1.SelectedRows().size() > 1) why = std::to_string(ListView1.SelectedRows().size()) + " entries selected";
  Label22.SetCaption(why);
}

void TForm1::TestInFinder() {
  const Entry* entry = SelectedEntry();
  if (!entry) return;
  Edit1.SetText(entry->uninstallString);
  Edit1.Select(0, static_cast<int>(entry->uninstallString.size()));
  EditChange();
  PageControl1.SetActivePage(kFinderPage);
}

void TForm1::CopyCommand() {
  if (const Entry* entry = SelectedEntry()) platform_.ui.CopyText(entry->uninstallString);
}

void TForm1::OpenKeyInRegistryEditor() {
  const Entry* entry = SelectedEntry();
  if (!entry) return;
  const RegistryPlace place = PlaceOf(entry->source, Wow64);
  // The editor opens at the key it showed last: that is the key it is told to show.
  const std::string root = place.root == platform::kHkeyCurrentUser ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE";
  {
    TNTRegistry reg(platform_.registry);
    reg.SetRoot(platform::kHkeyCurrentUser);
    if (reg.OpenPath(kRegeditSettings, true))
      reg.WriteText("LastKey", "Computer\\" + root + PathForEveryView(place, entry->KeyPath()));
  }
  std::optional<platform::RedirectionOff> off;
  if (Wow64) off.emplace(platform_.system);
  const int answer = platform_.ui.ShellOpen(CheckPath(platform_.system.SystemWindowsDirectory()) + "regedit.exe", "",
                                            platform::kSwShowNormal);
  if (answer <= 32) platform_.ui.ShowMessage("The registry editor could not be started (error " +
                                             std::to_string(answer) + ").");
}

void TForm1::OpenUninstallerFolder() {
  const Entry* entry = SelectedEntry();
  if (!entry) return;
  std::optional<platform::RedirectionOff> off;
  if (entry->SixtyFourBit()) off.emplace(platform_.system);
  const std::string folder = ExistingFolderIn(platform_.files, entry->uninstallString);
  if (folder.empty()) {
    platform_.ui.ShowMessage("No folder named in the uninstall command of '" + entry->displayName + "' exists.");
    return;
  }
  const int answer = platform_.ui.ShellOpen(folder, "", platform::kSwShowNormal);
  if (answer <= 32) platform_.ui.ShowMessage("The folder " + folder + " could not be opened (error " +
                                             std::to_string(answer) + ").");
}

void TForm1::ListView1ContextMenu() {
  const bool one = ListView1.SelectedRows().size() == 1;
  const bool any = !ListView1.SelectedRows().empty();
  const auto item = [](bool enabled, const char* text) { return std::string(enabled ? "" : "!") + text; };
  const std::vector<std::string> items = {
      item(one, "&Uninstall Program"),
      item(any, "&Remove Entry\tDel"),
      "",
      item(one, "&Test in Finder"),
      item(one, "&Copy Command\tCtrl+C"),
      item(one, "Open Key in Registry &Editor"),
      item(one, "Open Uninstaller's &Folder"),
      "",
      "Select All &Broken Link\tCtrl+B",
  };
  switch (platform_.ui.ChooseFromMenu(items)) {
    case 0: Button1Click(); break;
    case 1: Button2Click(); break;
    case 3: TestInFinder(); break;
    case 4: CopyCommand(); break;
    case 5: OpenKeyInRegistryEditor(); break;
    case 6: OpenUninstallerFolder(); break;
    case 8: SelectBrokenLinks(); break;
    default: break;
  }
}
