// The window's commands: each takes the entries, product or file it acts on, asks its question
// naming them, calls the unit that does the work and shows the outcome.
#include <algorithm>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "backup/entry_commands.h"
#include "backup/product_registration.h"
#include "inventory/file_tests.h"
#include "inventory/product_code.h"
#include "inventory/finder_page.h"
#include "launch/exec.h"
#include "platform/text_encoding.h"
#include "launch/web_link.h"
#include "restore/backups_page.h"

namespace {

constexpr const char* kRemoveQuestion = "Are you sure you want to remove this entry?";
constexpr const char* kRemoveCaption = "Remove Entry?";
constexpr const char* kUninstallQuestion = "Are you sure you want to uninstall this program?";
constexpr const char* kUninstallCaption = "Uninstall Program?";
constexpr const char* kDeleteFileQuestion = "Are you sure you want to delete this backup file? It cannot be restored afterwards.";
constexpr const char* kDeleteFileCaption = "Delete File?";
constexpr const char* kNothingToRemove = "There are no items in this list to remove.";
constexpr const char* kProductSeparator = " - {";
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

std::string ProductNamed(const Product& product) {
  return (product.named ? product.productName + " - " : "") + product.keyName +
         (product.perUser ? " (the user's installer product)" : " (the machine's installer product)");
}

}  // namespace

bool MainWindow::IsPartlyRemoved(const Entry& entry) const {
  return std::find(PartlyRemoved.begin(), PartlyRemoved.end(), IdOf(entry)) != PartlyRemoved.end();
}

RemovalOutcome MainWindow::RemoveEntryKey(const Entry& entry) {
  const RemovalOutcome outcome = ::RemoveEntryKey(undo_, platform_.registry, entry, Wow64);
  std::erase(PartlyRemoved, IdOf(entry));
  if (!outcome.Complete()) PartlyRemoved.push_back(IdOf(entry));
  return outcome;
}

void MainWindow::OnRemoveEntry() {
  // Pressed again while several entries are being removed: that removal goes on alone.
  if (removing_) return;
  const std::vector<Entry> selected = SelectedEntries();
  if (selected.empty()) {
    platform_.ui.ShowMessage(kSelectFirst);
    return;
  }
  if (selected.size() > 1) {
    RemoveSelectedEntries();
    return;
  }
  RemoveEntry(selected.front());
}

void MainWindow::OnDeleteKey() {
  const int index = entryKeys.ItemIndex();
  if (index < 0 || index >= entryKeys.Count()) {
    platform_.ui.ShowMessage(kSelectFirst);
    return;
  }
  const int data = entryKeys.ItemData(index);
  if (data >= 0 && data < static_cast<int>(Entries.size())) {
    RemoveEntry(Entries[static_cast<size_t>(data)]);
  } else {
    // A line not made by the scan names the machine's entry of its key name.
    Entry entry;
    entry.keyName = entryKeys.Items()[index];
    RemoveEntry(entry);
  }
}

