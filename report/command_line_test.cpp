#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "backup/product_registration.h"
#include "inventory/inventory.h"
#include "inventory/product_code.h"
#include "inventory/status.h"
#include "platform/memory/memory_platform.h"
#include "report/command_line.h"
#include "report/entry_report.h"
#include "tests/support/installer_seeds.h"
#include "tests/support/other_accounts.h"
#include "tests/support/reg_file_reader.h"
#include "tests/support/registry_snapshot.h"

using namespace platform;
using Mode = CommandLine::Mode;
using Lines = std::vector<std::string>;

namespace {

const std::string kMachine = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const std::string kMachine32 = "SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const std::string kUser = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr const char* kUndo = "C:\\Tools\\Tidewell\\Backup\\Undo20261207.reg";
constexpr const char* kKnown = "{6A1C2C39-1F4E-4E57-9E10-0B6B3B6D2C11}";
constexpr const char* kForgotten = "{0F0F0F0F-1111-2222-3333-444444444444}";

TEST(CommandLineTest, Switches) {
  const struct {
    Lines arguments;
    Mode mode;
    bool json;
    bool yes;
    Lines targets;
    std::string out;
    bool taken;
    std::string undoFile = "";
    bool list = false;
    bool all = false;
    std::vector<int> lines = {};
    bool currentUserOnly = false;
  } cases[] = {
      {{"/list"}, Mode::kList, false, false, {}, "", true},
      {{"/LIST", "-Json"}, Mode::kList, true, false, {}, "", true},
      {{"/json", "/list"}, Mode::kList, true, false, {}, "", true},
      {{"/remove", "32-bit\\A", "B"}, Mode::kRemove, false, false, {"32-bit\\A", "B"}, "", true},
      {{"/remove-broken"}, Mode::kRemoveBroken, false, false, {}, "", true},
      {{"-remove-broken", "/YES"}, Mode::kRemoveBroken, false, true, {}, "", true},
      {{"/Check"}, Mode::kCheck, false, false, {}, "", true},
      {{"/out", "/tmp/list.txt", "/list"}, Mode::kList, false, false, {}, "/tmp/list.txt", true},
      {{"/remove", "A", "-OUT", "r.txt", "B"}, Mode::kRemove, false, false, {"A", "B"}, "r.txt", true},
      {{"/?"}, Mode::kUsage, false, false, {}, "", true},
      {{"/list", "/bogus", "/?"}, Mode::kUsage, false, false, {}, "", true},
      {{"/help"}, Mode::kUsage, false, false, {}, "", true},
      {{"/bogus"}, Mode::kUsage, false, false, {}, "", false},
      {{"/list", "/yes"}, Mode::kList, false, true, {}, "", false},
      {{"/json"}, Mode::kUsage, true, false, {}, "", false},
      {{"/check", "/json"}, Mode::kCheck, true, false, {}, "", false},
      {{"/check", "/list"}, Mode::kList, false, false, {}, "", false},
      {{"/remove"}, Mode::kRemove, false, false, {}, "", false},
      {{"/remove-broken", "/json"}, Mode::kRemoveBroken, true, false, {}, "", false},
      {{"/remove", "A", "/yes"}, Mode::kRemove, false, true, {"A"}, "", false},
      {{"/list", "/remove", "A"}, Mode::kRemove, false, false, {"A"}, "", false},
      {{"/list", "extra"}, Mode::kList, false, false, {"extra"}, "", false},
      {{"/list", "/out"}, Mode::kList, false, false, {}, "", false},
      {{"/list", "/out", ""}, Mode::kList, false, false, {}, "", false},
      {{"/out", "a", "/out", "b", "/list"}, Mode::kList, false, false, {}, "a", false},
      {{"/out", "a"}, Mode::kUsage, false, false, {}, "a", false},
      {{"list"}, Mode::kUsage, false, false, {"list"}, "", false},
      {{""}, Mode::kUsage, false, false, {""}, "", false},
      {{"/"}, Mode::kUsage, false, false, {"/"}, "", false},
      {{"/restore", "Undo.reg", "/list"}, Mode::kRestore, false, false, {}, "", true, "Undo.reg", true},
      {{"/list", "/JSON", "-restore", "C:\\B\\u.reg"}, Mode::kRestore, true, false, {}, "", true, "C:\\B\\u.reg", true},
      {{"/restore", "u.reg", "32-bit\\A", "B", "/line", "12"}, Mode::kRestore, false, false, {"32-bit\\A", "B"}, "", true,
       "u.reg", false, false, {12}},
      {{"/restore", "u.reg", "/all", "/out", "r.txt"}, Mode::kRestore, false, false, {}, "r.txt", true, "u.reg", false, true},
      {{"/restore"}, Mode::kRestore, false, false, {}, "", false},
      {{"/restore", "u.reg"}, Mode::kRestore, false, false, {}, "", false},
      {{"/restore", "u.reg", "/all", "A"}, Mode::kRestore, false, false, {}, "", false},
      {{"/restore", "u.reg", "/list", "/all"}, Mode::kRestore, false, false, {}, "", false},
      {{"/restore", "u.reg", "/all", "/json"}, Mode::kRestore, false, false, {}, "", false},
      {{"/restore", "u.reg", "/line"}, Mode::kRestore, false, false, {}, "", false},
      {{"/restore", "u.reg", "/line", "0"}, Mode::kRestore, false, false, {}, "", false},
      {{"/restore", "u.reg", "/line", "3x"}, Mode::kRestore, false, false, {}, "", false},
      {{"/restore", "u.reg", "/remove", "A"}, Mode::kRestore, false, false, {}, "", false},
      {{"/all"}, Mode::kUsage, false, false, {}, "", false},
      {{"/list", "/line", "3"}, Mode::kList, false, false, {}, "", false},
      {{"/list", "/USER", "Current"}, Mode::kList, false, false, {}, "", true, "", false, false, {}, true},
      {{"/user", "current", "/remove", "A"}, Mode::kRemove, false, false, {"A"}, "", true, "", false, false, {}, true},
      {{"/list", "/user"}, Mode::kList, false, false, {}, "", false},
      {{"/list", "/user", "ann"}, Mode::kList, false, false, {}, "", false},
  };
  for (const auto& c : cases) {
    const CommandLine line = ParseCommandLine(c.arguments);
    const std::string what = ::testing::PrintToString(c.arguments);
    EXPECT_EQ(c.taken, line.error.empty()) << what << ": " << line.error;
    if (!c.taken) continue;
    EXPECT_EQ(c.mode, line.mode) << what;
    EXPECT_EQ(c.json, line.json) << what;
    EXPECT_EQ(c.yes, line.yes) << what;
    EXPECT_EQ(c.targets, line.targets) << what;
    EXPECT_EQ(c.out, line.outFile) << what;
    EXPECT_EQ(c.undoFile, line.undoFile) << what;
    EXPECT_EQ(c.list, line.list) << what;
    EXPECT_EQ(c.all, line.all) << what;
    EXPECT_EQ(c.lines, line.lines) << what;
    EXPECT_EQ(c.currentUserOnly, line.currentUserOnly) << what;
  }
}

// A machine of each kind of entry: listed ones of every status in each list, a product the
// installer knows and one it has forgotten, and an entry the main list leaves out.
struct Machine {
  explicit Machine(bool wow64) : wow64(wow64) {
    if (wow64) p.SetWow64();
    p.files.AddFile("C:\\Apps\\tool.exe");
    p.files.AddFile("C:\\WINDOWS\\system32\\MsiExec.exe");
    if (wow64) p.files.AddFile("C:\\WINDOWS\\SysWOW64\\MsiExec.exe");
    p.system.productStates[kKnown] = kInstallStateDefault;
    const std::string machine = wow64 ? kMachine32 : kMachine;
    Seed(kHkeyLocalMachine, machine + "\\Tool", "Tool", "\"C:\\Apps\\tool.exe\" /S");
    Seed(kHkeyLocalMachine, machine + "\\Gone", "Gone \"Tool\"", "C:\\Apps\\gone.exe");
    Seed(kHkeyLocalMachine, machine + "\\" + kKnown, "Known Product", std::string("MsiExec.exe /X") + kKnown);
    p.registry.SetValue(kHkeyLocalMachine, machine + "\\" + kKnown, "WindowsInstaller", kRegDword,
                        std::string("\x01\0\0\0", 4));
    Seed(kHkeyLocalMachine, machine + "\\Forgotten", "Forgotten Product", std::string("MsiExec.exe /I") + kForgotten);
    Seed(kHkeyLocalMachine, machine + "\\Shared", "Shared", "C:\\Apps\\tool.exe /shared");
    Seed(kHkeyLocalMachine, machine + "\\Away", "Away", "A:\\setup.exe");
    p.files.AddDrive('A', kDriveRemovable);
    p.registry.SetString(kHkeyLocalMachine, machine + "\\Hidden", "Comment", "no display name");
    Seed(kHkeyCurrentUser, kUser + "\\Shared", "Shared (mine)", "C:\\Users\\ann\\gone\\Update.exe");
    Seed(kHkeyCurrentUser, kUser + "\\Chat", "Chat", "C:\\Apps\\tool.exe --chat");
    if (wow64) Seed(kHkeyLocalMachine, kMachine + "\\Big", "Big 64", "C:\\WINDOWS\\system32\\big.exe");
  }
  void Seed(Hkey root, const std::string& key, const std::string& name, const std::string& command) {
    p.registry.SetString(root, key, "DisplayName", name);
    p.registry.SetString(root, key, "UninstallString", command);
    p.registry.SetValue(root, key + "\\Parts", "Size", kRegDword, std::string("\x10\0\0\0", 4));
  }
  int Run(const Lines& arguments) {
    console = MemoryConsole();
    return RunCommandLine(arguments, p.platform(), console);
  }
  // Both lists of this program and the user's, with the day's undo file merged over them.
  regfile::Tree Lists(bool merged) {
    regfile::Tree machine = regfile::Snapshot(p.registry, kHkeyLocalMachine, "SOFTWARE");
    regfile::Tree user = regfile::Snapshot(p.registry, kHkeyCurrentUser, "Software");
    if (merged && p.files.FileExistsAt(kUndo)) {
      const regfile::Merge merge = regfile::Read(p.files.Content(kUndo));
      merge.ApplyTo(machine, "HKEY_LOCAL_MACHINE");
      merge.ApplyTo(user, "HKEY_CURRENT_USER");
    }
    for (const auto& [key, values] : user) machine["HKCU\\" + key] = values;
    return machine;
  }
  Lines OutLines() const {
    Lines lines;
    size_t start = 0;
    for (size_t at; (at = console.out.find('\n', start)) != std::string::npos; start = at + 1)
      lines.push_back(console.out.substr(start, at - start));
    return lines;
  }

