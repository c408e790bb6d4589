#pragma once
// Tidewell.exe's command line: the report of every entry and the removals, without a window.
#include <string>
#include <vector>

#include "backup/removal_outcome.h"
#include "inventory/entry.h"
#include "platform/console.h"
#include "platform/platform.h"

inline constexpr int kExitSuccess = 0;
// A removal that did not take, or an error that stopped the command.
inline constexpr int kExitFailure = 1;
inline constexpr int kExitBadSwitch = 2;

struct CommandLine {
  enum class Mode { kUsage, kList, kRemove, kRemoveBroken };
  Mode mode = Mode::kUsage;
  bool json = false;
  bool yes = false;
  // The entries that /remove names, as given.
  std::vector<std::string> targets;
  // Not empty when the command line is not one the program takes: the one line that says why.
  std::string error;
};

// Reads the arguments (without the program's own name). Switches begin with "/" or "-", in any
// letter case: /list [/json], /remove SOURCE\KEY..., /remove-broken [/yes], /?.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);
// The text that /? prints.
std::string Usage();

// An entry of "SOURCE\KEY" (SOURCE is 64-bit, 32-bit or user, in any letter case) or of a plain
// KEY, which must name an entry of exactly one source; the key name's letter case does not count.
// Null with *error set when there is no such entry or more than one.
const Entry* FindEntry(const std::vector<Entry>& entries, const std::string& target, std::string* error);

// Runs the command line on the platform's registry, writing to the console; answers the exit code.
// Removals go as Remove Entry's do once the user has said Yes: each entry to the day's undo file
// beside the executable first, under the same lock.
int RunCommandLine(const std::vector<std::string>& arguments, const platform::Platform& platform,
                   platform::Console& console);
