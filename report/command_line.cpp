#include "report/command_line.h"

#include <algorithm>

#include <exception>
#include <utility>

#include "backup/entry_commands.h"
#include "backup/product_registration.h"
#include "backup/undo_file.h"
#include "inventory/entry_order.h"
#include "inventory/inventory.h"
#include "inventory/product_code.h"
#include "inventory/status.h"
#include "launch/shell_errors.h"
#include "platform/handles.h"
#include "platform/text_encoding.h"
#include "platform/win_codes.h"
#include "report/entry_report.h"
#include "report/restore_command.h"
#include "tidewell_version.h"

namespace {

using Mode = CommandLine::Mode;

constexpr const char* kUsageHead =
    "Tidewell: the list of installed programs, checked (version " TIDEWELL_VERSION ").\n";
constexpr const char* kUsage =
    "\n"
    "Tidewell.com is for consoles and scripts: a prompt runs it for \"tidewell\". Tidewell.exe is the\n"
    "window; given any of these switches, it does the same without a window.\n"
    "\n"
    "tidewell                           the window\n"
    "tidewell /list                     every uninstall entry, tab-separated, with a header line:\n"
    "                                   source, key, display name, status, reason, command\n"
    "tidewell /list /json               the same as one JSON array\n"
    "tidewell /check                    the Broken Link entries (exit code 1 when there is one)\n"
    "tidewell /remove SOURCE\\KEY ...    removes the named entries as Remove Entry does, each\n"
    "                                   written to the day's undo file first; SOURCE is 64-bit,\n"
    "                                   32-bit, user or user:NAME (another account's list; a KEY\n"
    "                                   alone: the one source that has it)\n"
    "tidewell /remove-broken            lists the Broken Link entries that /yes would remove\n"
    "tidewell /remove-broken /yes       removes every Broken Link entry\n"
    "tidewell /remove-product {CODE} ...\n"
    "                                   removes the whole registration of the installer's product\n"
    "                                   with that product code, the machine's and the user's own,\n"
    "                                   for a product that cannot be uninstalled (its cached package\n"
    "                                   is gone: msiexec fails with 1612), all of it written to the\n"
    "                                   day's undo file first; its package and files stay\n"
    "tidewell /restore FILE /list       the blocks of an undo file, one per command, each with the\n"
    "                                   state of its entry now: absent, present, present but\n"
    "                                   different or unreadable (/json: as one JSON object)\n"
    "tidewell /restore FILE KEY ...     puts back the blocks of the named entries, named as /remove\n"
    "                                   names them; /line N: the block that begins at line N\n"
    "                                   (with names: the one of theirs that begins there).\n"
    "                                   Whatever they overwrite goes to the day's undo file first\n"
    "tidewell /restore FILE /all        puts back every block of the file\n"
    "tidewell /?                        this text\n"
    "/out FILE                          with any of them: the output goes to FILE, not the console\n"
    "/user current                      with any of them: of the per-user lists, the current user's\n"
    "                                   only. Without it, every account's list that can be read is\n"
    "                                   included as user:NAME: an account that is not logged on has\n"
    "                                   its hive loaded while the command runs, which takes an\n"
    "                                   administrator's rights; one that cannot be read is named on\n"
    "                                   the error stream, with why, and the command goes on\n"

