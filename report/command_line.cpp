#include "report/command_line.h"

#include <exception>

#include "backup/entry_commands.h"
#include "backup/undo_file.h"
#include "inventory/inventory.h"
#include "inventory/status.h"
#include "platform/text_encoding.h"
#include "report/entry_report.h"

namespace {

using Mode = CommandLine::Mode;

constexpr const char* kUsage =
    "Tidewell: the list of installed programs, checked.\n"
    "\n"
    "Tidewell.exe                         the window\n"
    "Tidewell.exe /list                   every uninstall entry, tab-separated, with a header line:\n"
    "                                     source, key, display name, status, reason, command\n"
    "Tidewell.exe /list /json             the same as one JSON array\n"
    "Tidewell.exe /remove SOURCE\\KEY ...  removes the named entries as Remove Entry does, each\n"
    "                                     written to the day's undo file first; SOURCE is 64-bit,\n"
    "                                     32-bit or user (a KEY alone: the one source that has it)\n"
    "Tidewell.exe /remove-broken          lists the Broken Link entries that /yes would remove\n"
    "Tidewell.exe /remove-broken /yes     removes every Broken Link entry\n"
    "Tidewell.exe /?                      this text\n"
    "\n"
    "Exit code: 0 done, 1 a removal that did not take or an error, 2 a command line it does not take.\n";

bool IsSwitch(const std::string& argument) {
  return argument.size() > 1 && (argument[0] == '/' || argument[0] == '-');
}

std::string Lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

// Sets the mode once; a second mode is an error.
void SetMode(CommandLine* line, Mode mode, const std::string& argument, bool* modeGiven) {
  if (*modeGiven && line->error.empty()) line->error = argument + " cannot go with another of /list, /remove, /remove-broken";
  *modeGiven = true;
  line->mode = mode;
}

// The rules between the switches, once all are read.
std::string CheckCombination(const CommandLine& line, bool modeGiven) {
  if (!modeGiven) return "no command: give /list, /remove, /remove-broken or /?";
  if (line.json && line.mode != Mode::kList) return "/json goes only with /list";
  if (line.yes && line.mode != Mode::kRemoveBroken) return "/yes goes only with /remove-broken";
  if (line.mode == Mode::kRemove && line.targets.empty()) return "/remove needs the entries to remove: SOURCE\\KEY ...";
  if (line.mode != Mode::kRemove && !line.targets.empty()) return "unexpected argument " + line.targets.front();
  return {};
}

bool SameKeyName(const std::string& a, const std::string& b) {
  return platform::UpperCaseText(a) == platform::UpperCaseText(b);
}

int ListEntries(const CommandLine& line, const platform::Platform& platform, platform::Console& console) {
  Inventory inventory = ReadInventory(platform.registry, platform.system.IsWow64());
  CheckEntries(platform.files, platform.system, &inventory.entries);
  const std::string report = line.json ? JsonReport(inventory.entries) : TabSeparatedReport(inventory.entries);
  return console.WriteOut(report) ? kExitSuccess : kExitFailure;
}

// The removals of one command line: the day's undo file beside the executable, as the window's.
struct Removal {
  explicit Removal(const platform::Platform& platform)
      : registry(platform.registry),
        wow64(platform.system.IsWow64()),
        undo(platform.files, platform.system, BackupFolderOf(platform.system.ExecutablePath()),
             UndoStemOf(platform.system.Today()), UserBackupFolder(platform.files)) {}
  RemovalOutcome operator()(const Entry& entry) { return RemoveEntryKey(undo, registry, entry, wow64); }

