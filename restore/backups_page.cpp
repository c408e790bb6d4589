// The Backups page: restoring and deleting the files of the folder Backup.
#include <optional>
#include <string>

#include "app/form1.h"
#include "platform/handles.h"
#include "platform/redirection.h"

namespace {

constexpr const char* kSettingsFile = "kestrel.ini";
// The settings file names the entry a hive backup restores: under [Backups] the machine's entry
// (in the 32-bit view on 64-bit Windows, the only one on 32-bit Windows), under [Backups 64-bit]
// the 64-bit view's, under [Backups user] the user's own.
constexpr const char* kBackupsSection = "Backups";
constexpr const char* kBackups64Section = "Backups 64-bit";
constexpr const char* kBackupsUserSection = "Backups user";
constexpr const char* kRegistryEditor = "regedit.exe";
constexpr int kShowNormal = 5;  // SW_SHOW
// ShellExecuteA answers a number above 32 when it started something.
constexpr int kShellStarted = 32;

bool IsFile(platform::FileSystem& files, const std::string& path) {
  platform::FindData found;
  platform::UniqueFind find(files, files.FindFirst(path, &found));
  return find && !(found.attributes & platform::kFileAttributeDirectory);
}

// The text from the name's last dot to its end, compared without regard to letter case.
bool IsRegistryTextFile(const std::string& name) {
  const size_t dot = name.find_last_of('.');
  if (dot == std::string::npos) return false;
  const std::string extension = name.substr(dot);
  if (extension.size() != 4) return false;
  const char* reg = ".reg";
  for (size_t i = 0; i < 4; ++i) {
    char c = extension[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != reg[i]) return false;
  }
  return true;
}

// What ShellExecuteA's small answers mean, in the words of its documentation.
std::string ShellErrorText(int code) {
  switch (code) {
    case 0: return "The operating system is out of memory or resources.";
    case 2: return "The specified file was not found.";
    case 3: return "The specified path was not found.";
    case 5: return "The operating system denied access to the specified file.";
    case 8: return "There was not enough memory to complete the operation.";
    case 11: return "The .exe file is invalid (non-Win32 .exe or error in .exe image).";
    case 26: return "A sharing violation occurred.";
    case 27: return "The file name association is incomplete or invalid.";
    case 28: return "The DDE transaction could not be completed because the request timed out.";
    case 29: return "The DDE transaction failed.";
    case 30: return "The DDE transaction could not be completed because other DDE transactions were being processed.";
    case 31: return "There is no application associated with the given file name extension.";
    case 32: return "The specified DLL was not found.";
    default: return "error " + std::to_string(code);
  }
}

// The shell merges a registry text file with the registry editor. Where it knows no program for
// the extension, the editor is asked for directly, through the shell as well: on systems that ask
// before a program runs with full rights, only the shell can start it. The editor is named by its
// full path in the Windows folder, so that no program of that name in the current folder is run.
void OpenRegistryTextFile(platform::Ui& ui, const std::string& windowsFolder, const std::string& file) {
  if (ui.ShellOpen(file, "", kShowNormal) > kShellStarted) return;
  const int answer = ui.ShellOpen(windowsFolder + kRegistryEditor, "\"" + file + "\"", kShowNormal);
  if (answer > kShellStarted) return;
  ui.ShowMessage("The backup could not be opened: " + ShellErrorText(answer));
}

}  // namespace

void TForm1::Button6Click() {
  const int index = ListBox1.ItemIndex();
  if (index < 0 || index >= ListBox1.Count()) return;
  const std::string name = ListBox1.Items()[index];
  const std::string file = exeFolder_ + "Backup\\" + name;

  if (IsRegistryTextFile(name)) {
    if (IsFile(platform_.files, file)) {
      // The 64-bit registry editor on 64-bit Windows: only it reaches the 64-bit programs' keys
      // (Windows starts it for the Windows folder's regedit.exe anyway, Wine only while the
      // redirection is off).
      std::optional<platform::RedirectionOff> off;
      if (Wow64) off.emplace(platform_.system);
      OpenRegistryTextFile(platform_.ui, CheckPath(platform_.system.SystemWindowsDirectory()), file);
    }
  } else {
    const std::string settings = exeFolder_ + kSettingsFile;
    Source source = Source::kMachine32;
    std::string keyName;
    for (const auto& [section, named] : {std::pair{kBackups64Section, Source::kMachine64},
                                         std::pair{kBackupsUserSection, Source::kUser}}) {
      keyName = platform_.files.ReadProfileString(section, name, "", settings);
      if (!keyName.empty()) {
        source = Wow64 || named == Source::kUser ? named : Source::kMachine32;
        break;
      }
    }
    if (keyName.empty()) keyName = platform_.files.ReadProfileString(kBackupsSection, name, name, settings);
    // An empty setting would name the Uninstall key itself, and the restore would replace every
    // entry with the one in the file.
    if (keyName.find_first_not_of('\\') == std::string::npos) keyName = name;
    // A file that is gone has no short name of its own, and the one built for it may be the
    // short name of another backup: that one must not be restored in its place.
    const bool restored = IsFile(platform_.files, file) &&
                          SaveHive(kUninstallKey + keyName, ShortFileName(file), false, PlaceOf(source, Wow64));
    platform_.ui.ShowMessage(restored ? "Key Restored" : "Key could not be Restored");
  }
  FillListBox();
}

void TForm1::Button7Click() {
  const int index = ListBox1.ItemIndex();
  if (index < 0 || index >= ListBox1.Count()) return;
  const std::string file = exeFolder_ + "Backup\\" + ListBox1.Items()[index];
  if (IsFile(platform_.files, file)) {
    // Cleared first, so that a read-only, hidden or system file can be deleted too.
    platform_.files.SetAttributes(file, 0);
    platform_.files.RemoveFile(file);
  } else {
    platform_.ui.ShowMessage("File does not Exist.");
  }
  RefillBackupList();
  ListBox1Click();
  ListBox1Click();
}
