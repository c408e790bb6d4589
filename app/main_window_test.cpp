#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "platform/memory/memory_platform.h"

using namespace platform;

namespace {

constexpr const char* kEntries = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr int kVkDown = 0x28;

struct Window {
  Window() {
    p.files.AddFile("C:\\Apps\\a.exe");
    for (const char* name : {"Alpha", "Bravo", "Charlie"}) {
      p.registry.SetString(kHkeyLocalMachine, kEntries + std::string(name), "DisplayName", name);
      p.registry.SetString(kHkeyLocalMachine, kEntries + std::string(name), "UninstallString",
                           std::string("C:\\Apps\\a.exe /") + name);
    }
    p.files.AddFile("C:\\Tools\\Tidewell\\Backup\\Undo20260101.reg");
  }
  MemoryPlatform p;
  MainWindow form{p.platform()};
};

// The first scan may take entries read ahead while the window was made: the same lists; the scans
// after it read the registry afresh.
TEST(MainWindowTest, TheFirstScanTakesWhatWasReadAheadAndTheNextReadAfresh) {
  Window plain, ahead;
  plain.form.FormCreate();
  ahead.form.ReadInventoryAhead();
  ahead.form.FormCreate();
  const auto captions = [](const MainWindow& form) {
    std::vector<std::string> out;
    for (int row = 0; row < form.list.entryList.Count(); ++row) out.push_back(form.list.entryList.Item(row).Caption);
    return out;
  };
  EXPECT_EQ((std::vector<std::string>{"Alpha", "Bravo", "Charlie"}), captions(ahead.form));
  EXPECT_EQ(plain.form.allEntries.keys.Items(), ahead.form.allEntries.keys.Items());
  EXPECT_EQ(plain.form.installer.products.Items(), ahead.form.installer.products.Items());
  ahead.p.registry.SetString(kHkeyLocalMachine, kEntries + std::string("Delta"), "DisplayName", "Delta");
  ahead.p.registry.SetString(kHkeyLocalMachine, kEntries + std::string("Delta"), "UninstallString", "C:\\Apps\\a.exe");
  ahead.form.FillListBox();
  EXPECT_EQ((std::vector<std::string>{"Alpha", "Bravo", "Charlie", "Delta"}), captions(ahead.form));
}

TEST(MainWindowTest, FormCreateFixesTheWindowFields) {
  const struct {
    std::string windows, system, winDir, sysDir;
  } cases[] = {
      {"C:\\WINDOWS", "C:\\WINDOWS\\system32", "C:\\WINDOWS\\", "C:\\WINDOWS\\system32\\"},
      {"D:\\", "D:\\SYS\\", "D:\\", "D:\\SYS\\"},
  };
  for (const auto& c : cases) {
    Window w;
    w.p.system.windowsDirectory = c.windows;
    w.p.system.systemDirectory = c.system;
    w.p.system.today = {2027, 1, 9};
    w.form.FormCreate();
    EXPECT_EQ(c.winDir, w.form.finder.winDir);
    EXPECT_EQ(c.sysDir, w.form.finder.sysDir);
    EXPECT_EQ("Undo20270109", w.form.Undo().Stem());
    // A day later the stem stays: every removal of the run goes to the start day's file.
    w.p.system.today = {2027, 1, 10};
    w.form.FillListBox();
    EXPECT_EQ("Undo20270109", w.form.Undo().Stem());
  }
}

TEST(MainWindowTest, MainButtonsWaitForTheFirstScan) {
  Window w;
  EXPECT_FALSE(w.form.list.uninstallButton.Enabled());
  EXPECT_FALSE(w.form.list.removeButton.Enabled());
  w.form.FormCreate();
  EXPECT_TRUE(w.form.list.uninstallButton.Enabled());
  EXPECT_TRUE(w.form.list.removeButton.Enabled());
  EXPECT_EQ(0, w.form.list.entryList.Selected());
  EXPECT_EQ("C:\\Apps\\a.exe /Alpha", w.form.finder.command.Text());
  EXPECT_EQ("C:\\Apps\\a.exe /Alpha", w.form.change.commandBox.Text());
  EXPECT_EQ(0, w.form.pageControl.ActivePage());
}

TEST(MainWindowTest, BackupButtonsFollowTheBackupSelection) {
  Window w;
  w.form.FormCreate();
  EXPECT_FALSE(w.form.backups.restoreButton.Enabled());
  EXPECT_FALSE(w.form.backups.deleteFileButton.Enabled());
  // Each of the four ways to run the rule: the list's click, the main list's key and mouse.
  const std::vector<std::function<void()>> triggers = {
      [&] { w.form.backups.files.Click(); },
      [&] { w.form.list.entryList.KeyDown(kVkDown); },
      [&] { w.form.list.entryList.MouseDown(); },
      [&] { w.form.backups.EnableButtons(); },
  };
  for (const auto& trigger : triggers) {
    w.form.backups.files.ItemIndexFromUser(0);
    trigger();
    EXPECT_TRUE(w.form.backups.restoreButton.Enabled());
    EXPECT_TRUE(w.form.backups.deleteFileButton.Enabled());
    w.form.backups.files.ItemIndexFromUser(-1);
    trigger();
    EXPECT_FALSE(w.form.backups.restoreButton.Enabled());
    EXPECT_FALSE(w.form.backups.deleteFileButton.Enabled());
  }
  // A rescan refills the list with nothing selected.
  w.form.backups.files.ItemIndexFromUser(0);
  w.form.backups.EnableButtons();
  w.form.FillListBox();
  EXPECT_EQ(-1, w.form.backups.files.ItemIndex());
  EXPECT_FALSE(w.form.backups.restoreButton.Enabled());
  EXPECT_FALSE(w.form.backups.deleteFileButton.Enabled());
}

TEST(MainWindowTest, TheBoxesFollowTheSelectedRowWhateverMovedIt) {
  Window w;
  w.form.FormCreate();
  // Alpha clicked, then Down to Bravo: Save Changes must not write Alpha's command into Bravo.
  w.form.list.entryList.SelectedFromUser(0);
  w.form.list.entryList.Click();
  w.form.list.entryList.SelectedFromUser(1);
  w.form.list.entryList.SelectItem();
  w.form.list.entryList.KeyDown(kVkDown);
  EXPECT_EQ("C:\\Apps\\a.exe /Bravo", w.form.finder.command.Text());
  EXPECT_EQ("C:\\Apps\\a.exe /Bravo", w.form.change.commandBox.Text());
  w.form.change.saveButton.Click();
  EXPECT_FALSE(w.p.files.FileExistsAt("C:\\Tools\\Tidewell\\Backup\\Undo20261207.reg"))
      << "Bravo's command was saved onto itself: nothing changed, nothing written";
  const TListItem& bravo = w.form.list.entryList.Item(1);
  EXPECT_EQ("C:\\Apps\\a.exe /Bravo", bravo.SubItems.at(1));
  // A click beside the rows selects none: the boxes keep their text.
  w.form.list.entryList.SelectedFromUser(-1);
  w.form.list.entryList.Click();
  EXPECT_EQ("C:\\Apps\\a.exe /Bravo", w.form.finder.command.Text());
  EXPECT_FALSE(w.form.list.uninstallButton.Enabled()) << "Uninstall Program acts on one selected entry";
  EXPECT_FALSE(w.form.change.saveButton.Enabled()) << "Save Changes too";
}

TEST(MainWindowTest, AnEscapingErrorIsShownWithAPeriod) {
  const struct {
    std::string what, shown;
  } cases[] = {
      {"Invalid data type for 'DisplayName'", "Invalid data type for 'DisplayName'."},
      {"Failed to get data for 'X'.", "Failed to get data for 'X'."},
      {"", "."},
  };
  for (const auto& c : cases) {
    Window w;
    w.form.ShowException(std::runtime_error(c.what));
    ASSERT_EQ(1u, w.p.ui.shown.size());
    EXPECT_EQ("error", w.p.ui.shown[0].kind);
    EXPECT_EQ(c.shown, w.p.ui.shown[0].text);
    EXPECT_EQ(kApplicationTitle, w.p.ui.shown[0].caption);
    EXPECT_EQ(kMbIconError, w.p.ui.shown[0].style & kMbIconError);
  }
}

TEST(MainWindowTest, AnErrorEscapingAClickIsShownAndNothingIsRemoved) {
  Window w;
  w.form.FormCreate();
  // The undo file cannot be written: the removal stops before it deletes anything.
  w.p.files.SetDiskCapacity(0);
  w.p.ui.answers.push_back(kIdYes);
  EXPECT_NO_THROW(w.form.list.removeButton.Click());
  const std::vector<std::string> errors = w.p.ui.Texts("error");
  ASSERT_EQ(1u, errors.size());
  EXPECT_EQ('.', errors[0].back());
  EXPECT_TRUE(w.p.registry.KeyExists(kHkeyLocalMachine, kEntries + std::string("Alpha")));
  // The window goes on: the next click works.
  w.form.list.entryList.SelectedFromUser(1);
  w.form.list.entryList.Click();
  EXPECT_EQ("C:\\Apps\\a.exe /Bravo", w.form.finder.command.Text());
}

// The Status page's Broken Link line names every way the check finds an entry broken.
TEST(MainWindowTest, TheStatusPageNamesEveryKindOfBrokenLink) {
  const std::string code = "{6A1C2C39-1F4E-4E57-9E10-0B6B3B6D2C11}";
  const std::string msiExec = "C:\\WINDOWS\\system32\\MsiExec.exe";
  const struct {
    std::string command, words;
    std::vector<std::string> files;
    int productState = 0;  // the installer's answer about the product; 0: it does not know it
    std::string package = {};
  } cases[] = {
      {"C:\\Gone\\uninst.exe /S", "the uninstaller was not found", {}},
      {"C:\\WINDOWS\\UNWISE.EXE C:\\Gone\\INSTALL.LOG", "a file its command names", {"C:\\WINDOWS\\UNWISE.EXE"}},
      {"\"C:\\Apps\\unins000.exe\" /SILENT", "its data file", {"C:\\Apps\\unins000.exe"}},
      {"MsiExec.exe /X" + code, "cached package", {msiExec}, kInstallStateDefault, "C:\\WINDOWS\\Installer\\1a.msi"},
      {"MsiExec.exe /X" + code, "no longer knows the product", {msiExec}},
  };
  Window w;
  for (const auto& c : cases) {
    MemoryPlatform p;
    for (const std::string& file : c.files) p.files.AddFile(file);
    if (c.productState != 0) p.system.productStates[code] = c.productState;
    if (!c.package.empty()) p.system.localPackages[code] = c.package;
    Entry entry;
    entry.keyName = "T";
    entry.uninstallString = c.command;
    ScanChecker checker(p.files, p.system);
    EXPECT_EQ(kBrokenLink, checker.Check(entry).status) << c.command;
    EXPECT_NE(std::string::npos, w.form.info.brokenLinkText.Caption().find(c.words)) << c.words;
  }
}

TEST(MainWindowTest, DesignHoldsEveryControlOnceParentsFirst) {
  Window w;
  const std::vector<TControl*> controls = w.form.Controls();
  std::set<const TControl*> seen;
  std::set<std::string> names;
  for (const TControl* control : controls) {
    if (control->Parent) {
      EXPECT_TRUE(seen.count(control->Parent)) << control->Name() << " before its parent";
    }
    EXPECT_TRUE(seen.insert(control).second) << control->Name();
    EXPECT_TRUE(names.insert(control->Name()).second) << control->Name();
    // Inside its parent; a page is the page control less its tabs and border.
    const TControl* parent = control->Parent;
    if (parent && parent->Kind() == ControlKind::kPanel) {
      EXPECT_LE(control->Left + control->Width, parent->Width) << control->Name();
      EXPECT_LE(control->Top + control->Height, parent->Height) << control->Name();
    } else if (parent && parent->Kind() == ControlKind::kTabSheet) {
      EXPECT_LE(control->Left + control->Width, w.form.pageControl.Width - 8) << control->Name();
      EXPECT_LE(control->Top + control->Height, w.form.pageControl.Height - 28) << control->Name();
    } else if (!parent) {
      EXPECT_LE(control->Left + control->Width, w.form.design.width) << control->Name();
      EXPECT_LE(control->Top + control->Height, w.form.design.height) << control->Name();
    }
  }
  // The Status page says what Missing Disk means, as the reason does: a drive that is not looked at.
  EXPECT_NE(std::string::npos, w.form.info.missingDiskText.Caption().find("not looked at")) << w.form.info.missingDiskText.Caption();
  // One header says Status: the status found has a column named apart from it.
  EXPECT_EQ(1, std::count_if(w.form.list.entryList.Columns.begin(), w.form.list.entryList.Columns.end(),
                             [](const std::string& header) { return header.find("Status") != std::string::npos; }));
  std::vector<std::string> pages;
  for (const TTabSheet* sheet : w.form.pageControl.Pages) pages.push_back(sheet->Caption());
  EXPECT_EQ((std::vector<std::string>{"Introduction", "Accuracy", "Status", "Finder", "Change Uninstall String",
                                      "Backups", "All Entries", "Installer List"}),
            pages);
  // Focus order among the window's own controls.
  std::vector<std::pair<int, std::string>> order;
  for (const TControl* control : controls)
    if (!control->Parent && control->TabOrder >= 0) order.emplace_back(control->TabOrder, control->Name());
  std::sort(order.begin(), order.end());
  std::vector<std::string> names_in_order;
  for (const auto& [tab, name] : order) names_in_order.push_back(name);
  EXPECT_EQ((std::vector<std::string>{"uninstallButton", "removeButton", "entryList", "pageControl", "refreshButton", "filterBox"}), names_in_order);
  // No two controls of one parent share a place in the Tab order.
  std::set<std::pair<const TControl*, int>> places;
  for (const TControl* control : controls) {
    if (control->TabOrder >= 0) {
      EXPECT_TRUE(places.insert({control->Parent, control->TabOrder}).second) << control->Name();
    }
  }
}

// A mnemonic (the letter after '&') presses the first control holding it after the focus: two
// controls that can be seen at once, on any page, never share one.
TEST(MainWindowTest, ControlsSeenTogetherHaveDistinctMnemonics) {
  Window w;
  const std::vector<TControl*> controls = w.form.Controls();
  const auto pageOf = [](const TControl* control) -> const TControl* {
    for (; control; control = control->Parent)
      if (control->Kind() == ControlKind::kTabSheet) return control;
    return nullptr;
  };
  const auto mnemonicOf = [](const TControl* control) -> char {
    const std::string& caption = control->Caption();
    for (size_t at = caption.find('&'); at != std::string::npos && at + 1 < caption.size(); at = caption.find('&', at + 2))
      if (caption[at + 1] != '&') return static_cast<char>(std::toupper(static_cast<unsigned char>(caption[at + 1])));
    return 0;
  };
  for (const TTabSheet* page : w.form.pageControl.Pages) {
    SCOPED_TRACE(page->Caption());
    std::map<char, std::string> holders;
    for (const TControl* control : controls) {
      const ControlKind kind = control->Kind();
      // Edits and lists show their text, not a caption.
      if (kind != ControlKind::kButton && kind != ControlKind::kLabel && kind != ControlKind::kPanel) continue;
      const TControl* controlPage = pageOf(control);
      if (controlPage && controlPage != page) continue;
      const char mnemonic = mnemonicOf(control);
      if (!mnemonic) continue;
      const auto [held, first] = holders.emplace(mnemonic, control->Caption());
      EXPECT_TRUE(first) << "\"" << control->Caption() << "\" and \"" << held->second << "\" share " << mnemonic;
    }
  }
}

}  // namespace
