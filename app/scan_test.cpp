#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "platform/memory/memory_platform.h"

using namespace platform;

namespace {

constexpr const char* kEntries = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr const char* kProducts = "Installer\\Products\\";
constexpr const char* kBackup = "C:\\Tools\\Tidewell\\Backup\\";

std::string Dword(std::uint32_t value) { return std::string(reinterpret_cast<const char*>(&value), 4); }

struct Scan {
  Scan() { p.files.AddFile("C:\\Apps\\uninst.exe"); }
  ~Scan() {
    EXPECT_EQ(0, p.registry.OpenHandles()) << "a registry handle was left open";
    EXPECT_EQ(0, p.files.OpenFinds()) << "a directory search was left open";
  }
  void Entry(const std::string& key, const std::string& name, std::uint32_t type, const std::string& bytes) {
    p.registry.SetValue(kHkeyLocalMachine, kEntries + key, name, type, bytes);
  }
  void Text(const std::string& key, const std::string& name, const std::string& text, std::uint32_t type = kRegSz) {
    p.registry.SetString(kHkeyLocalMachine, kEntries + key, name, text, type);
  }
  void Listed(const std::string& key, const std::string& name, const std::string& command) {
    Text(key, "DisplayName", name);
    Text(key, "UninstallString", command);
  }
  // The main list as "caption|key|command" lines.
  std::vector<std::string> Rows() const {
    std::vector<std::string> rows;
    for (int i = 0; i < form.list.entryList.Count(); ++i) {
      const TListItem& item = form.list.entryList.Item(i);
      rows.push_back(item.Caption + "|" + item.SubItems.at(0) + "|" + item.SubItems.at(1));
    }
    return rows;
  }
  MemoryPlatform p;
  MainWindow form{p.platform()};
};

using Lines = std::vector<std::string>;

// Each case seeds one entry next to a plain listed one and says what the scan makes of it.
struct EntryCase {
  const char* what;
  void (*seed)(Scan&);
  bool listed;        // a row in the main list
  std::string row;    // that row, "caption|key|command"
};

TEST(ScanTest, ListsAnEntryOnlyWithATextNameAndCommand) {
  const EntryCase cases[] = {
      {"both as plain strings", [](Scan& s) { s.Listed("E", "Edit Pad", "C:\\Apps\\uninst.exe /S"); }, true,
       "Edit Pad|E|C:\\Apps\\uninst.exe /S"},
      {"expandable strings are shown as stored",
       [](Scan& s) {
         s.Text("E", "DisplayName", "Edit Pad", kRegExpandSz);
         s.Text("E", "UninstallString", "%ProgramFiles%\\Pad\\u.exe", kRegExpandSz);
       },
       true, "Edit Pad|E|%ProgramFiles%\\Pad\\u.exe"},
      {"no uninstall string", [](Scan& s) { s.Text("E", "DisplayName", "Edit Pad"); }, false, ""},
      {"an empty uninstall string", [](Scan& s) { s.Listed("E", "Edit Pad", ""); }, false, ""},
      {"no display name", [](Scan& s) { s.Text("E", "UninstallString", "C:\\Apps\\uninst.exe"); }, false, ""},
      {"a display name that differs in letter case",
       [](Scan& s) {
         s.Text("E", "displayname", "Edit Pad");
         s.Text("E", "UninstallString", "C:\\Apps\\uninst.exe");
       },
       false, ""},
      {"an uninstall string that differs in letter case",
       [](Scan& s) {
         s.Text("E", "DisplayName", "Edit Pad");
         s.Text("E", "UNINSTALLSTRING", "C:\\Apps\\uninst.exe");
       },
       false, ""},
      {"a display name of raw bytes",
       [](Scan& s) {
         s.Entry("E", "DisplayName", kRegBinary, "Edit Pad");
         s.Text("E", "UninstallString", "C:\\Apps\\uninst.exe");
       },
       false, ""},
      {"a display name that is a number",
       [](Scan& s) {
         s.Entry("E", "DisplayName", kRegDword, Dword(7));
         s.Text("E", "UninstallString", "C:\\Apps\\uninst.exe");
       },
       false, ""},
      {"an uninstall string of several strings",
       [](Scan& s) {
         s.Text("E", "DisplayName", "Edit Pad");
         s.Entry("E", "UninstallString", kRegMultiSz, std::string("C:\\Apps\\uninst.exe\0\0", 21));
       },
       false, ""},
  };
  for (const EntryCase& c : cases) {
    Scan s;
    s.Listed("A", "Alpha", "C:\\Apps\\uninst.exe");
    c.seed(s);
    s.form.FillListBox();
    const std::vector<std::string> rows = s.Rows();
    std::vector<std::string> expected{"Alpha|A|C:\\Apps\\uninst.exe"};
    if (c.listed) expected.push_back(c.row);
    EXPECT_EQ(expected, rows) << c.what;
  }
}

TEST(ScanTest, AllEntriesHoldsEveryEntryThatOpens) {
  Scan s;
  s.Listed("Zeta", "Zeta", "C:\\Apps\\uninst.exe");
  s.Text("alpha", "Comment", "no name, no command");
  s.Text("Beta", "UninstallString", "C:\\Apps\\uninst.exe");
  s.Text("Locked", "DisplayName", "Locked");
  s.Text("Locked", "UninstallString", "C:\\Apps\\uninst.exe");
  s.p.registry.LimitAccess(kHkeyLocalMachine, std::string(kEntries) + "Locked", 0);
  s.form.FillListBox();
  // Sorted as the list box sorts, letter case ignored; the key that cannot be opened is nowhere.
  EXPECT_EQ((Lines{"alpha", "Beta", "Zeta"}), s.form.allEntries.keys.Items());
  EXPECT_EQ((std::vector<std::string>{"Zeta|Zeta|C:\\Apps\\uninst.exe"}), s.Rows());
  // The lines are key names; under them, the selected line's display name and command.
  EXPECT_EQ("", s.form.allEntries.detail.Caption());
  const struct {
    int line;
    std::string shown;
  } lines[] = {{0, "Display name: (none)\nCommand: (none)"},
               {1, "Display name: (none)\nCommand: C:\\Apps\\uninst.exe"},
               {2, "Display name: Zeta\nCommand: C:\\Apps\\uninst.exe"}};
  for (const auto& l : lines) {
    s.form.allEntries.keys.ItemIndexFromUser(l.line);
    s.form.allEntries.keys.Click();
    EXPECT_EQ(l.shown, s.form.allEntries.detail.Caption()) << l.line;
  }
}

TEST(ScanTest, SortsRowsByCaptionWithTheSystemsComparison) {
  Scan s;
  // Enumeration order is insertion order here, the reverse of the wanted one.
  int key = 0;
  for (const char* name : {"zebra", "Yak", "co-op", "coop", "Apple", "apple"})
    s.Listed("K" + std::to_string(key++), name, "C:\\Apps\\uninst.exe");
  s.form.FillListBox();
  std::vector<std::string> captions;
  for (int i = 0; i < s.form.list.entryList.Count(); ++i) captions.push_back(s.form.list.entryList.Item(i).Caption);
  for (size_t i = 1; i < captions.size(); ++i)
    EXPECT_LE(s.p.system.SortKey(captions[i - 1], false), s.p.system.SortKey(captions[i], false))
        << captions[i - 1] << " before " << captions[i];
  EXPECT_EQ(6u, captions.size());
}

// Both lists keep the system's order, in which an accented letter sorts with its plain one and
// marks come before letters.
TEST(ScanTest, ListsKeepTheSystemsOrderForNamesOutsideAscii) {
  Scan s;
  const std::vector<std::string> names = {"Zebra", "\xc3\x89" "clair", "eagle", "Fig", "{0A1B}", "\xce\xb1\xce\xbb\xcf\x86\xce\xb1"};
  for (const std::string& name : names) s.Listed(name, name, "C:\\Apps\\uninst.exe");
  s.form.FillListBox();
  std::vector<std::string> captions;
  for (int i = 0; i < s.form.list.entryList.Count(); ++i) captions.push_back(s.form.list.entryList.Item(i).Caption);
  const Lines expected = {"{0A1B}", "eagle", "\xc3\x89" "clair", "Fig", "Zebra", "\xce\xb1\xce\xbb\xcf\x86\xce\xb1"};
  EXPECT_EQ(expected, captions);
  EXPECT_EQ(expected, s.form.allEntries.keys.Items());
}

TEST(ScanTest, InstallerListLines) {
  const struct {
    const char* what;
    void (*seed)(MemoryRegistry&);
    Lines lines;
  } cases[] = {
      {"a product with its name, none without",
       [](MemoryRegistry& r) {
         r.SetString(kHkeyClassesRoot, std::string(kProducts) + "4F3E", "ProductName", "Viewer");
         r.AddKey(kHkeyClassesRoot, std::string(kProducts) + "0A1B");
       },
       {"[no entry, incomplete] - {0A1B", "Viewer [no entry, incomplete] - {4F3E"}},
      {"a name that is not a string, or differs in letter case",
       [](MemoryRegistry& r) {
         r.SetValue(kHkeyClassesRoot, std::string(kProducts) + "11", "ProductName", kRegDword, Dword(1));
         r.SetString(kHkeyClassesRoot, std::string(kProducts) + "22", "productname", "Lower");
         r.SetString(kHkeyClassesRoot, std::string(kProducts) + "33", "ProductName", "Expand", kRegExpandSz);
       },
       {"[no entry, incomplete] - {11", "[no entry, incomplete] - {22", "Expand [no entry, incomplete] - {33"}},
      {"the Products key without products",
       [](MemoryRegistry& r) { r.AddKey(kHkeyClassesRoot, "Installer\\Products"); }, {kNoItems}},
      {"no Products key", [](MemoryRegistry&) {}, {kNoItems}},
  };
  for (const auto& c : cases) {
    Scan s;
    c.seed(s.p.registry);
    s.form.FillListBox();
    EXPECT_EQ(c.lines, s.form.installer.products.Items()) << c.what;
    // The entry commands take the key back from the line: everything after the first " - {".
    for (const std::string& line : s.form.installer.products.Items()) {
      const size_t mark = line.find(" - {");
      const std::string key = mark == std::string::npos ? line : line.substr(mark + 4);
      if (line != kNoItems) {
        EXPECT_TRUE(s.p.registry.KeyExists(kHkeyClassesRoot, kProducts + key)) << line;
      }
    }
  }
}

// Each case seeds one named machine product, {6A1C2C39-1F4E-4E57-9E10-0B6B3B6D2C11} packed, and
// what may belong to it.
TEST(ScanTest, InstallerListMarksProductsWithoutEntryOrInstalledState) {
  static const std::string kPacked = "93C2C1A6E4F175E4E901B0B6B3D6C211";
  static const std::string kCode = "{6A1C2C39-1F4E-4E57-9E10-0B6B3B6D2C11}";
  static const std::string kUserData = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\";
  const auto installed = [](Scan& s, const std::string& account) {
    s.p.registry.SetString(kHkeyLocalMachine, kUserData + account + "\\Products\\" + kPacked + "\\InstallProperties",
                           "LocalPackage", "C:\\WINDOWS\\Installer\\1a2b.msi");
  };
  const struct {
    const char* what;
    std::function<void(Scan&)> seed;
    std::string line;
  } cases[] = {
      {"an entry's MsiExec command and the machine's installed state",
       [&](Scan& s) {
         s.Listed("Tool", "Tool", "MsiExec.exe /X" + kCode);
         installed(s, "S-1-5-18");
       },
       "Tool - {" + kPacked},
      {"the command's code in lower case, the account's name too",
       [&](Scan& s) {
         s.Listed("Tool", "Tool", "msiexec /i {6a1c2c39-1f4e-4e57-9e10-0b6b3b6d2c11}");
         installed(s, "s-1-5-18");
       },
       "Tool - {" + kPacked},
      {"the entry's key is the code, with WindowsInstaller 1",
       [&](Scan& s) {
         s.Listed(kCode, "Tool", "C:\\Apps\\uninst.exe");
         s.Entry(kCode, "WindowsInstaller", kRegDword, Dword(1));
         installed(s, "S-1-5-18");
       },
       "Tool - {" + kPacked},
      {"the key is the code, WindowsInstaller 0",
       [&](Scan& s) {
         s.Listed(kCode, "Tool", "C:\\Apps\\uninst.exe");
         s.Entry(kCode, "WindowsInstaller", kRegDword, Dword(0));
         installed(s, "S-1-5-18");
       },
       "Tool [no entry] - {" + kPacked},
      {"the key is the code, WindowsInstaller the text 1",
       [&](Scan& s) {
         s.Listed(kCode, "Tool", "C:\\Apps\\uninst.exe");
         s.Text(kCode, "WindowsInstaller", "1");
         installed(s, "S-1-5-18");
       },
       "Tool [no entry] - {" + kPacked},
      {"an entry of another product",
       [&](Scan& s) {
         s.Listed("Other", "Other", "MsiExec.exe /X{6A1C2C39-1F4E-4E57-9E10-0B6B3B6D2C12}");
         installed(s, "S-1-5-18");
       },
       "Tool [no entry] - {" + kPacked},
      {"an entry whose code is malformed",
       [&](Scan& s) {
         s.Listed("Other", "Other", "MsiExec.exe /X{6A1C2C39-1F4E-4E57-9E10-0B6B3B6D2C1}");
         installed(s, "S-1-5-18");
       },
       "Tool [no entry] - {" + kPacked},
      {"a machine product installed only for a user",
       [&](Scan& s) {
         s.Listed("Tool", "Tool", "MsiExec.exe /X" + kCode);
         installed(s, "S-1-5-21-7-8-9-1001");
       },
       "Tool [incomplete] - {" + kPacked},
      {"the machine's UserData knows the product but keeps no installed state",
       [&](Scan& s) {
         s.Listed("Tool", "Tool", "MsiExec.exe /X" + kCode);
         s.p.registry.AddKey(kHkeyLocalMachine, kUserData + "S-1-5-18\\Products\\" + kPacked + "\\Features");
       },
       "Tool [incomplete] - {" + kPacked},
  };
  for (const auto& c : cases) {
    Scan s;
    s.p.registry.SetString(kHkeyClassesRoot, kProducts + kPacked, "ProductName", "Tool");
    c.seed(s);
    s.form.FillListBox();
    EXPECT_EQ(Lines{c.line}, s.form.installer.products.Items()) << c.what;
  }
}

TEST(ScanTest, InstallerListMarksTheUsersOwnProductsByTheirAccountsInstalledState) {
  static const std::string kUserProducts = "Software\\Microsoft\\Installer\\Products\\";
  Scan s;
  s.p.registry.SetString(kHkeyCurrentUser, kUserProducts + "AA11", "ProductName", "Mine");
  s.p.registry.SetString(kHkeyCurrentUser, kUserProducts + "BB22", "ProductName", "Machine's only");
  const std::string userData = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\";
  s.p.registry.AddKey(kHkeyLocalMachine, userData + "S-1-5-21-7-8-9-1001\\Products\\AA11\\InstallProperties");
  s.p.registry.AddKey(kHkeyLocalMachine, userData + "S-1-5-18\\Products\\BB22\\InstallProperties");
  s.form.FillListBox();
  EXPECT_EQ((Lines{"Machine's only [no entry, incomplete] - {BB22 (user)", "Mine [no entry] - {AA11 (user)"}),
            s.form.installer.products.Items());
}

TEST(ScanTest, BackupListShowsTheFolderButNotItsDots) {
  Scan s;
  s.p.files.AddFile(std::string(kBackup) + "Undo20260101.reg");
  s.p.files.AddFile(std::string(kBackup) + "old hive", "", kFileAttributeHidden);
  s.p.files.AddFolder(std::string(kBackup) + "Archive");
  s.form.FillListBox();
  Lines lines = s.form.backups.files.Items();
  EXPECT_EQ(3u, lines.size());
  for (const char* name : {"Undo20260101.reg", "old hive", "Archive"})
    EXPECT_NE(lines.end(), std::find(lines.begin(), lines.end(), name)) << name;
  for (const char* dots : {".", ".."}) EXPECT_EQ(lines.end(), std::find(lines.begin(), lines.end(), dots));
  EXPECT_EQ(-1, s.form.backups.files.ItemIndex());
}

TEST(ScanTest, MissingKeysAndFolderGiveEmptyLists) {
  Scan s;
  s.form.FormCreate();
  EXPECT_EQ(0, s.form.list.entryList.Count());
  EXPECT_TRUE(s.form.allEntries.keys.Items().empty());
  EXPECT_EQ(Lines{kNoItems}, s.form.installer.products.Items());
  EXPECT_TRUE(s.form.backups.files.Items().empty());
  EXPECT_EQ(-1, s.form.list.entryList.Selected());
  EXPECT_FALSE(s.form.list.uninstallButton.Enabled()) << "Uninstall Program waits for one entry";
  EXPECT_TRUE(s.form.list.removeButton.Enabled());
  EXPECT_EQ("", s.form.finder.command.Text());
  EXPECT_EQ("", s.form.change.commandBox.Text());
  EXPECT_TRUE(s.p.ui.shown.empty());
}

// The status check runs for every entry with a command, before a row without a name is dropped,
// and never for an entry without a command.
// An entry that the main list leaves out shows no status, so its files are not looked at.
TEST(ScanTest, ChecksTheFilesOfListedEntriesOnly) {
  const auto queries = [](void (*seed)(Scan&)) {
    Scan s;
    seed(s);
    s.p.files.ResetCalls();
    s.form.FillListBox();
    return s.p.files.Calls().Queries();
  };
  const int none = queries([](Scan&) {});
  EXPECT_EQ(none, queries([](Scan& s) { s.Text("E", "DisplayName", "Edit Pad"); }));
  EXPECT_EQ(none, queries([](Scan& s) { s.Text("E", "UninstallString", "C:\\Apps\\uninst.exe"); }));
  EXPECT_LT(none, queries([](Scan& s) { s.Listed("E", "Edit Pad", "C:\\Apps\\uninst.exe"); }));
  Scan s;
  s.Listed("Good", "Good", "C:\\Apps\\uninst.exe");
  s.Listed("Gone", "Gone", "C:\\Apps\\gone.exe");
  s.form.FillListBox();
  EXPECT_EQ(kBrokenLink, s.form.list.entryList.Item(0).ImageIndex);
  EXPECT_EQ(kGoodLink, s.form.list.entryList.Item(1).ImageIndex);
}

struct Position {
  const char* what;
  int selected;              // row selected before the rescan; -1 for none
  std::vector<int> removed;  // entries (by their row before) removed before the rescan
  int expected;              // row selected after it
};

// The selected entry stays selected where it moved; when it is gone, the row at its position is
// selected (the next entry, or the new last one).
TEST(ScanTest, KeepsTheSelectedEntryOrElseItsPositionAcrossARescan) {
  const Position cases[] = {
      {"nothing removed", 2, {}, 2},
      {"the selected entry removed: the next one takes its place", 2, {2}, 2},
      {"an entry above removed: the entry stays selected one row up", 3, {0}, 2},
      {"the last row removed while selected: the new last row", 4, {4}, 3},
      {"the last rows removed: clamped to the end", 4, {2, 3, 4}, 1},
      {"no row selected: the first", -1, {}, 0},
      {"every entry removed: none", 1, {0, 1, 2, 3, 4}, -1},
  };
  for (const Position& c : cases) {
    Scan s;
    const char* names[] = {"Alpha", "Bravo", "Charlie", "Delta", "Echo"};
    for (const char* name : names) s.Listed(name, name, std::string("C:\\Apps\\uninst.exe /") + name);
    s.form.FormCreate();
    s.form.list.entryList.Select(c.selected);
    for (int row : c.removed) s.p.registry.SetString(kHkeyLocalMachine, kEntries + std::string(names[row]), "DisplayName", "");
    s.form.finder.command.SetText("before");
    s.form.FillListBox();
    EXPECT_EQ(c.expected, s.form.list.entryList.Selected()) << c.what;
    // With no row left the boxes keep what they held.
    const std::string command = c.expected >= 0 ? s.form.list.entryList.Item(c.expected).SubItems.at(1) : std::string();
    EXPECT_EQ(c.expected >= 0 ? command : "before", s.form.finder.command.Text()) << c.what;
    if (c.expected >= 0) { EXPECT_EQ(command, s.form.change.commandBox.Text()) << c.what; }
    EXPECT_TRUE(s.p.ui.Texts("ask").empty()) << c.what << ": no edit, no question";
  }
}

// What the native list view shows: the key names of the rows as the control last told its peer.
class ShownRows : public TControl::Peer {
 public:
  void Update(TControl& control, Aspect aspect, int) override {
    if (aspect != Aspect::kItems) return;
    const auto& view = static_cast<const TListView&>(control);
    keys.clear();
    for (int i = 0; i < view.Count(); ++i) keys.push_back(view.Item(i).SubItems.at(0));
  }
  std::vector<std::string> keys;
};

TEST(ScanTest, AnEntryThatCannotBeReadLeavesAListThatActsOnWhatItShows) {
  Scan s;
  for (const char* name : {"Alpha", "Bravo", "Charlie", "Delta"})
    s.Listed(name, name, std::string("C:\\Apps\\uninst.exe /") + name);
  ShownRows shown;
  s.form.list.entryList.SetPeer(&shown);
  s.form.FormCreate();
  ASSERT_EQ((Lines{"Alpha", "Bravo", "Charlie", "Delta"}), shown.keys);

  // An installer rewrites Bravo's name between the size query and the read, at every rescan.
  s.p.registry.interfere = [](const std::string& call, const std::string& path, const std::string& name) {
    const bool bravo = path.size() >= 6 && path.compare(path.size() - 6, 6, "\\Bravo") == 0;
    return call == "read" && bravo && name == "DisplayName" ? kErrorMoreData : kErrorSuccess;
  };
  s.form.list.refreshButton.Click();
  s.form.list.refreshButton.Click();
  EXPECT_EQ((Lines{"Alpha", "Charlie", "Delta"}), shown.keys) << "the list on screen is the list the commands use";
  const auto& all = s.form.allEntries.keys.Items();
  EXPECT_EQ(1, std::count(all.begin(), all.end(), "Bravo"))
      << "All Entries still lists it by its key";
  const auto errors = s.p.ui.Texts("error");
  ASSERT_EQ(2u, errors.size()) << "one message per scan";
  EXPECT_NE(std::string::npos, errors[0].find("'Bravo'"));
  EXPECT_NE(std::string::npos, errors[0].find("Failed to get data for 'DisplayName'"));

  // The user clicks the second row on screen, Charlie, and removes it.
  s.p.ui.answers = {kIdYes};
  s.form.list.entryList.SelectedFromUser(1);
  s.form.list.entryList.SelectItem();
  s.form.list.removeButton.Click();
  EXPECT_FALSE(s.p.registry.KeyExists(kHkeyLocalMachine, kEntries + std::string("Charlie")));
  for (const char* name : {"Alpha", "Bravo", "Delta"})
    EXPECT_TRUE(s.p.registry.KeyExists(kHkeyLocalMachine, kEntries + std::string(name))) << name;
  s.form.list.entryList.SetPeer(nullptr);
}

}  // namespace
