#include "restore/backups_page.h"

#include <cctype>
#include <optional>
#include <string>

#include "inventory/entry.h"
#include "inventory/file_tests.h"
#include "launch/exec.h"
#include "launch/open_in_shell.h"
#include "launch/shell_errors.h"
#include "restore/hive_restore.h"
#include "restore/short_name.h"
#include "platform/handles.h"
#include "platform/redirection.h"

namespace {

constexpr const char* kSettingsFile = "Tidewell.ini";
// Read in its place when it is not there, so that settings kept under this name still count.
constexpr const char* kOtherSettingsFile = "kestrel.ini";
// The settings file names the entry a hive backup restores: under [Backups] the machine's entry
// (in the 32-bit view on 64-bit Windows, the only one on 32-bit Windows), under [Backups 64-bit]
// the 64-bit view's, under [Backups user] the user's own.
constexpr const char* kBackupsSection = "Backups";
constexpr const char* kBackups64Section = "Backups 64-bit";
constexpr const char* kBackupsUserSection = "Backups user";
constexpr const char* kRegistryEditor = "regedit.exe";
constexpr int kShowNormal = 5;  // SW_SHOW
// ShellExecuteW answers a number above 32 when it started something.
constexpr int kShellStarted = 32;

// The shell's words for an answer that started nothing, or its number.
std::string ShellFailure(int answer) {
  const std::string text = ShellErrorText(answer);
  return text.empty() ? "error " + std::to_string(answer) : text;
}

// The shell merges a registry text file with the registry editor. Where it knows no program for
// the extension, the editor is asked for directly, through the shell as well: on systems that ask
// before a program runs with full rights, only the shell can start it. The editor is named by its
// full path in the Windows folder, so that no program of that name in the current folder is run.
std::string OpenRegistryTextFile(platform::Ui& ui, const std::string& windowsFolder, const std::string& file) {
  if (ui.ShellOpen(file, "", kShowNormal) > kShellStarted) return {};
  const int answer = ui.ShellOpen(windowsFolder + kRegistryEditor, "\"" + file + "\"", kShowNormal);
  if (answer > kShellStarted) return {};
  return "The backup could not be opened: " + ShellFailure(answer);
}

std::string WithBackslash(const std::string& folder) {
  return folder.empty() || folder.back() == '\\' ? folder : folder + "\\";
}

}  // namespace

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

std::vector<std::string> BackupFileNames(platform::FileSystem& files, const std::string& folder) {
  std::vector<std::string> names;
  platform::FindData found;
  platform::UniqueFind find(files, files.FindFirst(folder + "\\*.*", &found));
  if (find) {
    do {
      if (found.name != "." && found.name != "..") names.push_back(found.name);
    } while (files.FindNext(find.get(), &found));
  }
  return names;
}

std::string RestoreBackup(const platform::Platform& platform, UndoFile& undo, const std::string& exeFolder,
                          const std::string& file, bool wow64) {
  const std::string name = file.substr(file.find_last_of('\\') + 1);
  if (IsRegistryTextFile(name)) {
    if (!IsFile(platform.files, file)) return {};
    // The registry editor merges the file, and the restore ends when it has, so that the list read
    // afterwards shows what came back. On 64-bit Windows it is the 64-bit editor, which alone puts
    // the 64-bit programs' keys back where they were.
    const std::string editor = WithBackslash(platform.system.SystemWindowsDirectory()) + kRegistryEditor;
    if (Exec(platform, "\"" + editor + "\" \"" + file + "\"", kShowNormal, wow64)) return {};
    // Not started: it asks for rights this program has not, which only the shell can ask for; the
    // shell does not wait.
    if (wow64) {
      const int answer = StartRegistryEditor(platform, true, "\"" + file + "\"");
      return answer > kShellStarted ? std::string() : "The backup could not be opened: " + ShellFailure(answer);
    }
    return OpenRegistryTextFile(platform.ui, WithBackslash(platform.system.SystemWindowsDirectory()), file);
  }
  std::string settings = exeFolder + kSettingsFile;
  if (!IsFile(platform.files, settings) && IsFile(platform.files, exeFolder + kOtherSettingsFile))
    settings = exeFolder + kOtherSettingsFile;
  Source source = Source::kMachine32;
  std::string keyName;
  for (const auto& [section, named] : {std::pair{kBackups64Section, Source::kMachine64},
                                       std::pair{kBackupsUserSection, Source::kUser}}) {
    keyName = platform.files.ReadProfileString(section, name, "", settings);
    if (!keyName.empty()) {
      source = wow64 || named == Source::kUser ? named : Source::kMachine32;
      break;
    }
  }
  if (keyName.empty()) keyName = platform.files.ReadProfileString(kBackupsSection, name, name, settings);
  // An empty setting would name the Uninstall key itself, and the restore would replace every
  // entry with the one in the file.
  if (keyName.find_first_not_of('\\') == std::string::npos) keyName = name;
  // A file that is gone has no short name of its own, and the one built for it may be the
  // short name of another backup: that one must not be restored in its place.
  if (!IsFile(platform.files, file)) return std::string(kKeyNotRestored) + "\nThe file " + file + " is not there.";
  std::string problem;
  if (SaveHive(platform, undo, kUninstallKey + keyName, ShortFileName(platform.files, file), false, PlaceOf(source, wow64),
               &problem))
    return kKeyRestored;
  // The program's words first, then what went wrong.
  if (!problem.empty()) problem[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(problem[0])));
  return std::string(kKeyNotRestored) + (problem.empty() ? "" : "\n" + problem + ".");
}

std::string DeleteBackupFile(platform::FileSystem& files, const std::string& file) {
  if (!IsFile(files, file)) return "File does not Exist.";
  // Cleared first, so that a read-only, hidden or system file can be deleted too; given back when
  // the file stays.
  const std::uint32_t attributes = files.Attributes(file);
  files.SetAttributes(file, 0);
  if (files.RemoveFile(file) || !IsFile(files, file)) return {};
  files.SetAttributes(file, attributes);
  return "Tidewell could not delete " + file +
         ": another program may have it open, or this user may not delete it. The file is still there.";
}
