#include "app/list_commands.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "app/main_window.h"
#include "backup/entry_commands.h"
#include "backup/product_registration.h"
#include "inventory/file_tests.h"
#include "inventory/product_code.h"
#include "launch/exec.h"
#include "launch/open_in_shell.h"
#include "platform/text_encoding.h"

namespace {

constexpr const char* kUninstallQuestion = "Are you sure you want to uninstall this program?";
constexpr const char* kUninstallCaption = "Uninstall Program?";
constexpr const char* kRegistrationCaption = "Remove Installer Registration?";

// The program's question, then the name of what it acts on.
std::string Naming(const char* question, const std::string& what) { return std::string(question) + "\n\n" + what; }

// An entry as a question names it: its display name (its key name when it has none) and its list.
std::string EntryNamed(const Entry& entry) {
  return (entry.displayName.empty() ? entry.keyName : entry.displayName) + " (" + SourceName(entry) + ")";
}

// What the question of a removal adds for an entry whose uninstaller is there.
std::string UninstallerExistsNote(const Entry& entry) {
  return entry.status == kGoodLink ? "\n\n" + std::string(kUninstallerExists) : "";
}

}  // namespace

InstallerPlaces ListCommands::Places() const {
  return {window_.Wow64, window_.Platform().system.CurrentUserSid()};
}

bool ListCommands::IsPartlyRemoved(const Entry& entry) const {
  return std::find(PartlyRemoved.begin(), PartlyRemoved.end(), IdOf(entry)) != PartlyRemoved.end();
}

RemovalOutcome ListCommands::RemoveEntryKey(const Entry& entry) {
  const platform::Platform& platform = window_.Platform();
  const RemovalOutcome outcome = ::RemoveEntryKey(window_.Undo(), platform.registry, entry, window_.Wow64);
  std::erase(PartlyRemoved, IdOf(entry));
  if (!outcome.Complete()) PartlyRemoved.push_back(IdOf(entry));
  return outcome;
}

void ListCommands::OnRemoveEntry() {
  const platform::Platform& platform = window_.Platform();
  // Pressed again while several entries are being removed: that removal goes on alone.
  if (removing_) return;
  const std::vector<Entry> selected = window_.list.SelectedEntries();
  if (selected.empty()) {
    platform.ui.ShowMessage(kSelectFirst);
    return;
  }
  if (selected.size() > 1) {
    RemoveSelectedEntries();
    return;
  }
  RemoveEntry(selected.front());
}

void ListCommands::RemoveEntry(Entry entry) {
  const platform::Platform& platform = window_.Platform();
  // An empty name would address the Uninstall key itself, and with it every entry.
  if (entry.keyName.empty()) return;
  const ProductReference product = ProductOfEntry(entry);
  if (entry.status == kBrokenLink && product.kind == ProductReference::Kind::kProduct &&
      InstallerKnowsProduct(platform.registry, Places(), product.code)) {
    // Its entry alone would leave the product half registered: the installer then neither
    // uninstalls nor installs it again.
    const int answer = platform.ui.AskMessageBox(
        Naming(kRemoveQuestion, EntryNamed(entry)) + "\n\nIt is an installer product whose uninstall cannot run: " +
            entry.reason + " Removing its entry alone leaves the product registered with the installer, which then " +
            "neither uninstalls nor installs it again.\n\nYes: remove its whole installer registration (you see what "
            "goes first).\nNo: remove the entry alone.\nCancel: keep both.",
        kRemoveCaption, platform::kMbYesNoCancel | platform::kMbIconWarning | platform::kMbDefButton3);
    if (answer == platform::kIdYes) RemoveInstallerRegistration(product.code, ShownName(entry));
    if (answer != platform::kIdNo) return;
  } else if (platform.ui.AskMessageBox(Naming(kRemoveQuestion, EntryNamed(entry)) + UninstallerExistsNote(entry),
                                        kRemoveCaption,
                                        platform::kMbYesNo | platform::kMbIconError | platform::kMbDefButton2) !=
             platform::kIdYes) {
    return;
  }
  // The message names the entry as the list showed it.
  const std::string shownName = entry.displayName.empty() ? entry.keyName : entry.displayName;
  RemovalOutcome outcome;
  try {
    outcome = RemoveEntryKey(entry);
  } catch (const std::exception& error) {
    // Raised before anything of the entry was deleted: its backup could not be written whole.
    window_.FillListBox();
    platform.ui.ShowError(NotRemovedMessage(shownName, error.what()));
    return;
  }
  window_.FillListBox();
  if (outcome.alreadyGone) {
    window_.status.Notice(ShownName(entry) + " was already gone: another program removed it. Nothing was written.");
  } else if (outcome.Complete() && !outcome.undoFile.empty()) {
    window_.status.Notice("Removed " + ShownName(entry) + ", backed up in " + outcome.undoFile + ".", outcome.undoFile);
  }
  if (!outcome.Complete()) platform.ui.ShowError(IncompleteRemovalMessage(shownName, outcome));
  platform.ui.ProcessMessages();
}

