// Every command that changes the registry or the undo files, run once to count the calls it makes,
// then once for each call with that call failing in each way the system fails there (a full disk,
// access denied, a sharing violation, the file or key gone), and once with the day's undo file
// removed by another program before each call. After each run, two promises are checked:
// - nothing lost: the registry now, with the undo files the run wrote restored by our own reader,
//   holds everything it held before (but what another program removed meanwhile);
// - nothing said that did not happen: "removed" only if gone, "not removed" only if unchanged,
//   "partly removed" only if part went and part stays, "restored" only if the backup is in place.
#include <gtest/gtest.h>

#include <cstdio>
#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "backup/product_registration.h"
#include "backup/undo_file.h"
#include "backup/undo_lock.h"
#include "platform/memory/memory_platform.h"
#include "platform/text_encoding.h"
#include "registry/nt_registry.h"
#include "report/command_line.h"
#include "restore/undo_reader.h"
#include "restore/undo_restore.h"
#include "inventory/product_code.h"
#include "tests/support/installer_seeds.h"
#include "tests/support/other_accounts.h"
#include "tests/support/seeded_entries.h"

using namespace platform;
using namespace seeded;

namespace {

const std::string kBackup = "C:\\Tools\\Tidewell\\Backup\\";
// An undo file of an earlier day, which the restores read.
const std::string kEarlier = kBackup + "Undo20261201.reg";

enum class Fault { kNone, kDiskFull, kAccessDenied, kSharingViolation, kNoResources, kGone, kUndoFileRemoved };

const char* FaultName(Fault fault) {
  switch (fault) {
    case Fault::kNone: return "none";
    case Fault::kDiskFull: return "disk full";
    case Fault::kAccessDenied: return "access denied";
    case Fault::kSharingViolation: return "sharing violation";
    case Fault::kNoResources: return "no system resources";
    case Fault::kGone: return "gone";
    case Fault::kUndoFileRemoved: return "undo file removed";
  }
  return "";
}

// The ways the system fails at a call ("file ..." or "reg ..."), besides the undo file's removal.
std::vector<Fault> FaultsAt(const std::string& call) {
  using enum Fault;
  if (call == "file write" || call == "file flush" || call == "file close") return {kDiskFull, kAccessDenied};
  if (call == "file open read" || call == "file rename" || call == "file delete")
    return {kAccessDenied, kSharingViolation, kGone};
  if (call == "file open append" || call == "file open create") return {kDiskFull, kAccessDenied, kSharingViolation, kGone};
  if (call == "file mkdir") return {kDiskFull, kAccessDenied};
  if (call == "reg load") return {kAccessDenied, kSharingViolation};
  // The registry out of its quota or memory answers ERROR_NO_SYSTEM_RESOURCES.
  return {kAccessDenied, kNoResources, kGone};
}

// A registry path as the in-memory registry names it ("HKLM\\SOFTWARE\\...") split into its root and the rest.
bool SplitRoot(const std::string& full, Hkey* root, std::string* path) {
  static const std::pair<const char*, Hkey> kRoots[] = {
      {"HKLM\\", kHkeyLocalMachine}, {"HKCR\\", kHkeyClassesRoot}, {"HKCU\\", kHkeyCurrentUser}};
  for (const auto& [prefix, handle] : kRoots) {
    if (full.rfind(prefix, 0) != 0) continue;
    *root = handle;
    *path = full.substr(std::string(prefix).size());
    return true;
  }
  return false;
}

// Another account's hive file, which holds his list while his hive is not loaded.
constexpr const char* kBobsHive = "C:\\Users\\bob\\NTUSER.DAT";

// What the registry holds, one fact a key or a value, in capitals: "HKLM|[PATH]" and "HKLM|[PATH]|  NAME type=..";
// and what Bob's hive file holds, as "BOB|[PATH]".
std::set<std::string> Facts(const MemoryRegistry& registry) {
  std::set<std::string> facts;
  {
    std::istringstream dump(registry.DumpHiveFile(kBobsHive));
    std::string line, key;
    while (std::getline(dump, line)) {
      if (line.empty() || line == "(missing)") continue;
      if (line[0] == '[') facts.insert(key = "BOB|" + UpperCaseText(line));
      else facts.insert(key + "|" + line);
    }
  }
  // HKCR is HKLM's SOFTWARE\Classes.
  for (const auto& [root, name, path] : {std::tuple{kHkeyLocalMachine, "HKLM", "SOFTWARE"},
                                         std::tuple{kHkeyCurrentUser, "HKCU", "Software"}}) {
    std::istringstream dump(registry.Dump(root, path));
    std::string line, key;
    while (std::getline(dump, line)) {
      if (line.empty() || line == "(missing)") continue;
      if (line[0] == '[') {
        key = std::string(name) + "|" + UpperCaseText(line);
        facts.insert(key);
      } else {
        facts.insert(key + "|" + line);
      }
    }
  }
  return facts;
}

// What the command said, as a user or a script reads it.
enum class Claim { kDone, kPartly, kNotDone, kAlreadyGone };

const char* ClaimName(Claim claim) {
  switch (claim) {
    case Claim::kDone: return "done";
    case Claim::kPartly: return "partly done";
    case Claim::kNotDone: return "not done";
    case Claim::kAlreadyGone: return "already gone";
  }
  return "";
}

// One run: the seeded machine, the window or the console, and another program that fails calls or
// removes the undo file.
struct World {
  World() {
    Seed(p);
    p.registry.SetBackupRestoreRight(true);
    p.files.AddFolder(kBackup);
  }
  ~World() { Stop(); }