    "\n"
    "FILE is a path, or the name of a file in the folder Backup beside the program.\n"
    "Output: to a console as its characters; to a file, a pipe or /out's FILE as UTF-8. /json is\n"
    "ASCII, every other character as its \\u escape, which any code page reads the same.\n"
    "Exit code: 0 done (/check: nothing to fix); 1 a removal or restore that did not take, an error,\n"
    "or /check found a Broken Link entry; 2 a command line it does not take; 3 a removal or restore\n"
    "refused for lack of rights (run it from an elevated prompt; nothing after it is done); 4 /check\n"
    "could not check; 5 an entry partly removed (what remains is named; the rest is in the undo file).\n";

bool IsSwitch(const std::string& argument) {
  return argument.size() > 1 && (argument[0] == '/' || argument[0] == '-');
}

// Sets the mode once; a second mode is an error.
void SetMode(CommandLine* line, Mode mode, const std::string& argument, bool* modeGiven) {
  if (*modeGiven && line->error.empty())
    line->error = argument + " cannot go with another of /list, /check, /remove, /remove-broken, /restore";
  *modeGiven = true;
  line->mode = mode;
}

// The file name after /out, whatever it begins with; once.
void SetOutFile(CommandLine* line, const std::string& argument, const std::string* file) {
  if (!line->error.empty()) return;
  if (!file || file->empty()) line->error = argument + " needs the file to write: " + argument + " FILE";
  else if (!line->outFile.empty()) line->error = argument + " is given twice";
  else line->outFile = *file;
}

// The account after /user: only "current" is taken.
void SetUser(CommandLine* line, const std::string& argument, const std::string* who) {
  if (!line->error.empty()) return;
  if (!who || platform::LowerCaseAscii(*who) != "current")
    line->error = argument + " takes only current: " + argument + " current";
  else line->currentUserOnly = true;
}

// The number after /line: a line of the file, from 1.
void AddLine(CommandLine* line, const std::string& argument, const std::string* number) {
  if (!line->error.empty()) return;
  const bool digits = number && !number->empty() && number->size() < 10 &&
                      number->find_first_not_of("0123456789") == std::string::npos;
  if (!digits || std::stoi(*number) == 0) line->error = argument + " needs the number of a block's first line: " + argument + " N";
  else line->lines.push_back(std::stoi(*number));
}

// /restore's file is the first argument that is no switch; then exactly one of /list, /all and the
// blocks named.
std::string CheckRestore(CommandLine& line) {
  if (line.targets.empty()) return "/restore needs the undo file: /restore FILE /list, /restore FILE KEY..., /restore FILE /all";
  line.undoFile = line.targets.front();
  line.targets.erase(line.targets.begin());
  const bool named = !line.targets.empty() || !line.lines.empty();
  const int choices = (line.list ? 1 : 0) + (line.all ? 1 : 0) + (named ? 1 : 0);
  if (choices == 0) return "/restore " + line.undoFile + " needs /list, /all or the entries to restore";
  if (choices > 1) return "/restore takes one of /list, /all or the entries to restore";
  return {};
}

// The rules between the switches, once all are read.
std::string CheckCombination(CommandLine& line, bool modeGiven) {
  if (!modeGiven) return "no command: give /list, /check, /remove, /remove-broken, /remove-product, /restore or /?";
  if (line.mode == Mode::kRestore) {
    const std::string problem = CheckRestore(line);
    if (!problem.empty()) return problem;
    if (line.json && !line.list) return "/json goes only with /list";
    if (line.yes) return "/yes goes only with /remove-broken";
    return {};
  }
  if (line.all) return "/all goes only with /restore";
  if (!line.lines.empty()) return "/line goes only with /restore";
  if (line.json && line.mode != Mode::kList) return "/json goes only with /list";
  if (line.yes && line.mode != Mode::kRemoveBroken) return "/yes goes only with /remove-broken";
  if (line.mode == Mode::kRemove && line.targets.empty()) return "/remove needs the entries to remove: SOURCE\\KEY ...";
  if (line.mode == Mode::kRemoveProduct && line.targets.empty())
    return "/remove-product needs the product codes of the products to remove: {CODE} ...";
  if (line.mode != Mode::kRemove && line.mode != Mode::kRemoveProduct && !line.targets.empty())
    return "unexpected argument " + line.targets.front();
  return {};
}

bool SameKeyName(const std::string& a, const std::string& b) {
  return platform::UpperCaseText(a) == platform::UpperCaseText(b);
}

// The lists a command reads: the machine's, the current user's and, unless /user current, every
// other account's that can be read. The accounts that cannot be read are named once, with why: the
// command goes on without them.
Inventory ReadLists(const CommandLine& line, const platform::Platform& platform, platform::Console& console) {
  Inventory inventory = ReadEveryList(platform.registry, platform.system, platform.files, platform.system.IsWow64(),
                                      !line.currentUserOnly);
  std::string problems;
  for (const AccountProblem& problem : inventory.accountsNotRead)
    problems += (problems.empty() ? "" : "; ") + OneLine(problem.name) + ": " + problem.why;
  if (!problems.empty())
    console.WriteError("Tidewell: other accounts' lists not read (/user current leaves them out): " + problems + "\n");
  return inventory;
}

int ListEntries(const CommandLine& line, const platform::Platform& platform, platform::Console& console) {
  Inventory inventory = ReadLists(line, platform, console);
  CheckEntries(platform.files, platform.system, &inventory.entries);
  // In the window's first order: by the name shown, ascending.
  std::vector<std::size_t> order(inventory.entries.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  OrderEntries(inventory.entries, order, 0, true, platform.system);
  std::vector<Entry> entries;
  entries.reserve(order.size());
  for (const std::size_t i : order) entries.push_back(std::move(inventory.entries[i]));
  const std::string report = line.json ? JsonReport(entries) : TabSeparatedReport(entries);
  return console.WriteOut(report) ? kExitSuccess : kExitFailure;
}

std::string Count(int n, const char* one, const char* many) { return std::to_string(n) + " " + (n == 1 ? one : many); }

// An entry, or a whole list, that the check could not read, by the name /remove gives an entry.
std::string UnopenedName(const UnopenedKey& key) {
  const std::string source = key.account ? SourceName(key.source) + key.account->name : SourceName(key.source);
  return key.keyName.empty() ? "the " + source + " list" : OneLine(source + "\\" + key.keyName);
}

// A Broken Link entry found is certain whatever else could not be read (exit code 1); "none" is
// said only when every entry was read, else the check could not be made (exit code 4).
int CheckBroken(const CommandLine& line, const platform::Platform& platform, platform::Console& console) {
  Inventory inventory = ReadLists(line, platform, console);
  CheckEntries(platform.files, platform.system, &inventory.entries);
  int broken = 0;
  std::string lines;
  for (const Entry& entry : inventory.entries) {
    if (entry.status != kBrokenLink) continue;
    ++broken;
    lines += OneLine(EntryName(entry)) + ": " + OneLine(entry.reason) + "\n";
  }
  int lists = 0, entries = 0;
  std::string names;
  const auto notRead = [&](const std::string& name, const std::string& why) {
    names += (names.empty() ? "" : ", ") + name;
    lines += name + ": could not be read: " + OneLine(why) + "\n";
  };
  for (const UnopenedKey& key : inventory.unopened) {
    ++(key.keyName.empty() ? lists : entries);
    notRead(UnopenedName(key), platform.files.ErrorText(key.error));
  }
  for (const Entry& entry : inventory.entries) {
    if (entry.readError.empty()) continue;
    ++entries;
    notRead(OneLine(EntryName(entry)), entry.readError);
  }
  const bool whole = lists + entries == 0;
  // The count first: a tool that keeps only the start of the output keeps the answer.
  std::string head = broken == 0 ? (whole ? "no Broken Link entries" : "no Broken Link entries among those read")
                                 : Count(broken, "Broken Link entry", "Broken Link entries") +
                                       ": /remove-broken /yes removes " + (broken == 1 ? "it" : "them");
  if (!whole) {
    head += "; " + (lists > 0 ? Count(lists, "list", "lists") : "") + (lists > 0 && entries > 0 ? " and " : "") +
            (entries > 0 ? Count(entries, "entry", "entries") : "") + " could not be read";
  }
  if (!console.WriteOut(head + "\n" + lines)) return kExitCheckFailed;
  if (!whole) console.WriteError("Tidewell: could not read, so could not check: " + names + "\n");
  if (broken > 0) return kExitBrokenFound;
  return whole ? kExitSuccess : kExitCheckFailed;
}

// An installer's product as the console's lines name it: its code and its name.
std::string ProductName(const ProductRegistration& registration) {
  return registration.code + (registration.name.empty() ? "" : " (" + OneLine(registration.name) + ")");
}

// The removals of one command line, one after another, each with its line: as the window's, to the
// day's undo file beside the executable. A removal that the registry refuses for lack of rights is
// the last; it says so with what was removed before it.
class Removals {
 public:
  Removals(const platform::Platform& platform, platform::Console& console)
      : registry_(platform.registry),
        wow64_(platform.system.IsWow64()),
        places_{wow64_, platform.system.CurrentUserSid()},
        undo_(platform.files, platform.system, BackupFolderOf(platform.system.ExecutablePath()),
              UndoStemOf(platform.system.Today()), UserBackupFolder(platform.files)),
        console_(console) {}

  // False once the removals have stopped.
  bool Remove(const Entry& entry) {
    const std::string name = OneLine(EntryName(entry));
    if (Refused(PlaceOf(entry.source, wow64_), entry.KeyPath())) return Stop(name, kElevate);
    try {
      return Tell(name, entry.keyName, RemoveEntryKey(undo_, registry_, entry, wow64_));
    } catch (const std::exception& error) {
      NotRemoved(name, error.what());
      return true;
    }
  }
  // The whole registration of the installer's product.
  bool RemoveProduct(const std::string& code) {
    if (!IsProductCode(code)) {
      NotRemoved(OneLine(code), "not a product code, which reads {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}");
      return true;
    }
    try {
      const ProductRegistration registration = FindRegistration(registry_, places_, code);
      if (registration.Empty()) {
        all_ = false;
        console_.WriteOut("not an installed product " + platform::UpperCaseText(code) + ": nothing removed\n");
        return true;
      }
      const std::string name = ProductName(registration);
      for (const RegistrationPart& part : registration.parts)
        if (Refused(part.place, part.keyPath)) return Stop(name, kElevate);
      return Tell(name, name, RemoveRegistration(undo_, registry_, places_, code));
    } catch (const std::exception& error) {
      NotRemoved(platform::UpperCaseText(code), error.what());
      return true;
    }
  }
  void NotFound(const std::string& target, const std::string& error) { NotRemoved(OneLine(target), error); }
  int ExitCode() const {
    return refused_ ? kExitNeedsElevation : !all_ ? kExitFailure : partly_ ? kExitPartlyRemoved : kExitSuccess;
  }
  const InstallerPlaces& Places() const { return places_; }

 private:
  static constexpr const char* kElevate = "access denied: run it from an elevated prompt";

  // Says what became of a removal of `name` (`what` in the message about what stayed); false when it
  // was refused for lack of rights, which ends the removals.
  bool Tell(const std::string& name, const std::string& what, RemovalOutcome outcome) {
    if (outcome.alreadyGone) {
      console_.WriteOut("already gone " + name + ": another program removed it; nothing was written\n");
      return true;
    }
    if (outcome.Complete()) {
      removed_.push_back(name);
      console_.WriteOut("removed " + name + "\n");
      return true;
    }
    if (!outcome.accessDenied) {
      if (outcome.Partly()) PartlyRemoved(name, IncompleteRemovalMessage(what, outcome));
      else NotRemoved(name, IncompleteRemovalMessage(what, outcome));
      return true;
    }
    // A key inside it that refused: the window's advice is for the window, this one for a prompt.
    RemovalOutcome told = std::move(outcome);
    told.accessDenied = false;
    return Stop(name, std::string(kElevate) + ". " + IncompleteRemovalMessage(what, told), told.Partly());
  }
  // Whether the registry refuses this user the rights that removing the key takes (read it, delete
  // its values, delete it), as it refuses a user who is not elevated the machine's lists. Asked
  // first, so that such a key is left whole and none of its lines are written.
  bool Refused(const RegistryPlace& place, const std::string& keyPath) {
    if (keyPath.empty() || keyPath.back() == '\\') return false;
    platform::Hkey opened = 0;
    const std::uint32_t rights = platform::kKeyRead | platform::kKeySetValue | platform::kDelete;
    const std::string path = keyPath.substr(1);
    const long result = registry_.OpenKeyEx(place.root, path.c_str(), rights | place.view, &opened);
    const platform::UniqueHkey key(registry_, opened);
    return result == platform::kErrorAccessDenied;
  }
  // The removal that the registry refused for lack of rights is the last one.
  bool Stop(const std::string& name, const std::string& why, bool partly = false) {
    if (partly) PartlyRemoved(name, why);
    else NotRemoved(name, why);
    std::string before;
    for (const std::string& removed : removed_) before += (before.empty() ? "" : ", ") + removed;
    console_.WriteError("Tidewell: stopped at " + name +
                        ", which the registry refused for lack of rights: run it from an elevated prompt. "
                        "Nothing after it was removed; removed before it: " +
                        (before.empty() ? "nothing" : before) + ".\n");
    refused_ = true;
    return false;
  }
  void NotRemoved(const std::string& name, const std::string& why) {
    all_ = false;
    console_.WriteOut("not removed " + name + ": " + OneLine(why) + "\n");
  }
  void PartlyRemoved(const std::string& name, const std::string& why) {
    partly_ = true;
    console_.WriteOut("partly removed " + name + ": " + OneLine(why) + "\n");
  }

  platform::RegistryApi& registry_;
  bool wow64_;
  InstallerPlaces places_;
  UndoFile undo_;
  platform::Console& console_;
  std::vector<std::string> removed_;
  bool all_ = true;
  bool partly_ = false;
  bool refused_ = false;
};

int RemoveNamed(const CommandLine& line, const platform::Platform& platform, platform::Console& console) {
  Removals removals(platform, console);
  const Inventory inventory = ReadLists(line, platform, console);
  for (const std::string& target : line.targets) {
    std::string error;
    const Entry* entry = FindEntry(inventory.entries, target, &error);
    if (!entry) removals.NotFound(target, error);
    else if (!removals.Remove(*entry)) break;
  }
  return removals.ExitCode();
}

int RemoveProducts(const CommandLine& line, const platform::Platform& platform, platform::Console& console) {
  Removals removals(platform, console);
  for (const std::string& code : line.targets)
    if (!removals.RemoveProduct(code)) break;
  return removals.ExitCode();
}

int RemoveBroken(const CommandLine& line, const platform::Platform& platform, platform::Console& console) {
  Removals removals(platform, console);
  Inventory inventory = ReadLists(line, platform, console);
  CheckEntries(platform.files, platform.system, &inventory.entries);
  int broken = 0;
  for (const Entry& entry : inventory.entries) {
    if (entry.status != kBrokenLink) continue;
    ++broken;
    if (!line.yes) console.WriteOut("would remove " + OneLine(EntryName(entry)) + ": " + OneLine(entry.reason) + "\n");
    else if (!removals.Remove(entry)) break;
  }
  // An installer's product keeps its registration when its entry goes: it is named with the command
  // that removes all of it.
  std::vector<std::string> products;
  for (const Entry& entry : inventory.entries) {
    const ProductReference product = ProductOfEntry(entry);
    if (entry.status != kBrokenLink || product.kind != ProductReference::Kind::kProduct) continue;
    if (std::find(products.begin(), products.end(), product.code) != products.end()) continue;
    products.push_back(product.code);
    const ProductRegistration registration = FindRegistration(platform.registry, removals.Places(), product.code);
    if (registration.Empty()) continue;
    console.WriteOut("installer product " + ProductName(registration) + " is registered still: tidewell /remove-product " +
                     registration.code + " removes its whole registration\n");
  }
  if (broken == 0) console.WriteOut("no Broken Link entries\n");
  else if (!line.yes) console.WriteOut(Count(broken, "entry", "entries") + " would be removed: add /yes to remove " +
                                       (broken == 1 ? "it" : "them") + "\n");
  return removals.ExitCode();
}

int Run(const CommandLine& line, const platform::Platform& platform, platform::Console& console) {
  switch (line.mode) {
    case Mode::kUsage: return console.WriteOut(Usage()) ? kExitSuccess : kExitFailure;
    case Mode::kList: return ListEntries(line, platform, console);
    case Mode::kCheck: return CheckBroken(line, platform, console);
    case Mode::kRemove: return RemoveNamed(line, platform, console);
    case Mode::kRemoveBroken: return RemoveBroken(line, platform, console);
    case Mode::kRemoveProduct: return RemoveProducts(line, platform, console);
    case Mode::kRestore: return RestoreFromUndoFile(line, platform, console);
  }
  return kExitFailure;
}

// The file that /out names, as the standard output: UTF-8 as given, no byte-order mark. The output
// goes to a file of its own beside it, which takes the file's place once the output is whole; until
// then the file stays as it was, held open for reading: the command may read it, but neither it nor
// anyone else may write it meanwhile (an undo file named there is then not written, and nothing is
// removed or restored). The error stream stays the console's.
class OutFile : public platform::Console {
 public:
  OutFile(platform::FileSystem& files, const std::string& path, platform::Console& console)
      : files_(files), path_(path), console_(console) {
    using platform::FileOpen;
    // A file that cannot be written (read-only, a folder, open elsewhere) stops the command before
    // it changes anything; opening it to append changes nothing in it. One that is not there is
    // made empty, to be held like any other.
    if (files.Attributes(path) != platform::kInvalidFileAttributes) {
      if (!platform::UniqueFile(files, files.OpenFile(path, FileOpen::kAppend, &error_))) return;
    } else {
      made_ = static_cast<bool>(platform::UniqueFile(files, files.OpenFile(path, FileOpen::kCreateNew, &error_)));
      if (!made_) return;
    }
    held_ = platform::UniqueFile(files, files.OpenFile(path, FileOpen::kRead, &error_));
    if (!held_) return;
    for (int n = 1; n <= kMostTemporaries && !file_; ++n) {
      temporary_ = path + "." + std::to_string(n) + ".tmp";
      file_ = platform::UniqueFile(files, files.OpenFile(temporary_, FileOpen::kCreateNew, &error_));
      if (!file_ && error_ != platform::kErrorFileExists) break;
    }
    if (!file_) temporary_.clear();
  }
  ~OutFile() override { Discard(); }
  bool Opened() const { return static_cast<bool>(file_); }
  // Puts the whole output in the file's place: false when a write, the flush, the close or the
  // replacing failed, and then the file is as it was; ErrorText() says why.
  bool Finish() {
    std::uint32_t error = 0;
    if (written_ && !files_.FlushFile(file_.get(), &error)) Failed(error);
    if (!files_.CloseFile(file_.release(), &error)) Failed(error);
    held_.reset();
    if (written_ && !files_.RenameFileReplacing(temporary_, path_, &error)) Failed(error);
    if (written_) {
      temporary_.clear();
      made_ = false;
    }
    Discard();
    return written_;
  }
  std::string ErrorText() const { return files_.ErrorText(error_); }

  bool WriteOut(std::string_view text) override {
    if (written_ && !text.empty())
      written_ = files_.WriteFile(file_.get(), text.data(), static_cast<std::uint32_t>(text.size()), &error_);
    return written_;
  }
  bool WriteError(std::string_view text) override { return console_.WriteError(text); }

 private:
  // Names tried beside the file, for when earlier runs left theirs.
  static constexpr int kMostTemporaries = 100;

  void Failed(std::uint32_t error) {
    if (!written_) return;
    written_ = false;
    error_ = error;
  }
  // What did not take the file's place goes: the output, and the file made empty for it.
  void Discard() {
    file_.reset();
    held_.reset();
    if (!temporary_.empty()) files_.RemoveFile(temporary_);
    temporary_.clear();
    if (made_) files_.RemoveFile(path_);
    made_ = false;
  }

  platform::FileSystem& files_;
  const std::string path_;
  platform::Console& console_;
  // The file itself, open for reading while the command runs.
  platform::UniqueFile held_;
  // Whether it was not there, and was made empty.
  bool made_ = false;
  platform::UniqueFile file_;
  std::string temporary_;
  std::uint32_t error_ = 0;
  bool written_ = true;
};

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  CommandLine line;
  bool modeGiven = false;
  bool usage = false;
  std::string listSwitch;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (!IsSwitch(argument)) {
      line.targets.push_back(argument);
      continue;
    }
    const std::string name = platform::LowerCaseAscii(argument.substr(1));
    if (name == "?" || name == "help") usage = true;
    else if (name == "out") SetOutFile(&line, argument, i + 1 < arguments.size() ? &arguments[++i] : nullptr);
    else if (name == "list") listSwitch = argument;
    else if (name == "check") SetMode(&line, Mode::kCheck, argument, &modeGiven);
    else if (name == "remove") SetMode(&line, Mode::kRemove, argument, &modeGiven);
    else if (name == "remove-broken") SetMode(&line, Mode::kRemoveBroken, argument, &modeGiven);
    else if (name == "remove-product") SetMode(&line, Mode::kRemoveProduct, argument, &modeGiven);
    else if (name == "restore") SetMode(&line, Mode::kRestore, argument, &modeGiven);
    else if (name == "all") line.all = true;
    else if (name == "line") AddLine(&line, argument, i + 1 < arguments.size() ? &arguments[++i] : nullptr);
    else if (name == "json") line.json = true;
    else if (name == "user") SetUser(&line, argument, i + 1 < arguments.size() ? &arguments[++i] : nullptr);
    else if (name == "yes") line.yes = true;
    else if (line.error.empty()) line.error = "unknown switch " + argument;
  }
  // /list lists the entries, or with /restore the undo file's blocks.
  if (!listSwitch.empty()) {
    if (line.mode == Mode::kRestore) line.list = true;
    else SetMode(&line, Mode::kList, listSwitch, &modeGiven);
  }
  // /? answers whatever else is given.
  if (usage) return CommandLine{};
  if (line.error.empty()) line.error = CheckCombination(line, modeGiven);
  return line;
}