void MainWindow::RemoveEntry(Entry entry) {
  // An empty name would address the Uninstall key itself, and with it every entry.
  if (entry.keyName.empty()) return;
  const ProductReference product = ProductOfEntry(entry);
  if (entry.status == kBrokenLink && product.kind == ProductReference::Kind::kProduct &&
      InstallerKnowsProduct(platform_.registry, Places(), product.code)) {
    // Its entry alone would leave the product half registered: the installer then neither
    // uninstalls nor installs it again.
    const int answer = platform_.ui.AskMessageBox(
        Naming(kRemoveQuestion, EntryNamed(entry)) + "\n\nIt is an installer product whose uninstall cannot run: " +
            entry.reason + " Removing its entry alone leaves the product registered with the installer, which then " +
            "neither uninstalls nor installs it again.\n\nYes: remove its whole installer registration (you see what "
            "goes first).\nNo: remove the entry alone.\nCancel: keep both.",
        kRemoveCaption, platform::kMbYesNoCancel | platform::kMbIconWarning | platform::kMbDefButton3);
    if (answer == platform::kIdYes) RemoveInstallerRegistration(product.code, ShownName(entry));
    if (answer != platform::kIdNo) return;
  } else if (platform_.ui.AskMessageBox(Naming(kRemoveQuestion, EntryNamed(entry)) + UninstallerExistsNote(entry),
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
    FillListBox();
    platform_.ui.ShowError(NotRemovedMessage(shownName, error.what()));
    return;
  }
  FillListBox();
  if (outcome.alreadyGone) {
    notice_ = ShownName(entry) + " was already gone: another program removed it. Nothing was written.";
    ShowNotice();
  } else if (outcome.Complete() && !outcome.undoFile.empty()) {
    notice_ = "Removed " + ShownName(entry) + ", backed up in " + outcome.undoFile + ".";
    noticeFile_ = outcome.undoFile;
    ShowNotice();
  }
  if (!outcome.Complete()) platform_.ui.ShowError(IncompleteRemovalMessage(shownName, outcome));
  platform_.ui.ProcessMessages();
}

void MainWindow::OnSaveChanges() {
  // The box holds the command of the entry it was filled from, which is the one selected entry.
  const std::vector<Entry> selected = SelectedEntries();
  if (selected.size() != 1 || boxEntry_ != IdOf(selected.front())) return;
  const Entry& entry = selected.front();
  const std::string command = commandBox.Text();
  if (command != entry.uninstallString) {
    // A command whose file the status check does not find is saved only when the user says so.
    // Another account's command names that account's folders.
    const std::string checked = entry.account ? entry.account->WithOwnFolders(command) : command;
    const StatusResult check = ScanChecker(platform_.files, platform_.system).CheckCommand(checked, entry.SixtyFourBit());
    if (check.status == kBrokenLink &&
        platform_.ui.AskMessageBox("The file that the new command names was not found:\n" + check.reason +
                                       "\n\nSave the command of " + ShownName(entry) + " in the " + SourceName(entry) +
                                       " list anyway?",
                                   "Save Changes?",
                                   platform::kMbYesNo | platform::kMbIconWarning | platform::kMbDefButton2) != platform::kIdYes)
      return;
  }
  std::string undoFile;
  const CommandChange change = ChangeUninstallString(undo_, platform_.registry, entry, Wow64, command, &undoFile);
  FillListBox();
  if (change == CommandChange::kChanged) NoteSaved(entry, undoFile);
  else if (change == CommandChange::kUnchanged) notice_ = "Nothing to save: " + ShownName(entry) + " holds that command.";
  ShowNotice();
  if (change == CommandChange::kNotKept) platform_.ui.ShowError(NotKeptMessage(entry));
}

void MainWindow::SaveCommand(Entry entry, const std::string& command) {
  std::string undoFile;
  const CommandChange change = ChangeUninstallString(undo_, platform_.registry, entry, Wow64, command, &undoFile);
  if (change == CommandChange::kNotKept) platform_.ui.ShowError(NotKeptMessage(entry));
  if (change != CommandChange::kChanged) return;
  // Without a scan, which would select anew: the entry and its row take the command and its status.
  for (std::size_t i = 0; i < Entries.size(); ++i) {
    if (IdOf(Entries[i]) != IdOf(entry)) continue;
    Entries[i].uninstallString = command;
    const StatusResult result = ScanChecker(platform_.files, platform_.system).Check(Entries[i]);
    ApplyStatus(Entries[i], result);
    const int row = i < rowOfEntry_.size() ? rowOfEntry_[i] : -1;
    if (row >= 0 && row < entryList.Count()) {
      entryList.Item(row).SubItems.at(1) = command;
      entryList.Item(row).SubItems.at(3) = StatusName(result.status);
      entryList.Item(row).Hint = result.reason;
      entryList.SetImageIndex(row, result.status);
    }
  }
  NoteSaved(entry, undoFile);
  ShowNotice();
}

void MainWindow::NoteSaved(const Entry& entry, const std::string& undoFile) {
  notice_ = "Saved the uninstall command of " + ShownName(entry) + ", the old one backed up in " + undoFile + ".";
  noticeFile_ = undoFile;
}

std::string MainWindow::NotKeptMessage(const Entry& entry) {
  return "Tidewell could not save the uninstall command of " + ShownName(entry) +
         ": the system did not keep it in the hive file of " + (entry.account ? entry.account->name : "its account") +
         ", which still holds the old command.";
}

std::string MainWindow::ShownName(const Entry& entry) {
  return "'" + (entry.displayName.empty() ? entry.keyName : entry.displayName) + "'";
}

void MainWindow::OnDeleteProduct() {
  const int index = installerProducts.ItemIndex();
  if (index < 0 || index >= installerProducts.Count()) {
    platform_.ui.ShowMessage(kSelectFirst);
    return;
  }
  const std::string line = installerProducts.Items()[index];
  if (line == kNoItems) {
    platform_.ui.ShowMessage(kNothingToRemove);
    return;
  }
  // The product the line stands for; a line without one (not made by the scan) names a machine
  // product by its key name, which follows the last separator: a product's name may hold the
  // separator too, its key name (32 hexadecimal digits) never does.
  Product product;
  const int data = installerProducts.ItemData(index);
  if (data >= 0 && data < static_cast<int>(Products.size())) {
    product = Products[static_cast<size_t>(data)];
  } else {
    const auto separator = line.rfind(kProductSeparator);
    product.keyName =
        separator == std::string::npos ? line : line.substr(separator + std::string(kProductSeparator).size());
    product.named = separator != std::string::npos;
    if (product.named) product.productName = line.substr(0, separator);
  }
  // An empty name would address the product list itself.
  if (product.keyName.empty()) return;
  // A product is removed with its whole registration: its key alone would leave it half registered.
  const std::string code = ProductCodeOfPacked(product.keyName);
  if (!code.empty()) {
    RemoveInstallerRegistration(code, product.named ? product.productName : product.keyName);
    return;
  }
  if (!ProductRegistered(platform_.registry, product)) {
    platform_.ui.ShowMessage("The installer product " + product.keyName + " is not registered any more.");
    FillListBox();
    return;
  }
  if (platform_.ui.AskMessageBox(Naming(kRemoveQuestion, ProductNamed(product)), kRemoveCaption,
                                 platform::kMbYesNo | platform::kMbDefButton2) != platform::kIdYes)
    return;
  const RemovalOutcome outcome = RemoveInstallerProduct(undo_, platform_.registry, product);
  FillListBox();
  if (outcome.Complete() && !outcome.undoFile.empty()) {
    notice_ = "Removed the installer product " + (product.named ? product.productName : product.keyName) +
              ", backed up in " + outcome.undoFile + ".";
    noticeFile_ = outcome.undoFile;
    ShowNotice();
  }
  if (!outcome.Complete())
    platform_.ui.ShowError(IncompleteRemovalMessage(product.named ? product.productName : product.keyName, outcome));
  platform_.ui.ProcessMessages();
}

std::string MainWindow::SelectedRegisteredProduct() const {
  const std::vector<Entry> selected = SelectedEntries();
  if (selected.size() != 1) return {};
  const ProductReference product = ProductOfEntry(selected.front());
  if (product.kind != ProductReference::Kind::kProduct) return {};
  return InstallerKnowsProduct(platform_.registry, Places(), product.code) ? product.code : std::string();
}

void MainWindow::RemoveInstallerRegistration(const std::string& productCode, const std::string& shownName) {
  const InstallerPlaces places = Places();
  const ProductRegistration registration = FindRegistration(platform_.registry, places, productCode);
  const std::string name = registration.name.empty() ? shownName : registration.name;
  if (registration.Empty()) {
    platform_.ui.ShowMessage("The installer knows nothing of " + name + " " + platform::UpperCaseText(productCode) +
                             " any more: there is nothing of it to remove.");
    FillListBox();
    return;
  }
  // A product that its own uninstall would remove is better removed that way.
  int state = 0;
  std::string package;
  if (platform_.system.QueryProductState(registration.code, &state) && state == platform::kInstallStateDefault &&
      platform_.system.ProductLocalPackage(registration.code, &package) && !package.empty() &&
      FileTest(platform_.files, package) &&
      platform_.ui.AskMessageBox(name + " can still be uninstalled: the installer keeps its package " + package +
                                     ", from which its own uninstall runs. Uninstall Program removes the program and "
                                     "its registration together.\n\nRemove only its registration anyway?",
                                 kRegistrationCaption,
                                 platform::kMbYesNo | platform::kMbIconWarning | platform::kMbDefButton2) != platform::kIdYes)
    return;
  std::string counted;
  for (const std::string& line : RegistrationSummary(registration)) counted += "\n    " + line;
  if (platform_.ui.AskMessageBox(
          "Remove the whole installer registration of this product?\n\n" + name + " " + registration.code + " (" +
              registration.Scope() + ")\n\nWhat goes:" + counted +
              "\n\nAll of it is written to the undo file first. Its cached package and its files stay where they "
              "are: this cleans the installer's registration, not the disk.",
          kRegistrationCaption, platform::kMbYesNo | platform::kMbIconWarning | platform::kMbDefButton2) != platform::kIdYes)
    return;
  RemovalOutcome outcome;
  try {
    outcome = RemoveRegistration(undo_, platform_.registry, places, registration.code);
  } catch (const std::exception& error) {
    FillListBox();
    platform_.ui.ShowError(NotRemovedMessage(name, error.what()));
    return;
  }
  FillListBox();
  if (outcome.alreadyGone) {
    notice_ = name + " was already gone: another program removed its registration. Nothing was written.";
    ShowNotice();
  } else if (outcome.Complete()) {
    notice_ = "Removed the installer registration of " + name + " (" + std::to_string(outcome.keysRemoved) + " keys, " +
              std::to_string(outcome.valuesRemoved) + " values), backed up in " + outcome.undoFile + ".";
    noticeFile_ = outcome.undoFile;
    ShowNotice();
  } else {
    platform_.ui.ShowError(IncompleteRemovalMessage(name, outcome));
  }
  platform_.ui.ProcessMessages();
}

void MainWindow::OnUninstall() {
  const std::vector<Entry> selected = SelectedEntries();
  if (selected.empty()) {
    platform_.ui.ShowMessage(kSelectFirst);
    return;
  }
  // One program at a time: the button is enabled for one selected entry only.
  if (selected.size() != 1) return;
  const Entry& entry = selected.front();
  if (platform_.ui.AskMessageBox(Naming(kUninstallQuestion, EntryNamed(entry)) + "\n\nIt runs:\n" + entry.uninstallString,
                                 kUninstallCaption,
                                 platform::kMbYesNo | platform::kMbIconError | platform::kMbDefButton2) != platform::kIdYes)
    return;
  std::string failure;
  std::uint32_t exitCode = 0;
  if (!Exec(platform_, entry.uninstallString, platform::kSwShow, entry.SixtyFourBit(), &failure, &exitCode)) {
    platform_.ui.ShowMessage("Unable to Uninstall\n" + failure);
    FillListBox();
    return;
  }
  // The list read again says what the uninstaller did to the entry.
  const EntryId id = IdOf(entry);
  FillListBox();
  const bool listed = EntryOfId(id) != nullptr;
  notice_ = "The uninstaller of " + ShownName(entry) + " ended with exit code " + std::to_string(exitCode) +
            (listed ? ". The entry is still listed (an uninstaller that goes on in another program may remove it "
                      "later: Refresh List)."
                    : ". Its entry is gone from the list.");
  ShowNotice();
}

void MainWindow::OnHelpLink() {
  const std::string failure = OpenWebLink(platform_.ui, HelpPageAddress(exeFolder_));
  if (!failure.empty()) platform_.ui.ShowMessage(failure);
}

void MainWindow::OnPaste() { finderPath.SetText(finderCommand.SelText()); }

void MainWindow::OnFind() {
  if (finderPath.Text().find_first_not_of(" \t\"") == std::string::npos) {
    // No path: no answer, which the panel would show as if about a file.
    EditChange();
    platform_.ui.ShowMessage("Type or paste the path of a file or folder into the box, then press Find.");
    return;
  }
  // A command pasted from the entry in the box is looked for as the status check looks for that
  // entry's files.
  const Entry* boxEntry = boxEntry_ ? EntryOfId(*boxEntry_) : nullptr;
  const AddressAnswer answer = FindAddress(platform_.files, platform_.system, WinDir, SysDir, finderPath.Text(),
                                           boxEntry && boxEntry->SixtyFourBit());
  lookedForLabel.SetCaption(answer.path == finderPath.Text() ? "" : "Looked for " + answer.path);
  if (answer.exists) {
    findResult.SetCaption("Exists");
    findResult.SetColors(clLime, clBlack);
    platform_.ui.SoundBeep(platform::kMbOk);
  } else {
    findResult.SetCaption("NonExistent");
    findResult.SetColors(clRed, clWhite);
    platform_.ui.SoundBeep(platform::kMbIconHand);
  }
}

void MainWindow::EditChange() {
  findResult.SetCaption("Result");
  findResult.SetColors(clBtnFace, clWindowText);
  lookedForLabel.SetCaption("");
}

std::string MainWindow::SelectedBackupFile() const {
  const int data = backupFiles.ItemData(backupFiles.ItemIndex());
  return data >= 0 && data < static_cast<int>(backupFilePaths_.size()) ? backupFilePaths_[static_cast<size_t>(data)] : "";
}

void MainWindow::OnRestore() {
  const std::string file = SelectedBackupFile();
  if (file.empty()) return;
  if (IsRegistryTextFile(file)) {
    RestoreUndoFile(file);
    return;
  }
  const std::string message = RestoreBackup(platform_, undo_, exeFolder_, file, Wow64);
  if (!message.empty()) platform_.ui.ShowMessage(message);
  FillListBox();
}

void MainWindow::OnDeleteFile() {
  const std::string file = SelectedBackupFile();
  if (file.empty()) return;
  if (platform_.ui.AskMessageBox(Naming(kDeleteFileQuestion, file), kDeleteFileCaption,
                                 platform::kMbYesNo | platform::kMbIconWarning | platform::kMbDefButton2) !=
      platform::kIdYes)
    return;
  const std::string failure = DeleteBackupFile(platform_.files, file);
  if (!failure.empty()) platform_.ui.ShowMessage(failure);
  RefillBackupList();
  EnableBackupButtons();
}