  void Start(int target, Fault fault) {
    target_ = target;
    fault_ = fault;
    p.files.interfere = [this](const std::string& call, const std::string& path) {
      return static_cast<std::uint32_t>(Step("file " + call, path));
    };
    p.registry.interfere = [this](const std::string& call, const std::string& path, const std::string&) {
      return Step("reg " + call, path);
    };
  }
  void Stop() {
    p.files.interfere = nullptr;
    p.registry.interfere = nullptr;
  }
  bool HitTarget() const { return target_ > 0 && static_cast<int>(calls.size()) >= target_; }
  // Whether the fact lies in a key that another program removed during the run.
  bool RemovedMeanwhile(const std::string& fact) const {
    for (const std::string& prefix : gone)
      if (fact.rfind(prefix, 0) == 0 && (fact.size() == prefix.size() || fact[prefix.size()] == '\\' ||
                                         fact[prefix.size()] == ']'))
        return true;
    return false;
  }

  // The undo files the run wrote, and what another program took away of them, restored over the
  // registry by our own reader, the newest block first.
  void RestoreWhatTheRunBackedUp() {
    Stop();
    std::vector<UndoRecord> records;
    std::vector<std::string> contents = removedUndo;
    for (const char* file : {kFile, kUnicodeFile})
      if (p.files.FileExistsAt(file)) contents.push_back(p.files.Content(file));
    for (const std::string& content : contents) {
      const UndoContents read = ReadUndoText(p.system, content);
      records.insert(records.end(), read.records.begin(), read.records.end());
    }
    UndoFile scratch(p.files, p.system, "C:\\Scratch", "Undo");
    for (auto record = records.rbegin(); record != records.rend(); ++record)
      if (record->Readable()) RestoreRecord(p.registry, scratch, *record, false);
  }

  MemoryPlatform p;
  std::unique_ptr<MainWindow> form;
  MemoryConsole console;
  int exitCode = 0;
  std::vector<std::string> calls;
  // The keys that another program removed during the run, as facts begin: "HKLM|[SOFTWARE\\...".
  std::vector<std::string> gone;
  // What another program removed of the day's undo files.
  std::vector<std::string> removedUndo;

 private:
  long Step(const std::string& call, const std::string& path) {
    if (acting_) return 0;
    WatchLock();
    calls.push_back(call);
    if (static_cast<int>(calls.size()) != target_) return 0;
    acting_ = true;
    const long answer = Apply(call, path);
    acting_ = false;
    return answer;
  }
  long Apply(const std::string& call, const std::string& path) {
    switch (fault_) {
      case Fault::kNone: return 0;
      case Fault::kDiskFull: return kErrorDiskFull;
      case Fault::kAccessDenied: return kErrorAccessDenied;
      case Fault::kSharingViolation: return kErrorSharingViolation;
      case Fault::kNoResources: return 1450;
      case Fault::kUndoFileRemoved:
        for (const char* file : {kFile, kUnicodeFile}) RemoveUndoFile(file);
        return 0;
      case Fault::kGone: break;
    }
    if (call.rfind("file ", 0) == 0) {
      if (path == kFile || path == kUnicodeFile) RemoveUndoFile(path);
      else p.files.RemoveFile(path);
      return 0;
    }
    // Another program removes an entry or a product, not the lists themselves.
    Hkey root = 0;
    std::string below;
    const std::string upper = UpperCaseText(path);
    if (upper.find("\\UNINSTALL\\") == std::string::npos && upper.find("\\PRODUCTS\\") == std::string::npos) return 0;
    if (!SplitRoot(path, &root, &below)) return 0;
    TNTRegistry reg(p.registry);
    reg.SetRoot(root);
    reg.DeleteTree("\\" + below);
    gone.push_back(path.substr(0, 4) + "|[" + UpperCaseText(below));
    // A call through a handle of a key deleted meanwhile answers so; the others find nothing.
    return call == "reg open" || call == "reg delete key" ? 0 : kErrorKeyDeleted;
  }