  platform::RegistryApi& registry;
  bool wow64;
  UndoFile undo;
};

// One line for a removal that took or did not.
std::string RemovalLine(const Entry& entry, Removal& remove, bool* removed) {
  *removed = false;
  try {
    const RemovalOutcome outcome = remove(entry);
    if (!outcome.Complete()) return "not removed " + OneLine(EntryName(entry)) + ": " +
                                   OneLine(IncompleteRemovalMessage(entry.keyName, outcome));
    *removed = true;
    // Removed whole; only the undo file could not be finished.
    if (!outcome.undoProblem.empty())
      return "removed " + OneLine(EntryName(entry)) + ": " + OneLine(UndoProblemMessage(entry.keyName, outcome));
  } catch (const std::exception& error) {
    return "not removed " + OneLine(EntryName(entry)) + ": " + OneLine(error.what());
  }
  *removed = true;
  return "removed " + OneLine(EntryName(entry));
}

int RemoveNamed(const CommandLine& line, const platform::Platform& platform, platform::Console& console) {
  Removal remove(platform);
  const Inventory inventory = ReadInventory(platform.registry, platform.system.IsWow64());
  bool all = true;
  for (const std::string& target : line.targets) {
    std::string error;
    const Entry* entry = FindEntry(inventory.entries, target, &error);
    bool removed = false;
    const std::string text = entry ? RemovalLine(*entry, remove, &removed) : "not removed " + OneLine(target) + ": " + error;
    all = all && removed;
    console.WriteOut(text + "\n");
  }
  return all ? kExitSuccess : kExitFailure;
}

int RemoveBroken(const CommandLine& line, const platform::Platform& platform, platform::Console& console) {
  Removal remove(platform);
  Inventory inventory = ReadInventory(platform.registry, platform.system.IsWow64());
  CheckEntries(platform.files, platform.system, &inventory.entries);
  bool all = true;
  int broken = 0;
  for (const Entry& entry : inventory.entries) {
    if (entry.status != kBrokenLink) continue;
    ++broken;
    if (!line.yes) {
      console.WriteOut("would remove " + OneLine(EntryName(entry)) + ": " + OneLine(entry.reason) + "\n");
      continue;
    }
    bool removed = false;
    console.WriteOut(RemovalLine(entry, remove, &removed) + "\n");
    all = all && removed;
  }
  if (broken == 0) console.WriteOut("no Broken Link entries\n");
  else if (!line.yes) console.WriteOut(std::to_string(broken) + (broken == 1 ? " entry" : " entries") +
                                       " would be removed: add /yes to remove " + (broken == 1 ? "it" : "them") + "\n");
  return all ? kExitSuccess : kExitFailure;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  CommandLine line;
  bool modeGiven = false;
  bool usage = false;
  for (const std::string& argument : arguments) {
    if (!IsSwitch(argument)) {
      line.targets.push_back(argument);
      continue;
    }
    const std::string name = Lower(argument.substr(1));
    if (name == "?" || name == "help") usage = true;
    else if (name == "list") SetMode(&line, Mode::kList, argument, &modeGiven);
    else if (name == "remove") SetMode(&line, Mode::kRemove, argument, &modeGiven);
    else if (name == "remove-broken") SetMode(&line, Mode::kRemoveBroken, argument, &modeGiven);
    else if (name == "json") line.json = true;
    else if (name == "yes") line.yes = true;
    else if (line.error.empty()) line.error = "unknown switch " + argument;
  }
  // /? answers whatever else is given.
  if (usage) return CommandLine{};
  if (line.error.empty()) line.error = CheckCombination(line, modeGiven);
  return line;
}

std::string Usage() { return kUsage; }

const Entry* FindEntry(const std::vector<Entry>& entries, const std::string& target, std::string* error) {
  const size_t slash = target.find('\\');
  std::string key = target;
  bool anySource = true;
  Source source = Source::kMachine32;
  if (slash != std::string::npos) {
    const std::string name = Lower(target.substr(0, slash));
    key = target.substr(slash + 1);
    anySource = false;
    if (name == "64-bit") source = Source::kMachine64;
    else if (name == "32-bit") source = Source::kMachine32;
    else if (name == "user") source = Source::kUser;
    else {
      *error = "unknown source \"" + target.substr(0, slash) + "\": 64-bit, 32-bit or user";
      return nullptr;
    }
  }
  std::vector<const Entry*> found;
  for (const Entry& entry : entries)
    if (SameKeyName(entry.keyName, key) && (anySource || entry.source == source)) found.push_back(&entry);
  if (found.size() == 1) return found.front();
  if (found.empty()) {
    *error = "no such entry";
    return nullptr;
  }
  std::string sources;
  for (const Entry* entry : found) sources += (sources.empty() ? "" : ", ") + std::string(SourceName(entry->source));
  *error = "more than one list has it (" + sources + "): name it as SOURCE\\KEY";
  return nullptr;
}

int RunCommandLine(const std::vector<std::string>& arguments, const platform::Platform& platform,
                   platform::Console& console) {
  const CommandLine line = ParseCommandLine(arguments);
  if (!line.error.empty()) {
    console.WriteError("Tidewell: " + OneLine(line.error) + " (Tidewell.exe /? tells the switches)\n");
    return kExitBadSwitch;
  }
  try {
    switch (line.mode) {
      case Mode::kUsage: return console.WriteOut(Usage()) ? kExitSuccess : kExitFailure;
      case Mode::kList: return ListEntries(line, platform, console);
      case Mode::kRemove: return RemoveNamed(line, platform, console);
      case Mode::kRemoveBroken: return RemoveBroken(line, platform, console);
    }
  } catch (const std::exception& error) {
    console.WriteError("Tidewell: " + OneLine(error.what()) + "\n");
  }
  return kExitFailure;
}