std::string ListCommands::SelectedRegisteredProduct() const {
  const platform::Platform& platform = window_.Platform();
  const std::vector<Entry> selected = window_.list.SelectedEntries();
  if (selected.size() != 1) return {};
  const ProductReference product = ProductOfEntry(selected.front());
  if (product.kind != ProductReference::Kind::kProduct) return {};
  return InstallerKnowsProduct(platform.registry, Places(), product.code) ? product.code : std::string();
}

void ListCommands::RemoveInstallerRegistration(const std::string& productCode, const std::string& shownName) {
  const platform::Platform& platform = window_.Platform();
  const InstallerPlaces places = Places();
  const ProductRegistration registration = FindRegistration(platform.registry, places, productCode);
  const std::string name = registration.name.empty() ? shownName : registration.name;
  if (registration.Empty()) {
    platform.ui.ShowMessage("The installer knows nothing of " + name + " " + platform::UpperCaseText(productCode) +
                             " any more: there is nothing of it to remove.");
    window_.FillListBox();
    return;
  }
  // A product that its own uninstall would remove is better removed that way.
  int state = 0;
  std::string package;
  if (platform.system.QueryProductState(registration.code, &state) && state == platform::kInstallStateDefault &&
      platform.system.ProductLocalPackage(registration.code, &package) && !package.empty() &&
      FileTest(platform.files, package) &&
      platform.ui.AskMessageBox(name + " can still be uninstalled: the installer keeps its package " + package +
                                     ", from which its own uninstall runs. Uninstall Program removes the program and "
                                     "its registration together.\n\nRemove only its registration anyway?",
                                 kRegistrationCaption,
                                 platform::kMbYesNo | platform::kMbIconWarning | platform::kMbDefButton2) != platform::kIdYes)
    return;
  std::string counted;
  for (const std::string& line : RegistrationSummary(registration)) counted += "\n    " + line;
  if (platform.ui.AskMessageBox(
          "Remove the whole installer registration of this product?\n\n" + name + " " + registration.code + " (" +
              registration.Scope() + ")\n\nWhat goes:" + counted +
              "\n\nAll of it is written to the undo file first. Its cached package and its files stay where they "
              "are: this cleans the installer's registration, not the disk.",
          kRegistrationCaption, platform::kMbYesNo | platform::kMbIconWarning | platform::kMbDefButton2) != platform::kIdYes)
    return;
  RemovalOutcome outcome;
  try {
    outcome = RemoveRegistration(window_.Undo(), platform.registry, places, registration.code);
  } catch (const std::exception& error) {
    window_.FillListBox();
    platform.ui.ShowError(NotRemovedMessage(name, error.what()));
    return;
  }
  window_.FillListBox();
  if (outcome.alreadyGone) {
    window_.status.Notice(name + " was already gone: another program removed its registration. Nothing was written.");
  } else if (outcome.Complete()) {
    window_.status.Notice("Removed the installer registration of " + name + " (" + std::to_string(outcome.keysRemoved) +
                              " keys, " + std::to_string(outcome.valuesRemoved) + " values), backed up in " +
                              outcome.undoFile + ".",
                          outcome.undoFile);
  } else {
    platform.ui.ShowError(IncompleteRemovalMessage(name, outcome));
  }
  platform.ui.ProcessMessages();
}

void ListCommands::OnUninstall() {
  const platform::Platform& platform = window_.Platform();
  const std::vector<Entry> selected = window_.list.SelectedEntries();
  if (selected.empty()) {
    platform.ui.ShowMessage(kSelectFirst);
    return;
  }
  // One program at a time: the button is enabled for one selected entry only.
  if (selected.size() != 1) return;
  const Entry& entry = selected.front();
  if (platform.ui.AskMessageBox(Naming(kUninstallQuestion, EntryNamed(entry)) + "\n\nIt runs:\n" + entry.uninstallString,
                                 kUninstallCaption,
                                 platform::kMbYesNo | platform::kMbIconError | platform::kMbDefButton2) != platform::kIdYes)
    return;
  std::string failure;
  std::uint32_t exitCode = 0;
  if (!Exec(platform, entry.uninstallString, platform::kSwShow, entry.SixtyFourBit(), &failure, &exitCode)) {
    platform.ui.ShowMessage("Unable to Uninstall\n" + failure);
    window_.FillListBox();
    return;
  }
  // The list read again says what the uninstaller did to the entry.
  const EntryId id = IdOf(entry);
  window_.FillListBox();
  const bool listed = window_.EntryOfId(id) != nullptr;
  window_.status.Notice("The uninstaller of " + ShownName(entry) + " ended with exit code " + std::to_string(exitCode) +
                        (listed ? ". The entry is still listed (an uninstaller that goes on in another program may "
                                  "remove it later: Refresh List)."
                                : ". Its entry is gone from the list."));
}