  bool wow64;
  MemoryPlatform p;
  MemoryConsole console;
};

TEST(CommandLineTest, ABadCommandLineSaysWhyInOneLineAndChangesNothing) {
  for (const Lines& arguments : std::vector<Lines>{{"/bogus"}, {"/remove"}, {"/json"}, {"/remove-broken", "/json"},
                                                   {"/list", "/remove", "Tool"}, {"/list", "Tool"}, {"/yes"},
                                                   {"/restore", "Undo20261207.reg"}, {"/restore", "/all"}}) {
    Machine m(false);
    const regfile::Tree before = m.Lists(false);
    EXPECT_EQ(kExitBadSwitch, m.Run(arguments));
    const std::string what = ::testing::PrintToString(arguments);
    EXPECT_EQ("", m.console.out) << what;
    EXPECT_EQ(0u, m.console.error.rfind("Tidewell: ", 0)) << what << m.console.error;
    EXPECT_EQ(m.console.error.size() - 1, m.console.error.find('\n')) << what << ": one line";
    EXPECT_EQ(regfile::Describe(before), regfile::Describe(m.Lists(false))) << what;
    EXPECT_FALSE(m.p.files.FileExistsAt(kUndo)) << what;
  }
  Machine m(false);
  EXPECT_EQ(kExitSuccess, m.Run({"/?"}));
  EXPECT_EQ(Usage(), m.console.out);
  EXPECT_EQ("", m.console.error);
}

// The report says of each entry what the window's scan says: the same entries, each with the same
// display name, status, reason and command; the scan checks the entries the main list shows.
TEST(CommandLineTest, TheListIsWhatTheWindowsScanFinds) {
  for (const bool wow64 : {false, true}) {
    Machine m(wow64);
    std::vector<Entry> entries = ReadInventory(m.p.registry, wow64).entries;
    ScanChecker checker(m.p.files, m.p.system);
    for (Entry& entry : entries) {
      if (!entry.Listed()) continue;
      const StatusResult result = checker.Check(entry);
      entry.status = result.status;
      entry.reason = result.reason;
    }
    ASSERT_EQ(kExitSuccess, m.Run({"/list"}));
    const Lines lines = m.OutLines();
    ASSERT_EQ(entries.size() + 1, lines.size()) << m.console.out;
    std::map<std::string, Lines> byName;
    std::string previousShown;
    for (size_t i = 1; i < lines.size(); ++i) {
      Lines fields;
      size_t start = 0;
      for (size_t at; (at = lines[i].find('\t', start)) != std::string::npos; start = at + 1)
        fields.push_back(lines[i].substr(start, at - start));
      fields.push_back(lines[i].substr(start));
      ASSERT_EQ(6u, fields.size()) << lines[i];
      byName[fields[0] + "\\" + fields[1]] = fields;
      // In the window's first order: by the name shown, the key name where there is none.
      const std::string shown = fields[2].empty() ? fields[1] : fields[2];
      if (!previousShown.empty()) { EXPECT_LE(m.p.system.SortKey(previousShown, false), m.p.system.SortKey(shown, false)) << shown; }
      previousShown = shown;
    }
    int broken = 0;
    for (const Entry& entry : entries) {
      const Lines& fields = byName[EntryName(entry)];
      ASSERT_EQ(6u, fields.size()) << EntryName(entry) << " is in the report";
      EXPECT_EQ(entry.displayName, fields[2]);
      EXPECT_EQ(StatusName(entry.status), fields[3]) << EntryName(entry);
      if (entry.Listed()) { EXPECT_EQ(entry.reason, fields[4]) << EntryName(entry); }
      EXPECT_EQ(entry.uninstallString, fields[5]);
      broken += entry.status == kBrokenLink ? 1 : 0;
    }
    EXPECT_EQ(wow64 ? 4 : 3, broken) << "Gone, Forgotten, the user's Shared and the 64-bit Big";
    EXPECT_EQ("Broken Link", byName["32-bit\\Forgotten"][3]);
    EXPECT_EQ("the system installer does not know product " + std::string(kForgotten),
              byName["32-bit\\Forgotten"][4]);
    EXPECT_EQ("Good Link", byName["32-bit\\" + std::string(kKnown)][3]);
    EXPECT_EQ("Missing Disk", byName["32-bit\\Away"][3]);
    EXPECT_EQ("", byName["32-bit\\Hidden"][3]);
    if (wow64) { EXPECT_EQ("Broken Link", byName["64-bit\\Big"][3]); }

    ASSERT_EQ(kExitSuccess, m.Run({"/list", "/json"}));
    const nlohmann::json json = nlohmann::json::parse(m.console.out);
    ASSERT_EQ(entries.size(), json.size());
    for (const nlohmann::json& object : json) {
      const Lines& fields = byName[object["source"].get<std::string>() + "\\" + object["key"].get<std::string>()];
      ASSERT_EQ(6u, fields.size());
      EXPECT_EQ(fields[3], object["status"].is_null() ? "" : object["status"].get<std::string>());
      EXPECT_EQ(fields[4], object["reason"].get<std::string>());
    }
  }
}

TEST(CommandLineTest, RemoveTakesTheNamedEntriesAsRemoveEntryDoes) {
  const struct {
    const char* what;
    Lines targets;
    int exitCode;
    Lines out;
    Lines gone;  // "source\key"
  } cases[] = {
      {"one entry by source and key", {"32-bit\\Tool"}, kExitSuccess, {"removed 32-bit\\Tool"}, {"32-bit\\Tool"}},
      {"letter case of source and key does not count", {"USER\\chat"}, kExitSuccess, {"removed user\\Chat"},
       {"user\\Chat"}},
      {"a plain key that one list has", {"Gone"}, kExitSuccess, {"removed 32-bit\\Gone"}, {"32-bit\\Gone"}},
      {"a plain key that two lists have",
       {"Shared"},
       kExitFailure,
       {"not removed Shared: more than one list has it (32-bit, user): name it as SOURCE\\KEY"},
       {}},
      {"no such entry, then one that is there",
       {"32-bit\\Nothing", "user\\Shared"},
       kExitFailure,
       {"not removed 32-bit\\Nothing: no such entry", "removed user\\Shared"},
       {"user\\Shared"}},
      {"an unknown source", {"machine\\Tool"}, kExitFailure,
       {"not removed machine\\Tool: unknown source \"machine\": 64-bit, 32-bit, user or user:NAME"}, {}},
      {"a key the main list leaves out", {"32-bit\\Hidden"}, kExitSuccess, {"removed 32-bit\\Hidden"},
       {"32-bit\\Hidden"}},
      {"every one named", {"32-bit\\Tool", "32-bit\\Away"}, kExitSuccess, {"removed 32-bit\\Tool", "removed 32-bit\\Away"},
       {"32-bit\\Tool", "32-bit\\Away"}},
  };
  for (const auto& c : cases) {
    Machine m(false);
    const regfile::Tree before = m.Lists(false);
    Lines arguments{"/remove"};
    arguments.insert(arguments.end(), c.targets.begin(), c.targets.end());
    EXPECT_EQ(c.exitCode, m.Run(arguments)) << c.what;
    EXPECT_EQ(c.out, m.OutLines()) << c.what;
    for (const std::string& name : c.gone) {
      const bool user = name.rfind("user\\", 0) == 0;
      const std::string key = (user ? kUser : kMachine) + "\\" + name.substr(name.find('\\') + 1);
      EXPECT_FALSE(m.p.registry.KeyExists(user ? kHkeyCurrentUser : kHkeyLocalMachine, key)) << c.what << ": " << name;
    }
    // The undo file brings back exactly what went.
    EXPECT_EQ(regfile::Describe(before), regfile::Describe(m.Lists(true))) << c.what;
    EXPECT_EQ(c.gone.empty(), !m.p.files.FileExistsAt(kUndo)) << c.what;
    EXPECT_TRUE(m.p.system.mutexHeld.empty() || !m.p.system.mutexHeld.begin()->second) << "the undo lock is let go";
  }
}

TEST(CommandLineTest, RemoveNamesTheSixtyFourBitListApart) {
  Machine m(true);
  m.Seed(kHkeyLocalMachine, kMachine + "\\Tool", "Tool 64", "C:\\Apps\\tool.exe");
  EXPECT_EQ(kExitFailure, m.Run({"/remove", "Tool"}));
  EXPECT_EQ((Lines{"not removed Tool: more than one list has it (64-bit, 32-bit): name it as SOURCE\\KEY"}), m.OutLines());
  EXPECT_EQ(kExitSuccess, m.Run({"/remove", "64-bit\\Tool"}));
  EXPECT_FALSE(m.p.registry.KeyExists(kHkeyLocalMachine, kMachine + "\\Tool"));
  EXPECT_TRUE(m.p.registry.KeyExists(kHkeyLocalMachine, kMachine32 + "\\Tool"));
  EXPECT_NE(std::string::npos, m.p.files.Content(kUndo).find("[HKEY_LOCAL_MACHINE\\" + kMachine + "\\Tool]"));
}

TEST(CommandLineTest, RemoveBrokenListsUnlessToldYes) {
  Machine m(false);
  const regfile::Tree before = m.Lists(false);
  EXPECT_EQ(kExitSuccess, m.Run({"/remove-broken"}));
  const Lines listed = m.OutLines();
  EXPECT_EQ(4u, listed.size()) << m.console.out;
  EXPECT_EQ("3 entries would be removed: add /yes to remove them", listed.back());
  EXPECT_EQ(regfile::Describe(before), regfile::Describe(m.Lists(false))) << "nothing removed";
  EXPECT_FALSE(m.p.files.FileExistsAt(kUndo));

  EXPECT_EQ(kExitSuccess, m.Run({"/remove-broken", "/yes"}));
  Lines removed = m.OutLines();
  std::sort(removed.begin(), removed.end());
  EXPECT_EQ((Lines{"removed 32-bit\\Forgotten", "removed 32-bit\\Gone", "removed user\\Shared"}), removed);
  for (size_t i = 0; i + 1 < listed.size(); ++i)
    EXPECT_EQ(0u, listed[i].rfind("would remove ", 0)) << listed[i];
  EXPECT_FALSE(m.p.registry.KeyExists(kHkeyLocalMachine, kMachine + "\\Forgotten"));
  EXPECT_TRUE(m.p.registry.KeyExists(kHkeyLocalMachine, kMachine + "\\" + kKnown));
  EXPECT_TRUE(m.p.registry.KeyExists(kHkeyLocalMachine, kMachine + "\\Away")) << "Missing Disk stays";
  EXPECT_EQ(regfile::Describe(before), regfile::Describe(m.Lists(true)));

  EXPECT_EQ(kExitSuccess, m.Run({"/remove-broken", "/yes"}));
  EXPECT_EQ(Lines{"no Broken Link entries"}, m.OutLines());
}

TEST(CommandLineTest, RemoveProductTakesTheWholeRegistrationOrSaysWhyNot) {
  const std::string ledger = "{A1B2C3D4-E5F6-4718-9A0B-1C2D3E4F5061}";
  const std::string other = "{B0000000-0000-4000-8000-00000000000B}";
  const std::string component = "{5E1D0C4B-0000-4000-8000-00000000C0DE}";
  const struct {
    const char* what;
    std::function<void(Machine&)> before;
    Lines arguments;
    int exitCode;
    Lines out;
    bool removed;
  } cases[] = {
      {"a stuck product", {}, {"/remove-product", ledger}, kExitSuccess, {"removed " + ledger + " (Tide Ledger)"}, true},
      {"its code in lower case, twice", {}, {"/remove-product", "{a1b2c3d4-e5f6-4718-9a0b-1c2d3e4f5061}", ledger},
       kExitFailure, {"removed " + ledger + " (Tide Ledger)", "not an installed product " + ledger + ": nothing removed"},
       true},
      {"no product code", {}, {"/remove-product", "Tide Ledger"}, kExitFailure,
       {"not removed Tide Ledger: not a product code, which reads {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"}, false},
      {"a key of it closed to the user",
       [](Machine& m) {
         m.p.registry.LimitAccess(kHkeyLocalMachine, std::string(installer_seeds::kInstaller) + "\\UserData\\S-1-5-18\\Products\\" +
                                                         PackedProductCode("{A1B2C3D4-E5F6-4718-9A0B-1C2D3E4F5061}"),
                                  kKeyRead);
       },
       {"/remove-product", ledger}, kExitNeedsElevation,
       {"not removed " + ledger + " (Tide Ledger): access denied: run it from an elevated prompt"}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    // 32-bit Windows: the lists compared are those of the program's own view.
    Machine m(false);
    installer_seeds::SeedRegistration(m.p.registry, {other, "", "Neighbour", "S-1-5-18", {component}});
    installer_seeds::SeedRegistration(m.p.registry, {ledger, "{A9000000-0000-4000-8000-0000000000A9}", "Tide Ledger",
                                                     "S-1-5-18", {component}, {}, kMachine + "\\" + ledger});
    const regfile::Tree before = m.Lists(false);
    if (c.before) c.before(m);
    EXPECT_EQ(c.exitCode, m.Run(c.arguments));
    EXPECT_EQ(c.out, m.OutLines());
    const InstallerPlaces places{false, m.p.system.userSid};
    EXPECT_EQ(c.removed, FindRegistration(m.p.registry, places, ledger).Empty());
    EXPECT_FALSE(FindRegistration(m.p.registry, places, other).Empty()) << "the other product is untouched";
    EXPECT_EQ(regfile::Describe(before), regfile::Describe(m.Lists(true))) << "the undo file gives it all back";
    if (!c.removed) continue;
    EXPECT_EQ(kExitSuccess, m.Run({"/restore", "Undo20261207.reg", ledger}));
    EXPECT_EQ(Lines{"restored machine\\" + ledger + " (line 3)"}, m.OutLines());
    EXPECT_EQ(regfile::Describe(before), regfile::Describe(m.Lists(false)));
  }
}

TEST(CommandLineTest, RemoveBrokenNamesTheCommandThatCleansAStuckProduct) {
  Machine m(false);
  // The installer has forgotten the product, but a component still counts it among its clients.
  installer_seeds::SeedRegistration(
      m.p.registry, {kForgotten, "", "Forgotten Product", "S-1-5-18", {"{5E1D0C4B-0000-4000-8000-00000000C0DE}"}, {}, "", false, false, false});
  EXPECT_EQ(kExitSuccess, m.Run({"/remove-broken"}));
  EXPECT_NE(std::string::npos, m.console.out.find(std::string("installer product ") + kForgotten +
                                                   " (Forgotten Product) is registered still: tidewell /remove-product " +
                                                   kForgotten + " removes its whole registration\n"))
      << m.console.out;
  EXPECT_EQ(std::string::npos, m.console.out.find(std::string("installer product ") + kKnown)) << "a product that works";
}

TEST(CommandLineTest, CheckExitsOneWhileThereIsABrokenLinkEntry) {
  Machine m(false);
  EXPECT_EQ(kExitBrokenFound, m.Run({"/check"}));
  Lines lines = m.OutLines();
  ASSERT_EQ(4u, lines.size()) << m.console.out;
  EXPECT_EQ("3 Broken Link entries: /remove-broken /yes removes them", lines.front());
  lines.erase(lines.begin());
  std::sort(lines.begin(), lines.end());
  EXPECT_EQ((Lines{"32-bit\\Forgotten: the system installer does not know product " + std::string(kForgotten),
                   "32-bit\\Gone: Not found: C:\\Apps\\gone.exe (looked for C:\\Apps\\gone.exe, "
                   "C:\\Apps\\gone.exe.*, C:\\Apps and 1 more)",
                   "user\\Shared: Not found: C:\\Users\\ann\\gone\\Update.exe (looked for "
                   "C:\\Users\\ann\\gone\\Update.exe, C:\\Users\\ann\\gone\\Update.exe.*, "
                   "C:\\Users\\ann\\gone and 3 more)"}),
            lines);
  EXPECT_FALSE(m.p.files.FileExistsAt(kUndo)) << "a check changes nothing";
  ASSERT_EQ(kExitSuccess, m.Run({"/remove-broken", "/yes"}));
  EXPECT_EQ(kExitSuccess, m.Run({"/check"}));
  EXPECT_EQ(Lines{"no Broken Link entries"}, m.OutLines());
}

// An entry or a list that cannot be read is named with why, and the check never says "none" over
// it: exit code 4, or 1 when a Broken Link entry was found all the same.
TEST(CommandLineTest, CheckNamesWhatItCouldNotReadAndDoesNotSayNone) {
  const struct {
    const char* what;
    bool broken;  // the Broken Link entries left in place
    std::function<void(Machine&)> spoil;
    int exitCode;
    std::string head;
    Lines unread;  // the lines after the Broken Link entries'
    std::string error;
  } cases[] = {
      {"an entry's key that does not open", false,
       [](Machine& m) { m.p.registry.LimitAccess(kHkeyLocalMachine, kMachine + "\\Tool", 0); }, kExitCheckFailed,
       "no Broken Link entries among those read; 1 entry could not be read",
       {"32-bit\\Tool: could not be read: Access is denied."}, "32-bit\\Tool"},
      {"an entry whose values do not read", false,
       [](Machine& m) {
         m.p.registry.interfere = [](const std::string& call, const std::string& path, const std::string& name) {
           const bool chat = path.size() >= 5 && path.compare(path.size() - 5, 5, "\\Chat") == 0;
           return call == "read" && chat && name == "DisplayName" ? kErrorMoreData : kErrorSuccess;
         };
       },
       kExitCheckFailed, "no Broken Link entries among those read; 1 entry could not be read",
       {"user\\Chat: could not be read: Failed to get data for 'DisplayName'"}, "user\\Chat"},
      {"a whole list that does not open", false,
       [](Machine& m) { m.p.registry.LimitAccess(kHkeyCurrentUser, kUser, 0); }, kExitCheckFailed,
       "no Broken Link entries among those read; 1 list could not be read",
       {"the user list: could not be read: Access is denied."}, "the user list"},
      {"a Broken Link entry found beside them", true,
       [](Machine& m) {
         m.p.registry.LimitAccess(kHkeyLocalMachine, kMachine + "\\Tool", 0);
         m.p.registry.LimitAccess(kHkeyLocalMachine, kMachine + "\\Away", 0);
       },
       kExitBrokenFound, "3 Broken Link entries: /remove-broken /yes removes them; 2 entries could not be read",
       {"32-bit\\Tool: could not be read: Access is denied.", "32-bit\\Away: could not be read: Access is denied."},
       "32-bit\\Tool, 32-bit\\Away"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Machine m(false);
    if (!c.broken) {
      ASSERT_EQ(kExitSuccess, m.Run({"/remove-broken", "/yes"}));
    }
    c.spoil(m);
    EXPECT_EQ(c.exitCode, m.Run({"/check"}));
    const Lines lines = m.OutLines();
    ASSERT_EQ(1 + (c.broken ? 3 : 0) + c.unread.size(), lines.size()) << m.console.out;
    EXPECT_EQ(c.head, lines.front());
    EXPECT_EQ(c.unread, Lines(lines.end() - c.unread.size(), lines.end()));
    EXPECT_EQ("Tidewell: could not read, so could not check: " + c.error + "\n", m.console.error);
  }
}

// /out takes what the command would write to the standard output, byte for byte, in place of the
// file, once the output is whole: the command may read the file it writes, and output that is not
// whole leaves the file as it was. A file that cannot be written stops the command before it
// changes anything. Nothing is left beside the file.
TEST(CommandLineTest, OutWritesTheOutputToAFile) {
  constexpr const char* kOut = "C:\\Reports\\out.txt";
  for (const Lines& command : std::vector<Lines>{{"/list"}, {"/list", "/json"}, {"/check"}, {"/remove-broken"},
                                                 {"/remove", "32-bit\\Tool", "Nothing"}}) {
    const std::string what = ::testing::PrintToString(command);
    Machine plain(false), out(false);
    const int code = plain.Run(command);
    out.p.files.AddFolder("C:\\Reports");
    out.p.files.AddFile(kOut, std::string(100000, 'x'));
    Lines arguments = command;
    arguments.insert(arguments.end(), {"/out", kOut});
    EXPECT_EQ(code, out.Run(arguments)) << what;
    EXPECT_EQ("", out.console.out) << what;
    EXPECT_EQ(plain.console.error, out.console.error) << what;
    EXPECT_EQ(plain.console.out, out.p.files.Content(kOut)) << what;
    EXPECT_EQ(Lines{"out.txt"}, out.p.files.List("C:\\Reports")) << what;
  }
  // A registry file named as FILE (the undo file it reads, the day's undo file) is not replaced: its
  // backups would be lost. The day's undo file not there yet: the removal cannot write its lines to
  // it while the command runs, and so removes nothing.
  for (const Lines& command : std::vector<Lines>{{"/restore", "Undo20261207.reg", "/list"}, {"/remove", "32-bit\\Tool"}}) {
    Machine m(false);
    ASSERT_EQ(kExitSuccess, m.Run({"/remove", "32-bit\\Gone"}));
    const std::string undo = m.p.files.Content(kUndo);
    const regfile::Tree lists = m.Lists(false);
    Lines arguments = command;
    arguments.insert(arguments.end(), {"/out", kUndo});
    EXPECT_EQ(kExitFailure, m.Run(arguments));
    EXPECT_EQ(std::string("Tidewell: /out would replace ") + kUndo +
                  ", a registry file whose backups would be lost: nothing was done; name another file\n",
              m.console.error);
    EXPECT_EQ(undo, m.p.files.Content(kUndo));
    EXPECT_EQ(regfile::Describe(lists), regfile::Describe(m.Lists(false)));
  }
  {
    Machine m(false);
    m.p.files.AddFolder("C:\\Tools\\Tidewell\\Backup");
    const regfile::Tree lists = m.Lists(false);
    EXPECT_EQ(kExitFailure, m.Run({"/remove", "32-bit\\Tool", "/out", kUndo}));
    EXPECT_EQ(regfile::Describe(lists), regfile::Describe(m.Lists(false)));
    EXPECT_EQ(0u, m.p.files.Content(kUndo).rfind("not removed 32-bit\\Tool: ", 0)) << m.p.files.Content(kUndo);
  }
  const struct {
    const char* what;
    Lines command;
    std::function<void(MemoryPlatform&)> spoil;
    int exitCode;
    std::string why;
  } failures[] = {
      {"a folder that is not there", {"/remove", "32-bit\\Tool", "/out", "C:\\Missing\\out.txt"}, nullptr,
       kExitFailure, "C:\\Missing\\out.txt: The system cannot find the path specified."},
      {"a folder that is not there, /check", {"/check", "/out", "C:\\Missing\\out.txt"}, nullptr, kExitCheckFailed,
       "C:\\Missing\\out.txt: The system cannot find the path specified."},
      {"a read-only file", {"/remove", "32-bit\\Tool", "/out", kOut},
       [](MemoryPlatform& p) { p.files.SetAttributes(kOut, kFileAttributeReadOnly); }, kExitFailure,
       std::string(kOut) + ": Access is denied."},
      {"a write that fails", {"/restore", "Undo20261207.reg", "/list", "/out", kOut},
       [](MemoryPlatform& p) { p.files.FailWriteAfter(1); }, kExitFailure,
       std::string(kOut) + ": The system cannot write to the specified device."},
      {"a flush that fails", {"/restore", "Undo20261207.reg", "/list", "/out", kOut},
       [](MemoryPlatform& p) { p.files.FailFlushes(true); }, kExitFailure,
       std::string(kOut) + ": The system cannot write to the specified device."},
  };
  for (const auto& c : failures) {
    SCOPED_TRACE(c.what);
    Machine m(false);
    ASSERT_EQ(kExitSuccess, m.Run({"/remove", "32-bit\\Gone"}));
    m.p.files.AddFolder("C:\\Reports");
    m.p.files.AddFile(kOut, "the report before");
    const std::string undo = m.p.files.Content(kUndo);
    const regfile::Tree before = m.Lists(false);
    if (c.spoil) c.spoil(m.p);
    EXPECT_EQ(c.exitCode, m.Run(c.command));
    EXPECT_EQ("Tidewell: cannot write " + c.why + "\n", m.console.error);
    EXPECT_EQ(regfile::Describe(before), regfile::Describe(m.Lists(false)));
    EXPECT_EQ(undo, m.p.files.Content(kUndo));
    EXPECT_EQ(Lines{"Undo20261207.reg"}, m.p.files.List("C:\\Tools\\Tidewell\\Backup"));
    if (m.p.files.FileExistsAt(kOut)) {
      EXPECT_EQ("the report before", m.p.files.Content(kOut)) << "a failed output leaves the file as it was";
      EXPECT_EQ(Lines{"out.txt"}, m.p.files.List("C:\\Reports")) << "and nothing beside it";
    }
  }
}

// Without elevation the machine's lists are the registry's to refuse (a user's own list is not): the
// removal it refuses is the last, says so with what went before it, and the rest stays.
TEST(CommandLineTest, ARemovalRefusedForLackOfRightsStopsTheRemovals) {
  const struct {
    Lines arguments;
    std::string refusedKey;  // below the machine's list
    Lines removed;
    std::string stoppedAt;
    std::string why;  // the start of what its line says after the name
    Lines kept;
    std::string said = "not removed ";
  } cases[] = {
      {{"/remove", "user\\Chat", "32-bit\\Gone", "user\\Shared"}, "Gone", {"user\\Chat"}, "32-bit\\Gone",
       "access denied: run it from an elevated prompt\n", {"32-bit\\Gone", "user\\Shared"}},
      {{"/remove", "32-bit\\Gone", "user\\Chat"}, "Gone", {}, "32-bit\\Gone",
       "access denied: run it from an elevated prompt\n", {"32-bit\\Gone", "user\\Chat"}},
      // A key inside the entry: what came before it in the entry is gone, and is in the undo file.
      {{"/remove-broken", "/yes"}, "Forgotten\\Parts", {"32-bit\\Gone"}, "32-bit\\Forgotten",
       "access denied: run it from an elevated prompt. Tidewell partly removed 'Forgotten': 1 value "
       "remains in HKEY_LOCAL_MACHINE\\" + kMachine + "\\Forgotten\\Parts",
       {"32-bit\\Forgotten", "user\\Shared"}, "partly removed "},
  };
  for (const auto& c : cases) {
    const std::string what = ::testing::PrintToString(c.arguments);
    Machine m(false);
    const regfile::Tree before = m.Lists(false);
    m.p.registry.LimitAccess(kHkeyLocalMachine, kMachine + "\\" + c.refusedKey, kKeyRead);
    EXPECT_EQ(kExitNeedsElevation, m.Run(c.arguments)) << what;
    std::string removed, lines;
    for (const std::string& name : c.removed) {
      removed += (removed.empty() ? "" : ", ") + name;
      lines += "removed " + name + "\n";
    }
    EXPECT_EQ(0u, m.console.out.rfind(lines + c.said + c.stoppedAt + ": " + c.why, 0)) << what << m.console.out;
    EXPECT_EQ(m.console.out.size() - 1, m.console.out.find('\n', lines.size())) << what << ": nothing after it";
    EXPECT_EQ("Tidewell: stopped at " + c.stoppedAt +
                  ", which the registry refused for lack of rights: run it from an elevated prompt. Nothing after it "
                  "was removed; removed before it: " + (removed.empty() ? "nothing" : removed) + ".\n",
              m.console.error) << what;
    for (const std::string& name : c.kept) {
      const bool user = name.rfind("user\\", 0) == 0;
      const std::string key = (user ? kUser : kMachine) + "\\" + name.substr(name.find('\\') + 1);
      EXPECT_TRUE(m.p.registry.KeyExists(user ? kHkeyCurrentUser : kHkeyLocalMachine, key)) << what << ": " << name;
    }
    EXPECT_EQ(regfile::Describe(before), regfile::Describe(m.Lists(true))) << what << ": the undo file";
    EXPECT_EQ(c.removed.empty(), !m.p.files.FileExistsAt(kUndo)) << what << ": a refused entry is not written";
  }
}

TEST(CommandLineTest, TheConsoleProgramWithoutArgumentsStartsTheWindow) {
  Machine m(false);
  m.console = MemoryConsole();
  EXPECT_EQ(kExitSuccess, RunConsoleProgram({}, m.p.platform(), m.console));
  ASSERT_EQ(1u, m.p.ui.shown.size());
  EXPECT_EQ("C:\\Tools\\Tidewell\\Tidewell.exe", m.p.ui.shown[0].text);
  EXPECT_EQ("", m.console.out + m.console.error);

  m.p.ui.shellResults["C:\\Tools\\Tidewell\\Tidewell.exe"] = 2;
  EXPECT_EQ(kExitFailure, RunConsoleProgram({}, m.p.platform(), m.console));
  EXPECT_EQ("Tidewell: C:\\Tools\\Tidewell\\Tidewell.exe did not start: the file was not found\n", m.console.error);
  EXPECT_EQ(kExitSuccess, RunConsoleProgram({"/?"}, m.p.platform(), m.console));
  EXPECT_EQ(Usage(), m.console.out);
}

// Started from Explorer, with a console window of its own: a double click opens the window without a
// console in the way, a dropped undo file has its backups listed, and whatever it says stays until a
// key is pressed. From a prompt, nothing of that.
TEST(CommandLineTest, StartedFromExplorerItsConsoleWindowIsHiddenOrKeptUntilAKey) {
  const std::string undo = "C:\\Tools\\Tidewell\\Backup\\Undo20261201.reg";
  const struct {
    bool fromExplorer;
    Lines arguments;
    int exitCode;
    const char* said;  // the start of the error stream, or of the output when there is no error
    bool hidden;
    int keyWaits;
  } cases[] = {
      {true, {}, kExitSuccess, "", true, 0},
      {true, {undo}, kExitSuccess, "line\twhen\twhat\tsource\tkey\tname\tstate\twhy\n", false, 1},
      {true, {"C:\\Docs\\notes.txt"}, kExitBadSwitch, "Tidewell: C:\\Docs\\notes.txt is not an undo file.", false, 1},
      {true, {"/check"}, kExitSuccess, "no Broken Link entries\n\nPress a key to close this window.\n", false, 1},
      {false, {undo}, kExitBadSwitch, "Tidewell: no command", false, 0},
      {false, {"/check"}, kExitSuccess, "no Broken Link entries\n", false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.arguments) + (c.fromExplorer ? " from Explorer" : " from a prompt"));
    MemoryPlatform p;
    p.files.AddFile(undo, "REGEDIT4\r\n\r\n");
    p.files.AddFile("C:\\Docs\\notes.txt", "notes");
    MemoryConsole console;
    console.ownsWindow = c.fromExplorer;
    EXPECT_EQ(c.exitCode, RunConsoleProgram(c.arguments, p.platform(), console));
    const std::string& said = console.error.empty() ? console.out : console.error;
    EXPECT_EQ(0u, said.find(c.said)) << said;
    EXPECT_EQ(c.hidden, console.hidden);
    EXPECT_EQ(c.keyWaits, console.keyWaits);
    EXPECT_EQ(c.keyWaits > 0, console.out.find("Press a key to close this window.") != std::string::npos) << console.out;
  }
}

TEST(CommandLineTest, ARemovalThatCannotWriteItsUndoFileRemovesNothingAndFails) {
  Machine m(false);
  // A file where the folder Backup should be: the undo file cannot be made.
  m.p.files.AddFile("C:\\Tools\\Tidewell\\Backup");
  const regfile::Tree before = m.Lists(false);
  EXPECT_EQ(kExitFailure, m.Run({"/remove", "32-bit\\Tool", "32-bit\\Gone"}));
  const Lines out = m.OutLines();
  ASSERT_EQ(2u, out.size());
  for (const std::string& line : out) EXPECT_EQ(0u, line.rfind("not removed 32-bit\\", 0)) << line;
  EXPECT_EQ(regfile::Describe(before), regfile::Describe(m.Lists(false)));
}

}  // namespace

// Entries removed in one command with several, then /restore: the file's blocks listed with the state
// of each entry, and only the entries named put back, exactly as they were.
TEST(CommandLineTest, RestoreListsTheBlocksAndPutsBackOnlyTheNamedEntries) {
  Machine m(true);
  const regfile::Tree before = m.Lists(false);
  ASSERT_EQ(kExitSuccess, m.Run({"/remove", "32-bit\\Tool", "user\\Chat", "64-bit\\Big", "32-bit\\Gone"}));
  const regfile::Tree removed = m.Lists(false);

  ASSERT_EQ(kExitSuccess, m.Run({"/restore", "Undo20261207.reg", "/list"}));
  const std::string when = "2026-12-07 14:03:11";
  EXPECT_EQ((Lines{"line\twhen\twhat\tsource\tkey\tname\tstate\twhy",
                   "3\t" + when + "\tremoved entry\t32-bit\tTool\tTool\tabsent\t",
                   "10\t" + when + "\tremoved entry\tuser\tChat\tChat\tabsent\t",
                   "17\t" + when + "\tremoved entry\t64-bit\tBig\tBig 64\tabsent\t",
                   "24\t" + when + "\tremoved entry\t32-bit\tGone\tGone \"Tool\"\tabsent\t"}),
            m.OutLines());
  EXPECT_EQ("", m.console.error);
  ASSERT_EQ(kExitSuccess, m.Run({"/restore", "Undo20261207.reg", "/list", "/json"}));
  const nlohmann::json json = nlohmann::json::parse(m.console.out);
  EXPECT_EQ(kUndo, json["file"].get<std::string>());
  EXPECT_EQ("REGEDIT4", json["format"].get<std::string>());
  ASSERT_EQ(4u, json["blocks"].size());
  const nlohmann::json& chat = json["blocks"][1];
  EXPECT_EQ(10, chat["line"].get<int>());
  EXPECT_EQ("user", chat["source"].get<std::string>());
  EXPECT_EQ("Chat", chat["key"].get<std::string>());
  EXPECT_EQ((std::vector<std::string>{"HKEY_CURRENT_USER\\" + kMachine + "\\Chat", "HKEY_CURRENT_USER\\" + kMachine + "\\Chat\\Parts"}),
            chat["keys"].get<std::vector<std::string>>());
  EXPECT_EQ("absent", chat["state"].get<std::string>());
  EXPECT_TRUE(chat["unreadable"].is_null());

  EXPECT_EQ(kExitSuccess, m.Run({"/restore", "Undo20261207.reg", "32-bit\\Tool", "chat"}));
  EXPECT_EQ((Lines{"restored 32-bit\\Tool (line 3)", "restored user\\Chat (line 10)"}), m.OutLines());
  regfile::Tree expected = removed;
  for (const auto& [key, values] : before)
    if (key.find("\\TOOL") != std::string::npos || key.find("\\CHAT") != std::string::npos) expected[key] = values;
  EXPECT_EQ(regfile::Describe(expected), regfile::Describe(m.Lists(false))) << "Tool and Chat back, nothing else changed";

  ASSERT_EQ(kExitSuccess, m.Run({"/restore", kUndo, "/list"}));
  EXPECT_EQ("3\t" + when + "\tremoved entry\t32-bit\tTool\tTool\tpresent\t", m.OutLines().at(1)) << "a full path too";
}

TEST(CommandLineTest, RestoreSaysWhatItDidNotRestoreAndWhy) {
  const std::string damaged = "C:\\Edited\\damaged.reg";
  const struct {
    const char* what;
    Lines arguments;
    int exitCode;
    Lines out;
    Lines back;  // entries put back
    std::string error = {};  // the start of what goes to the error output
  } cases[] = {
      {"a key without a block", {"/restore", "Undo20261207.reg", "Shared"}, kExitFailure,
       {"not restored Shared: no block of that entry in the file"}, {}},
      {"a key with two blocks", {"/restore", "Undo20261207.reg", "Tool"}, kExitFailure,
       {"not restored Tool: 2 blocks name it (lines 3, 17): choose one with /line N"}, {}},
      {"the block by its line", {"/restore", "Undo20261207.reg", "/line", "17"}, kExitSuccess,
       {"restored 32-bit\\Tool (line 17)"}, {"Tool"}},
      {"no block at that line", {"/restore", "Undo20261207.reg", "/line", "5"}, kExitFailure,
       {"not restored line 5: no block begins at that line"}, {}},
      {"a key with two blocks and the line of one", {"/restore", "Undo20261207.reg", "Tool", "/line", "17"},
       kExitSuccess, {"restored 32-bit\\Tool (line 17)"}, {"Tool"}},
      {"the line of one key's block beside another key", {"/restore", "Undo20261207.reg", "Gone", "tool", "/line", "3"},
       kExitSuccess, {"restored 32-bit\\Gone (line 10)", "restored 32-bit\\Tool (line 3)"}, {"Tool", "Gone"}},
      {"a line of another key's block", {"/restore", "Undo20261207.reg", "Gone", "/line", "17"}, kExitFailure, {}, {},
       "Tidewell: /line 17 does not agree with the entries named: the block that begins there is 32-bit\\Tool's; "
       "nothing was restored\n"},
      {"a line where no block begins, with a key", {"/restore", "Undo20261207.reg", "Tool", "/line", "5"}, kExitFailure,
       {}, {}, "Tidewell: /line 5 does not agree with the entries named: no block begins at that line; nothing was "
       "restored\n"},
      {"every block", {"/restore", "Undo20261207.reg", "/all"}, kExitSuccess,
       {"restored 32-bit\\Tool (line 3)", "restored 32-bit\\Gone (line 10)", "restored 32-bit\\Tool (line 17)"},
       {"Tool", "Gone"}},
      {"a hand-damaged block", {"/restore", damaged, "/all"}, kExitFailure,
       {"not restored 32-bit\\Away (line 3): the backup cannot be read at line 5: hexadecimal bytes that cannot be read",
        "restored 32-bit\\Hidden (line 7)"},
       {}},
      {"a file that is not there", {"/restore", "Undo19990101.reg", "/all"}, kExitFailure, {}, {},
       "Tidewell: Undo19990101.reg cannot be read as an undo file: "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Machine m(false);
    ASSERT_EQ(kExitSuccess, m.Run({"/remove", "Tool", "Gone"}));
    // Put back by hand and removed again: a second block of Tool.
    m.Seed(kHkeyLocalMachine, kMachine + "\\Tool", "Tool", "\"C:\\Apps\\tool.exe\" /S");
    ASSERT_EQ(kExitSuccess, m.Run({"/remove", "Tool"}));
    m.p.files.AddFile(damaged, "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\" + kMachine + "\\Away]\r\n\"DisplayName\"=\"Away 2\"\r\n\"X\"=hex:0g\r\n\r\n"
                          "[HKEY_LOCAL_MACHINE\\" + kMachine + "\\Hidden]\r\n\"Comment\"=\"no display name\"\r\n");
    const std::string away = m.p.registry.Dump(kHkeyLocalMachine, kMachine + "\\Away");
    EXPECT_EQ(c.exitCode, m.Run(c.arguments));
    EXPECT_EQ(c.out, m.OutLines());
    EXPECT_EQ(0u, m.console.error.rfind(c.error, 0)) << m.console.error;
    if (c.error.empty()) {
      EXPECT_EQ("", m.console.error);
    }
    for (const char* key : {"Tool", "Gone"}) {
      const bool back = std::find(c.back.begin(), c.back.end(), key) != c.back.end();
      EXPECT_EQ(back, m.p.registry.KeyExists(kHkeyLocalMachine, kMachine + "\\" + key)) << key;
    }
    EXPECT_EQ(away, m.p.registry.Dump(kHkeyLocalMachine, kMachine + "\\Away")) << "the damaged block changed nothing";
  }
}

// A restore that the registry refuses for lack of rights is the last: nothing after it is tried.
TEST(CommandLineTest, ARestoreRefusedForLackOfRightsStopsTheRestores) {
  Machine m(false);
  ASSERT_EQ(kExitSuccess, m.Run({"/remove", "user\\Chat", "32-bit\\Gone", "user\\Shared"}));
  m.p.registry.LimitAccess(kHkeyLocalMachine, kMachine, kKeyRead);
  EXPECT_EQ(kExitNeedsElevation, m.Run({"/restore", "Undo20261207.reg", "/all"}));
  EXPECT_EQ((Lines{"restored user\\Chat (line 3)",
                   "not restored 32-bit\\Gone (line 10): the registry refused it for lack of rights"}),
            m.OutLines());
  EXPECT_EQ("Tidewell: stopped at 32-bit\\Gone (line 10), which the registry refused for lack of rights: run it from an "
            "elevated prompt. Nothing after it was restored; restored before it: user\\Chat (line 3).\n",
            m.console.error);
  EXPECT_FALSE(m.p.registry.KeyExists(kHkeyCurrentUser, kUser + "\\Shared"));
}

// Every account's list that can be read, in each command, with the others named once on the error
// stream; /user current leaves them out. No hive stays loaded after any command.
TEST(CommandLineTest, TheCommandsTakeEveryAccountsListThatCanBeRead) {
  OtherAccountsMachine m;
  MemoryConsole console;
  const auto run = [&](const Lines& arguments) {
    console = MemoryConsole();
    const int code = RunCommandLine(arguments, m.p.platform(), console);
    for (const std::string& sid : {kBob, kCleo, kDan}) EXPECT_FALSE(m.Mounted("Tidewell." + sid)) << "left loaded";
    return code;
  };
  const std::string notRead =
      "Tidewell: other accounts' lists not read (/user current leaves them out): Cléo: its hive file is not there; "
      "Дан: its hive file is damaged\n";
  EXPECT_EQ(kExitSuccess, run({"/list", "/json"}));
  std::vector<std::string> listed;
  for (const auto& entry : nlohmann::json::parse(console.out))
    listed.push_back(entry.at("source").get<std::string>() + "\\" + entry.at("key").get<std::string>() + " " +
                     entry.at("status").get<std::string>());
  // Bob's uninstaller is in his own folder, which his command names by variable.
  EXPECT_EQ((Lines{"user:ann\\Chat Broken Link", "user:bob\\Notes Good Link"}), listed);
  EXPECT_EQ(notRead, console.error);

  EXPECT_EQ(kExitSuccess, run({"/list", "/user", "current"}));
  EXPECT_EQ("source\tkey\tdisplay name\tstatus\treason\tcommand\n", console.out);
  EXPECT_EQ("", console.error);

  EXPECT_EQ(kExitBrokenFound, run({"/check"}));
  EXPECT_EQ(0u, console.out.find("1 Broken Link entry")) << console.out;
  EXPECT_NE(std::string::npos, console.out.find("user:ann\\Chat")) << console.out;
  EXPECT_EQ(notRead, console.error);

  EXPECT_EQ(kExitSuccess, run({"/remove", "USER:BOB\\notes"}));
  EXPECT_EQ("removed user:bob\\Notes\n", console.out);
  EXPECT_EQ(kExitSuccess, run({"/restore", kUndo, "/list"}));
  EXPECT_NE(std::string::npos, console.out.find("\tuser:bob\tNotes\tBob's Notes\tabsent\t")) << console.out;
  // Without the rights to load his hive, his block's state is not known, and nothing claims it absent.
  m.p.registry.SetBackupRestoreRight(false);
  EXPECT_EQ(kExitSuccess, run({"/restore", kUndo, "/list"}));
  EXPECT_NE(std::string::npos, console.out.find("\tnot known: its account's list is not loaded\t")) << console.out;
  EXPECT_EQ(kExitFailure, run({"/restore", kUndo, "user:bob\\Notes"}));
  m.p.registry.SetBackupRestoreRight(true);
  EXPECT_EQ(kExitSuccess, run({"/restore", kUndo, "user:Bob\\Notes"}));
  EXPECT_EQ(kExitSuccess, run({"/list", "/json"}));
  EXPECT_NE(std::string::npos, console.out.find("\"Bob's Notes\"")) << console.out;

  // A system that drops a loaded hive's changes at its unload (Wine does): neither the removal nor
  // the restore is said done, and his file holds what it held.
  m.p.registry.SetKeepsLoadedHives(false);
  EXPECT_EQ(kExitFailure, run({"/remove", "user:bob\\Notes"}));
  EXPECT_EQ(0u, console.out.find("not removed user:bob\\Notes: Tidewell could not remove 'Notes': HKEY_USERS\\" + kBob +
                                 "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Notes remains (it was "
                                 "deleted from the account's loaded hive, but the system did not keep that"))
      << console.out;
  m.p.registry.SetKeepsLoadedHives(true);
  EXPECT_EQ(kExitSuccess, run({"/remove", "user:bob\\Notes"}));
  EXPECT_EQ(kExitSuccess, run({"/restore", kUndo, "/list", "/json"}));
  const std::string lastBlock = std::to_string(nlohmann::json::parse(console.out).at("blocks").back().at("line").get<int>());
  m.p.registry.SetKeepsLoadedHives(false);
  EXPECT_EQ(kExitFailure, run({"/restore", kUndo, "/line", lastBlock}));
  EXPECT_NE(std::string::npos, console.out.find("did not keep it in the account's hive file")) << console.out;
  EXPECT_EQ(kExitSuccess, run({"/list", "/json"}));
  EXPECT_EQ(std::string::npos, console.out.find("\"Bob's Notes\"")) << console.out;
}