  // Deleted by another program, which respects the sharing of whoever holds the file open. What it
  // takes between two commands is the user's to give back (from the recycle bin, say); what it takes
  // while a command holds the undo lock is that command's backup, and counts as lost.
  void RemoveUndoFile(const std::string& file) {
    std::string content = p.files.FileExistsAt(file) ? p.files.Content(file) : "";
    // The lines the running command wrote since it took the lock are its own.
    if (p.system.mutexHeld[kUndoLockName]) content.resize(std::min(content.size(), sizeAtLock_[file]));
    if (p.files.RemoveFile(file)) removedUndo.push_back(content);
  }
  // Notes how long the undo files were when a command last took the undo lock.
  void WatchLock() {
    const std::string wait = std::string("wait ") + kUndoLockName;
    const std::vector<std::string>& log = p.system.mutexLog;
    for (; logSeen_ < log.size(); ++logSeen_) {
      if (log[logSeen_].rfind(wait, 0) != 0) continue;
      for (const char* file : {kFile, kUnicodeFile})
        sizeAtLock_[file] = p.files.FileExistsAt(file) ? p.files.Content(file).size() : 0;
    }
  }
  std::map<std::string, std::size_t> sizeAtLock_;
  std::size_t logSeen_ = 0;

  int target_ = 0;
  Fault fault_ = Fault::kNone;
  bool acting_ = false;
};

// The window after its first scan, with the rows chosen selected as a click selects them.
void OpenWindow(World& w) {
  w.form = std::make_unique<MainWindow>(w.p.platform());
  w.form->FormCreate();
}
int RowOf(const MainWindow& form, const std::string& keyName) {
  for (int i = 0; i < form.list.entryList.Count(); ++i)
    if (form.list.entryList.Item(i).SubItems.at(0) == keyName) return i;
  return -1;
}
void SelectRows(World& w, const std::vector<std::string>& keyNames) {
  std::vector<int> rows;
  for (const std::string& name : keyNames) rows.push_back(RowOf(*w.form, name));
  w.form->list.entryList.SelectRows(rows);
  w.form->list.entryList.SelectItem();
}
void SelectBackupFile(World& w, const std::string& name) {
  const auto& items = w.form->backups.files.Items();
  for (size_t i = 0; i < items.size(); ++i) {
    if (items[i] != name) continue;
    w.form->backups.files.ItemIndexFromUser(static_cast<int>(i));
    w.form->backups.files.Click();
  }
}

bool Starts(const std::string& text, const std::string& start) { return text.rfind(start, 0) == 0; }

// Whether an error is the scan's word on an entry it could not read, which a command's rescan may say.
bool ScanError(const std::string& error) {
  return (Starts(error, "The entry '") || Starts(error, "The installer product '")) &&
         error.find("could not be read") != std::string::npos;
}

// What the window said of one entry's removal.
Claim WindowRemovalClaim(const MemoryUi& ui, const MainWindow& form) {
  for (const std::string& error : ui.Texts("error")) {
    if (ScanError(error)) continue;
    if (error.find("partly removed") != std::string::npos) return Claim::kPartly;
    return Claim::kNotDone;
  }
  const std::string notice = form.status.line.Caption();
  if (notice.find("was already gone") != std::string::npos) return Claim::kAlreadyGone;
  if (Starts(notice, "Removed ")) return Claim::kDone;
  return Claim::kNotDone;
}

// What a console line said of the target: "removed X", "partly removed X: ...", "restored X", ...
Claim ConsoleClaim(const std::string& out, const std::string& target) {
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line)) {
    for (const auto& [word, claim] : {std::pair{"removed ", Claim::kDone}, std::pair{"partly removed ", Claim::kPartly},
                                      std::pair{"not removed ", Claim::kNotDone}, std::pair{"already gone ", Claim::kAlreadyGone},
                                      std::pair{"restored ", Claim::kDone}, std::pair{"not restored ", Claim::kNotDone}}) {
      if (Starts(line, word + target)) return claim;
    }
  }
  return Claim::kNotDone;
}

// Facts under an entry's key, but what another program removed meanwhile.
std::set<std::string> FactsUnder(const World& w, const std::set<std::string>& facts, const std::string& prefix) {
  std::set<std::string> under;
  for (const std::string& fact : facts)
    if (Starts(fact, prefix) && !w.RemovedMeanwhile(fact)) under.insert(fact);
  return under;
}