std::string Usage() { return std::string(kUsageHead) + kUsage; }

const Entry* FindEntry(const std::vector<Entry>& entries, const std::string& target, std::string* error) {
  const size_t slash = target.find('\\');
  std::string key = target;
  bool anySource = true;
  Source source = Source::kMachine32;
  if (slash != std::string::npos) {
    const std::string name = platform::LowerCaseAscii(target.substr(0, slash));
    key = target.substr(slash + 1);
    anySource = false;
    if (name == "64-bit") source = Source::kMachine64;
    else if (name == "32-bit") source = Source::kMachine32;
    else if (name == "user") source = Source::kUser;
    else if (name.rfind(SourceName(Source::kOtherUser), 0) == 0) source = Source::kOtherUser;
    else {
      *error = "unknown source \"" + target.substr(0, slash) + "\": 64-bit, 32-bit, user or user:NAME";
      return nullptr;
    }
  }
  // Another account's list by its name, in any letter case.
  const auto sourceMatches = [&](const Entry& entry) {
    if (anySource) return true;
    if (entry.source != source) return false;
    return source != Source::kOtherUser ||
           platform::UpperCaseText(SourceName(entry)) == platform::UpperCaseText(target.substr(0, slash));
  };
  std::vector<const Entry*> found;
  for (const Entry& entry : entries)
    if (SameKeyName(entry.keyName, key) && sourceMatches(entry)) found.push_back(&entry);
  if (found.size() == 1) return found.front();
  if (found.empty()) {
    *error = "no such entry";
    return nullptr;
  }
  std::string sources;
  for (const Entry* entry : found) sources += (sources.empty() ? "" : ", ") + SourceName(*entry);
  *error = "more than one list has it (" + sources + "): name it as SOURCE\\KEY";
  return nullptr;
}

