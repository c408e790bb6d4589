// The window's commands: what each acts on, the question that names it, and the rescan after it.
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "backup/in_out_error.h"
#include "platform/memory/memory_platform.h"
#include "registry/nt_registry.h"
#include "tests/support/installer_seeds.h"
#include "tests/support/seeded_entries.h"

using namespace platform;
using namespace seeded;

namespace {

// A seeded platform and a window after its first scan.
struct Scene {
  Scene() {
    Seed(p);
    form.FormCreate();
  }
  ~Scene() {
    EXPECT_EQ(0, p.registry.OpenHandles()) << "a registry handle leaked";
    EXPECT_EQ(0, p.files.OpenFiles()) << "a file handle leaked";
  }

  std::string Undo() const { return p.files.FileExistsAt(kFile) ? p.files.Content(kFile) : "(no file)"; }
  int Row(const std::string& keyName) const {
    for (int i = 0; i < form.list.entryList.Count(); ++i)
      if (form.list.entryList.Item(i).SubItems.at(0) == keyName) return i;
    return -1;
  }
  static int Line(const TListBox& list, const std::string& text) {
    for (int i = 0; i < list.Count(); ++i)
      if (list.Items()[i] == text) return i;
    return -1;
  }
  // The user's selection of these rows, announced as the list view announces it.
  void Select(const std::vector<int>& rows) {
    form.list.entryList.SelectRows(rows);
    form.list.entryList.SelectItem();
  }
  std::string Command(const std::string& keyName) {
    TNTRegistry reg(p.registry);
    reg.SetRoot(kHkeyLocalMachine);
    return reg.OpenPath("\\" + EntryKey(keyName), false) ? reg.ReadText("UninstallString") : "(gone)";
  }