// Whether the claim about the key holds: done (the key is gone), not done (all of it is as it was),
// partly (some of it went, the key stays) or already gone (another program removed it).
std::string CheckRemoval(const World& w, const std::set<std::string>& before, Claim claim, const char* rootName,
                         const std::string& keyPath) {
  const std::string prefix = std::string(rootName) + "|[" + UpperCaseText(keyPath);
  const std::string keyFact = prefix + "]";
  const std::set<std::string> now = Facts(w.p.registry);
  const bool present = now.count(keyFact) > 0;
  const bool unchanged = FactsUnder(w, before, prefix + "]") == FactsUnder(w, now, prefix + "]") &&
                         FactsUnder(w, before, prefix + "\\") == FactsUnder(w, now, prefix + "\\");
  switch (claim) {
    case Claim::kDone: return present ? "said removed, but the key is there" : "";
    case Claim::kNotDone: return unchanged ? "" : "said not removed, but the key changed";
    case Claim::kPartly: return present && !unchanged ? "" : "said partly removed, but it is gone or unchanged";
    case Claim::kAlreadyGone:
      return !present && w.RemovedMeanwhile(keyFact) ? "" : "said already gone, but no other program removed it";
  }
  return "";
}

std::string CheckEntryRemoval(const World& w, const std::set<std::string>& before, Claim claim, const std::string& key) {
  return CheckRemoval(w, before, claim, "HKLM", EntryKey(key));
}

std::string UninstallStringOf(World& w, const std::string& key) {
  TNTRegistry reg(w.p.registry);
  reg.SetRoot(kHkeyLocalMachine);
  try {
    return reg.OpenPathToRead("\\" + EntryKey(key)) ? reg.ReadText("UninstallString") : "(gone)";
  } catch (const ERegistryException&) {
    return "(unreadable)";
  }
}

// Bob's entry as his hive holds it, below the hive's top.
std::string BobsEntry() { return std::string(kList).substr(1) + "\\Notes"; }

struct Command {
  const char* name;
  // Makes the state before the command, outside the count.
  std::function<void(World&)> prepare;
  std::function<void(World&)> run;
  // What broke the promise of saying what happened; empty when nothing did.
  std::function<std::string(World&, const std::set<std::string>& before)> check;
};

// An earlier day's undo file: Beta's command as it was, and an entry removed that day.
void WriteEarlierUndoFile(World& w) {
  const std::string comment = "; Tidewell 2.12, 2026-12-01 10:00:00, ";
  w.p.files.AddFile(kEarlier, "REGEDIT4\r\n\r\n" + comment + "changed command \"Beta\" (32-bit)\r\n" + kEntryLine +
                                  "Beta]\r\n\"UninstallString\"=\"C:\\\\Old\\\\remove.exe\"\r\n\r\n" + comment +
                                  "removed entry \"Gamma\" (32-bit)\r\n" + kEntryLine +
                                  "Gamma]\r\n\"DisplayName\"=\"Gamma\"\r\n\"UninstallString\"=\"C:\\\\Gamma\\\\x.exe\"\r\n\r\n");
}

// The exit code says what the lines say: 3 when the registry refused for lack of rights, else 1 for
// a line of something not done (or an error), else 5 for one partly removed, else 0.
std::string CheckExitCode(const World& w) {
  const std::string out = "\n" + w.console.out;
  // Other accounts whose lists could not be read are named, but the command goes on without them.
  std::string error = w.console.error;
  if (Starts(error, "Tidewell: other accounts' lists not read")) error.erase(0, error.find('\n') + 1);
  int expected = out.find("\nnot ") != std::string::npos || !error.empty() ? kExitFailure
                 : out.find("\npartly removed ") != std::string::npos                ? kExitPartlyRemoved
                                                                                     : kExitSuccess;
  if (w.console.error.find("lack of rights") != std::string::npos) expected = kExitNeedsElevation;
  return w.exitCode == expected ? "" : "exit code " + std::to_string(w.exitCode) + ", not " + std::to_string(expected) + "; ";
}

// "restored" only where the backup is in place (unless another program removed the entry since).
std::string CheckRestored(World& w, const std::string& out) {
  std::string broken;
  for (const auto& [key, command] : {std::pair{"Beta", "C:\\Old\\remove.exe"}, std::pair{"Gamma", "C:\\Gamma\\x.exe"}}) {
    if (ConsoleClaim(out, std::string("32-bit\\") + key) != Claim::kDone) continue;
    if (w.RemovedMeanwhile(std::string("HKLM|[") + UpperCaseText(EntryKey(key)) + "]")) continue;
    if (UninstallStringOf(w, key) != command) broken += std::string("said ") + key + " restored, but it is not the backup's; ";
  }
  return broken;
}

// What the window's message of a restore says was restored: the part before "Not restored".
std::string CheckRestoredInWindow(World& w) {
  std::string said;
  for (const std::string& text : w.p.ui.Texts("message")) said += text;
  for (const std::string& text : w.p.ui.Texts("error")) said += text;
  said = said.substr(0, said.find("Not restored"));
  if (!Starts(said, "Restored ")) return "";
  std::string lines;
  if (said.find("Beta") != std::string::npos) lines += "restored 32-bit\\Beta\n";
  if (said.find("Gamma") != std::string::npos) lines += "restored 32-bit\\Gamma\n";
  return CheckRestored(w, lines);
}