// Whether the file begins as the registry editor's files do ("REGEDIT4", or the Unicode header).
bool HoldsRegistryFile(platform::FileSystem& files, const std::string& path) {
  std::uint32_t error = 0;
  const platform::UniqueFile file(files, files.OpenFile(path, platform::FileOpen::kRead, &error));
  if (!file) return false;
  std::string head(64, '\0');
  std::uint32_t read = 0;
  if (!files.ReadFile(file.get(), head.data(), static_cast<std::uint32_t>(head.size()), &read, &error)) return false;
  head.resize(read);
  return head.rfind("REGEDIT4", 0) == 0 || head.rfind("\xFF\xFE" + platform::Utf16LeFromUtf8("Windows Registry Editor"), 0) == 0;
}

int RunCommandLine(const std::vector<std::string>& arguments, const platform::Platform& platform,
                   platform::Console& console) {
  const CommandLine line = ParseCommandLine(arguments);
  if (!line.error.empty()) {
    console.WriteError("Tidewell: " + OneLine(line.error) + " (/? tells the switches)\n");
    return kExitBadSwitch;
  }
  const int failed = line.mode == Mode::kCheck ? kExitCheckFailed : kExitFailure;
  try {
    if (line.outFile.empty()) return Run(line, platform, console);
    // An undo file or a registry export in the output's place would lose its backups.
    if (HoldsRegistryFile(platform.files, line.outFile)) {
      console.WriteError("Tidewell: /out would replace " + OneLine(line.outFile) +
                         ", a registry file whose backups would be lost: nothing was done; name another file\n");
      return failed;
    }
    // Made before the command runs: a file that cannot be written stops it before any change.
    OutFile out(platform.files, line.outFile, console);
    if (!out.Opened()) {
      console.WriteError("Tidewell: cannot write " + OneLine(line.outFile) + ": " + OneLine(out.ErrorText()) + "\n");
      return failed;
    }
    const int code = Run(line, platform, out);
    if (out.Finish()) return code;
    console.WriteError("Tidewell: cannot write " + OneLine(line.outFile) + ": " + OneLine(out.ErrorText()) + "\n");
    return code == kExitNeedsElevation ? code : failed;
  } catch (const std::exception& error) {
    console.WriteError("Tidewell: " + OneLine(error.what()) + "\n");
  }
  return failed;
}