std::vector<TButton*> ListCommands::RegistryButtons() {
  return {&window_.list.uninstallButton, &window_.list.removeButton, &window_.change.saveButton,
          &window_.allEntries.deleteButton, &window_.installer.deleteButton, &window_.backups.restoreButton,
          &window_.backups.restoreSelectedButton};
}

void ListCommands::RemoveSelectedEntries() {
  const platform::Platform& platform = window_.Platform();
  const std::vector<Entry> chosen = window_.list.SelectedEntries();
  if (removing_ || chosen.empty()) return;
  std::vector<std::string> names;
  size_t withUninstaller = 0;
  for (const Entry& entry : chosen) {
    const bool good = entry.status == kGoodLink;
    withUninstaller += good ? 1 : 0;
    // Each key with its list, as /remove names it.
    names.push_back(entry.displayName + "  (" + SourceName(entry) + "\\" + entry.keyName + ")" +
                    (good ? "  - its uninstaller exists" : ""));
  }
  std::string question = "Are you sure you want to remove these " + std::to_string(chosen.size()) + " entries?";
  if (withUninstaller > 0)
    question += " " + std::to_string(withUninstaller) + (withUninstaller == 1 ? " of them has" : " of them have") +
                " an uninstaller that exists: removing " + (withUninstaller == 1 ? "it leaves its program" : "them leaves their programs") +
                " installed, with no way to uninstall from this list.";
  if (platform.ui.AskWithList(question, "Remove Entries?", names) != platform::kIdYes) return;
  // One after another, each written to the undo file and flushed before it goes, as a single
  // removal is; the first that fails stops the rest.
  size_t removed = 0;
  // The entries handled: at a failure, the one that failed.
  size_t done = 0;
  std::string failure;
  // The undo files the removals went to, each named once.
  std::vector<std::string> undoFiles;
  // The entries another program removed meanwhile: nothing written, nothing to fail.
  std::vector<std::string> gone;
  {
    // The messages handled between entries may press Remove again or another button that changes
    // the registry: until the last entry is done they do nothing. The buttons are as they were again
    // when the removal ends, however it ends; the scan after it sets them by the selection.
    struct Run {
      ListCommands& commands;
      std::vector<std::pair<TButton*, bool>> buttons;
      ~Run() {
        commands.removing_ = false;
        for (const auto& [button, enabled] : buttons) button->SetEnabled(enabled);
      }
    } run{*this, {}};
    removing_ = true;
    for (TButton* button : RegistryButtons()) {
      run.buttons.push_back({button, button->Enabled()});
      button->SetEnabled(false);
    }
    for (; done < chosen.size(); ++done) {
      const Entry& entry = chosen[done];
      window_.status.line.SetCaption("Removing " + std::to_string(done + 1) + " of " + std::to_string(chosen.size()) + ": " +
                         entry.displayName);
      platform.ui.ProcessMessages();
      try {
        const RemovalOutcome outcome = RemoveEntryKey(entry);
        if (!outcome.undoFile.empty() && std::find(undoFiles.begin(), undoFiles.end(), outcome.undoFile) == undoFiles.end())
          undoFiles.push_back(outcome.undoFile);
        if (outcome.alreadyGone) {
          gone.push_back(entry.displayName);
          continue;
        }
        if (!outcome.Complete()) failure = IncompleteRemovalMessage(entry.displayName, outcome);
      } catch (const std::exception& error) {
        // Raised before anything of the entry was deleted: its backup could not be written whole.
        failure = NotRemovedMessage(entry.displayName, error.what());
      }
      if (!failure.empty()) break;
      ++removed;
    }
  }
  window_.FillListBox();
  std::string goneNames;
  for (const std::string& name : gone) goneNames += (goneNames.empty() ? "" : ", ") + name;
  if (removed > 0 || !gone.empty()) {
    std::string files;
    for (const std::string& file : undoFiles) files += (files.empty() ? "" : " and ") + file;
    std::string notice = removed == 0 ? std::string()
                                      : "Removed " + std::to_string(removed) + (removed == 1 ? " entry" : " entries") +
                                            (files.empty() ? "." : ", backed up in " + files + ".");
    if (!gone.empty()) notice += (notice.empty() ? "" : " ") + std::string("Already gone (another program removed ") +
                                 (gone.size() == 1 ? "it" : "them") + "): " + goneNames + ".";
    window_.status.Notice(notice, undoFiles.empty() ? std::string() : undoFiles.front());
  }
  if (failure.empty()) return;
  std::string text = "Removed " + std::to_string(removed) + " of " + std::to_string(chosen.size()) + " entries. " +
                     failure;
  if (text.back() != '.') text += '.';
  if (done + 1 < chosen.size()) {
    text += " Not removed: ";
    for (size_t i = done + 1; i < chosen.size(); ++i)
      text += (i > done + 1 ? ", " : "") + chosen[i].displayName;
    text += ".";
  }
  platform.ui.ShowError(text);
}