// A product whose cached package is gone, sharing a component with a product that works.
const std::string kStuck = "{A1B2C3D4-E5F6-4718-9A0B-1C2D3E4F5061}";
const std::string kStuckPatch = "{0A000000-0000-4000-8000-00000000FFFF}";
void SeedStuckProduct(World& w) {
  const std::string shared = "{5E1D0C4B-0000-4000-8000-00000000C0DE}";
  installer_seeds::SeedRegistration(w.p.registry, {"{B0000000-0000-4000-8000-00000000000B}", "", "Neighbour", "S-1-5-18", {shared}});
  installer_seeds::SeedRegistration(w.p.registry, {kStuck, "{A9000000-0000-4000-8000-0000000000A9}", "Stuck Ledger", "S-1-5-18",
                                                   {shared, "{0A000000-0000-4000-8000-0000000000C2}"}, {kStuckPatch},
                                                   EntryKey(kStuck)});
}

// Whether the claim about the stuck product's registration holds: done (nothing of it is left), not
// done (all of it is as it was), partly, or already gone (another program removed it).
std::string CheckRegistrationRemoval(World& w, const std::set<std::string>& before, Claim claim) {
  const std::string packed = PackedProductCode(kStuck);
  // Its facts: keys and values named by its code, and those of the patch only it has, while its
  // installed state names the patch (another program that removed that left the patch to no one).
  const std::string patch = PackedProductCode(kStuckPatch);
  const bool patchNamed = !w.RemovedMeanwhile("HKLM|[" + UpperCaseText(std::string(installer_seeds::kInstaller)) +
                                              "\\USERDATA\\S-1-5-18\\PRODUCTS\\" + packed + "\\PATCHES\\" + patch + "]");
  const auto ofIt = [&](const std::set<std::string>& facts) {
    std::set<std::string> of;
    for (const std::string& fact : facts)
      if ((fact.find(packed) != std::string::npos || fact.find(kStuck) != std::string::npos ||
           (patchNamed && fact.find(patch) != std::string::npos)) &&
          !w.RemovedMeanwhile(fact))
        of.insert(fact);
    return of;
  };
  const std::set<std::string> now = ofIt(Facts(w.p.registry));
  const bool present = !now.empty() || !FindRegistration(w.p.registry, {false, w.p.system.userSid}, kStuck).Empty();
  const bool unchanged = ofIt(before) == now;
  switch (claim) {
    case Claim::kDone:
      return present ? "said removed, but some of its registration is there: " + (now.empty() ? "" : *now.begin()) : "";
    case Claim::kNotDone: return unchanged ? "" : "said not removed, but its registration changed";
    case Claim::kPartly: return present && !unchanged ? "" : "said partly removed, but it is gone or unchanged";
    case Claim::kAlreadyGone:
      return !present && !w.gone.empty() ? "" : "said already gone, but no other program removed it";
  }
  return "";
}