int RunConsoleProgram(const std::vector<std::string>& arguments, const platform::Platform& platform,
                      platform::Console& console) {
  // Started from Explorer, the program has a console window of its own, which closes when it ends.
  const bool ownWindow = console.OwnsWindow();
  if (arguments.empty()) {
    // A double click: the window is what the user wants, not a console.
    if (ownWindow) console.HideWindow();
    const std::string executable = platform.system.ExecutablePath();
    const std::string window = executable.substr(0, executable.find_last_of('\\') + 1) + "Tidewell.exe";
    const int result = platform.ui.ShellOpen(window, "", platform::kSwShowNormal);
    if (result > 32) return kExitSuccess;
    console.WriteError("Tidewell: " + window + " did not start: " + ShellErrorWords(result) + "\n");
    if (ownWindow) console.WaitForKey();
    return kExitFailure;
  }
  int code = 0;
  if (ownWindow && arguments.size() == 1 && !IsSwitch(arguments.front())) {
    // A file dropped on the program: an undo file's backups are listed; any other is said to be no undo file.
    const std::string& file = arguments.front();
    if (HoldsRegistryFile(platform.files, file)) {
      code = RunCommandLine({"/restore", file, "/list"}, platform, console);
    } else {
      console.WriteError("Tidewell: " + OneLine(file) +
                         " is not an undo file. Dropped on Tidewell.com, an undo file (a .reg file of the folder "
                         "Backup) has its backups listed; Tidewell.exe is the window; tidewell /? at a prompt tells "
                         "the switches.\n");
      code = kExitBadSwitch;
    }
  } else {
    code = RunCommandLine(arguments, platform, console);
  }
  // Kept open until the user has read it.
  if (ownWindow) {
    console.WriteOut("\nPress a key to close this window.\n");
    console.WaitForKey();
  }
  return code;
}