void ListCommands::SelectBrokenLinks() {
  std::vector<int> rows;
  for (int row = 0; row < window_.list.entryList.Count(); ++row)
    if (window_.list.entryList.Item(row).ImageIndex == kBrokenLink) rows.push_back(row);
  window_.list.entryList.SelectRows(rows);
  if (!rows.empty()) window_.list.entryList.MakeVisible();
  window_.OnEntrySelected();
}

void ListCommands::TestInFinder() {
  const std::vector<Entry> selected = window_.list.SelectedEntries();
  if (selected.size() != 1) return;
  const Entry& entry = selected.front();
  // The file that decided the entry's status is looked for at once; without one (the installer
  // decided, or a drive not looked at), the whole command is selected for the user to cut.
  window_.finder.Test(entry.uninstallString, entry.checkedFile);
}

void ListCommands::CopyCommand() {
  const platform::Platform& platform = window_.Platform();
  const std::vector<Entry> selected = window_.list.SelectedEntries();
  if (selected.size() == 1) platform.ui.CopyText(selected.front().uninstallString);
}

void ListCommands::OpenKeyInRegistryEditor() {
  const platform::Platform& platform = window_.Platform();
  const std::vector<Entry> selected = window_.list.SelectedEntries();
  if (selected.size() != 1) return;
  const std::string failure = ::OpenKeyInRegistryEditor(platform, selected.front(), window_.Wow64);
  if (!failure.empty()) platform.ui.ShowMessage(failure);
}

void ListCommands::OpenUninstallerFolder() {
  const platform::Platform& platform = window_.Platform();
  const std::vector<Entry> selected = window_.list.SelectedEntries();
  if (selected.size() != 1) return;
  const std::string failure = ::OpenUninstallerFolder(platform, selected.front());
  if (!failure.empty()) platform.ui.ShowMessage(failure);
}

void ListCommands::OnEntryContextMenu() {
  const platform::Platform& platform = window_.Platform();
  const size_t selected = window_.list.SelectedEntries().size();
  const bool one = selected == 1;
  const bool any = selected > 0;
  const auto item = [](bool enabled, const char* text) { return std::string(enabled ? "" : "!") + text; };
  const std::string product = one ? SelectedRegisteredProduct() : std::string();
  const std::vector<std::string> items = {
      item(one && !removing_, "&Uninstall Program"),
      item(any && !removing_, "&Remove Entry\tDel"),
      item(!product.empty() && !removing_, "Remove Installer Re&gistration..."),
      "",
      item(one, "&Test in Finder"),
      item(one, "&Copy Command\tCtrl+C"),
      item(one, "Open Key in Registry &Editor"),
      item(one, "Open Uninstaller's &Folder"),
      "",
      "Select All &Broken Link\tCtrl+B",
  };
  const auto place = window_.list.entryList.MenuFromKeyboard ? platform::Ui::MenuPlace::kAtSelection : platform::Ui::MenuPlace::kAtMouse;
  switch (platform.ui.ChooseFromMenu(items, place)) {
    case 0: OnUninstall(); break;
    case 1: OnRemoveEntry(); break;
    case 2: RemoveInstallerRegistration(product, ShownName(window_.list.SelectedEntries().front())); break;
    case 4: TestInFinder(); break;
    case 5: CopyCommand(); break;
    case 6: OpenKeyInRegistryEditor(); break;
    case 7: OpenUninstallerFolder(); break;
    case 9: SelectBrokenLinks(); break;
    default: break;
  }
}
