// Removals that cannot take everything: what they write, what stays, what the window says and
// shows afterwards.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "app/main_window.h"
#include "backup/undo_lines.h"
#include "platform/memory/memory_platform.h"
#include "tests/support/reg_file_reader.h"
#include "tests/support/registry_snapshot.h"
#include "tests/support/seeded_entries.h"

using namespace platform;

namespace {

constexpr const char* kFile = "C:\\Tools\\Tidewell\\Backup\\Undo20261207.reg";
const std::string kDeep = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Deep";
const std::string kDeepKey = "HKEY_LOCAL_MACHINE\\" + kDeep;
constexpr int kLevels = 6;

// The key `level` levels below the entry, named k1, k2, ... on the way down.
std::string Level(int level) {
  std::string path = kDeep;
  for (int i = 1; i <= level; ++i) path += "\\k" + std::to_string(i);
  return path;
}

std::string Number(int level) { return std::string(1, static_cast<char>(level)) + std::string(3, '\0'); }

// The entry "Deep Tree" and six levels below it, each key with the value "v" of its level.
void SeedDeep(MemoryRegistry& r, bool withValues = true) {
  if (withValues) {
    r.SetString(kHkeyLocalMachine, kDeep, "DisplayName", "Deep Tree");
    r.SetString(kHkeyLocalMachine, kDeep, "UninstallString", "C:\\Deep\\unins.exe");
  }
  for (int level = 0; level <= kLevels; ++level) {
    if (withValues) r.SetValue(kHkeyLocalMachine, Level(level), "v", kRegDword, Number(level));
    else r.AddKey(kHkeyLocalMachine, Level(level));
  }
}

// The undo file after removing the levels 0 to `deepest`, and the empty line that ends an entry.
std::string UndoLines(int deepest) {
  std::string text = "REGEDIT4\r\n\r\n" + seeded::Comment("removed entry", "Deep Tree", "32-bit") + "\r\n";
  for (int level = 0; level <= deepest; ++level) {
    text += "[HKEY_LOCAL_MACHINE\\" + Level(level) + "]\r\n";
    if (level == 0) text += "\"DisplayName\"=\"Deep Tree\"\r\n\"UninstallString\"=\"C:\\\\Deep\\\\unins.exe\"\r\n";
    text += "\"v\"=dword:0000000" + std::to_string(level) + "\r\n";
  }
  return text + "\r\n";
}

struct Scene {
  Scene() { form.FormCreate(); }
  ~Scene() {
    EXPECT_EQ(0, p.registry.OpenHandles()) << "a registry handle leaked";
    EXPECT_EQ(0, p.files.OpenFiles()) << "a file handle leaked";
  }
  int Row(const std::string& keyName) const {
    for (int i = 0; i < form.list.entryList.Count(); ++i)
      if (form.list.entryList.Item(i).SubItems.at(0) == keyName) return i;
    return -1;
  }
  void Remove(const std::string& keyName) {
    form.FillListBox();
    p.ui.answers = {kIdYes};
    for (const Entry& entry : form.Entries)
      if (entry.keyName == keyName) return form.commands.RemoveEntry(entry);
    ADD_FAILURE() << keyName << " is not among the entries";
  }