const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = {
      {"window: Remove Entry",
       [](World& w) {
         OpenWindow(w);
         SelectRows(w, {"Alpha"});
         w.p.ui.answers = {kIdYes};
       },
       [](World& w) { w.form->list.removeButton.Click(); },
       [](World& w, const std::set<std::string>& before) {
         return CheckEntryRemoval(w, before, WindowRemovalClaim(w.p.ui, *w.form), "Alpha");
       }},
      {"window: Remove Entry on two entries",
       [](World& w) {
         OpenWindow(w);
         SelectRows(w, {"Alpha", "Beta"});
         w.p.ui.answers = {kIdYes};
       },
       [](World& w) { w.form->list.removeButton.Click(); },
       [](World& w, const std::set<std::string>& before) -> std::string {
         // "Removed 2 entries, backed up in ...", "Already gone (...): Alpha Tool.", or "Removed 1 of 2
         // entries. Tidewell partly removed 'Beta': ..." with "Not removed: ..." for the rest.
         std::string text = w.form->status.line.Caption();
         for (const std::string& error : w.p.ui.Texts("error"))
           if (!ScanError(error)) text += " " + error;
         const auto after = [&](const std::string& mark) {
           const size_t at = text.find(mark);
           return at == std::string::npos ? std::string() : text.substr(at + mark.size());
         };
         std::string broken;
         for (const auto& [key, name] : {std::pair{"Alpha", "Alpha Tool"}, std::pair{"Beta", "Beta"}}) {
           Claim claim = Starts(text, "Removed ") ? Claim::kDone : Claim::kNotDone;
           if (after("Already gone").find(name) != std::string::npos) claim = Claim::kAlreadyGone;
           if (after("Not removed: ").find(name) != std::string::npos) claim = Claim::kNotDone;
           if (text.find("could not remove '" + std::string(name) + "'") != std::string::npos) claim = Claim::kNotDone;
           if (text.find("partly removed '" + std::string(name) + "'") != std::string::npos) claim = Claim::kPartly;
           broken += CheckEntryRemoval(w, before, claim, key);
         }
         return broken;
       }},
      {"console: /remove",
       [](World&) {},
       [](World& w) { w.exitCode = RunCommandLine({"/remove", "Alpha", "Beta"}, w.p.platform(), w.console); },
       [](World& w, const std::set<std::string>& before) {
         return CheckEntryRemoval(w, before, ConsoleClaim(w.console.out, "32-bit\\Alpha"), "Alpha") +
                CheckEntryRemoval(w, before, ConsoleClaim(w.console.out, "32-bit\\Beta"), "Beta") + CheckExitCode(w);
       }},
      {"window: remove an installer product",
       [](World& w) {
         OpenWindow(w);
         for (int i = 0; i < w.form->installer.products.Count(); ++i)
           if (w.form->installer.products.Items()[i].find("0A1B2C") != std::string::npos) w.form->installer.products.ItemIndexFromUser(i);
         w.p.ui.answers = {kIdYes};
       },
       [](World& w) { w.form->installer.deleteButton.Click(); },
       [](World& w, const std::set<std::string>& before) {
         Claim claim = Claim::kDone;
         for (const std::string& error : w.p.ui.Texts("error"))
           if (!ScanError(error)) claim = error.find("partly removed") != std::string::npos ? Claim::kPartly : Claim::kNotDone;
         for (const std::string& message : w.p.ui.Texts("message"))
           if (message.find("is not registered any more") != std::string::npos) claim = Claim::kAlreadyGone;
         return CheckRemoval(w, before, claim, "HKLM", "SOFTWARE\\CLASSES\\Installer\\Products\\0A1B2C");
       }},
      {"window: remove an installer registration",
       [](World& w) {
         SeedStuckProduct(w);
         OpenWindow(w);
         SelectRows(w, {kStuck});
         w.p.ui.menuChoices = {2};
         w.p.ui.answers = {kIdYes};
       },
       [](World& w) { w.form->list.entryList.ContextMenu(); },
       [](World& w, const std::set<std::string>& before) {
         return CheckRegistrationRemoval(w, before, WindowRemovalClaim(w.p.ui, *w.form));
       }},
      {"console: /remove-product",
       [](World& w) { SeedStuckProduct(w); },
       [](World& w) { w.exitCode = RunCommandLine({"/remove-product", kStuck}, w.p.platform(), w.console); },
       [](World& w, const std::set<std::string>& before) {
         return CheckRegistrationRemoval(w, before, ConsoleClaim(w.console.out, kStuck)) + CheckExitCode(w);
       }},
      {"console: /restore a registration",
       [](World& w) {
         SeedStuckProduct(w);
         RunCommandLine({"/remove-product", kStuck}, w.p.platform(), w.console);
         w.console = MemoryConsole();
       },
       [](World& w) { w.exitCode = RunCommandLine({"/restore", "Undo20261207.reg", kStuck}, w.p.platform(), w.console); },
       [](World& w, const std::set<std::string>&) -> std::string {
         // "restored" only when the registry holds the whole registration as its block does.
         // The block is the first of the day's file, wherever another program put that file meanwhile.
         std::vector<std::string> files = w.removedUndo;
         if (w.p.files.FileExistsAt(kFile)) files.push_back(w.p.files.Content(kFile));
         const UndoContents contents = ReadUndoText(w.p.system, files.empty() ? "" : files.front());
         if (ConsoleClaim(w.console.out, "machine\\" + kStuck) == Claim::kDone && w.gone.empty() &&
             (contents.records.empty() ||
              StateOf(w.p.registry, contents.records.front(), false) != RecordState::kPresent))
           return "said restored, but the registry does not hold its block; " + CheckExitCode(w);
         return CheckExitCode(w);
       }},
      {"console: /remove another account's entry",
       [](World& w) { SeedOtherAccounts(w.p); },
       [](World& w) { w.exitCode = RunCommandLine({"/remove", "user:bob\\Notes"}, w.p.platform(), w.console); },
       [](World& w, const std::set<std::string>& before) {
         return CheckRemoval(w, before, ConsoleClaim(w.console.out, "user:bob\\Notes"), "BOB", "\\" + BobsEntry()) +
                CheckExitCode(w);
       }},
      {"window: Remove Entry of another account",
       [](World& w) {
         SeedOtherAccounts(w.p);
         OpenWindow(w);
         SelectRows(w, {"Notes"});
         w.p.ui.answers = {kIdYes};
       },
       [](World& w) { w.form->list.removeButton.Click(); },
       [](World& w, const std::set<std::string>& before) {
         return CheckRemoval(w, before, WindowRemovalClaim(w.p.ui, *w.form), "BOB", "\\" + BobsEntry());
       }},
      {"console: /restore another account's entry",
       [](World& w) {
         SeedOtherAccounts(w.p);
         RunCommandLine({"/remove", "user:bob\\Notes"}, w.p.platform(), w.console);
         w.console = MemoryConsole();
       },
       [](World& w) { w.exitCode = RunCommandLine({"/restore", kFile, "user:bob\\Notes"}, w.p.platform(), w.console); },
       [](World& w, const std::set<std::string>&) -> std::string {
         const bool there = Facts(w.p.registry).count("BOB|[\\" + UpperCaseText(BobsEntry()) + "]") > 0;
         if (ConsoleClaim(w.console.out, "user:bob\\Notes") == Claim::kDone && !there)
           return "said restored, but his hive file does not hold the entry; " + CheckExitCode(w);
         return CheckExitCode(w);
       }},
      {"window: Save Changes",
       [](World& w) {
         OpenWindow(w);
         SelectRows(w, {"Beta"});
         w.form->change.commandBox.SetText("C:\\Alpha\\unins000.exe");
       },
       [](World& w) { w.form->change.saveButton.Click(); },
       [](World& w, const std::set<std::string>&) -> std::string {
         const bool saved = Starts(w.form->status.line.Caption(), "Saved the uninstall command");
         const std::string now = UninstallStringOf(w, "Beta");
         if (w.RemovedMeanwhile(std::string("HKLM|[") + UpperCaseText(EntryKey("Beta")) + "]")) return "";
         if (saved && now != "C:\\Alpha\\unins000.exe") return "said saved, but the command is " + now;
         if (!saved && now == "C:\\Alpha\\unins000.exe") return "said nothing saved, but the command changed";
         return "";
       }},
      {"console: /restore FILE KEY",
       WriteEarlierUndoFile,
       [](World& w) { w.exitCode = RunCommandLine({"/restore", kEarlier, "Beta", "Gamma"}, w.p.platform(), w.console); },
       [](World& w, const std::set<std::string>&) { return CheckRestored(w, w.console.out) + CheckExitCode(w); }},
      {"console: /restore FILE /all",
       WriteEarlierUndoFile,
       [](World& w) { w.exitCode = RunCommandLine({"/restore", kEarlier, "/all"}, w.p.platform(), w.console); },
       [](World& w, const std::set<std::string>&) { return CheckRestored(w, w.console.out) + CheckExitCode(w); }},
      {"window: Restore (a whole undo file)",
       [](World& w) {
         WriteEarlierUndoFile(w);
         OpenWindow(w);
         SelectBackupFile(w, "Undo20261201.reg");
         w.p.ui.answers = {kIdYes};
       },
       [](World& w) { w.form->backups.restoreButton.Click(); },
       [](World& w, const std::set<std::string>&) { return CheckRestoredInWindow(w); }},
      {"window: Restore Selected",
       [](World& w) {
         WriteEarlierUndoFile(w);
         OpenWindow(w);
         SelectBackupFile(w, "Undo20261201.reg");
         w.form->backups.rows.SelectionFromUser({0, 1});
         w.form->backups.rows.Click();
         w.p.ui.answers = {kIdYes};
       },
       [](World& w) { w.form->backups.restoreSelectedButton.Click(); },
       [](World& w, const std::set<std::string>&) { return CheckRestoredInWindow(w); }},
      {"window: hive restore",
       [](World& w) {
         TNTRegistry reg(w.p.registry);
         reg.SetRoot(kHkeyLocalMachine);
         reg.SaveKeyToFile("\\" + EntryKey("Beta"), kBackup + "Beta");
         w.p.registry.SetString(kHkeyLocalMachine, EntryKey("Beta"), "UninstallString", "C:\\Newer\\remove.exe");
         w.p.registry.SetString(kHkeyLocalMachine, EntryKey("Beta\\Added"), "Note", "since the backup");
         OpenWindow(w);
         SelectBackupFile(w, "Beta");
       },
       [](World& w) { w.form->backups.restoreButton.Click(); },
       [](World& w, const std::set<std::string>&) -> std::string {
         const std::vector<std::string> messages = w.p.ui.Texts("message");
         const bool restored = !messages.empty() && messages.front() == "Key Restored";
         if (w.RemovedMeanwhile(std::string("HKLM|[") + UpperCaseText(EntryKey("Beta")) + "]")) return "";
         const bool inPlace = UninstallStringOf(w, "Beta") == "C:\\Beta\\remove.exe /x" &&
                              !w.p.registry.KeyExists(kHkeyLocalMachine, EntryKey("Beta\\Added"));
         return restored && !inPlace ? "said Key Restored, but the key is not the backup's" : "";
       }},
      {"window: Delete File",
       [](World& w) {
         w.p.files.AddFile(kBackup + "Old.reg", "REGEDIT4\r\n\r\n");
         OpenWindow(w);
         SelectBackupFile(w, "Old.reg");
         w.p.ui.answers = {kIdYes};
       },
       [](World& w) { w.form->backups.deleteFileButton.Click(); },
       [](World& w, const std::set<std::string>&) -> std::string {
         const bool there = w.p.files.FileExistsAt(kBackup + "Old.reg");
         const bool complained = !w.p.ui.Texts("message").empty() || !w.p.ui.Texts("error").empty();
         if (!complained && there) return "said nothing, but the file is still there";
         for (const std::string& message : w.p.ui.Texts("message"))
           if (message == "File does not Exist." && there) return "said the file does not exist, but it is there";
         return "";
       }},
  };
  return commands;
}