  MemoryPlatform p;
  MainWindow form{p.platform()};
};

class WindowCommandsTest : public ::testing::Test {
 protected:
  Scene s;
  MemoryPlatform& p = s.p;
  MainWindow& form = s.form;
};

TEST_F(WindowCommandsTest, WithoutASelectionTheCommandsAskForOneAndChangeNothing) {
  const std::string before = p.registry.Dump(kHkeyLocalMachine, kEntries);
  form.list.entryList.SelectedFromUser(-1);
  form.commands.OnRemoveEntry();
  form.allEntries.OnDeleteKey();
  form.installer.OnDeleteProduct();
  form.change.OnSaveChanges();
  EXPECT_EQ((std::vector<std::string>{kSelectFirst, kSelectFirst, kSelectFirst}), p.ui.Texts("message"));
  EXPECT_TRUE(p.ui.Texts("ask").empty());
  EXPECT_EQ(before, p.registry.Dump(kHkeyLocalMachine, kEntries));
  EXPECT_EQ("(no file)", s.Undo());
}

// A notice that names where a backup went opens the Backups page at that file when clicked; the
// status line of a scan, which names none, opens nothing.
TEST(StatusLineTest, AClickOnANoticeOpensTheBackupsPageAtItsFile) {
  const struct {
    const char* what;
    std::function<void(Scene&)> command;
    bool namesFile;
  } cases[] = {
      {"a scan", [](Scene&) {}, false},
      {"Remove Entry",
       [](Scene& s) {
         s.Select({s.Row("Beta")});
         s.p.ui.answers = {kIdYes};
         s.form.list.removeButton.Click();
       },
       true},
      {"Save Changes",
       [](Scene& s) {
         s.Select({s.Row("Beta")});
         s.form.change.commandBox.SetText("C:\\Alpha\\unins000.exe");
         s.form.change.saveButton.Click();
       },
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Scene s;
    c.command(s);
    s.form.status.line.Click();
    EXPECT_EQ(c.namesFile ? 5 : 0, s.form.pageControl.ActivePage());
    const int line = s.form.backups.files.ItemIndex();
    if (c.namesFile)
      EXPECT_EQ("Undo20261207.reg", line >= 0 ? s.form.backups.files.Items()[line] : "") << s.form.status.line.Caption();
  }
}

TEST_F(WindowCommandsTest, RemoveEntryFromEitherListAsksThenBacksUpThenRemoves) {
  for (const bool fromMainList : {true, false}) {
    SCOPED_TRACE(fromMainList ? "Remove Entry" : "All Entries");
    Scene scene;
    MemoryPlatform& q = scene.p;
    MainWindow& f = scene.form;
    const auto click = [&] {
      if (fromMainList) {
        for (int i = 0; i < f.list.entryList.Count(); ++i)
          if (f.list.entryList.Item(i).SubItems.at(0) == "Alpha") f.list.entryList.SelectedFromUser(i);
        f.commands.OnRemoveEntry();
      } else {
        for (int i = 0; i < f.allEntries.keys.Count(); ++i)
          if (f.allEntries.keys.Items()[i] == "Alpha") f.allEntries.keys.ItemIndexFromUser(i);
        f.allEntries.OnDeleteKey();
      }
    };
    const std::string before = q.registry.Dump(kHkeyLocalMachine, kEntries);
    q.ui.answers = {kIdNo};
    click();
    EXPECT_EQ(before, q.registry.Dump(kHkeyLocalMachine, kEntries));
    EXPECT_FALSE(q.files.FileExistsAt(kFile));
    q.ui.answers = {kIdYes};
    click();
    ASSERT_EQ(2u, q.ui.shown.size());
    for (const auto& shown : q.ui.shown) {
      EXPECT_EQ("ask", shown.kind);
      // Alpha's uninstaller is there: the question says what its removal leaves.
      EXPECT_EQ(std::string("Are you sure you want to remove this entry?\n\nAlpha Tool (32-bit)\n\n") + kUninstallerExists,
                shown.text);
      EXPECT_EQ("Remove Entry?", shown.caption);
      EXPECT_EQ(kMbYesNo | kMbIconError | kMbDefButton2, shown.style) << "No is the default";
    }
    EXPECT_EQ(File(kAlphaLines), q.files.Content(kFile));
    EXPECT_FALSE(q.registry.KeyExists(kHkeyLocalMachine, EntryKey("Alpha")));
    EXPECT_TRUE(q.registry.KeyExists(kHkeyLocalMachine, EntryKey("Beta")));
    for (int i = 0; i < f.list.entryList.Count(); ++i) EXPECT_NE("Alpha", f.list.entryList.Item(i).SubItems.at(0));
    for (const std::string& line : f.allEntries.keys.Items()) EXPECT_NE("Alpha", line);
    EXPECT_EQ(1, f.backups.files.Count()) << "the Backups page lists the new undo file";
    EXPECT_EQ(1, q.ui.processMessagesCalls);
  }
}

TEST_F(WindowCommandsTest, ADeletionTheRegistryRefusesIsSaidAfterItsLinesAreWritten) {
  p.registry.LimitAccess(kHkeyLocalMachine, EntryKey("Beta"), kKeyRead);
  form.list.entryList.SelectedFromUser(s.Row("Beta"));
  p.ui.answers = {kIdYes};
  form.commands.OnRemoveEntry();
  EXPECT_EQ(std::vector<std::string>{"Are you sure you want to remove this entry?\n\nBeta (32-bit)"}, p.ui.Texts("ask"))
      << "a Broken Link entry: nothing more to say";
  EXPECT_EQ((std::vector<std::string>{
                "Tidewell could not remove 'Beta': 2 values remain in "
                "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Beta (the registry "
                "refused to delete them: access denied), and the key that holds them stays. Run Tidewell as an "
                "administrator to remove it. Nothing of it was removed."}),
            p.ui.Texts("error"));
  EXPECT_EQ(File({Comment("removed entry", "Beta", "32-bit"), std::string(kEntryLine) + "Beta]", "\"DisplayName\"=\"Beta\"",
                  "\"UninstallString\"=\"C:\\\\Beta\\\\remove.exe /x\"", ""}),
            s.Undo());
  EXPECT_GE(s.Row("Beta"), 0) << "still listed after the rescan";
}

TEST_F(WindowCommandsTest, RemovingAnInstallerProduct) {
  const struct {
    const char* name;
    std::string line;
    int answer;
    std::vector<std::string> message;
    bool asked;
    std::string removedKey;
    std::string named = "";
    // The name its comment line gives it: the product's name in the registry, else what the line says.
    std::string commented = "";
  } cases[] = {
      {"name and key", "Product A - {0A1B2C", kIdYes, {}, true, "0A1B2C",
       "Product A - 0A1B2C (the machine's installer product)", "Product A"},
      {"key alone", "9F8E7D", kIdYes, {}, true, "9F8E7D", "9F8E7D (the machine's installer product)", "9F8E7D"},
      {"answered No", "Product A - {0A1B2C", kIdNo, {}, true, "", "Product A - 0A1B2C (the machine's installer product)"},
      {"name holding the separator", "X - {Y - {0A1B2C", kIdYes, {}, true, "0A1B2C",
       "X - {Y - 0A1B2C (the machine's installer product)", "Product A"},
      {"gone meanwhile", "Product Z - {ABCDEF",
       kIdYes, {"The installer product ABCDEF is not registered any more."}, false, ""},
      {"no items", kNoItems, kIdYes, {"There are no items in this list to remove."}, false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Scene scene;
    MemoryPlatform& q = scene.p;
    MainWindow& f = scene.form;
    const std::string before = q.registry.Dump(kHkeyClassesRoot, "Installer\\Products");
    // The list as the scan fills it, with the case's line selected.
    if (f.installer.products.Items()[0] != c.line) {
      f.installer.products.Clear();
      f.installer.products.Add(c.line);
    }
    f.installer.products.ItemIndexFromUser(0);
    q.ui.answers = {c.answer};
    f.installer.OnDeleteProduct();
    EXPECT_EQ(c.message, q.ui.Texts("message"));
    ASSERT_EQ(c.asked ? 1u : 0u, q.ui.Texts("ask").size());
    if (c.asked) {
      EXPECT_EQ("Are you sure you want to remove this entry?\n\n" + c.named, q.ui.shown[0].text);
      EXPECT_EQ("Remove Entry?", q.ui.shown[0].caption);
      EXPECT_EQ(kMbYesNo | kMbDefButton2, q.ui.shown[0].style) << "no icon; No is the default";
    }
    if (c.removedKey.empty()) {
      EXPECT_EQ(before, q.registry.Dump(kHkeyClassesRoot, "Installer\\Products"));
      EXPECT_FALSE(q.files.FileExistsAt(kFile));
      continue;
    }
    EXPECT_FALSE(q.registry.KeyExists(kHkeyClassesRoot, "Installer\\Products\\" + c.removedKey));
    EXPECT_EQ(0u, f.status.line.Caption().find("Removed the installer product ")) << f.status.line.Caption();
    EXPECT_NE(std::string::npos, f.status.line.Caption().find(", backed up in " + std::string(kFile) + "."))
        << f.status.line.Caption();
    const std::string content = q.files.Content(kFile);
    EXPECT_EQ(0u, content.rfind("REGEDIT4\r\n\r\n" + Comment("removed installer product", c.commented, "machine") +
                                    "\r\n[HKEY_CLASSES_ROOT\\Installer\\Products\\" + c.removedKey + "]\r\n",
                                0));
    EXPECT_EQ("\r\n\r\n", content.substr(content.size() - 4)) << "an empty line ends the product's lines";
    EXPECT_NE("\r\n\r\n\r\n", content.substr(content.size() - 6)) << "one empty line";
    for (const std::string& line : f.installer.products.Items()) EXPECT_EQ(std::string::npos, line.find(c.removedKey));
  }
}

// A product whose cached package is gone, as the window's every way to its whole registration finds it.
TEST(InstallerRegistrationTest, EveryWayToAStuckProductsRegistrationAsksAndSaysWhatItDid) {
  const std::string code = "{A1B2C3D4-E5F6-4718-9A0B-1C2D3E4F5061}";
  const std::string removed = "Removed the installer registration of Tide Ledger (12 keys, 14 values), backed up in " +
                              std::string(kFile) + ".";
  const struct {
    const char* what;
    bool packageThere;
    std::function<void(Scene&)> act;
    std::vector<int> answers;
    // The questions' captions in turn.
    std::vector<std::string> asked;
    bool registrationGone;
    bool entryGone;
    std::string notice;
  } cases[] = {
      {"Remove Entry, then Yes to the whole registration", false, [](Scene& s) { s.form.commands.OnRemoveEntry(); },
       {kIdYes, kIdYes}, {"Remove Entry?", "Remove Installer Registration?"}, true, true, removed},
      {"Remove Entry, the entry alone", false, [](Scene& s) { s.form.commands.OnRemoveEntry(); }, {kIdNo},
       {"Remove Entry?"}, false, true, "Removed 'Tide Ledger', backed up in " + std::string(kFile) + "."},
      {"Remove Entry, cancelled", false, [](Scene& s) { s.form.commands.OnRemoveEntry(); }, {kIdCancel}, {"Remove Entry?"}, false,
       false, ""},
      {"the context menu, then No", false, [](Scene& s) { s.p.ui.menuChoices = {2}; s.form.list.entryList.ContextMenu(); },
       {kIdNo}, {"Remove Installer Registration?"}, false, false, ""},
      {"the context menu", false, [](Scene& s) { s.p.ui.menuChoices = {2}; s.form.list.entryList.ContextMenu(); }, {kIdYes},
       {"Remove Installer Registration?"}, true, true, removed},
      {"the Installer List", false,
       [](Scene& s) {
         for (int i = 0; i < s.form.installer.products.Count(); ++i)
           if (s.form.installer.products.Items()[i].find("Tide Ledger") == 0) s.form.installer.products.ItemIndexFromUser(i);
         s.form.installer.OnDeleteProduct();
       },
       {kIdYes}, {"Remove Installer Registration?"}, true, true, removed},
      {"a product that can still be uninstalled", true,
       [](Scene& s) { s.p.ui.menuChoices = {2}; s.form.list.entryList.ContextMenu(); }, {kIdNo},
       {"Remove Installer Registration?"}, false, false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Scene s;
    installer_seeds::SeedRegistration(s.p.registry, {code, "{A9000000-0000-4000-8000-0000000000A9}", "Tide Ledger",
                                                     "S-1-5-18", {"{0A000000-0000-4000-8000-0000000000C2}"}, {}, EntryKey(code)});
    s.p.system.productStates[code] = kInstallStateDefault;
    s.p.system.localPackages[code] = "C:\\WINDOWS\\Installer\\1a2b.msi";
    if (c.packageThere) s.p.files.AddFile("C:\\WINDOWS\\Installer\\1a2b.msi");
    s.form.FillListBox();
    s.Select({s.Row(code)});
    s.p.ui.answers = {c.answers.begin(), c.answers.end()};
    c.act(s);
    std::vector<std::string> captions;
    for (const auto& shown : s.p.ui.shown)
      if (shown.kind == "ask") captions.push_back(shown.caption);
    EXPECT_EQ(c.asked, captions);
    const InstallerPlaces places{false, s.p.system.userSid};
    EXPECT_EQ(c.registrationGone, FindRegistration(s.p.registry, places, code).Empty());
    EXPECT_EQ(c.entryGone, !s.p.registry.KeyExists(kHkeyLocalMachine, EntryKey(code)));
    EXPECT_EQ(c.notice, s.form.status.line.Caption());
    EXPECT_TRUE(s.p.ui.Texts("error").empty());
    if (c.registrationGone) {
      // The question named the product and counted what goes, and said what stays.
      const std::string question = s.p.ui.Texts("ask").back();
      EXPECT_NE(std::string::npos, question.find("Tide Ledger " + code + " (machine)")) << question;
      EXPECT_NE(std::string::npos, question.find("\n    components: 1 value\n")) << question;
      EXPECT_NE(std::string::npos, question.find("not the disk")) << question;
    }
  }
}

class UninstallProgramTest : public ::testing::Test {
 protected:
  UninstallProgramTest() : form(mp.platform()) {
    mp.registry.SetString(kHkeyLocalMachine, EntryKey("App"), "DisplayName", "App");
    mp.registry.SetString(kHkeyLocalMachine, EntryKey("App"), "UninstallString", "C:\\App\\u.exe");
    mp.files.AddFile("C:\\App\\u.exe");
    mp.files.AddFile("C:\\Other\\u.exe");
    form.FormCreate();
    form.list.entryList.Select(0);
  }
  MemoryPlatform mp;
  MainWindow form;
};

// When the uninstaller ends, the list is read again and the status line says how it ended and what
// became of the entry.
TEST(UninstallProgramEnds, TheListIsReadAgainAndTheStatusLineSaysHowItEnded) {
  const struct {
    bool removesEntry;
    std::uint32_t exitCode;
    const char* notice;
  } cases[] = {
      {true, 0, "The uninstaller of 'App' ended with exit code 0. Its entry is gone from the list."},
      {false, 1602,
       "The uninstaller of 'App' ended with exit code 1602. The entry is still listed (an uninstaller that goes on "
       "in another program may remove it later: Refresh List)."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.notice);
    MemoryPlatform mp;
    mp.registry.SetString(kHkeyLocalMachine, EntryKey("App"), "DisplayName", "App");
    mp.registry.SetString(kHkeyLocalMachine, EntryKey("App"), "UninstallString", "C:\\App\\u.exe");
    mp.files.AddFile("C:\\App\\u.exe");
    MainWindow form(mp.platform());
    form.FormCreate();
    form.list.entryList.Select(0);
    mp.processes.startable["C:\\App\\u.exe"] = 2;
    mp.processes.exitCodes["C:\\App\\u.exe"] = c.exitCode;
    mp.ui.answers = {kIdYes};
    // The uninstaller removes its own entry while it runs.
    mp.processes.onInput = [&](int) {
      if (!c.removesEntry) return;
      TNTRegistry reg(mp.registry);
      reg.SetRoot(kHkeyLocalMachine);
      reg.DeleteTree("\\" + EntryKey("App"));
    };
    form.list.uninstallButton.Click();
    ASSERT_EQ(1u, mp.processes.started.size());
    EXPECT_EQ(kSwShow, mp.processes.started[0].show);
    EXPECT_TRUE(mp.processes.started[0].closed);
    EXPECT_EQ(0, mp.processes.openProcesses);
    EXPECT_EQ(c.removesEntry ? 0 : 1, form.list.entryList.Count()) << "the rescan shows what the uninstaller left";
    EXPECT_EQ(0u, form.status.line.Caption().find(c.notice)) << form.status.line.Caption();
    ASSERT_EQ(1u, mp.ui.Texts("ask").size());
    EXPECT_EQ("Uninstall Program?", mp.ui.shown[0].caption);
    EXPECT_EQ(kMbYesNo | kMbIconError | kMbDefButton2, mp.ui.shown[0].style) << "No is the default";
  }
}

TEST_F(UninstallProgramTest, NoRunsNothingAndDoesNotRescan) {
  mp.processes.startable["C:\\App\\u.exe"] = 0;
  mp.registry.SetString(kHkeyLocalMachine, EntryKey("New"), "DisplayName", "New");
  mp.registry.SetString(kHkeyLocalMachine, EntryKey("New"), "UninstallString", "x");
  mp.ui.answers = {kIdNo};
  form.list.uninstallButton.Click();
  EXPECT_TRUE(mp.processes.started.empty());
  EXPECT_EQ(1, form.list.entryList.Count()) << "no rescan: the new entry is not listed yet";
}

// The program's words first, then why nothing was run, or the file the command starts and the
// system's reason.
TEST_F(UninstallProgramTest, AProgramThatCannotStartSaysWhyAndRescans) {
  const struct {
    const char* what;
    std::uint32_t refusal;  // 0: the file is not there
    std::string message;
  } cases[] = {
      {"a missing uninstaller", 0,
       "Unable to Uninstall\nNothing was run: the program's file is not there.\nStatus check: Not found: C:\\App\\u.exe "
       "(looked for C:\\App\\u.exe, C:\\App\\u.exe .*, C:\\App and 1 more)\nCommand: C:\\App\\u.exe /S"},
      {"a file that is no program", 193, "Unable to Uninstall\nC:\\App\\u.exe: C:\\App\\u.exe is not a valid Win32 application."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryPlatform q;
    q.registry.SetString(kHkeyLocalMachine, EntryKey("App"), "DisplayName", "App");
    q.registry.SetString(kHkeyLocalMachine, EntryKey("App"), "UninstallString", "C:\\App\\u.exe /S");
    if (c.refusal) {
      q.files.AddFile("C:\\App\\u.exe");
      q.processes.refusals["C:\\App\\u.exe /S"] = c.refusal;
    }
    MainWindow f(q.platform());
    f.FormCreate();
    q.registry.SetString(kHkeyLocalMachine, EntryKey("New"), "DisplayName", "New");
    q.registry.SetString(kHkeyLocalMachine, EntryKey("New"), "UninstallString", "x");
    q.ui.answers = {kIdYes};
    f.list.uninstallButton.Click();
    EXPECT_EQ(std::vector<std::string>{c.message}, q.ui.Texts("message"));
    EXPECT_EQ(2, f.list.entryList.Count()) << "rescanned";
  }
}

// Uninstall Program runs one uninstaller, of the one entry selected, and its question names it; with
// several entries selected the button is off, as in the context menu, and runs nothing.
TEST_F(UninstallProgramTest, UninstallActsOnExactlyOneSelectedEntryAndNamesIt) {
  mp.registry.SetString(kHkeyLocalMachine, EntryKey("Other"), "DisplayName", "Other");
  mp.registry.SetString(kHkeyLocalMachine, EntryKey("Other"), "UninstallString", "C:\\Other\\u.exe");
  form.FillListBox();
  mp.processes.startable["C:\\App\\u.exe"] = 0;
  mp.processes.startable["C:\\Other\\u.exe"] = 0;
  form.list.entryList.SelectRows({0, 1});
  form.list.entryList.SelectItem();
  EXPECT_FALSE(form.list.uninstallButton.Enabled());
  mp.ui.answers = {kIdYes};
  form.commands.OnUninstall();
  EXPECT_TRUE(mp.processes.started.empty());
  EXPECT_TRUE(mp.ui.Texts("ask").empty());

  form.list.entryList.SelectRows({1});
  form.list.entryList.SelectItem();
  EXPECT_TRUE(form.list.uninstallButton.Enabled());
  form.list.uninstallButton.Click();
  ASSERT_EQ(1u, mp.processes.started.size());
  EXPECT_EQ("C:\\Other\\u.exe", mp.processes.started[0].commandLine);
  EXPECT_EQ(std::vector<std::string>{"Are you sure you want to uninstall this program?\n\nOther (32-bit)\n\n"
                                     "It runs:\nC:\\Other\\u.exe"},
            mp.ui.Texts("ask"));
}

TEST_F(UninstallProgramTest, NoSelectionAsksToSelect) {
  form.list.entryList.Select(-1);
  form.list.uninstallButton.Click();
  EXPECT_EQ(std::vector<std::string>{kSelectFirst}, mp.ui.Texts("message"));
  EXPECT_TRUE(mp.ui.Texts("ask").empty());
}

TEST_F(UninstallProgramTest, ASecondUninstallCanStartAndFinishInsideTheWait) {
  mp.processes.startable["C:\\App\\u.exe"] = 3;
  mp.ui.answers = {kIdYes, kIdYes};
  bool nested = false;
  mp.processes.onInput = [&](int) {
    if (nested) return;
    nested = true;
    mp.ui.pendingMessages.push_back([&] { form.list.uninstallButton.Click(); });
  };
  form.list.uninstallButton.Click();
  ASSERT_EQ(2u, mp.processes.started.size());
  EXPECT_TRUE(mp.processes.started[0].closed && mp.processes.started[1].closed);
}


// Save Changes writes the box's command to the entry the box was filled from, and only with that one
// entry selected: whatever moved the selection, it never writes one entry's command into another.
TEST_F(WindowCommandsTest, SaveChangesWritesOnlyToTheEntryWhoseCommandTheBoxShows) {
  const std::string alpha = s.Command("Alpha"), beta = s.Command("Beta");
  const int nameColumn = 0;
  ASSERT_LT(s.Row("Alpha"), s.Row("Beta")) << "the first order is by name";
  // Alpha and Beta selected, then the order by name turned round so that Beta comes first.
  s.Select({s.Row("Alpha"), s.Row("Beta")});
  form.list.OnSortByColumn(nameColumn);
  ASSERT_LT(s.Row("Beta"), s.Row("Alpha"));
  EXPECT_EQ(beta, form.change.commandBox.Text()) << "the boxes follow the first selected row";
  EXPECT_FALSE(form.change.saveButton.Enabled()) << "two entries selected";
  form.change.OnSaveChanges();
  EXPECT_EQ(beta, s.Command("Beta"));
  EXPECT_EQ(alpha, s.Command("Alpha"));

  // Beta selected and unselected (the boxes keep its command), then a header click that selects the
  // first row, Alpha, silently.
  s.Select({s.Row("Beta")});
  s.Select({});
  EXPECT_EQ(beta, form.change.commandBox.Text());
  EXPECT_FALSE(form.change.saveButton.Enabled()) << "no entry selected";
  form.list.OnSortByColumn(nameColumn);
  ASSERT_EQ(0, s.Row("Alpha"));
  ASSERT_EQ(std::vector<int>{0}, form.list.entryList.SelectedRows());
  EXPECT_EQ(alpha, form.change.commandBox.Text()) << "the boxes follow the silent selection";
  form.change.saveButton.Click();
  EXPECT_EQ("(no file)", s.Undo()) << "Alpha's own command: nothing to change";
  EXPECT_EQ(alpha, s.Command("Alpha"));

  // The filter moves the selection to Beta: the boxes follow.
  form.list.filterBox.TextFromUser("Beta");
  form.list.filterBox.Change();
  ASSERT_EQ(std::vector<int>{0}, form.list.entryList.SelectedRows());
  EXPECT_EQ(beta, form.change.commandBox.Text());

  // One entry selected: its box's new text goes to it, and the list is read again. A command whose
  // file is not found is saved only when the user says so; the status line says it was saved.
  p.registry.SetString(kHkeyLocalMachine, EntryKey("Late"), "DisplayName", "Late");
  form.change.commandBox.TextFromUser("C:\\Beta\\new.exe");
  EXPECT_TRUE(form.change.saveButton.Enabled());
  p.ui.shown.clear();
  p.ui.answers = {kIdNo};
  form.change.saveButton.Click();
  ASSERT_EQ(1u, p.ui.Texts("ask").size());
  EXPECT_EQ("The file that the new command names was not found:\nNot found: C:\\Beta\\new.exe (looked for "
            "C:\\Beta\\new.exe, C:\\Beta\\new.exe.*, C:\\Beta and 1 more)\n\nSave the command of 'Beta' in the "
            "32-bit list anyway?",
            p.ui.Texts("ask")[0]);
  EXPECT_EQ(kMbYesNo | kMbIconWarning | kMbDefButton2, p.ui.shown[0].style) << "Cancel is the default";
  EXPECT_EQ(beta, s.Command("Beta")) << "not saved";
  p.ui.answers = {kIdYes};
  form.change.saveButton.Click();
  EXPECT_EQ("C:\\Beta\\new.exe", s.Command("Beta"));
  EXPECT_EQ(alpha, s.Command("Alpha"));
  EXPECT_GE(Scene::Line(form.allEntries.keys, "Late"), 0) << "the scan ran";
  EXPECT_EQ("Saved the uninstall command of 'Beta', the old one backed up in C:\\Tools\\Tidewell\\Backup\\Undo20261207.reg.",
            form.status.line.Caption());
}

// Choosing another entry with an edit not saved asks first, naming the entry and its list: Discard
// gives the edit up, Save saves it to the entry it was made for, whose row shows it at once; Cancel,
// the default that Enter presses, keeps the edit and selects its entry's row again.
TEST_F(WindowCommandsTest, ARowChangeWithAnEditNotSavedAsksFirst) {
  const std::string alpha = s.Command("Alpha"), beta = s.Command("Beta");
  const std::string edit = "C:\\Alpha\\unins001.exe";
  p.files.AddFile(edit);
  const struct {
    const char* what;
    std::deque<int> answers;  // none: Enter
    std::string box, alphaCommand;
    int row;
  } cases[] = {
      {"Discard", {kIdNo}, beta, alpha, s.Row("Beta")},
      {"Enter", {}, edit, alpha, s.Row("Alpha")},
      {"Cancel", {kIdCancel}, edit, alpha, s.Row("Alpha")},
      {"Save", {kIdYes}, beta, edit, s.Row("Beta")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    s.Select({s.Row("Alpha")});
    form.change.commandBox.TextFromUser(edit);
    form.list.filterBox.TextFromUser("zzz");
    form.list.filterBox.TextFromUser("");
    p.ui.shown.clear();
    p.ui.buttonCaptions.clear();
    p.ui.answers = c.answers;
    s.Select({s.Row("Beta")});
    ASSERT_EQ(1u, p.ui.Texts("ask").size());
    EXPECT_EQ("The uninstall command of 'Alpha Tool' (32-bit) was changed but not saved.\n\nC:\\Alpha\\unins001.exe\n\n"
              "Save it before going on?",
              p.ui.Texts("ask")[0]);
    EXPECT_EQ((std::vector<std::vector<std::string>>{{"&Save", "&Discard", "*Cancel"}}), p.ui.buttonCaptions);
    EXPECT_EQ(c.box, form.change.commandBox.Text());
    EXPECT_EQ(std::vector<int>{c.row}, form.list.entryList.SelectedRows());
    EXPECT_EQ(c.alphaCommand, s.Command("Alpha"));
    EXPECT_EQ(s.Command("Alpha"), form.list.entryList.Item(s.Row("Alpha")).SubItems.at(1));
    // What stays in the box is given up for the next case.
    form.change.commandBox.TextFromUser(form.finder.command.Text());
  }
  // A header click or a rescan keeps an edit of the same entry, without a question.
  s.Select({s.Row("Beta")});
  form.change.commandBox.TextFromUser("C:\\Beta\\edited.exe");
  p.ui.shown.clear();
  form.list.OnSortByColumn(0);
  form.FillListBox();
  EXPECT_EQ("C:\\Beta\\edited.exe", form.change.commandBox.Text());
  EXPECT_TRUE(p.ui.Texts("ask").empty());
}

}  // namespace