  MemoryPlatform p;
  MainWindow form{p.platform()};
};

// The registry refuses one call for one key of the entry (or, where it answers success, gains a
// subkey there first): the removal writes and deletes everything else, what stays is exactly what
// it could not take with the keys above it, the message says where and why, and the entry stays
// listed by its key name.
TEST(PartialRemoval, WhatCannotBeRemovedStaysAndIsNamedWithItsReason) {
  const struct {
    const char* what;
    const char* call;
    int level;
    long answer;
    int written;
    // The levels that stay, each with its value or without.
    std::vector<std::pair<int, bool>> staying;
    std::string message;
  } cases[] = {
      {"nothing refused", "", 0, kErrorSuccess, kLevels, {}, ""},
      {"a subkey that does not open", "open", 3, kErrorAccessDenied, 2,
       {{0, false}, {1, false}, {2, false}, {3, true}, {4, true}, {5, true}, {6, true}},
       "Tidewell partly removed 'Deep Tree': " + kDeepKey +
           "\\k1\\k2\\k3 remains with whatever is below it (the key could not be opened: access denied), and the 3 "
           "keys that hold it stay. Run Tidewell as an administrator to remove the rest. What was removed is in the "
           "undo file C:\\Tools\\Tidewell\\Backup\\Undo20261207.reg."},
      {"a subkey that does not open for want of memory", "open", 5, 14, 4,
       {{0, false}, {1, false}, {2, false}, {3, false}, {4, false}, {5, true}, {6, true}},
       "Tidewell partly removed 'Deep Tree': " + kDeepKey +
           "\\k1\\k2\\k3\\k4\\k5 remains with whatever is below it (the key could not be opened: not enough memory), "
           "and the 5 keys that hold it stay. What was removed is in the undo file C:\\Tools\\Tidewell\\Backup\\Undo20261207.reg."},
      {"a value the registry keeps", "delete value", 2, kErrorAccessDenied, kLevels,
       {{0, false}, {1, false}, {2, true}},
       "Tidewell partly removed 'Deep Tree': 1 value remains in " + kDeepKey +
           "\\k1\\k2 (the registry refused to delete it: access denied), and the 3 keys that hold it stay. Run "
           "Tidewell as an administrator to remove the rest. What was removed is in the undo file C:\\Tools\\Tidewell\\Backup\\Undo20261207.reg."},
      {"a key the registry keeps", "delete key", 4, kErrorAccessDenied, kLevels,
       {{0, false}, {1, false}, {2, false}, {3, false}, {4, false}},
       "Tidewell partly removed 'Deep Tree': " + kDeepKey +
           "\\k1\\k2\\k3\\k4 remains (the registry refused to delete the key: access denied), and the 4 keys that "
           "hold it stay. Run Tidewell as an administrator to remove the rest. What was removed is in the undo file "
           "C:\\Tools\\Tidewell\\Backup\\Undo20261207.reg."},
      {"a key that gains a subkey just before its deletion", "delete key", 4, kErrorSuccess, kLevels,
       {{0, false}, {1, false}, {2, false}, {3, false}, {4, false}},
       "Tidewell partly removed 'Deep Tree': " + kDeepKey +
           "\\k1\\k2\\k3\\k4 remains (it gained a subkey or a value while it was being removed, which was not "
           "written to the undo file), and the 4 keys that hold it stay. What was removed is in the undo file "
           "C:\\Tools\\Tidewell\\Backup\\Undo20261207.reg."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Scene s;
    SeedDeep(s.p.registry);
    const std::string refused = "HKLM\\" + Level(c.level);
    s.p.registry.interfere = [&](const std::string& call, const std::string& path, const std::string&) {
      if (call != c.call || path != refused) return kErrorSuccess;
      if (c.answer == kErrorSuccess) s.p.registry.AddKey(kHkeyLocalMachine, Level(c.level) + "\\Newcomer");
      return c.answer;
    };
    s.Remove("Deep");
    s.p.registry.interfere = nullptr;

    EXPECT_EQ(UndoLines(c.written), s.p.files.Content(kFile));
    MemoryRegistry expected;
    for (const auto& [level, withValue] : c.staying) {
      if (!withValue) expected.AddKey(kHkeyLocalMachine, Level(level));
      else expected.SetValue(kHkeyLocalMachine, Level(level), "v", kRegDword, Number(level));
    }
    if (c.answer == kErrorSuccess && !c.staying.empty())
      expected.AddKey(kHkeyLocalMachine, Level(c.level) + "\\Newcomer");
    EXPECT_EQ(expected.Dump(kHkeyLocalMachine, kDeep), s.p.registry.Dump(kHkeyLocalMachine, kDeep));
    EXPECT_EQ(c.message.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.message},
              s.p.ui.Texts("error"));
    const int row = s.Row("Deep");
    EXPECT_EQ(!c.staying.empty(), row >= 0) << "listed while anything of it is there";
    if (row >= 0) {
      EXPECT_EQ("Deep", s.form.list.entryList.Item(row).Caption) << "by its key name";
    }
  }
}

// A partly removed entry stays in the main list across rescans, by its key name, until a later
// removal takes the rest; an entry without a display name that was never removed stays out.
TEST(PartialRemoval, APartlyRemovedEntryStaysListedUntilItIsGone) {
  Scene s;
  SeedDeep(s.p.registry);
  s.p.registry.SetString(kHkeyLocalMachine, kDeep + "Sibling", "Comment", "no display name");
  s.p.registry.interfere = [&](const std::string& call, const std::string& path, const std::string&) {
    return call == "delete value" && path == "HKLM\\" + Level(kLevels) ? kErrorAccessDenied : kErrorSuccess;
  };
  s.Remove("Deep");
  s.form.FillListBox();
  EXPECT_GE(s.Row("Deep"), 0);
  EXPECT_LT(s.Row("DeepSibling"), 0);

  s.p.registry.interfere = nullptr;
  s.Remove("Deep");
  EXPECT_FALSE(s.p.registry.KeyExists(kHkeyLocalMachine, kDeep));
  EXPECT_LT(s.Row("Deep"), 0);
  EXPECT_TRUE(s.form.commands.PartlyRemoved.empty());
  EXPECT_EQ(1u, s.p.ui.Texts("error").size()) << "the second removal took everything and said nothing";

  // The same when it was removed with others after one question.
  Scene t;
  SeedDeep(t.p.registry);
  t.p.registry.SetString(kHkeyLocalMachine, kDeep + "Other", "DisplayName", "Other Tool");
  t.p.registry.SetString(kHkeyLocalMachine, kDeep + "Other", "UninstallString", "C:\\Other\\unins.exe");
  t.p.registry.interfere = [&](const std::string& call, const std::string& path, const std::string&) {
    return call == "delete value" && path == "HKLM\\" + Level(kLevels) ? kErrorAccessDenied : kErrorSuccess;
  };
  t.form.FillListBox();
  t.form.list.entryList.SelectRows({t.Row("Deep"), t.Row("DeepOther")});
  t.p.ui.answers = {kIdYes};
  t.form.commands.OnRemoveEntry();
  ASSERT_EQ(1u, t.p.ui.listLines.size()) << "one question for both";
  t.form.FillListBox();
  EXPECT_GE(t.Row("Deep"), 0) << "listed by its key name while its key is there";
  EXPECT_EQ("Deep", t.form.list.entryList.Item(t.Row("Deep")).Caption);
}

// Names of 255 characters take a key's path past what the registry editor merges back at level
// 128 below the entry: every key above is written and removed, those from there down stay, unwritten,
// and are counted; the undo file merged over what stayed gives back the whole entry.
TEST(PartialRemoval, KeysWhosePathsTheRegistryEditorCannotMergeStayUnwritten) {
  Scene s;
  MemoryRegistry& r = s.p.registry;
  r.SetString(kHkeyLocalMachine, kDeep, "DisplayName", "Deep Tree");
  r.SetString(kHkeyLocalMachine, kDeep, "UninstallString", "C:\\Deep\\unins.exe");
  Hkey parent = 0;
  ASSERT_EQ(kErrorSuccess, r.OpenKeyEx(kHkeyLocalMachine, kDeep.c_str(), kKeyAllAccess, &parent));
  for (int level = 1; level <= 130; ++level) {
    std::string name = "k" + std::to_string(level);
    name.resize(255, 'x');
    Hkey child = 0;
    ASSERT_EQ(kErrorSuccess, r.CreateKeyEx(parent, name.c_str(), 0, kKeyAllAccess, &child));
    r.SetValueEx(child, "v", kRegDword, reinterpret_cast<const std::uint8_t*>(Number(level).data()), 4);
    r.CloseKey(parent);
    parent = child;
  }
  r.CloseKey(parent);
  const regfile::Tree before = regfile::Snapshot(r, kHkeyLocalMachine, kDeep);
  ASSERT_EQ(131u, before.size());

  s.Remove("Deep");
  ASSERT_EQ(1u, s.p.ui.Texts("error").size());
  EXPECT_EQ("Tidewell partly removed 'Deep Tree': 3 keys and 3 values remain under "
            "HKEY_LOCAL_MACHINE\\...\\k127" + std::string(53, 'x') +
                "... (the key path is too long for the registry editor to put back), and the 128 keys that hold them "
                "stay. What was removed is in the undo file C:\\Tools\\Tidewell\\Backup\\Undo20261207.reg.",
            s.p.ui.Texts("error")[0]);
  const regfile::Merge merge = regfile::Read(s.p.files.Content(kFile));
  size_t keyLines = 0;
  for (const regfile::Merge::Step& step : merge.steps) {
    if (step.kind != 'K') continue;
    ++keyLines;
    EXPECT_EQ(KeyLineFit::kFits, FitOfKeyLine(step.path)) << step.path.size();
  }
  EXPECT_EQ(128u, keyLines);
  regfile::Tree merged = regfile::Snapshot(r, kHkeyLocalMachine, kDeep);
  EXPECT_EQ(131u, merged.size()) << "every key stays, the upper ones emptied";
  merge.ApplyTo(merged, "HKEY_LOCAL_MACHINE");
  merged = regfile::Subtree(merged, kDeep);
  EXPECT_EQ(before.size(), merged.size());
  for (const auto& [key, values] : before) {
    const auto found = merged.find(key);
    EXPECT_TRUE(found != merged.end() && found->second == values) << "..." << key.substr(key.size() - 40);
  }
  EXPECT_GE(s.Row("Deep"), 0);
}

}  // namespace
