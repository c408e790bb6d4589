#pragma once
// The command line of both programs, Tidewell.exe and the console program Tidewell.com: the report
// of every entry, the check and the removals, without a window.
#include <string>
#include <vector>

#include "backup/removal_outcome.h"
#include "inventory/entry.h"
#include "platform/console.h"
#include "platform/platform.h"

inline constexpr int kExitSuccess = 0;
// A removal that did not take, or an error that stopped the command.
inline constexpr int kExitFailure = 1;
// /check: there is a Broken Link entry.
inline constexpr int kExitBrokenFound = 1;
inline constexpr int kExitBadSwitch = 2;
// A removal that the registry refused for lack of rights; nothing after it was removed.
inline constexpr int kExitNeedsElevation = 3;
// /check could not read the entries or write what it found.
inline constexpr int kExitCheckFailed = 4;
// A removal deleted part of an entry and left the rest, which its line names.
inline constexpr int kExitPartlyRemoved = 5;

struct CommandLine {
  enum class Mode { kUsage, kList, kCheck, kRemove, kRemoveBroken, kRemoveProduct, kRestore };
  Mode mode = Mode::kUsage;
  bool json = false;
  bool yes = false;
  // The entries that /remove or /restore names, the product codes that /remove-product names, as given.
  std::vector<std::string> targets;
  // /restore: the undo file, and what of it: its blocks listed (/list), every block (/all), the blocks
  // of the entries named (targets), the blocks that begin at these lines (/line N).
  std::string undoFile;
  bool list = false;
  bool all = false;
  std::vector<int> lines;
  // The file that /out names, which takes the output in place of the standard output; empty without.
  std::string outFile;
  // /user current: only the current user's own list of the per-user ones, not every account's.
  bool currentUserOnly = false;
  // Not empty when the command line is not one the program takes: the one line that says why.
  std::string error;
};

// Reads the arguments (without the program's own name). Switches begin with "/" or "-", in any
// letter case: /list [/json], /check, /remove SOURCE\KEY..., /remove-broken [/yes], /remove-product
// {CODE}..., /restore FILE
// /list [/json], /restore FILE SOURCE\KEY... [/line N...], /restore FILE /all, /?; any of them with
// /out FILE and /user current.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);
// The text that /? prints, with the version.
std::string Usage();

// An entry of "SOURCE\KEY" (SOURCE is 64-bit, 32-bit or user, in any letter case) or of a plain
// KEY, which must name an entry of exactly one source; the key name's letter case does not count.
// Null with *error set when there is no such entry or more than one.
const Entry* FindEntry(const std::vector<Entry>& entries, const std::string& target, std::string* error);

// Runs the command line on the platform's registry, writing to the console (or the /out file);
// answers the exit code. Removals go as Remove Entry's do once the user has said Yes: each entry to
// the day's undo file beside the executable first, under the same lock. A removal that the registry
// refuses for lack of rights is the last: it says so, with what was removed before it.
int RunCommandLine(const std::vector<std::string>& arguments, const platform::Platform& platform,
                   platform::Console& console);

// The console program: with arguments, RunCommandLine; without, starts the window, Tidewell.exe
// beside the executable, through the shell (which asks for the rights that program asks for) and
// ends at once.
int RunConsoleProgram(const std::vector<std::string>& arguments, const platform::Platform& platform,
                      platform::Console& console);