// How often the console's commands ended with each exit code: the runs reach every outcome.
std::map<int, int> exitCodesSeen;

// One run of the command with the fault at the call: what broke a promise, or empty.
std::string RunOnce(const Command& command, int target, Fault fault, std::vector<std::string>* calls = nullptr) {
  World w;
  command.prepare(w);
  const std::set<std::string> before = Facts(w.p.registry);
  w.Start(target, fault);
  try {
    command.run(w);
  } catch (const std::exception& error) {
    w.Stop();
    return std::string("raised past the window and the console: ") + error.what();
  }
  w.Stop();
  if (calls) *calls = w.calls;
  if (Starts(command.name, "console")) ++exitCodesSeen[w.exitCode];
  std::string broken = command.check(w, before);
  if (w.p.registry.KeyExists(kHkeyUsers, std::string(kOwnMountPrefix) + kBob)) broken += "left Bob's hive loaded; ";
  w.RestoreWhatTheRunBackedUp();
  const std::set<std::string> after = Facts(w.p.registry);
  int lost = 0;
  std::string first;
  for (const std::string& fact : before) {
    if (after.count(fact) || w.RemovedMeanwhile(fact)) continue;
    if (lost++ == 0) first = fact;
  }
  if (lost > 0) broken += std::to_string(lost) + " facts lost, the first " + first;
  if (broken.empty()) return broken;
  broken += "\n  said:";
  for (const MemoryUi::Shown& shown : w.p.ui.shown)
    if (shown.kind != "ask") broken += " [" + shown.kind + "] " + shown.text;
  if (w.form) broken += " [status line] " + w.form->status.line.Caption();
  return broken + " " + w.console.out;
}

TEST(EveryFailingCall, NothingIsLostAndNothingIsSaidThatDidNotHappen) {
  int runs = 0, brokenRuns = 0, callsTried = 0;
  for (const Command& command : Commands()) {
    SCOPED_TRACE(command.name);
    std::vector<std::string> calls;
    ASSERT_EQ("", RunOnce(command, 0, Fault::kNone, &calls)) << "without a fault";
    ASSERT_FALSE(calls.empty());
    callsTried += static_cast<int>(calls.size());
    int broken = 0;
    for (int k = 1; k <= static_cast<int>(calls.size()); ++k) {
      std::vector<Fault> faults = FaultsAt(calls[k - 1]);
      faults.push_back(Fault::kUndoFileRemoved);
      for (const Fault fault : faults) {
        ++runs;
        const std::string problem = RunOnce(command, k, fault);
        if (problem.empty()) continue;
        ++broken;
        // The first few of each command are told whole; the count tells the rest.
        if (broken <= 3)
          ADD_FAILURE() << "call " << k << " (" << calls[k - 1] << "), " << FaultName(fault) << ": " << problem;
      }
    }
    brokenRuns += broken;
    std::printf("%-40s %4zu calls, %5d broken\n", command.name, calls.size(), broken);
  }
  std::printf("every failing call: %zu commands x %d calls x their failure kinds = %d runs, %d broke a promise\n",
              Commands().size(), callsTried, runs, brokenRuns);
  std::string codes;
  for (const auto& [code, count] : exitCodesSeen) codes += " " + std::to_string(code) + ": " + std::to_string(count);
  std::printf("the console's exit codes over these runs:%s\n", codes.c_str());
  EXPECT_EQ(0, brokenRuns);
  for (const int code : {kExitSuccess, kExitFailure, kExitNeedsElevation, kExitPartlyRemoved})
    EXPECT_GT(exitCodesSeen[code], 0) << "no run ended with exit code " << code;
}

}  // namespace
